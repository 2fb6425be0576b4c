#include "param_graf.h"
#include "ui/CentreOnScreen.h"

#include "AnalysisEdge.h"
#include "MeasurementChoices.h"
#include "store/MeasurementTable.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

TForm4::TForm4(kve::MeasurementTable &table, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_table(table)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Построение графиков"));
    setAccessibleName(windowTitle());

    GroupBox1 = new QGroupBox(QStringLiteral("Выберете графики"), this);
    GroupBox1->setAccessibleName(GroupBox1->title());
    QFont groupFont = GroupBox1->font();
    groupFont.setPixelSize(13);
    GroupBox1->setFont(groupFont);

    Label1 = new QLabel(QStringLiteral("Серия"), GroupBox1);
    Label1->setAccessibleName(Label1->text());
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setAccessibleName(Label1->text());
    Label1->setBuddy(ComboBox1);

    Button1 = new QPushButton(QStringLiteral("Построить"), GroupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleName(Button1->text());
    Button1->setDefault(true);

    // The chart kinds are kept for later; only Hf against time is drawn.
    RadioButton1 = new QRadioButton(QStringLiteral("Hf,t"), GroupBox1);
    RadioButton1->setAccessibleName(RadioButton1->text());
    RadioButton1->setVisible(false);

    auto *grid = new QGridLayout(GroupBox1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(ComboBox1, 0, 1);
    grid->addWidget(Button1, 1, 0, 1, 2, Qt::AlignHCenter);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->addWidget(GroupBox1);

    connect(Button1, &QPushButton::clicked, this, [this] { kve::runAnalysisStep(this, [&] { Button1Click(); }); });
    setFixedSize(sizeHint().expandedTo(QSize(267, 146)));
}

bool TForm4::heaveOverTimeSelected() const
{
    return RadioButton1->isChecked();
}

void TForm4::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    kve::centreOnScreen(this);
    FormShow();
}

void TForm4::FormShow()
{
    ComboBox1->clear();
    ComboBox1->setEditText(QString());
    Button1->setEnabled(true);
    kve::runAnalysisStep(this, [&] { ComboBox1->addItems(kve::measurementChoices(m_table)); });
    if (ComboBox1->count() > 0)
        ComboBox1->setCurrentIndex(0);
    RadioButton1->setChecked(true);
}

void TForm4::Button1Click()
{
    const QString text = ComboBox1->currentText();
    // A typed text that is no number cannot pick a measurement; the dialog stays open.
    if (!text.trimmed().isEmpty() && !kve::parseMeasurementChoice(text)) {
        kve::showRefusal(this, QStringLiteral("\"%1\" не является номером измерения.").arg(text));
        return;
    }
    m_chartChoice = text;
    accept();
}

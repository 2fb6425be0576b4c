#include "mas.h"

#include "AnalysisEdge.h"
#include "FrostHeaveCalculation.h"
#include "MeasurementChoices.h"
#include "store/MeasurementTable.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Three optional digits with '_' for an unfilled position: no sign, no decimal point.
const QString kThicknessMask = QStringLiteral("000;_");
const QChar kMaskBlank = QLatin1Char('_');

} // namespace

TForm7::TForm7(kve::MeasurementTable &table, std::function<int()> activeSeries, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_table(table),
      m_activeSeries(std::move(activeSeries))
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Расчет є fh"));
    setAccessibleName(windowTitle());

    GroupBox1 = new QGroupBox(QStringLiteral("Введите данные для расчета"), this);
    GroupBox1->setAccessibleName(GroupBox1->title());

    Label1 = new QLabel(QStringLiteral("Серия"), GroupBox1);
    Label1->setAccessibleName(Label1->text());
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setAccessibleName(Label1->text());
    Label1->setBuddy(ComboBox1);

    Label2 = new QLabel(QStringLiteral("Толщина промерзания D,мм (0...150)"), GroupBox1);
    Label2->setAccessibleName(Label2->text());
    MaskEdit1 = new QLineEdit(GroupBox1);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    MaskEdit1->setInputMask(kThicknessMask);
    MaskEdit1->setMaxLength(3);
    MaskEdit1->setAccessibleName(Label2->text());
    MaskEdit1->setFixedWidth(MaskEdit1->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    Label2->setBuddy(MaskEdit1);

    Button1 = new QPushButton(QStringLiteral("Расчитать"), GroupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleName(Button1->text());
    Button1->setAutoDefault(false);

    auto *grid = new QGridLayout(GroupBox1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(ComboBox1, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(MaskEdit1, 1, 1, Qt::AlignLeft);
    grid->addWidget(Button1, 2, 0, 1, 2, Qt::AlignHCenter);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(GroupBox1);

    // Button1Click is its own edge.
    connect(Button1, &QPushButton::clicked, this, &TForm7::Button1Click);
    setFixedSize(sizeHint().expandedTo(QSize(290, 107)));
}

QString TForm7::thicknessText() const
{
    QString text = MaskEdit1->displayText();
    text.replace(kMaskBlank, QLatin1Char(' '));
    return text.leftJustified(3, QLatin1Char(' '), true);
}

void TForm7::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TForm7::FormShow()
{
    ComboBox1->clear();
    kve::runAnalysisStep(this, [&] { ComboBox1->addItems(kve::measurementChoices(m_table)); });
    ComboBox1->setEditText(QString());
}

void TForm7::Button1Click()
{
    const int series = m_activeSeries ? m_activeSeries() : 1;
    const bool calculated = kve::runAnalysisStep(
        this, [&] { kve::calculateFrostHeave(m_table, series, ComboBox1->currentText(), thicknessText()); }, true);
    if (calculated)
        accept();
}

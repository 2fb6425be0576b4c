#include "ReportPrintDialog.h"

#include "ReportPrinting.h"
#include "ReportRenderer.h"
#include "ui/ErrorBox.h"
#include "ui/PdfFile.h"
#include "ui/PrinterChoice.h"
#include "ui/Notifier.h"
#include "store/Error.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

using kve::report::PrintChoice;

namespace {

void showPrintError(QWidget *parent, const QString &text)
{
    kve::notifier().show(kve::Message(QMessageBox::Warning, QStringLiteral("Ошибка"), text, parent).preselect(QMessageBox::Ok));
}

template<typename W>
W *named(W *w, const QString &name)
{
    w->setObjectName(name);
    return w;
}

QLabel *labelFor(const QString &text, QWidget *buddy)
{
    auto *l = new QLabel(text);
    l->setAccessibleName(QString(text).remove(u'&').remove(u':'));
    l->setBuddy(buddy);
    buddy->setAccessibleName(l->accessibleName());
    return l;
}

} // namespace

ReportPrintDialog::ReportPrintDialog(const kve::report::PreparedReport &report, int currentPage, QWidget *parent)
    : QDialog(parent), m_report(report), m_currentPage(currentPage), m_printer(QPrinter::HighResolution)
{
    setWindowTitle(QStringLiteral("Печать"));
    setModal(true);

    // Printer
    m_printers = named(new QComboBox, QStringLiteral("printers"));
    kve::fillPrinterChoice(m_printers);
    m_setup = named(new QPushButton(QStringLiteral("Свойства...")), QStringLiteral("setup"));
    m_setup->setAccessibleName(m_setup->text());
    // Enter is "Печать"; the setup opens by its own click or Space.
    m_setup->setAutoDefault(false);
    auto *printerBox = new QGroupBox(QStringLiteral("Принтер"));
    printerBox->setAccessibleName(printerBox->title());
    auto *printerRow = new QHBoxLayout(printerBox);
    printerRow->addWidget(labelFor(QStringLiteral("&Имя:"), m_printers));
    printerRow->addWidget(m_printers, 1);
    printerRow->addWidget(m_setup);

    // Pages
    m_all = named(new QRadioButton(QStringLiteral("&Все")), QStringLiteral("allPages"));
    m_current = named(new QRadioButton(QStringLiteral("&Текущая страница")), QStringLiteral("currentPage"));
    m_listed = named(new QRadioButton(QStringLiteral("&Номера:")), QStringLiteral("listedPages"));
    for (QRadioButton *b : {m_all, m_current, m_listed})
        b->setAccessibleName(QString(b->text()).remove(u'&'));
    m_all->setChecked(true);
    m_current->setEnabled(currentPage >= 0 && currentPage < report.pageCount());
    m_list = named(new QLineEdit, QStringLiteral("pageList"));
    m_list->setAccessibleName(QStringLiteral("Номера страниц"));
    m_list->setPlaceholderText(QStringLiteral("1,3,5-12"));
    m_list->setToolTip(QStringLiteral("Номера страниц и диапазоны через запятую, например 1,3,5-12"));
    auto *hint = new QLabel(QStringLiteral("Всего страниц: %1").arg(report.pageCount()));
    hint->setAccessibleName(hint->text());
    auto *pagesBox = new QGroupBox(QStringLiteral("Страницы"));
    pagesBox->setAccessibleName(pagesBox->title());
    auto *pagesGrid = new QGridLayout(pagesBox);
    pagesGrid->addWidget(m_all, 0, 0, 1, 2);
    pagesGrid->addWidget(m_current, 1, 0, 1, 2);
    pagesGrid->addWidget(m_listed, 2, 0);
    pagesGrid->addWidget(m_list, 2, 1);
    pagesGrid->addWidget(hint, 3, 0, 1, 2);
    // Typing a list means printing it.
    connect(m_list, &QLineEdit::textEdited, m_listed, [this] { runPrintStep(this, [this] { m_listed->setChecked(true); }); });

    // Copies
    m_copies = named(new QSpinBox, QStringLiteral("copies"));
    m_copies->setRange(1, 999);
    m_copies->setValue(1);
    m_collate = named(new QCheckBox(QStringLiteral("&Разобрать по копиям")), QStringLiteral("collate"));
    m_collate->setAccessibleName(QStringLiteral("Разобрать по копиям"));
    m_collate->setChecked(true);
    auto *copiesBox = new QGroupBox(QStringLiteral("Копии"));
    copiesBox->setAccessibleName(copiesBox->title());
    auto *copiesForm = new QFormLayout(copiesBox);
    copiesForm->addRow(labelFor(QStringLiteral("&Число копий:"), m_copies), m_copies);
    copiesForm->addRow(m_collate);

    QDialogButtonBox *buttons = kve::makePrintButtons();
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { runPrintStep(this, [this] { accept(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { runPrintStep(this, [this] { reject(); }); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(printerBox);
    auto *middle = new QHBoxLayout;
    middle->addWidget(pagesBox, 1);
    middle->addWidget(copiesBox, 1);
    layout->addLayout(middle);
    layout->addWidget(buttons);

    connect(m_printers, &QComboBox::currentIndexChanged, this,
            [this](int index) { runPrintStep(this, [this, index] { choosePrinter(index); }); });
    connect(m_setup, &QPushButton::clicked, this, [this] {
        runPrintStep(this, [this] {
            QPageSetupDialog setup(&m_printer, this);
            setup.exec();
        });
    });
    choosePrinter(m_printers->currentIndex());
}

void ReportPrintDialog::choosePrinter(int index)
{
    if (index < 0)
        return;
    const QString name = m_printers->itemData(index).toString();
    if (name.isEmpty()) {
        m_printer.setOutputFormat(QPrinter::PdfFormat);
    } else {
        m_printer.setOutputFormat(QPrinter::NativeFormat);
        m_printer.setPrinterName(name);
    }
    setUpChosenPrinter();
}

bool ReportPrintDialog::printsToFile() const
{
    return m_printers->currentIndex() >= 0 && m_printers->currentData().toString().isEmpty();
}

void ReportPrintDialog::setUpChosenPrinter() { kve::report::setUpPrinter(m_printer, m_report); }

PrintChoice ReportPrintDialog::choice() const
{
    PrintChoice c;
    if (m_listed->isChecked())
        c.pages = PrintChoice::Pages::List;
    else if (m_current->isChecked() && m_current->isEnabled())
        c.pages = PrintChoice::Pages::Current;
    c.list = m_list->text();
    c.currentPage = m_currentPage;
    c.copies = m_copies->value();
    c.collate = m_collate->isChecked();
    return c;
}

void ReportPrintDialog::accept()
{
    QString error;
    if (!kve::report::PrintPageOrder::chosenPages(choice(), m_report.pageCount(), &error)) {
        showPrintError(this, error);
        m_list->setFocus();
        m_list->selectAll();
        return;
    }
    QDialog::accept();
}

void printPrepared(QWidget *parent, const kve::report::PreparedReport &report, int currentPage, const QString &docName)
{
    ReportPrintDialog dialog(report, currentPage, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (dialog.printsToFile()) {
        const QString path = kve::askPdfFileName(parent);
        if (path.isEmpty())
            return;
        dialog.printer().setOutputFileName(path);
    }
    dialog.printer().setDocName(docName.isEmpty() ? QStringLiteral("KVE") : docName);
    QString error;
    if (!kve::report::printReport(dialog.printer(), report, dialog.choice(), &error))
        showPrintError(parent, error);
}

bool runPrintStep(QWidget *parent, const std::function<void()> &step)
{
    return kve::runGuarded(step, [parent](const QString &text) { kve::showErrorBox(parent, text); });
}

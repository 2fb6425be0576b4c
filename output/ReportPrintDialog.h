#pragma once

#include "PreparedReport.h"
#include "PrintPageOrder.h"

#include <QDialog>
#include <QPrinter>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The report's own print dialog: printer and its setup, pages (all, the current page,
// or a list such as 1,3,5-12), copies and collation. It only collects the choice; a
// list that cannot be read or names no page of the report is refused here, so an
// accepted dialog always has pages to print.
class ReportPrintDialog : public QDialog {
    Q_OBJECT
public:
    // `currentPage` is 0-based; -1 when there is no preview, which makes "current page"
    // unavailable. The printers are the installed ones, then "PDF-файл"; the default
    // printer is chosen, or "PDF-файл" when there is no printer.
    ReportPrintDialog(const kve::report::PreparedReport &report, int currentPage, QWidget *parent = nullptr);

    // The chosen printer, set up for the report's page.
    QPrinter &printer() { return m_printer; }
    // "PDF-файл" is chosen: the pages go to a file whose name is still to be asked.
    bool printsToFile() const;
    kve::report::PrintChoice choice() const;

    void accept() override;

private:
    void choosePrinter(int index);
    void setUpChosenPrinter();

    const kve::report::PreparedReport &m_report;
    int m_currentPage;
    QPrinter m_printer;
    QComboBox *m_printers;
    QPushButton *m_setup;
    QRadioButton *m_all;
    QRadioButton *m_current;
    QRadioButton *m_listed;
    QLineEdit *m_list;
    QSpinBox *m_copies;
    QCheckBox *m_collate;
};

// Shows the print dialog for the prepared pages and prints what it chose as one job
// named `docName` (what the print queue shows). For "PDF-файл" a save dialog asks for the
// file first; cancelling either dialog prints nothing.
// The edge of a print or preview dialog's handler: an error goes to the application-wide
// error box. True when the handler ran to its end.
bool runPrintStep(QWidget *parent, const std::function<void()> &step);

void printPrepared(QWidget *parent, const kve::report::PreparedReport &report, int currentPage = -1,
                   const QString &docName = QString());

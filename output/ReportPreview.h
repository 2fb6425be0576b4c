#pragma once

#include "PreparedReport.h"

#include <QDialog>
#include <QString>

class QPrintPreviewWidget;
class QPrinter;
class SeriesReport;
namespace kve {
class MeasurementTable;
}

// The modal preview of prepared pages: zoom, print (through the print dialog) and close.
class ReportPreviewDialog : public QDialog {
    Q_OBJECT
public:
    ReportPreviewDialog(const kve::report::PreparedReport &report, QWidget *parent = nullptr);
    ~ReportPreviewDialog() override;
    QPrintPreviewWidget *previewWidget() const { return m_preview; }

private:
    void print();

    const kve::report::PreparedReport &m_report;
    QPrinter *m_printer;
    QPrintPreviewWidget *m_preview;
};

// Shows the print dialog (1 copy, collate on; "current page" only when `currentPage` is
// given) and prints the chosen pages. Nothing happens when no printer is installed.
void printPrepared(QWidget *parent, const kve::report::PreparedReport &report, int currentPage = -1);

void previewSeries(QWidget *parent, SeriesReport &report, kve::MeasurementTable &table, const QString &mainCaption,
                   int series);
void printSeries(QWidget *parent, SeriesReport &report, kve::MeasurementTable &table, const QString &mainCaption,
                 int series);

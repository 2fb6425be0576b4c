#pragma once

#include "PreparedReport.h"
#include "ReportPrintDialog.h"

#include <QDialog>
#include <QString>

class QPrintPreviewWidget;
class QPrinter;
class SeriesReport;
namespace kve {
class MeasurementTable;
}

// The modal preview of prepared pages: zoom, print (through the report's print dialog,
// with the shown page as the current page) and close.
class ReportPreviewDialog : public QDialog {
    Q_OBJECT
public:
    // `docName` names the print job of the print command.
    ReportPreviewDialog(const kve::report::PreparedReport &report, QWidget *parent = nullptr,
                        const QString &docName = QString());
    ~ReportPreviewDialog() override;
    QPrintPreviewWidget *previewWidget() const { return m_preview; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void print();
    // Shrinks the window, its frame included, into the screen's available area.
    void fitToScreen();

    const kve::report::PreparedReport &m_report;
    QString m_docName;
    QPrinter *m_printer;
    QPrintPreviewWidget *m_preview;
};

void previewSeries(QWidget *parent, SeriesReport &report, kve::MeasurementTable &table, const QString &mainCaption,
                   int series);
void printSeries(QWidget *parent, SeriesReport &report, kve::MeasurementTable &table, const QString &mainCaption,
                 int series);

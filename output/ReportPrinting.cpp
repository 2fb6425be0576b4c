#include "ReportPrinting.h"

#include "ReportRenderer.h"
#include "ui/PdfFile.h"

#include <QPageRanges>
#include <QPrinter>

namespace kve::report {

bool printReport(QPrinter &printer, const PreparedReport &report, const PrintChoice &choice, QString *error)
{
    const auto order = PrintPageOrder::printOrder(choice, report.pageCount(), error);
    if (!order)
        return false;
    // The sheets are exactly the order: the printer must not repeat or pick pages itself.
    printer.setCopyCount(1);
    printer.setCollateCopies(false);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setPageRanges(QPageRanges());
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        // Not through the printer's own PDF engine, which ignores failed writes: the old
        // file stays unless the new one is whole.
        writePdfFile(printer.outputFileName(), printer.pageLayout(), printer.resolution(), printer.docName(),
                     [&](QPagedPaintDevice &pdf) { return paintReport(pdf, report, *order); });
        return true;
    }
    if (!paintReport(printer, report, *order)) {
        if (error)
            *error = QStringLiteral("Не удалось начать печать на принтере \"%1\".").arg(printer.printerName());
        return false;
    }
    return true;
}

} // namespace kve::report

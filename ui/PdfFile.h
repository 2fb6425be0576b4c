#pragma once

#include <QString>
#include <functional>

class QPageLayout;
class QPagedPaintDevice;
class QWidget;

namespace kve {

// Asks for the name of a PDF file to print to: a save dialog "PDF-файл" with an empty
// name, ".pdf" added unless the name ends in it, and the replace question for an existing
// file. Empty when the operator cancels.
QString askPdfFileName(QWidget *parent);

// Paints a PDF of the given page layout and resolution (dots per inch) through `paint`
// into a temporary file beside `path`, which takes the place of `path` only when whole:
// on any failure the old file stays. `paint` returns false when it could not paint.
// Throws kve::Error with the file and the system's reason.
void writePdfFile(const QString &path, const QPageLayout &layout, int resolution, const QString &title,
                  const std::function<bool(QPagedPaintDevice &)> &paint);

} // namespace kve

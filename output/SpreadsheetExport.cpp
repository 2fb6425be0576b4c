#include "SpreadsheetExport.h"

#include "store/FileNameExtension.h"
#include "ui/ReplaceQuestion.h"
#include "SeriesReport.h"
#include "SheetCellValue.h"
#include "store/MeasurementTable.h"
#include "store/NumberText.h"
#include "ui/Notifier.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <vector>

namespace kve::report {

namespace {

// Edges are compared after rounding to a thousandth of a unit.
qint64 key(double v) { return qint64(std::llround(v * 1000)); }

int indexOf(const std::vector<qint64> &edges, double v)
{
    return int(std::lower_bound(edges.begin(), edges.end(), key(v)) - edges.begin());
}

xls::HAlign hAlignOf(HAlign a)
{
    switch (a) {
    case HAlign::Left: return xls::HAlign::Left;
    case HAlign::Center: return xls::HAlign::Center;
    case HAlign::Right: return xls::HAlign::Right;
    case HAlign::Justify: return xls::HAlign::Justify;
    }
    return xls::HAlign::General;
}

xls::VAlign vAlignOf(VAlign a)
{
    switch (a) {
    case VAlign::Top: return xls::VAlign::Top;
    case VAlign::Center: return xls::VAlign::Center;
    case VAlign::Bottom: return xls::VAlign::Bottom;
    }
    return xls::VAlign::Bottom;
}

struct Placed {
    const PreparedCell *cell;
    QRectF rect;   // on the sheet, pages stacked
};

} // namespace

QString cleanedCellText(const QString &text)
{
    QString t = text;
    t.remove(QChar('\r'));
    t.remove(QChar(1));
    while (t.endsWith(QChar('\n')))
        t.chop(1);
    return t;
}

bool needsTextFormat(const QString &text)
{
    const int dot = int(text.indexOf(QChar('.')));
    if (dot < 0)
        return false;
    QString t = text;
    t[dot] = QChar(',');
    return kve::parseNumber(t).has_value();
}

QString withDefaultExtension(const QString &fileName) { return kve::withExtension(fileName, QStringLiteral(".xls")); }

xls::Workbook buildWorkbook(const PreparedReport &report, const ExportProgress &progress)
{
    // Cells of all pages in page order: those with text or a frame.
    std::vector<Placed> cells;
    std::vector<double> pageTops;
    for (int p = 0; p < report.pageCount(); ++p) {
        const double offset = p * report.pageHeight;
        pageTops.push_back(offset);
        for (const PreparedCell &c : report.pages[std::size_t(p)].cells)
            if (!c.text.isEmpty() || c.frame.any())
                cells.push_back({&c, c.rect.translated(0, offset)});
    }

    std::set<qint64> xs, ys;
    for (const Placed &c : cells) {
        xs.insert(key(c.rect.left()));
        xs.insert(key(c.rect.right()));
        ys.insert(key(c.rect.top()));
        ys.insert(key(c.rect.bottom()));
    }
    const std::vector<qint64> colEdges(xs.begin(), xs.end()), rowEdges(ys.begin(), ys.end());
    const int columns = std::max(0, int(colEdges.size()) - 1);
    const int rows = std::max(0, int(rowEdges.size()) - 1);
    if (columns > xls::kMaxColumns || rows > xls::kMaxRows)
        throw xls::XlsError(QStringLiteral("Отчёт слишком велик для листа Excel: %1 строк, %2 столбцов.")
                                .arg(rows).arg(columns));

    xls::Workbook book;
    xls::Sheet &sheet = book.addSheet(QStringLiteral("Лист1"));
    xls::PageSetup &setup = sheet.pageSetup();
    setup.landscape = report.landscape;
    setup.paperSize = report.paperCode;
    setup.leftInches = report.marginLeft / kUnitsPerInch;
    setup.rightInches = report.marginRight / kUnitsPerInch;
    setup.topInches = report.marginTop / kUnitsPerInch;
    setup.bottomInches = report.marginBottom / kUnitsPerInch;

    std::vector<double> columnCharacters(std::size_t(columns), 0.0);
    for (int c = 0; c < columns; ++c) {
        columnCharacters[std::size_t(c)] = double(colEdges[std::size_t(c + 1)] - colEdges[std::size_t(c)]) / 1000 * 0.125;
        sheet.setColumnWidth(c, columnCharacters[std::size_t(c)]);
    }
    const SheetTextFit fit;
    for (int r = 0; r < rows; ++r)
        sheet.setRowHeight(r, double(rowEdges[std::size_t(r + 1)] - rowEdges[std::size_t(r)]) / 1000 / 1.3);
    // Each report page after the first starts a printed page.
    for (std::size_t p = 1; p < pageTops.size(); ++p) {
        const int row = int(std::lower_bound(rowEdges.begin(), rowEdges.end(), key(pageTops[p])) - rowEdges.begin());
        if (row < rows)
            sheet.addPageBreak(row);
    }

    // In order of position: top to bottom, then left to right.
    std::stable_sort(cells.begin(), cells.end(), [](const Placed &a, const Placed &b) {
        if (key(a.rect.top()) != key(b.rect.top()))
            return key(a.rect.top()) < key(b.rect.top());
        return key(a.rect.left()) < key(b.rect.left());
    });

    // Where each cell starts (its order), and which grid cells are taken.
    std::vector<int> startOrder(std::size_t(rows) * std::size_t(columns), -1);
    std::vector<char> taken(std::size_t(rows) * std::size_t(columns), 0);
    const auto at = [columns](int r, int c) { return std::size_t(r) * std::size_t(columns) + std::size_t(c); };
    for (int i = int(cells.size()) - 1; i >= 0; --i) {
        const Placed &p = cells[std::size_t(i)];
        startOrder[at(indexOf(rowEdges, p.rect.top()), indexOf(colEdges, p.rect.left()))] = i;
    }

    const int total = int(cells.size());
    for (int i = 0; i < total; ++i) {
        const Placed &p = cells[std::size_t(i)];
        const int r0 = indexOf(rowEdges, p.rect.top()), c0 = indexOf(colEdges, p.rect.left());
        int r1 = indexOf(rowEdges, p.rect.bottom()) - 1, c1 = indexOf(colEdges, p.rect.right()) - 1;
        if (taken[at(r0, c0)] || r1 < r0 || c1 < c0)
            continue;   // lies under an earlier cell, or has no size
        // Shrink the block where a later cell starts inside it or an earlier block lies.
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                if (r == r0 && c == c0)
                    continue;
                const int s = startOrder[at(r, c)];
                if ((s > i) || taken[at(r, c)]) {
                    if (r > r0)
                        r1 = r - 1;
                    else
                        c1 = c - 1;
                    break;
                }
            }

        const PreparedCell &cell = *p.cell;
        xls::CellFormat f;
        f.font = xls::Font{cell.font.family, cell.font.points, cell.font.bold, cell.font.italic, cell.font.underline,
                           cell.font.color};
        f.wrap = true;
        f.hAlign = hAlignOf(cell.hAlign);
        f.vAlign = vAlignOf(cell.vAlign);
        f.vertical = cell.vertical;
        f.borderLeft = cell.frame.left;
        f.borderRight = cell.frame.right;
        f.borderTop = cell.frame.top;
        f.borderBottom = cell.frame.bottom;
        f.fill = cell.fill;
        const QString text = cleanedCellText(cell.text);
        f.textFormat = needsTextFormat(text);
        // What the spreadsheet would hold for the text, unless it would show "###" there.
        SheetCellValue value;
        if (!f.textFormat && !cell.vertical) {
            value = SheetCellValue::of(text);
            if (value.kind != SheetCellValue::Kind::Text
                && !fit.fits(text.trimmed(), cell.font,
                             std::span<const double>(columnCharacters).subspan(std::size_t(c0), std::size_t(c1 - c0 + 1))))
                value = {};
        }
        f.numberFormat = value.format;

        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                taken[at(r, c)] = 1;
                if (r != r0 || c != c0)
                    sheet.setBlank(r, c, f);
            }
        if (text.isEmpty())
            sheet.setBlank(r0, c0, f);
        else if (value.kind != SheetCellValue::Kind::Text)
            sheet.setNumber(r0, c0, value.value, f);
        else
            sheet.setText(r0, c0, text, f);
        if (r1 > r0 || c1 > c0)
            sheet.merge(r0, c0, r1, c1);
        if (progress && (i % 256 == 0 || i + 1 == total))
            progress(i + 1, total);
    }
    sheet.select(0, 0);
    return book;
}

void writeWorkbook(const PreparedReport &report, const QString &path, const ExportProgress &progress)
{
    buildWorkbook(report, progress).save(path);
}

} // namespace kve::report

void exportSeries(QWidget *parent, SeriesReport &report, kve::MeasurementTable &table, const QString &mainCaption,
                  int series)
{
    if (!table.isOpen())
        return;
    const QString errorCaption = QStringLiteral("Ошибка");
    try {
        report.fillTitleCells(mainCaption, table, series);
        report.prepare(table);
    } catch (const kve::TableError &e) {
        kve::notifier().show(kve::Message(QMessageBox::Critical, errorCaption, e.text(), parent).preselect(QMessageBox::Ok));
        return;
    }

    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("Книга Excel (*.xls)"));
    dialog.setDefaultSuffix(QString());   // added below, only when the name has no extension
    // Asked below, once the extension is added, so that every name gets the same question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The filter box shows the description alone.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().constFirst();
    if (chosen.isEmpty() || QFileInfo(chosen).fileName().isEmpty() || QFileInfo(chosen).isDir())
        return;
    const QString path = kve::report::withDefaultExtension(chosen);
    // A name typed whole replaces its file as the operator saw it; a name the program
    // extended was never seen, so an existing file of that name is asked about.
    if (path != chosen && !kve::mayReplaceFile(parent, path))
        return;

    QProgressDialog progress(parent);
    progress.setWindowTitle(QStringLiteral("Экспорт в Excel"));
    progress.setCancelButton(nullptr);
    // Short exports finish before the progress window would show.
    constexpr std::chrono::milliseconds kProgressShownAfter{500};
    progress.setMinimumDuration(int(kProgressShownAfter.count()));
    progress.setWindowModality(Qt::WindowModal);
    QElapsedTimer clock;
    clock.start();
    const auto step = [&](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done);
        const std::chrono::milliseconds spent(clock.elapsed());
        const qint64 left =
            done > 0 ? std::chrono::duration_cast<std::chrono::seconds>(spent * (total - done) / done).count() : 0;
        progress.setLabelText(QStringLiteral("Ячейка %1 из %2, осталось около %3 с").arg(done).arg(total).arg(left));
    };
    try {
        kve::report::writeWorkbook(report.prepared(), path, step);
    } catch (const kve::xls::XlsError &e) {
        progress.close();
        kve::notifier().show(kve::Message(QMessageBox::Critical, errorCaption, e.text(), parent).preselect(QMessageBox::Ok));
        return;
    }
    progress.close();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())))
        kve::notifier().show(kve::Message(QMessageBox::Information, errorCaption,
                                          QStringLiteral("Книга сохранена в файле \"%1\", но открыть её не удалось: "
                                                         "не найдена программа для файлов .xls.")
                                              .arg(QFileInfo(path).absoluteFilePath()),
                                          parent)
                                 .preselect(QMessageBox::Ok));
}

#include "ReportRenderer.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTextOption>
#include <algorithm>

namespace kve::report {

namespace {

QPageLayout pageLayoutOf(const PreparedReport &r)
{
    const QPageSize size(QSizeF(r.landscape ? r.pageHeight : r.pageWidth, r.landscape ? r.pageWidth : r.pageHeight)
                             * kMmPerUnit,
                         QPageSize::Millimeter);
    const QPageSize a4(QPageSize::A4);
    return QPageLayout(r.paperCode == 9 ? a4 : size, r.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

Qt::Alignment alignmentOf(const PreparedCell &c)
{
    Qt::Alignment a;
    switch (c.hAlign) {
    case HAlign::Left: a |= Qt::AlignLeft; break;
    case HAlign::Center: a |= Qt::AlignHCenter; break;
    case HAlign::Right: a |= Qt::AlignRight; break;
    case HAlign::Justify: a |= Qt::AlignJustify; break;
    }
    switch (c.vAlign) {
    case VAlign::Top: a |= Qt::AlignTop; break;
    case VAlign::Center: a |= Qt::AlignVCenter; break;
    case VAlign::Bottom: a |= Qt::AlignBottom; break;
    }
    return a;
}

} // namespace

void paintPage(QPainter &painter, const PreparedReport &report, int page, double dpi)
{
    if (page < 0 || page >= report.pageCount())
        return;
    const double k = dpi / kUnitsPerInch;   // device dots per report unit
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const PreparedCell &c : report.pages[std::size_t(page)].cells) {
        const QRectF r(c.rect.x() * k, c.rect.y() * k, c.rect.width() * k, c.rect.height() * k);
        if (c.fill)
            painter.fillRect(r, *c.fill);
        if (!c.text.isEmpty()) {
            QFont f(c.font.family);
            // Points are physical: the device resolution turns them into dots.
            f.setPixelSize(qMax(1, qRound(c.font.points * dpi / 72.0)));
            f.setBold(c.font.bold);
            f.setItalic(c.font.italic);
            f.setUnderline(c.font.underline);
            painter.setFont(f);
            painter.setPen(c.font.color);
            const double pad = 2 * k;
            QTextOption option(alignmentOf(c));
            option.setWrapMode(QTextOption::WordWrap);
            if (c.vertical) {
                painter.save();
                painter.translate(r.bottomLeft());
                painter.rotate(-90);
                painter.drawText(QRectF(0, 0, r.height(), r.width()).adjusted(pad, pad, -pad, -pad), c.text, option);
                painter.restore();
            } else {
                painter.drawText(r.adjusted(pad, 0, -pad, 0), c.text, option);
            }
        }
        if (c.frame.any()) {
            QPen pen(c.frame.color);
            pen.setWidthF(qMax(1.0, c.frame.width * k));
            painter.setPen(pen);
            if (c.frame.left)
                painter.drawLine(r.topLeft(), r.bottomLeft());
            if (c.frame.right)
                painter.drawLine(r.topRight(), r.bottomRight());
            if (c.frame.top)
                painter.drawLine(r.topLeft(), r.topRight());
            if (c.frame.bottom)
                painter.drawLine(r.bottomLeft(), r.bottomRight());
        }
    }
    painter.restore();
}

double fitScale(const PreparedReport &report, const QSizeF &paper, double dpi)
{
    const double width = report.pageWidth * dpi / kUnitsPerInch;
    const double height = report.pageHeight * dpi / kUnitsPerInch;
    // Within a dot counts as fitting: whole dots of the paper's size are rounded.
    if (width <= 0 || height <= 0 || (width <= paper.width() + 1 && height <= paper.height() + 1))
        return 1;
    return std::min({1.0, paper.width() / width, paper.height() / height});
}

bool paintReport(QPagedPaintDevice &device, const PreparedReport &report, const std::vector<int> &pages)
{
    std::vector<int> list = pages;
    if (list.empty())
        for (int i = 0; i < report.pageCount(); ++i)
            list.push_back(i);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    // A printer may keep an unprintable margin: measure from the paper's corner.
    const int dpi = device.logicalDpiX();
    const QRect paper = device.pageLayout().fullRectPixels(dpi);
    const QRect paint = device.pageLayout().paintRectPixels(dpi);
    const QPoint shift = paper.topLeft() - paint.topLeft();
    const double scale = fitScale(report, paper.size(), dpi);
    bool first = true;
    for (int page : list) {
        if (page < 0 || page >= report.pageCount())
            continue;
        if (!first)
            device.newPage();
        first = false;
        painter.save();
        painter.translate(shift);
        painter.scale(scale, scale);
        paintPage(painter, report, page, dpi);
        painter.restore();
    }
    return painter.end();
}

void setUpPrinter(QPrinter &printer, const PreparedReport &report)
{
    printer.setFullPage(true);
    printer.setPageLayout(pageLayoutOf(report));
}

bool writePdf(const PreparedReport &report, const QString &path)
{
    QPdfWriter writer(path);
    writer.setResolution(600);
    writer.setPageLayout(pageLayoutOf(report));
    writer.setCreator(QStringLiteral("KVE"));
    return paintReport(writer, report);
}

QImage renderPageImage(const PreparedReport &report, int page, double dpi)
{
    const QSize size(qRound(report.pageWidth * dpi / kUnitsPerInch), qRound(report.pageHeight * dpi / kUnitsPerInch));
    QImage image(size, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPage(painter, report, page, dpi);
    painter.end();
    return image;
}

} // namespace kve::report

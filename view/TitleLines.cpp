#include "TitleLines.h"

#include <QFontMetrics>
#include <QTextLayout>

namespace kve {

QStringList titleLines(const QString &title, const QFont &font, int width, int maxLines)
{
    QStringList lines;
    if (width <= 0 || maxLines <= 0)
        return lines;
    const QFontMetrics metrics(font);
    QTextLayout layout(title, font);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            lines << metrics.elidedText(title.mid(line.textStart()).trimmed(), Qt::ElideRight, width);
            break;
        }
        // Words wrap only between words: a single word may be wider than the column.
        lines << metrics.elidedText(title.mid(line.textStart(), line.textLength()).trimmed(), Qt::ElideRight, width);
    }
    layout.endLayout();
    return lines;
}

} // namespace kve

#include "MeasurementChoices.h"

#include "store/MeasurementTable.h"

namespace kve {

QStringList measurementChoices(MeasurementTable &table)
{
    QStringList list;
    if (!table.isOpen())
        return list;
    table.first();
    if (table.eof())
        return list;
    const std::optional<int> first = table.fieldInt(QStringLiteral("N"));
    table.last();
    const std::optional<int> last = table.fieldInt(QStringLiteral("N"));
    if (!first || !last || *last < *first)
        return list;
    list.reserve(*last - *first + 1);
    for (int n = *first; n <= *last; ++n)
        list << QString::number(n);
    return list;
}

std::optional<int> parseMeasurementChoice(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace kve

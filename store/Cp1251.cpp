#include "Cp1251.h"

#include "CodePageTable.h"

#include <QHash>
#include <array>

namespace kve::cp1251 {

namespace {

struct CodePage {
    std::array<char16_t, 256> toUnicode{};
    QHash<char16_t, char> fromUnicode;

    CodePage() : toUnicode(windows1251Characters())
    {
        for (int b = 0; b < 256; ++b) {
            if (toUnicode[b] != 0xFFFD)
                fromUnicode.insert(toUnicode[b], char(b));
        }
    }
};

const CodePage &codePage()
{
    static const CodePage page;
    return page;
}

} // namespace

QString decode(const char *bytes, int length)
{
    const auto &table = codePage().toUnicode;
    QString out(length, Qt::Uninitialized);
    QChar *dst = out.data();
    for (int i = 0; i < length; ++i)
        dst[i] = QChar(table[static_cast<unsigned char>(bytes[i])]);
    return out;
}

QByteArray encode(const QString &text)
{
    const auto &map = codePage().fromUnicode;
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text)
        out.append(map.value(c.unicode(), '?'));
    return out;
}

bool canEncode(const QString &text)
{
    const auto &map = codePage().fromUnicode;
    for (QChar c : text) {
        if (!map.contains(c.unicode()))
            return false;
    }
    return true;
}

} // namespace kve::cp1251

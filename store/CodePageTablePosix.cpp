#include "CodePageTable.h"

#include "Error.h"

#include <QStringDecoder>

namespace kve::cp1251 {

std::array<char16_t, 256> windows1251Characters()
{
    QStringDecoder decoder("windows-1251", QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        throw Error(QStringLiteral("Qt has no Windows-1251 codec (ICU missing)"));
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        const QString ch = decoder.decode(QByteArrayView(&byte, 1));
        // Bytes without a character in the code page decode to U+FFFD.
        table[b] = ch.size() == 1 ? ch.at(0).unicode() : char16_t(0xFFFD);
    }
    return table;
}

} // namespace kve::cp1251

#include "CodePageTable.h"

#include "Error.h"

#include <windows.h>

namespace kve::cp1251 {

std::array<char16_t, 256> windows1251Characters()
{
    // Qt reaches other code pages only through ICU, which its Windows build lacks; the
    // system's converter knows 1251 itself.
    if (!IsValidCodePage(1251))
        throw Error(QStringLiteral("Windows has no code page 1251"));
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        wchar_t ch = 0;
        const int n = MultiByteToWideChar(1251, MB_ERR_INVALID_CHARS, &byte, 1, &ch, 1);
        // The byte the code page leaves empty comes back as an error or as the C1 control of
        // the same number; neither is a character of the code page.
        const bool none = n != 1 || (b >= 0x80 && b <= 0x9F && ch == wchar_t(b));
        table[b] = none ? char16_t(0xFFFD) : char16_t(ch);
    }
    return table;
}

} // namespace kve::cp1251

#pragma once

#include <array>

namespace kve::cp1251 {

// The character of each byte of Windows-1251 as the system's own converter reads it, or
// U+FFFD for a byte the code page leaves without one (0x98). Throws kve::Error when the
// system has no such converter.
std::array<char16_t, 256> windows1251Characters();

} // namespace kve::cp1251

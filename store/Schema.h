#pragma once

#include <QString>
#include <array>

namespace kve {

// The measurement record: 17 fields in file order.
struct FieldDef {
    const char *name;
    char type;       // 'C' character, 'N' numeric without decimals
    int width;       // width in the file
    int offset;      // offset in the record (after the deletion flag at 0)
    int cutWidth;    // what a written text is cut to (SER and A keep less than their width)
};

inline constexpr int kFieldCount = 17;
inline constexpr int kHeaderLength = 577;
inline constexpr int kRecordLength = 226;

inline constexpr std::array<FieldDef, kFieldCount> kFields{{
    {"N", 'N', 4, 1, 4},
    {"MODE", 'C', 11, 5, 11},
    {"EN_CH", 'N', 4, 16, 4},
    {"DATE", 'C', 10, 20, 10},
    {"TIME", 'C', 8, 30, 8},
    {"T_1", 'C', 6, 38, 6},
    {"T_2", 'C', 6, 44, 6},
    {"T_3", 'C', 10, 50, 10},
    {"COMMENT", 'C', 50, 60, 50},
    {"P_1", 'C', 6, 110, 6},
    {"P_2", 'C', 6, 116, 6},
    {"F", 'C', 6, 122, 6},
    {"SER", 'C', 20, 128, 3},
    {"ST", 'C', 50, 148, 50},
    {"D", 'C', 3, 198, 3},
    {"A", 'C', 20, 201, 4},
    {"P", 'C', 5, 221, 5},
}};

// Index of a field by name (case-insensitive), or -1.
int fieldIndex(const QString &name);

} // namespace kve

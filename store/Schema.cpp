#include "Schema.h"

namespace kve {

int fieldIndex(const QString &name)
{
    for (int i = 0; i < kFieldCount; ++i) {
        if (name.compare(QLatin1String(kFields[i].name), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace kve

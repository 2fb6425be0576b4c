#include "XlsContainer.h"

#include "XlsWorkbook.h"
#include "store/FileReplacement.h"

namespace kve::xls {

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    // Every write is checked, so that the operator reads why (a full disk, a size limit)
    // rather than an unknown error; the old file stays unless the new one is whole.
    try {
        FileReplacement file(path);
        file.write(bytes);
        file.commit();
    } catch (const XlsError &) {
        throw;
    } catch (const kve::Error &e) {
        throw XlsError(e.text(), e.cause());
    }
}

} // namespace kve::xls

#include "XlsContainer.h"

#include "XlsWorkbook.h"

#include <QFileInfo>
#include <QSaveFile>

namespace kve::xls {

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    // No copy of the old file is kept aside; the rename replaces it at once.
    file.setDirectWriteFallback(false);
    const auto fail = [&](const QString &why) {
        file.cancelWriting();
        throw XlsError(QStringLiteral("Не удалось сохранить файл \"%1\": %2")
                           .arg(QFileInfo(path).absoluteFilePath(), why));
    };
    if (!file.open(QIODevice::WriteOnly))
        fail(file.errorString());
    if (file.write(bytes) != bytes.size())
        fail(file.errorString());
    if (!file.commit())
        throw XlsError(QStringLiteral("Не удалось сохранить файл \"%1\": %2")
                           .arg(QFileInfo(path).absoluteFilePath(), file.errorString()));
}

} // namespace kve::xls

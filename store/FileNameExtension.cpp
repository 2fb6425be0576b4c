#include "FileNameExtension.h"

namespace kve {

QString withExtension(const QString &fileName, const QString &extension)
{
    if (fileName.isEmpty() || fileName.endsWith(extension, Qt::CaseInsensitive))
        return fileName;
    if (fileName.endsWith(QChar('.')))
        return fileName + extension.mid(1);
    return fileName + extension;
}

} // namespace kve

#include "XlsContainer.h"

#include "XlsWorkbook.h"

#include <QFileInfo>
#include <QSaveFile>

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

namespace kve::xls {

QByteArray compoundFile(const QString &streamName, const QByteArray &stream)
{
    static const bool initialised = [] {
        gsf_init();
        return true;
    }();
    Q_UNUSED(initialised);

    GsfOutput *memory = gsf_output_memory_new();
    GsfOutfile *ole = gsf_outfile_msole_new(memory);
    GsfOutput *child = gsf_outfile_new_child(ole, streamName.toUtf8().constData(), FALSE);
    bool ok = child != nullptr;
    if (ok)
        ok = gsf_output_write(child, gsize(stream.size()), reinterpret_cast<const guint8 *>(stream.constData()));
    if (child) {
        ok = gsf_output_close(child) && ok;
        g_object_unref(child);
    }
    ok = gsf_output_close(GSF_OUTPUT(ole)) && ok;
    g_object_unref(ole);
    QByteArray bytes;
    if (ok) {
        const guint8 *data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
        bytes = QByteArray(reinterpret_cast<const char *>(data), qsizetype(gsf_output_size(memory)));
    }
    g_object_unref(memory);
    if (!ok || bytes.isEmpty())
        throw XlsError(QStringLiteral("Не удалось собрать файл книги."),
                       QStringLiteral("libgsf OLE container of a %1-byte stream").arg(stream.size()));
    return bytes;
}

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

#include "XlsContainer.h"

#include "XlsWorkbook.h"
#include "store/FileReplacement.h"

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

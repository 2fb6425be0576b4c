#include "DbfFile.h"

#include "TableError.h"

#include "Cp1251.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include <shapefil.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kve {

namespace {

// shapelib always asks for "<name>.dbf" (and "<name>.cpg"), and its SAHooks carry no user
// pointer, so a hook cannot be handed the state of its call: the hooks reach it through
// this one thread-local pointer, set only for the duration of one open or create call.
struct HookCall {
    QByteArray realPath;
    int openErrno = 0;
    bool lockRefused = false;
};
thread_local HookCall *g_call = nullptr;

struct CallScope {
    explicit CallScope(HookCall &call) { g_call = &call; }
    ~CallScope() { g_call = nullptr; }
    CallScope(const CallScope &) = delete;
    CallScope &operator=(const CallScope &) = delete;
};

SAFile openHook(const char *filename, const char *access)
{
    const QByteArray requested = QByteArray(filename).toLower();
    if (!requested.endsWith(".dbf"))
        return nullptr;   // no code page file: the table's text is always Windows-1251
    const bool create = std::strchr(access, 'w') != nullptr;
#ifdef _WIN32
    // Exclusive: no other process may open the file while it is open here. As below, the
    // file is cut only once it is held (and opening an existing hidden file this way works).
    const QString path = QString::fromUtf8(g_call->realPath);
    int fd = -1;
    const int flags = _O_RDWR | _O_BINARY | _O_NOINHERIT | (create ? _O_CREAT : 0);
    const errno_t opened = _wsopen_s(&fd, reinterpret_cast<const wchar_t *>(path.utf16()), flags, _SH_DENYRW, _S_IREAD | _S_IWRITE);
    if (opened != 0) {
        g_call->openErrno = opened;
        g_call->lockRefused = opened == EACCES;
        return nullptr;
    }
    if (create && _chsize_s(fd, 0) != 0) {
        g_call->openErrno = errno;
        _close(fd);
        return nullptr;
    }
    FILE *fp = _fdopen(fd, "r+b");
    if (!fp) {
        g_call->openErrno = errno;
        _close(fd);
    }
    return reinterpret_cast<SAFile>(fp);
#else
    const int fd = ::open(g_call->realPath.constData(), (create ? O_RDWR | O_CREAT : O_RDWR) | O_CLOEXEC, 0666);
    if (fd < 0) {
        g_call->openErrno = errno;
        return nullptr;
    }
    // The lock is taken before anything is truncated, so a file held by another copy of
    // the program is never touched.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        g_call->openErrno = errno;
        g_call->lockRefused = true;
        ::close(fd);
        return nullptr;
    }
    if (create && ::ftruncate(fd, 0) != 0) {
        g_call->openErrno = errno;
        ::close(fd);
        return nullptr;
    }
    FILE *fp = ::fdopen(fd, create ? "wb+" : "rb+");
    if (!fp) {
        g_call->openErrno = errno;
        ::close(fd);
    }
    return reinterpret_cast<SAFile>(fp);
#endif
}

// DBFCreateLL would otherwise delete "<name>.cpg", which is not ours.
int removeHook(const char *) { return 0; }

void errorHook(const char *) {}

SAHooks makeHooks()
{
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = openHook;
    hooks.Remove = removeHook;
    hooks.Error = errorHook;
    return hooks;
}

DBFHandle handleOf(void *h) { return static_cast<DBFHandle>(h); }

// Every write goes through writeToFile: shapelib must not write anything back at close.
void closeHandle(void *handle)
{
    DBFHandle h = handleOf(handle);
    h->bUpdated = 0;
    h->bCurrentRecordModified = 0;
    DBFClose(h);
}

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString damaged(const QString &path, const QString &why)
{
    return QStringLiteral("Файл «%1» не является таблицей измерений: %2").arg(QDir::toNativeSeparators(path), why);
}

} // namespace

DbfFile::~DbfFile()
{
    if (m_handle)
        closeHandle(m_handle);
}

void DbfFile::create(const QString &path)
{
    if (path.isEmpty())
        throw TableError(QStringLiteral("Не задано имя файла таблицы"));
    SAHooks hooks = makeHooks();
    HookCall call{QFile::encodeName(path)};
    DBFHandle h = nullptr;
    {
        CallScope scope(call);
        h = DBFCreateLL(call.realPath.constData(), nullptr, &hooks);
    }
    if (!h) {
        const QString why = call.lockRefused ? QStringLiteral("файл открыт другой программой") : systemText(call.openErrno);
        throw TableError(QStringLiteral("Не удалось создать файл «%1»: %2").arg(QDir::toNativeSeparators(path), why),
                         QStringLiteral("DBFCreateLL, errno %1").arg(call.openErrno));
    }
    for (const FieldDef &f : kFields) {
        if (DBFAddNativeFieldType(h, f.name, f.type, f.width, 0) < 0) {
            DBFClose(h);
            throw TableError(QStringLiteral("Не удалось создать поле %1").arg(QLatin1String(f.name)), QStringLiteral("DBFAddNativeFieldType"));
        }
    }
    const QDate today = QDate::currentDate();
    DBFSetLastModifiedDate(h, today.year() - 1900, today.month(), today.day());
    errno = 0;
    DBFUpdateHeader(h);
    FILE *fp = reinterpret_cast<FILE *>(h->fp);
    // A failed buffered write shows in the stream's error flag even when the flush succeeds.
    if (std::fflush(fp) != 0 || std::ferror(fp)) {
        const int error = errno != 0 ? errno : EIO;
        closeHandle(h);
        throw TableError(QStringLiteral("Не удалось записать файл «%1»: %2").arg(QDir::toNativeSeparators(path), systemText(error)),
                         QStringLiteral("DBFUpdateHeader and fflush, errno %1").arg(error));
    }
    DBFClose(h);
}

void DbfFile::readHeaderAndFields(const QByteArray &header, qint64 fileSize)
{
    const auto byte = [&](int i) { return static_cast<unsigned char>(header[i]); };
    if (header.size() < 32)
        throw TableError(damaged(m_path, QStringLiteral("файл короче заголовка")));
    const unsigned char version = byte(0);
    if (version != 0x03 && version != 0x83 && version != 0x8B)
        throw TableError(damaged(m_path, QStringLiteral("это не файл dBase")));
    const quint32 records = quint32(byte(4)) | quint32(byte(5)) << 8 | quint32(byte(6)) << 16 | quint32(byte(7)) << 24;
    const int headerLength = byte(8) | byte(9) << 8;
    const int recordLength = byte(10) | byte(11) << 8;
    if (headerLength < 33 + 32 || (headerLength - 33) / 32 < 1)
        throw TableError(damaged(m_path, QStringLiteral("неверная длина заголовка")));
    if (header.size() < headerLength)
        throw TableError(damaged(m_path, QStringLiteral("файл короче заголовка")));
    if (recordLength < 2)
        throw TableError(damaged(m_path, QStringLiteral("неверная длина записи")));
    if (qint64(headerLength) + qint64(records) * recordLength > fileSize)
        throw TableError(damaged(m_path, QStringLiteral("файл обрезан")),
                         QStringLiteral("header %1 + %2 records of %3 bytes, file %4 bytes").arg(headerLength).arg(records).arg(recordLength).arg(fileSize));

    // Field descriptors until the 0x0D terminator; their widths must add up to the record.
    std::array<int, kFieldCount> found;
    found.fill(-1);
    int offset = 1;
    int pos = 32;
    while (pos + 32 <= headerLength && byte(pos) != 0x0D) {
        const QByteArray rawName = header.mid(pos, 11);
        const QString name = QString::fromLatin1(rawName.left(int(qstrnlen(rawName.constData(), 11))));
        const char type = header[pos + 11];
        const int width = byte(pos + 16);
        const int decimals = byte(pos + 17);
        const int index = fieldIndex(name);
        if (index >= 0 && found[index] < 0) {
            const FieldDef &def = kFields[index];
            const bool compatible = def.type == 'C' ? type == 'C' : ((type == 'N' || type == 'F') && decimals == 0);
            if (!compatible)
                throw TableError(damaged(m_path, QStringLiteral("поле %1 имеет неверный тип").arg(QLatin1String(def.name))));
            if (width < 1)
                throw TableError(damaged(m_path, QStringLiteral("поле %1 имеет нулевую ширину").arg(QLatin1String(def.name))));
            m_fields[index] = Field{offset, width, def.type};
            found[index] = offset;
        }
        offset += width;
        pos += 32;
    }
    if (pos + 32 > headerLength && (pos >= headerLength || byte(pos) != 0x0D))
        throw TableError(damaged(m_path, QStringLiteral("нет конца описания полей")));
    if (offset != recordLength)
        throw TableError(damaged(m_path, QStringLiteral("длины полей не сходятся с длиной записи")));
    for (int i = 0; i < kFieldCount; ++i) {
        if (found[i] < 0)
            throw TableError(damaged(m_path, QStringLiteral("нет поля %1").arg(QLatin1String(kFields[i].name))));
    }
    m_recordLength = recordLength;
    m_recordCount = int(records);
}

void DbfFile::open(const QString &path)
{
    if (isOpen())
        return;
    if (path.isEmpty())
        throw TableError(QStringLiteral("Не задано имя файла таблицы"));
    if (!QFileInfo(path).isFile())
        throw TableError(QStringLiteral("Файл «%1» не найден").arg(QDir::toNativeSeparators(path)));
    m_path = path;

    SAHooks hooks = makeHooks();
    HookCall call{QFile::encodeName(path)};
    DBFHandle h = nullptr;
    {
        CallScope scope(call);
        h = DBFOpenLL(call.realPath.constData(), "rb+", &hooks);
    }
    if (!h) {
        if (call.lockRefused)
            throw TableError(QStringLiteral("Файл «%1» открыт другой программой").arg(QDir::toNativeSeparators(path)));
        if (call.openErrno != 0)
            throw TableError(QStringLiteral("Не удалось открыть файл «%1»: %2").arg(QDir::toNativeSeparators(path), systemText(call.openErrno)),
                             QStringLiteral("DBFOpenLL, errno %1").arg(call.openErrno));
        throw TableError(damaged(path, QStringLiteral("это не файл dBase")));
    }

    // Check the whole layout before anything is read or written; a file that fails is left
    // exactly as it was.
    FILE *fp = reinterpret_cast<FILE *>(h->fp);
    QByteArray header;
    qint64 fileSize = 0;
    try {
        std::fseek(fp, 0, SEEK_END);
        fileSize = std::ftell(fp);
        std::fseek(fp, 0, SEEK_SET);
        const int headerLength = h->nHeaderLength;
        header.resize(std::max(32, std::min<qint64>(headerLength, fileSize) > 0 ? int(std::min<qint64>(headerLength, fileSize)) : 32));
        header.resize(int(std::fread(header.data(), 1, size_t(header.size()), fp)));
        readHeaderAndFields(header, fileSize);
        if (m_recordLength != h->nRecordLength || m_recordCount != h->nRecords)
            throw TableError(damaged(path, QStringLiteral("заголовок противоречив")));
    } catch (...) {
        // Close without shapelib writing anything back.
        h->bUpdated = 0;
        h->bCurrentRecordModified = 0;
        DBFClose(h);
        m_recordCount = 0;
        throw;
    }

    // All records at once: the view, sorting and the grids work from memory.
    m_records.resize(qsizetype(m_recordCount) * m_recordLength);
    std::fseek(fp, h->nHeaderLength, SEEK_SET);
    const size_t want = size_t(m_records.size());
    if (want > 0 && std::fread(m_records.data(), 1, want, fp) != want) {
        h->bUpdated = 0;
        DBFClose(h);
        m_records.clear();
        m_recordCount = 0;
        throw TableError(damaged(path, QStringLiteral("файл обрезан")));
    }

    m_handle = h;
    m_headerLength = h->nHeaderLength;
    m_fileSize = fileSize;
    const qint64 dataEnd = m_headerLength + qint64(m_recordCount) * m_recordLength;
    char after = 0;
    m_uncountedBytes = fileSize > dataEnd
                       && (fileSize != dataEnd + 1 || readAt(fileDescriptor(), dataEnd, &after, 1) != 0 || after != '\x1A');
    m_uncountedRecords = 0;
    if (m_uncountedBytes) {
        const qint64 tail = fileSize - dataEnd;
        char last = 0;
        const bool endByte = tail % m_recordLength == 1 && readAt(fileDescriptor(), fileSize - 1, &last, 1) == 0 && last == '\x1A';
        if (tail % m_recordLength == 0 || endByte)
            m_uncountedRecords = tail / m_recordLength;
    }

    // No index file is ever kept: a flag left by another program is cleared. Should that
    // fail, the file stays as it was and the flag is harmless.
    if (static_cast<unsigned char>(header[28]) != 0)
        applyPatches(fileDescriptor(), m_fileSize, {FilePatch{28, QByteArray(1, '\0')}});
}

void DbfFile::close()
{
    if (!m_handle)
        return;
    closeHandle(m_handle);
    m_handle = nullptr;
    m_records.clear();
    m_recordCount = 0;
    m_fileSize = 0;
    m_uncountedBytes = false;
    m_uncountedRecords = 0;
}

void DbfFile::writeRecord(int record, const QByteArray &raw)
{
    const bool appending = record >= m_recordCount;
    if (appending && m_uncountedBytes) {
        // Nothing is written over those bytes and nothing is dropped: the rows the header
        // counts stay as they are, and so does what follows them.
        const QString file = QDir::toNativeSeparators(m_path);
        if (m_uncountedRecords > 0)
            throw TableError(QStringLiteral("Строка не добавлена: в файле «%1» за строками, учтёнными в заголовке (%2), "
                                            "лежат строки, не учтённые в нём (%3), — след прерванной записи. "
                                            "Файл оставлен как есть, чтобы их не затереть")
                                 .arg(file)
                                 .arg(m_recordCount)
                                 .arg(m_uncountedRecords));
        throw TableError(QStringLiteral("Строка не добавлена: в файле «%1» за строками, учтёнными в заголовке (%2), "
                                        "лежат ещё %3 байт, не учтённых в нём. Файл оставлен как есть, чтобы их не затереть")
                             .arg(file)
                             .arg(m_recordCount)
                             .arg(m_fileSize - (m_headerLength + qint64(m_recordCount) * m_recordLength)));
    }
    writeToFile({FilePatch{m_headerLength + qint64(record) * m_recordLength, raw}}, appending ? record + 1 : m_recordCount);
    if (appending) {
        m_records.append(raw);
        ++m_recordCount;
    } else {
        std::memcpy(m_records.data() + qsizetype(record) * m_recordLength, raw.constData(), size_t(m_recordLength));
    }
}

void DbfFile::markDeleted(int record)
{
    writeToFile({FilePatch{m_headerLength + qint64(record) * m_recordLength, QByteArray(1, '*')}}, m_recordCount);
    m_records[qsizetype(record) * m_recordLength] = '*';
}

void DbfFile::markDeleted(const std::vector<int> &records)
{
    if (records.empty())
        return;
    std::vector<FilePatch> patches;
    patches.reserve(records.size() + 2);
    const QByteArray mark(1, '*');
    for (int record : records)
        patches.push_back(FilePatch{m_headerLength + qint64(record) * m_recordLength, mark});
    writeToFile(std::move(patches), m_recordCount);
    for (int record : records)
        m_records[qsizetype(record) * m_recordLength] = '*';
}

// Writes the patches together with the header (record count, date) and the end-of-file
// byte, so a crash loses at most the row being edited; a failure leaves the file exactly as
// it was and is told with the system's reason.
void DbfFile::writeToFile(std::vector<FilePatch> patches, int recordCount)
{
    const qint64 dataEnd = m_headerLength + qint64(recordCount) * m_recordLength;
    if (!m_uncountedBytes && m_fileSize <= dataEnd)
        patches.push_back(FilePatch{dataEnd, QByteArray(1, '\x1A')});
    const QDate today = QDate::currentDate();
    QByteArray header(7, '\0');
    header[0] = char(today.year() - 1900);
    header[1] = char(today.month());
    header[2] = char(today.day());
    for (int i = 0; i < 4; ++i)
        header[3 + i] = char((quint32(recordCount) >> (8 * i)) & 0xFF);
    patches.push_back(FilePatch{1, header});

    const PatchOutcome outcome = applyPatches(fileDescriptor(), m_fileSize, patches);
    if (outcome.error != 0) {
        QString text = QStringLiteral("Не удалось записать файл «%1»: %2").arg(QDir::toNativeSeparators(m_path), systemText(outcome.error));
        if (outcome.restoreError != 0)
            text += QStringLiteral("; вернуть файл в прежнее состояние не удалось: %1").arg(systemText(outcome.restoreError));
        throw TableError(text, QStringLiteral("patches from offset %1, errno %2, restore errno %3")
                                   .arg(patches.front().offset)
                                   .arg(outcome.error)
                                   .arg(outcome.restoreError));
    }
    for (const FilePatch &p : patches)
        m_fileSize = std::max<qint64>(m_fileSize, p.offset + p.bytes.size());
}

int DbfFile::fileDescriptor() const
{
    FILE *fp = reinterpret_cast<FILE *>(handleOf(m_handle)->fp);
#ifdef _WIN32
    return _fileno(fp);
#else
    return ::fileno(fp);
#endif
}

QString DbfFile::decodeField(const char *record, int field) const
{
    const Field &f = m_fields[size_t(field)];
    const char *begin = record + f.offset;
    int length = f.width;
    while (length > 0 && begin[length - 1] == ' ')
        --length;
    if (f.type == 'N') {
        while (length > 0 && *begin == ' ') {
            ++begin;
            --length;
        }
    }
    return cp1251::decode(begin, length);
}

std::optional<qint64> DbfFile::numberAt(const char *record, int field) const
{
    const Field &f = m_fields[size_t(field)];
    qint64 value = 0;
    bool any = false;
    bool negative = false;
    for (int i = 0; i < f.width; ++i) {
        const char c = record[f.offset + i];
        if (c == ' ')
            continue;
        if (c == '-' && !any) {
            negative = true;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        // A field wider than 18 digits (another writer's file) may hold more than fits.
        if (value > (std::numeric_limits<qint64>::max() - (c - '0')) / 10)
            return std::nullopt;
        value = value * 10 + (c - '0');
        any = true;
    }
    if (!any)
        return std::nullopt;
    return negative ? -value : value;
}

void DbfFile::encodeText(char *record, int field, const QString &text) const
{
    const Field &f = m_fields[size_t(field)];
    if (!cp1251::canEncode(text))
        throw TableError(QStringLiteral("Текст «%1» содержит символы, которые нельзя сохранить в таблице").arg(text));
    const QByteArray bytes = cp1251::encode(text);
    const int keep = std::min<int>({int(bytes.size()), f.width, kFields[size_t(field)].cutWidth});
    std::memset(record + f.offset, ' ', size_t(f.width));
    std::memcpy(record + f.offset, bytes.constData(), size_t(keep));
}

void DbfFile::encodeInt(char *record, int field, int value) const
{
    const Field &f = m_fields[size_t(field)];
    const QByteArray digits = QByteArray::number(value);
    if (digits.size() > f.width)
        throw TableError(QStringLiteral("Значение %1 не помещается в поле %2").arg(value).arg(QLatin1String(kFields[size_t(field)].name)));
    std::memset(record + f.offset, ' ', size_t(f.width));
    std::memcpy(record + f.offset + f.width - digits.size(), digits.constData(), size_t(digits.size()));
}

void DbfFile::clearField(char *record, int field) const
{
    const Field &f = m_fields[size_t(field)];
    std::memset(record + f.offset, ' ', size_t(f.width));
}

} // namespace kve

#include "MeasurementTable.h"

#include "Cp1251.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

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

// shapelib always asks for "<name>.dbf" (and "<name>.cpg"), and its hooks carry no user
// pointer: the real path is held here for the duration of one open or create call.
thread_local QByteArray g_realPath;
thread_local int g_openErrno = 0;
thread_local bool g_lockRefused = false;

SAFile openHook(const char *filename, const char *access)
{
    const QByteArray requested = QByteArray(filename).toLower();
    if (!requested.endsWith(".dbf"))
        return nullptr;   // no code page file: the table's text is always Windows-1251
    const bool create = std::strchr(access, 'w') != nullptr;
#ifdef _WIN32
    // Exclusive: no other process may open the file while it is open here. As below, the
    // file is cut only once it is held (and opening an existing hidden file this way works).
    const QString path = QString::fromUtf8(g_realPath);
    int fd = -1;
    const int flags = _O_RDWR | _O_BINARY | _O_NOINHERIT | (create ? _O_CREAT : 0);
    const errno_t opened = _wsopen_s(&fd, reinterpret_cast<const wchar_t *>(path.utf16()), flags, _SH_DENYRW, _S_IREAD | _S_IWRITE);
    if (opened != 0) {
        g_openErrno = opened;
        g_lockRefused = opened == EACCES;
        return nullptr;
    }
    if (create && _chsize_s(fd, 0) != 0) {
        g_openErrno = errno;
        _close(fd);
        return nullptr;
    }
    FILE *fp = _fdopen(fd, "r+b");
    if (!fp) {
        g_openErrno = errno;
        _close(fd);
    }
    return reinterpret_cast<SAFile>(fp);
#else
    const int fd = ::open(g_realPath.constData(), (create ? O_RDWR | O_CREAT : O_RDWR) | O_CLOEXEC, 0666);
    if (fd < 0) {
        g_openErrno = errno;
        return nullptr;
    }
    // The lock is taken before anything is truncated, so a file held by another copy of
    // the program is never touched.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        g_openErrno = errno;
        g_lockRefused = true;
        ::close(fd);
        return nullptr;
    }
    if (create && ::ftruncate(fd, 0) != 0) {
        g_openErrno = errno;
        ::close(fd);
        return nullptr;
    }
    FILE *fp = ::fdopen(fd, create ? "wb+" : "rb+");
    if (!fp) {
        g_openErrno = errno;
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

struct PathScope {
    explicit PathScope(const QString &path)
    {
        g_realPath = QFile::encodeName(path);
        g_openErrno = 0;
        g_lockRefused = false;
    }
    ~PathScope() { g_realPath.clear(); }
};

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

MeasurementTable::MeasurementTable(QObject *parent) : QObject(parent) {}

MeasurementTable::~MeasurementTable()
{
    if (m_handle)
        closeHandle(m_handle);
}

void MeasurementTable::setFilePath(const QString &path)
{
    m_path = path;
}

MeasurementTable::State MeasurementTable::state() const
{
    return isOpen() ? m_state : State::Inactive;
}

// --- file ---------------------------------------------------------------------------------

void MeasurementTable::create()
{
    close();
    if (m_path.isEmpty())
        throw TableError(QStringLiteral("Не задано имя файла таблицы"));
    SAHooks hooks = makeHooks();
    DBFHandle h = nullptr;
    {
        PathScope scope(m_path);
        h = DBFCreateLL(g_realPath.constData(), nullptr, &hooks);
        if (!h) {
            const QString why = g_lockRefused ? QStringLiteral("файл открыт другой программой") : systemText(g_openErrno);
            throw TableError(QStringLiteral("Не удалось создать файл «%1»: %2").arg(QDir::toNativeSeparators(m_path), why));
        }
    }
    for (const FieldDef &f : kFields) {
        if (DBFAddNativeFieldType(h, f.name, f.type, f.width, 0) < 0) {
            DBFClose(h);
            throw TableError(QStringLiteral("Не удалось создать поле %1").arg(QLatin1String(f.name)));
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
        throw TableError(QStringLiteral("Не удалось записать файл «%1»: %2").arg(QDir::toNativeSeparators(m_path), systemText(error)));
    }
    DBFClose(h);
    if (m_tagsPath != m_path)
        m_tags.clear();
    open();
}

void MeasurementTable::readHeaderAndFields(const QByteArray &header, qint64 fileSize)
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
        throw TableError(damaged(m_path, QStringLiteral("файл обрезан")));

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
            m_fields[index] = FileField{offset, width, def.type};
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

void MeasurementTable::open()
{
    if (isOpen())
        return;
    if (m_path.isEmpty())
        throw TableError(QStringLiteral("Не задано имя файла таблицы"));
    if (!QFileInfo(m_path).isFile())
        throw TableError(QStringLiteral("Файл «%1» не найден").arg(QDir::toNativeSeparators(m_path)));

    SAHooks hooks = makeHooks();
    DBFHandle h = nullptr;
    {
        PathScope scope(m_path);
        h = DBFOpenLL(g_realPath.constData(), "rb+", &hooks);
        if (!h) {
            if (g_lockRefused)
                throw TableError(QStringLiteral("Файл «%1» открыт другой программой").arg(QDir::toNativeSeparators(m_path)));
            if (g_openErrno != 0)
                throw TableError(QStringLiteral("Не удалось открыть файл «%1»: %2").arg(QDir::toNativeSeparators(m_path), systemText(g_openErrno)));
            throw TableError(damaged(m_path, QStringLiteral("это не файл dBase")));
        }
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
            throw TableError(damaged(m_path, QStringLiteral("заголовок противоречив")));
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
        throw TableError(damaged(m_path, QStringLiteral("файл обрезан")));
    }

    m_handle = h;
    m_headerLength = h->nHeaderLength;
    m_fileSize = fileSize;
    const qint64 dataEnd = m_headerLength + qint64(m_recordCount) * m_recordLength;
    char after = 0;
    m_uncountedBytes = fileSize > dataEnd
                       && (fileSize != dataEnd + 1 || readAt(fileDescriptor(), dataEnd, &after, 1) != 0 || after != '\x1A');

    // No index file is ever kept: a flag left by another program is cleared. Should that
    // fail, the file stays as it was and the flag is harmless.
    if (static_cast<unsigned char>(header[28]) != 0)
        applyPatches(fileDescriptor(), m_fileSize, {FilePatch{28, QByteArray(1, '\0')}});

    m_state = State::Browse;
    if (m_tagsPath != m_path) {
        m_tags.clear();
        m_tagsPath = m_path;
    }
    if (!m_activeTag.isEmpty() && !m_tags.count(m_activeTag))
        m_activeTag.clear();
    rebuildView();
    m_pos = 0;
    emitViewChanged();
}

void MeasurementTable::close()
{
    if (!m_handle)
        return;
    m_state = State::Browse;
    m_editBuffer.clear();
    m_editRecord = -1;
    closeHandle(m_handle);
    m_handle = nullptr;
    m_records.clear();
    m_recordCount = 0;
    m_fileSize = 0;
    m_uncountedBytes = false;
    m_view.clear();
    m_pos = 0;
    m_state = State::Inactive;
    emitViewChanged();
}

void MeasurementTable::dropIndexFile()
{
    m_tags.clear();
    m_activeTag.clear();
}

// --- cursor -------------------------------------------------------------------------------

void MeasurementTable::leaveEdit()
{
    if (m_state == State::Edit || m_state == State::Insert)
        post();
}

void MeasurementTable::first()
{
    requireOpen();
    leaveEdit();
    m_pos = 0;
}

void MeasurementTable::last()
{
    requireOpen();
    leaveEdit();
    m_pos = m_view.empty() ? 0 : int(m_view.size()) - 1;
}

void MeasurementTable::next()
{
    requireOpen();
    leaveEdit();
    if (m_pos < int(m_view.size()))
        ++m_pos;
}

bool MeasurementTable::eof() const { return m_pos >= int(m_view.size()); }

void MeasurementTable::moveTo(int viewRow)
{
    requireOpen();
    leaveEdit();
    m_pos = std::clamp(viewRow, 0, int(m_view.size()));
}

int MeasurementTable::recordCount() const { return int(m_view.size()); }

int MeasurementTable::physicalRecordCount() const { return m_recordCount; }

int MeasurementTable::physicalRecord() const { return eof() ? -1 : m_view[size_t(m_pos)]; }

bool MeasurementTable::locate(const QString &field, const QString &value)
{
    requireOpen();
    leaveEdit();
    const int index = fieldOrThrow(field);
    const std::optional<qint64> number = kFields[index].type == 'N' ? std::optional<qint64>(value.trimmed().toLongLong()) : std::nullopt;
    for (size_t i = 0; i < m_view.size(); ++i) {
        const char *record = m_records.constData() + qsizetype(m_view[i]) * m_recordLength;
        const bool match = number ? numberAt(record, index) == number : decodeField(record, index) == value;
        if (match) {
            m_pos = int(i);
            return true;
        }
    }
    return false;
}

// --- rows ---------------------------------------------------------------------------------

void MeasurementTable::append()
{
    requireOpen();
    leaveEdit();
    m_editBuffer = QByteArray(m_recordLength, ' ');
    m_editRecord = m_recordCount;
    m_state = State::Insert;
}

void MeasurementTable::edit()
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    requireRow();
    m_editRecord = m_view[size_t(m_pos)];
    m_editBuffer = QByteArray(m_records.constData() + qsizetype(m_editRecord) * m_recordLength, m_recordLength);
    m_state = State::Edit;
}

void MeasurementTable::writeRecord(int record, const QByteArray &raw)
{
    const bool appending = record >= m_recordCount;
    if (appending && m_uncountedBytes)
        throw TableError(QStringLiteral("Строка не записана: в файле «%1» после строк, учтённых в заголовке, есть другие данные "
                                        "(возможно, запись другой программы прервалась), и новая строка легла бы на них")
                             .arg(QDir::toNativeSeparators(m_path)));
    writeToFile({FilePatch{m_headerLength + qint64(record) * m_recordLength, raw}}, appending ? record + 1 : m_recordCount);
}

// Writes the patches together with the header (record count, date) and the end-of-file
// byte, so a crash loses at most the row being edited; a failure leaves the file exactly as
// it was and is told with the system's reason.
void MeasurementTable::writeToFile(std::vector<FilePatch> patches, int recordCount)
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
        throw TableError(text);
    }
    for (const FilePatch &p : patches)
        m_fileSize = std::max<qint64>(m_fileSize, p.offset + p.bytes.size());
}

int MeasurementTable::fileDescriptor() const
{
    FILE *fp = reinterpret_cast<FILE *>(handleOf(m_handle)->fp);
#ifdef _WIN32
    return _fileno(fp);
#else
    return ::fileno(fp);
#endif
}

void MeasurementTable::post()
{
    requireOpen();
    if (m_state == State::Insert) {
        const int record = m_recordCount;
        // Back to browsing first: a failed write must not leave a phantom row in edit.
        m_state = State::Browse;
        try {
            writeRecord(record, m_editBuffer);
        } catch (...) {
            m_editBuffer.clear();
            m_editRecord = -1;
            throw;
        }
        m_records.append(m_editBuffer);
        ++m_recordCount;
        if (passesFilter(record)) {
            if (!m_activeTag.isEmpty()) {
                m_view.push_back(record);
                sortView();
                m_pos = int(std::find(m_view.begin(), m_view.end(), record) - m_view.begin());
            } else {
                m_view.push_back(record);
                m_pos = int(m_view.size()) - 1;
            }
        }
        m_editBuffer.clear();
        m_editRecord = -1;
        emitViewChanged();
    } else if (m_state == State::Edit) {
        const int record = m_editRecord;
        m_state = State::Browse;
        const auto it = std::find(m_view.begin(), m_view.end(), record);
        const int viewRow = it != m_view.end() ? int(it - m_view.begin()) : -1;
        try {
            writeRecord(record, m_editBuffer);
        } catch (...) {
            // The row shows what the file holds again.
            m_editBuffer.clear();
            m_editRecord = -1;
            if (viewRow >= 0)
                emit rowChanged(viewRow);
            throw;
        }
        std::memcpy(m_records.data() + qsizetype(record) * m_recordLength, m_editBuffer.constData(), size_t(m_recordLength));
        m_editBuffer.clear();
        m_editRecord = -1;
        if (viewRow >= 0)
            emit rowChanged(viewRow);
    }
}

void MeasurementTable::cancel()
{
    if (m_state == State::Edit || m_state == State::Insert)
        m_state = State::Browse;
    m_editBuffer.clear();
    m_editRecord = -1;
}

void MeasurementTable::deleteRecord()
{
    requireOpen();
    cancel();
    requireRow();
    const int record = m_view[size_t(m_pos)];
    writeToFile({FilePatch{m_headerLength + qint64(record) * m_recordLength, QByteArray(1, '*')}}, m_recordCount);
    m_records[qsizetype(record) * m_recordLength] = '*';
    m_view.erase(m_view.begin() + m_pos);
    if (m_pos > int(m_view.size()))
        m_pos = int(m_view.size());
    emitViewChanged();
}

// --- fields -------------------------------------------------------------------------------

void MeasurementTable::requireOpen() const
{
    if (!m_handle)
        throw TableError(QStringLiteral("Таблица не открыта"));
}

void MeasurementTable::requireRow() const
{
    if (eof())
        throw TableError(QStringLiteral("Нет текущей строки"));
}

int MeasurementTable::fieldOrThrow(const QString &name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw TableError(QStringLiteral("Поле %1 не найдено").arg(name));
    return index;
}

const char *MeasurementTable::currentRecord() const
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return m_editBuffer.constData();
    requireRow();
    return m_records.constData() + qsizetype(m_view[size_t(m_pos)]) * m_recordLength;
}

QString MeasurementTable::decodeField(const char *record, int field) const
{
    const FileField &f = m_fields[size_t(field)];
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

std::optional<qint64> MeasurementTable::numberAt(const char *record, int field) const
{
    const FileField &f = m_fields[size_t(field)];
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

void MeasurementTable::encodeText(char *record, int field, const QString &text) const
{
    const FileField &f = m_fields[size_t(field)];
    if (!cp1251::canEncode(text))
        throw TableError(QStringLiteral("Текст «%1» содержит символы, которые нельзя сохранить в таблице").arg(text));
    const QByteArray bytes = cp1251::encode(text);
    const int keep = std::min<int>({int(bytes.size()), f.width, kFields[size_t(field)].cutWidth});
    std::memset(record + f.offset, ' ', size_t(f.width));
    std::memcpy(record + f.offset, bytes.constData(), size_t(keep));
}

void MeasurementTable::encodeInt(char *record, int field, int value) const
{
    const FileField &f = m_fields[size_t(field)];
    const QByteArray digits = QByteArray::number(value);
    if (digits.size() > f.width)
        throw TableError(QStringLiteral("Значение %1 не помещается в поле %2").arg(value).arg(QLatin1String(kFields[size_t(field)].name)));
    std::memset(record + f.offset, ' ', size_t(f.width));
    std::memcpy(record + f.offset + f.width - digits.size(), digits.constData(), size_t(digits.size()));
}

QString MeasurementTable::fieldText(const QString &name) const
{
    const int index = fieldOrThrow(name);
    return decodeField(currentRecord(), index);
}

std::optional<int> MeasurementTable::fieldInt(const QString &name) const
{
    const int index = fieldOrThrow(name);
    const char *record = currentRecord();
    if (kFields[size_t(index)].type == 'N') {
        const auto value = numberAt(record, index);
        if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
            return std::nullopt;
        return int(*value);
    }
    bool ok = false;
    const int value = decodeField(record, index).trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

void MeasurementTable::setFieldText(const QString &name, const QString &text)
{
    const int index = fieldOrThrow(name);
    requireOpen();
    if (m_state != State::Edit && m_state != State::Insert)
        throw TableError(QStringLiteral("Таблица не в режиме правки"));
    if (kFields[size_t(index)].type == 'N') {
        const QString trimmed = text.trimmed();
        if (trimmed.isEmpty()) {
            std::memset(m_editBuffer.data() + m_fields[size_t(index)].offset, ' ', size_t(m_fields[size_t(index)].width));
            return;
        }
        bool ok = false;
        const int value = trimmed.toInt(&ok);
        if (!ok)
            throw TableError(QStringLiteral("«%1» не является целым числом").arg(text));
        encodeInt(m_editBuffer.data(), index, value);
        return;
    }
    encodeText(m_editBuffer.data(), index, text);
}

void MeasurementTable::setFieldInt(const QString &name, int value)
{
    const int index = fieldOrThrow(name);
    requireOpen();
    if (m_state != State::Edit && m_state != State::Insert)
        throw TableError(QStringLiteral("Таблица не в режиме правки"));
    if (kFields[size_t(index)].type == 'N')
        encodeInt(m_editBuffer.data(), index, value);
    else
        encodeText(m_editBuffer.data(), index, QString::number(value));
}

QString MeasurementTable::textAt(int viewRow, int field) const
{
    if (!m_handle || viewRow < 0 || viewRow >= int(m_view.size()) || field < 0 || field >= kFieldCount)
        return {};
    const int record = m_view[size_t(viewRow)];
    if ((m_state == State::Edit) && record == m_editRecord)
        return decodeField(m_editBuffer.constData(), field);
    return decodeField(m_records.constData() + qsizetype(record) * m_recordLength, field);
}

bool MeasurementTable::canStore(const QString &text) { return cp1251::canEncode(text); }

// --- filter -------------------------------------------------------------------------------

std::vector<MeasurementTable::FilterTerm> MeasurementTable::parseFilter(const QString &expression)
{
    std::vector<FilterTerm> terms;
    const QString trimmed = expression.trimmed();
    if (trimmed.isEmpty())
        return terms;
    static const QRegularExpression andWord(QStringLiteral("\\s+AND\\s+"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression term(QStringLiteral("^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*=\\s*(.*?)\\s*$"));
    const auto bad = [&](const QString &why) {
        return TableError(QStringLiteral("Неверное выражение фильтра «%1»: %2").arg(expression, why));
    };
    for (const QString &part : trimmed.split(andWord)) {
        const QRegularExpressionMatch m = term.match(part);
        if (!m.hasMatch())
            throw bad(QStringLiteral("ожидалось ПОЛЕ=значение"));
        const int index = fieldIndex(m.captured(1));
        if (index < 0)
            throw bad(QStringLiteral("нет поля %1").arg(m.captured(1)));
        QString value = m.captured(2);
        FilterTerm t;
        t.field = index;
        if (kFields[size_t(index)].type == 'N') {
            bool ok = false;
            const qint64 number = value.toLongLong(&ok);
            if (!ok)
                throw bad(QStringLiteral("«%1» не является целым числом").arg(value));
            t.number = number;
        } else {
            if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front())
                value = value.mid(1, value.size() - 2);
            else
                throw bad(QStringLiteral("текст должен стоять в кавычках"));
            while (value.endsWith(' '))
                value.chop(1);
            t.text = value;
        }
        terms.push_back(t);
    }
    return terms;
}

void MeasurementTable::setFilter(const QString &expression)
{
    m_filterTerms = parseFilter(expression);
    m_filterText = expression;
}

void MeasurementTable::setFiltered(bool on) { m_filtered = on; }

bool MeasurementTable::passesFilter(int record) const
{
    const char *raw = m_records.constData() + qsizetype(record) * m_recordLength;
    if (raw[0] == '*')
        return false;
    if (!m_filtered)
        return true;
    for (const FilterTerm &t : m_filterTerms) {
        if (t.number) {
            if (numberAt(raw, t.field) != t.number)
                return false;
        } else if (decodeField(raw, t.field) != t.text) {
            return false;
        }
    }
    return true;
}

void MeasurementTable::rebuildView()
{
    m_view.clear();
    m_view.reserve(size_t(m_recordCount));
    for (int r = 0; r < m_recordCount; ++r) {
        if (passesFilter(r))
            m_view.push_back(r);
    }
    sortView();
}

void MeasurementTable::sortView()
{
    if (m_activeTag.isEmpty())
        return;
    const auto it = m_tags.find(m_activeTag);
    if (it == m_tags.end())
        return;
    const Tag tag = it->second;
    const FileField f = m_fields[size_t(tag.field)];
    const char *base = m_records.constData();
    const int length = m_recordLength;
    if (f.type == 'N') {
        std::vector<std::pair<qint64, int>> keys;
        keys.reserve(m_view.size());
        for (int r : m_view) {
            const auto v = numberAt(base + qsizetype(r) * length, tag.field);
            keys.emplace_back(v ? *v : std::numeric_limits<qint64>::min(), r);
        }
        std::stable_sort(keys.begin(), keys.end(), [&](const auto &a, const auto &b) {
            return tag.descending ? a.first > b.first : a.first < b.first;
        });
        for (size_t i = 0; i < keys.size(); ++i)
            m_view[i] = keys[i].second;
        return;
    }
    // Character keys order by their stored bytes, as a dBase index does.
    std::stable_sort(m_view.begin(), m_view.end(), [&](int a, int b) {
        const int c = std::memcmp(base + qsizetype(a) * length + f.offset, base + qsizetype(b) * length + f.offset, size_t(f.width));
        return tag.descending ? c > 0 : c < 0;
    });
}

void MeasurementTable::refresh()
{
    if (!m_handle)
        return;
    leaveEdit();
    const int current = physicalRecord();
    rebuildView();
    const auto it = std::find(m_view.begin(), m_view.end(), current);
    m_pos = it != m_view.end() ? int(it - m_view.begin()) : 0;
    emitViewChanged();
}

// --- sort tags ----------------------------------------------------------------------------

void MeasurementTable::addTag(const QString &name, const QString &field, bool descending)
{
    const int index = fieldOrThrow(field);
    m_tags[name] = Tag{index, descending};
    m_tagsPath = m_path;
}

void MeasurementTable::deleteTag(const QString &name)
{
    m_tags.erase(name);
    if (m_activeTag == name)
        m_activeTag.clear();
}

bool MeasurementTable::hasTag(const QString &name) const { return m_tags.count(name) != 0; }

void MeasurementTable::setActiveTag(const QString &name)
{
    if (!name.isEmpty() && !m_tags.count(name))
        throw TableError(QStringLiteral("Индекс %1 не найден").arg(name));
    m_activeTag = name;
}

void MeasurementTable::regenerateIndexes()
{
    if (!m_handle)
        return;
    refresh();
}

void MeasurementTable::emitViewChanged() { emit viewChanged(); }

} // namespace kve

#pragma once

#include "FilePatch.h"
#include "Schema.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace kve {

// The dBase III file under a measurement table: held open exclusively, its layout checked
// before anything is read or written, all records kept in memory as raw bytes.
//
// Every write brings the header (record count, date) and the end-of-file byte up to date
// with it, so the file on disk is whole after every write; a write that fails leaves the
// file exactly as it was. Errors are thrown as TableError.
class DbfFile {
public:
    struct Field {
        int offset = 0;
        int width = 0;
        char type = 'C';
    };

    DbfFile() = default;
    ~DbfFile();
    DbfFile(const DbfFile &) = delete;
    DbfFile &operator=(const DbfFile &) = delete;

    // Creates the file with the 17 fields and no rows, replacing a file of that name; the
    // file is left closed.
    static void create(const QString &path);
    // Opens exclusively; a file that is not a measurement table is never written to.
    void open(const QString &path);
    void close();
    bool isOpen() const { return m_handle != nullptr; }

    int recordCount() const { return m_recordCount; }
    int recordLength() const { return m_recordLength; }
    const char *record(int record) const { return m_records.constData() + qsizetype(record) * m_recordLength; }
    const Field &field(int field) const { return m_fields[size_t(field)]; }

    // Writes one record; `record` equal to the count appends it.
    void writeRecord(int record, const QByteArray &raw);
    // Marks a record "*".
    void markDeleted(int record);
    // Marks the records "*" in one write: all of them, or on a failure none.
    void markDeleted(const std::vector<int> &records);

    // Field values inside a raw record.
    QString decodeField(const char *record, int field) const;
    std::optional<qint64> numberAt(const char *record, int field) const;
    void encodeText(char *record, int field, const QString &text) const;
    void encodeInt(char *record, int field, int value) const;
    void clearField(char *record, int field) const;

private:
    void readHeaderAndFields(const QByteArray &header, qint64 fileSize);
    void writeToFile(std::vector<FilePatch> patches, int recordCount);
    int fileDescriptor() const;

    QString m_path;
    void *m_handle = nullptr;   // DBFHandle
    std::array<Field, kFieldCount> m_fields{};
    int m_recordLength = kRecordLength;
    int m_headerLength = 0;
    qint64 m_fileSize = 0;      // bytes in the file now
    // The file holds bytes after the records its header counts, other than one end-of-file
    // byte (a writer that died before counting its row): nothing may be written over them.
    bool m_uncountedBytes = false;
    // Those bytes are that many whole records (and maybe an end byte): the trace of an
    // interrupted write of this layout. 0 when they are anything else.
    qint64 m_uncountedRecords = 0;
    QByteArray m_records;       // all records, raw, deletion flag included
    int m_recordCount = 0;
};

} // namespace kve

#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace kve {

// The file system calls the table files need beyond plain reading and writing, one file per
// system (store/platform/). Texts are the system's reasons; empty means success.

// Whether another process holds the file open the way the table object does (exclusively).
bool heldByAnotherProcess(const QString &path);

// Why this user may not write the existing file, in the system's words; empty when it may.
QString cannotWrite(const QString &path);

// Puts `from` in the place of `to` in one step, replacing a file there; the old file stays
// whole if this fails. `from` is on disk before, and the folder's entry after. `refused` is
// set when the system will not let this user replace that file by a rename (a file of
// another user in a shared folder) although it may write it.
QString replaceFile(const QString &from, const QString &to, bool *refused = nullptr);

// Makes an empty file only when nothing of that name exists, a link included, so that it
// cannot be redirected; hidden where the system marks files so. 0, EEXIST, EACCES or another
// errno value.
int createNewFile(const QString &path, bool hidden);

// Writes the file's data, or a folder's entries, through to the disk.
QString flushFile(const QString &path);
QString flushFolder(const QString &folder);

// Gives `file` the access of `model`: its permission bits and, where this user may, its
// owner and group (silently kept otherwise).
void copyAccess(const QString &model, const QString &file);

// Removes a regular file (never a link) that no process holds.
void removeUnheld(const QString &path);

// What tells this file from another of the same name (device and file number); empty when
// it cannot be read.
QString fileIdentity(const QString &path);

// Writes `bytes` over the existing file itself, holding the lock the table object takes:
// from the start, then cut to their size, then flushed. `allowed`, when given, sees what the
// file holds first and may refuse. `afterChunk` hears how many bytes are written so far.
// `held` is set when another process holds the file.
struct Overwrite {
    std::function<bool(const QByteArray &current)> allowed;
    std::function<void(qint64 written)> afterChunk;
};
QString overwriteFile(const QString &path, const QByteArray &bytes, const Overwrite &how = {}, bool *held = nullptr);

// An exclusive lock on a lock file, made if missing, held while this lives; another process
// (or another lock object) cannot take it meanwhile.
class FileLock {
public:
    explicit FileLock(const QString &path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool locked() const { return m_handle != kNone; }

private:
    static constexpr long long kNone = -1;
    long long m_handle = kNone;
};

} // namespace kve

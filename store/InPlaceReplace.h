#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace kve {

class FileLock;

// A new table written over an existing file itself, for when the file cannot be replaced by
// a rename (its folder takes no new file, or will not let this user rename over it). Whatever
// instant the program dies, the old table or the new one is whole on disk:
// - the new table is written first to a file of the user's own (stagedPath());
// - before the target is touched its old bytes are copied beside it and flushed, with a
//   record naming the target; the record's removal is the moment the new table counts;
// - the next start (recoverInterrupted()) puts the old bytes back over a target that holds
//   nothing but old and new bytes, or else keeps them as a file the operator is told of.
// All of it lives in backupFolder(); one operation's files in a folder of their own, locked
// while the operation runs, so that another copy of the program leaves them alone.
class InPlaceReplace {
public:
    // `target` as the operator named it, `real` the file it names (a link followed).
    // Throws TableError when the user's folder takes no copy.
    InPlaceReplace(const QString &target, const QString &real);
    // Not committed: the target was never touched, or has its old bytes back.
    ~InPlaceReplace();
    InPlaceReplace(const InPlaceReplace &) = delete;
    InPlaceReplace &operator=(const InPlaceReplace &) = delete;

    // Where the new table is written before it goes over the target.
    QString stagedPath() const;
    // Writes the staged table over the target. On failure the target has its old bytes back,
    // or the error text says where they are kept; throws TableError.
    void commit();

    // The user's folder of these files: ~/.local/share/Dorvatek/KVE (the system's place
    // of per-user data).
    static QString backupFolder();

    struct Interrupted {
        QString target;     // as the operator named it
        QString keptCopy;   // where the old bytes are kept; empty when they were put back
    };
    // Finishes every operation of a copy of the program that died writing in place.
    static QList<Interrupted> recoverInterrupted();

    // For tests: hears the steps of commit(): "kept" (old bytes and record on disk),
    // "written <n>" (n bytes of the new table over the target), "replaced" (all of it, not
    // yet counted).
    static void setStepObserver(std::function<void(const QString &step)> observer);

private:
    QString file(const QString &name) const;
    void removeOperation();

    QString m_target;
    QString m_real;
    QString m_folder;
    std::unique_ptr<FileLock> m_lock;
};

} // namespace kve

#pragma once

#include <QString>

#include <memory>

namespace kve {

class InPlaceReplace;

// Where a new table is written over a chosen file name, so that a file the operator could
// not have written is never replaced and an existing file is replaced only by a whole table:
// - normally a hidden temporary file beside the target, which takes the target's place in
//   one rename once complete, with the target's mode (and owner, where the user may);
// - when the folder takes no new file, or will not let this user rename over the file, but
//   the target itself may be written, the target in place (see InPlaceReplace), so that a
//   crash leaves the old table or the new one whole.
// A link as the chosen name is followed: the file it names is replaced, the link stays.
// Temporary files of this naming left by a crash are removed when the next one is made;
// one another copy of the program still holds is left alone.
// Failures are thrown as TableError naming the target and the system's reason.
class NewTableFile {
public:
    // Checks the target and makes the temporary file.
    explicit NewTableFile(const QString &target);
    // Not committed: as discard().
    ~NewTableFile();
    NewTableFile(const NewTableFile &) = delete;
    NewTableFile &operator=(const NewTableFile &) = delete;

    QString target() const { return m_target; }
    // The file to create the table in.
    QString writePath() const;
    bool inPlace() const { return m_inPlace; }

    // The written table becomes the target. Checks again first that the target may still be
    // written; on failure everything is discarded before the error is thrown.
    void commit();
    // Drops the written table; the target stays as it was, whichever the route. Returns why
    // that failed, or an empty text.
    QString discard();
    // An error text about the write path, told about the target, with a failed discard.
    QString discardAfter(const QString &error);

    static bool isTemporaryName(const QString &fileName);
    // Removes the temporary files of this naming in the folder that no process holds.
    static void removeStale(const QString &folder);

private:
    void commitByRename();
    void commitInPlace();

    QString m_target;   // as the operator named it
    QString m_real;     // the file it names
    QString m_temporary;
    std::unique_ptr<InPlaceReplace> m_inPlaceWrite;
    bool m_inPlace = false;
    bool m_done = false;
};

} // namespace kve

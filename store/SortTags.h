#pragma once

#include <QString>
#include <map>
#include <vector>

namespace kve {

class DbfFile;

// The named sort tags of one table file and the active one, held in memory only; they
// belong to the file they were made for and are forgotten when another file opens.
class SortTags {
public:
    void add(const QString &name, int field, bool descending, const QString &filePath);
    void remove(const QString &name);   // a missing tag is no error
    bool has(const QString &name) const { return m_tags.count(name) != 0; }
    void setActive(const QString &name);   // empty: no tag; an unknown tag throws TableError
    QString active() const { return m_active; }
    void clear();   // every tag, the active one too

    // Forgets the tags when they belong to another file.
    void forgetUnlessOf(const QString &filePath);
    // The file opened: the tags now belong to it, and an active tag that is gone is dropped.
    void openedFile(const QString &filePath);

    // Orders the records of a view by the active tag, stably; no tag leaves it as it is.
    void sort(std::vector<int> &view, const DbfFile &file) const;

private:
    struct Tag {
        int field = 0;
        bool descending = false;
    };
    std::map<QString, Tag> m_tags;
    QString m_filePath;   // the file the tags belong to
    QString m_active;
};

} // namespace kve

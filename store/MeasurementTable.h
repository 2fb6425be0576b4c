#pragma once

#include "DbfFile.h"
#include "RowFilter.h"
#include "Schema.h"
#include "SortTags.h"
#include "TableError.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <map>
#include <optional>
#include <vector>

namespace kve {

// The one table object over a measurement table file (dBase III, ".db").
//
// The file itself (rows in memory, every post straight to the file, whole after every post)
// is a DbfFile; the filter a RowFilter; the sort tags SortTags. This class holds the view
// (the live rows that pass the filter, in file order or in the order of the active sort
// tag), the cursor over it and the row being edited.
//
// Errors are thrown as TableError with a text for the operator.
class MeasurementTable : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit MeasurementTable(QObject *parent = nullptr);
    ~MeasurementTable() override;

    // --- file ---------------------------------------------------------------------------
    void setFilePath(const QString &path);
    QString filePath() const { return m_path; }

    // Creates the file with the 17 fields and no rows, replacing a file of that name,
    // and leaves it open.
    void create();
    // Opens exclusively; a file that is not a measurement table is never written to.
    void open();
    // Closes; a pending edit is dropped. Closing a closed table does nothing.
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    State state() const;

    // The index file of the sort tags is gone: forgets every tag (the file command's
    // close deletes the ".mdx" beside the table).
    void dropIndexFile();

    // --- cursor over the view -------------------------------------------------------------
    void first();
    void last();
    void next();
    bool eof() const;   // past the last row, or the view is empty
    int recNo() const { return m_pos; }          // position in the view, 0-based
    void moveTo(int viewRow);
    int recordCount() const;                     // rows in the view: the count under the filter
    int physicalRecordCount() const;             // records in the file, deleted ones included
    int physicalRecord() const;                  // file record of the current row, -1 at eof

    // Moves to the first row of the view whose field equals the value; false if none.
    bool locate(const QString &field, const QString &value);

    // --- rows -------------------------------------------------------------------------------
    void append();   // a new blank row, posted at the end of the file
    void edit();     // the current row into edit
    void post();     // writes the row being edited or appended to the file
    void cancel();   // drops the edit
    void deleteRecord();   // marks the current row "*"; it leaves the view
    // Deletes the rows of the view at these positions (any order) in one write: all of them,
    // or on a failure none. The cursor goes to where the first of them was.
    void deleteRows(std::vector<int> viewRows);

    // --- fields of the current row (or of the row being edited) ----------------------------
    QString fieldText(const QString &name) const;
    std::optional<int> fieldInt(const QString &name) const;
    void setFieldText(const QString &name, const QString &text);
    void setFieldInt(const QString &name, int value);

    // Random access for grids and reports; does not move the cursor.
    QString textAt(int viewRow, int field) const;
    int recordOfViewRow(int viewRow) const { return m_view.at(viewRow); }

    // Whether Windows-1251 can hold every character of the text.
    static bool canStore(const QString &text);

    // --- filter ------------------------------------------------------------------------------
    // Expressions: FIELD=value joined by AND, e.g. "EN_CH=3" or "N=7 AND EN_CH=3".
    // An expression that cannot be read throws and leaves the filter as it was.
    void setFilter(const QString &expression);
    QString filter() const { return m_filter.expression(); }
    void setFiltered(bool on);
    bool filtered() const { return m_filter.enabled(); }
    // Re-reads the view (filter, order); the cursor goes to the first row.
    void refresh();

    // --- sort tags ---------------------------------------------------------------------------
    void addTag(const QString &name, const QString &field, bool descending);
    void deleteTag(const QString &name);            // a missing tag is no error
    bool hasTag(const QString &name) const;
    void setActiveTag(const QString &name);         // empty: no tag, file order
    QString activeTag() const { return m_tags.active(); }
    void regenerateIndexes();                       // re-sorts the view by the active tag

    // --- batches -----------------------------------------------------------------------------
    // While held, viewChanged and rowChanged wait: a command that changes the view many times
    // makes the grids follow once, when the last hold is released.
    void holdViewChanges();
    void releaseViewChanges();

signals:
    // The rows of the view changed as a whole (open, close, refresh, filter, order, append).
    void viewChanged();
    // One row of the view was posted.
    void rowChanged(int viewRow);

private:
    void requireOpen() const;
    void requireRow() const;
    int fieldOrThrow(const QString &name) const;
    const char *currentRecord() const;
    void rebuildView();
    void emitViewChanged();
    void emitRowChanged(int viewRow);
    void leaveEdit();

    QString m_path;
    DbfFile m_file;
    std::vector<int> m_view;
    int m_pos = 0;
    State m_state = State::Inactive;
    QByteArray m_editBuffer;
    int m_editRecord = -1;      // file record under edit; the record count for an append
    int m_editViewRow = -1;     // where the row under edit was in the view
    int m_holds = 0;
    bool m_heldChange = false;

    RowFilter m_filter;
    SortTags m_tags;
};

// Holds the table's view changes for a scope (see holdViewChanges).
class ViewChangeHold {
public:
    explicit ViewChangeHold(MeasurementTable &table) : m_table(table) { m_table.holdViewChanges(); }
    ~ViewChangeHold() { m_table.releaseViewChanges(); }
    ViewChangeHold(const ViewChangeHold &) = delete;
    ViewChangeHold &operator=(const ViewChangeHold &) = delete;

private:
    MeasurementTable &m_table;
};

} // namespace kve

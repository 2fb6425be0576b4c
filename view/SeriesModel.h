#pragma once

#include "TgpColumn.h"

#include <QAbstractTableModel>
#include <vector>

namespace kve {

class MeasurementTable;

// The rows of a series grid: the table's current view, read cell by cell as the grid
// paints them. Holds no rows of its own; resets whenever the table's view changes.
class SeriesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    SeriesModel(MeasurementTable &table, const std::vector<TgpColumn> &columns, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Posts the edited cell through the table (move, edit, set, post).
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

    // The columns changed their look (colour, alignment, marks): repaint everything.
    void columnsChanged();

signals:
    // A table error while posting an edit, with the table's text.
    void errorOccurred(const QString &text);

private:
    void viewChanged();
    void rowChanged(int viewRow);

    MeasurementTable &m_table;
    const std::vector<TgpColumn> &m_columns;
    std::vector<int> m_fields;   // table field of each column, -1 when the table has none
    int m_rows = 0;               // the view's size at the last reset
};

} // namespace kve

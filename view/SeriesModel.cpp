#include "SeriesModel.h"

#include "store/MeasurementTable.h"

#include <QBrush>

namespace kve {

SeriesModel::SeriesModel(MeasurementTable &table, const std::vector<TgpColumn> &columns, QObject *parent)
    : QAbstractTableModel(parent), m_table(table), m_columns(columns)
{
    for (const TgpColumn &c : m_columns)
        m_fields.push_back(fieldIndex(c.FieldName));
    m_rows = m_table.isOpen() ? m_table.recordCount() : 0;
    connect(&m_table, &MeasurementTable::viewChanged, this, &SeriesModel::viewChanged);
    connect(&m_table, &MeasurementTable::rowChanged, this, &SeriesModel::rowChanged);
}

int SeriesModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_rows; }

int SeriesModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant SeriesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= int(m_columns.size()))
        return {};
    const TgpColumn &c = m_columns[size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        // The view may have shrunk since the last reset (a row deleted in a batch).
        if (index.row() >= m_table.recordCount())
            return QString();
        return m_table.textAt(index.row(), m_fields[size_t(index.column())]);
    case Qt::TextAlignmentRole:
        switch (c.Alignment) {
        case ColumnAlignment::talCenter:
            return int(Qt::AlignCenter);
        case ColumnAlignment::talRightJustify:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        }
    case Qt::BackgroundRole:
        if (c.Color)
            return QBrush(*c.Color);
        return {};
    default:
        return {};
    }
}

QVariant SeriesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(m_columns.size()))
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return m_columns[size_t(section)].Title;
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter) | int(Qt::TextWordWrap);
    if (role == Qt::UserRole)
        return m_columns[size_t(section)].FieldName;
    return {};
}

Qt::ItemFlags SeriesModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const TgpColumn &c = m_columns[size_t(index.column())];
    if (!c.ReadOnly && m_fields[size_t(index.column())] >= 0 && m_table.isOpen())
        f |= Qt::ItemIsEditable;
    return f;
}

bool SeriesModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable) || index.row() >= m_table.recordCount())
        return false;
    const QString text = value.toString();
    const FieldDef &def = kFields[size_t(m_fields[size_t(index.column())])];
    // Never let the file turn a note into '?' or cut it behind the operator's back.
    if (text.size() > def.cutWidth || !MeasurementTable::canStore(text))
        return false;
    const QString field = QString::fromLatin1(def.name);
    if (m_table.textAt(index.row(), m_fields[size_t(index.column())]) == text)
        return true;
    // The edge of an editor's commit: an error drops the edit and goes to the error box.
    return runGuarded(
        [&] {
            m_table.moveTo(index.row());
            m_table.edit();
            m_table.setFieldText(field, text);
            m_table.post();
        },
        [this](const QString &error) {
            m_table.cancel();
            emit errorOccurred(error);
        });
}

void SeriesModel::columnsChanged()
{
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, int(m_columns.size()) - 1));
    emit headerDataChanged(Qt::Horizontal, 0, int(m_columns.size()) - 1);
}

void SeriesModel::viewChanged()
{
    beginResetModel();
    m_rows = m_table.isOpen() ? m_table.recordCount() : 0;
    endResetModel();
}

void SeriesModel::rowChanged(int viewRow)
{
    if (viewRow >= 0 && viewRow < m_rows)
        emit dataChanged(index(viewRow, 0), index(viewRow, int(m_columns.size()) - 1));
}

} // namespace kve

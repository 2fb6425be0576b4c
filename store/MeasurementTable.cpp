#include "MeasurementTable.h"

#include "Cp1251.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kve {

MeasurementTable::MeasurementTable(QObject *parent) : QObject(parent) {}

MeasurementTable::~MeasurementTable() = default;

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
    DbfFile::create(m_path);
    m_tags.forgetUnlessOf(m_path);
    open();
}

void MeasurementTable::open()
{
    if (isOpen())
        return;
    m_file.open(m_path);
    m_state = State::Browse;
    m_tags.openedFile(m_path);
    rebuildView();
    m_pos = 0;
    emitViewChanged();
}

void MeasurementTable::close()
{
    if (!isOpen())
        return;
    m_state = State::Browse;
    m_editBuffer.clear();
    m_editRecord = -1;
    m_file.close();
    m_view.clear();
    m_pos = 0;
    m_state = State::Inactive;
    emitViewChanged();
}

void MeasurementTable::dropIndexFile() { m_tags.clear(); }

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

int MeasurementTable::physicalRecordCount() const { return m_file.recordCount(); }

int MeasurementTable::physicalRecord() const { return eof() ? -1 : m_view[size_t(m_pos)]; }

bool MeasurementTable::locate(const QString &field, const QString &value)
{
    requireOpen();
    leaveEdit();
    const int index = fieldOrThrow(field);
    const std::optional<qint64> number = kFields[index].type == 'N' ? std::optional<qint64>(value.trimmed().toLongLong()) : std::nullopt;
    for (size_t i = 0; i < m_view.size(); ++i) {
        const char *record = m_file.record(m_view[i]);
        const bool match = number ? m_file.numberAt(record, index) == number : m_file.decodeField(record, index) == value;
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
    m_editBuffer = QByteArray(m_file.recordLength(), ' ');
    m_editRecord = m_file.recordCount();
    m_state = State::Insert;
}

void MeasurementTable::edit()
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    requireRow();
    m_editRecord = m_view[size_t(m_pos)];
    m_editViewRow = m_pos;
    m_editBuffer = QByteArray(m_file.record(m_editRecord), m_file.recordLength());
    m_state = State::Edit;
}

void MeasurementTable::post()
{
    requireOpen();
    if (m_state == State::Insert) {
        const int record = m_file.recordCount();
        // Back to browsing first: a failed write must not leave a phantom row in edit.
        m_state = State::Browse;
        try {
            m_file.writeRecord(record, m_editBuffer);
        } catch (...) {
            m_editBuffer.clear();
            m_editRecord = -1;
            throw;
        }
        if (m_filter.passes(m_file, m_file.record(record))) {
            if (!m_tags.active().isEmpty()) {
                m_view.push_back(record);
                m_tags.sort(m_view, m_file);
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
        // The row is where it was put into edit unless the view changed since.
        int viewRow = m_editViewRow;
        if (viewRow < 0 || viewRow >= int(m_view.size()) || m_view[size_t(viewRow)] != record) {
            const auto it = std::find(m_view.begin(), m_view.end(), record);
            viewRow = it != m_view.end() ? int(it - m_view.begin()) : -1;
        }
        try {
            m_file.writeRecord(record, m_editBuffer);
        } catch (...) {
            // The row shows what the file holds again.
            m_editBuffer.clear();
            m_editRecord = -1;
            if (viewRow >= 0)
                emitRowChanged(viewRow);
            throw;
        }
        m_editBuffer.clear();
        m_editRecord = -1;
        if (viewRow >= 0)
            emitRowChanged(viewRow);
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
    m_file.markDeleted(m_view[size_t(m_pos)]);
    m_view.erase(m_view.begin() + m_pos);
    if (m_pos > int(m_view.size()))
        m_pos = int(m_view.size());
    emitViewChanged();
}

void MeasurementTable::deleteRows(std::vector<int> viewRows)
{
    requireOpen();
    leaveEdit();
    cancel();
    std::sort(viewRows.begin(), viewRows.end());
    viewRows.erase(std::unique(viewRows.begin(), viewRows.end()), viewRows.end());
    if (viewRows.empty())
        return;
    if (viewRows.front() < 0 || viewRows.back() >= int(m_view.size()))
        throw TableError(QStringLiteral("Нет текущей строки"));
    std::vector<int> records;
    records.reserve(viewRows.size());
    for (int row : viewRows)
        records.push_back(m_view[size_t(row)]);
    m_file.markDeleted(records);
    // One pass keeps the rest in their order.
    size_t kept = size_t(viewRows.front());
    for (size_t r = kept, next = 0; r < m_view.size(); ++r) {
        if (next < viewRows.size() && int(r) == viewRows[next]) {
            ++next;
            continue;
        }
        m_view[kept++] = m_view[r];
    }
    m_view.resize(kept);
    m_pos = std::min(viewRows.front(), int(m_view.size()));
    emitViewChanged();
}

// --- fields -------------------------------------------------------------------------------

void MeasurementTable::requireOpen() const
{
    if (!isOpen())
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
    return m_file.record(m_view[size_t(m_pos)]);
}

QString MeasurementTable::fieldText(const QString &name) const
{
    const int index = fieldOrThrow(name);
    return m_file.decodeField(currentRecord(), index);
}

std::optional<int> MeasurementTable::fieldInt(const QString &name) const
{
    const int index = fieldOrThrow(name);
    const char *record = currentRecord();
    if (kFields[size_t(index)].type == 'N') {
        const auto value = m_file.numberAt(record, index);
        if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
            return std::nullopt;
        return int(*value);
    }
    bool ok = false;
    const int value = m_file.decodeField(record, index).trimmed().toInt(&ok);
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
            m_file.clearField(m_editBuffer.data(), index);
            return;
        }
        bool ok = false;
        const int value = trimmed.toInt(&ok);
        if (!ok)
            throw TableError(QStringLiteral("«%1» не является целым числом").arg(text));
        m_file.encodeInt(m_editBuffer.data(), index, value);
        return;
    }
    m_file.encodeText(m_editBuffer.data(), index, text);
}

void MeasurementTable::setFieldInt(const QString &name, int value)
{
    const int index = fieldOrThrow(name);
    requireOpen();
    if (m_state != State::Edit && m_state != State::Insert)
        throw TableError(QStringLiteral("Таблица не в режиме правки"));
    if (kFields[size_t(index)].type == 'N')
        m_file.encodeInt(m_editBuffer.data(), index, value);
    else
        m_file.encodeText(m_editBuffer.data(), index, QString::number(value));
}

QString MeasurementTable::textAt(int viewRow, int field) const
{
    if (!isOpen() || viewRow < 0 || viewRow >= int(m_view.size()) || field < 0 || field >= kFieldCount)
        return {};
    const int record = m_view[size_t(viewRow)];
    if ((m_state == State::Edit) && record == m_editRecord)
        return m_file.decodeField(m_editBuffer.constData(), field);
    return m_file.decodeField(m_file.record(record), field);
}

bool MeasurementTable::canStore(const QString &text) { return cp1251::canEncode(text); }

// --- filter -------------------------------------------------------------------------------

void MeasurementTable::setFilter(const QString &expression) { m_filter.setExpression(expression); }

void MeasurementTable::setFiltered(bool on) { m_filter.setEnabled(on); }

void MeasurementTable::rebuildView()
{
    m_view.clear();
    const int count = m_file.recordCount();
    m_view.reserve(size_t(count));
    for (int r = 0; r < count; ++r) {
        if (m_filter.passes(m_file, m_file.record(r)))
            m_view.push_back(r);
    }
    m_tags.sort(m_view, m_file);
}

void MeasurementTable::refresh()
{
    if (!isOpen())
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
    m_tags.add(name, fieldOrThrow(field), descending, m_path);
}

void MeasurementTable::deleteTag(const QString &name) { m_tags.remove(name); }

bool MeasurementTable::hasTag(const QString &name) const { return m_tags.has(name); }

void MeasurementTable::setActiveTag(const QString &name) { m_tags.setActive(name); }

void MeasurementTable::regenerateIndexes()
{
    if (!isOpen())
        return;
    refresh();
}

void MeasurementTable::emitViewChanged()
{
    if (m_holds > 0) {
        m_heldChange = true;
        return;
    }
    emit viewChanged();
}

void MeasurementTable::emitRowChanged(int viewRow)
{
    // A held change resets the whole view anyway.
    if (m_holds > 0) {
        m_heldChange = true;
        return;
    }
    emit rowChanged(viewRow);
}

void MeasurementTable::holdViewChanges() { ++m_holds; }

void MeasurementTable::releaseViewChanges()
{
    if (m_holds == 0 || --m_holds > 0 || !m_heldChange)
        return;
    m_heldChange = false;
    emit viewChanged();
}

} // namespace kve

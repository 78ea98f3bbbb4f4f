#include "data_store/record_set.h"

#include "data_store/data_store.h"
#include "data_store/schema.h"
#include "data_store/store_error.h"
#include "data_store/values.h"

#include <bit>

namespace khgl {

void RecordSet::moveNext()
{
    if (m_position < m_rowCount) {
        ++m_position;
    }
}

void RecordSet::moveTo(int row)
{
    m_position = std::clamp(row, 0, m_rowCount);
}

int RecordSet::fieldIndex(const QString& name) const
{
    return static_cast<int>(m_names.indexOf(name));
}

const RecordSet::Cell& RecordSet::cell(int row, int column) const
{
    return m_cells[static_cast<size_t>(row) * m_names.size() + static_cast<size_t>(column)];
}

RecordSet::Cell& RecordSet::cell(int row, int column)
{
    return m_cells[static_cast<size_t>(row) * m_names.size() + static_cast<size_t>(column)];
}

void RecordSet::requireCurrent() const
{
    if (eof()) {
        throw StoreError(QStringLiteral("没有当前记录。"));
    }
}

void RecordSet::requireTable() const
{
    if (m_table == nullptr || m_store == nullptr) {
        throw StoreError(QStringLiteral("查询结果不能修改。"));
    }
}

QVariant RecordSet::valueAt(int row, int column) const
{
    if (column < 0 || column >= fieldCount() || row < 0 || row >= m_rowCount) {
        return {};
    }
    const Cell& c = cell(row, column);
    switch (c.type) {
    case CellType::Integer:
        return QVariant(static_cast<qlonglong>(c.payload));
    case CellType::Real:
        return QVariant(std::bit_cast<double>(c.payload));
    case CellType::Text:
        return QString::fromUtf8(m_text.data() + c.payload, c.length);
    case CellType::Null:
        break;
    }
    return {};
}

const char* RecordSet::rawText(int row, int column, int* length) const
{
    const Cell& c = cell(row, column);
    if (c.type != CellType::Text) {
        return nullptr;
    }
    *length = static_cast<int>(c.length);
    return m_text.data() + c.payload;
}

QVariant RecordSet::value(int column) const
{
    requireCurrent();
    if (column < 0 || column >= fieldCount()) {
        throw StoreError(QStringLiteral("记录中没有第 %1 列。").arg(column));
    }
    return valueAt(m_position, column);
}

QVariant RecordSet::value(const QString& name) const
{
    const int column = fieldIndex(name);
    if (column < 0) {
        throw StoreError(QStringLiteral("记录中没有“%1”一项。").arg(name));
    }
    return value(column);
}

QString RecordSet::text(int column) const
{
    return displayText(value(column));
}

QString RecordSet::text(const QString& name) const
{
    return displayText(value(name));
}

bool RecordSet::isEmpty(int column) const
{
    const QVariant v = value(column);
    return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

bool RecordSet::isEmpty(const QString& name) const
{
    return isEmpty(fieldIndex(name) < 0 ? -1 : fieldIndex(name));
}

qint64 RecordSet::rowKey() const
{
    return eof() ? -1 : rowKeyAt(m_position);
}

qint64 RecordSet::rowKeyAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_keys.size())) {
        return -1;
    }
    return m_keys[static_cast<size_t>(row)];
}

void RecordSet::storeCell(Cell& target, const QVariant& value)
{
    target = Cell{};
    if (value.isNull()) {
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        target.type = CellType::Integer;
        target.payload = value.toLongLong();
        return;
    case QMetaType::Double:
        target.type = CellType::Real;
        target.payload = std::bit_cast<std::int64_t>(value.toDouble());
        return;
    default: {
        const QByteArray bytes = value.toString().toUtf8();
        target.type = CellType::Text;
        target.payload = static_cast<std::int64_t>(m_text.size());
        target.length = static_cast<std::uint32_t>(bytes.size());
        m_text.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    }
}

void RecordSet::addNew()
{
    requireTable();
    if (m_pendingRow >= 0) {
        throw StoreError(QStringLiteral("上一条新记录尚未保存。"));
    }
    m_cells.resize(m_cells.size() + m_names.size());
    m_keys.push_back(-1);
    m_pendingRow = m_rowCount++;
    m_position = m_pendingRow;
    m_assigned.assign(m_names.size(), false);
}

void RecordSet::setValue(const QString& name, const QVariant& value)
{
    requireTable();
    if (m_pendingRow < 0) {
        throw StoreError(QStringLiteral("只能给新记录赋值。"));
    }
    const int column = fieldIndex(name);
    if (column < 0) {
        throw StoreError(QStringLiteral("表中没有“%1”一项。").arg(name));
    }
    storeCell(cell(m_pendingRow, column), value);
    m_assigned[static_cast<size_t>(column)] = true;
}

void RecordSet::update()
{
    requireTable();
    if (m_pendingRow < 0) {
        return;
    }
    const int row = m_pendingRow;
    try {
        m_store->insert(*this, row);
    } catch (...) {
        // Nothing was written: forget the half-made row.
        m_cells.resize(m_cells.size() - m_names.size());
        m_keys.pop_back();
        --m_rowCount;
        m_pendingRow = -1;
        m_position = std::min(m_position, m_rowCount);
        throw;
    }
    m_pendingRow = -1;
}

void RecordSet::deleteCurrent()
{
    requireTable();
    requireCurrent();
    if (m_position == m_pendingRow) {
        throw StoreError(QStringLiteral("新记录尚未保存，不能删除。"));
    }
    m_store->remove(*this, m_keys[static_cast<size_t>(m_position)]);
    const auto begin = m_cells.begin() + static_cast<std::ptrdiff_t>(m_position) * m_names.size();
    m_cells.erase(begin, begin + m_names.size());
    m_keys.erase(m_keys.begin() + m_position);
    --m_rowCount;
    if (m_pendingRow > m_position) {
        --m_pendingRow;
    }
}

void RecordSet::refresh()
{
    if (m_store == nullptr) {
        return;
    }
    *this =
        m_keyed ? m_store->selectKeyed(m_source, m_params) : m_store->select(m_source, m_params);
}

} // namespace khgl

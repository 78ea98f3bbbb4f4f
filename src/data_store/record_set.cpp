#include "data_store/record_set.h"

#include "data_store/store_error.h"
#include "data_store/values.h"

#include <algorithm>
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

void RecordSet::requireCurrent() const
{
    if (eof()) {
        throw StoreError(QStringLiteral("没有当前记录。"));
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

} // namespace khgl

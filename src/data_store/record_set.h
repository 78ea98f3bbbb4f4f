#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace khgl {

// The rows one query answered, held in memory, with a current position: a result to read,
// never a way to write. Rows of a table or a keyed query keep their hidden row key, so a
// caller can name exactly the record a grid row shows.
class RecordSet final
{
public:
    class Builder;
    RecordSet() = default;

    int recordCount() const { return m_rowCount; }
    bool eof() const { return m_position >= m_rowCount; }
    bool bof() const { return m_position < 0; }
    void moveFirst() { m_position = 0; }
    void moveNext();
    void moveTo(int row); // 0-based
    int absolutePosition() const { return eof() ? -1 : m_position + 1; }

    int fieldCount() const { return static_cast<int>(m_names.size()); }
    QString fieldName(int column) const { return m_names.at(column); }
    int fieldIndex(const QString& name) const; // -1 when there is no such column
    QVariant value(int column) const;
    QVariant value(const QString& name) const;
    // The value as plain text: empty for null, numbers without a trailing ".0".
    QString text(int column) const;
    QString text(const QString& name) const;
    // True when the value is null or empty text.
    bool isEmpty(int column) const;
    bool isEmpty(const QString& name) const;
    // Fast access for listings: the raw UTF-8 bytes of a text cell, or nullptr.
    const char* rawText(int row, int column, int* length) const;
    QVariant valueAt(int row, int column) const;

    // Hidden key of the current row (its SQLite rowid); -1 outside a table or keyed set.
    qint64 rowKey() const;
    qint64 rowKeyAt(int row) const;

private:
    enum class CellType : std::uint8_t
    {
        Null,
        Integer,
        Real,
        Text
    };
    struct Cell
    {
        std::int64_t payload = 0; // integer, real bits, or offset into m_text
        std::uint32_t length = 0;
        CellType type = CellType::Null;
    };

    const Cell& cell(int row, int column) const;
    void requireCurrent() const;

    QStringList m_names;
    std::vector<Cell> m_cells;
    std::string m_text;
    std::vector<qint64> m_keys;
    int m_rowCount = 0;
    int m_position = 0;
};

// Fills a result row by row, cell by cell, as an engine reads its answer.
class RecordSet::Builder final
{
public:
    explicit Builder(QStringList names) { m_set.m_names = std::move(names); }
    void reserveCells(size_t cells) { m_set.m_cells.reserve(cells); }
    void key(qint64 key) { m_set.m_keys.push_back(key); }
    void null() { m_set.m_cells.emplace_back(); }
    void integer(qint64 value) { m_set.m_cells.push_back({value, 0, CellType::Integer}); }
    void real(double value)
    {
        m_set.m_cells.push_back({std::bit_cast<std::int64_t>(value), 0, CellType::Real});
    }
    void text(const char* bytes, int length)
    {
        m_set.m_cells.push_back({static_cast<std::int64_t>(m_set.m_text.size()),
                                 static_cast<std::uint32_t>(length), CellType::Text});
        m_set.m_text.append(bytes, static_cast<size_t>(length));
    }
    void endRow() { ++m_set.m_rowCount; }
    RecordSet take() { return std::move(m_set); }

private:
    RecordSet m_set;
};

} // namespace khgl

#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <string>
#include <vector>

namespace khgl {

class DataStore;
struct TableSpec;

// The rows of one record source, held in memory, with a current position.
// A record set of a bare table name can also append and delete rows; each row keeps its
// hidden row key, so a caller can name exactly the record a grid row shows.
class RecordSet final
{
public:
    RecordSet() = default;

    int recordCount() const { return m_unlistedRows + m_rowCount; }
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

    // Appending: addNew, setValue for the columns known, then update writes it at once.
    void addNew();
    void setValue(const QString& name, const QVariant& value);
    void update();
    // Deletes the current row from the file at once; the next row becomes current.
    void deleteCurrent();
    // Runs the source again and makes the first row current.
    void refresh();

private:
    friend class DataStore;
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
    Cell& cell(int row, int column);
    void storeCell(Cell& target, const QVariant& value);
    void requireCurrent() const;
    void requireTable() const;

    DataStore* m_store = nullptr;
    const TableSpec* m_table = nullptr;
    QString m_source;
    QVariantList m_params;
    QStringList m_names;
    std::vector<Cell> m_cells;
    std::string m_text;
    std::vector<qint64> m_keys;
    int m_rowCount = 0;
    int m_unlistedRows = 0; // rows of the table an append-only set did not read
    int m_position = 0;
    int m_pendingRow = -1;
    bool m_keyed = false; // a query whose first column held the row keys
    std::vector<bool> m_assigned;
};

} // namespace khgl

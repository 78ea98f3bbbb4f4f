#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace khgl {

// Where a long listing's rows come from: the grid asks for blocks of rows as they come into
// view and keeps only a few blocks, so a listing of any length opens at once.
class RowSource
{
public:
    virtual ~RowSource() = default;
    // How many data rows the listing has; asked once, when the source is attached.
    virtual int count() = 0;
    // Writes up to n rows from data row first (0-based) on: cells holds n * cols cells (grid
    // columns 0 .. cols-1 of each row, empty) and keys n keys (-1); returns the rows written.
    // A failure throws: the view then shows the rows blank and asks again when they are next
    // shown, while visitRows passes it on to the export or print that asked.
    virtual int fetch(int first, int n, int cols, std::vector<std::string>& cells,
                      std::vector<qint64>& keys) = 0;
    // The record of data row was deleted: the rows below it move up one.
    virtual void removed(int row) = 0;
};

// The data rows of a record grid (0-based), without the widget: either all held here, or a
// source's rows (fetched in blocks, a few blocks kept, edited rows kept apart) followed by rows
// held here. Cells are UTF-8 bytes, cols per row; each row may carry its record's key.
class RowCache final
{
public:
    RowCache();
    ~RowCache();
    RowCache(const RowCache&) = delete;
    RowCache& operator=(const RowCache&) = delete;

    int rows() const { return m_dataRows; }
    int cols() const { return m_cols; }
    // Rows added are blank and keyless; shrinking below the listing's length lets it go.
    void resize(int rows, int cols);

    // The row's cols cells (blank while its block cannot be read).
    const std::string* rowCells(int row) const;
    const std::string& cell(int row, int col) const;
    // A cell to write: a listing's row is kept apart from then on, whatever blocks go.
    std::string& cell(int row, int col);
    qint64 key(int row) const;
    void setKey(int row, qint64 key);

    // The rows below move up one; a listing's row goes from the source too.
    void removeRow(int row);
    // Every cell blank, as many rows.
    void clear();

    void attach(std::unique_ptr<RowSource> source);
    // Back to rows held here: the first keepRows rows (at most the listing's) as shown now.
    void detach(int keepRows);
    bool hasSource() const { return m_source != nullptr; }
    // Rows per block and blocks kept (tests use small ones to see blocks dropped).
    void setBlockSize(int rows, int blocks);
    // Hands every row in order (numbered from 1) to visit; a listing is read in large blocks
    // of its own, so the kept blocks stay; visit returns false to stop.
    void visit(const std::function<bool(int row, const std::string* cells)>& visit) const;

private:
    struct Block
    {
        std::vector<std::string> cells;
        std::vector<qint64> keys;
        unsigned long long used = 0;
    };
    struct EditedRow
    {
        std::vector<std::string> cells;
        qint64 key = -1;
    };

    int heldRows() const { return m_dataRows - m_sourceRows; }
    const Block* block(int index) const;
    EditedRow& editedRow(int row);
    void resizeCols(int rows, int cols);

    // Rows held here: all rows, or those after the source's.
    std::vector<std::string> m_cells;
    std::vector<qint64> m_keys;
    std::unique_ptr<RowSource> m_source;
    int m_sourceRows = 0;
    std::unordered_map<int, EditedRow> m_edited; // by source row
    mutable std::unordered_map<int, Block> m_blocks;
    mutable unsigned long long m_clock = 0;
    int m_blockRows = 256;
    int m_maxBlocks = 16;
    int m_dataRows = 0;
    int m_cols = 2;
};

} // namespace khgl

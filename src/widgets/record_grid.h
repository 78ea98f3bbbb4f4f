#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace khgl {

class GridModel;

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

// A record grid numbered as the pages know it: row 0 is the header row, column 0 the narrow
// fixed column (drawn as the row header, so it stays when the columns scroll); data rows start
// at 1. The current row is the highlighted row, however the highlight moved there (click, keys,
// Tab, drag or a call). Sizes are in twips (15 twips = 1 pixel). Each data row may carry the hidden
// key of the record it shows. Cells are kept as UTF-8 bytes and turned into text only when
// painted; a long listing comes from a RowSource, a block of rows at a time as it is shown.
class RecordGrid final : public QTableView
{
    Q_OBJECT

public:
    explicit RecordGrid(QWidget* parent = nullptr);
    ~RecordGrid() override;

    int rows() const;
    void setRows(int rows); // at least 1 (the header row)
    int cols() const;
    void setCols(int cols);

    int row() const { return m_row; }
    void setRow(int row);
    int col() const { return m_col; }
    void setCol(int col);

    QString text(int row, int col) const;
    // The length of a cell's text in UTF-8 bytes, without copying it.
    qsizetype textBytes(int row, int col) const;
    void setText(int row, int col, const QString& text);
    void setText(int row, int col, const char* utf8, int length);
    // The current cell's text.
    QString text() const { return text(m_row, m_col); }
    void clearTexts();
    // A data cell's UTF-8 bytes as stored (row >= 1), without making a QString; valid until
    // the grid is next read or changed.
    std::string_view cellBytes(int row, int col) const;
    // The cells of a data row (row >= 1) as stored, columns 0 .. cols()-1 in a row; valid until
    // the grid is next read or changed.
    const std::string* rowCells(int row) const;

    // Shows a listing read from source a block at a time, below the header row, and makes its
    // last row current. Rows added later (setRows, a saved record) follow the listing's rows;
    // edited cells are kept over the fetched rows. Shrinking the rows below the listing's
    // length, or clearTexts, lets the source go.
    void showSource(std::unique_ptr<RowSource> source);
    bool hasSource() const;
    // Hands every data row in order to visit, as rowCells would, without keeping the rows of a
    // listing in the grid; visit returns false to stop.
    void visitRows(const std::function<bool(int row, const std::string* cells)>& visit) const;
    // Rows per block and blocks kept (tests use small ones to see blocks dropped).
    void setBlockSize(int rows, int blocks);

    qint64 rowKey(int row) const;
    void setRowKey(int row, qint64 key);

    int colWidth(int col) const; // twips
    void setColWidth(int col, int twips);
    int rowHeight(int row) const; // twips
    void setRowHeight(int row, int twips);

    // Where a data cell is drawn, in viewport coordinates (empty for column 0 and the header).
    QRect cellRect(int row, int col) const;
    // The view's index of a data cell (invalid for column 0 and the header).
    QModelIndex cellIndex(int row, int col) const;

    // Rows for which marker answers true are drawn in red (asked only for painted rows).
    void setRowMarker(std::function<bool(int row)> marker);
    // A row's tooltip, asked when the pointer rests on it; an empty text leaves the cell's own.
    void setRowToolTip(std::function<QString(int row)> tip);

    // Typing a letter over a listing read in blocks finds nothing: the search would read the
    // whole listing row by row on each key.
    void keyboardSearch(const QString& search) override;

    // Removes a data row; the rows below move up. A row of a listing is removed once its
    // record is deleted: the listing then no longer holds it either.
    void removeItem(int row);

    // While a batch is open, row changes are not announced one by one; closing it shows them.
    class Batch final
    {
    public:
        explicit Batch(RecordGrid& grid);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        RecordGrid& m_grid;
    };

Q_SIGNALS:
    // A click or double click on a data cell (row >= 1); the current cell is already set.
    void cellClicked(int row, int col);
    void cellDoubleClicked(int row, int col);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void onClicked(const QModelIndex& index);
    void onDoubleClicked(const QModelIndex& index);
    void syncCurrent();
    void followView();

    GridModel* m_model;
    int m_row = 0;
    int m_col = 0;
    int m_batchDepth = 0;
};

// The light model behind RecordGrid. Model row r is grid row r + 1, model column c grid
// column c + 1. Data rows are either all held here, or a source's rows (fetched in blocks,
// some cells edited) followed by rows held here.
class GridModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    friend class RecordGrid;
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

    std::string& cell(int dataRow, int col);
    const std::string& cell(int dataRow, int col) const;
    const std::string* rowCells(int dataRow) const;
    qint64 key(int dataRow) const;
    void setKey(int dataRow, qint64 key);
    void resize(int dataRows, int cols, bool announce);
    void removeRow(int dataRow);
    void clearAll();
    void attach(std::unique_ptr<RowSource> source);
    void detach(int keepRows);
    int heldRows() const { return m_dataRows - m_sourceRows; }
    const Block* block(int index) const;
    EditedRow& editedRow(int dataRow);
    void visit(const std::function<bool(int row, const std::string* cells)>& visit) const;

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
    QStringList m_headers;
    int m_dataRows = 0;
    int m_cols = 2;
    std::function<bool(int row)> m_marker;
    std::function<QString(int row)> m_rowTip;
};

} // namespace khgl

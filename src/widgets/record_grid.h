#pragma once

#include "widgets/row_cache.h"
#include "widgets/screen_fit.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTableView>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QScrollBar;

namespace khgl {

class GridModel;

// A record grid numbered as the pages know it: row 0 is the header row, column 0 the narrow
// fixed column (drawn as the row header, so it stays when the columns scroll); data rows start
// at 1. The current row is the highlighted row, however the highlight moved there (click, keys,
// Tab, drag or a call). Sizes are in twips (15 twips = 1 pixel). Each data row may carry the hidden
// key of the record it shows. Cells are kept as UTF-8 bytes and turned into text only when
// painted; a long listing comes from a RowSource, a block of rows at a time as it is shown.
// The view itself holds a window of at most kWindowRows rows around what is shown, and a
// listing longer than that scrolls with a bar of its own over the whole listing, so the view's
// row layout stays the same size whatever the listing's length.
class RecordGrid final : public QTableView, public screen_fit::Refits
{
    Q_OBJECT

public:
    static constexpr int kWindowRows = 512;

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
    // The view's index of a data cell (invalid for column 0 and the header); a row outside the
    // view's window is brought into it first.
    QModelIndex cellIndex(int row, int col);
    // The first or last rows of the whole listing into view.
    void scrollToTop();
    void scrollToBottom();

    // Rows for which marker answers true are drawn in red (asked only for painted rows).
    void setRowMarker(std::function<bool(int row)> marker);
    // A row's tooltip, asked when the pointer rests on it; an empty text leaves the cell's own.
    void setRowToolTip(std::function<QString(int row)> tip);

    // Typing a letter over a listing read in blocks finds nothing: the search would read the
    // whole listing row by row on each key. A long list held here is searched here, as the
    // view searches a short one.
    void keyboardSearch(const QString& search) override;
    // Column widths, row heights and the fixed column follow a new zoom.
    void refit(double ratio) override;

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
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void onClicked(const QModelIndex& index);
    void onDoubleClicked(const QModelIndex& index);
    void syncCurrent();
    void followView();
    int top() const;
    bool windowed() const;
    int room() const;
    // The window's first data row moved to top (clamped), the view shown from firstShown.
    void placeWindow(int top, int firstShown);
    // The data row (0-based) inside the window with room around it; true if the window moved.
    bool bringIntoWindow(int dataRow);
    void mirrorCurrent();
    void showFrom(int first);
    void onViewScrolled(int value);
    void onBarMoved(int value);
    void syncBar();
    void updateWindowed();
    void searchHeldRows(const QString& search);

    GridModel* m_model;
    QScrollBar* m_bar; // over the whole listing, shown while it is longer than the window
    int m_row = 0;
    int m_col = 0;
    int m_batchDepth = 0;
    bool m_shifting = false; // the window moves: the view's moves are its own
    int m_settling = 0;      // inside a move of the current cell
    Qt::ScrollBarPolicy m_viewBarPolicy = Qt::ScrollBarAsNeeded;
    QString m_typed;            // the keys typed for a search of a long held list
    QElapsedTimer m_typedClock; // since the last of them
};

// The light model behind RecordGrid: a window of the grid's rows. Model row r is data row
// top + r (grid row top + r + 1), model column c grid column c + 1.
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

    // The rows the window shows from m_top on, and its last possible first row.
    int fullCount() const;
    int maxTop() const;
    // The model row of a data row, or -1 outside the window.
    int modelRow(int dataRow) const;
    // The window fitted to the rows after changes not announced one by one.
    void refit();
    void resize(int dataRows, int cols, bool announce);
    void removeRow(int dataRow, bool announce);
    void clearAll();
    // Moves the window (its row count stays): every shown row changes.
    void setTop(int top);

    RowCache m_rows;
    int m_top = 0;   // the data row shown as model row 0
    int m_count = 0; // the model's rows
    QStringList m_headers;
    std::function<bool(int row)> m_marker;
    std::function<QString(int row)> m_rowTip;
};

} // namespace khgl

#pragma once

#include <QObject>

class QKeyEvent;
class QLineEdit;

namespace khgl {

class RecordGrid;

// Typing into the customer grid's cells: an edit box laid over the current cell. A double
// click, F2 or a typed character opens it; Enter writes the text into the cell and moves to
// the next column (closing after the last one); Esc closes it and leaves the cell as it was;
// leaving the box (for example to click 保存) keeps what was typed. Only a row that shows no
// stored record takes typing (a new purchase for the page's 保存); over a stored record the box
// only shows the text, and a typed character points to 修改….
class CustomerGridEditor final : public QObject
{
    Q_OBJECT

public:
    explicit CustomerGridEditor(RecordGrid& grid);

    QLineEdit* box() const { return m_box; }
    bool isEditing() const { return m_editing; }
    // Opens the box over a data cell with the given text.
    void edit(int row, int col, const QString& text);
    // Writes the box into its cell and closes it (nothing happens when it is closed).
    void commit();
    void cancel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleGridKey(QKeyEvent* event);
    bool handleBoxKey(QKeyEvent* event);
    void commitAndAdvance();
    // Opens the box over a cell with the cell's own text.
    void editCell(int row, int col);
    void close();
    void placeOverCell();
    bool isEditable(int row, int col) const;
    bool showsStoredRecord(int row) const;
    static QString storedRowHint();

    RecordGrid& m_grid;
    QLineEdit* m_box;
    int m_row = 0;
    int m_col = 0;
    bool m_editing = false;
};

} // namespace khgl

#include "customers_mail/customer_grid_editor.h"

#include "widgets/record_grid.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolTip>

namespace khgl {

CustomerGridEditor::CustomerGridEditor(RecordGrid& grid)
    : QObject(&grid), m_grid(grid), m_box(new QLineEdit(grid.viewport()))
{
    m_box->setObjectName(QStringLiteral("MS1Editor"));
    m_box->setFrame(false);
    // A visible edge and tint so the operator sees which cell is being typed into.
    m_box->setStyleSheet(
        QStringLiteral("QLineEdit { border: 1px solid #3a6ea5; background: #fffbe6; }"));
    m_box->hide();
    m_box->installEventFilter(this);
    m_grid.installEventFilter(this);
    connect(&m_grid, &RecordGrid::cellDoubleClicked, this,
            [this](int row, int col) { editCell(row, col); });
}

bool CustomerGridEditor::isEditable(int row, int col) const
{
    return row >= 1 && row < m_grid.rows() && col >= 1 && col < m_grid.cols();
}

bool CustomerGridEditor::showsStoredRecord(int row) const
{
    return m_grid.rowKey(row) >= 0;
}

QString CustomerGridEditor::storedRowHint()
{
    return QStringLiteral("这一行是已保存的记录：请用右键菜单“修改…”（Ctrl+E）更改。");
}

void CustomerGridEditor::edit(int row, int col, const QString& text)
{
    if (!isEditable(row, col)) {
        return;
    }
    m_row = row;
    m_col = col;
    m_grid.setRow(row);
    m_grid.setCol(col);
    m_editing = true;
    // A text longer than the box holds is shown, not edited: taking the box back would cut it.
    // A row that shows a stored record is changed through 修改…, which writes it: an edit
    // here would show a text the file does not hold.
    const bool stored = showsStoredRecord(row);
    m_box->setReadOnly(stored || text.size() > m_box->maxLength());
    m_box->setToolTip(stored ? storedRowHint() : QString());
    m_box->setText(text);
    placeOverCell();
    m_box->show();
    m_box->raise();
    m_box->setFocus();
}

void CustomerGridEditor::editCell(int row, int col)
{
    // A text the box cannot hold (a UTF-8 byte is at least a third of a character) is not
    // copied whole: the box shows its beginning, as the cell's tip does, and cannot change it.
    if (m_grid.textBytes(row, col) > 3 * static_cast<qsizetype>(m_box->maxLength())) {
        edit(row, col, m_grid.cellIndex(row, col).data(Qt::ToolTipRole).toString());
        m_box->setReadOnly(true);
        return;
    }
    edit(row, col, m_grid.text(row, col));
}

void CustomerGridEditor::placeOverCell()
{
    const QModelIndex index = m_grid.cellIndex(m_row, m_col);
    m_grid.scrollTo(index);
    m_box->setGeometry(m_grid.visualRect(index));
}

void CustomerGridEditor::commit()
{
    if (!m_editing) {
        return;
    }
    if (!m_box->isReadOnly()) {
        m_grid.setText(m_row, m_col, m_box->text());
    }
    close();
}

void CustomerGridEditor::cancel()
{
    if (m_editing) {
        close();
    }
}

void CustomerGridEditor::close()
{
    // Cleared first: hiding the box moves the focus, which must not commit a second time.
    m_editing = false;
    const bool hadFocus = m_box->hasFocus();
    m_box->hide();
    m_box->clear();
    if (hadFocus) {
        m_grid.setFocus();
    }
}

void CustomerGridEditor::commitAndAdvance()
{
    const int row = m_row;
    const int next = m_col + 1;
    commit();
    if (isEditable(row, next)) {
        editCell(row, next);
        m_box->selectAll();
    }
}

bool CustomerGridEditor::handleBoxKey(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        commitAndAdvance();
        return true;
    case Qt::Key_Escape:
        cancel();
        return true;
    default:
        return false;
    }
}

bool CustomerGridEditor::handleGridKey(QKeyEvent* event)
{
    const int row = m_grid.row();
    const int col = m_grid.col();
    if (!isEditable(row, col) ||
        event->modifiers().testAnyFlags(Qt::ControlModifier | Qt::AltModifier)) {
        return false;
    }
    if (event->key() == Qt::Key_F2 || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        editCell(row, col);
        return true;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.at(0).isPrint() && showsStoredRecord(row)) {
        QToolTip::showText(m_grid.viewport()->mapToGlobal(m_grid.cellRect(row, col).bottomLeft()),
                           storedRowHint(), &m_grid);
        return true;
    }
    if (!typed.isEmpty() && typed.at(0).isPrint()) {
        edit(row, col, typed); // typing over a cell replaces its text, as in a spreadsheet
        return true;
    }
    return false;
}

bool CustomerGridEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box) {
        if (event->type() == QEvent::KeyPress) {
            return handleBoxKey(static_cast<QKeyEvent*>(event));
        }
        if (event->type() == QEvent::FocusOut && m_editing) {
            commit();
        }
        return false;
    }
    if (watched == &m_grid && event->type() == QEvent::KeyPress && !m_editing) {
        return handleGridKey(static_cast<QKeyEvent*>(event));
    }
    return false;
}

} // namespace khgl

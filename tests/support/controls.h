#pragma once

#include "widgets/record_grid.h"

#include <QStringList>
#include <QTest>

namespace khgl::test {

// A control of a window by its objectName; the test stops at once when it is missing.
template <typename T = QWidget> T* child(const QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no control %s", name);
    }
    return found;
}

// Clicks a data cell of a grid as the operator would, scrolled into view first.
inline void clickCell(RecordGrid& grid, int row, int col)
{
    const QModelIndex index = grid.cellIndex(row, col);
    grid.scrollTo(index);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier,
                      grid.visualRect(index).center());
}

inline void clickCell(RecordGrid* grid, int row, int col)
{
    clickCell(*grid, row, col);
}

inline void doubleClickCell(RecordGrid& grid, int row, int col)
{
    clickCell(grid, row, col);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier,
                       grid.visualRect(grid.cellIndex(row, col)).center());
}

// One column of a grid, rows 1 to the last.
inline QStringList columnTexts(const RecordGrid* grid, int col)
{
    QStringList texts;
    for (int row = 1; row < grid->rows(); ++row) {
        texts << grid->text(row, col);
    }
    return texts;
}

// One data row of a grid, columns 1 to the last.
inline QStringList rowTexts(const RecordGrid& grid, int row)
{
    QStringList texts;
    for (int col = 1; col < grid.cols(); ++col) {
        texts << grid.text(row, col);
    }
    return texts;
}

inline QStringList rowTexts(const RecordGrid* grid, int row)
{
    return rowTexts(*grid, row);
}

} // namespace khgl::test

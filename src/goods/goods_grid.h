#pragma once

#include "goods/goods_records.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

class QLineEdit;

namespace khgl {

class RecordGrid;
class RecordSet;

// The grid routines every goods grid shares (purchase, sales, stock, query windows).
namespace goods {

// Leaves the header row and one blank data row, which becomes the current row.
void resetGrid(RecordGrid& grid);

// Fills a reset grid from a record set: column 1 the record's position (from 1), columns
// 2 .. shownColumns + 1 the first shownColumns fields. Each row keeps the record's key, so a
// delete can name exactly the record the row shows.
void listRecords(RecordGrid& grid, const RecordSet& set, int shownColumns);

// Header row and widths (twips) of a purchase or sales grid: 8 columns, the last lastWidth.
void setUpEntryGrid(RecordGrid& grid, const QStringList& headers, int lastWidth);

// A stored value as the grid and the boxes show it (3.0 as "3", null as "").
QString cellText(const QVariant& value);

// The leading number of a text, as the stock difference reads its cells; "" counts as 0.
double leadingNumber(const QString& text);

// Plain decimal text without fixed decimals: 7, 2.5, -2.
QString plainNumber(double value);

// Empties a box whose text is not a number; an empty box stays empty.
// Shows a saved record in the grid: in row 1 when that is the only row and blank, else in a
// new last row. Column 1 is its 区别; the row keeps its key.
void showSavedRow(RecordGrid& grid, const SavedRecord& saved, const GoodsEntry& entry);

void keepOnlyNumber(QLineEdit* box);
// Empties a box whose text is not a date.
void keepOnlyDate(QLineEdit* box);

} // namespace goods
} // namespace khgl

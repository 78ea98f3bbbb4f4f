#pragma once

#include "goods/goods_records.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace khgl {

class RecordGrid;
class RecordSet;

// The grid routines every goods grid shares (purchase, sales, stock, query windows).
namespace goods {

// Leaves the header row and one blank data row, which becomes the current row.
void resetGrid(RecordGrid& grid);

// Fills a reset grid from a record set: column 1 the record's position (from 1), columns
// 2, 3 ... the fields named in columns, found by name. Each row keeps the record's key, so a
// delete can name exactly the record the row shows.
void listRecords(RecordGrid& grid, const RecordSet& set, const QStringList& columns);

// Lists a reset grid from pages read a block at a time as they come into view: column 1 the
// record's position (from 1), columns 2, 3 ... the pages' columns; each row keeps its key.
// Returns how many records are listed.
int listPages(RecordGrid& grid, std::unique_ptr<KeysetPages> pages);

// The columns of 进货表 and 销售表 that grid columns 2 to 7 show.
QStringList shownColumns();

// Header row and widths (twips) of a purchase or sales grid: 8 columns, the last lastWidth.
void setUpEntryGrid(RecordGrid& grid, const QStringList& headers, int lastWidth);

// Writes an entry's six texts into columns 2 to 7 of a row.
void showEntry(RecordGrid& grid, int row, const GoodsEntry& entry);

// Shows a saved record in the grid: in row 1 when that is the only row and blank, else in a
// new last row. Column 1 is its 区别; the row keeps its key.
void showSavedRow(RecordGrid& grid, const SavedRecord& saved, const GoodsEntry& entry);

// What grid row shows of its record, for a checked delete: (column name, shown text).
QList<std::pair<QString, QString>> shownTexts(const RecordGrid& grid, int row);

} // namespace goods
} // namespace khgl

#pragma once

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
// 2, 3 ... the fields named in columns, found by name. Each row keeps the record's key, so a
// delete can name exactly the record the row shows.
void listRecords(RecordGrid& grid, const RecordSet& set, const QStringList& columns);

// The columns of 进货表 and 销售表 that grid columns 2 to 7 show.
QStringList shownColumns();

// Header row and widths (twips) of a purchase or sales grid: 8 columns, the last lastWidth.
void setUpEntryGrid(RecordGrid& grid, const QStringList& headers, int lastWidth);

// A stored value as the grid and the boxes show it (3.0 as "3", null as "").
QString cellText(const QVariant& value);

// The leading number of a text, as the stock difference reads its cells; "" counts as 0.
double leadingNumber(const QString& text);

// Plain decimal text without fixed decimals: 7, 2.5, -2.
QString plainNumber(double value);

// The sum a "sum(...)" query returned, or nothing when there was nothing to sum.
std::optional<double> sumOf(const RecordSet& set, const QString& column);

// The same query with the row key (rowid) as its first column, for DataStore::selectKeyed:
// "select*from T where ..." becomes "select rowid,*from T where ...".
QString withRowKey(const QString& query);

// Empties a box whose text is not a number; an empty box stays empty.
void keepOnlyNumber(QLineEdit* box);
// Empties a box whose text is not a date.
void keepOnlyDate(QLineEdit* box);

} // namespace goods
} // namespace khgl

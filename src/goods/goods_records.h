#pragma once

#include <QString>

namespace khgl {

class DataStore;
class RecordGrid;

// Writing and removing rows of 进货表 and 销售表, which share their columns.
namespace goods {

struct GoodsEntry
{
    QString name;
    QString price;
    QString quantity;
    QString amount;
    QString date;
    QString remark;
};

struct SavedRecord
{
    int count = 0;   // the table's record count with the new row: its 区别
    qint64 key = -1; // the new row's key
};

// Appends one purchase or sale at once: the count and the row are written together or not
// at all. Price, quantity and amount must be numbers; otherwise nothing is written.
SavedRecord appendRecord(DataStore& store, const QString& table, const GoodsEntry& entry);

// Shows a saved record in the grid: in row 1 when that is the only row and blank, else in a
// new last row. Column 1 is its 区别; the row keeps its key.
void showSavedRow(RecordGrid& grid, const SavedRecord& saved, const GoodsEntry& entry);

// Removes exactly the record grid row shows, found by the row's key, and only while the file
// still holds what the row shows; otherwise nothing is removed and a StoreError says the
// record has changed.
void removeShownRecord(DataStore& store, const QString& table, const RecordGrid& grid, int row);

} // namespace goods
} // namespace khgl

#pragma once

#include "data_store/data_store.h"
#include "data_store/keyset_pages.h"
#include "data_store/record_set.h"
#include "widgets/grid_import.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace khgl {

class DataStore;

// The records of 进货表 and 销售表, which share their columns, and the stock figures drawn
// from both. No widgets here: the pages put what these return on screen.
namespace goods {

enum class GoodsTable
{
    Purchases, // 进货表
    Sales      // 销售表
};

QString tableName(GoodsTable table);

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
SavedRecord appendRecord(DataStore& store, GoodsTable table, const GoodsEntry& entry);

// Why the entry panel refuses to save these boxes, for the operator; empty when it saves.
// dateCaption names the date box.
QString entryRefusal(const GoodsEntry& entry, const QString& dateCaption);

// The warning a sale gets when its amount is not 数量 × 单价 to the cent (it is still saved:
// a discount is the operator's to give); empty when it is, or while a box holds no number.
QString amountMismatch(const QString& price, const QString& quantity, const QString& amount);

// One record as the entry panel shows it (备注 included), read by its key for a change;
// nothing when it is no longer there.
struct ReadEntry
{
    DataStore::ReadRecord read;
    GoodsEntry entry;
};
std::optional<ReadEntry> readEntry(DataStore& store, GoodsTable table, qint64 key);
// Rewrites the record read before with the entry's texts in one transaction, 区别 unchanged,
// checked as appendRecord checks them; a record changed or deleted meanwhile is left as it
// is and a StoreError says so.
void updateEntry(DataStore& store, GoodsTable table, const DataStore::ReadRecord& read,
                 const GoodsEntry& entry);

// Appends many purchases or sales in one transaction, all or none, each with the 区别 a save
// one after the other would give it. Price, quantity and amount must be numbers.
void appendRecords(DataStore& store, GoodsTable table, const std::vector<GoodsEntry>& entries);
// The same for entries handed over one at a time by next (false after the last), so an import
// of millions of rows holds only a batch of them; next throws to stop, nothing written.
void appendRecords(DataStore& store, GoodsTable table,
                   const std::function<bool(GoodsEntry& entry)>& next);

// Brings CSV rows into the table through appendRecords: the columns by the grid's headers
// (编号, then the six the grid shows), checked as the entry panel checks its boxes.
std::unique_ptr<GridImporter> importer(DataStore& store, GoodsTable table,
                                       const QStringList& headers);

// Removes exactly the record with this key, and only while the file still holds what a grid
// row shows of it (column name, shown text); otherwise nothing is removed and a StoreError
// says the record has changed.
void removeRecord(DataStore& store, GoodsTable table, qint64 key,
                  const QList<std::pair<QString, QString>>& shown);

// The sum of 总金额 over the whole table; nothing when the table is empty.
std::optional<double> tableTotal(DataStore& store, GoodsTable table);

// The same listings read a block at a time, in entry order, with the columns the goods grids
// show (名称, 单价, 数量, 总金额, 日期, 备注): the whole table, one product, one date, one
// product on one date.
std::unique_ptr<KeysetPages> listingPages(DataStore& store, GoodsTable table);
std::unique_ptr<KeysetPages> productPages(DataStore& store, GoodsTable table, const QString& name);
std::unique_ptr<KeysetPages> datePages(DataStore& store, GoodsTable table, const QString& date);
std::unique_ptr<KeysetPages> productOnDatePages(DataStore& store, GoodsTable table,
                                                const QString& name, const QString& date);

// The sum of 总金额 of one product over every date, and of one date over every product.
std::optional<double> productTotal(DataStore& store, GoodsTable table, const QString& name);
std::optional<double> dateTotal(DataStore& store, GoodsTable table, const QString& date);

// Stock: 名称 and the purchased 总数量 of every purchased product (or of one), and the sold
// quantity of each named product (an invalid value where nothing was sold), read in one
// transaction so the figures come from one state of the file.
RecordSet purchasedQuantities(DataStore& store);
RecordSet purchasedQuantityOf(DataStore& store, const QString& name);
std::vector<QVariant> soldQuantities(DataStore& store, const QStringList& names);
// The sold quantity of a purchased product, one row per purchased name.
RecordSet soldOfPurchased(DataStore& store, const QString& name);

// The sum a "sum(...)" query returned, or nothing when there was nothing to sum.
std::optional<double> sumOf(const RecordSet& set, const QString& column);

// The same query with the row key (rowid) as its first column, for DataStore::selectKeyed:
// "select*from T where ..." becomes "select rowid,*from T where ...".
QString withRowKey(const QString& query);

} // namespace goods
} // namespace khgl

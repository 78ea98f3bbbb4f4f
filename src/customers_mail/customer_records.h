#pragma once

#include "data_store/data_store.h"
#include "data_store/keyset_pages.h"
#include "data_store/record_set.h"
#include "widgets/grid_import.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace khgl {

class DataStore;

// The records of 客户表. No widgets here: the customer pages put what these return on screen.
namespace customer_records {

// Every customer record, and the records of one name (trailing blanks of names do not
// count), read a block at a time with the columns the customer grid shows (客户名 .. 备注), in
// entry order.
std::unique_ptr<KeysetPages> allPages(DataStore& store);
std::unique_ptr<KeysetPages> namePages(DataStore& store, const QString& name);
// The 附加信息 of the records with this name and mail address.
RecordSet extraInformation(DataStore& store, const QString& name, const QString& mail);
// Reaches 客户表 before a save from the grid checks its rows, so a file that went away or
// cannot be read is said first.
void requery(DataStore& store);
// How a new record's 区别 is counted: the entry window writes the record count with the new
// record included, a save from the customer grid one more than that.
enum class Numbering
{
    CountingNew,
    OneBeyond
};
// Appends one record to 客户表: texts are 客户名 .. 其他 in table order (an empty text leaves
// its column unset), extra is 附加信息 (empty: unset). 区别 is counted and the record written in
// one transaction, so a save at another desk cannot take the same number. Returns the new
// record's key.
qint64 appendRecord(DataStore& store, const QStringList& texts, const QString& extra,
                    Numbering numbering);
// One record as the entry window shows it, read by its key for a change: texts are 客户名 ..
// 其他 in table order, then 附加信息; nothing when the record is no longer there.
struct ReadEntry
{
    DataStore::ReadRecord read;
    QStringList texts;
};
std::optional<ReadEntry> readEntry(DataStore& store, qint64 key);
// Rewrites the record read before with twelve texts as readEntry gives them (an empty text
// empties its column; 区别 unchanged), in one transaction; a record changed or deleted
// meanwhile is left as it is and a StoreError says so.
void updateEntry(DataStore& store, const DataStore::ReadRecord& read, const QStringList& texts);
// Appends many customer records in one transaction, all or none: each row the texts of the
// first 11 columns (客户名 .. 其他) in table order, an empty text leaving its column unset,
// 区别 counted as a save one after the other counts it. 商品单价, 商品数量 and 收取金额 must be
// numbers.
void appendRows(DataStore& store, const std::vector<QStringList>& rows);
// The same for rows handed over one at a time by next (false after the last), so an import of
// millions of rows holds one of them; next throws to stop, nothing written.
void appendRows(DataStore& store, const std::function<bool(QStringList& row)>& next);
// Brings CSV rows into 客户表 through appendRows: the columns by the grid's 11 headers (客户名
// required), checked as the entry window checks its boxes.
std::unique_ptr<GridImporter> importer(DataStore& store, const QStringList& headers);
// Removes exactly the record with this key, and only while the file still holds what the
// grid shows of it (column name, shown text; a number as the entry window took it, "1,234"
// for 1234); otherwise a StoreError says it has changed.
void remove(DataStore& store, qint64 key, const QList<std::pair<QString, QString>>& shown);
// Whether text is empty or a number in the locale's notation (sign, thousands separators,
// decimal point, exponent, blanks around): what the entry window's number boxes keep. A lone
// sign, point or "1e" is not.
bool isNumberEntry(const QString& text);
// A number entry as the store reads numbers: no thousands separators, "." as decimal point.
QString storedNumber(const QString& text);
// How many customer records there are (every purchase record counts).
QString countText(DataStore& store);

} // namespace customer_records
} // namespace khgl

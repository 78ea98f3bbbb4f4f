#pragma once

#include "data_store/record_set.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <map>
#include <optional>

namespace khgl {

class DataStore;

// A listing in entry order: the columns of a table's records that match a condition (or all).
struct KeysetQuery
{
    QString table;
    QStringList columns;
    QString where;       // empty: every record
    QVariantList params; // bound to the "?" marks of where
};

// Reads a listing a block at a time, however long it is: each block is found from a known row
// key (where rowid > ? order by rowid limit ?), never by skipping rows with an offset. The row
// keys of fetched blocks are remembered, and every kCheckpointRows-th key met while walking,
// so the next block below, the last rows and a row near one seen before are read at once;
// a first jump far from every known row walks the keys between (only the keys, no values;
// a server skips them itself and sends the one key found).
class KeysetPages final
{
public:
    static constexpr int kCheckpointRows = 4096;

    KeysetPages(DataStore& store, KeysetQuery query);

    const KeysetQuery& query() const { return m_query; }
    // The listing's length, counted once.
    int count();
    // Up to n records from row first (0-based) on, keyed, in entry order.
    RecordSet rows(int first, int n);
    // The record at row was deleted: the rows below it move up one.
    void removed(int row);

private:
    std::optional<qint64> keyBefore(int row);
    QString from() const;
    QString andWhere() const;

    DataStore& m_store;
    KeysetQuery m_query;
    std::optional<int> m_count;
    std::map<int, qint64> m_known; // row -> its key
};

} // namespace khgl

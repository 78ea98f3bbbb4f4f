#pragma once

#include "data_store/kept_figures.h"
#include "data_store/record_set.h"
#include "data_store/store_address.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace khgl {

// The shop's data: the database file khgl.dll in the data folder (SqliteStore) or a
// PostgreSQL database holding the same tables (ServerStore), chosen by openStore from a
// StoreAddress. Both answer every call alike; the folder keeps the other files either way.
// Store failures are StoreError exceptions whose message is meant for the operator.
class DataStore
{
public:
    virtual ~DataStore();
    DataStore(const DataStore&) = delete;
    DataStore& operator=(const DataStore&) = delete;

    static QString fileName() { return QStringLiteral("khgl.dll"); }
    // The folder joined with the file name, adding no second "/" to a folder that ends in one.
    static QString databasePath(const QString& folder);
    // The file that holds the data: khgl.dll, or the file a symlink of that name points at.
    static QString resolvedPath(const QString& path);
    static QString recordChangedText() { return QStringLiteral("记录已经改变，请重新查询。"); }

    // Where this store's data lives: a second connection to the same data opens this address.
    const StoreAddress& address() const { return m_address; }
    const QString& folder() const { return m_address.folder; }
    QString filePath() const { return databasePath(m_address.folder); }
    // Where the data is, for the log: the file's path or the server and database (never a
    // password).
    virtual QString location() const = 0;

    // Called again and again while a statement waits for another program to let go of the
    // file, on whichever thread runs it; the program keeps its windows painting there. Work
    // handed to the waiting store meanwhile is refused as busy. Unset: the wait only sleeps.
    static void setBusyWaitHook(std::function<void()> hook);

    // True when the data is there: an empty khgl.dll (left by a first start that never
    // finished) counts as none; a server says what it holds when opened.
    virtual bool fileExists() const = 0;
    // Writes the six empty tables: a new file (mode 0600, built under another name and renamed
    // into place when complete, never over a file with data; a journal left beside the missing
    // file is renamed aside and its new name returned), or the tables in an empty database.
    virtual QStringList create() = 0;
    // For a second connection that copies the whole data (backup, restore) beside the windows'
    // store: its opens and closes write nothing of their own (the kept figures stay with the
    // windows' store), so a copy that reads never takes the write lock.
    void copyOnly() { m_copyOnly = true; }
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // A bare table name lists the whole table in insertion order; anything else is a query.
    // Every piece of operator text goes in params, bound to the "?" marks of the query.
    RecordSet select(const QString& source, const QVariantList& params = {});
    // A query whose first column is the row key (rowid) of the record each row shows: that
    // column becomes the rows' hidden keys, the other columns are the fields.
    RecordSet selectKeyed(const QString& sql, const QVariantList& params = {});
    // Steps a query whose first column is a row key, handing each key to visit until it
    // returns false; nothing else is read, so walking the keys of a long table stays quick.
    virtual void scanKeys(const QString& sql, const QVariantList& params,
                          const std::function<bool(qint64)>& visit) = 0;
    // True when a scan hands over each row as the engine reads it, so walking many rows costs
    // little; false when the whole answer comes at once, so the engine should skip or group
    // rows itself.
    virtual bool streamsRows() const = 0;
    // True when other desks share this store: what belongs to one desk (a remembered login)
    // is then kept in the desk's own folder, and the window names the shop that is open.
    virtual bool sharedByDesks() const = 0;
    // The kept row count and sum of 总金额 of 进货表, 销售表 or 客户表 (see kept_figures.h);
    // nothing when this store cannot keep them (a read-only file, a server account that may
    // not create triggers): the caller then counts and sums itself.
    std::optional<kept_figures::Figures> keptFigures(const QString& table);
    // The row count of one of the tables: its kept figure when there is one, else counted.
    qint64 countRows(const QString& table);

    // Deletes every record of one of the six tables, inside the caller's transaction if there
    // is one.
    virtual void emptyTable(const QString& table) = 0;

    // Appends one record to a table: (column, value) pairs, each value converted as its column
    // takes it (a number or date that is none throws). Returns the new record's row key.
    qint64 insertRow(const QString& table, const QList<std::pair<QString, QVariant>>& values);
    // Runs a statement that returns no rows (delete, update).
    virtual void execute(const QString& sql, const QVariantList& params = {}) = 0;
    // Runs one such statement once for each list of values, prepared once (a long import);
    // call it inside a transaction.
    virtual void executeEach(const QString& sql, const std::vector<QVariantList>& rows) = 0;
    // Runs work as one transaction: all of it is written, or none. Transactions that write
    // run one at a time, whichever desk started them, so a count taken inside one still
    // holds when the row it numbers is written.
    virtual void transaction(const std::function<void()>& work) = 0;
    // The same for a write of many rows to tables (an import): a server keeps their figures by
    // counting them once at its end instead of once per statement.
    virtual void bulkTransaction(const QStringList& tables, const std::function<void()>& work)
    {
        Q_UNUSED(tables);
        transaction(work);
    }

    // Hands each row of a query to visit: the first column as UTF-8 text (nullptr for null)
    // and the second as a number (0 when null or absent). For listings too long to hold.
    using RowVisitor = std::function<void(const char* text, int length, double number)>;
    virtual void scan(const QString& sql, const RowVisitor& visit) = 0;
    // One column of a scanned row: a number the engine holds as one (turning it into text
    // would cost more than the rest of the read), or else UTF-8 text, nullptr for null.
    struct ScanCell
    {
        const char* text = nullptr;
        int length = 0;
        bool isNumber = false;
        double number = 0;
    };
    // Hands each row of a query to visit, its columns in order; nothing is kept between rows.
    using CellRowVisitor = std::function<void(const ScanCell* cells)>;
    virtual void scanCells(const QString& sql, const QVariantList& params,
                           const CellRowVisitor& visit) = 0;

    // Deletes the record with this key from table, but only while its stored values still
    // read as a grid row shows them (column name, shown text). Otherwise nothing is deleted
    // and a StoreError says the record has changed: another program changed the data.
    void deleteShownRecord(const QString& table, qint64 key,
                           const QList<std::pair<QString, QString>>& shown);

    // What a record held when the operator began to change it: its key and (column, value)
    // as read.
    struct ReadRecord
    {
        qint64 key = -1;
        QList<std::pair<QString, QVariant>> values;
        // The values as plain text (displayText), in the order read.
        QStringList texts() const;
    };
    // Reads the named columns of the record with this key; nothing when there is none.
    std::optional<ReadRecord> readRecord(const QString& table, qint64 key,
                                         const QStringList& columns);
    // Writes (column, value) pairs into the record read before, each value converted as
    // insertRow converts it, in one transaction and only while the record still holds what
    // was read: a record deleted or changed meanwhile (another desk, another program) is left
    // as it is and a StoreError says so.
    void updateReadRecord(const QString& table, const ReadRecord& read,
                          const QList<std::pair<QString, QVariant>>& values);
    static QString recordMissingText()
    {
        return QStringLiteral("这条记录已不存在，可能已被其他桌面或程序删除。");
    }
    static QString recordGoneText()
    {
        return QStringLiteral("这条记录已被其他桌面或程序删除，修改没有保存。");
    }
    static QString recordChangedMeanwhileText()
    {
        return QStringLiteral("这条记录在您修改期间已被其他桌面或程序改动，修改没有保存。"
                              "请重新打开这条记录再修改。");
    }

    // Told how many bytes of the data have been copied so far.
    using Progress = std::function<void(qint64 copied)>;
    // See database_file::snapshot and database_file::swapIn.
    virtual void writeSnapshot(const QString& target, const Progress& progress) = 0;
    virtual void replaceWith(const QString& clean, const std::function<void()>& beforeSwap) = 0;

protected:
    explicit DataStore(StoreAddress address);

    // Opens the store if needed; throws a busy StoreError while it is held or waiting.
    virtual void ensureOpen() = 0;
    // The query written for the pages, in the engine's own dialect.
    virtual QString dialect(const QString& sql) const = 0;
    // The rows of an already translated query; keyed: its first column holds the row keys.
    virtual RecordSet fetch(const QString& sql, const QVariantList& params, bool keyed) = 0;
    // Runs an insert of one row (values bound in order); returns the new row's key.
    virtual qint64 insertStatement(const QString& sql, const QVariantList& values) = 0;
    // The hook's share of a busy wait; false when the store was already inside it.
    bool waitOnce();
    // Throws the busy StoreError when the store is inside the wait or held for a copy.
    void refuseWhileBusy() const;
    static QString busyText();

    bool m_copyOnly = false;
    bool m_figuresKept = false;

private:
    StoreAddress m_address;
    bool m_waiting = false; // inside the busy-wait hook, where events are handled
};

using Store = DataStore;

} // namespace khgl

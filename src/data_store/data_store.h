#pragma once

#include "data_store/kept_figures.h"
#include "data_store/record_set.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct sqlite3;

namespace khgl {

class ServerConnection;

// The database file khgl.dll in the application folder and the one connection to it, or,
// given a server address (a libpq URI such as postgresql://user@host:5432/shop), one
// connection to a PostgreSQL database holding the same tables; the folder then keeps only
// the other files (backups, customer files). Both answer every call alike.
// Store failures are StoreError exceptions whose message is meant for the operator.
class DataStore final
{
public:
    explicit DataStore(QString folder, QString server = {});
    ~DataStore();
    DataStore(const DataStore&) = delete;
    DataStore& operator=(const DataStore&) = delete;

    static QString fileName() { return QStringLiteral("khgl.dll"); }
    // The folder joined with the file name, adding no second "/" to a folder that ends in one.
    static QString databasePath(const QString& folder);
    QString folder() const { return m_folder; }
    QString filePath() const { return databasePath(m_folder); }
    bool onServer() const { return m_server != nullptr; }
    QString serverAddress() const { return m_serverAddress; }
    // The name of the file khgl.conf in the data folder that may name the server.
    static QString serverConfigName() { return QStringLiteral("khgl.conf"); }
    // The server address of khgl.conf in folder (its first line that is not blank and not a
    // "#" comment), or empty text when there is none.
    static QString configuredServer(const QString& folder);

    // True when khgl.dll holds something: an empty file (left by a first start that never
    // finished) counts as no file.
    bool fileExists() const;
    // The file that holds the data: khgl.dll, or the file a symlink of that name points at.
    static QString resolvedPath(const QString& path);
    // Writes a new file (mode 0600) holding the six empty tables. It is built under another
    // name and renamed into place when complete, so an interrupted start leaves no half file.
    // Fails if a file with data is there already. A journal or write-ahead log left beside the
    // missing file is renamed aside first (never played into the new file); returns the new
    // names of those, usually none.
    QStringList create();
    // For a second connection that copies the whole data (backup, restore) beside the windows'
    // store: its opens and closes write nothing of their own (the kept figures stay with the
    // windows' store), so a copy that reads never takes the write lock.
    void copyOnly() { m_copyOnly = true; }
    void open();
    void close();
    bool isOpen() const;

    // A bare table name lists the whole table in insertion order; anything else is a query.
    // Every piece of operator text goes in params, bound to the "?" marks of the query.
    RecordSet select(const QString& source, const QVariantList& params = {});
    // A query whose first column is the row key (rowid) of the record each row shows: that
    // column becomes the rows' hidden keys, the other columns are the fields.
    RecordSet selectKeyed(const QString& sql, const QVariantList& params = {});
    // Steps a query whose first column is a row key, handing each key to visit until it
    // returns false; nothing else is read, so walking the keys of a long table stays quick.
    void scanKeys(const QString& sql, const QVariantList& params,
                  const std::function<bool(qint64)>& visit);
    // A record set for appending to a table without listing it: no rows are read, and
    // recordCount() counts the table's rows (plus the rows appended through this set).
    RecordSet appendTo(const QString& table);
    // The kept row count and sum of 总金额 of 进货表, 销售表 or 客户表 (see kept_figures.h);
    // nothing when this store cannot keep them (a read-only file, a server account that may
    // not create triggers): the caller then counts and sums itself.
    std::optional<kept_figures::Figures> keptFigures(const QString& table);

    // Deletes every record of one of the six tables, inside the caller's transaction if there
    // is one. A table with kept figures is emptied at once and its figures set, instead of
    // through the delete trigger row by row (ten times slower on a long table).
    void emptyTable(const QString& table);

    // Runs a statement that returns no rows (delete, update).
    void execute(const QString& sql, const QVariantList& params = {});
    // Runs one such statement once for each list of values, prepared once (a long import);
    // call it inside a transaction.
    void executeEach(const QString& sql, const std::vector<QVariantList>& rows);
    // Runs work as one transaction: all of it is written, or none. Transactions that write
    // run one at a time, whichever desk started them, so a count taken inside one still
    // holds when the row it numbers is written.
    void transaction(const std::function<void()>& work);

    // Hands each row of a query to visit: the first column as UTF-8 text (nullptr for null)
    // and the second as a number (0 when null or absent). For listings too long to hold.
    using RowVisitor = std::function<void(const char* text, int length, double number)>;
    void scan(const QString& sql, const RowVisitor& visit);
    // One column of a scanned row: a number the file stores as one (turning it into text
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
    void scanCells(const QString& sql, const QVariantList& params, const CellRowVisitor& visit);

    // Deletes the record with this key from table, but only while its stored values still
    // read as a grid row shows them (column name, shown text). Otherwise nothing is deleted
    // and a StoreError says the record has changed: another program changed the file.
    void deleteShownRecord(const QString& table, qint64 key,
                           const QList<std::pair<QString, QString>>& shown);
    static QString recordChangedText() { return QStringLiteral("记录已经改变，请重新查询。"); }

    // Throws StoreError unless the file at path is a readable database of this program.
    static void checkDatabaseFile(const QString& path);
    // Throws StoreError unless the connection holds the six tables, each with at least this
    // program's columns (by name, in any order). Opening and restoring both use it.
    static void validateTables(sqlite3* db, const QString& path);
    // Writes the six empty tables and their indexes into a new, empty database.
    static void writeSchema(sqlite3* db);
    // A connection with this program's text rules; throws StoreError with a clear reason.
    static sqlite3* openConnection(const QString& path, int flags);

    // How long a statement waits for another program to let go of the file.
    static constexpr int kBusyWaitMs = 3000;

    // The SQLite connection; a StoreError on a server.
    sqlite3* handle();

private:
    friend class RecordSet;
    // The server side of the calls above (data_store_server.cpp).
    void openServer();
    void createOnServer();
    void fillFromServer(RecordSet& set, const QString& sql);
    qint64 insertOnServer(const QString& sql, const QVariantList& values);
    void serverTransaction(const std::function<void()>& work);
    void scanServer(const QString& sql, const RowVisitor& visit);
    void scanServerCells(const QString& sql, const QVariantList& params,
                         const CellRowVisitor& visit);
    void scanServerKeys(const QString& sql, const QVariantList& params,
                        const std::function<bool(qint64)>& visit);

    // Creates the triggers of the kept figures and recounts what cannot be trusted.
    void prepareFigures();
    void prepareServerFigures();
    // Marks the figures of a file this program closes as true at that moment.
    void markFiguresClosed();

    void ensureOpen();
    void fill(RecordSet& set);
    void insert(RecordSet& set, int row);
    void remove(RecordSet& set, qint64 key);
    static int waitWhileBusy(void* store, int attempt);

    QString m_folder;
    QString m_serverAddress;
    std::unique_ptr<ServerConnection> m_server;
    sqlite3* m_db = nullptr;
    bool m_figuresKept = false;
    bool m_copyOnly = false;
    bool m_waiting = false; // inside the busy wait, where events are handled
    QElapsedTimer m_waitClock;
};

} // namespace khgl

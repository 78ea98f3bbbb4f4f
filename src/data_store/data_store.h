#pragma once

#include "data_store/record_set.h"

#include <QString>
#include <QVariantList>
#include <functional>

struct sqlite3;

namespace khgl {

// The database file khgl.dll in the application folder and the one connection to it.
// Store failures are StoreError exceptions whose message is meant for the operator.
class DataStore final
{
public:
    explicit DataStore(QString folder);
    ~DataStore();
    DataStore(const DataStore&) = delete;
    DataStore& operator=(const DataStore&) = delete;

    static QString fileName() { return QStringLiteral("khgl.dll"); }
    // The folder joined with the file name, adding no second "/" to a folder that ends in one.
    static QString databasePath(const QString& folder);
    QString folder() const { return m_folder; }
    QString filePath() const { return databasePath(m_folder); }

    bool fileExists() const;
    // Writes a new file (mode 0600) holding the six empty tables; fails if one is there.
    void create();
    void open();
    void close();
    bool isOpen() const { return m_db != nullptr; }

    // A bare table name lists the whole table in insertion order; anything else is a query.
    // Every piece of operator text goes in params, bound to the "?" marks of the query.
    RecordSet select(const QString& source, const QVariantList& params = {});
    // A query whose first column is the row key (rowid) of the record each row shows: that
    // column becomes the rows' hidden keys, the other columns are the fields.
    RecordSet selectKeyed(const QString& sql, const QVariantList& params = {});
    // A record set for appending to a table without listing it: no rows are read, and
    // recordCount() counts the table's rows (plus the rows appended through this set).
    RecordSet appendTo(const QString& table);
    // Runs a statement that returns no rows (delete, update).
    void execute(const QString& sql, const QVariantList& params = {});
    // Runs work as one transaction: all of it is written, or none.
    void transaction(const std::function<void()>& work);

    // Throws StoreError unless the file at path is a readable database of this program.
    static void checkDatabaseFile(const QString& path);

    sqlite3* handle();

private:
    friend class RecordSet;
    void ensureOpen();
    void fill(RecordSet& set);
    void insert(RecordSet& set, int row);
    void remove(RecordSet& set, qint64 key);

    QString m_folder;
    sqlite3* m_db = nullptr;
};

} // namespace khgl

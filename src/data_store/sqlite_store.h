#pragma once

#include "data_store/data_store.h"

#include <QElapsedTimer>

struct sqlite3;

namespace khgl {

// The database file khgl.dll in the data folder and the one connection to it. Only the store
// layer (and tests and benchmarks of it) sees this header.
class SqliteStore final : public DataStore
{
public:
    explicit SqliteStore(QString folder);
    ~SqliteStore() override;

    QString location() const override { return filePath(); }
    bool fileExists() const override;
    QStringList create() override;
    void open() override;
    void close() override;
    bool isOpen() const override;
    void scanKeys(const QString& sql, const QVariantList& params,
                  const std::function<bool(qint64)>& visit) override;
    bool streamsRows() const override { return true; }
    bool sharedByDesks() const override { return false; }
    // A table with kept figures is emptied at once and its figures set, instead of through the
    // delete trigger row by row (ten times slower on a long table).
    void emptyTable(const QString& table) override;
    void execute(const QString& sql, const QVariantList& params = {}) override;
    void executeEach(const QString& sql, const std::vector<QVariantList>& rows) override;
    void transaction(const std::function<void()>& work) override;
    void scan(const QString& sql, const RowVisitor& visit) override;
    void scanCells(const QString& sql, const QVariantList& params,
                   const CellRowVisitor& visit) override;
    void writeSnapshot(const QString& target, const Progress& progress) override;
    void replaceWith(const QString& clean, const std::function<void()>& beforeSwap) override;

    // The connection, opened if needed.
    sqlite3* handle();

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

protected:
    void ensureOpen() override;
    QString dialect(const QString& sql) const override;
    RecordSet fetch(const QString& sql, const QVariantList& params, bool keyed) override;
    qint64 insertStatement(const QString& sql, const QVariantList& values) override;

private:
    void openFile();
    // Creates the triggers of the kept figures and recounts what cannot be trusted.
    void prepareFigures();
    // Marks the figures of a file this program closes as true at that moment.
    void markFiguresClosed();
    static int waitWhileBusy(void* store, int attempt);

    sqlite3* m_db = nullptr;
    // The connection's data version once the figures were counted: another connection's
    // commit moves it on, and its rows may have missed the triggers.
    qint64 m_figuresVersion = -1;
    QElapsedTimer m_waitClock;
};

namespace database_file {
// The file engine's halves of snapshot and swapIn (database_file.h).
void fileSnapshot(SqliteStore& store, const QString& target, const DataStore::Progress& progress);
void fileSwapIn(SqliteStore& store, const QString& clean, const std::function<void()>& beforeSwap);
} // namespace database_file

} // namespace khgl

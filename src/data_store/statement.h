#pragma once

#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace khgl {

// One prepared statement with bound parameters; finalized when it goes out of scope.
class Statement final
{
public:
    Statement(sqlite3* db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value); // 1-based, as SQLite counts
    void bindAll(const QVariantList& values);
    // Steps once: true while a row is ready, false when done. Throws StoreError on failure.
    bool step();
    void run(); // steps to the end, for statements that return nothing

    int columnCount() const;
    QString columnName(int column) const;
    QVariant value(int column) const;
    sqlite3_stmt* handle() const { return m_stmt; }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// A connection of its own (a copy, a source being checked), closed when it goes out of scope.
struct Connection final
{
    explicit Connection(sqlite3* handle) : db(handle) {}
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* db;
};

// The operator-facing message for SQLite's last error on this connection.
QString storeMessage(sqlite3* db, const QString& what);
// Throws that message as a StoreError carrying SQLite's result code.
[[noreturn]] void throwStoreError(sqlite3* db, const QString& what);

} // namespace khgl

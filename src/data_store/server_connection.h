#pragma once

#include <QString>
#include <QVariantList>
#include <memory>

struct pg_conn;
struct pg_result;

namespace khgl {

// The rows one statement returned from the database server.
class ServerResult final
{
public:
    explicit ServerResult(pg_result* result);
    int rows() const;
    int columns() const;
    QString columnName(int column) const;
    bool isNull(int row, int column) const;
    // The value as the server wrote it, UTF-8.
    const char* text(int row, int column, int* length) const;
    bool isInteger(int column) const; // whole-number column types
    bool isNumeric(int column) const; // numeric and floating types
    // Integers as qlonglong, numbers with a fraction as double, other values as text.
    QVariant value(int row, int column) const;

private:
    struct Free
    {
        void operator()(pg_result* result) const;
    };
    std::unique_ptr<pg_result, Free> m_result;
};

// One libpq connection to a PostgreSQL server. The connection text is a libpq URI or
// key=value list; passwords come from ~/.pgpass or PGPASSWORD, never from the program.
// A connection that breaks is closed; the next statement connects again.
class ServerConnection final
{
public:
    explicit ServerConnection(QString conninfo);
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    void open();
    void close();
    bool isOpen() const { return m_conn != nullptr; }
    // The server and database named for the operator (no password).
    QString displayName() const;
    QString conninfo() const { return m_conninfo; }

    // Runs one statement in the server's own dialect with $n parameters.
    ServerResult run(const QString& sql, const QVariantList& params = {});
    bool inTransaction() const;
    // The libpq connection, opened if need be, for what run() cannot do (COPY).
    pg_conn* handle()
    {
        open();
        return m_conn;
    }

    // The connection text with another database name.
    static QString withDatabase(const QString& conninfo, const QString& database);
    // True for a libpq URI or key=value connection text rather than a folder.
    static bool isServerAddress(const QString& text);

private:
    [[noreturn]] void fail(pg_result* result, const QString& sql);

    QString m_conninfo;
    pg_conn* m_conn = nullptr;
};

} // namespace khgl

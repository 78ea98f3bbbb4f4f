#pragma once

#include <QString>
#include <QVariantList>
#include <functional>
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
// Nothing waits without end: connecting, a dead peer, another desk's lock and a desk that
// stops inside a transaction all have time limits. To a host that is not this computer the
// connection is encrypted unless this desk (its data folder) agreed to clear text.
class ServerConnection final
{
public:
    // deskFolder: where this desk keeps its answer about clear text; empty on the command
    // line, where a clear-text sslmode written in the address is the answer.
    explicit ServerConnection(QString conninfo, QString deskFolder = {});
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    void open();
    void close();
    bool isOpen() const { return m_conn != nullptr; }
    // The server and database named for the operator (no password).
    QString displayName() const { return displayNameOf(m_conninfo); }
    static QString displayNameOf(const QString& conninfo);
    QString conninfo() const { return m_conninfo; }

    // Runs one statement in the server's own dialect with $n parameters.
    ServerResult run(const QString& sql, const QVariantList& params = {});
    bool inTransaction() const;
    // Creates the small table of commit marks where the account may; without it commit()
    // cannot find out the outcome of a commit whose reply was lost.
    void prepareCommitCheck();
    // The same where the table is known to be there and writable.
    void useCommitCheck() { m_commitCheck = true; }
    // Commits the open transaction. When the connection breaks during the commit it connects
    // again and looks for the transaction's mark: returns normally when the server did
    // commit, and throws a StoreError saying nothing was written when it did not.
    void commit();

    // Makes the database end any session idle inside a transaction after kIdleInTransaction
    // seconds, whoever connects (a desk of an older version, psql). Returns a line for the
    // administrator: done, or why not.
    QString limitIdleTransactions();

    // The server as this desk names it in its answers (host and port, no database).
    static QString serverKey(const QString& conninfo);
    // The desk's answer to the question whether this server may be reached without TLS.
    static void allowClearText(const QString& deskFolder, const QString& conninfo, bool allowed);
    // The libpq connection, opened if need be, for what run() cannot do (COPY).
    pg_conn* handle()
    {
        open();
        return m_conn;
    }

    // True for a statement that changes rows (insert, update, delete).
    static bool isWrite(const QString& sql);

    // For a COPY driven through handle(): waits until the connection can be read (or
    // written, with sending), by the rule of every statement: after a silent spell a fresh
    // connection asks whether the server lives, and a server that does not answer it is
    // given up on (connection closed, StoreError thrown; the message says nothing was
    // written where nothingWritten). Returns at once on a broken connection: the next libpq
    // call tells.
    void awaitTraffic(bool sending, bool nothingWritten);

    // The connection text with another database name.
    static QString withDatabase(const QString& conninfo, const QString& database);
    // True for a libpq URI or key=value connection text rather than a folder.
    static bool isServerAddress(const QString& text);

    // Session limits (seconds).
    static constexpr int kConnectTimeout = 7;         // per address tried
    static constexpr int kLockTimeout = 10;           // waiting for another desk's write
    static constexpr int kIdleInTransaction = 30;     // a desk stopped inside a transaction
    static constexpr int kStatementTimeout = 30 * 60; // one statement of a long load
    static constexpr int kQuietBeforeProbe = 15;      // a reply silent this long: server alive?
    static constexpr int kProbeTimeout = 3;           // the short connection that asks
    // Shortens kQuietBeforeProbe (tests).
    static void setQuietBeforeProbe(int milliseconds);

private:
    [[noreturn]] void fail(pg_result* result, const QString& sql);
    ServerResult runPlain(const QString& sql, const QVariantList& params = {});
    bool requireTls() const;
    bool markArrived(const QString& mark, int oldBackend);
    pg_conn* connectNew(int timeoutSeconds) const;
    pg_result* exchange(const QString& sql, const std::function<int()>& send);
    bool awaitReply();
    bool serverAnswers() const;
    [[noreturn]] void giveUp(bool nothingWritten);

    QString m_conninfo;
    QString m_deskFolder;
    pg_conn* m_conn = nullptr;
    bool m_commitCheck = false;
    bool m_everConnected = false;
    bool m_tls = false; // the connection insists on TLS
};

} // namespace khgl

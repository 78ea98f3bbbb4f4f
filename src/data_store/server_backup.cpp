#include "data_store/server_backup.h"

#include "data_store/data_store.h"
#include "data_store/kept_figures.h"
#include "data_store/schema.h"
#include "data_store/server_connection.h"
#include "data_store/server_transfer.h"
#include "data_store/sqlite_store.h"
#include "data_store/statement.h"
#include "data_store/store_error.h"
#include "data_store/store_log.h"
#include "data_store/values.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>
#include <charconv>
#include <cstring>
#include <vector>

namespace khgl::server_backup {
namespace {

// Rows a restore hands to the server in one piece.
constexpr qsizetype kCopyChunk = 1 << 20;

// A table copied whole: its columns, and whether the row keys go with them.
struct Copied
{
    QString name;
    QString columns; // "a, b, c"
    bool keyed = true;
    // Per column copied (the key first): a number column of the file, where a whole number
    // is stored as an integer whether it comes as text or as a number.
    std::vector<bool> numbers;
};

std::vector<Copied> copiedTables()
{
    std::vector<Copied> tables;
    for (const auto& table : allTables()) {
        const QString name = QString::fromUtf16(table.name);
        std::vector<bool> numbers{true};
        for (const ColumnDef& column : table.columns) {
            numbers.push_back(column.kind == ColumnKind::Number ||
                              column.kind == ColumnKind::Money ||
                              column.kind == ColumnKind::Integer);
        }
        tables.push_back({name, columnNames(name).join(QStringLiteral(", ")), true, numbers});
    }
    for (const auto& table : ownTables()) {
        tables.push_back(
            {QString::fromUtf16(table.name), QString::fromUtf16(table.columns), false, {}});
    }
    return tables;
}

int columnCount(const Copied& table)
{
    return static_cast<int>(table.columns.count(QLatin1Char(','))) + 1 + (table.keyed ? 1 : 0);
}

QString selectedColumns(const Copied& table)
{
    return (table.keyed ? QStringLiteral("rowid, ") : QString()) + table.columns;
}

QVariantList writeLockKey()
{
    return {static_cast<qlonglong>(kApplicationId)};
}

bool hasTable(ServerConnection& server, const QString& name)
{
    return !server.run(QStringLiteral("select to_regclass($1)::text"), {name}).isNull(0, 0);
}

// The program's own records of work that concerns every desk; false where an account that may
// not create tables finds none (a desk then does without them, as before they existed).
bool ensureWorkTables(ServerConnection& server)
{
    try {
        server.run(QStringLiteral("create table if not exists 进行中的工作 (工作 text primary key, "
                                  "电脑 text not null, 开始 timestamptz not null, "
                                  "会话 integer not null)"));
        server.run(QStringLiteral("create table if not exists 每日备份记录 (日期 date primary key, "
                                  "电脑 text not null, 开始 timestamptz not null, "
                                  "会话 integer not null, 完成 timestamptz)"));
        return true;
    } catch (const StoreError& error) {
        qCInfo(storeLog).noquote() << "no table for the shop's work notices:" << error.message();
        return hasTable(server, QStringLiteral("每日备份记录"));
    }
}

QString desk()
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("?") : name;
}

QDateTime fromEpoch(const QVariant& seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds.toLongLong());
}

[[noreturn]] void failCopy(pg_conn* conn, const QString& table, QString reason = {})
{
    if (reason.isEmpty()) {
        reason = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    }
    qCInfo(storeLog).noquote() << "copy of" << table << "failed:" << reason;
    throw StoreError(QStringLiteral("复制%1时数据库服务器出错：%2").arg(table, reason),
                     PQstatus(conn) == CONNECTION_OK ? 0 : kServerUnreachable);
}

// One COPY on the server's connection, driven without blocking: every wait follows the
// connection's rule, so a server or network that stops answering in the middle ends the
// copy with an error instead of holding the desk forever. Nothing a COPY does here outlives
// its transaction, so a connection given up on has written nothing.
class CopyStream final
{
public:
    CopyStream(ServerConnection& server, QString table)
        : m_server(server), m_conn(server.handle()), m_table(std::move(table))
    {
        PQsetnonblocking(m_conn, 1);
    }
    ~CopyStream()
    {
        if (m_server.isOpen()) {
            PQsetnonblocking(m_conn, 0);
        }
    }
    CopyStream(const CopyStream&) = delete;
    CopyStream& operator=(const CopyStream&) = delete;

    // False once the connection was given up on (and closed).
    bool isOpen() const { return m_server.isOpen(); }

    void start(const QString& sql, ExecStatusType expected)
    {
        if (PQsendQuery(m_conn, sql.toUtf8().constData()) != 1) {
            failCopy(m_conn, m_table);
        }
        flush();
        QString reason;
        if (nextResult(&reason) != expected) {
            while (nextResult() != PGRES_EMPTY_QUERY) {
            }
            failCopy(m_conn, m_table, reason);
        }
    }

    // The next row of a COPY out, to be freed with PQfreemem; -1 after the last.
    int row(char** line)
    {
        for (;;) {
            const int length = PQgetCopyData(m_conn, line, 1);
            if (length == -2) {
                failCopy(m_conn, m_table);
            }
            if (length != 0) {
                return length;
            }
            await(false);
        }
    }

    // Sends data. What the server has not taken yet goes on while the caller makes the next
    // piece, and is waited for before that one is sent: one piece at most waits in memory.
    void put(const char* data, int length)
    {
        flush();
        int sent = 0;
        while ((sent = PQputCopyData(m_conn, data, length)) == 0) {
            await(true);
        }
        if (sent < 0 || PQflush(m_conn) < 0) {
            failCopy(m_conn, m_table);
        }
    }

    // Ends a COPY in: with error, the server refuses what was sent.
    void end(const char* error)
    {
        int sent = 0;
        while ((sent = PQputCopyEnd(m_conn, error)) == 0) {
            await(true);
        }
        if (sent < 0) {
            failCopy(m_conn, m_table);
        }
        flush();
    }

    // Waits for the end of the COPY and throws unless it succeeded.
    void finish()
    {
        bool ok = true;
        QString reason;
        for (ExecStatusType status; (status = nextResult(&reason)) != PGRES_EMPTY_QUERY;) {
            ok = ok && status == PGRES_COMMAND_OK;
        }
        if (!ok) {
            failCopy(m_conn, m_table, reason);
        }
    }

private:
    void await(bool sending)
    {
        m_server.awaitTraffic(sending, true);
        if (PQconsumeInput(m_conn) == 0 || (sending && PQflush(m_conn) < 0)) {
            failCopy(m_conn, m_table);
        }
    }

    void flush()
    {
        for (int unsent; (unsent = PQflush(m_conn)) != 0;) {
            if (unsent < 0) {
                failCopy(m_conn, m_table);
            }
            await(true);
        }
    }

    // The status of the statement's next result, PGRES_EMPTY_QUERY when there is none; an
    // error's message goes to reason.
    ExecStatusType nextResult(QString* reason = nullptr)
    {
        while (PQisBusy(m_conn) != 0) {
            await(false);
        }
        PGresult* result = PQgetResult(m_conn);
        if (result == nullptr) {
            return PGRES_EMPTY_QUERY;
        }
        const ExecStatusType status = PQresultStatus(result);
        if (reason != nullptr && PQresultErrorMessage(result)[0] != '\0') {
            *reason = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
        }
        PQclear(result);
        return status == PGRES_EMPTY_QUERY ? PGRES_FATAL_ERROR : status;
    }

    ServerConnection& m_server;
    pg_conn* m_conn;
    QString m_table;
};

// --- the backup: COPY out of one snapshot into the SQLite file ---

// The text a field of COPY's text format stands for, its escapes undone.
QByteArray unescaped(const char* field, int length)
{
    QByteArray plain;
    plain.reserve(length);
    for (int i = 0; i < length; ++i) {
        char c = field[i];
        if (c == '\\' && i + 1 < length) {
            c = field[++i];
            switch (c) {
            case 't':
                c = '\t';
                break;
            case 'n':
                c = '\n';
                break;
            case 'r':
                c = '\r';
                break;
            case 'b':
                c = '\b';
                break;
            case 'f':
                c = '\f';
                break;
            case 'v':
                c = '\v';
                break;
            default:
                break; // "\\" and any other character stand for themselves
            }
        }
        plain += c;
    }
    return plain;
}

// Rows written by one statement of a backup: a statement run per row costs the file more
// than the row itself (a cursor opened, the table searched from its root, the run ended).
constexpr int kBatchRows = 64;

// Writes the rows of COPY's text format (fields apart by tabs, ending in a newline) into a
// table of the file, kBatchRows rows to a statement.
class RowWriter final
{
public:
    RowWriter(sqlite3* file, const Copied& table)
        : m_columns(columnCount(table)), m_numbers(table.numbers),
          m_batch(file, insertSql(table, kBatchRows)), m_single(file, insertSql(table, 1)),
          m_scratch(static_cast<size_t>(m_columns) * kBatchRows)
    {
        m_numbers.resize(static_cast<size_t>(m_columns), false);
        m_lines.reserve(kBatchRows);
        m_lengths.reserve(kBatchRows);
    }
    ~RowWriter() { release(); }
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // Takes line (PQfreemem'd here), written by the time flush() returns.
    void add(char* line, int length)
    {
        m_lines.push_back(line);
        m_lengths.push_back(length);
        bindRow(m_batch.handle(), static_cast<int>(m_lines.size()) - 1, line, length);
        if (m_lines.size() == kBatchRows) {
            step(m_batch.handle());
            release();
        }
    }

    // Writes the rows of a last batch that is not full.
    void flush()
    {
        for (size_t i = 0; i < m_lines.size(); ++i) {
            bindRow(m_single.handle(), 0, m_lines[i], m_lengths[i]);
            step(m_single.handle());
        }
        release();
    }

private:
    static QString insertSql(const Copied& table, int rows)
    {
        QStringList marks;
        marks.fill(QStringLiteral("?"), columnCount(table));
        QStringList values;
        values.fill(QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')'), rows);
        return QStringLiteral("insert into %1 (%2) values %3")
            .arg(table.name, selectedColumns(table), values.join(QLatin1Char(',')));
    }

    void bindRow(sqlite3_stmt* insert, int row, const char* line, int length)
    {
        if (length > 0 && line[length - 1] == '\n') {
            --length;
        }
        const char* end = line + length;
        const char* field = line;
        for (int column = 0; column < m_columns; ++column) {
            const auto* tab = static_cast<const char*>(
                std::memchr(field, '\t', static_cast<size_t>(end - field)));
            if ((tab == nullptr) != (column == m_columns - 1)) {
                throw StoreError(QStringLiteral("数据库服务器送来的一行数据与表的列数不符。"));
            }
            const char* fieldEnd = tab == nullptr ? end : tab;
            const int index = row * m_columns + column;
            bindField(insert, index + 1, field, static_cast<int>(fieldEnd - field),
                      m_numbers[static_cast<size_t>(column)],
                      m_scratch[static_cast<size_t>(index)]);
            field = fieldEnd + 1;
        }
    }

    // Binds one field. Numbers go as text, which the file's number columns turn into numbers
    // as they do a typed value; only a plain whole number is bound as the integer it stands
    // for, the same value without the file's parsing. An escaped field is kept in scratch
    // until its row is written.
    static void bindField(sqlite3_stmt* insert, int index, const char* field, int length,
                          bool number, QByteArray& scratch)
    {
        if (length == 2 && field[0] == '\\' && field[1] == 'N') {
            sqlite3_bind_null(insert, index);
            return;
        }
        if (number && length > 0 && (field[0] != '0' || length == 1)) {
            qint64 value = 0;
            const auto [end, error] = std::from_chars(field, field + length, value);
            if (error == std::errc() && end == field + length && !(value == 0 && length > 1)) {
                sqlite3_bind_int64(insert, index, value);
                return;
            }
        }
        if (std::memchr(field, '\\', static_cast<size_t>(length)) != nullptr) {
            scratch = unescaped(field, length);
            field = scratch.constData();
            length = static_cast<int>(scratch.size());
        }
        sqlite3_bind_text(insert, index, field, length, SQLITE_STATIC);
    }

    static void step(sqlite3_stmt* insert)
    {
        if (sqlite3_step(insert) != SQLITE_DONE) {
            throwStoreError(sqlite3_db_handle(insert), QStringLiteral("写入备份文件"));
        }
        sqlite3_reset(insert);
    }

    void release()
    {
        for (char* line : m_lines) {
            PQfreemem(line);
        }
        m_lines.clear();
        m_lengths.clear();
    }

    int m_columns;
    std::vector<bool> m_numbers;
    Statement m_batch;
    Statement m_single;
    std::vector<QByteArray> m_scratch;
    std::vector<char*> m_lines;
    std::vector<int> m_lengths;
};

qint64 copyOut(ServerConnection& server, sqlite3* file, const Copied& table)
{
    RowWriter writer(file, table);
    CopyStream copy(server, table.name);
    // In the table's own order: the file keeps the keys whatever the order, and sorting a
    // million rows first would cost the server as much as the copy.
    copy.start(QStringLiteral("copy (select %1 from %2) to stdout")
                   .arg(selectedColumns(table), table.name),
               PGRES_COPY_OUT);
    qint64 rows = 0;
    char* line = nullptr;
    for (int length; (length = copy.row(&line)) >= 0; ++rows) {
        writer.add(line, length);
    }
    writer.flush();
    copy.finish();
    return rows;
}

qint64 countOnServer(ServerConnection& server, const QString& table)
{
    return server.run(QStringLiteral("select count(*) from ") + table).value(0, 0).toLongLong();
}

void requireCount(const QString& table, qint64 expected, qint64 found)
{
    if (expected != found) {
        throw StoreError(QStringLiteral("复制没有完成：%1应有%2条记录，写入的是%3条。")
                             .arg(table)
                             .arg(expected)
                             .arg(found));
    }
}

// The backup carries no indexes: a restore builds them in its clean copy, and opening the
// file as the data builds any that are missing. Building them here would double the backup.
void dropIndexes(sqlite3* file)
{
    QStringList names;
    Statement list(file, QStringLiteral("select name from sqlite_master where type='index' and "
                                        "sql is not null"));
    while (list.step()) {
        names << list.value(0).toString();
    }
    for (const QString& name : names) {
        Statement(file, QStringLiteral("drop index \"%1\"").arg(name)).run();
    }
}

void copyAllOut(ServerConnection& server, sqlite3* file)
{
    for (const Copied& table : copiedTables()) {
        const qint64 rows = copyOut(server, file, table);
        // Counted in the same snapshot: every row of that moment is in the file.
        requireCount(table.name, countOnServer(server, table.name), rows);
    }
}

// --- the restore: COPY from the checked file into the server ---

template <typename Number> void appendNumber(QByteArray& out, Number value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end - text);
}

// Appends one value of a file row in COPY's text format.
void appendCopyValue(QByteArray& out, sqlite3_stmt* row, int column)
{
    switch (sqlite3_column_type(row, column)) {
    case SQLITE_NULL:
        out += "\\N";
        return;
    case SQLITE_INTEGER:
        appendNumber(out, sqlite3_column_int64(row, column));
        return;
    case SQLITE_FLOAT:
        // The shortest text that reads back as the same double.
        appendNumber(out, sqlite3_column_double(row, column));
        return;
    default:
        break;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    const int length = sqlite3_column_bytes(row, column);
    int plain = 0;
    for (int i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '\0') {
            throw StoreError(nulRefusedText());
        }
        const char* escape = c == '\\'   ? "\\\\"
                             : c == '\t' ? "\\t"
                             : c == '\n' ? "\\n"
                             : c == '\r' ? "\\r"
                                         : nullptr;
        if (escape != nullptr) {
            out.append(text + plain, i - plain).append(escape);
            plain = i + 1;
        }
    }
    out.append(text + plain, length - plain);
}

qint64 copyIn(ServerConnection& server, sqlite3* file, const Copied& table)
{
    Statement rows(
        file,
        QStringLiteral("select %1 from %2 order by rowid").arg(selectedColumns(table), table.name));
    CopyStream copy(server, table.name);
    copy.start(QStringLiteral("copy %1 (%2) from stdin").arg(table.name, selectedColumns(table)),
               PGRES_COPY_IN);
    const int columns = rows.columnCount();
    QByteArray chunk;
    chunk.reserve(kCopyChunk + 4096);
    const auto put = [&] {
        copy.put(chunk.constData(), static_cast<int>(chunk.size()));
        chunk.clear();
    };
    qint64 count = 0;
    try {
        while (rows.step()) {
            for (int c = 0; c < columns; ++c) {
                if (c > 0) {
                    chunk += '\t';
                }
                appendCopyValue(chunk, rows.handle(), c);
            }
            chunk += '\n';
            ++count;
            if (chunk.size() >= kCopyChunk) {
                put();
            }
        }
        if (!chunk.isEmpty()) {
            put();
        }
    } catch (...) {
        // The server ends the COPY with an error, so the connection can roll back; a
        // connection given up on has gone with its transaction.
        if (copy.isOpen()) {
            try {
                copy.end("the restore stopped");
                copy.finish();
            } catch (const StoreError&) {
                // The caller's error is the one to report.
            }
        }
        throw;
    }
    copy.end(nullptr);
    copy.finish();
    return count;
}

bool fileHasTable(sqlite3* db, const QString& name)
{
    Statement find(db, QStringLiteral("select count(*) from sqlite_master where type='table' "
                                      "and name=?"));
    find.bind(1, name);
    return find.step() && find.value(0).toInt() == 1;
}

qint64 loadTable(ServerConnection& server, sqlite3* file, const Copied& table)
{
    server.run(QStringLiteral("delete from ") + table.name);
    if (!table.keyed && !fileHasTable(file, table.name)) {
        return 0; // a backup from before the program kept this table
    }
    const qint64 rows = copyIn(server, file, table);
    if (table.keyed) {
        // New rows are numbered after the ones copied in.
        server.run(QStringLiteral("select setval(pg_get_serial_sequence('%1', 'rowid'), "
                                  "coalesce(max(rowid), 0) + 1, false) from %1")
                       .arg(table.name));
    }
    requireCount(table.name, rows, countOnServer(server, table.name));
    return rows;
}

} // namespace

qint64 loadAll(ServerConnection& server, sqlite3* file)
{
    // The figures' triggers stand aside (a row trigger per row of a million is minutes);
    // the figures are counted once at the end instead.
    server.run(QStringLiteral("set local khgl.bulk = 'on'"));
    qint64 rows = 0;
    for (const Copied& table : copiedTables()) {
        rows += loadTable(server, file, table);
    }
    if (hasTable(server, QStringLiteral("表合计"))) {
        for (const char16_t* name : kept_figures::tables()) {
            for (const QString& sql : kept_figures::serverRecount(QString::fromUtf16(name))) {
                server.run(sql);
            }
        }
    }
    return rows;
}

namespace {

void rollbackQuietly(ServerConnection& server)
{
    try {
        if (server.isOpen() && server.inTransaction()) {
            server.run(QStringLiteral("rollback"));
        }
    } catch (const StoreError&) {
        // The connection went with the transaction: the server has dropped both.
    }
}

// Tells the other desks that this desk's restore is under way; false where it cannot.
bool announceRestore(ServerConnection& server)
{
    ensureWorkTables(server);
    try {
        server.run(QStringLiteral("insert into 进行中的工作 (工作, 电脑, 开始, 会话) values "
                                  "('还原', $1, now(), pg_backend_pid()) on conflict (工作) do "
                                  "update set 电脑 = excluded.电脑, 开始 = excluded.开始, "
                                  "会话 = excluded.会话"),
                   {desk()});
        return true;
    } catch (const StoreError& error) {
        qCInfo(storeLog).noquote() << "restore not announced:" << error.message();
        return false;
    }
}

void withdrawRestore(ServerConnection& server)
{
    try {
        server.run(QStringLiteral("delete from 进行中的工作 where 工作 = '还原' and "
                                  "会话 = pg_backend_pid()"));
    } catch (const StoreError&) {
        // Gone with the connection: a notice whose session has ended counts for nothing.
    }
}

// True for a row whose session (会话, started before 开始) is still connected: a session that
// ended leaves its row behind, and a later one may get the same number. Another role's
// sessions show no start time: their number alone counts.
QString stillConnected()
{
    return QStringLiteral("exists (select 1 from pg_stat_activity a where a.pid = 会话 and "
                          "coalesce(a.backend_start <= 开始, true))");
}

// The message for a save that meets another desk's restore; empty when there is none.
QString restoreNotice(ServerConnection& server)
{
    if (!hasTable(server, QStringLiteral("进行中的工作"))) {
        return {};
    }
    const ServerResult running =
        server.run(QStringLiteral("select 电脑, extract(epoch from 开始)::bigint from 进行中的工作 "
                                  "where 工作 = '还原' and ") +
                   stillConnected());
    if (running.rows() == 0) {
        return {};
    }
    return QStringLiteral("电脑“%1”正在还原本店的数据（%2开始），还原完成前不能保存。刚才的"
                          "操作没有写入数据，请等还原完成后再试。")
        .arg(running.value(0, 0).toString(),
             fromEpoch(running.value(0, 1)).toString(QStringLiteral("HH:mm")));
}

// --- the daily backup, once per shop ---

bool claimDay(ServerConnection& server, const QString& day)
{
    if (server
            .run(QStringLiteral("insert into 每日备份记录 (日期, 电脑, 开始, 会话) values "
                                "($1::date, $2, now(), pg_backend_pid()) on conflict (日期) "
                                "do nothing returning 1"),
                 {day, desk()})
            .rows() == 1) {
        return true;
    }
    // A desk that claimed the day and then died leaves it to the next one.
    return server
               .run(QStringLiteral("update 每日备份记录 set 电脑 = $2, 开始 = now(), "
                                   "会话 = pg_backend_pid() where 日期 = $1::date and 完成 is "
                                   "null and not ") +
                        stillConnected() + QStringLiteral(" returning 1"),
                    {day, desk()})
               .rows() == 1;
}

DayBackup dayTakenBy(ServerConnection& server, const QString& day)
{
    const ServerResult row =
        server.run(QStringLiteral("select 电脑, extract(epoch from coalesce(完成, 开始))::bigint, "
                                  "完成 is not null from 每日备份记录 where 日期 = $1::date"),
                   {day});
    if (row.rows() == 0) {
        return {};
    }
    return {row.value(0, 0).toString(), fromEpoch(row.value(0, 1)), row.value(0, 2).toBool()};
}

// Ends this desk's claim of the day; a claim it cannot end is left to the next desk.
void settleDay(ServerConnection& server, const QString& change, const QString& day)
{
    try {
        server.run(change + QStringLiteral(" where 日期 = $1::date and 会话 = pg_backend_pid()"),
                   {day});
    } catch (const StoreError& error) {
        qCInfo(storeLog).noquote() << "the day's backup record was not ended:" << error.message();
    }
}

} // namespace

void writeFile(DataStore& store, const QString& target)
{
    QElapsedTimer clock;
    clock.start();
    try {
        Connection file(
            SqliteStore::openConnection(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        // A failure throws the file away: it needs no journal. The commit syncs it.
        Statement(file.db, QStringLiteral("pragma journal_mode=OFF")).step();
        // Larger pages: fewer to fill and link while the rows go in (about 7 % of the time);
        // any program reading the file reads them alike.
        Statement(file.db, QStringLiteral("pragma page_size=16384")).run();
        Statement(file.db, QStringLiteral("pragma cache_size=-65536")).run();
        SqliteStore::writeSchema(file.db);
        dropIndexes(file.db);
        ServerConnection server(store.address().server, store.address().folder);
        // One snapshot, and no lock: saves at other desks go on and are not in this copy.
        server.run(QStringLiteral("begin isolation level repeatable read read only"));
        Statement(file.db, QStringLiteral("begin")).run();
        copyAllOut(server, file.db);
        server.run(QStringLiteral("commit"));
        Statement(file.db, QStringLiteral("commit")).run();
    } catch (...) {
        QFile::remove(target);
        throw;
    }
    qCInfo(storeLog) << "server snapshot written in" << clock.elapsed() << "ms";
}

void loadFile(DataStore& store, const QString& source, const std::function<void()>& beforeLoad)
{
    QElapsedTimer clock;
    clock.start();
    Connection file(SqliteStore::openConnection(source, SQLITE_OPEN_READONLY));
    ServerConnection server(store.address().server, store.address().folder);
    const bool announced = announceRestore(server);
    // The load commits as saves do: a reply lost on the way is looked up, never guessed.
    server.prepareCommitCheck();
    qint64 rows = 0;
    try {
        server.run(QStringLiteral("begin"));
        server.run(QStringLiteral("select pg_advisory_xact_lock($1)"), writeLockKey());
        if (beforeLoad) {
            // This session waits idle for the copy: a large shop's copy may outlast the
            // limit on desks stopped inside a transaction, so it gets a load's limit.
            server.run(QStringLiteral("set local idle_in_transaction_session_timeout = '%1s'")
                           .arg(ServerConnection::kStatementTimeout));
            beforeLoad();
            server.run(QStringLiteral("set local idle_in_transaction_session_timeout = '%1s'")
                           .arg(ServerConnection::kIdleInTransaction));
        }
        rows = loadAll(server, file.db);
        server_transfer::checkCopy(server, file.db);
        server.commit();
    } catch (...) {
        rollbackQuietly(server);
        // A connection given up on took its notice along; connecting again to withdraw it
        // would only wait on the same silent server.
        if (announced && server.isOpen()) {
            withdrawRestore(server);
        }
        qCInfo(storeLog) << "restore on the server failed after" << clock.elapsed() << "ms";
        throw;
    }
    if (announced) {
        withdrawRestore(server);
    }
    qCInfo(storeLog) << "restore loaded" << rows << "rows with COPY in" << clock.elapsed() << "ms";
}

void lockForWriting(ServerConnection& server)
{
    if (server.run(QStringLiteral("select pg_try_advisory_xact_lock($1)"), writeLockKey())
            .value(0, 0)
            .toLongLong() == 1) {
        return;
    }
    QString notice;
    // A notice that cannot be read (a role without the right) must not spoil the save.
    server.run(QStringLiteral("savepoint 还原通知"));
    try {
        notice = restoreNotice(server);
        server.run(QStringLiteral("release savepoint 还原通知"));
    } catch (const StoreError& error) {
        qCInfo(storeLog).noquote() << "the restore notice was not read:" << error.message();
        server.run(QStringLiteral("rollback to savepoint 还原通知"));
    }
    if (!notice.isEmpty()) {
        qCInfo(storeLog) << "a save met another desk's restore";
        throw StoreError(notice, kServerBusy);
    }
    server.run(QStringLiteral("select pg_advisory_xact_lock($1)"), writeLockKey());
}

std::optional<DayBackup> onceADay(DataStore& store, const QDate& day,
                                  const std::function<void()>& make)
{
    ServerConnection server(store.address().server, store.address().folder);
    if (!ensureWorkTables(server)) {
        make();
        return std::nullopt;
    }
    const QString date = day.toString(Qt::ISODate);
    if (!claimDay(server, date)) {
        qCInfo(storeLog) << "the shop's daily backup is another desk's";
        return dayTakenBy(server, date);
    }
    try {
        make();
    } catch (...) {
        settleDay(server, QStringLiteral("delete from 每日备份记录"), date);
        throw;
    }
    settleDay(server, QStringLiteral("update 每日备份记录 set 完成 = now()"), date);
    return std::nullopt;
}

QString madeElsewhereText(const DayBackup& made)
{
    const QString time = made.at.toString(QStringLiteral("HH:mm"));
    if (made.finished) {
        return QStringLiteral("本店今天的备份已由电脑“%1”在 %2 做好，这台电脑不再重复备份。")
            .arg(made.desk, time);
    }
    return QStringLiteral("本店今天的备份正由电脑“%1”制作（%2开始），这台电脑不再重复备份。")
        .arg(made.desk, time);
}

} // namespace khgl::server_backup

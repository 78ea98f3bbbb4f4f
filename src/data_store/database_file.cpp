#include "data_store/database_file.h"

#include "data_store/database_pages.h"
#include "data_store/failure_text.h"
#include "data_store/index_check.h"
#include "data_store/replaced_file.h"
#include "data_store/schema.h"
#include "data_store/sqlite_store.h"
#include "data_store/statement.h"
#include "data_store/store_error.h"
#include "data_store/values.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace khgl::database_file {
namespace {

// Pages copied between two progress reports.
constexpr int kPagesPerStep = 16;
// Rows a restore copies between two progress reports.
constexpr int kRowsPerStep = 2000;
// The most a value of this program takes: every text it lets through fits.
constexpr qsizetype kMaxCellBytes = kMaxStoredBytes;
// How many schema objects of the program's own a restore source may hold at most.
constexpr qint64 kSchemaFactor = 20;

QString quoted(const QString& path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
}

void runPlain(sqlite3* db, const QString& sql)
{
    Statement statement(db, sql);
    statement.run();
}

qint64 single(sqlite3* db, const QString& sql)
{
    Statement statement(db, sql);
    return statement.step() ? statement.value(0).toLongLong() : 0;
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

quint32 bigEndian(const uchar* at, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i) {
        value = (value << 8) | at[i];
    }
    return value;
}

// The rows of the file's schema table (with what its -wal committed), counted by walking its
// pages without the engine (which parses every object before it answers anything), up to a
// little beyond limit. A file that is no database or is damaged counts what was found: the
// engine's checks say the rest.
qint64 schemaRows(DatabasePages& pages, qint64 limit)
{
    std::vector<quint32> pending{1};
    qint64 rows = 0;
    for (qint64 visited = 0; !pending.empty() && rows <= limit && visited < pages.pageCount();
         ++visited) {
        const quint32 number = pending.back();
        pending.pop_back();
        const QByteArray page = pages.page(number);
        if (page.isEmpty()) {
            break;
        }
        const qint64 pageSize = page.size();
        const auto* bytes = reinterpret_cast<const uchar*>(page.constData());
        const int at = number == 1 ? 100 : 0;
        const quint32 cells = bigEndian(bytes + at + 3, 2);
        if (bytes[at] == 0x0d) { // a leaf: one row per cell
            rows += cells;
        } else if (bytes[at] == 0x05 && at + 12 + 2 * qint64(cells) <= pageSize) {
            pending.push_back(bigEndian(bytes + at + 8, 4));
            for (quint32 i = 0; i < cells; ++i) {
                const quint32 cell = bigEndian(bytes + at + 12 + 2 * i, 2);
                if (cell + 4 <= pageSize) {
                    pending.push_back(bigEndian(bytes + cell, 4));
                }
            }
        } else {
            break;
        }
    }
    return rows;
}

// The objects of a new file of this program (tables and indexes).
qint64 ownSchemaRows()
{
    static const qint64 rows = [] {
        Connection memory(SqliteStore::openConnection(QStringLiteral(":memory:"),
                                                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY));
        SqliteStore::writeSchema(memory.db);
        return single(memory.db, QStringLiteral("select count(*) from sqlite_master"));
    }();
    return rows;
}

// Before anything reads a source's schema: ten thousands of views would hold the restore for
// minutes while the engine parses them.
void requireModestSchema(DatabasePages& pages, const QString& source)
{
    const qint64 limit = kSchemaFactor * ownSchemaRows();
    if (schemaRows(pages, limit) > limit) {
        throw StoreError(QStringLiteral("%1中的数据库对象（表、视图等）超过 %2 个，远多于本系统"
                                        "的数据文件，不是本系统的备份。")
                             .arg(quoted(source))
                             .arg(limit));
    }
}

// A source left in the middle of a write (its -journal beside it) cannot be read as it was
// meant without changing it: the backup may be incomplete.
void requireNoHotJournal(sqlite3* db, const QString& source)
{
    sqlite3_stmt* probe = nullptr;
    int rc = sqlite3_prepare_v2(db, "select count(*) from sqlite_master", -1, &probe, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(probe);
    }
    sqlite3_finalize(probe);
    const int extended = sqlite3_extended_errcode(db);
    if (extended == SQLITE_READONLY_ROLLBACK || extended == SQLITE_READONLY_RECOVERY) {
        throw StoreError(
            QStringLiteral("%1旁边有未完成的写入留下的日志文件%2：这个文件是在写入"
                           "中途被复制或中断的，可能不完整。请换用其他备份。")
                .arg(quoted(source), quoted(source + (extended == SQLITE_READONLY_RECOVERY
                                                          ? QStringLiteral("-wal")
                                                          : QStringLiteral("-journal")))),
            SQLITE_READONLY);
    }
}

// A source as the engine is to read it, leaving nothing beside it that was not there: in
// write-ahead-log mode any reader adds a -shm (and a -wal). What its -wal committed is merged
// into a private copy named like scratch, removed afterwards (none without scratch: refused);
// with no such log the file is read as immutable. A file in rollback mode is read as it is,
// so a journal an interrupted write left hot beside it is still found.
class SourceFile final
{
public:
    SourceFile(const QString& source, DatabasePages& pages, const QString& scratch)
        : m_source(source)
    {
        QString file = source;
        QString query = QStringLiteral("mode=ro");
        if (pages.hasLoggedPages()) {
            if (scratch.isEmpty()) {
                throw StoreError(QStringLiteral("无法读取%1：它旁边的%2中还有没写入它的内容。")
                                     .arg(quoted(source), quoted(source + QStringLiteral("-wal"))));
            }
            m_copy = newTemporaryBeside(scratch);
            try {
                pages.writeMerged(m_copy);
            } catch (...) {
                QFile::remove(m_copy);
                throw;
            }
            file = m_copy;
        } else if (pages.logged()) {
            query += QStringLiteral("&immutable=1");
        }
        QUrl uri = QUrl::fromLocalFile(file);
        uri.setQuery(query);
        m_uri = QString::fromLatin1(uri.toEncoded());
    }
    ~SourceFile()
    {
        if (!m_copy.isEmpty()) {
            QFile::remove(m_copy);
        }
    }
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // For "attach database ?" on a connection that takes URIs.
    const QString& uri() const { return m_uri; }
    // A read-only connection to it; a failure names the source.
    sqlite3* open() const
    {
        try {
            return SqliteStore::openConnection(m_uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        } catch (const StoreError& error) {
            QString message = error.message();
            throw StoreError(message.replace(QDir::toNativeSeparators(m_uri),
                                             QDir::toNativeSeparators(m_source)),
                             error.code());
        }
    }

private:
    QString m_source;
    QString m_copy;
    QString m_uri;
};

// Hands each value through unchanged, refusing any text or blob beyond kMaxCellBytes and
// any text holding U+0000.
void boundedCell(sqlite3_context* context, int, sqlite3_value** values)
{
    const int type = sqlite3_value_type(values[0]);
    if ((type == SQLITE_TEXT || type == SQLITE_BLOB) &&
        sqlite3_value_bytes(values[0]) > kMaxCellBytes) {
        *static_cast<bool*>(sqlite3_user_data(context)) = true;
        sqlite3_result_error(context, "value too long", -1);
        return;
    }
    // A server cannot hold U+0000: neither store takes it in.
    if (type == SQLITE_TEXT && std::memchr(sqlite3_value_text(values[0]), 0,
                                           static_cast<size_t>(sqlite3_value_bytes(values[0])))) {
        sqlite3_result_error(context, "文字中有空字符（U+0000），不能还原", -1);
        return;
    }
    sqlite3_result_value(context, values[0]);
}

// Writes the file's data to the disk before it is renamed into place.
void syncFile(const QString& path)
{
    const int fd = ::open(encoded(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        throw StoreError(
            QStringLiteral("无法写入%1：%2").arg(quoted(path), fileFailureText(error, path)));
    }
    ::close(fd);
}

void syncFolder(const QString& folder)
{
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QString tooLongCellText(const QString& table)
{
    return QStringLiteral("“%1”中有一项内容超过 %2 MB，本系统的数据不会这样长，"
                          "这不是本系统的备份。")
        .arg(table)
        .arg(kMaxCellBytes / (1024 * 1024));
}

// Runs a copy whose values pass through khgl_cell, naming the table of a value too long.
void runCopy(Statement& copy, const QString& table, const bool& tooLong)
{
    try {
        copy.run();
    } catch (const StoreError&) {
        if (tooLong) {
            throw StoreError(tooLongCellText(table));
        }
        throw;
    }
}

// Copies one table's rows from the attached source in blocks of rows, by key.
void copyRows(sqlite3* db, const TableDef& table, bool& tooLong,
              const std::function<void(qint64 rows)>& copied)
{
    const QString name = QString::fromUtf16(table.name);
    QStringList columns;
    QStringList values;
    for (const auto& column : table.columns) {
        columns << QString::fromUtf16(column.name);
        values << QStringLiteral("khgl_cell(%1)").arg(QString::fromUtf16(column.name));
    }
    // Rows keep their keys, so listings keep their order.
    Statement insert(
        db, QStringLiteral("insert into main.%1 (rowid, %2) select rowid, %3 from "
                           "来源.%1 where rowid > ? order by rowid limit %4")
                .arg(name, columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")))
                .arg(kRowsPerStep));
    Statement last(db, QStringLiteral("select max(rowid) from main.%1").arg(name));
    qint64 after = std::numeric_limits<qint64>::min();
    for (;;) {
        sqlite3_reset(insert.handle());
        insert.bind(1, after);
        runCopy(insert, name, tooLong);
        const int rows = sqlite3_changes(db);
        if (rows == 0) {
            return;
        }
        sqlite3_reset(last.handle());
        last.step();
        after = last.value(0).toLongLong();
        copied(rows);
    }
}

// Throws unless the engine finds the file sound, naming what it found. The quick check walks
// every page and reads every row's record.
void requireSound(sqlite3* db, const QString& path)
{
    Statement check(db, QStringLiteral("pragma quick_check"));
    QStringList problems;
    while (check.step() && problems.size() < 3) {
        problems << check.value(0).toString();
    }
    if (problems != QStringList{QStringLiteral("ok")}) {
        throw StoreError(QStringLiteral("%1已损坏，请从备份还原（%2）。")
                             .arg(quoted(path), problems.join(QStringLiteral("; "))));
    }
}

std::vector<qint64> rowCounts(sqlite3* db)
{
    std::vector<qint64> counts;
    for (const auto& table : allTables()) {
        counts.push_back(
            single(db, QStringLiteral("select count(*) from ") + QString::fromUtf16(table.name)));
    }
    return counts;
}

// Copies every page of from into to, reporting bytes as it goes. Returns SQLite's code.
int copyPages(sqlite3* to, sqlite3* from, qint64 pageSize, const Progress& progress)
{
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (backup == nullptr) {
        return sqlite3_errcode(to);
    }
    int rc = SQLITE_OK;
    do {
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        if (progress && (rc == SQLITE_OK || rc == SQLITE_DONE)) {
            const int total = sqlite3_backup_pagecount(backup);
            progress(static_cast<qint64>(total - sqlite3_backup_remaining(backup)) * pageSize);
        }
    } while (rc == SQLITE_OK);
    const int finished = sqlite3_backup_finish(backup);
    return rc == SQLITE_DONE ? finished : rc;
}

} // namespace

void snapshot(DataStore& store, const QString& target, const Progress& progress)
{
    store.writeSnapshot(target, progress);
}

void fileSnapshot(SqliteStore& store, const QString& target, const Progress& progress)
{
    try {
        // Opening the store may fail too: the new file goes all the same.
        sqlite3* live = store.handle();
        Connection copy(SqliteStore::openConnection(target, SQLITE_OPEN_READWRITE));
        // One read transaction: the pages and the row counts come from the same moment, and
        // no other program can commit a write until the copy is done.
        runPlain(live, QStringLiteral("begin"));
        std::vector<qint64> counts;
        int rc = SQLITE_OK;
        try {
            counts = rowCounts(live);
            rc = copyPages(copy.db, live, single(live, QStringLiteral("pragma page_size")),
                           progress);
        } catch (...) {
            sqlite3_exec(live, "rollback", nullptr, nullptr, nullptr);
            throw;
        }
        sqlite3_exec(live, "rollback", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            throw StoreError(
                QStringLiteral("无法写入%1：%2").arg(quoted(target), engineFailureText(copy.db)),
                rc & 0xff);
        }
        // The copy is checked before it may replace anything: a damaged page of the live
        // file shows here instead of being copied silently.
        // The check reads every page of the copy just written: mapped, it skips a read call
        // and a copy per page (about a quarter of its time on a large file).
        runPlain(copy.db, QStringLiteral("pragma mmap_size=1073741824"));
        try {
            requireSound(copy.db, target);
        } catch (const StoreError&) {
            throw StoreError(QStringLiteral("数据文件%1有损坏的部分，备份时发现了它。请从之前"
                                            "的备份还原，或请人检查磁盘。")
                                 .arg(quoted(store.filePath())));
        }
        SqliteStore::validateTables(copy.db, target);
        if (rowCounts(copy.db) != counts) {
            throw StoreError(QStringLiteral("备份的行数与数据文件不符。"));
        }
    } catch (...) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
        throw;
    }
}

void cleanCopy(const QString& source, const QString& target, const Progress& progress)
{
    try {
        DatabasePages pages(source);
        requireModestSchema(pages, source);
        const SourceFile file(source, pages, target);
        qint64 total = 0;
        {
            Connection from(file.open());
            requireNoHotJournal(from.db, source);
            requireSound(from.db, source);
            SqliteStore::validateTables(from.db, source);
            requireIndexesMatchRows(from.db, source);
            for (const qint64 rows : rowCounts(from.db)) {
                total += rows;
            }
        }
        Connection copy(
            SqliteStore::openConnection(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI));
        // A failure throws the file away, so it needs no journal; it is synced before it is used.
        runPlain(copy.db, QStringLiteral("pragma journal_mode=OFF"));
        runPlain(copy.db, QStringLiteral("pragma synchronous=OFF"));
        SqliteStore::writeSchema(copy.db);
        {
            // Read only: the operator's file is never changed, whatever it holds.
            Statement attach(copy.db, QStringLiteral("attach database ? as 来源"));
            attach.bind(1, file.uri());
            attach.run();
        }
        bool tooLong = false;
        sqlite3_create_function_v2(copy.db, "khgl_cell", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   &tooLong, &boundedCell, nullptr, nullptr, nullptr);
        // The bar counts the source's bytes: each row stands for its share of them.
        const qint64 length = QFileInfo(source).size();
        qint64 done = 0;
        const auto copied = [&](qint64 rows) {
            done += rows;
            if (progress && total > 0) {
                progress(
                    static_cast<qint64>(static_cast<double>(length) * static_cast<double>(done) /
                                        static_cast<double>(total)));
            }
        };
        try {
            runPlain(copy.db, QStringLiteral("begin immediate"));
            for (const auto& table : allTables()) {
                copyRows(copy.db, table, tooLong, copied);
            }
            // The program's own tables come along when the source has them (older files do not).
            for (const auto& table : ownTables()) {
                const QString name = QString::fromUtf16(table.name);
                if (single(copy.db, QStringLiteral("select count(*) from 来源.sqlite_master where "
                                                   "type='table' and name='%1'")
                                        .arg(name)) == 1) {
                    // Its values pass the same checks as the six tables' values.
                    const QString columns = QString::fromUtf16(table.columns);
                    QStringList cells;
                    for (const QString& column : columns.split(QStringLiteral(", "))) {
                        cells << QStringLiteral("khgl_cell(%1)").arg(column);
                    }
                    Statement insert(
                        copy.db, QStringLiteral("insert into main.%1 (%2) select %3 from 来源.%1")
                                     .arg(name, columns, cells.join(QStringLiteral(", "))));
                    runCopy(insert, name, tooLong);
                }
            }
            runPlain(copy.db, QStringLiteral("commit"));
        } catch (...) {
            sqlite3_exec(copy.db, "rollback", nullptr, nullptr, nullptr);
            throw;
        }
        runPlain(copy.db, QStringLiteral("detach database 来源"));
        runPlain(copy.db, QStringLiteral("pragma mmap_size=1073741824"));
        requireSound(copy.db, target);
        if (progress) {
            progress(length);
        }
    } catch (...) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
        throw;
    }
    syncFile(target);
}

namespace {

QString busyRestoreText()
{
    return QStringLiteral("另一个程序正在使用数据文件，还原需要独占它。请关闭那个程序后再试。");
}

// Begins a transaction of the given kind on the guard connection; a file another program
// holds is reported as such.
void lockFile(sqlite3* guard, const char* begin, const QString& path)
{
    const int rc = sqlite3_exec(guard, begin, nullptr, nullptr, nullptr);
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
        throw StoreError(busyRestoreText(), SQLITE_BUSY);
    }
    if (rc != SQLITE_OK) {
        throw StoreError(
            QStringLiteral("无法写入数据文件%1：%2").arg(quoted(path), engineFailureText(guard)),
            rc & 0xff);
    }
}

} // namespace

void swapIn(DataStore& store, const QString& clean, const std::function<void()>& beforeSwap)
{
    store.replaceWith(clean, beforeSwap);
}

void fileSwapIn(SqliteStore& store, const QString& clean, const std::function<void()>& beforeSwap)
{
    const QString database = DataStore::resolvedPath(store.filePath());
    Connection guard(SqliteStore::openConnection(database, SQLITE_OPEN_READWRITE));
    // No other program may start a write from here on (reading stays possible, for the safety
    // copy): what beforeSwap keeps is what the rename replaces.
    lockFile(guard.db, "begin immediate", store.filePath());
    if (beforeSwap) {
        beforeSwap();
    }
    store.close();
    sqlite3_exec(guard.db, "rollback", nullptr, nullptr, nullptr);
    // Held exclusively while it is replaced: no reader is in the middle of the old file and no
    // other program's journal can be rolled into the new one.
    lockFile(guard.db, "begin exclusive", store.filePath());
    if (::rename(encoded(clean).constData(), encoded(database).constData()) != 0) {
        const int error = errno;
        sqlite3_exec(guard.db, "rollback", nullptr, nullptr, nullptr);
        throw StoreError(QStringLiteral("无法写入数据文件%1：%2")
                             .arg(quoted(store.filePath()), fileFailureText(error, database)));
    }
    syncFolder(QFileInfo(database).absolutePath());
    sqlite3_exec(guard.db, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close_v2(guard.db);
    guard.db = nullptr;
    store.open();
}

std::vector<std::pair<QString, qint64>> tableCounts(const QString& path)
{
    // With the program's text rules: a count may walk an index of a text column.
    DatabasePages pages(path);
    requireModestSchema(pages, path);
    const SourceFile file(path, pages, {});
    Connection connection(file.open());
    requireNoHotJournal(connection.db, path);
    std::vector<std::pair<QString, qint64>> counts;
    for (const TableDef& table : allTables()) {
        const QString tableName = QString::fromUtf16(table.name);
        const QByteArray sql =
            QStringLiteral("select count(*) from \"%1\"").arg(tableName).toUtf8();
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(connection.db, sql.constData(), -1, &statement, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(statement);
            if (sqlite3_errcode(connection.db) == SQLITE_ERROR) {
                continue; // a backup from before this table existed
            }
            throw StoreError(QStringLiteral("无法读取%1。").arg(quoted(path)));
        }
        const int rc = sqlite3_step(statement);
        const qint64 count = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        if (rc != SQLITE_ROW) {
            throw StoreError(QStringLiteral("无法读取%1。").arg(quoted(path)));
        }
        counts.emplace_back(tableName, count);
    }
    return counts;
}

} // namespace khgl::database_file

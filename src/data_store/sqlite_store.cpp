#include "data_store/sqlite_store.h"

#include "data_store/failure_text.h"
#include "data_store/replaced_file.h"
#include "data_store/schema.h"
#include "data_store/sql_dialect.h"
#include "data_store/statement.h"
#include "data_store/store_error.h"
#include "data_store/store_log.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace khgl {
namespace {

QString quoted(const QString& path)
{
    return QStringLiteral("“%1”").arg(QDir::toNativeSeparators(path));
}

void runPlain(sqlite3* db, const QString& sql)
{
    Statement statement(db, sql);
    statement.run();
}

void createOwnTables(sqlite3* db)
{
    for (const auto& table : ownTables()) {
        runPlain(db, QString::fromUtf16(table.createSql));
    }
}

void createIndexes(sqlite3* db)
{
    for (const char16_t* sql : indexStatements()) {
        runPlain(db, QString::fromUtf16(sql));
    }
}

// The file's change counter, which every writer of the file moves on with each transaction
// it commits; -1 when it cannot be read. Read through SQLite's own handle: another handle
// on the file, once closed, would drop the locks SQLite holds on it.
qint64 changeCounter(sqlite3* db)
{
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr) {
        return -1;
    }
    unsigned char bytes[4] = {};
    if (file->pMethods->xRead(file, bytes, 4, 24) != SQLITE_OK) {
        return -1;
    }
    return (qint64{bytes[0]} << 24) | (qint64{bytes[1]} << 16) | (qint64{bytes[2]} << 8) |
           qint64{bytes[3]};
}

// Moves on whenever another connection commits to the file; read inside a transaction.
qint64 dataVersion(sqlite3* db)
{
    Statement version(db, QStringLiteral("pragma data_version"));
    return version.step() ? version.value(0).toLongLong() : -1;
}

QString danglingLinkText(const QString& path)
{
    return QStringLiteral("数据文件%1是一个链接，它指向的%2不存在。请找回链接指向的文件，"
                          "或删除这个链接（程序会新建数据文件）。")
        .arg(quoted(path), quoted(QFileInfo(path).symLinkTarget()));
}

// A rollback journal or write-ahead log left without its database (a crash mid-save, then the
// file moved away) would be played into a new file of the same name and bring back pieces of
// the old shop. Each is renamed aside with the time and kept; returns the new names.
QStringList setAsideOrphanLogs(const QStringList& databases)
{
    QStringList setAside;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (const QString& database : databases) {
        for (const char* suffix : {"-journal", "-wal", "-shm"}) {
            const QString log = database + QLatin1String(suffix);
            if (!QFileInfo(log).isFile()) {
                continue;
            }
            QString aside = QStringLiteral("%1.%2.stale").arg(log, stamp);
            for (int n = 2; QFileInfo::exists(aside); ++n) {
                aside = QStringLiteral("%1.%2-%3.stale").arg(log, stamp).arg(n);
            }
            if (::rename(QFile::encodeName(log).constData(),
                         QFile::encodeName(aside).constData()) != 0) {
                throw StoreError(QStringLiteral("无法新建数据文件：旧的日志文件%1无法移开：%2")
                                     .arg(quoted(log), fileFailureText(errno, log)));
            }
            qWarning("Set aside %s, left without its database, as %s", qUtf8Printable(log),
                     qUtf8Printable(aside));
            setAside << aside;
        }
    }
    return setAside;
}

// Runs one write; a failure goes to the log with the engine's code and its own words (never
// the operator's message, which may quote what was typed).
template <typename Work> auto logged(sqlite3* db, Work&& work) -> decltype(work())
{
    try {
        return work();
    } catch (const StoreError& error) {
        qCInfo(storeLog).noquote() << "write failed on the file: code" << error.code()
                                   << (error.code() != 0 ? sqlite3_errmsg(db) : "");
        throw;
    }
}

} // namespace

SqliteStore::SqliteStore(QString folder) : DataStore({std::move(folder), {}}) {}

SqliteStore::~SqliteStore()
{
    close();
}

bool SqliteStore::fileExists() const
{
    const QFileInfo info(filePath());
    return info.exists() && (!info.isFile() || info.size() > 0);
}

sqlite3* SqliteStore::openConnection(const QString& path, int flags)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = db ? engineFailureText(db) : fileFailureText(ENOMEM, path);
        const int code = db ? sqlite3_extended_errcode(db) & 0xff : rc;
        sqlite3_close(db);
        throw StoreError(QStringLiteral("无法打开数据文件%1：%2").arg(quoted(path), reason), code);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyWaitMs);
    registerDialect(db);
    return db;
}

void SqliteStore::writeSchema(sqlite3* db)
{
    runPlain(db, QStringLiteral("begin immediate"));
    try {
        runPlain(db, QStringLiteral("pragma application_id=%1").arg(kApplicationId));
        runPlain(db, QStringLiteral("pragma user_version=1"));
        for (const auto& table : allTables()) {
            runPlain(db, createTableSql(table));
        }
        createOwnTables(db);
        createIndexes(db);
        runPlain(db, QStringLiteral("commit"));
    } catch (...) {
        sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteStore::validateTables(sqlite3* db, const QString& path)
{
    Statement id(db, QStringLiteral("pragma application_id"));
    const qlonglong applicationId = id.step() ? id.value(0).toLongLong() : 0;
    if (applicationId != 0 && applicationId != kApplicationId) {
        throw StoreError(QStringLiteral("%1不是本系统的数据文件。").arg(quoted(path)));
    }
    for (const auto& table : allTables()) {
        const QString name = QString::fromUtf16(table.name);
        Statement find(db, QStringLiteral("select count(*) from sqlite_master where type='table' "
                                          "and name=?"));
        find.bind(1, name);
        if (!find.step() || find.value(0).toInt() != 1) {
            throw StoreError(
                QStringLiteral("%1不是本系统的数据文件（缺少%2）。").arg(quoted(path), name));
        }
        Statement info(db, QStringLiteral("select name from pragma_table_info(?)"));
        info.bind(1, name);
        QStringList found;
        while (info.step()) {
            found << info.value(0).toString();
        }
        for (const auto& column : table.columns) {
            const QString wanted = QString::fromUtf16(column.name);
            if (!found.contains(wanted)) {
                throw StoreError(QStringLiteral("%1不能使用：%2缺少“%3”一列。请换用本系统的"
                                                "数据文件或备份。")
                                     .arg(quoted(path), name, wanted));
            }
        }
    }
}

QStringList SqliteStore::create()
{
    close();
    const QString path = filePath();
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists()) {
        throw StoreError(danglingLinkText(path));
    }
    if (info.exists() && !info.isFile()) {
        throw StoreError(QStringLiteral("无法新建数据文件%1：这个名字已被一个文件夹占用，"
                                        "请移走它后再试。")
                             .arg(quoted(path)));
    }
    if (fileExists()) {
        throw StoreError(QStringLiteral("数据文件%1已经存在，没有新建。").arg(quoted(path)));
    }
    // Built beside the file that will hold the data (a symlink keeps pointing at it).
    const QString target = resolvedPath(path);
    const QString folder = QFileInfo(target).absolutePath();
    removeTemporariesOf(target); // left by an interrupted first start
    const QString temporary = newTemporaryBeside(target);
    const QByteArray name = QFile::encodeName(temporary);
    sqlite3* db = nullptr;
    QStringList setAside;
    try {
        db = openConnection(temporary, SQLITE_OPEN_READWRITE);
        runPlain(db, QStringLiteral("pragma journal_mode=DELETE"));
        runPlain(db, QStringLiteral("pragma synchronous=FULL"));
        writeSchema(db);
        sqlite3_close_v2(db);
        db = nullptr;
        setAside =
            setAsideOrphanLogs(target == path ? QStringList{path} : QStringList{path, target});
        if (::rename(name.constData(), QFile::encodeName(target).constData()) != 0) {
            throw StoreError(QStringLiteral("无法新建数据文件%1：%2")
                                 .arg(quoted(path), fileFailureText(errno, target)));
        }
        const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    } catch (...) {
        sqlite3_close_v2(db);
        QFile::remove(temporary);
        throw;
    }
    open();
    return setAside;
}

void SqliteStore::open()
{
    refuseWhileBusy();
    if (m_db) {
        return;
    }
    try {
        openFile();
    } catch (const StoreError& error) {
        qCInfo(storeLog).noquote() << "open refused: file" << filePath() << "code" << error.code();
        throw;
    }
    qCInfo(storeLog).noquote() << "store opened: file" << filePath()
                               << (m_copyOnly ? "for a copy" : "");
}

void SqliteStore::openFile()
{
    const QString path = filePath();
    const QFileInfo info(path);
    if (!info.exists()) {
        if (info.isSymLink()) {
            throw StoreError(danglingLinkText(path));
        }
        throw StoreError(QStringLiteral("数据文件%1不存在。").arg(quoted(path)));
    }
    m_db = openConnection(path, SQLITE_OPEN_READWRITE);
    try {
        runPlain(m_db, QStringLiteral("pragma journal_mode=DELETE"));
        runPlain(m_db, QStringLiteral("pragma synchronous=FULL"));
        validateTables(m_db, path);
    } catch (const StoreError& error) {
        close();
        if (error.message().contains(QDir::toNativeSeparators(path))) {
            throw;
        }
        throw StoreError(
            QStringLiteral("无法打开数据文件%1。\n%2").arg(quoted(path), error.message()),
            error.code());
    }
    // A statement meeting another program's lock waits with the windows still painting.
    sqlite3_busy_handler(m_db, &SqliteStore::waitWhileBusy, this);
    try {
        createOwnTables(m_db);
    } catch (const StoreError&) {
        // A file that cannot take them (read only) still serves everything else; the features
        // that need them report their own failure when used.
    }
    try {
        createIndexes(m_db);
    } catch (const StoreError&) {
        // Indexes only make listings faster; a file that cannot take them still works.
    }
    if (m_copyOnly) {
        return;
    }
    try {
        prepareFigures();
    } catch (const StoreError&) {
        // The pages count and sum themselves then.
    }
}

void SqliteStore::prepareFigures()
{
    m_figuresKept = false;
    // "insert or replace" then removes a row through the delete trigger too.
    runPlain(m_db, QStringLiteral("pragma recursive_triggers=1"));
    runPlain(m_db, QStringLiteral("begin immediate"));
    try {
        const qint64 counter = changeCounter(m_db);
        for (const QString& sql : kept_figures::fileStatements()) {
            runPlain(m_db, sql);
        }
        const QString read = QString::fromUtf8(kept_figures::kReadSql);
        const QString mark = QString::fromUtf8(kept_figures::kClosedMark);
        // Unless this program closed the file last and nothing wrote to it since, another
        // program may have changed the tables without the triggers: count them afresh.
        Statement closed(m_db, read);
        closed.bind(1, mark);
        const bool trusted =
            counter >= 0 && closed.step() && closed.value(0).toLongLong() == counter;
        for (const char16_t* name : kept_figures::tables()) {
            const QString table = QString::fromUtf16(name);
            Statement held(m_db, read);
            held.bind(1, table);
            if (!trusted || !held.step()) {
                runPlain(m_db, kept_figures::recountSql(table, false));
            }
        }
        // Open, the file may be changed by anything; the mark returns at a clean close.
        Statement unmark(m_db, QStringLiteral("delete from 表合计 where 表名=?"));
        unmark.bind(1, mark);
        unmark.run();
        m_figuresVersion = dataVersion(m_db);
        runPlain(m_db, QStringLiteral("commit"));
    } catch (...) {
        sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr);
        throw;
    }
    m_figuresKept = true;
}

void SqliteStore::markFiguresClosed()
{
    // Closing never waits for another program: without the mark the next open recounts.
    sqlite3_busy_handler(m_db, nullptr, nullptr);
    if (sqlite3_get_autocommit(m_db) == 0 ||
        sqlite3_exec(m_db, "begin immediate", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return;
    }
    try {
        // Another program wrote meanwhile (the sqlite3 shell's "insert or replace" removes a
        // row without the delete trigger): without the mark the next open recounts.
        if (dataVersion(m_db) != m_figuresVersion) {
            qCInfo(storeLog) << "another connection wrote to the file: figures recounted at the "
                                "next open";
            sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr);
            return;
        }
        Statement triggers(m_db, QStringLiteral("select count(*) from sqlite_master where "
                                                "type='trigger' and name like '表合计!_%' "
                                                "escape '!'"));
        if (triggers.step() && triggers.value(0).toInt() == 8) {
            // This commit moves the counter on by one.
            Statement mark(m_db, QStringLiteral("insert or replace into 表合计 (表名, 行数, 金额, "
                                                "零头) values (?, ?, 0, 0)"));
            mark.bind(1, QString::fromUtf8(kept_figures::kClosedMark));
            mark.bind(2, (changeCounter(m_db) + 1) & 0xffffffff);
            mark.run();
            runPlain(m_db, QStringLiteral("commit"));
            return;
        }
    } catch (const StoreError&) {
        // The file is left without the mark.
    }
    sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr);
}

int SqliteStore::waitWhileBusy(void* store, int attempt)
{
    auto* self = static_cast<SqliteStore*>(store);
    if (attempt == 0) {
        self->m_waitClock.start();
    }
    if (self->m_waitClock.elapsed() >= kBusyWaitMs) {
        return 0;
    }
    self->waitOnce();
    QThread::msleep(10);
    return 1;
}

bool SqliteStore::isOpen() const
{
    return m_db != nullptr;
}

void SqliteStore::close()
{
    if (m_db) {
        // A file removed underneath is not written to again.
        if (m_figuresKept && QFileInfo::exists(filePath())) {
            markFiguresClosed();
        }
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_figuresKept = false;
}

sqlite3* SqliteStore::handle()
{
    ensureOpen();
    return m_db;
}

void SqliteStore::ensureOpen()
{
    refuseWhileBusy();
    // A file removed underneath would swallow every later write unseen.
    if (m_db && !QFileInfo::exists(filePath())) {
        close();
        throw StoreError(
            QStringLiteral("数据文件%1不见了，数据没有写入。").arg(quoted(filePath())));
    }
    open();
}

void SqliteStore::scanKeys(const QString& sql, const QVariantList& params,
                           const std::function<bool(qint64)>& visit)
{
    ensureOpen();
    Statement statement(m_db, sql);
    statement.bindAll(params);
    sqlite3_stmt* stmt = statement.handle();
    while (statement.step()) {
        if (!visit(sqlite3_column_int64(stmt, 0))) {
            break;
        }
    }
}

QString SqliteStore::dialect(const QString& sql) const
{
    return rewriteQuery(sql);
}

RecordSet SqliteStore::fetch(const QString& sql, const QVariantList& params, bool keyed)
{
    Statement statement(m_db, sql);
    statement.bindAll(params);
    const int first = keyed ? 1 : 0;
    const int columns = statement.columnCount() - first;
    QStringList names;
    for (int c = 0; c < columns; ++c) {
        names << statement.columnName(c + first);
    }
    RecordSet::Builder rows(std::move(names));
    sqlite3_stmt* stmt = statement.handle();
    while (statement.step()) {
        if (keyed) {
            rows.key(sqlite3_column_int64(stmt, 0));
        }
        for (int c = 0; c < columns; ++c) {
            const int index = c + first;
            switch (sqlite3_column_type(stmt, index)) {
            case SQLITE_INTEGER:
                rows.integer(sqlite3_column_int64(stmt, index));
                break;
            case SQLITE_FLOAT:
                rows.real(sqlite3_column_double(stmt, index));
                break;
            case SQLITE_NULL:
                rows.null();
                break;
            default:
                rows.text(reinterpret_cast<const char*>(sqlite3_column_text(stmt, index)),
                          sqlite3_column_bytes(stmt, index));
            }
        }
        rows.endRow();
    }
    return rows.take();
}

qint64 SqliteStore::insertStatement(const QString& sql, const QVariantList& values)
{
    return logged(m_db, [&] {
        Statement statement(m_db, sql);
        statement.bindAll(values);
        statement.run();
        return sqlite3_last_insert_rowid(m_db);
    });
}

void SqliteStore::writeSnapshot(const QString& target, const Progress& progress)
{
    database_file::fileSnapshot(*this, target, progress);
}

void SqliteStore::replaceWith(const QString& clean, const std::function<void()>& beforeSwap)
{
    database_file::fileSwapIn(*this, clean, beforeSwap);
}

void SqliteStore::emptyTable(const QString& table)
{
    if (findTable(table) == nullptr) {
        throw StoreError(QStringLiteral("没有“%1”这个表。").arg(table));
    }
    const QString remove = QStringLiteral("delete from ") + table;
    ensureOpen();
    const auto kept = kept_figures::tables();
    const bool counted = std::any_of(kept.begin(), kept.end(), [&](const char16_t* name) {
        return table == QString::fromUtf16(name);
    });
    if (!m_figuresKept || !counted) {
        execute(remove);
        return;
    }
    transaction([&] {
        // Without a delete trigger the engine drops the rows wholesale.
        runPlain(m_db, QStringLiteral("drop trigger if exists 表合计_%1_删").arg(table));
        runPlain(m_db, remove);
        runPlain(m_db, kept_figures::recountSql(table, false));
        for (const QString& sql : kept_figures::fileStatements()) {
            runPlain(m_db, sql);
        }
    });
}

void SqliteStore::execute(const QString& sql, const QVariantList& params)
{
    ensureOpen();
    logged(m_db, [&] {
        Statement statement(m_db, rewriteQuery(sql));
        statement.bindAll(params);
        statement.run();
    });
}

void SqliteStore::executeEach(const QString& sql, const std::vector<QVariantList>& rows)
{
    ensureOpen();
    logged(m_db, [&] {
        Statement statement(m_db, rewriteQuery(sql));
        for (const QVariantList& params : rows) {
            statement.bindAll(params);
            statement.run();
            sqlite3_reset(statement.handle());
        }
    });
}

void SqliteStore::transaction(const std::function<void()>& work)
{
    ensureOpen();
    if (sqlite3_get_autocommit(m_db) == 0) {
        work(); // already inside one
        return;
    }
    runPlain(m_db, QStringLiteral("begin immediate"));
    try {
        work();
        runPlain(m_db, QStringLiteral("commit"));
    } catch (...) {
        sqlite3_exec(m_db, "rollback", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteStore::scan(const QString& sql, const RowVisitor& visit)
{
    ensureOpen();
    Statement rows(m_db, rewriteQuery(sql));
    sqlite3_stmt* stmt = rows.handle();
    const bool withNumber = rows.columnCount() > 1;
    while (rows.step()) {
        visit(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
              sqlite3_column_bytes(stmt, 0), withNumber ? sqlite3_column_double(stmt, 1) : 0.0);
    }
}

void SqliteStore::scanCells(const QString& sql, const QVariantList& params,
                            const CellRowVisitor& visit)
{
    ensureOpen();
    Statement rows(m_db, rewriteQuery(sql));
    rows.bindAll(params);
    sqlite3_stmt* stmt = rows.handle();
    std::vector<ScanCell> cells(static_cast<std::size_t>(rows.columnCount()));
    while (rows.step()) {
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const int column = static_cast<int>(c);
            const int type = sqlite3_column_type(stmt, column);
            ScanCell& cell = cells[c];
            cell.isNumber = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
            cell.number = cell.isNumber ? sqlite3_column_double(stmt, column) : 0.0;
            cell.text = type == SQLITE_TEXT || type == SQLITE_BLOB
                            ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, column))
                            : nullptr;
            cell.length = cell.text != nullptr ? sqlite3_column_bytes(stmt, column) : 0;
        }
        visit(cells.data());
    }
}

void SqliteStore::checkDatabaseFile(const QString& path)
{
    sqlite3* db = openConnection(path, SQLITE_OPEN_READONLY);
    try {
        Statement check(db, QStringLiteral("pragma quick_check"));
        if (!check.step() || check.value(0).toString() != QStringLiteral("ok")) {
            throw StoreError(QStringLiteral("%1已损坏。").arg(quoted(path)));
        }
        validateTables(db, path);
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    sqlite3_close_v2(db);
}

} // namespace khgl

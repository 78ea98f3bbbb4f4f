#include "data_store/database_file.h"

#include "data_store/data_store.h"
#include "data_store/failure_text.h"
#include "data_store/schema.h"
#include "data_store/server_transfer.h"
#include "data_store/statement.h"
#include "data_store/store_error.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <vector>

namespace khgl::database_file {
namespace {

// Pages copied between two progress reports.
constexpr int kPagesPerStep = 16;

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

// Throws unless the engine finds the file sound, naming what it found.
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
    if (store.onServer()) {
        // A server's backup is an ordinary file of this program, restorable anywhere.
        server_transfer::writeFile(store, target);
        if (progress) {
            progress(QFileInfo(target).size());
        }
        return;
    }
    try {
        // Opening the store may fail too: the new file goes all the same.
        sqlite3* live = store.handle();
        Connection copy(DataStore::openConnection(target, SQLITE_OPEN_READWRITE));
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
        DataStore::validateTables(copy.db, target);
        if (rowCounts(copy.db) != counts) {
            throw StoreError(QStringLiteral("备份的行数与数据文件不符。"));
        }
    } catch (...) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
        throw;
    }
}

void cleanCopy(const QString& source, const QString& target)
{
    try {
        {
            Connection from(DataStore::openConnection(source, SQLITE_OPEN_READONLY));
            requireSound(from.db, source);
            DataStore::validateTables(from.db, source);
        }
        Connection copy(DataStore::openConnection(target, SQLITE_OPEN_READWRITE));
        runPlain(copy.db, QStringLiteral("pragma journal_mode=DELETE"));
        DataStore::writeSchema(copy.db);
        {
            Statement attach(copy.db, QStringLiteral("attach database ? as 来源"));
            attach.bind(1, source);
            attach.run();
        }
        try {
            runPlain(copy.db, QStringLiteral("begin immediate"));
            for (const auto& table : allTables()) {
                const QString name = QString::fromUtf16(table.name);
                QStringList columns;
                for (const auto& column : table.columns) {
                    columns << QString::fromUtf16(column.name);
                }
                const QString list = columns.join(QStringLiteral(", "));
                // Rows keep their keys, so listings keep their order.
                runPlain(copy.db, QStringLiteral("insert into main.%1 (rowid, %2) select rowid, %2 "
                                                 "from 来源.%1 order by rowid")
                                      .arg(name, list));
            }
            // The program's own tables come along when the source has them (older files do not).
            for (const auto& table : ownTables()) {
                const QString name = QString::fromUtf16(table.name);
                if (single(copy.db, QStringLiteral("select count(*) from 来源.sqlite_master where "
                                                   "type='table' and name='%1'")
                                        .arg(name)) == 1) {
                    runPlain(copy.db,
                             QStringLiteral("insert into main.%1 (%2) select %2 from 来源.%1")
                                 .arg(name, QString::fromUtf16(table.columns)));
                }
            }
            runPlain(copy.db, QStringLiteral("commit"));
        } catch (...) {
            sqlite3_exec(copy.db, "rollback", nullptr, nullptr, nullptr);
            throw;
        }
        runPlain(copy.db, QStringLiteral("detach database 来源"));
        requireSound(copy.db, target);
    } catch (...) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
        throw;
    }
}

void replaceContents(DataStore& store, const QString& source, const Progress& progress)
{
    if (store.onServer()) {
        server_transfer::loadFile(store, source);
        if (progress) {
            progress(QFileInfo(source).size());
        }
        return;
    }
    sqlite3* live = store.handle();
    Connection from(DataStore::openConnection(source, SQLITE_OPEN_READONLY));
    const qint64 pageSize = single(from.db, QStringLiteral("pragma page_size"));
    // The engine writes the new pages into the live file under its own exclusive lock and
    // journal: all of them, or none.
    const int rc = copyPages(live, from.db, pageSize, progress);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        throw StoreError(QStringLiteral("另一个程序正在使用数据文件，还原需要独占它。"
                                        "请关闭那个程序后再试。"),
                         SQLITE_BUSY);
    }
    if (rc != SQLITE_OK) {
        throw StoreError(QStringLiteral("无法写入数据文件%1：%2")
                             .arg(quoted(store.filePath()), engineFailureText(live)),
                         rc & 0xff);
    }
}

std::vector<std::pair<QString, qint64>> tableCounts(const QString& path)
{
    // With the program's text rules: a count may walk an index of a text column.
    Connection connection(DataStore::openConnection(path, SQLITE_OPEN_READONLY));
    std::vector<std::pair<QString, qint64>> counts;
    for (const TableSpec& table : allTables()) {
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

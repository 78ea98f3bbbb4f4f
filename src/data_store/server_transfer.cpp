#include "data_store/server_transfer.h"

#include "data_store/data_store.h"
#include "data_store/kept_figures.h"
#include "data_store/schema.h"
#include "data_store/server_backup.h"
#include "data_store/server_connection.h"
#include "data_store/server_store.h"
#include "data_store/sql_dialect.h"
#include "data_store/sqlite_store.h"
#include "data_store/statement.h"
#include "data_store/store_error.h"
#include "data_store/store_log.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstring>
#include <future>

namespace khgl::server_transfer {
namespace {

struct TableCopy
{
    QString name;
    QString columns;   // "a, b, c"
    bool keyed = true; // copied with its row keys
};

QList<TableCopy> tablesToCopy()
{
    QList<TableCopy> tables;
    for (const auto& table : allTables()) {
        tables.push_back({QString::fromUtf16(table.name),
                          columnNames(QString::fromUtf16(table.name)).join(QStringLiteral(", ")),
                          true});
    }
    for (const auto& table : ownTables()) {
        tables.push_back(
            {QString::fromUtf16(table.name), QString::fromUtf16(table.columns), false});
    }
    return tables;
}

bool sqliteHasTable(sqlite3* db, const QString& name)
{
    Statement find(db, QStringLiteral("select count(*) from sqlite_master where type='table' "
                                      "and name=?"));
    find.bind(1, name);
    return find.step() && find.value(0).toInt() == 1;
}

QString figuresQuery(const TableDef& table)
{
    QStringList parts{QStringLiteral("count(*)")};
    for (const auto& column : table.columns) {
        if (column.kind == ColumnKind::Number || column.kind == ColumnKind::Money ||
            column.kind == ColumnKind::Integer) {
            parts << QStringLiteral("coalesce(sum(%1), 0)").arg(QString::fromUtf16(column.name));
        }
    }
    return QStringLiteral("select ") + parts.join(QStringLiteral(", ")) + QStringLiteral(" from ") +
           QString::fromUtf16(table.name);
}

QString figureText(const QVariant& value)
{
    return QString::number(value.toDouble(), 'f', 4);
}

// A number as the program reads it back, whichever engine kept it: whole numbers as
// integers, others with every digit a double holds.
QByteArray numberKey(double number)
{
    if (number == std::trunc(number) && std::abs(number) < 9e18) {
        return QByteArray::number(static_cast<qlonglong>(number));
    }
    return QByteArray::number(number, 'g', 17);
}

QByteArray numberKey(const QByteArray& text)
{
    bool whole = false;
    const qlonglong integer = text.toLongLong(&whole);
    if (whole) {
        return QByteArray::number(integer);
    }
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok ? numberKey(number) : QByteArray();
}

// Every value of every row of a table, summed over rows (the order rows come in does not
// count): two copies agree when their counts and sums agree.
struct TableDigest
{
    qint64 rows = 0;
    quint64 low = 0;
    quint64 high = 0;
    bool operator==(const TableDigest&) const = default;
};

class DigestBuilder final
{
public:
    explicit DigestBuilder(QList<bool> numeric) : m_numeric(std::move(numeric)) {}

    void addNull() { add('N', {}); }
    void addText(const char* text, int length)
    {
        const QByteArray bytes = QByteArray::fromRawData(text, length);
        const QByteArray number = m_numeric[m_column] ? numberKey(bytes) : QByteArray();
        number.isEmpty() ? add('T', bytes) : add('#', number);
    }
    void addNumber(double number) { add('#', numberKey(number)); }
    void addInteger(qlonglong number) { add('#', QByteArray::number(number)); }

    void endRow()
    {
        const QByteArray sum = m_row.result();
        quint64 parts[2] = {};
        std::memcpy(parts, sum.constData(), sizeof parts);
        m_digest.low += parts[0];
        m_digest.high += parts[1];
        ++m_digest.rows;
        m_row.reset();
        m_column = 0;
    }
    TableDigest digest() const { return m_digest; }

private:
    void add(char kind, const QByteArray& bytes)
    {
        const qint64 length = bytes.size();
        m_row.addData(QByteArrayView(&kind, 1));
        m_row.addData(QByteArrayView(reinterpret_cast<const char*>(&length), sizeof length));
        m_row.addData(bytes);
        ++m_column;
    }

    QList<bool> m_numeric;
    QCryptographicHash m_row{QCryptographicHash::Sha256};
    TableDigest m_digest;
    int m_column = 0;
};

// Which columns of "select [rowid,] columns" hold numbers.
QList<bool> numericColumns(const TableCopy& table)
{
    QList<bool> numeric;
    if (table.keyed) {
        numeric << true;
    }
    const TableDef* definition = findTable(table.name);
    for (const QString& column : table.columns.split(QStringLiteral(", "))) {
        const ColumnDef* found = definition ? findColumn(*definition, column) : nullptr;
        numeric << (found ? found->kind == ColumnKind::Number || found->kind == ColumnKind::Money ||
                                found->kind == ColumnKind::Integer
                          : column == QStringLiteral("下限"));
    }
    return numeric;
}

QString digestQuery(const TableCopy& table)
{
    return QStringLiteral("select ") + (table.keyed ? QStringLiteral("rowid, ") : QString()) +
           table.columns + QStringLiteral(" from ") + table.name;
}

TableDigest fileDigest(sqlite3* db, const TableCopy& table)
{
    DigestBuilder digest(numericColumns(table));
    if (!table.keyed && !sqliteHasTable(db, table.name)) {
        return digest.digest();
    }
    Statement rows(db, digestQuery(table));
    while (rows.step()) {
        for (int c = 0; c < rows.columnCount(); ++c) {
            switch (sqlite3_column_type(rows.handle(), c)) {
            case SQLITE_NULL:
                digest.addNull();
                break;
            case SQLITE_INTEGER:
                digest.addInteger(sqlite3_column_int64(rows.handle(), c));
                break;
            case SQLITE_FLOAT:
                digest.addNumber(sqlite3_column_double(rows.handle(), c));
                break;
            default:
                digest.addText(reinterpret_cast<const char*>(sqlite3_column_text(rows.handle(), c)),
                               sqlite3_column_bytes(rows.handle(), c));
            }
        }
        digest.endRow();
    }
    return digest.digest();
}

// The digest of a table on the server: its cells come as text (numbers in their exact decimal
// form) or null.
TableDigest connectionDigest(ServerConnection& server, const TableCopy& table)
{
    DigestBuilder digest(numericColumns(table));
    const int columns = static_cast<int>(numericColumns(table).size());
    visitCells(server.run(serverQuery(digestQuery(table))), [&](const DataStore::ScanCell* cells) {
        for (int c = 0; c < columns; ++c) {
            if (cells[c].isNumber) {
                digest.addNumber(cells[c].number);
            } else if (cells[c].text == nullptr) {
                digest.addNull();
            } else {
                digest.addText(cells[c].text, cells[c].length);
            }
        }
        digest.endRow();
    });
    return digest.digest();
}

void refuseDifference(const TableCopy& table, const TableDigest& file, const TableDigest& held)
{
    if (!(file == held)) {
        throw StoreError(QStringLiteral("复制没有完成：服务器上的%1与文件中的内容不一致。"
                                        "数据没有改变。")
                             .arg(table.name));
    }
}

qint64 countOnServer(ServerConnection& server, const QString& table)
{
    return server.run(QStringLiteral("select count(*) from ") + table).value(0, 0).toLongLong();
}

void refuseRows(ServerConnection& server)
{
    for (const TableCopy& table : tablesToCopy()) {
        if (countOnServer(server, table.name) != 0) {
            throw StoreError(QStringLiteral("服务器上的%1已经有数据，没有迁移。请换一个空的"
                                            "数据库。")
                                 .arg(table.name));
        }
    }
}

// Every table holds as many rows as the file's.
void requireFileCounts(ServerConnection& server, sqlite3* file)
{
    for (const TableCopy& table : tablesToCopy()) {
        qint64 rows = 0;
        if (table.keyed || sqliteHasTable(file, table.name)) {
            Statement count(file, QStringLiteral("select count(*) from ") + table.name);
            count.step();
            rows = count.value(0).toLongLong();
        }
        const qint64 held = countOnServer(server, table.name);
        if (held != rows) {
            throw StoreError(QStringLiteral("还原没有完成：%1应有%2条记录，写入后是%3条。"
                                            "数据没有改变。")
                                 .arg(table.name)
                                 .arg(rows)
                                 .arg(held));
        }
    }
}

void rollback(ServerConnection& server)
{
    if (server.isOpen() && server.inTransaction()) {
        try {
            server.run(QStringLiteral("rollback"));
        } catch (const StoreError&) {
            // The connection went with the transaction.
        }
    }
}

// The version of the program's own objects a database holds (functions, name indexes, own
// tables, the figures' triggers), kept as the comment of its schema; raise it with every
// change to upgradeStatements().
constexpr int kServerVersion = 3;

// What an open finds, in one query: the version, whether an earlier program put its row
// triggers back, whether the functions are there and whether the commit marks may be written.
ServerState readState(ServerConnection& server)
{
    QStringList present;
    for (const auto& table : ownTables()) {
        present
            << QStringLiteral("to_regclass('%1') is not null").arg(QString::fromUtf16(table.name));
    }
    const ServerResult found = server.run(
        QStringLiteral(
            "select coalesce(obj_description(to_regnamespace('khgl_own'), 'pg_namespace'), ''), "
            "exists (select 1 from pg_trigger where tgname = '表合计_记'), "
            "to_regprocedure('khgl_own.fold(text)') is not null and "
            "to_regprocedure('khgl_own.day_key(text)') is not null, "
            "coalesce(has_table_privilege(to_regclass('提交记号'), 'insert, delete'), false), ") +
        present.join(QStringLiteral(" and ")));
    const int version = found.value(0, 0).toString().section(QLatin1Char(' '), -1).toInt();
    return {version >= kServerVersion && !found.value(0, 1).toBool(), found.value(0, 2).toBool(),
            found.value(0, 3).toBool(), found.value(0, 4).toBool(), version};
}

QStringList upgradeStatements()
{
    QStringList statements = serverUpgradeStatements();
    statements << kept_figures::serverStatements();
    for (const char16_t* name : kept_figures::tables()) {
        statements << kept_figures::serverRecount(QString::fromUtf16(name));
    }
    statements << QStringLiteral("comment on schema khgl_own is 'version %1'").arg(kServerVersion);
    return statements;
}

} // namespace

void checkCopy(ServerConnection& server, sqlite3* file)
{
    const QList<TableCopy> tables = tablesToCopy();
    // The file's side is hashed on another core while the server's rows arrive: the check
    // is a third of a large restore's time.
    const QString path = QString::fromUtf8(sqlite3_db_filename(file, "main"));
    std::future<QList<TableDigest>> fromFile = std::async(std::launch::async, [&tables, path] {
        Connection reader(SqliteStore::openConnection(path, SQLITE_OPEN_READONLY));
        QList<TableDigest> digests;
        for (const TableCopy& table : tables) {
            digests << fileDigest(reader.db, table);
        }
        return digests;
    });
    QList<TableDigest> held;
    for (const TableCopy& table : tables) {
        held << connectionDigest(server, table);
    }
    const QList<TableDigest> inFile = fromFile.get();
    for (qsizetype i = 0; i < tables.size(); ++i) {
        refuseDifference(tables[i], inFile[i], held[i]);
    }
}

QString storeFigures(DataStore& store)
{
    QStringList lines;
    for (const auto& table : allTables()) {
        const RecordSet figures = store.select(figuresQuery(table));
        QStringList values{QString::fromUtf16(table.name)};
        for (int c = 0; c < figures.fieldCount(); ++c) {
            values << figureText(figures.valueAt(0, c));
        }
        lines << values.join(QLatin1Char(' '));
    }
    return lines.join(QLatin1Char('\n'));
}

QString initServer(const QString& server)
{
    const auto opened = openStore({QDir::currentPath(), server});
    DataStore& store = *opened;
    store.create();
    return QStringLiteral("数据库服务器上的数据表已经建立。\n") +
           ServerConnection(server, QDir::currentPath()).limitIdleTransactions();
}

QString migrate(const QString& file, const QString& server)
{
    SqliteStore::checkDatabaseFile(file);
    const auto opened = openStore({QDir::currentPath(), server});
    DataStore& store = *opened;
    try {
        store.create();
    } catch (const StoreError&) {
        store.open(); // tables there already: acceptable only while they hold nothing
    }
    Connection source(SqliteStore::openConnection(file, SQLITE_OPEN_READONLY));
    ServerConnection copy(store.address().server, store.address().folder);
    // Committed as saves are: a lost reply is looked up, so the answer is the truth.
    copy.prepareCommitCheck();
    copy.run(QStringLiteral("begin"));
    try {
        // Checked and filled in one transaction under the write lock: a desk that saves
        // meanwhile either comes first (and the copy is refused) or waits until it is done.
        server_backup::lockForWriting(copy);
        refuseRows(copy);
        server_backup::loadAll(copy, source.db);
        requireFileCounts(copy, source.db);
        checkCopy(copy, source.db);
        copy.commit();
    } catch (...) {
        rollback(copy);
        throw;
    }
    return QStringLiteral("迁移完成，每个表的每一条记录都与原文件一致：\n") + storeFigures(store);
}

ServerState upgradeServer(ServerConnection& server, bool mayUpgrade)
{
    ServerState state = readState(server);
    if (state.version > kServerVersion) {
        // Its triggers and functions would take the newer ones' place and count twice.
        qCWarning(storeLog) << "server objects of version" << state.version << "are newer than"
                            << kServerVersion;
        throw StoreError(
            QStringLiteral("数据库服务器%1上的数据已由较新版本的本程序使用，这台电脑上的"
                           "程序较旧，不能再用它打开，以免弄乱数据。请先更新这台电脑上"
                           "的程序。")
                .arg(server.displayName()));
    }
    if (state.current || !mayUpgrade) {
        return state;
    }
    server.run(QStringLiteral("begin"));
    try {
        // Desks opening at once bring it up to date one after the other.
        server.run(QStringLiteral("select pg_advisory_xact_lock($1)"),
                   {static_cast<qlonglong>(kApplicationId)});
        if (!readState(server).current) {
            for (const QString& sql : upgradeStatements()) {
                server.run(sql);
            }
        }
        server.run(QStringLiteral("commit"));
    } catch (const StoreError& error) {
        rollback(server);
        if (!state.functions) {
            throw; // the queries need them
        }
        // An account that may not change the program's objects works on as before; the
        // figures are then counted by the pages.
        qCInfo(storeLog).noquote() << "server not upgraded:" << error.message();
        return state;
    }
    qCInfo(storeLog) << "server upgraded to version" << kServerVersion;
    state.current = true;
    return state;
}

} // namespace khgl::server_transfer

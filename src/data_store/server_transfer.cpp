#include "data_store/server_transfer.h"

#include "data_store/data_store.h"
#include "data_store/schema.h"
#include "data_store/server_connection.h"
#include "data_store/sql_dialect.h"
#include "data_store/sqlite_store.h"
#include "data_store/statement.h"
#include "data_store/store_error.h"

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
    QString columns; // "a, b, c"
    int count = 0;
    bool keyed = true; // copied with its row keys
};

QList<TableCopy> tablesToCopy()
{
    QList<TableCopy> tables;
    for (const auto& table : allTables()) {
        tables.push_back({QString::fromUtf16(table.name),
                          columnNames(QString::fromUtf16(table.name)).join(QStringLiteral(", ")), 0,
                          true});
    }
    for (const auto& table : ownTables()) {
        tables.push_back(
            {QString::fromUtf16(table.name), QString::fromUtf16(table.columns), 0, false});
    }
    return tables;
}

QString insertSql(const TableCopy& table)
{
    const int count =
        static_cast<int>(table.columns.count(QLatin1Char(',')) + 1) + (table.keyed ? 1 : 0);
    QStringList marks;
    marks.fill(QStringLiteral("?"), count);
    return QStringLiteral("insert into ") + table.name + QStringLiteral(" (") +
           (table.keyed ? QStringLiteral("rowid, ") : QString()) + table.columns +
           QStringLiteral(") values (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
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

// The digest of rows whose cells come as text (numbers in their exact decimal form) or null.
template <typename Scan> TableDigest cellsDigest(const TableCopy& table, const Scan& scan)
{
    DigestBuilder digest(numericColumns(table));
    const int columns = static_cast<int>(numericColumns(table).size());
    scan(digestQuery(table), [&](const DataStore::ScanCell* cells) {
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

TableDigest storeDigest(DataStore& store, const TableCopy& table)
{
    return cellsDigest(table, [&](const QString& sql, const DataStore::CellRowVisitor& visit) {
        store.scanCells(sql, {}, visit);
    });
}

TableDigest connectionDigest(ServerConnection& server, const TableCopy& table)
{
    return cellsDigest(table, [&](const QString& sql, const DataStore::CellRowVisitor& visit) {
        const ServerResult result = server.run(serverQuery(sql));
        std::vector<DataStore::ScanCell> cells(static_cast<std::size_t>(result.columns()));
        for (int r = 0; r < result.rows(); ++r) {
            for (std::size_t c = 0; c < cells.size(); ++c) {
                const int column = static_cast<int>(c);
                cells[c].length = 0;
                cells[c].text =
                    result.isNull(r, column) ? nullptr : result.text(r, column, &cells[c].length);
            }
            visit(cells.data());
        }
    });
}

void refuseDifference(const TableCopy& table, const TableDigest& file, const TableDigest& held)
{
    if (!(file == held)) {
        throw StoreError(QStringLiteral("复制没有完成：服务器上的%1与文件中的内容不一致。"
                                        "数据没有改变。")
                             .arg(table.name));
    }
}

// Compares every value of every table of the store with the file it was filled from.
void checkCopy(DataStore& store, sqlite3* file)
{
    for (const TableCopy& table : tablesToCopy()) {
        refuseDifference(table, fileDigest(file, table), storeDigest(store, table));
    }
}

void refuseRows(DataStore& store)
{
    for (const TableCopy& table : tablesToCopy()) {
        if (store.select(QStringLiteral("select count(*) from ") + table.name)
                .valueAt(0, 0)
                .toLongLong() != 0) {
            throw StoreError(QStringLiteral("服务器上的%1已经有数据，没有迁移。请换一个空的"
                                            "数据库。")
                                 .arg(table.name));
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

} // namespace

void loadFile(DataStore& store, const QString& source)
{
    Connection file(SqliteStore::openConnection(source, SQLITE_OPEN_READONLY));
    store.transaction([&] {
        QList<TableCopy> tables = tablesToCopy();
        for (const TableCopy& table : tables) {
            store.execute(QStringLiteral("delete from ") + table.name);
        }
        for (TableCopy& table : tables) {
            if (!table.keyed && !sqliteHasTable(file.db, table.name)) {
                continue; // a backup from before the program kept this table
            }
            Statement rows(file.db, QStringLiteral("select ") +
                                        (table.keyed ? QStringLiteral("rowid, ") : QString()) +
                                        table.columns + QStringLiteral(" from ") + table.name +
                                        QStringLiteral(" order by rowid"));
            const QString insert = insertSql(table);
            const int columns = rows.columnCount();
            while (rows.step()) {
                QVariantList values;
                values.reserve(columns);
                for (int c = 0; c < columns; ++c) {
                    values << rows.value(c);
                }
                store.execute(insert, values);
                ++table.count;
            }
            if (table.keyed) {
                store.renumberAfterCopy(table.name);
            }
        }
        for (const TableCopy& table : tables) {
            const int held =
                static_cast<int>(store.select(QStringLiteral("select count(*) from ") + table.name)
                                     .valueAt(0, 0)
                                     .toLongLong());
            if (held != table.count) {
                throw StoreError(QStringLiteral("还原没有完成：%1应有%2条记录，写入后是%3条。"
                                                "数据没有改变。")
                                     .arg(table.name)
                                     .arg(table.count)
                                     .arg(held));
            }
        }
        checkCopy(store, file.db);
    });
}

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
    // Checked and filled in one transaction under the write lock: a desk that saves
    // meanwhile either comes first (and the copy is refused) or waits until it is done.
    store.transaction([&] {
        refuseRows(store);
        loadFile(store, file);
    });
    return QStringLiteral("迁移完成，每个表的每一条记录都与原文件一致：\n") + storeFigures(store);
}

void upgradeServer(ServerConnection& server)
{
    if (!server.run(QStringLiteral("select to_regprocedure('khgl_own.fold(text)')")).isNull(0, 0)) {
        return;
    }
    server.run(QStringLiteral("begin"));
    try {
        // Desks opening at once bring it up to date one after the other.
        server.run(QStringLiteral("select pg_advisory_xact_lock($1)"),
                   {static_cast<qlonglong>(kApplicationId)});
        for (const QString& sql : serverUpgradeStatements()) {
            server.run(sql);
        }
        server.run(QStringLiteral("commit"));
    } catch (...) {
        rollback(server);
        throw;
    }
}

} // namespace khgl::server_transfer

#include "data_store/server_transfer.h"

#include "data_store/schema.h"
#include "data_store/server_connection.h"
#include "data_store/sqlite_store.h"
#include "data_store/statement.h"
#include "data_store/store_error.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

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

// Sums are compared with a tolerance: the server adds decimals exactly, SQLite in doubles.
bool sameFigures(const QString& a, const QString& b)
{
    const QStringList x = a.split(QLatin1Char(' '));
    const QStringList y = b.split(QLatin1Char(' '));
    if (x.size() != y.size()) {
        return false;
    }
    for (qsizetype i = 0; i < x.size(); ++i) {
        bool okA = false;
        bool okB = false;
        const double p = x[i].toDouble(&okA);
        const double q = y[i].toDouble(&okB);
        if (okA && okB) {
            if (std::abs(p - q) > 1e-6 * std::max({1.0, std::abs(p), std::abs(q)})) {
                return false;
            }
        } else if (x[i] != y[i]) {
            return false;
        }
    }
    return true;
}

QString figuresQuery(const TableSpec& table)
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
    });
}

QString fileFigures(const QString& path)
{
    Connection file(SqliteStore::openConnection(path, SQLITE_OPEN_READONLY));
    QStringList lines;
    for (const auto& table : allTables()) {
        Statement figures(file.db, figuresQuery(table));
        QStringList values{QString::fromUtf16(table.name)};
        if (figures.step()) {
            for (int c = 0; c < figures.columnCount(); ++c) {
                values << figureText(figures.value(c));
            }
        }
        lines << values.join(QLatin1Char(' '));
    }
    return lines.join(QLatin1Char('\n'));
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
        // Tables there already: acceptable only while they hold nothing.
        store.open();
        for (const auto& table : allTables()) {
            const QString name = QString::fromUtf16(table.name);
            if (store.select(QStringLiteral("select count(*) from ") + name)
                    .valueAt(0, 0)
                    .toLongLong() != 0) {
                throw StoreError(QStringLiteral("服务器上的%1已经有数据，没有迁移。请换一个空的"
                                                "数据库。")
                                     .arg(name));
            }
        }
    }
    loadFile(store, file);
    const QString before = fileFigures(file);
    const QString after = storeFigures(store);
    const QStringList a = before.split(QLatin1Char('\n'));
    const QStringList b = after.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!sameFigures(a[i], b.value(i))) {
            throw StoreError(QStringLiteral("迁移后的数据与原文件不符（%1 / %2），请检查服务器。")
                                 .arg(a[i], b.value(i)));
        }
    }
    return QStringLiteral("迁移完成，各表的记录数和金额与原文件一致：\n") + after;
}

} // namespace khgl::server_transfer

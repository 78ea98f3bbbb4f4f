// The store's calls answered by a PostgreSQL server (see ServerConnection).
#include "data_store/data_store.h"

#include "data_store/schema.h"
#include "data_store/server_connection.h"
#include "data_store/server_transfer.h"
#include "data_store/sql_dialect.h"
#include "data_store/store_error.h"

#include <bit>
#include <vector>

namespace khgl {
namespace {

QStringList serverColumns(ServerConnection& server, const QString& table)
{
    const ServerResult result =
        server.run(QStringLiteral("select column_name::text from information_schema.columns where "
                                  "table_schema = current_schema() and table_name = $1"),
                   {table});
    QStringList names;
    for (int r = 0; r < result.rows(); ++r) {
        names << result.value(r, 0).toString();
    }
    return names;
}

void rollback(ServerConnection& server)
{
    if (server.isOpen() && server.inTransaction()) {
        try {
            server.run(QStringLiteral("rollback"));
        } catch (const StoreError&) {
            // The connection went with the transaction: the server has dropped it already.
        }
    }
}

} // namespace

void DataStore::openServer()
{
    if (m_server->isOpen()) {
        return;
    }
    m_server->open();
    try {
        for (const auto& table : allTables()) {
            const QString name = QString::fromUtf16(table.name);
            const QStringList found = serverColumns(*m_server, name);
            if (found.isEmpty()) {
                throw StoreError(QStringLiteral("数据库服务器%1上还没有本系统的数据（缺少%2）。"
                                                "请先运行 khgl --init-server 建立数据表。")
                                     .arg(m_server->displayName(), name));
            }
            for (const auto& column : table.columns) {
                const QString wanted = QString::fromUtf16(column.name);
                if (!found.contains(wanted)) {
                    throw StoreError(QStringLiteral("数据库服务器%1不能使用：%2缺少“%3”一列。")
                                         .arg(m_server->displayName(), name, wanted));
                }
            }
        }
        server_transfer::upgradeServer(*m_server);
    } catch (...) {
        m_server->close();
        throw;
    }
    for (const auto& table : ownTables()) {
        try {
            m_server->run(serverCreateSql(table));
        } catch (const StoreError&) {
            // An account that may not create tables still serves everything else.
        }
    }
    if (!m_copyOnly) {
        prepareServerFigures();
    }
}

void DataStore::prepareServerFigures()
{
    m_figuresKept = false;
    try {
        m_server->run(QStringLiteral("begin"));
        // Desks opening at once create the triggers one after the other.
        m_server->run(QStringLiteral("select pg_advisory_xact_lock($1)"),
                      {static_cast<qlonglong>(kApplicationId)});
        for (const QString& sql : kept_figures::serverStatements()) {
            m_server->run(sql);
        }
        // The server's triggers have kept the figures since they were made, whoever wrote;
        // a table without figures yet is counted once.
        const ServerResult held = m_server->run(QStringLiteral("select 表名 from 表合计"));
        QStringList counted;
        for (int r = 0; r < held.rows(); ++r) {
            counted << held.value(r, 0).toString();
        }
        for (const char16_t* name : kept_figures::tables()) {
            const QString table = QString::fromUtf16(name);
            if (!counted.contains(table)) {
                m_server->run(kept_figures::recountSql(table, true));
            }
        }
        m_server->run(QStringLiteral("commit"));
        m_figuresKept = true;
    } catch (const StoreError&) {
        // An account that may not create triggers: the pages count and sum themselves.
        rollback(*m_server);
    }
}

void DataStore::createOnServer()
{
    m_server->close();
    m_server->open();
    for (const auto& table : allTables()) {
        if (!serverColumns(*m_server, QString::fromUtf16(table.name)).isEmpty()) {
            throw StoreError(QStringLiteral("数据库服务器%1上已经有本系统的数据表，没有新建。")
                                 .arg(m_server->displayName()));
        }
    }
    m_server->run(QStringLiteral("begin"));
    try {
        for (const QString& sql : serverSchemaStatements()) {
            m_server->run(sql);
        }
        m_server->run(QStringLiteral("commit"));
    } catch (...) {
        rollback(*m_server);
        throw;
    }
    m_server->close();
    openServer();
}

void DataStore::fillFromServer(RecordSet& set, const QString& sql)
{
    const ServerResult result = m_server->run(sql, set.m_params);
    const bool keyed = set.m_table || set.m_keyed;
    const int first = keyed ? 1 : 0;
    const int columns = result.columns() - first;
    for (int c = 0; c < columns; ++c) {
        set.m_names << result.columnName(c + first);
    }
    const int rows = result.rows();
    set.m_cells.reserve(static_cast<size_t>(rows) * static_cast<size_t>(std::max(columns, 0)));
    for (int r = 0; r < rows; ++r) {
        if (keyed) {
            set.m_keys.push_back(result.value(r, 0).toLongLong());
        }
        for (int c = 0; c < columns; ++c) {
            const int index = c + first;
            RecordSet::Cell cell;
            if (!result.isNull(r, index)) {
                if (result.isInteger(index) || result.isNumeric(index)) {
                    const QVariant number = result.value(r, index);
                    if (number.typeId() == QMetaType::LongLong) {
                        cell.type = RecordSet::CellType::Integer;
                        cell.payload = number.toLongLong();
                    } else {
                        cell.type = RecordSet::CellType::Real;
                        cell.payload = std::bit_cast<std::int64_t>(number.toDouble());
                    }
                } else {
                    int length = 0;
                    const char* text = result.text(r, index, &length);
                    cell.type = RecordSet::CellType::Text;
                    cell.payload = static_cast<std::int64_t>(set.m_text.size());
                    cell.length = static_cast<std::uint32_t>(length);
                    set.m_text.append(text, static_cast<size_t>(length));
                }
            }
            set.m_cells.push_back(cell);
        }
        ++set.m_rowCount;
    }
    set.m_position = 0;
}

qint64 DataStore::insertOnServer(const QString& sql, const QVariantList& values)
{
    return m_server->run(serverQuery(sql) + QStringLiteral(" returning rowid"), values)
        .value(0, 0)
        .toLongLong();
}

void DataStore::serverTransaction(const std::function<void()>& work)
{
    if (m_server->inTransaction()) {
        work(); // already inside one
        return;
    }
    m_server->run(QStringLiteral("begin"));
    try {
        // One writer at a time across all desks, as SQLite's "begin immediate" has it.
        m_server->run(QStringLiteral("select pg_advisory_xact_lock($1)"),
                      {static_cast<qlonglong>(kApplicationId)});
        work();
        m_server->run(QStringLiteral("commit"));
    } catch (...) {
        rollback(*m_server);
        throw;
    }
}

void DataStore::scanServer(const QString& sql, const RowVisitor& visit)
{
    const ServerResult result = m_server->run(sql);
    const bool withNumber = result.columns() > 1;
    for (int r = 0; r < result.rows(); ++r) {
        int length = 0;
        const char* text = result.isNull(r, 0) ? nullptr : result.text(r, 0, &length);
        visit(text, length, withNumber ? result.value(r, 1).toDouble() : 0.0);
    }
}

void DataStore::scanServerCells(const QString& sql, const QVariantList& params,
                                const CellRowVisitor& visit)
{
    // Numbers come as the server writes them: exact decimal text.
    const ServerResult result = m_server->run(sql, params);
    std::vector<ScanCell> cells(static_cast<std::size_t>(result.columns()));
    for (int r = 0; r < result.rows(); ++r) {
        for (std::size_t c = 0; c < cells.size(); ++c) {
            ScanCell& cell = cells[c];
            const int column = static_cast<int>(c);
            cell.length = 0;
            cell.text = result.isNull(r, column) ? nullptr : result.text(r, column, &cell.length);
        }
        visit(cells.data());
    }
}

void DataStore::scanServerKeys(const QString& sql, const QVariantList& params,
                               const std::function<bool(qint64)>& visit)
{
    // The server hands the whole answer over at once; the keys alone are small.
    const ServerResult result = m_server->run(sql, params);
    for (int r = 0; r < result.rows(); ++r) {
        if (!visit(result.value(r, 0).toLongLong())) {
            break;
        }
    }
}

} // namespace khgl

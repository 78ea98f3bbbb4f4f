#include "data_store/server_store.h"

#include "data_store/kept_figures.h"
#include "data_store/schema.h"
#include "data_store/server_backup.h"
#include "data_store/server_connection.h"
#include "data_store/server_transfer.h"
#include "data_store/sql_dialect.h"
#include "data_store/store_error.h"
#include "data_store/store_log.h"

#include <QFileInfo>
#include <algorithm>
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

// Runs one write; a failure goes to the log with its code (the server's words may quote a
// value the operator typed, so they stay out).
template <typename Work> auto logged(Work&& work) -> decltype(work())
{
    try {
        return work();
    } catch (const StoreError& error) {
        qCInfo(storeLog) << "write failed on the server: code" << error.code();
        throw;
    }
}

} // namespace

ServerStore::ServerStore(StoreAddress address)
    : DataStore(std::move(address)),
      m_server(std::make_unique<ServerConnection>(this->address().server, this->address().folder))
{
}

ServerStore::~ServerStore()
{
    close();
}

QString ServerStore::location() const
{
    return m_server->displayName();
}

void ServerStore::open()
{
    refuseWhileBusy();
    if (m_server->isOpen()) {
        return;
    }
    try {
        openServer();
    } catch (const StoreError& error) {
        qCInfo(storeLog).noquote()
            << "open refused: server" << location() << "code" << error.code();
        throw;
    }
    qCInfo(storeLog).noquote() << "store opened: server" << location()
                               << (m_copyOnly ? "for a copy" : "");
}

void ServerStore::close()
{
    m_server->close();
    m_figuresKept = false;
}

bool ServerStore::isOpen() const
{
    return m_server->isOpen();
}

void ServerStore::ensureOpen()
{
    refuseWhileBusy();
    open();
}

QString ServerStore::dialect(const QString& sql) const
{
    return serverQuery(sql);
}

void ServerStore::openServer()
{
    if (m_server->isOpen()) {
        return;
    }
    m_server->open();
    server_transfer::ServerState state;
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
        state = server_transfer::upgradeServer(*m_server, !m_copyOnly);
    } catch (...) {
        m_server->close();
        throw;
    }
    // A database from before one of the program's own tables gets it when opened.
    if (!state.current || !state.ownTables) {
        for (const auto& table : ownTables()) {
            try {
                m_server->run(serverCreateSql(table));
            } catch (const StoreError&) {
                // An account that may not create tables still serves everything else.
            }
        }
    }
    if (state.commitMarks) {
        m_server->useCommitCheck();
    } else {
        m_server->prepareCommitCheck();
    }
    // This version's triggers have kept the figures since they were made, whoever wrote.
    m_figuresKept = state.current && !m_copyOnly;
}

QStringList ServerStore::create()
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
    return {};
}

RecordSet ServerStore::fetch(const QString& sql, const QVariantList& params, bool keyed)
{
    const ServerResult result = m_server->run(sql, params);
    const int first = keyed ? 1 : 0;
    const int columns = result.columns() - first;
    QStringList names;
    for (int c = 0; c < columns; ++c) {
        names << result.columnName(c + first);
    }
    RecordSet::Builder set(std::move(names));
    const int rows = result.rows();
    set.reserveCells(static_cast<size_t>(rows) * static_cast<size_t>(std::max(columns, 0)));
    for (int r = 0; r < rows; ++r) {
        if (keyed) {
            set.key(result.value(r, 0).toLongLong());
        }
        for (int c = 0; c < columns; ++c) {
            const int index = c + first;
            if (result.isNull(r, index)) {
                set.null();
            } else if (result.isInteger(index) || result.isNumeric(index)) {
                const QVariant number = result.value(r, index);
                if (number.typeId() == QMetaType::LongLong) {
                    set.integer(number.toLongLong());
                } else {
                    set.real(number.toDouble());
                }
            } else {
                int length = 0;
                const char* text = result.text(r, index, &length);
                set.text(text, length);
            }
        }
        set.endRow();
    }
    return set.take();
}

qint64 ServerStore::insertStatement(const QString& sql, const QVariantList& values)
{
    qint64 key = 0;
    writeLocked(sql, [&] {
        key = logged([&] {
            return m_server->run(serverQuery(sql) + QStringLiteral(" returning rowid"), values)
                .value(0, 0)
                .toLongLong();
        });
    });
    return key;
}

// A write outside a transaction takes the write lock as a save does (the file's lock covers
// every write too): none can fall between a restore's safety copy and its load.
void ServerStore::writeLocked(const QString& sql, const std::function<void()>& write)
{
    ensureOpen();
    if (m_server->inTransaction() || !ServerConnection::isWrite(sql)) {
        write();
        return;
    }
    transaction(write);
}

void ServerStore::transaction(const std::function<void()>& work)
{
    ensureOpen();
    if (m_server->inTransaction()) {
        work(); // already inside one
        return;
    }
    m_server->run(QStringLiteral("begin"));
    try {
        // One writer at a time across all desks, as SQLite's "begin immediate" has it.
        server_backup::lockForWriting(*m_server);
        work();
        m_server->commit();
    } catch (...) {
        rollback(*m_server);
        throw;
    }
}

void ServerStore::bulkTransaction(const QStringList& tables, const std::function<void()>& work)
{
    QStringList counted;
    for (const char16_t* name : kept_figures::tables()) {
        if (tables.contains(QString::fromUtf16(name))) {
            counted << QString::fromUtf16(name);
        }
    }
    transaction([&] {
        if (!m_figuresKept || counted.isEmpty()) {
            work();
            return;
        }
        // Every statement would add a version of the table's one figures row: the triggers
        // stand aside and the tables are counted once, still under the write lock.
        m_server->run(QStringLiteral("select set_config('khgl.bulk', 'on', true)"));
        work();
        m_server->run(QStringLiteral("select set_config('khgl.bulk', 'off', true)"));
        for (const QString& table : counted) {
            for (const QString& sql : kept_figures::serverRecount(table)) {
                m_server->run(sql);
            }
        }
    });
}

void ServerStore::scan(const QString& sql, const RowVisitor& visit)
{
    ensureOpen();
    const ServerResult result = m_server->run(serverQuery(sql));
    const bool withNumber = result.columns() > 1;
    for (int r = 0; r < result.rows(); ++r) {
        int length = 0;
        const char* text = result.isNull(r, 0) ? nullptr : result.text(r, 0, &length);
        visit(text, length, withNumber ? result.value(r, 1).toDouble() : 0.0);
    }
}

void ServerStore::scanCells(const QString& sql, const QVariantList& params,
                            const CellRowVisitor& visit)
{
    ensureOpen();
    // Numbers come as the server writes them: exact decimal text.
    visitCells(m_server->run(serverQuery(sql), params), visit);
}

void ServerStore::scanKeys(const QString& sql, const QVariantList& params,
                           const std::function<bool(qint64)>& visit)
{
    ensureOpen();
    // The server hands the whole answer over at once; the keys alone are small.
    const ServerResult result = m_server->run(serverQuery(sql), params);
    for (int r = 0; r < result.rows(); ++r) {
        if (!visit(result.value(r, 0).toLongLong())) {
            break;
        }
    }
}

void ServerStore::emptyTable(const QString& table)
{
    if (findTable(table) == nullptr) {
        throw StoreError(QStringLiteral("没有“%1”这个表。").arg(table));
    }
    // The server's delete trigger keeps the figures, once for the statement.
    execute(QStringLiteral("delete from ") + table);
}

void ServerStore::execute(const QString& sql, const QVariantList& params)
{
    ensureOpen();
    if (sql.trimmed().startsWith(QStringLiteral("pragma"), Qt::CaseInsensitive)) {
        return; // settings of SQLite's file; the server has its own
    }
    writeLocked(sql, [&] { logged([&] { m_server->run(serverQuery(sql), params); }); });
}

void ServerStore::executeEach(const QString& sql, const std::vector<QVariantList>& rows)
{
    ensureOpen();
    const QString query = serverQuery(sql);
    writeLocked(sql, [&] {
        logged([&] {
            for (const QVariantList& params : rows) {
                m_server->run(query, params);
            }
        });
    });
}

void ServerStore::writeSnapshot(const QString& target, const Progress& progress)
{
    // A server's backup is an ordinary file of this program, restorable anywhere.
    server_backup::writeFile(*this, target);
    if (progress) {
        progress(QFileInfo(target).size());
    }
}

void ServerStore::replaceWith(const QString& clean, const std::function<void()>& beforeSwap)
{
    // One transaction on the server: all of the rows, or none. The safety copy is read under
    // its write lock, so it holds every row the load replaces.
    server_backup::loadFile(*this, clean, beforeSwap);
}

void visitCells(const ServerResult& result, const DataStore::CellRowVisitor& visit)
{
    std::vector<DataStore::ScanCell> cells(static_cast<std::size_t>(result.columns()));
    for (int r = 0; r < result.rows(); ++r) {
        for (std::size_t c = 0; c < cells.size(); ++c) {
            DataStore::ScanCell& cell = cells[c];
            const int column = static_cast<int>(c);
            cell.length = 0;
            cell.text = result.isNull(r, column) ? nullptr : result.text(r, column, &cell.length);
        }
        visit(cells.data());
    }
}

} // namespace khgl

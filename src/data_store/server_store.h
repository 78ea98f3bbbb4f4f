#pragma once

#include "data_store/data_store.h"

#include <memory>

namespace khgl {

class ServerConnection;
class ServerResult;

// One connection to a PostgreSQL database holding the shop's tables (see ServerConnection);
// the data folder keeps only the other files (backups, customer files).
class ServerStore final : public DataStore
{
public:
    explicit ServerStore(StoreAddress address);
    ~ServerStore() override;

    QString location() const override;
    bool fileExists() const override { return true; } // the server says what it holds
    QStringList create() override;
    void open() override;
    void close() override;
    bool isOpen() const override;
    void scanKeys(const QString& sql, const QVariantList& params,
                  const std::function<bool(qint64)>& visit) override;
    bool streamsRows() const override { return false; }
    bool sharedByDesks() const override { return true; }
    void emptyTable(const QString& table) override;
    void execute(const QString& sql, const QVariantList& params = {}) override;
    void executeEach(const QString& sql, const std::vector<QVariantList>& rows) override;
    void transaction(const std::function<void()>& work) override;
    void bulkTransaction(const QStringList& tables, const std::function<void()>& work) override;
    void scan(const QString& sql, const RowVisitor& visit) override;
    void scanCells(const QString& sql, const QVariantList& params,
                   const CellRowVisitor& visit) override;
    void writeSnapshot(const QString& target, const Progress& progress) override;
    void replaceWith(const QString& clean, const std::function<void()>& beforeSwap) override;

protected:
    void ensureOpen() override;
    QString dialect(const QString& sql) const override;
    RecordSet fetch(const QString& sql, const QVariantList& params, bool keyed) override;
    qint64 insertStatement(const QString& sql, const QVariantList& values) override;

private:
    void openServer();
    void writeLocked(const QString& sql, const std::function<void()>& write);

    std::unique_ptr<ServerConnection> m_server;
};

// Hands each row of a server's answer to visit, every cell as text (nullptr for null).
void visitCells(const ServerResult& result, const DataStore::CellRowVisitor& visit);

} // namespace khgl

#include "data_store/server_connection.h"

#include "data_store/failure_text.h"
#include "data_store/store_error.h"
#include "data_store/store_log.h"
#include "data_store/values.h"

#include <libpq-fe.h>

#include <QByteArray>
#include <QDate>
#include <vector>

namespace khgl {
namespace {

// Type numbers of the server's built-in types (pg_type.oid).
constexpr Oid kBool = 16;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

QString lostText(const QString& server)
{
    return QStringLiteral("与数据库服务器%1的连接中断，刚才的操作没有写入任何数据。请检查网络和"
                          "服务器，再重做一次（程序会自动重新连接）。")
        .arg(server);
}

QString serverMessage(const char* text)
{
    return QString::fromUtf8(text).trimmed();
}

} // namespace

void ServerResult::Free::operator()(pg_result* result) const
{
    PQclear(result);
}

ServerResult::ServerResult(pg_result* result) : m_result(result) {}

int ServerResult::rows() const
{
    return PQntuples(m_result.get());
}

int ServerResult::columns() const
{
    return PQnfields(m_result.get());
}

QString ServerResult::columnName(int column) const
{
    return QString::fromUtf8(PQfname(m_result.get(), column));
}

bool ServerResult::isNull(int row, int column) const
{
    return PQgetisnull(m_result.get(), row, column) != 0;
}

const char* ServerResult::text(int row, int column, int* length) const
{
    *length = PQgetlength(m_result.get(), row, column);
    return PQgetvalue(m_result.get(), row, column);
}

bool ServerResult::isInteger(int column) const
{
    const Oid type = PQftype(m_result.get(), column);
    return type == kInt8 || type == kInt4 || type == kInt2 || type == kBool;
}

bool ServerResult::isNumeric(int column) const
{
    const Oid type = PQftype(m_result.get(), column);
    return type == kNumeric || type == kFloat4 || type == kFloat8;
}

QVariant ServerResult::value(int row, int column) const
{
    if (isNull(row, column)) {
        return {};
    }
    int length = 0;
    const char* data = text(row, column, &length);
    if (PQftype(m_result.get(), column) == kBool) {
        return QVariant(static_cast<qlonglong>(data[0] == 't' ? 1 : 0));
    }
    const QByteArray bytes = QByteArray::fromRawData(data, length);
    if (isInteger(column)) {
        return QVariant(bytes.toLongLong());
    }
    if (isNumeric(column)) {
        // A whole number reads back as an integer, as SQLite's numeric columns keep it.
        bool whole = false;
        const double number = bytes.toDouble();
        const qlonglong integer = bytes.toLongLong(&whole);
        if (whole) {
            return QVariant(integer);
        }
        const qsizetype point = bytes.indexOf('.');
        if (point > 0 && bytes.indexOf('e') < 0 && bytes.indexOf('E') < 0) {
            bool zeros = true;
            for (qsizetype i = point + 1; i < bytes.size(); ++i) {
                zeros = zeros && bytes[i] == '0';
            }
            if (zeros && std::abs(number) < 9.0e18) {
                return QVariant(static_cast<qlonglong>(number));
            }
        }
        return QVariant(number);
    }
    return QString::fromUtf8(data, length);
}

ServerConnection::ServerConnection(QString conninfo) : m_conninfo(std::move(conninfo)) {}

ServerConnection::~ServerConnection()
{
    close();
}

bool ServerConnection::isServerAddress(const QString& text)
{
    const QString t = text.trimmed();
    return t.startsWith(QStringLiteral("postgresql://")) ||
           t.startsWith(QStringLiteral("postgres://")) || t.contains(QLatin1Char('='));
}

QString ServerConnection::withDatabase(const QString& conninfo, const QString& database)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (options == nullptr) {
        const QString reason = error ? serverMessage(error) : QString();
        PQfreemem(error);
        throw StoreError(QStringLiteral("数据库服务器地址无效：%1").arg(reason));
    }
    QStringList parts;
    const auto quote = [](QString value) -> QString {
        value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        value.replace(QLatin1Char('\''), QStringLiteral("\\'"));
        return QLatin1Char('\'') + value + QLatin1Char('\'');
    };
    for (PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
        const QString keyword = QString::fromUtf8(option->keyword);
        if (keyword == QStringLiteral("dbname")) {
            continue;
        }
        if (option->val != nullptr) {
            parts << keyword + QLatin1Char('=') + quote(QString::fromUtf8(option->val));
        }
    }
    PQconninfoFree(options);
    parts << QStringLiteral("dbname=") + quote(database);
    return parts.join(QLatin1Char(' '));
}

QString ServerConnection::displayName() const
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(m_conninfo.toUtf8().constData(), &error);
    PQfreemem(error);
    QString host;
    QString port;
    QString database;
    for (PQconninfoOption* option = options; option && option->keyword; ++option) {
        const QString keyword = QString::fromUtf8(option->keyword);
        const QString value = option->val ? QString::fromUtf8(option->val) : QString();
        if (keyword == QStringLiteral("host")) {
            host = value;
        } else if (keyword == QStringLiteral("port")) {
            port = value;
        } else if (keyword == QStringLiteral("dbname")) {
            database = value;
        }
    }
    PQconninfoFree(options);
    if (host.isEmpty()) {
        host = QStringLiteral("localhost");
    }
    return QStringLiteral("“%1%2/%3”")
        .arg(host, port.isEmpty() ? QString() : QLatin1Char(':') + port, database);
}

void ServerConnection::open()
{
    if (m_conn != nullptr) {
        return;
    }
    PGconn* conn = PQconnectdb(m_conninfo.toUtf8().constData());
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString reason = serverMessage(PQerrorMessage(conn));
        PQfinish(conn);
        throw StoreError(
            QStringLiteral("无法连接数据库服务器%1，请检查网络和服务器后再试。\n（%2）")
                .arg(displayName(), reason),
            kServerUnreachable);
    }
    PQsetClientEncoding(conn, "UTF8");
    m_conn = conn;
    // Messages the server sends back are for whoever helps the operator; keep them quiet
    // and the dates and numbers in the forms this program writes.
    PQclear(PQexec(m_conn, "set client_min_messages = warning"));
    PQclear(PQexec(m_conn, "set extra_float_digits = 1"));
}

void ServerConnection::close()
{
    if (m_conn != nullptr) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
}

bool ServerConnection::inTransaction() const
{
    return m_conn != nullptr && PQtransactionStatus(m_conn) != PQTRANS_IDLE;
}

ServerResult ServerConnection::run(const QString& sql, const QVariantList& params)
{
    open();
    const QByteArray text = sql.toUtf8();
    std::vector<QByteArray> values;
    values.reserve(static_cast<size_t>(params.size()));
    std::vector<const char*> pointers;
    for (const QVariant& value : params) {
        if (value.isNull()) {
            values.emplace_back();
            pointers.push_back(nullptr);
            continue;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
            values.push_back(value.toBool() ? "1" : "0");
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            values.push_back(QByteArray::number(value.toDouble(), 'g', 17));
            break;
        case QMetaType::QDate:
            values.push_back(isoDateText(value.toDate()).toUtf8());
            break;
        default:
            values.push_back(storedText(value));
        }
        pointers.push_back(values.back().constData());
    }
    PGresult* result = PQexecParams(m_conn, text.constData(), static_cast<int>(pointers.size()),
                                    nullptr, pointers.data(), nullptr, nullptr, 0);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        fail(result, sql);
    }
    return ServerResult(result);
}

void ServerConnection::fail(pg_result* result, const QString& sql)
{
    const QString state =
        result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    const QString reason = result ? serverMessage(PQresultErrorMessage(result))
                                  : serverMessage(PQerrorMessage(m_conn));
    const QString primary =
        result ? serverMessage(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) : QString();
    PQclear(result);
    if (state == QStringLiteral("42501")) {
        qCWarning(storeLog) << "server refused a right:" << reason;
        throw StoreError(missingRightText(primary, sql));
    }
    if (PQstatus(m_conn) != CONNECTION_OK || state.startsWith(QStringLiteral("08")) ||
        state.startsWith(QStringLiteral("57P"))) {
        // Whatever the transaction held is rolled back by the server; start afresh next time.
        close();
        throw StoreError(lostText(displayName()) + QStringLiteral("\n（%1）").arg(reason),
                         kServerUnreachable);
    }
    if (state == QStringLiteral("40001") || state == QStringLiteral("40P01") ||
        state == QStringLiteral("55P03")) {
        throw StoreError(
            QStringLiteral("其他电脑正在修改同一批数据，数据没有写入，请稍后再试。\n（%1）")
                .arg(reason),
            kServerBusy);
    }
    throw StoreError(QStringLiteral("数据操作失败：%1").arg(reason));
}

} // namespace khgl

#include "data_store/server_connection.h"

#include "data_store/desk_file.h"
#include "data_store/failure_text.h"
#include "data_store/store_error.h"
#include "data_store/store_log.h"
#include "data_store/values.h"

#include <arpa/inet.h>
#include <libpq-fe.h>
#include <poll.h>

#include <QByteArray>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
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

// Silence on a statement's connection before a fresh connection asks if the server lives.
std::atomic<int> quietBeforeProbe{ServerConnection::kQuietBeforeProbe * 1000};

// Waits up to ms for the socket to be readable (or writable, with out): poll()'s count.
int awaitSocket(int socket, int ms, bool out = false)
{
    pollfd entry{socket, static_cast<short>(POLLIN | (out ? POLLOUT : 0)), 0};
    const int ready = ::poll(&entry, 1, std::max(ms, 0));
    return ready < 0 && errno == EINTR ? 0 : ready;
}

// A statement that writes nothing even when it runs on its own.
bool writesNothing(const QString& sql)
{
    const QString start = sql.trimmed().left(8).toLower();
    return start.startsWith(QStringLiteral("select")) || start.startsWith(QStringLiteral("set")) ||
           start.startsWith(QStringLiteral("show")) || start.startsWith(QStringLiteral("begin")) ||
           start.startsWith(QStringLiteral("rollback"));
}

QString lostText(const QString& server)
{
    return QStringLiteral("与数据库服务器%1的连接中断，刚才的操作没有写入任何数据。请检查网络和"
                          "服务器，再重做一次（程序会自动重新连接）。")
        .arg(server);
}

// The shortest text that reads back as the same double: 52.77, never 52.770000000000003,
// which a numeric column would keep digit for digit.
QByteArray shortestText(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QByteArray(text, static_cast<qsizetype>(end - text));
}

QString serverMessage(const char* text)
{
    return QString::fromUtf8(text).trimmed();
}

// The connection options written in a connection text (none of libpq's defaults); empty when
// libpq cannot read the text.
QHash<QString, QString> writtenOptions(const QString& conninfo)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    PQfreemem(error);
    QHash<QString, QString> written;
    for (PQconninfoOption* option = options; option && option->keyword; ++option) {
        if (option->val != nullptr) {
            written.insert(QString::fromUtf8(option->keyword), QString::fromUtf8(option->val));
        }
    }
    PQconninfoFree(options);
    return written;
}

bool readable(const QString& conninfo)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    PQfreemem(error); // may quote any part of the text, the password too
    PQconninfoFree(options);
    return options != nullptr;
}

// The options of one section of a service file (pg_service.conf); empty without one.
QHash<QString, QString> serviceSection(const QString& path, const QString& service)
{
    QHash<QString, QString> found;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return found;
    }
    bool inside = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('['))) {
            if (inside) {
                break;
            }
            inside = line == QLatin1Char('[') + service + QLatin1Char(']');
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inside && equals > 0) {
            found.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
        }
    }
    return found;
}

// What libpq will use: the written options, then the named service's (the user's service file
// first, then the system's), then the environment, as libpq fills them in.
QHash<QString, QString> usedOptions(const QString& conninfo)
{
    QHash<QString, QString> used = writtenOptions(conninfo);
    const QString service =
        used.value(QStringLiteral("service"), qEnvironmentVariable("PGSERVICE"));
    if (!service.isEmpty()) {
        QString userFile = qEnvironmentVariable("PGSERVICEFILE");
        if (userFile.isEmpty() && !qEnvironmentVariable("HOME").isEmpty()) {
            userFile = qEnvironmentVariable("HOME") + QStringLiteral("/.pg_service.conf");
        }
        QHash<QString, QString> section = serviceSection(userFile, service);
        if (section.isEmpty()) {
            const QString folder =
                qEnvironmentVariable("PGSYSCONFDIR", QStringLiteral("/etc/postgresql-common"));
            section = serviceSection(folder + QStringLiteral("/pg_service.conf"), service);
        }
        for (auto it = section.cbegin(); it != section.cend(); ++it) {
            if (!used.contains(it.key())) {
                used.insert(it.key(), it.value());
            }
        }
    }
    static const std::pair<const char*, const char*> environment[] = {{"host", "PGHOST"},
                                                                      {"hostaddr", "PGHOSTADDR"},
                                                                      {"port", "PGPORT"},
                                                                      {"dbname", "PGDATABASE"},
                                                                      {"sslmode", "PGSSLMODE"}};
    for (const auto& [key, variable] : environment) {
        const QString name = QString::fromLatin1(key);
        if (!used.contains(name) && qEnvironmentVariableIsSet(variable)) {
            used.insert(name, qEnvironmentVariable(variable));
        }
    }
    return used;
}

// A Unix socket, or an address of this computer: nothing travels over a network.
bool isLocalHost(const QString& host)
{
    if (host.isEmpty() || host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@')) ||
        host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QByteArray text = host.toLatin1();
    unsigned char address[16] = {};
    if (inet_pton(AF_INET, text.constData(), address) == 1) {
        return address[0] == 127;
    }
    if (inet_pton(AF_INET6, text.constData(), address) == 1) {
        static const unsigned char loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        return std::equal(std::begin(address), std::end(address), std::begin(loopback));
    }
    return false;
}

bool onThisComputer(const QHash<QString, QString>& options)
{
    // hostaddr, where given, is where the connection goes; host then only names it.
    const QString hosts =
        options.value(QStringLiteral("hostaddr"), options.value(QStringLiteral("host")));
    const QStringList each = hosts.split(QLatin1Char(','));
    return std::all_of(each.begin(), each.end(),
                       [](const QString& host) { return isLocalHost(host.trimmed()); });
}

bool encryptedMode(const QString& sslmode)
{
    return sslmode == QStringLiteral("require") || sslmode == QStringLiteral("verify-ca") ||
           sslmode == QStringLiteral("verify-full");
}

QString clearTextKey(const QString& conninfo)
{
    return QStringLiteral("clear-text ") + ServerConnection::serverKey(conninfo);
}

QString unreadableAddressText()
{
    return QStringLiteral("数据库服务器地址无效：程序读不出其中的各项。请检查 khgl.conf 中的"
                          "地址，特别是 % 后面须是两位十六进制数字（如 %40 表示 @），引号须成对。");
}

QString clearTextText(const QString& server, const QString& why)
{
    return QStringLiteral("到数据库服务器%1的连接不会加密：%2登录密码和网店的全部数据（客户、"
                          "进货、销售）将以明文经过网络，同一网络中的人可以看到甚至改动它们。")
        .arg(server, why);
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

ServerConnection::ServerConnection(QString conninfo, QString deskFolder)
    : m_conninfo(std::move(conninfo)), m_deskFolder(std::move(deskFolder))
{
}

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
    PQfreemem(error); // may quote the password
    if (options == nullptr) {
        throw StoreError(unreadableAddressText());
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

QString ServerConnection::displayNameOf(const QString& conninfo)
{
    if (!readable(conninfo)) {
        return QStringLiteral("（地址无法读出）");
    }
    const QHash<QString, QString> options = usedOptions(conninfo);
    const QString host = options.value(QStringLiteral("host"));
    const QString address = options.value(QStringLiteral("hostaddr"));
    // hostaddr is where the connection goes; a host beside it only names the server.
    QString shown = host.isEmpty() ? address : host;
    if (!host.isEmpty() && !address.isEmpty() && address != host) {
        shown += QStringLiteral("（%1）").arg(address);
    }
    if (shown.isEmpty()) {
        shown = QStringLiteral("localhost");
    }
    const QString port = options.value(QStringLiteral("port"));
    return QStringLiteral("“%1%2/%3”")
        .arg(shown, port.isEmpty() ? QString() : QLatin1Char(':') + port,
             options.value(QStringLiteral("dbname")));
}

QString ServerConnection::serverKey(const QString& conninfo)
{
    const QHash<QString, QString> options = usedOptions(conninfo);
    return options.value(QStringLiteral("hostaddr"), options.value(QStringLiteral("host"))) +
           QLatin1Char(':') + options.value(QStringLiteral("port"), QStringLiteral("5432"));
}

void ServerConnection::allowClearText(const QString& deskFolder, const QString& conninfo,
                                      bool allowed)
{
    desk_file::setAnswer(deskFolder, clearTextKey(conninfo),
                         allowed ? QStringLiteral("yes") : QStringLiteral("no"));
}

// True when the connection must insist on TLS; throws when it would travel in clear text
// and this desk has not agreed to that.
bool ServerConnection::requireTls() const
{
    const QHash<QString, QString> options = usedOptions(m_conninfo);
    const QString sslmode = options.value(QStringLiteral("sslmode"));
    if (onThisComputer(options) || encryptedMode(sslmode)) {
        return false;
    }
    // On the command line the administrator's own sslmode is the answer.
    const QString answer = m_deskFolder.isEmpty()
                               ? (sslmode.isEmpty() ? QString() : QStringLiteral("yes"))
                               : desk_file::answer(m_deskFolder, clearTextKey(m_conninfo));
    if (answer == QStringLiteral("yes")) {
        return false;
    }
    if (answer == QStringLiteral("no")) {
        throw StoreError(clearTextText(displayName(), QString()) +
                         QStringLiteral("\n这台电脑以前选择了不这样连接。要改变，请在数据文件夹的 "
                                        "%1 中删去这台服务器的一行，或在地址中写 "
                                        "sslmode=require。")
                             .arg(desk_file::answersName()));
    }
    if (sslmode.isEmpty()) {
        return true;
    }
    throw StoreError(clearTextText(displayName(),
                                   QStringLiteral("地址中的 sslmode=%1 允许不加密。").arg(sslmode)),
                     kServerClearText);
}

pg_conn* ServerConnection::connectNew(int timeoutSeconds) const
{
    // Ours first: what the connection text itself says comes after and wins.
    const QByteArray connectTimeout = QByteArray::number(timeoutSeconds);
    const QByteArray conninfo = m_conninfo.toUtf8();
    std::vector<const char*> keys{
        "connect_timeout",  "keepalives",       "keepalives_idle", "keepalives_interval",
        "keepalives_count", "tcp_user_timeout", "dbname"};
    std::vector<const char*> values{connectTimeout.constData(), "1", "10", "3", "3", "15000",
                                    conninfo.constData()};
    if (m_tls) {
        keys.push_back("sslmode");
        values.push_back("require");
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    return PQconnectdbParams(keys.data(), values.data(), 1);
}

void ServerConnection::open()
{
    if (m_conn != nullptr) {
        return;
    }
    if (!readable(m_conninfo)) {
        // libpq's own message quotes the part it could not read, which may be the password.
        qCWarning(storeLog) << "the server address cannot be read";
        throw StoreError(unreadableAddressText(), kServerUnreachable);
    }
    m_tls = requireTls();
    const bool tls = m_tls;
    PGconn* conn = connectNew(kConnectTimeout);
    if (PQstatus(conn) != CONNECTION_OK) {
        QString reason = serverMessage(PQerrorMessage(conn));
        PQfinish(conn);
        const QString password = usedOptions(m_conninfo).value(QStringLiteral("password"));
        if (!password.isEmpty()) {
            reason.replace(password, QStringLiteral("***"));
        }
        qCWarning(storeLog).noquote() << "cannot connect to" << displayName() << reason;
        if (tls && reason.contains(QStringLiteral("SSL"))) {
            throw StoreError(
                clearTextText(displayName(), QStringLiteral("这台服务器不提供加密连接（TLS）。")),
                kServerClearText);
        }
        throw StoreError(
            QStringLiteral("无法连接数据库服务器%1，请检查网络和服务器后再试。\n（%2）")
                .arg(displayName(), reason),
            kServerUnreachable);
    }
    PQsetClientEncoding(conn, "UTF8");
    m_conn = conn;
    // Messages the server sends back are for whoever helps the operator; keep them quiet
    // and the dates and numbers in the forms this program writes. No wait is endless:
    // another desk's lock, a desk that stopped inside a transaction, one long statement.
    const QByteArray settings =
        QStringLiteral("set client_min_messages = warning; set extra_float_digits = 1; "
                       "set lock_timeout = '%1s'; set idle_in_transaction_session_timeout = "
                       "'%2s'; set statement_timeout = '%3s'")
            .arg(kLockTimeout)
            .arg(kIdleInTransaction)
            .arg(kStatementTimeout)
            .toUtf8();
    PQclear(
        exchange(QStringLiteral("set"), [&] { return PQsendQuery(m_conn, settings.constData()); }));
    // The log names every connection after the first, and any that crosses a network.
    if (m_everConnected || !onThisComputer(usedOptions(m_conninfo))) {
        qCInfo(storeLog).noquote()
            << (m_everConnected ? "reconnected to" : "connected to") << displayName()
            << (PQsslInUse(m_conn) ? "with TLS" : "without TLS");
    }
    m_everConnected = true;
}

QString ServerConnection::limitIdleTransactions()
{
    try {
        QString name = run(QStringLiteral("select current_database()")).value(0, 0).toString();
        name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        run(QStringLiteral("alter database \"%1\" set idle_in_transaction_session_timeout = "
                           "'%2s'")
                .arg(name)
                .arg(kIdleInTransaction));
        return QStringLiteral("停在事务中超过%1秒的连接会被服务器断开，它占用的锁随之释放。")
            .arg(kIdleInTransaction);
    } catch (const StoreError& error) {
        qCWarning(storeLog).noquote() << "database time limit not set:" << error.message();
        return QStringLiteral("注意：这个账号无权为数据库设置空闲事务时限（需要数据库的所有者执行 "
                              "ALTER DATABASE … SET idle_in_transaction_session_timeout = "
                              "'%1s'）；本程序的连接仍会自己设置这个时限。")
            .arg(kIdleInTransaction);
    }
}

void ServerConnection::prepareCommitCheck()
{
    try {
        run(QStringLiteral("create table if not exists 提交记号 (记号 text primary key, 时间 "
                           "timestamptz not null default now())"));
        m_commitCheck = true;
    } catch (const StoreError& error) {
        m_commitCheck = false;
        qCWarning(storeLog).noquote() << "no commit marks:" << error.message();
    }
}

void ServerConnection::commit()
{
    if (!m_commitCheck) {
        run(QStringLiteral("commit"));
        return;
    }
    const QString mark = QString::number(QRandomGenerator::system()->generate64(), 36) +
                         QString::number(QRandomGenerator::system()->generate64(), 36);
    // A mark is looked for only right after its commit: an hour keeps the table small.
    run(QStringLiteral("delete from 提交记号 where 时间 < now() - interval '1 hour'"));
    run(QStringLiteral("insert into 提交记号 (记号) values ($1)"), {mark});
    const int backend = PQbackendPID(m_conn);
    try {
        run(QStringLiteral("commit"));
        return;
    } catch (const StoreError& error) {
        if (error.code() != kServerUnreachable) {
            throw;
        }
    }
    bool arrived = false;
    try {
        arrived = markArrived(mark, backend);
    } catch (const StoreError& error) {
        qCWarning(storeLog).noquote() << "commit outcome unknown:" << error.message();
        throw StoreError(
            QStringLiteral("与数据库服务器%1的连接在保存的最后一步中断，现在还连不上，无法确认"
                           "这次操作是否已经写入。请在服务器恢复后先查看记录，再决定是否重做，"
                           "以免重复。")
                .arg(displayName()),
            kServerCommitUnknown);
    }
    if (arrived) {
        qCInfo(storeLog) << "commit reply lost; reconnected: the server had committed";
        return;
    }
    qCInfo(storeLog) << "commit lost; reconnected: nothing was written";
    throw StoreError(QStringLiteral("与数据库服务器%1的连接在保存时中断。已重新连接并核对：这次"
                                    "操作没有写入任何数据，请再做一次。")
                         .arg(displayName()),
                     kServerUnreachable);
}

// Connects again and tells whether the commit carrying mark reached the server. The old
// session is ended first (and waited for), so it cannot still commit after the look.
bool ServerConnection::markArrived(const QString& mark, int oldBackend)
{
    open();
    run(QStringLiteral("select pg_terminate_backend(pid, 5000) from pg_stat_activity where "
                       "pid = $1"),
        {oldBackend});
    return run(QStringLiteral("select count(*) from 提交记号 where 记号 = $1"), {mark})
               .value(0, 0)
               .toLongLong() > 0;
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

// A write outside any transaction is made one of its own, carrying a mark: when its reply
// is lost, commit() finds out whether it was written.
ServerResult ServerConnection::run(const QString& sql, const QVariantList& params)
{
    open();
    if (!m_commitCheck || inTransaction() || !isWrite(sql)) {
        return runPlain(sql, params);
    }
    runPlain(QStringLiteral("begin"));
    try {
        ServerResult result = runPlain(sql, params);
        commit();
        return result;
    } catch (...) {
        if (inTransaction()) {
            try {
                runPlain(QStringLiteral("rollback"));
            } catch (const StoreError&) {
                // The connection went with the transaction.
            }
        }
        throw;
    }
}

bool ServerConnection::isWrite(const QString& sql)
{
    const QString start = sql.trimmed().left(7).toLower();
    return start.startsWith(QStringLiteral("insert")) ||
           start.startsWith(QStringLiteral("update")) || start.startsWith(QStringLiteral("delete"));
}

ServerResult ServerConnection::runPlain(const QString& sql, const QVariantList& params)
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
            values.push_back(shortestText(value.toDouble()));
            break;
        case QMetaType::QDate:
            values.push_back(isoDateText(value.toDate()).toUtf8());
            break;
        default:
            values.push_back(storedText(value));
        }
        pointers.push_back(values.back().constData());
    }
    PGresult* result = exchange(sql, [&] {
        return PQsendQueryParams(m_conn, text.constData(), static_cast<int>(pointers.size()),
                                 nullptr, pointers.data(), nullptr, nullptr, 0);
    });
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        fail(result, sql);
    }
    return ServerResult(result);
}

void ServerConnection::setQuietBeforeProbe(int milliseconds)
{
    quietBeforeProbe = milliseconds;
}

// Sends one statement and collects its results as PQexec does. A server stopped after the
// connection was made (SIGSTOP, a hung machine) keeps the TCP connection alive, so neither
// keepalives nor tcp_user_timeout end the wait: while the reply stays silent, a fresh short
// connection asks whether the server is alive, and only a server that does not answer it
// ends the wait. A long statement of a living server is never cut here.
PGresult* ServerConnection::exchange(const QString& sql, const std::function<int()>& send)
{
    // Where the server rolls back whatever the statement did once the connection is gone.
    const bool nothingWritten =
        writesNothing(sql) || (PQtransactionStatus(m_conn) == PQTRANS_INTRANS &&
                               !sql.trimmed().startsWith(QStringLiteral("commit")));
    PQsetnonblocking(m_conn, 1);
    if (send() == 0) {
        PQsetnonblocking(m_conn, 0);
        return nullptr;
    }
    PGresult* last = nullptr;
    for (;;) {
        if (!awaitReply()) {
            PQclear(last);
            giveUp(nothingWritten);
        }
        if (PQstatus(m_conn) == CONNECTION_BAD) {
            // The reason is in PQerrorMessage; asking for a result now would only add to it.
            PQclear(last);
            return nullptr;
        }
        PGresult* next = PQgetResult(m_conn);
        if (next == nullptr) {
            break;
        }
        const ExecStatusType status = PQresultStatus(next);
        if (last != nullptr && PQresultStatus(last) == PGRES_FATAL_ERROR) {
            PQclear(next); // the error is what the caller must hear
        } else {
            PQclear(last);
            last = next;
        }
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH ||
            PQstatus(m_conn) == CONNECTION_BAD) {
            break;
        }
    }
    PQsetnonblocking(m_conn, 0);
    return last;
}

// Sends what is left of the statement and reads until a result is complete. False when the
// reply stayed silent and the server did not answer a fresh connection either.
bool ServerConnection::awaitReply()
{
    QElapsedTimer quiet;
    quiet.start();
    for (;;) {
        const int unsent = PQflush(m_conn);
        const int socket = PQsocket(m_conn);
        if (unsent < 0 || socket < 0 || (unsent == 0 && PQisBusy(m_conn) == 0)) {
            return true; // done, or broken: PQgetResult tells which
        }
        const qint64 left = quietBeforeProbe - quiet.elapsed();
        if (left <= 0) {
            if (!serverAnswers()) {
                return false;
            }
            quiet.restart();
            continue;
        }
        const int ready = awaitSocket(socket, static_cast<int>(left), unsent > 0);
        if (ready < 0) {
            return true;
        }
        if (ready > 0) {
            quiet.restart();
            if (PQconsumeInput(m_conn) == 0) {
                return true;
            }
        }
    }
}

void ServerConnection::awaitTraffic(bool sending, bool nothingWritten)
{
    QElapsedTimer quiet;
    quiet.start();
    for (;;) {
        const int socket = PQsocket(m_conn);
        if (socket < 0) {
            return;
        }
        const qint64 left = quietBeforeProbe - quiet.elapsed();
        if (left <= 0) {
            if (!serverAnswers()) {
                giveUp(nothingWritten);
            }
            quiet.restart();
            continue;
        }
        if (awaitSocket(socket, static_cast<int>(left), sending) != 0) {
            return;
        }
    }
}

// Asks a fresh short connection whether the server is alive. A server that refuses it at
// once (too many connections, a changed rule) has answered: only silence counts as dead.
bool ServerConnection::serverAnswers() const
{
    QElapsedTimer clock;
    clock.start();
    const int limit = kProbeTimeout * 1000;
    PGconn* probe = connectNew(kProbeTimeout);
    bool silent = false;
    if (PQstatus(probe) != CONNECTION_OK) {
        // libpq counts its connect time-out in whole seconds.
        silent = clock.elapsed() >= limit - 1100;
    } else if (PQsendQuery(probe, "select 1") == 1) {
        while (!silent && PQisBusy(probe) != 0) {
            const int ready =
                awaitSocket(PQsocket(probe), limit - static_cast<int>(clock.elapsed()));
            silent = ready == 0 && clock.elapsed() >= limit;
            if (ready < 0 || (ready > 0 && PQconsumeInput(probe) == 0)) {
                break;
            }
        }
        if (!silent) {
            PQclear(PQgetResult(probe));
        }
    }
    PQfinish(probe);
    return !silent;
}

void ServerConnection::giveUp(bool nothingWritten)
{
    qCWarning(storeLog).noquote() << "no reply from" << displayName() << "for"
                                  << quietBeforeProbe / 1000
                                  << "s and no answer to a fresh connection: connection closed";
    close();
    const QString silent =
        QStringLiteral("数据库服务器%1没有回应（另开的连接也没有回应），程序已断开连接。")
            .arg(displayName());
    if (nothingWritten) {
        throw StoreError(silent + QStringLiteral("刚才的操作没有写入任何数据。请检查网络和服务器，"
                                                 "再重做一次（程序会自动重新连接）。"),
                         kServerUnreachable);
    }
    throw StoreError(silent + QStringLiteral("无法确认刚才的操作是否已经写入。请在服务器恢复后先查"
                                             "看记录，再决定是否重做，以免重复。"),
                     kServerUnreachable);
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
        qCWarning(storeLog).noquote() << "connection lost:" << reason;
        close();
        throw StoreError(lostText(displayName()) + QStringLiteral("\n（%1）").arg(reason),
                         kServerUnreachable);
    }
    if (state == QStringLiteral("55P03")) {
        qCWarning(storeLog) << "gave up waiting for another desk's lock";
        throw StoreError(QStringLiteral("另一台电脑正在保存数据，本机等了%1秒仍未轮到，这次没有"
                                        "写入任何数据。请稍后再试。")
                             .arg(kLockTimeout),
                         kServerBusy);
    }
    if (state == QStringLiteral("57014")) {
        qCWarning(storeLog) << "statement cancelled by the server's time limit";
        throw StoreError(QStringLiteral("数据库服务器在%1分钟内没有做完这次操作，已经取消，没有"
                                        "写入任何数据。")
                             .arg(kStatementTimeout / 60));
    }
    if (state == QStringLiteral("40001") || state == QStringLiteral("40P01")) {
        throw StoreError(
            QStringLiteral("其他电脑正在修改同一批数据，数据没有写入，请稍后再试。\n（%1）")
                .arg(reason),
            kServerBusy);
    }
    throw StoreError(QStringLiteral("数据操作失败：%1").arg(reason));
}

} // namespace khgl

#include "platform/smtp_transport.h"

#include "platform/mail_server_settings.h"
#include "platform/platform_log.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <QLocale>
#include <QUuid>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

namespace khgl {
namespace {

struct Upload
{
    QByteArray data;
    qsizetype offset = 0;
};

// What the transfer callbacks share: the stop question, the message's deadline and the
// server's last answer.
struct Watch
{
    const MailKeepGoing* keepGoing = nullptr;
    const std::atomic<bool>* closing = nullptr;
    std::chrono::steady_clock::time_point deadline;
    bool timedOut = false;
    curl_socket_t socket = CURL_SOCKET_BAD;
    QByteArray lastReply;
};

size_t readMessage(char* buffer, size_t size, size_t count, void* user)
{
    auto* upload = static_cast<Upload*>(user);
    const size_t room = size * count;
    const size_t left = static_cast<size_t>(upload->data.size() - upload->offset);
    const size_t n = std::min(room, left);
    std::memcpy(buffer, upload->data.constData() + upload->offset, n);
    upload->offset += static_cast<qsizetype>(n);
    return n;
}

int noteSocket(void* user, curl_socket_t socket, curlsocktype)
{
    static_cast<Watch*>(user)->socket = socket;
    return CURL_SOCKOPT_OK;
}

// Whether the message should end now: stopped from outside, or past its deadline.
bool overdue(Watch& watch)
{
    if (watch.closing->load() || (*watch.keepGoing && !(*watch.keepGoing)())) {
        return true;
    }
    if (std::chrono::steady_clock::now() >= watch.deadline) {
        watch.timedOut = true;
    }
    return watch.timedOut;
}

// Ending the transfer is not enough: after a failure libcurl still sends QUIT and waits for
// its reply up to the reply time-out, outside every callback. With the connection shut down
// that QUIT fails at once.
void cutConnection(const Watch& watch)
{
    if (watch.socket != CURL_SOCKET_BAD) {
        ::shutdown(watch.socket, SHUT_RDWR);
    }
}

// Called by libcurl at least once a second while it waits for the server.
int checkStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* watch = static_cast<Watch*>(user);
    if (!overdue(*watch)) {
        return 0;
    }
    cutConnection(*watch);
    return 1;
}

// Keeps the server's last error reply (4xx, 5xx): its words are the best reason to show the
// operator. Later good replies (the "221" to QUIT) do not replace it.
// It also sees the QUIT go out: one sent after the deadline or a stop is cut short.
int noteReply(CURL*, curl_infotype type, char* data, size_t size, void* user)
{
    auto* watch = static_cast<Watch*>(user);
    if (type == CURLINFO_HEADER_OUT && size >= 4 && std::memcmp(data, "QUIT", 4) == 0 &&
        overdue(*watch)) {
        cutConnection(*watch);
    }
    if (type != CURLINFO_HEADER_IN) {
        return 0;
    }
    const QByteArray lines(data, static_cast<qsizetype>(size));
    for (const QByteArray& line : lines.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('4') || trimmed.startsWith('5')) {
            watch->lastReply = trimmed;
        }
    }
    return 0;
}

QString hostPort(const SmtpServer& server)
{
    return server.host + QLatin1Char(':') + QString::number(server.port);
}

QString serverUrl(const SmtpServer& server)
{
    const bool ipv6 = server.host.contains(QLatin1Char(':'));
    const QString host = ipv6 ? QLatin1Char('[') + server.host + QLatin1Char(']') : server.host;
    const QString scheme =
        usesImplicitTls(server) ? QStringLiteral("smtps://") : QStringLiteral("smtp://");
    return scheme + host + QLatin1Char(':') + QString::number(server.port);
}

QString failureSummary(CURLcode code, const SmtpServer& server, long timeoutMs)
{
    switch (code) {
    case CURLE_LOGIN_DENIED:
        return QStringLiteral("邮件服务器拒绝登录，请检查邮箱地址和登陆密码");
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("邮件服务器 %1 在 %2 秒内没有答复")
            .arg(hostPort(server), QString::number(static_cast<double>(timeoutMs) / 1000.0));
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("无法连接邮件服务器 %1").arg(hostPort(server));
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("找不到邮件服务器 %1").arg(server.host);
    case CURLE_ABORTED_BY_CALLBACK:
        return QStringLiteral("发送已停止");
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("与邮件服务器 %1 无法建立可信的加密连接").arg(hostPort(server));
    default:
        return QStringLiteral("邮件服务器 %1 没有接受这封邮件").arg(hostPort(server));
    }
}

QString failureReason(CURLcode code, const SmtpServer& server, long timeoutMs, const char* detail,
                      const QByteArray& lastReply)
{
    QString reason = failureSummary(code, server, timeoutMs);
    const QString curlText =
        QString::fromUtf8(detail[0] != '\0' ? detail : curl_easy_strerror(code));
    if (code != CURLE_ABORTED_BY_CALLBACK && code != CURLE_OPERATION_TIMEDOUT) {
        reason += QStringLiteral("（%1）").arg(curlText);
    }
    if (!lastReply.isEmpty()) {
        reason += QStringLiteral("。服务器答复：") + QString::fromUtf8(lastReply);
    }
    return reason + QStringLiteral("。");
}

// For the log: the codes only. A reply's words may name the recipient, and the operator's
// message has them already.
void logFailure(CURLcode code, const QByteArray& lastReply)
{
    const QList<QByteArray> words = lastReply.split(' ');
    QByteArray reply = words.value(0).left(3);
    if (words.size() > 1 && words[1].count('.') == 2 && words[1].front() >= '0' &&
        words[1].front() <= '9') {
        reply += ' ' + words[1]; // the enhanced status code, as 5.7.8
    }
    qCInfo(platformLog).noquote() << "mail not sent: curl" << static_cast<int>(code)
                                  << curl_easy_strerror(code) << "/ server reply"
                                  << (reply.isEmpty() ? QByteArray("none") : reply);
}

QByteArray normalisedBody(const QString& body)
{
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toUtf8();
}

QByteArray wrappedBase64(const QByteArray& data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < encoded.size(); i += 76) {
        out += encoded.mid(i, 76) + "\r\n";
    }
    return out;
}

QString domainOf(const QString& address)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    return at < 0 ? QString() : address.mid(at + 1).trimmed();
}

// RFC 5322 date: "Mon, 07 Dec 2026 09:30:00 +0800", in English whatever the locale.
QByteArray dateHeader(const QDateTime& date)
{
    const int offset = date.offsetFromUtc() / 60;
    const int minutes = offset < 0 ? -offset : offset;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                             .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return (QLocale::c().toString(date, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")) + zone)
        .toLatin1();
}

using EasyHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using StringList = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

} // namespace

std::optional<SmtpServer> smtpServerOverride()
{
    const QString value = qEnvironmentVariable("KHGL_SMTP_SERVER").trimmed();
    if (value.isEmpty()) {
        return std::nullopt;
    }
    SmtpServer server;
    QString host = value;
    const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
    const bool bareIpv6 = value.count(QLatin1Char(':')) > 1 && !value.startsWith(QLatin1Char('['));
    if (colon >= 0 && !bareIpv6) {
        bool ok = false;
        server.port = value.mid(colon + 1).toInt(&ok);
        if (!ok || server.port <= 0 || server.port > 65535) {
            return std::nullopt;
        }
        host = value.left(colon);
    }
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
    }
    if (host.isEmpty()) {
        return std::nullopt;
    }
    server.host = host;
    return server;
}

std::optional<SmtpServer> smtpServerFor(const QString& senderAddress)
{
    if (auto server = smtpServerOverride()) {
        return server;
    }
    const QString domain = domainOf(senderAddress);
    if (domain.isEmpty()) {
        return std::nullopt;
    }
    return SmtpServer{QStringLiteral("smtp.") + domain, 25};
}

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QByteArray text = host.toLatin1();
    unsigned char v4[4] = {};
    if (inet_pton(AF_INET, text.constData(), v4) == 1) {
        return v4[0] == 127;
    }
    unsigned char v6[16] = {};
    if (inet_pton(AF_INET6, text.constData(), v6) == 1) {
        static const unsigned char loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        static const unsigned char mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
        return std::memcmp(v6, loopback, 16) == 0 ||
               (std::memcmp(v6, mapped, 12) == 0 && v6[12] == 127);
    }
    return false;
}

SmtpTransport::SmtpTransport(int connectTimeoutMs, int messageTimeoutMs, Loopback loopback)
    : m_connectTimeoutMs(std::min(connectTimeoutMs, messageTimeoutMs)),
      m_messageTimeoutMs(messageTimeoutMs), m_loopback(loopback)
{
    // Counted by libcurl; done here, on the starting thread, before any worker sends.
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

SmtpTransport::~SmtpTransport()
{
    // Transfers still running end at their next progress call, within about a second.
    m_closing = true;
    joinKeptWorkers();
    curl_global_cleanup();
}

MailResult SmtpTransport::send(const MailMessage& message)
{
    return sendWith(message, {});
}

MailResult SmtpTransport::sendWith(const MailMessage& message, const MailSendOptions& options)
{
    if (const QString problem = unsafeMailField(message); !problem.isEmpty()) {
        return {false, problem};
    }
    const auto server = options.server ? options.server : smtpServerFor(message.from);
    if (!server) {
        return {false,
                QStringLiteral("发件人邮箱地址“%1”不完整，无法得出发件服务器。").arg(message.from)};
    }
    if (const QString problem = mailServerProblem(*server); !problem.isEmpty()) {
        return {false, problem};
    }
    EasyHandle easy(curl_easy_init(), &curl_easy_cleanup);
    if (!easy) {
        return {false, QStringLiteral("邮件发送组件无法初始化。")};
    }
    CURL* curl = easy.get();
    const QByteArray url = serverUrl(*server).toUtf8();
    const QByteArray from = "<" + message.from.trimmed().toUtf8() + ">";
    const QByteArray to = "<" + message.to.trimmed().toUtf8() + ">";
    const QByteArray user = message.from.trimmed().toUtf8();
    const QByteArray password = message.password.toUtf8();
    StringList recipients(curl_slist_append(nullptr, to.constData()), &curl_slist_free_all);
    Upload upload{compose(message), 0};
    Watch watch{&options.keepGoing,
                &m_closing,
                std::chrono::steady_clock::now() + std::chrono::milliseconds(m_messageTimeoutMs),
                false,
                CURL_SOCKET_BAD,
                {}};
    // The password may go out in clear only to this machine or with the operator's consent;
    // elsewhere STARTTLS is required and a server without it fails before AUTH.
    const bool plainTextAllowed =
        options.plainTextAllowed ||
        (m_loopback == Loopback::PlainTextAllowed && isLoopbackHost(server->host));
    const long useSsl = server->security == MailSecurity::None          ? CURLUSESSL_NONE
                        : plainTextAllowed && !usesImplicitTls(*server) ? CURLUSESSL_TRY
                                                                        : CURLUSESSL_ALL;
    char detail[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients.get());
    // An empty user name would still start AUTH; leave it unset then.
    if (!user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(curl, CURLOPT_USE_SSL, useSsl);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &readMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload.data.size()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_connectTimeoutMs);
    // One limit for the whole message; the QUIT after it is cut short (noteReply), and no
    // single reply is awaited longer (whole seconds only).
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, m_messageTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, (m_messageTimeoutMs + 999) / 1000);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, &noteSocket);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &watch);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &checkStop);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &watch);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L); // feeds noteReply; nothing is printed
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &noteReply);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &watch);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);

    CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_OK) {
        return {true, {}, false};
    }
    if (code == CURLE_ABORTED_BY_CALLBACK && watch.timedOut) {
        code = CURLE_OPERATION_TIMEDOUT;
    }
    logFailure(code, watch.lastReply);
    // No STARTTLS offered, or STARTTLS refused: nothing has been sent yet, the password
    // neither; the caller may ask the operator and send again in clear text.
    if (code == CURLE_USE_SSL_FAILED && useSsl == CURLUSESSL_ALL) {
        return {false, QStringLiteral("邮件服务器 %1 不支持加密连接。").arg(hostPort(*server)),
                true};
    }
    // A server that never finishes its greeting is given up at the connect limit, not the
    // message's: the text names the limit that ran out.
    long limitMs = m_messageTimeoutMs;
    curl_off_t reachedTransfer = 0;
    if (code == CURLE_OPERATION_TIMEDOUT && !watch.timedOut &&
        curl_easy_getinfo(curl, CURLINFO_PRETRANSFER_TIME_T, &reachedTransfer) == CURLE_OK &&
        reachedTransfer == 0) {
        limitMs = m_connectTimeoutMs;
    }
    return {false, failureReason(code, *server, limitMs, detail, watch.lastReply), false};
}

QByteArray SmtpTransport::encodeSubject(const QString& subject)
{
    const bool plain = subject.size() <= 70 && !subject.contains(QStringLiteral("=?")) &&
                       std::all_of(subject.begin(), subject.end(), [](QChar c) {
                           return c.unicode() >= 0x20 && c.unicode() < 0x7f;
                       });
    if (plain) {
        return subject.toLatin1();
    }
    // Words of at most 42 bytes of UTF-8 (56 of base64) keep every line, "Subject: " included,
    // within 78 characters; a word never splits a character.
    QByteArray out;
    QByteArray chunk;
    const auto flush = [&] {
        if (!out.isEmpty()) {
            out += "\r\n ";
        }
        out += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    for (qsizetype i = 0; i < subject.size(); ++i) {
        const qsizetype length = subject[i].isHighSurrogate() && i + 1 < subject.size() ? 2 : 1;
        const QByteArray bytes = subject.mid(i, length).toUtf8();
        if (chunk.size() + bytes.size() > 42) {
            flush();
        }
        chunk += bytes;
        i += length - 1;
    }
    if (!chunk.isEmpty()) {
        flush();
    }
    return out;
}

QByteArray SmtpTransport::compose(const MailMessage& message)
{
    const QDateTime date = message.date.isValid() ? message.date : QDateTime::currentDateTime();
    QString domain = domainOf(message.from);
    if (domain.isEmpty()) {
        domain = QStringLiteral("localhost");
    }
    const QByteArray id =
        QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + "@" + domain.toUtf8();
    QByteArray out;
    out += "Date: " + dateHeader(date) + "\r\n";
    out += "From: " + message.from.trimmed().toUtf8() + "\r\n";
    out += "To: " + message.to.trimmed().toUtf8() + "\r\n";
    out += "Subject: " + encodeSubject(message.subject) + "\r\n";
    out += "Message-ID: <" + id + ">\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: text/plain; charset=UTF-8\r\n";
    out += "Content-Transfer-Encoding: base64\r\n";
    out += "\r\n";
    out += wrappedBase64(normalisedBody(message.body));
    return out;
}

} // namespace khgl

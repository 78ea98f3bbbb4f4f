#pragma once

#include <QDateTime>
#include <QString>
#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace khgl {

struct MailMessage
{
    QString from;     // the sender's address, also the log-in name
    QString password; // the sender's password
    QString to;       // one recipient
    QString subject;
    QString body;
    QDateTime date; // the message's date; when unset the transport takes the system time
};

struct MailResult
{
    bool ok = false;
    QString error; // the reason the server or the transport gave
    // The server offers no encryption and the transport would not sign in in clear text:
    // nothing was sent, not even the password. Sending again with plainTextAllowed would work.
    bool needsPlainText = false;
};

// Asked now and then while a message is on its way; returning false stops the transfer.
using MailKeepGoing = std::function<bool()>;

// How the connection to the mail server is protected.
enum class MailSecurity
{
    StartTls, // plain connection switched to TLS (ports 587 and 25)
    Ssl,      // TLS from the first byte (port 465)
    None      // no encryption: only for a server on this machine
};

// Where mail is submitted.
struct MailServer
{
    QString host;
    int port = 25;
    MailSecurity security = MailSecurity::StartTls;
};

struct MailSendOptions
{
    MailKeepGoing keepGoing;            // empty: never stopped from outside
    bool plainTextAllowed = false;      // the operator agreed to sign in without encryption
    std::optional<MailServer> server{}; // empty: the transport derives it from the sender
};

namespace detail {

inline QString shownAddress(const QString& address)
{
    QString shown;
    for (const QChar c : address) {
        shown += c.category() == QChar::Other_Control ? QChar(0xfffd) : c;
    }
    return shown;
}

} // namespace detail

// Why an address cannot be put into MAIL FROM or RCPT TO as it is: angle brackets, blanks
// and control characters would end the address early and add SMTP options or commands.
// Blanks around the address are not part of it. Empty when the address is usable.
inline QString unsafeAddress(const QString& address, const QString& role)
{
    const QString bare = address.trimmed();
    const bool controls = std::any_of(address.begin(), address.end(),
                                      [](QChar c) { return c.category() == QChar::Other_Control; });
    if (controls) {
        return QStringLiteral("%1“%2”含有控制字符（如换行或空字符），不能发送。")
            .arg(role, detail::shownAddress(address).trimmed());
    }
    if (bare.isEmpty()) {
        return QStringLiteral("%1为空，不能发送。").arg(role);
    }
    const bool blanks = std::any_of(bare.begin(), bare.end(), [](QChar c) { return c.isSpace(); });
    if (blanks || bare.contains(QLatin1Char('<')) || bare.contains(QLatin1Char('>'))) {
        return QStringLiteral("%1“%2”含有尖括号或空白，不是一个邮箱地址，不能发送。")
            .arg(role, bare);
    }
    return {};
}

// Why a message cannot go out as it is: an address as above, or a subject holding CR, LF or
// NUL (it would add headers). Empty when the message is safe.
inline QString unsafeMailField(const MailMessage& message)
{
    if (QString problem = unsafeAddress(message.from, QStringLiteral("发件人邮箱地址"));
        !problem.isEmpty()) {
        return problem;
    }
    if (QString problem = unsafeAddress(message.to, QStringLiteral("收件地址"));
        !problem.isEmpty()) {
        return problem;
    }
    const QString& subject = message.subject;
    if (subject.contains(QLatin1Char('\r')) || subject.contains(QLatin1Char('\n')) ||
        subject.contains(QChar(0))) {
        return QStringLiteral("邮件标题含有换行或空字符，不能发送。");
    }
    return {};
}

// Sends one message through an SMTP server. send may run on a worker thread.
class MailTransport
{
public:
    MailTransport() = default;
    MailTransport(const MailTransport&) = delete;
    MailTransport& operator=(const MailTransport&) = delete;
    virtual ~MailTransport() { joinKeptWorkers(); }

    virtual MailResult send(const MailMessage& message) = 0;
    // Like send, but gives up as soon as keepGoing returns false, and may sign in without
    // encryption when the options allow it.
    virtual MailResult sendWith(const MailMessage& message, const MailSendOptions& options)
    {
        if (options.keepGoing && !options.keepGoing()) {
            return {false, QStringLiteral("发送已停止。")};
        }
        return send(message);
    }

    // Takes over a worker thread that has been told to stop but may still be inside send.
    // Windows hand their workers here instead of waiting for them; the transport outlives
    // every window and joins them when it goes.
    void keepUntilDone(std::thread worker)
    {
        if (worker.joinable()) {
            const std::lock_guard lock(m_keptMutex);
            m_kept.push_back(std::move(worker));
        }
    }

protected:
    // Derived transports call this first in their destructor, while their send still works.
    void joinKeptWorkers()
    {
        std::vector<std::thread> kept;
        {
            const std::lock_guard lock(m_keptMutex);
            kept.swap(m_kept);
        }
        for (std::thread& worker : kept) {
            worker.join();
        }
    }

private:
    std::mutex m_keptMutex;
    std::vector<std::thread> m_kept;
};

// Whether the machine can reach a mail server at all.
class Connectivity
{
public:
    virtual ~Connectivity() = default;
    virtual bool isConnected() const = 0;
};

} // namespace khgl

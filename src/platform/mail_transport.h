#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

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
};

// Why a message cannot go out as it is: an address or the subject holding CR, LF or NUL
// would let the text add headers or SMTP commands. Empty when the message is safe.
inline QString unsafeMailField(const MailMessage& message)
{
    const auto broken = [](const QString& text) {
        return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) ||
               text.contains(QChar(0));
    };
    if (broken(message.from)) {
        return QStringLiteral("发件人邮箱地址含有换行或空字符，不能发送。");
    }
    if (broken(message.to)) {
        QString shown = message.to;
        shown.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '))
            .replace(QChar(0), QLatin1Char(' '));
        return QStringLiteral("收件地址“%1”含有换行或空字符，不能发送。").arg(shown.trimmed());
    }
    if (broken(message.subject)) {
        return QStringLiteral("邮件标题含有换行或空字符，不能发送。");
    }
    return {};
}

// Asked now and then while a message is on its way; returning false stops the transfer.
using MailKeepGoing = std::function<bool()>;

// Sends one message through an SMTP server. send may run on a worker thread.
class MailTransport
{
public:
    virtual ~MailTransport() = default;
    virtual MailResult send(const MailMessage& message) = 0;
    // Like send, but gives up as soon as keepGoing returns false (the window is closing).
    virtual MailResult sendUnlessStopped(const MailMessage& message, const MailKeepGoing& keepGoing)
    {
        if (keepGoing && !keepGoing()) {
            return {false, QStringLiteral("发送已停止。")};
        }
        return send(message);
    }
};

// Whether the machine can reach a mail server at all.
class Connectivity
{
public:
    virtual ~Connectivity() = default;
    virtual bool isConnected() const = 0;
};

} // namespace khgl

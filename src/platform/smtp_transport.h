#pragma once

#include "platform/mail_transport.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <optional>

namespace khgl {

using SmtpServer = MailServer;

// KHGL_SMTP_SERVER=host:port, when it is set and readable.
std::optional<SmtpServer> smtpServerOverride();
// The server for a sender: the override, or "smtp." + the domain of the address on port 25.
std::optional<SmtpServer> smtpServerFor(const QString& senderAddress);
bool isLoopbackHost(const QString& host);

// Mail over libcurl SMTP: signs in with the sender's address and password, one message,
// one recipient. A server off the loopback address must offer STARTTLS unless the operator
// allowed clear text (port 465 and MailSecurity::Ssl speak TLS from the start, and
// MailSecurity::None is refused off the loopback address); one message takes at most
// messageTimeoutMs from connecting to QUIT.
class SmtpTransport final : public MailTransport
{
public:
    // Whether a server on the loopback address (a local relay, the tests' server) may be
    // used without encryption, or is held to the rule for every other server.
    enum class Loopback
    {
        PlainTextAllowed,
        LikeAnyServer
    };

    explicit SmtpTransport(int connectTimeoutMs = 20000, int messageTimeoutMs = 120000,
                           Loopback loopback = Loopback::PlainTextAllowed);
    ~SmtpTransport() override;
    SmtpTransport(const SmtpTransport&) = delete;
    SmtpTransport& operator=(const SmtpTransport&) = delete;

    MailResult send(const MailMessage& message) override;
    MailResult sendWith(const MailMessage& message, const MailSendOptions& options) override;

    // The message as it goes on the wire: headers, a blank line, then the body as UTF-8
    // with CRLF line ends, base64-encoded so no line can end the data early.
    static QByteArray compose(const MailMessage& message);
    // The subject as a header value: plain ASCII stays, anything else becomes RFC 2047 words.
    static QByteArray encodeSubject(const QString& subject);

private:
    long m_connectTimeoutMs;
    long m_messageTimeoutMs;
    Loopback m_loopback;
    std::atomic<bool> m_closing{false}; // set by the destructor: transfers still running end
};

} // namespace khgl

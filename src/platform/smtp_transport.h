#pragma once

#include "platform/mail_transport.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace khgl {

// Where mail is submitted.
struct SmtpServer
{
    QString host;
    int port = 25;
};

// KHGL_SMTP_SERVER=host:port, when it is set and readable.
std::optional<SmtpServer> smtpServerOverride();
// The server for a sender: the override, or "smtp." + the domain of the address on port 25.
std::optional<SmtpServer> smtpServerFor(const QString& senderAddress);
bool isLoopbackHost(const QString& host);

// Mail over libcurl SMTP: signs in with the sender's address and password, uses STARTTLS
// when the server offers it, and gives up after the time-outs. One message, one recipient.
class SmtpTransport final : public MailTransport
{
public:
    explicit SmtpTransport(int connectTimeoutMs = 20000, int transferTimeoutMs = 120000);
    ~SmtpTransport() override;
    SmtpTransport(const SmtpTransport&) = delete;
    SmtpTransport& operator=(const SmtpTransport&) = delete;

    MailResult send(const MailMessage& message) override;
    MailResult sendUnlessStopped(const MailMessage& message,
                                 const MailKeepGoing& keepGoing) override;

    // The message as it goes on the wire: headers, a blank line, then the body as UTF-8
    // with CRLF line ends, base64-encoded so no line can end the data early.
    static QByteArray compose(const MailMessage& message);
    // The subject as a header value: plain ASCII stays, anything else becomes RFC 2047 words.
    static QByteArray encodeSubject(const QString& subject);

private:
    long m_connectTimeoutMs;
    long m_transferTimeoutMs;
};

} // namespace khgl

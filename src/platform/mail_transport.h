#pragma once

#include <QString>

namespace khgl {

struct MailMessage
{
    QString from;     // the sender's address, also the log-in name
    QString password; // the sender's password
    QString to;       // one recipient
    QString subject;
    QString body;
};

struct MailResult
{
    bool ok = false;
    QString error; // the reason the server or the transport gave
};

// Sends one message through an SMTP server.
class MailTransport
{
public:
    virtual ~MailTransport() = default;
    virtual MailResult send(const MailMessage& message) = 0;
};

// Whether the machine can reach a mail server at all.
class Connectivity
{
public:
    virtual ~Connectivity() = default;
    virtual bool isConnected() const = 0;
};

} // namespace khgl

#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace khgl::test {

struct SmtpServerOptions
{
    QStringList refuse; // RCPT to these addresses fails with 550
    bool hang = false;  // accept connections, never answer
    QStringList hold{}; // take the whole message to these addresses, never answer it
};

// The SMTP server of tests/support/smtp_server.py on a free 127.0.0.1 port, requiring AUTH
// with user() and password(). While it lives, KHGL_SMTP_SERVER points at it.
class SmtpTestServer final
{
public:
    explicit SmtpTestServer(const SmtpServerOptions& options = {});
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    static QString user() { return QStringLiteral("shop@example.com"); }
    static QString password() { return QStringLiteral("s3cret-pw"); }

    bool isReady() const { return m_port > 0; }
    int port() const { return m_port; }
    // What the server saved: one object per accepted message, in arrival order, with
    // mail_from, rcpt_tos, login, from, to, subject and body decoded by Python's email package.
    QList<QJsonObject> received() const;
    // The raw data of the n-th message (0-based).
    QByteArray rawMessage(int index) const;
    // How many times a client has sent AUTH (its password), accepted or not.
    int authAttempts() const;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
};

} // namespace khgl::test

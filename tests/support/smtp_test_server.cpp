#include "support/smtp_test_server.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace khgl::test {

SmtpTestServer::SmtpTestServer(const SmtpServerOptions& options)
{
    QStringList args{QStringLiteral("-W"),
                     QStringLiteral("ignore"),
                     QStringLiteral(KHGL_TESTS_DIR "/support/smtp_server.py"),
                     QStringLiteral("--folder"),
                     m_folder.path(),
                     QStringLiteral("--user"),
                     user(),
                     QStringLiteral("--password"),
                     password()};
    for (const QString& address : options.refuse) {
        args << QStringLiteral("--refuse") << address;
    }
    if (options.hang) {
        args << QStringLiteral("--hang");
    }
    for (const QString& address : options.hold) {
        args << QStringLiteral("--hold") << address;
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"), args);
    QByteArray output;
    // Python's start-up can be slow on a busy machine.
    while (m_process.waitForReadyRead(30000)) {
        output += m_process.readAllStandardOutput();
        if (output.contains('\n')) {
            break;
        }
    }
    if (output.startsWith("READY ")) {
        m_port = output.mid(6).trimmed().toInt();
        qputenv("KHGL_SMTP_SERVER", "127.0.0.1:" + QByteArray::number(m_port));
    }
}

SmtpTestServer::~SmtpTestServer()
{
    qunsetenv("KHGL_SMTP_SERVER");
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QList<QJsonObject> SmtpTestServer::received() const
{
    QList<QJsonObject> messages;
    const QDir dir(m_folder.path());
    for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            messages << QJsonDocument::fromJson(file.readAll()).object();
        }
    }
    return messages;
}

QByteArray SmtpTestServer::rawMessage(int index) const
{
    QFile file(QDir(m_folder.path())
                   .filePath(QStringLiteral("%1.eml").arg(index + 1, 3, 10, QLatin1Char('0'))));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int SmtpTestServer::authAttempts() const
{
    QFile file(QDir(m_folder.path()).filePath(QStringLiteral("auth.log")));
    return file.open(QIODevice::ReadOnly) ? static_cast<int>(file.readAll().count('\n')) : 0;
}

} // namespace khgl::test

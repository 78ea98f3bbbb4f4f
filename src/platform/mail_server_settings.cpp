#include "platform/mail_server_settings.h"

#include "data_store/replaced_file.h"
#include "data_store/store_error.h"
#include "platform/smtp_transport.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace khgl {
namespace {

const QString kFileName = QStringLiteral("khgl-mail-server.conf");

QString securityName(MailSecurity security)
{
    switch (security) {
    case MailSecurity::Ssl:
        return QStringLiteral("ssl");
    case MailSecurity::None:
        return QStringLiteral("none");
    case MailSecurity::StartTls:
        break;
    }
    return QStringLiteral("starttls");
}

MailSecurity securityNamed(const QString& name)
{
    if (name == QLatin1String("ssl")) {
        return MailSecurity::Ssl;
    }
    return name == QLatin1String("none") ? MailSecurity::None : MailSecurity::StartTls;
}

} // namespace

QString mailServerSettingsPath(const QString& folder)
{
    return QDir(folder).filePath(kFileName);
}

std::optional<MailServerSettings> loadMailServerSettings(const QString& folder)
{
    QFile file(mailServerSettingsPath(folder));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    MailServerSettings settings;
    // One "key=value" a line; unknown keys are left for later versions.
    for (const QByteArray& line : file.read(64 * 1024).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) {
            continue;
        }
        const QByteArray key = line.left(equals).trimmed();
        const QString value = QString::fromUtf8(line.mid(equals + 1).trimmed());
        if (key == "host") {
            settings.server.host = value;
        } else if (key == "port") {
            settings.server.port = value.toInt();
        } else if (key == "security") {
            settings.server.security = securityNamed(value);
        } else if (key == "password") {
            settings.password = QString::fromUtf8(QByteArray::fromBase64(value.toLatin1()));
        }
    }
    if (settings.server.host.isEmpty() || settings.server.port <= 0 ||
        settings.server.port > 65535) {
        return std::nullopt;
    }
    return settings;
}

void saveMailServerSettings(const QString& folder, const MailServerSettings& settings)
{
    const QString path = mailServerSettingsPath(folder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        throw StoreError(QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString()));
    }
    QByteArray text = "host=" + settings.server.host.toUtf8() + "\n";
    text += "port=" + QByteArray::number(settings.server.port) + "\n";
    text += "security=" + securityName(settings.server.security).toLatin1() + "\n";
    if (!settings.password.isEmpty()) {
        // Base64 keeps any character on its line; it hides nothing, the file mode does.
        text += "password=" + settings.password.toUtf8().toBase64() + "\n";
    }
    if (file.write(text) != text.size() || !commitWhole(file)) {
        throw StoreError(QStringLiteral("写入文件“%1”失败：%2").arg(path, file.errorString()));
    }
}

std::optional<MailServer> chosenMailServer(const QString& folder)
{
    if (auto server = smtpServerOverride()) {
        return server;
    }
    if (auto settings = loadMailServerSettings(folder)) {
        return settings->server;
    }
    return std::nullopt;
}

bool usesImplicitTls(const MailServer& server)
{
    return server.security == MailSecurity::Ssl || server.port == 465;
}

QString mailServerProblem(const MailServer& server)
{
    const QString host = server.host.trimmed();
    if (host.isEmpty()) {
        return QStringLiteral("请填写邮件服务器的地址。");
    }
    const bool odd = std::any_of(host.begin(), host.end(), [](QChar c) {
        return c.isSpace() || c.category() == QChar::Other_Control || c == QLatin1Char('/') ||
               c == QLatin1Char('@');
    });
    if (odd) {
        return QStringLiteral("邮件服务器地址“%1”不是一个主机名或 IP 地址。").arg(host);
    }
    if (server.port <= 0 || server.port > 65535) {
        return QStringLiteral("端口应在 1 到 65535 之间。");
    }
    if (server.security == MailSecurity::None && !isLoopbackHost(host)) {
        return QStringLiteral("不加密的连接只能用于本机的邮件服务器（localhost 或 127.0.0.1），"
                              "其他服务器请选择 STARTTLS 或 SSL。");
    }
    return {};
}

} // namespace khgl

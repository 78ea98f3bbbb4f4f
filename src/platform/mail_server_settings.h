#pragma once

#include "platform/mail_transport.h"

#include <QString>
#include <optional>

namespace khgl {

// The mail server the operator chose at this desk, kept in the data folder.
struct MailServerSettings
{
    MailServer server;
    QString password; // the sender's password, kept only when the operator asked for it
};

QString mailServerSettingsPath(const QString& folder);
// The saved settings; nothing when none were saved or the file is unreadable.
std::optional<MailServerSettings> loadMailServerSettings(const QString& folder);
// Writes the settings at once or not at all, readable by the owner alone. Throws StoreError.
void saveMailServerSettings(const QString& folder, const MailServerSettings& settings);

// The server mail goes through: KHGL_SMTP_SERVER when set, else the saved one. Nothing: the
// transport derives it from the sender's address.
std::optional<MailServer> chosenMailServer(const QString& folder);

// Port 465 and MailSecurity::Ssl speak TLS from the first byte (smtps).
bool usesImplicitTls(const MailServer& server);
// Why mail cannot go through this server as given, for the operator; empty when it can.
QString mailServerProblem(const MailServer& server);

} // namespace khgl

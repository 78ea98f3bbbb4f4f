#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace khgl {

class DataStore;

// What the login window reads and writes: 用户表's names, passwords and recovery questions,
// and the one remembered login: 登录表 of khgl.dll, or on a server a file of this desk's own
// (khgl-login.json in the data folder, mode 0600), so no desk sees another's.
namespace login_records {

struct Login
{
    QString name;
    QString password;
};

struct Recovery
{
    QString question;
    QString answer;
    QString password;
};

QStringList userNames(DataStore& store);
std::optional<Login> remembered(DataStore& store);
// Replaces the remembered login whole, or forgets it when there is none to remember.
void remember(DataStore& store, const std::optional<Login>& login);
// The stored passwords of this name (an empty one as an empty string), in table order.
std::optional<QStringList> passwordsOf(DataStore& store, const QString& name);
// The recovery question of this name; nothing when there is no such user.
std::optional<Recovery> recoveryOf(DataStore& store, const QString& name);

} // namespace login_records
} // namespace khgl

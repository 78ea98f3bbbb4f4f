#include "shell/login_records.h"

#include "data_store/data_store.h"
#include "data_store/desk_file.h"

#include <QJsonObject>

namespace khgl::login_records {
namespace {

// On a server every desk reads the same 登录表: the desk keeps its own login in its folder.
QString deskLoginName()
{
    return QStringLiteral("khgl-login.json");
}

std::optional<Login> rememberedOnDesk(const QString& folder)
{
    const QJsonObject login = desk_file::read(folder, deskLoginName());
    if (!login.contains(QStringLiteral("name"))) {
        return std::nullopt;
    }
    return Login{login.value(QStringLiteral("name")).toString(),
                 login.value(QStringLiteral("password")).toString()};
}

void rememberOnDesk(const QString& folder, const std::optional<Login>& login)
{
    QJsonObject content;
    if (login) {
        content.insert(QStringLiteral("name"), login->name);
        content.insert(QStringLiteral("password"), login->password);
    }
    desk_file::write(folder, deskLoginName(), content);
}

} // namespace

QStringList userNames(DataStore& store)
{
    RecordSet users = store.select(QStringLiteral("select 用户名 from 用户表 order by rowid"));
    QStringList names;
    for (users.moveFirst(); !users.eof(); users.moveNext()) {
        names << users.text(0);
    }
    return names;
}

std::optional<Login> remembered(DataStore& store)
{
    if (store.sharedByDesks()) {
        return rememberedOnDesk(store.folder());
    }
    const RecordSet login = store.select(QStringLiteral("登录表"));
    if (login.recordCount() == 0) {
        return std::nullopt;
    }
    return Login{login.text(QStringLiteral("用户名")), login.text(QStringLiteral("密码"))};
}

void remember(DataStore& store, const std::optional<Login>& login)
{
    if (store.sharedByDesks()) {
        rememberOnDesk(store.folder(), login);
        // A login remembered on the server before would be every desk's: it goes.
        if (store.select(QStringLiteral("select count(*) from 登录表")).valueAt(0, 0).toInt() > 0) {
            store.execute(QStringLiteral("delete from 登录表"));
        }
        return;
    }
    // One transaction: the remembered login is replaced whole or not at all.
    store.transaction([&] {
        store.execute(QStringLiteral("delete from 登录表"));
        if (login) {
            store.insertRow(QStringLiteral("登录表"), {{QStringLiteral("用户名"), login->name},
                                                       {QStringLiteral("密码"), login->password}});
        }
    });
}

std::optional<QStringList> passwordsOf(DataStore& store, const QString& name)
{
    RecordSet rows = store.select(
        QStringLiteral("select 用户密码 from 用户表 where 用户名=? order by rowid"), {name});
    if (rows.recordCount() == 0) {
        return std::nullopt;
    }
    QStringList passwords;
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        passwords << (rows.isEmpty(0) ? QString() : rows.text(0));
    }
    return passwords;
}

std::optional<Recovery> recoveryOf(DataStore& store, const QString& name)
{
    RecordSet rows = store.select(
        QStringLiteral("select 问题,答案,用户密码 from 用户表 where 用户名=? order by rowid"),
        {name});
    if (rows.recordCount() == 0) {
        return std::nullopt;
    }
    rows.moveFirst();
    return Recovery{rows.text(QStringLiteral("问题")), rows.text(QStringLiteral("答案")),
                    rows.text(QStringLiteral("用户密码"))};
}

} // namespace khgl::login_records

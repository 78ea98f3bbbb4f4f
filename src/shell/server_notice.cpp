#include "shell/server_notice.h"

#include "data_store/data_store.h"
#include "data_store/desk_file.h"
#include "data_store/server_connection.h"
#include "data_store/store_address.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"

#include <QFileInfo>
#include <QLabel>

namespace khgl::server_notice {

QString caption(const DataStore& store)
{
    if (!store.sharedByDesks()) {
        return {};
    }
    return QStringLiteral("服务器 ") + ServerConnection::displayNameOf(store.address().server);
}

void showIn(QLabel* label, const DataStore& store)
{
    label->setText(caption(store));
    label->setToolTip(label->text());
    label->setVisible(store.sharedByDesks());
}

void announceSwitch(AppContext& context, QWidget* parent)
{
    DataStore& store = context.store;
    // Named as the operator sees it: the address itself may carry a password.
    const QString key =
        QStringLiteral("announced ") + ServerConnection::displayNameOf(store.address().server);
    if (!store.sharedByDesks() ||
        StoreAddress::forFolder(context.folder).server != store.address().server ||
        QFileInfo(DataStore::databasePath(context.folder)).size() == 0 ||
        !desk_file::answer(context.folder, key).isEmpty()) {
        return;
    }
    context.dialogs.message(
        parent,
        QStringLiteral("数据文件夹中的 %1 指定了数据库服务器%2：从现在起使用服务器上的数据。\n"
                       "文件夹中的 %3 原样保留，但不再使用；需要时可以用 khgl --migrate "
                       "把它复制到空的服务器数据库。")
            .arg(StoreAddress::serverConfigName(),
                 ServerConnection::displayNameOf(store.address().server), DataStore::fileName()),
        QStringLiteral("提示"), Dialogs::Icon::Information);
    desk_file::setAnswer(context.folder, key, QStringLiteral("yes"));
}

bool askClearText(AppContext& context, QWidget* parent, const QString& risk)
{
    const bool yes =
        context.dialogs.message(parent,
                                risk + QStringLiteral("\n\n是否仍然这样连接？（这台电脑会记住"
                                                      "这个选择）"),
                                QStringLiteral("提示"), Dialogs::Icon::Warning,
                                Dialogs::Buttons::YesNoDefaultNo) == Dialogs::Answer::Yes;
    ServerConnection::allowClearText(context.folder, context.store.address().server, yes);
    return yes;
}

} // namespace khgl::server_notice

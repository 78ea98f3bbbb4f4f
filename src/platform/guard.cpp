#include "platform/guard.h"

#include "data_store/store_error.h"
#include "platform/dialogs.h"

#include <QWidget>

#include <QLoggingCategory>
#include <QString>
#include <exception>

namespace khgl {
namespace {

Q_LOGGING_CATEGORY(lcCommand, "khgl.command")

} // namespace

bool guarded(Dialogs& dialogs, QWidget* parent, const std::function<void()>& handler)
{
    QString message;
    try {
        handler();
        return true;
    } catch (const StoreError& error) {
        message = error.message();
    } catch (const std::bad_alloc&) {
        message = QStringLiteral("内存不足，操作没有完成。");
    } catch (const std::exception& error) {
        message = QStringLiteral("操作没有完成：") + QString::fromLocal8Bit(error.what());
    }
    // Every refused or failed command, with the store's own words, for whoever supports the shop.
    qCWarning(lcCommand).noquote()
        << "command failed in" << (parent ? parent->objectName() : QStringLiteral("-")) << ":"
        << message;
    dialogs.message(parent, message, QStringLiteral("错误"), Dialogs::Icon::Critical);
    return false;
}

} // namespace khgl

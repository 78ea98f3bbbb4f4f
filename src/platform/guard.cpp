#include "platform/guard.h"

#include "data_store/store_error.h"
#include "platform/dialogs.h"
#include "platform/platform_log.h"

#include <QString>
#include <QWidget>
#include <exception>

namespace khgl {

bool guarded(Dialogs& dialogs, QWidget* parent, const std::function<void()>& handler)
{
    QString message;
    QString cause; // for the log: never the message, which may quote what the operator typed
    try {
        handler();
        return true;
    } catch (const StoreError& error) {
        message = error.message();
        cause = QStringLiteral("store error, engine code %1").arg(error.code());
    } catch (const std::bad_alloc&) {
        message = QStringLiteral("内存不足，操作没有完成。");
        cause = QStringLiteral("out of memory");
    } catch (const std::exception& error) {
        message = QStringLiteral("操作没有完成：") + QString::fromLocal8Bit(error.what());
        cause = QString::fromLocal8Bit(error.what());
    }
    qCWarning(platformLog).noquote()
        << "command failed in"
        << (parent ? parent->window()->objectName() + QLatin1Char('/') + parent->objectName()
                   : QStringLiteral("-"))
        << ":" << cause;
    dialogs.message(parent, message, QStringLiteral("错误"), Dialogs::Icon::Critical);
    return false;
}

} // namespace khgl

#pragma once

#include <QObject>
#include <QString>

namespace khgl {

// The notification-area icon of the main window.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // False where the desktop has no notification area.
    virtual bool isAvailable() const = 0;
    virtual void add(const QString& iconPath, const QString& tooltip) = 0;
    virtual void balloon(const QString& title, const QString& text) = 0;
    virtual void remove() = 0;
    virtual bool isShown() const = 0;

Q_SIGNALS:
    void leftClicked();
};

} // namespace khgl

#pragma once

#include "platform/tray_icon.h"

class QSystemTrayIcon;

namespace khgl {

// The notification-area icon over QSystemTrayIcon. Only a left click is reported: a right
// click or a double click does nothing.
class QtTrayIcon final : public TrayIcon
{
    Q_OBJECT

public:
    explicit QtTrayIcon(QObject* parent = nullptr);
    ~QtTrayIcon() override;

    bool isAvailable() const override;
    void add(const QString& iconPath, const QString& tooltip) override;
    void balloon(const QString& title, const QString& text) override;
    void remove() override;
    bool isShown() const override;

private:
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace khgl

#pragma once

#include "platform/tray_icon.h"

#include <QStringList>

namespace khgl::test {

// Stands in for the notification area: remembers what the window asked of it.
class FakeTray final : public TrayIcon
{
public:
    using TrayIcon::TrayIcon;
    bool isAvailable() const override { return available; }
    void add(const QString& iconPath, const QString& tooltip) override
    {
        ++adds;
        if (!shown) {
            shown = true;
            ++icons;
        }
        lastIcon = iconPath;
        lastTooltip = tooltip;
    }
    void balloon(const QString& title, const QString& text) override
    {
        balloons << title + QLatin1Char('|') + text;
    }
    void remove() override { shown = false; }
    bool isShown() const override { return shown; }
    void leftClick() { Q_EMIT leftClicked(); }

    bool available = true;
    bool shown = false;
    int adds = 0;
    int icons = 0;
    QString lastIcon;
    QString lastTooltip;
    QStringList balloons;
};

} // namespace khgl::test

#include "platform/qt_tray_icon.h"

#include <QIcon>
#include <QSystemTrayIcon>

namespace khgl {

QtTrayIcon::QtTrayIcon(QObject* parent) : TrayIcon(parent) {}

QtTrayIcon::~QtTrayIcon()
{
    remove();
}

bool QtTrayIcon::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::add(const QString& iconPath, const QString& tooltip)
{
    if (m_icon) {
        return; // already there: adding again changes nothing
    }
    m_icon = new QSystemTrayIcon(QIcon(iconPath), this);
    m_icon->setToolTip(tooltip);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    Q_EMIT leftClicked();
                }
            });
    m_icon->show();
}

void QtTrayIcon::balloon(const QString& title, const QString& text)
{
    if (m_icon) {
        m_icon->showMessage(title, text, QSystemTrayIcon::Information);
    }
}

void QtTrayIcon::remove()
{
    if (m_icon) {
        m_icon->hide();
        delete m_icon;
        m_icon = nullptr;
    }
}

bool QtTrayIcon::isShown() const
{
    return m_icon != nullptr;
}

} // namespace khgl

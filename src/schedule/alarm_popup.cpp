#include "schedule/alarm_popup.h"

#include "platform/pictures.h"
#include "ui_alarm_popup.h"
#include "widgets/hover.h"
#include "widgets/screen_fit.h"

#include <QTimer>

namespace khgl {

AlarmPopup::AlarmPopup(const Pictures& pictures, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::AlarmPopup>()), m_pictures(pictures),
      m_hover(new HoverCommands(pictures, this)), m_countdown(new QTimer(this))
{
    m_ui->setupUi(this);
    // Only the main window ends the program: closing this one while the main window waits in
    // the notification area must not.
    setAttribute(Qt::WA_QuitOnClose, false);
    screen_fit::fitFixedWindow(this);
    m_countdown->setObjectName(QStringLiteral("Timer1"));
    m_countdown->setInterval(1000);
    m_hover->addLarge(this, m_ui->Label2, m_ui->Image1, nullptr);
    m_pictures.show(m_ui->Image1, Pictures::largeNormal());
    connect(m_ui->Label2, &ClickLabel::clicked, this, &AlarmPopup::onStopClicked);
    connect(m_countdown, &QTimer::timeout, this, &AlarmPopup::countdownTick);
}

AlarmPopup::~AlarmPopup() = default;

void AlarmPopup::showReminder(const QString& content)
{
    m_ui->Label1->setText(content);
}

QString AlarmPopup::content() const
{
    return m_ui->Label1->text();
}

void AlarmPopup::onStopClicked()
{
    m_pictures.show(m_ui->Image1, Pictures::largeNormal());
    Q_EMIT stopClicked();
}

void AlarmPopup::startCountdown()
{
    m_ticks = 0;
    m_countdown->start(1000);
}

bool AlarmPopup::isCountingDown() const
{
    return m_countdown->isActive();
}

void AlarmPopup::countdownTick()
{
    if (!m_countdown->isActive()) {
        return; // the countdown has already given the check back
    }
    ++m_ticks;
    if (m_ticks >= kSuspensionTicks) {
        m_countdown->stop();
        Q_EMIT suspensionOver();
    }
}

} // namespace khgl

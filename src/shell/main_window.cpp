#include "shell/main_window.h"

#include "admin/backup_page.h"
#include "admin/daily_backup.h"
#include "data_store/data_store.h"
#include "goods/stock_page.h"
#include "platform/aid_opener.h"
#include "platform/app_context.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/tray_icon.h"
#include "platform/window_outline.h"
#include "schedule/alarm_check.h"
#include "schedule/missed_reminders.h"
#include "schedule/missed_reminders_window.h"
#include "shell/desktop_page.h"
#include "shell/help_window.h"
#include "shell/page_factory.h"
#include "shell/server_notice.h"
#include "shell/settings_page.h"
#include "shell/view_zoom.h"
#include "statistics/chart_tables.h"
#include "statistics/month_chart_page.h"
#include "statistics/profit_window.h"
#include "statistics/year_chart_page.h"
#include "ui_main_window.h"
#include "widgets/click_widgets.h"
#include "widgets/screen_fit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QShortcut>
#include <QTimer>

namespace khgl {
namespace {

// Page frames: left 360, top 1920, width 13575, height 7215 twips.
const QRect kPageGeometry(24, 128, 905, 481);

template <typename Shows> bool takesCharts(MainWindow* window, Page* page)
{
    auto* shows = qobject_cast<Shows*>(page);
    if (shows != nullptr) {
        QObject::connect(window, &MainWindow::chartsComputed, shows, &Shows::showTables);
    }
    return shows != nullptr;
}

} // namespace

MainWindow::MainWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_ui(std::make_unique<Ui::MainWindow>()),
      m_hover(context.pictures, this), m_env{context, m_hover, m_flags}, m_timer1(new QTimer(this))
{
    m_ui->setupUi(this);
    // The window draws its own title bar and outline.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // Page frames: a captioned box with a quiet border, the caption above the contents.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #b4c2d3; border-radius: 4px; margin-top: 9px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px;"
        " color: #1d3b58; font-weight: bold; }"));
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer1, &QTimer::timeout, this, &MainWindow::checkAlarm);
    m_alarm = std::make_unique<AlarmCheck>(context, *m_timer1);
    m_lastRun = std::make_unique<LastRunStamp>(context.folder);
    buildPages();
    server_notice::showIn(m_ui->serverLabel, context.store);
    m_dailyBackup = new DailyBackup(context.store.address(), this);
    if (auto* backupPage = findChild<BackupPage*>()) {
        connect(m_dailyBackup, &DailyBackup::statusChanged, backupPage,
                &BackupPage::showDailyBackupStatus);
    }
    connect(m_dailyBackup, &DailyBackup::failed, this, &MainWindow::reportDailyBackupFailure);
    for (const NavEntry& entry : m_nav) {
        HoverCommands::pointerOnly(entry.label);
        connect(entry.label, &ClickLabel::clicked, this, [this, &entry] { select(entry); });
    }
    for (QWidget* image : {m_ui->Image41, m_ui->Image42, m_ui->Image43, m_ui->Image44}) {
        HoverCommands::pointerOnly(image);
    }
    connectLowStock();
    screen_fit::fitFixedWindow(this);
    // Ctrl+1 .. Ctrl+9 select the pages in the order of the navigation labels; Ctrl+0 is the
    // zoom's, as in other programs.
    for (size_t i = 0; i < m_nav.size() && i < 9; ++i) {
        const int digit = static_cast<int>(i + 1);
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + digit)), this);
        const NavEntry& entry = m_nav[i];
        connect(shortcut, &QShortcut::activated, this, [this, &entry] { select(entry); });
    }
    view_zoom::addKeys(this, m_context.folder, [this] {
        if (auto* settings = findChild<SettingsPage*>()) {
            settings->showZoom();
        }
    });
    // Ctrl+G: what the shop earned (gross profit).
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this), &QShortcut::activated, this,
            [this] { ProfitWindow::open(m_context, this); });
    // F1, from any of the program's windows, opens the guide.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::ApplicationShortcut);
    connect(help, &QShortcut::activated, this, &MainWindow::showHelp);
    connect(m_ui->Image42, &ClickLabel::clicked, this, &QWidget::close);
    connect(m_ui->Image41, &ClickLabel::clicked, this, &QWidget::showMinimized);
    connect(m_ui->Image43, &ClickLabel::clicked, this, &MainWindow::openSite);
    m_openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    if (m_context.makeTray) {
        m_tray = m_context.makeTray(this);
    }
    if (m_tray) {
        connect(m_tray.get(), &TrayIcon::leftClicked, this, &MainWindow::restoreFromTray);
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::buildPages()
{
    struct Row
    {
        ClickLabel* label;
        QLabel* highlight;
        const char16_t* frame;
        const char16_t* caption;
    };
    const Row rows[] = {
        {m_ui->Label58, m_ui->Image1, u"Frame23", u"桌面"},
        {m_ui->Label17, m_ui->Image3, u"Frame1", u"客户信息记录"},
        {m_ui->Label18, m_ui->Image2, u"Frame4", u"邮件发送"},
        {m_ui->Label30, m_ui->Image4, u"Frame9", u"日程提醒"},
        {m_ui->Label31, m_ui->Image5, u"Frame11", u"商品进货"},
        {m_ui->Label32, m_ui->Image6, u"Frame12", u"商品销售"},
        {m_ui->Label48, m_ui->Image7, u"Frame13", u"库存"},
        {m_ui->Label9, m_ui->Image8, u"Frame16", u"折线图"},
        {m_ui->Label10, m_ui->Image9, u"Frame15", u"销售图表"},
        {m_ui->Label59, m_ui->Image10, u"Frame25", u"设置"},
    };
    m_nav.reserve(std::size(rows));
    for (const Row& row : rows) {
        Page* page =
            createPage(QString::fromUtf16(row.frame), QString::fromUtf16(row.caption), m_env, this);
        page->setGeometry(kPageGeometry); // the design: fitted to the screen with the window
        page->hide();
        m_nav.push_back({row.label, row.highlight, page, connectCharts(page)});
    }
}

void MainWindow::load()
{
    shapeWindow();
    highlight(m_nav.front());
    showOnly(m_nav.front().page);
    m_timer1->start(1000);
    for (const NavEntry& entry : m_nav) {
        entry.page->windowLoaded();
    }
    showCharts();
    m_context.pictures.setBackground(this, Pictures::mainBackground());
    listMissedReminders();
    m_dailyBackup->startIfDue(m_context.clock.now());
    // The keyboard starts on the navigation; the title bar's buttons come last. Ordered once
    // every page is shown and built, which may itself rearrange the order.
    putLastInTabOrder(this, {m_ui->Image44, m_ui->Image43, m_ui->Image41, m_ui->Image42});
    m_nav.front().label->setFocus(Qt::OtherFocusReason);
}

// Reminders that fell due while the program was closed are listed once: the stamp moves to
// now as soon as they have been read.
void MainWindow::listMissedReminders()
{
    const QDateTime now = m_context.clock.now();
    std::optional<QDateTime> lastRun = m_lastRun->read();
    if (lastRun && *lastRun > now.addSecs(60)) {
        const QString format = QStringLiteral("yyyy-M-d H:mm");
        m_context.dialogs.message(
            this,
            QStringLiteral("程序上次运行的时间（%1）晚于现在（%2），电脑的时钟当时或现在不准，"
                           "请核对日期和时间。关闭期间到期的提醒按最近 %3 天列出。")
                .arg(lastRun->toString(format), now.toString(format))
                .arg(LastRunStamp::kDaysListedAfterClockChange),
            QStringLiteral("提示"), Dialogs::Icon::Warning);
        lastRun = now.addDays(-LastRunStamp::kDaysListedAfterClockChange);
    }
    std::vector<MissedReminder> missed;
    if (lastRun && !guarded(m_context.dialogs, this,
                            [&] { missed = missedReminders(m_context.store, *lastRun, now); })) {
        return; // kept for the next login
    }
    m_lastRun->write(now);
    if (!missed.empty()) {
        auto* window = new MissedRemindersWindow(missed, this);
        window->show();
        window->raise();
    }
}

// The chart tables are computed here, at load and whenever a page showing them is selected,
// and handed to every page that shows them (the month and year pages, the desktop's chart).
void MainWindow::showCharts()
{
    guarded(m_context.dialogs, this, [this] {
        Q_EMIT chartsComputed(computeChartTables(m_context.store, m_context.clock.today()));
    });
}

// A page of one of these kinds takes the tables from the window's signal.
bool MainWindow::connectCharts(Page* page)
{
    return takesCharts<DesktopPage>(this, page) || takesCharts<MonthChartPage>(this, page) ||
           takesCharts<YearChartPage>(this, page);
}

// The desktop's low-stock line opens the stock page as its navigation label does, then
// narrows the listing to the products at or below their minimum.
void MainWindow::connectLowStock()
{
    auto* desktop = qobject_cast<DesktopPage*>(m_nav.front().page);
    for (const NavEntry& entry : m_nav) {
        auto* stock = qobject_cast<StockPage*>(entry.page);
        if (desktop != nullptr && stock != nullptr) {
            connect(desktop, &DesktopPage::lowStockWanted, this, [this, &entry, stock] {
                select(entry);
                stock->showLowStock();
            });
        }
    }
}

Page* MainWindow::page(const QString& frameName) const
{
    for (const NavEntry& entry : m_nav) {
        if (entry.page->objectName() == frameName) {
            return entry.page;
        }
    }
    return nullptr;
}

Page* MainWindow::currentPage() const
{
    for (const NavEntry& entry : m_nav) {
        if (entry.page->isVisibleTo(this)) {
            return entry.page;
        }
    }
    return nullptr;
}

void MainWindow::highlight(const NavEntry& chosen)
{
    for (const NavEntry& entry : m_nav) {
        if (&entry == &chosen) {
            m_context.pictures.show(entry.highlight, Pictures::highlight());
        } else {
            Pictures::clear(entry.highlight);
        }
    }
}

void MainWindow::showOnly(Page* page)
{
    for (const NavEntry& entry : m_nav) {
        if (entry.page != page) {
            entry.page->hide();
        }
    }
    page->setGeometry(screen_fit::scaled(kPageGeometry));
    page->show();
}

void MainWindow::select(const NavEntry& entry)
{
    highlight(entry);
    entry.page->loadNormalPictures();
    showOnly(entry.page);
    entry.page->opened();
    if (entry.showsCharts) {
        showCharts(); // what was recorded since the last look shows at once
    }
    // The keyboard goes where the work of the page begins, not to the title bar.
    QWidget* box = entry.page->firstEntryBox();
    (box != nullptr ? box : static_cast<QWidget*>(entry.label))->setFocus(Qt::ShortcutFocusReason);
}

// Only a failure is worth a word outside the backup page. It is said where the operator looks:
// on the desktop and in the backup page's status line. The notification icon appears only with
// the first minimise; a window already waiting there also gives a balloon.
void MainWindow::reportDailyBackupFailure(const QString& message)
{
    if (auto* desktop = findChild<DesktopPage*>()) {
        desktop->showDailyBackupFailure(message);
    }
    if (auto* backupPage = findChild<BackupPage*>()) {
        backupPage->showDailyBackupFailure(message);
    }
    if (m_tray && m_tray->isAvailable() && m_tray->isShown()) {
        m_tray->balloon(QStringLiteral("自动备份没有完成"), message);
    }
}

void MainWindow::checkAlarm()
{
    m_alarm->check();
    m_lastRun->touch(m_context.clock.now());
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    m_timer1->stop();
    m_lastRun->write(m_context.clock.now());
    if (m_tray) {
        m_tray->remove();
    }
    m_context.inputAids.closeCalendar();
    m_context.inputAids.closeCalculator();
    for (const NavEntry& entry : m_nav) {
        entry.page->closeWindows();
    }
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_context.pictures.setBackground(this, Pictures::mainBackground());
    if (!mask().isEmpty()) {
        shapeWindow(); // drawn at another zoom
    }
}

void MainWindow::shapeWindow()
{
    // Set at load and again when the zoom changes the window's fixed size.
    setMask(windowOutlineRegion(width(), height()));
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        // After the state change showMinimized() shows the window again: hide it afterwards.
        QMetaObject::invokeMethod(this, &MainWindow::minimiseToTray, Qt::QueuedConnection);
    }
}

void MainWindow::minimiseToTray()
{
    // Without a notification area the window stays on the task bar instead of vanishing.
    // The state change may arrive twice; only a shown, minimised window goes to the tray.
    if (!isMinimized() || !isVisible() || !m_tray || !m_tray->isAvailable()) {
        return;
    }
    hide();
    m_tray->add(m_context.pictures.path(Pictures::trayIcon()),
                QStringLiteral("栎川电子商务管理系统"));
    m_tray->balloon(QString(), QStringLiteral("栎川电子商务管理系统\r\n欢迎访问") + siteAddress());
}

void MainWindow::restoreFromTray()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    activateWindow();
}

void MainWindow::showHelp()
{
    // Not over a question or a progress window that is waiting for the operator.
    if (QApplication::activeModalWidget() != nullptr) {
        return;
    }
    if (m_help.isNull()) {
        m_help = new HelpWindow(HelpWindow::defaultGuidePath(), this);
        m_help->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void MainWindow::openSite()
{
    m_openUrl(QUrl(siteAddress()));
}

// Any mouse button drags the background.
void MainWindow::mousePressEvent(QMouseEvent* event)
{
    m_dragging = true;
    m_dragStart = event->position().toPoint();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    // Only a normal window moves; being the active window (as a second start leaves it) is
    // still normal.
    constexpr Qt::WindowStates notNormal =
        Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    if (m_dragging && (windowState() & notNormal) == Qt::WindowNoState) {
        move(pos() + event->position().toPoint() - m_dragStart);
    }
}

void MainWindow::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
}

} // namespace khgl

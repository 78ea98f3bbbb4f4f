#pragma once

#include "statistics/chart_tables.h"
#include "widgets/hover.h"
#include "widgets/page.h"

#include <QPoint>
#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QTimer;

namespace Ui {
class MainWindow;
}

namespace khgl {

class AlarmCheck;
class DailyBackup;
class HelpWindow;
class LastRunStamp;
class ClickLabel;
class TrayIcon;

// The operator's workspace: ten navigation labels switch between the page frames.
class MainWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The load sequence: outline, desktop page, alarm timer, figures, charts, background.
    void load();

    Page* page(const QString& frameName) const;
    Page* currentPage() const;
    HoverFlags& hoverFlags() { return m_flags; }
    QTimer* timer1() const { return m_timer1; }
    TrayIcon* tray() const { return m_tray.get(); }
    DailyBackup* dailyBackup() const { return m_dailyBackup; }

    // The product's web site, opened by the title bar and named in the balloon.
    static QString siteAddress() { return QStringLiteral("https://www.lichuan-shop.cn"); }
    void setUrlOpener(std::function<void(const QUrl&)> opener) { m_openUrl = std::move(opener); }

Q_SIGNALS:
    // The chart tables were computed: at load, and each time a page showing them is selected.
    void chartsComputed(const ChartTables& tables);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct NavEntry
    {
        ClickLabel* label;
        QLabel* highlight;
        Page* page;
        bool showsCharts;
    };
    void buildPages();
    bool connectCharts(Page* page);
    void connectLowStock();
    void select(const NavEntry& entry);
    void highlight(const NavEntry& entry);
    void showOnly(Page* page);
    void showCharts();
    void checkAlarm();
    void listMissedReminders();
    void reportDailyBackupFailure(const QString& message);
    void shapeWindow();
    void minimiseToTray();
    void restoreFromTray();
    void openSite();
    void showHelp();

    AppContext& m_context;
    std::unique_ptr<Ui::MainWindow> m_ui;
    HoverFlags m_flags;
    HoverCommands m_hover;
    PageEnv m_env;
    std::vector<NavEntry> m_nav;
    QTimer* m_timer1;
    std::unique_ptr<TrayIcon> m_tray;
    QPointer<HelpWindow> m_help;
    std::function<void(const QUrl&)> m_openUrl;
    bool m_dragging = false;
    QPoint m_dragStart;
    std::unique_ptr<AlarmCheck> m_alarm;
    std::unique_ptr<LastRunStamp> m_lastRun;
    DailyBackup* m_dailyBackup;
};

} // namespace khgl

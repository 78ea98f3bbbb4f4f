#pragma once

#include "platform/hover.h"
#include "shell/page.h"

#include <QWidget>
#include <memory>
#include <vector>

class QLabel;
class QTimer;

namespace Ui {
class MainWindow;
}

namespace khgl {

class AlarmCheck;
class ClickLabel;

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

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct NavEntry
    {
        ClickLabel* label;
        QLabel* highlight;
        Page* page;
    };
    void buildPages();
    void select(const NavEntry& entry);
    void highlight(const NavEntry& entry);
    void showOnly(Page* page);
    void showCharts();
    void checkAlarm();

    AppContext& m_context;
    std::unique_ptr<Ui::MainWindow> m_ui;
    HoverFlags m_flags;
    HoverCommands m_hover;
    PageEnv m_env;
    std::vector<NavEntry> m_nav;
    QTimer* m_timer1;
    std::unique_ptr<AlarmCheck> m_alarm;
};

} // namespace khgl

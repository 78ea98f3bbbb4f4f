#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class ProfitMonthsWindow;
}

namespace khgl {

struct AppContext;

// The gross profit of each month of a year as a line. Shown without blocking.
class ProfitMonthsWindow final : public QWidget
{
    Q_OBJECT

public:
    ProfitMonthsWindow(AppContext& context, QWidget* parent);
    ~ProfitMonthsWindow() override;

    // Brings up the one window of from's top-level window for this year's months.
    static ProfitMonthsWindow* open(AppContext& context, QWidget* from, int year);
    void showYear(int year);

private:
    AppContext& m_context;
    std::unique_ptr<Ui::ProfitMonthsWindow> m_ui;
};

} // namespace khgl

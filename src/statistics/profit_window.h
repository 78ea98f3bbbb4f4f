#pragma once

#include "goods/profit_records.h"

#include <QWidget>
#include <memory>
#include <optional>

namespace Ui {
class ProfitWindow;
}

namespace khgl {

struct AppContext;

// What the shop earned in a period: one row per product sold (quantity, sales, weighted
// average purchase price, cost, gross profit and margin) with a totals row, and the ten
// products of largest gross profit as bars. Shown without blocking.
class ProfitWindow final : public QWidget
{
    Q_OBJECT

public:
    ProfitWindow(AppContext& context, QWidget* parent);
    ~ProfitWindow() override;

    // Brings up the one profit window of from's top-level window, making it when needed.
    static ProfitWindow* open(AppContext& context, QWidget* from);
    // Gives a chart page and its charts a context menu with "利润分析…" and, when asked,
    // "显示每月毛利" (this year's months as a line).
    static void addMenuEntries(AppContext& context, QWidget& page, bool withMonths);

private:
    void choosePeriod(int choice);
    void recompute();
    std::optional<goods::ProfitPeriod> period();
    void fillGrid();
    void fillChart();
    void showStatus();
    void sortBy(int col);

    AppContext& m_context;
    std::unique_ptr<Ui::ProfitWindow> m_ui;
    goods::ProfitReport m_report;
    int m_sortCol = 0; // 0: by 毛利 as computed
    bool m_descending = true;
};

} // namespace khgl

#pragma once

#include "widgets/page.h"

#include <memory>

namespace Ui {
class MonthChartPage;
}

namespace khgl {

// The month page: customer purchases (MSC1) and sales (MSC2) for every day of this month,
// computed again each time the page is shown.
class MonthChartPage final : public Page
{
    Q_OBJECT

public:
    MonthChartPage(PageEnv& env, QWidget* parent);
    ~MonthChartPage() override;

    void chartsComputed(const ChartTables& tables) override;
    bool showsCharts() const override { return true; }

private:
    std::unique_ptr<Ui::MonthChartPage> m_ui;
};

} // namespace khgl

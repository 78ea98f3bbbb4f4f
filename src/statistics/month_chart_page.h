#pragma once

#include "widgets/page.h"

#include <memory>

namespace Ui {
class MonthChartPage;
}

namespace khgl {

struct ChartTables;

// The month page: customer purchases (MSC1) and sales (MSC2) for every day of this month,
// computed again each time the page is shown.
class MonthChartPage final : public Page
{
    Q_OBJECT

public:
    MonthChartPage(PageEnv& env, QWidget* parent);
    ~MonthChartPage() override;

    // Shows the chart tables the main window computed.
    void showTables(const ChartTables& tables);

private:
    std::unique_ptr<Ui::MonthChartPage> m_ui;
};

} // namespace khgl

#pragma once

#include "widgets/page.h"

#include <memory>

namespace Ui {
class YearChartPage;
}

namespace khgl {

struct ChartTables;

// The year page: customer purchases (MSC3) and sales (MSC4) for every month of this year,
// computed again each time the page is shown.
class YearChartPage final : public Page
{
    Q_OBJECT

public:
    YearChartPage(PageEnv& env, QWidget* parent);
    ~YearChartPage() override;

    // Shows the chart tables the main window computed.
    void showTables(const ChartTables& tables);

private:
    std::unique_ptr<Ui::YearChartPage> m_ui;
};

} // namespace khgl

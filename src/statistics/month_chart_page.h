#pragma once

#include "platform/page.h"

#include <memory>

namespace Ui {
class MonthChartPage;
}

namespace khgl {

// The month page: customer purchases (MSC1) and sales (MSC2) for every day of this month,
// as the main window computed them at load.
class MonthChartPage final : public Page
{
    Q_OBJECT

public:
    MonthChartPage(PageEnv& env, QWidget* parent);
    ~MonthChartPage() override;

    void chartsComputed(const ChartTables& tables) override;

private:
    std::unique_ptr<Ui::MonthChartPage> m_ui;
};

} // namespace khgl

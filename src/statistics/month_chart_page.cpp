#include "statistics/month_chart_page.h"

#include "statistics/chart_tables.h"
#include "statistics/profit_window.h"
#include "ui_month_chart_page.h"

namespace khgl {

MonthChartPage::MonthChartPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::MonthChartPage>())
{
    m_ui->setupUi(this);
    m_ui->MSC1->setKind(TableChart::Kind::Line);
    m_ui->MSC2->setKind(TableChart::Kind::Line);
    ProfitWindow::addMenuEntries(m_context, *this, false);
}

MonthChartPage::~MonthChartPage() = default;

void MonthChartPage::showTables(const ChartTables& tables)
{
    m_ui->MSC1->setTable(tables.customersPerDay);
    m_ui->MSC2->setTable(tables.salesPerDay);
}

} // namespace khgl

#include "statistics/year_chart_page.h"

#include "statistics/chart_tables.h"
#include "statistics/profit_window.h"
#include "ui_year_chart_page.h"

namespace khgl {

YearChartPage::YearChartPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::YearChartPage>())
{
    m_ui->setupUi(this);
    m_ui->MSC3->setKind(TableChart::Kind::Bar);
    m_ui->MSC4->setKind(TableChart::Kind::Bar);
    ProfitWindow::addMenuEntries(m_context, *this, true);
}

YearChartPage::~YearChartPage() = default;

void YearChartPage::showTables(const ChartTables& tables)
{
    m_ui->MSC3->setTable(tables.customersPerMonth);
    m_ui->MSC4->setTable(tables.salesPerMonth);
}

} // namespace khgl

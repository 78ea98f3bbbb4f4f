#include "statistics/profit_months_window.h"

#include "goods/profit_records.h"
#include "platform/app_context.h"
#include "platform/guard.h"
#include "statistics/chart_tables.h"
#include "ui_profit_months_window.h"
#include "widgets/screen_fit.h"

#include <QShortcut>

namespace khgl {

ProfitMonthsWindow::ProfitMonthsWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context),
      m_ui(std::make_unique<Ui::ProfitMonthsWindow>())
{
    m_ui->setupUi(this);
    screen_fit::fitWindow(this);
    setAttribute(Qt::WA_DeleteOnClose);
    // Only the main window ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
    m_ui->ProfitMonthsChart->setKind(TableChart::Kind::Line);
}

ProfitMonthsWindow::~ProfitMonthsWindow() = default;

ProfitMonthsWindow* ProfitMonthsWindow::open(AppContext& context, QWidget* from, int year)
{
    QWidget* host = from->window();
    auto* window = host->findChild<ProfitMonthsWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (window == nullptr) {
        window = new ProfitMonthsWindow(context, host);
    }
    window->showYear(year);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void ProfitMonthsWindow::showYear(int year)
{
    guarded(m_context.dialogs, this, [this, year] {
        const std::vector<qint64> months = goods::monthlyProfitCents(m_context.store, year);
        ChartTable table;
        for (std::size_t i = 0; i < months.size(); ++i) {
            table.push_back({monthLabel(year, static_cast<int>(i) + 1), months[i] / 100.0});
        }
        m_ui->ProfitMonthsChart->setTable(table);
        m_ui->ProfitMonthsCaption->setText(QStringLiteral("%1 年每月毛利（元）").arg(year));
    });
}

} // namespace khgl

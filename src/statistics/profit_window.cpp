#include "statistics/profit_window.h"

#include "data_store/values.h"
#include "platform/aid_opener.h"
#include "platform/aid_target.h"
#include "platform/app_context.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "statistics/chart_tables.h"
#include "statistics/profit_months_window.h"
#include "ui_profit_window.h"
#include "widgets/grid_menu.h"
#include "widgets/record_grid.h"
#include "widgets/screen_fit.h"

#include <QAction>
#include <QHeaderView>
#include <QShortcut>
#include <algorithm>

namespace khgl {
namespace {

constexpr int kCalendarGap = 300; // twips below the box
constexpr int kChartBars = 10;

// Grid columns.
enum Column
{
    kName = 1,
    kQuantity,
    kSales,
    kAveragePrice,
    kCost,
    kProfit,
    kMargin,
    kColumns
};

// Period choices in the order of the ProfitPeriod box.
enum Choice
{
    kThisMonth,
    kLastMonth,
    kThisYear,
    kLastYear,
    kEverything
};

QString noPurchases()
{
    return QStringLiteral("无进货记录");
}

QString dateBoxText(const QDate& date)
{
    return date.isValid() ? dateText(date) : QString();
}

// What a column sorts by; products without a cost after the others in the cost columns.
qint64 sortValue(const goods::ProductProfit& p, int col)
{
    switch (col) {
    case kQuantity:
        return p.soldThousandths;
    case kSales:
        return p.salesCents;
    case kAveragePrice:
        return p.averagePriceCents();
    case kCost:
        return p.costCents();
    case kMargin:
        return p.salesCents == 0 ? 0 : p.profitCents() * 1000000 / p.salesCents;
    default:
        return p.profitCents();
    }
}

} // namespace

ProfitWindow::ProfitWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_ui(std::make_unique<Ui::ProfitWindow>())
{
    m_ui->setupUi(this);
    screen_fit::fitWindow(this);
    setAttribute(Qt::WA_DeleteOnClose);
    // Only the main window ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
    m_ui->ProfitChart->setKind(TableChart::Kind::Bar);
    m_ui->profitSplitter->setStretchFactor(0, 3);
    m_ui->profitSplitter->setStretchFactor(1, 2);
    new GridMenu(*m_ui->ProfitGrid, {m_context.dialogs, m_context.clock,
                                     [this] { return windowTitle(); }, [] { return QString(); }});
    for (const auto& [box, code] :
         {std::pair{m_ui->ProfitFrom, aid::ProfitFrom}, std::pair{m_ui->ProfitTo, aid::ProfitTo}}) {
        m_context.inputAids.registerDateBox(code, box);
        connect(box, &ClickLineEdit::clicked, this, [this, box, code] {
            m_context.inputAids.showCalendarBelow(code, box, kCalendarGap);
        });
        connect(box, &QLineEdit::returnPressed, this, &ProfitWindow::recompute);
    }
    connect(m_ui->ProfitPeriod, &QComboBox::activated, this, &ProfitWindow::choosePeriod);
    connect(m_ui->ProfitShow, &QPushButton::clicked, this, &ProfitWindow::recompute);
    connect(m_ui->ProfitGrid->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { sortBy(section + 1); });
    choosePeriod(kThisMonth);
}

ProfitWindow::~ProfitWindow() = default;

ProfitWindow* ProfitWindow::open(AppContext& context, QWidget* from)
{
    QWidget* host = from->window();
    auto* window = host->findChild<ProfitWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (window == nullptr) {
        window = new ProfitWindow(context, host);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void ProfitWindow::addMenuEntries(AppContext& context, QWidget& page, bool withMonths)
{
    auto* profit = new QAction(QStringLiteral("利润分析…"), &page);
    profit->setObjectName(QStringLiteral("profitAnalysis"));
    connect(profit, &QAction::triggered, &page, [&context, &page] { open(context, &page); });
    QList<QAction*> actions{profit};
    if (withMonths) {
        auto* months = new QAction(QStringLiteral("显示每月毛利"), &page);
        months->setObjectName(QStringLiteral("profitMonths"));
        connect(months, &QAction::triggered, &page, [&context, &page] {
            ProfitMonthsWindow::open(context, &page, context.clock.today().year());
        });
        actions << months;
    }
    QList<QWidget*> targets{&page};
    for (TableChart* chart : page.findChildren<TableChart*>()) {
        targets << chart;
    }
    for (QWidget* target : targets) {
        target->setContextMenuPolicy(Qt::ActionsContextMenu);
        target->addActions(actions);
    }
}

void ProfitWindow::choosePeriod(int choice)
{
    const QDate today = m_context.clock.today();
    const QDate month(today.year(), today.month(), 1);
    const QDate year(today.year(), 1, 1);
    QDate from;
    QDate to;
    switch (choice) {
    case kThisMonth:
        from = month;
        to = month.addMonths(1).addDays(-1);
        break;
    case kLastMonth:
        from = month.addMonths(-1);
        to = month.addDays(-1);
        break;
    case kThisYear:
        from = year;
        to = year.addYears(1).addDays(-1);
        break;
    case kLastYear:
        from = year.addYears(-1);
        to = year.addDays(-1);
        break;
    default: // everything: both ends open
        break;
    }
    m_ui->ProfitPeriod->setCurrentIndex(choice);
    m_ui->ProfitFrom->setText(dateBoxText(from));
    m_ui->ProfitTo->setText(dateBoxText(to));
    recompute();
}

std::optional<goods::ProfitPeriod> ProfitWindow::period()
{
    goods::ProfitPeriod period;
    for (const auto& [box, day, caption] :
         {std::tuple{m_ui->ProfitFrom, &period.from, QStringLiteral("从")},
          std::tuple{m_ui->ProfitTo, &period.to, QStringLiteral("到")}}) {
        const QString text = box->text().trimmed();
        if (text.isEmpty()) {
            continue;
        }
        const auto date = parseDate(text);
        if (!date) {
            m_context.dialogs.inform(
                this, QStringLiteral("“%1”的日期“%2”无法识别，请写成 2026-3-5 的样子。")
                          .arg(caption, text.left(50)));
            return std::nullopt;
        }
        *day = *date;
    }
    if (period.from.isValid() && period.to.isValid() && period.from > period.to) {
        m_context.dialogs.inform(this, QStringLiteral("开始日期晚于结束日期。"));
        return std::nullopt;
    }
    return period;
}

void ProfitWindow::recompute()
{
    const auto chosen = period();
    if (!chosen) {
        return;
    }
    guarded(m_context.dialogs, this, [this, &chosen] {
        m_report = goods::profitReport(m_context.store, *chosen);
        m_sortCol = 0;
        m_descending = true;
        fillGrid();
        fillChart();
        showStatus();
    });
}

void ProfitWindow::fillGrid()
{
    RecordGrid& grid = *m_ui->ProfitGrid;
    RecordGrid::Batch batch(grid);
    grid.clearTexts();
    grid.setCols(kColumns);
    grid.setRows(static_cast<int>(m_report.products.size()) + 2);
    grid.setColWidth(0, 300);
    grid.setColWidth(kName, 2000);
    const QStringList headers{QStringLiteral("名称"),     QStringLiteral("销售数量"),
                              QStringLiteral("销售金额"), QStringLiteral("平均进价"),
                              QStringLiteral("销售成本"), QStringLiteral("毛利"),
                              QStringLiteral("毛利率")};
    for (int col = kName; col < kColumns; ++col) {
        grid.setText(0, col, headers[col - kName]);
        if (col != kName) {
            grid.setColWidth(col, 1300);
        }
    }
    int row = 1;
    for (const goods::ProductProfit& p : m_report.products) {
        grid.setText(row, kName, p.name);
        grid.setText(row, kQuantity, goods::quantityText(p.soldThousandths));
        grid.setText(row, kSales, goods::centsText(p.salesCents));
        if (p.hasCost()) {
            grid.setText(row, kAveragePrice, goods::centsText(p.averagePriceCents()));
            grid.setText(row, kCost, goods::centsText(p.costCents()));
            grid.setText(row, kProfit, goods::centsText(p.profitCents()));
            grid.setText(row, kMargin, goods::marginText(p.profitCents(), p.salesCents));
        } else {
            grid.setText(row, kAveragePrice, noPurchases());
            grid.setText(row, kCost, noPurchases());
        }
        ++row;
    }
    grid.setText(row, kName, QStringLiteral("合计"));
    grid.setText(row, kQuantity, goods::quantityText(m_report.soldThousandths));
    grid.setText(row, kSales, goods::centsText(m_report.salesCents));
    grid.setText(row, kCost, goods::centsText(m_report.costCents));
    grid.setText(row, kProfit, goods::centsText(m_report.profitCents));
    grid.setText(row, kMargin, goods::marginText(m_report.profitCents, m_report.costedSalesCents));
    grid.scrollToTop();
}

void ProfitWindow::fillChart()
{
    std::vector<const goods::ProductProfit*> costed;
    for (const goods::ProductProfit& p : m_report.products) {
        if (p.hasCost()) {
            costed.push_back(&p);
        }
    }
    const auto shown = std::min<std::size_t>(costed.size(), kChartBars);
    std::partial_sort(
        costed.begin(), costed.begin() + static_cast<std::ptrdiff_t>(shown), costed.end(),
        [](const auto* a, const auto* b) { return a->profitCents() > b->profitCents(); });
    ChartTable table;
    for (std::size_t i = 0; i < shown; ++i) {
        table.push_back({costed[i]->name.trimmed(), costed[i]->profitCents() / 100.0});
    }
    m_ui->ProfitChart->setTable(table);
}

void ProfitWindow::showStatus()
{
    QString text = QStringLiteral("%1 种商品有销售").arg(m_report.products.size());
    if (m_report.withoutPurchases > 0) {
        text += QStringLiteral("；其中 %1 种没有进货记录，未计入成本和毛利")
                    .arg(m_report.withoutPurchases);
    }
    m_ui->ProfitStatus->setText(text + QStringLiteral("。"));
}

void ProfitWindow::sortBy(int col)
{
    if (col < kName || col >= kColumns || m_report.products.empty()) {
        return;
    }
    m_descending = col == m_sortCol ? !m_descending : col != kName;
    m_sortCol = col;
    const bool descending = m_descending;
    std::stable_sort(
        m_report.products.begin(), m_report.products.end(),
        [col, descending](const goods::ProductProfit& a, const goods::ProductProfit& b) {
            if (col == kName) {
                const int order = a.name.compare(b.name, Qt::CaseInsensitive);
                return descending ? order > 0 : order < 0;
            }
            const bool costColumn = col >= kAveragePrice;
            if (costColumn && a.hasCost() != b.hasCost()) {
                return a.hasCost();
            }
            const qint64 left = sortValue(a, col);
            const qint64 right = sortValue(b, col);
            return descending ? left > right : left < right;
        });
    fillGrid();
}

} // namespace khgl

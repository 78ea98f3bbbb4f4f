#include "goods/stock_page.h"
#include "shell/page_factory.h"
#include "statistics/profit_months_window.h"
#include "statistics/profit_window.h"
#include "statistics/table_chart.h"
#include "support/controls.h"
#include "support/env.h"
#include "widgets/hover.h"
#include "widgets/page.h"
#include "widgets/record_grid.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

using namespace khgl;
using namespace khgl::test;

namespace {

void add(TestEnv& env, const QString& table, const QString& name, int quantity, double amount,
         const QString& date)
{
    insertRow(env.store, table,
              {{QStringLiteral("名称"), name},
               {QStringLiteral("数量"), quantity},
               {QStringLiteral("总金额"), amount},
               {QStringLiteral("日期"), date}});
}

// Today is 2026-12-7 (the fake clock).
struct ShopPages
{
    ShopPages()
    {
        const QString bought = QStringLiteral("进货表");
        const QString sold = QStringLiteral("销售表");
        add(env, bought, QStringLiteral("茶叶"), 10, 20, QStringLiteral("2026-12-1"));
        add(env, sold, QStringLiteral("茶叶"), 3, 9, QStringLiteral("2026-12-05"));
        add(env, sold, QStringLiteral("糖"), 2, 5, QStringLiteral("2026-12-6"));
        add(env, sold, QStringLiteral("茶叶"), 1, 3, QStringLiteral("2026-11-30"));
    }

    TestEnv env;
    HoverFlags flags;
    HoverCommands hover{env.context.pictures};
    PageEnv pageEnv{env.context, hover, flags};
};

} // namespace

class TestProfitWindow final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The stock grid's menu opens the window on this month; the last row sums it up.
    void openedFromTheStockPage()
    {
        ShopPages shop;
        std::unique_ptr<Page> stock(
            createPage(QStringLiteral("Frame13"), QStringLiteral("库存"), shop.pageEnv, nullptr));
        stock->show();
        auto* menu = stock->findChild<QMenu*>(QStringLiteral("gridMenu"));
        QVERIFY(menu != nullptr);
        auto* entry = menu->findChild<QAction*>(QStringLiteral("profitAnalysis"));
        QVERIFY(entry != nullptr);
        QCOMPARE(entry->text(), QStringLiteral("利润分析…"));
        entry->trigger();

        auto* window = stock->findChild<ProfitWindow*>(QStringLiteral("ProfitWindow"));
        QVERIFY(window != nullptr && window->isVisible());
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("ProfitFrom"))->text(),
                 QStringLiteral("2026-12-1"));
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("ProfitTo"))->text(),
                 QStringLiteral("2026-12-31"));
        auto* grid = window->findChild<RecordGrid*>(QStringLiteral("ProfitGrid"));
        QCOMPARE(grid->rows(), 4);
        QCOMPARE(rowTexts(grid, 0),
                 QStringList({QStringLiteral("名称"), QStringLiteral("销售数量"),
                              QStringLiteral("销售金额"), QStringLiteral("平均进价"),
                              QStringLiteral("销售成本"), QStringLiteral("毛利"),
                              QStringLiteral("毛利率")}));
        QCOMPARE(rowTexts(grid, 2), QStringList({QStringLiteral("糖"),
                                                 QStringLiteral("2"),
                                                 QStringLiteral("5.00"),
                                                 QStringLiteral("无进货记录"),
                                                 QStringLiteral("无进货记录"),
                                                 {},
                                                 {}}));
        QCOMPARE(rowTexts(grid, 3), QStringList({QStringLiteral("合计"),
                                                 QStringLiteral("5"),
                                                 QStringLiteral("14.00"),
                                                 {},
                                                 QStringLiteral("6.00"),
                                                 QStringLiteral("3.00"),
                                                 QStringLiteral("33.33%")}));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("ProfitStatus"))
                    ->text()
                    .contains(QStringLiteral("1 种没有进货记录")));
        QCOMPARE(window->findChild<TableChart*>(QStringLiteral("ProfitChart"))->table(),
                 ChartTable({{QStringLiteral("茶叶"), 3.0}}));

        // 全部 through the keyboard: last month's sale joins in.
        auto* period = window->findChild<QComboBox*>(QStringLiteral("ProfitPeriod"));
        period->setFocus();
        QTest::keyClick(period, Qt::Key_End);
        QCOMPARE(period->currentText(), QStringLiteral("全部"));
        QVERIFY(window->findChild<QLineEdit*>(QStringLiteral("ProfitFrom"))->text().isEmpty());
        QCOMPARE(
            rowTexts(grid, 3).mid(0, 3),
            QStringList({QStringLiteral("合计"), QStringLiteral("6"), QStringLiteral("17.00")}));

        // A header click sorts by that column; the totals stay last.
        QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(grid->horizontalHeader()->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(grid->text(1, 1), QStringLiteral("糖"));
        QCOMPARE(grid->text(3, 1), QStringLiteral("合计"));
    }

    // The year chart page's menu draws each month's 毛利 of this year as a line.
    void monthlyProfitFromTheYearPage()
    {
        ShopPages shop;
        std::unique_ptr<Page> year(createPage(QStringLiteral("Frame15"), QStringLiteral("销售图表"),
                                              shop.pageEnv, nullptr));
        auto* entry = year->findChild<QAction*>(QStringLiteral("profitMonths"));
        QVERIFY(entry != nullptr);
        QVERIFY(year->actions().contains(entry));
        entry->trigger();
        auto* window = year->findChild<ProfitMonthsWindow*>();
        QVERIFY(window != nullptr);
        const ChartTable& line =
            window->findChild<TableChart*>(QStringLiteral("ProfitMonthsChart"))->table();
        QCOMPARE(line.size(), std::size_t(12));
        QCOMPARE(line[10], (ChartPoint{QStringLiteral("2026-11"), 0.0}));
        QCOMPARE(line[11], (ChartPoint{QStringLiteral("2026-12"), 3.0}));
    }
};

QTEST_MAIN(TestProfitWindow)
#include "test_profit_window.moc"

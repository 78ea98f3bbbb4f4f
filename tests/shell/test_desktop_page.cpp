#include "data_store/data_store.h"
#include "shell/desktop_page.h"
#include "shell/main_window.h"
#include "statistics/chart_tables.h"
#include "statistics/table_chart.h"
#include "support/env.h"
#include "widgets/click_widgets.h"
#include "widgets/record_grid.h"

#include <QLabel>
#include <QTest>
#include <tuple>

using namespace khgl;
using khgl::test::insertCustomer;
using khgl::test::insertSale;
using khgl::test::TestEnv;

namespace {

void addReminder(DataStore& store, const QString& date, const QString& content)
{
    khgl::test::insertRow(
        store, QStringLiteral("提醒表"),
        {{QStringLiteral("提醒日期"), date}, {QStringLiteral("提醒内容"), content}});
}

// A desktop page as the main window's load leaves it, on the test's clock.
struct Desktop
{
    explicit Desktop(TestEnv& env) : penv{env.context, hover, flags}, page(penv, nullptr)
    {
        page.resize(905, 481);
        page.show();
        page.windowLoaded();
    }
    QString text(const char* name) const
    {
        return page.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    QStringList captions() const
    {
        QStringList out;
        for (int i = 0; i < DesktopPage::kCells; ++i) {
            out << page.cell(i)->text();
        }
        return out;
    }

    HoverFlags flags;
    HoverCommands hover{pictures};
    Pictures pictures{QString()};
    PageEnv penv;
    DesktopPage page;
};

QColor cellBackground(QWidget* cell)
{
    return cell->grab().toImage().pixelColor(1, 1);
}

// True when some text pixel of the cell is yellow (neighbouring months' days).
bool hasYellowText(QWidget* cell)
{
    const QImage image = cell->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() < 120) {
                return true;
            }
        }
    }
    return false;
}

QStringList numbers(int from, int to)
{
    QStringList out;
    for (int n = from; n <= to; ++n) {
        out << QString::number(n);
    }
    return out;
}

} // namespace

class TestDesktopPage final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void calendarFollowsThePickerLayout()
    {
        TestEnv env;
        // February 2026 starts on a Sunday and has 28 days: rows 5 and 6 stay blank.
        env.clock.setDate(QDate(2026, 2, 10));
        {
            Desktop desk(env);
            QCOMPARE(desk.captions().mid(0, 28), numbers(1, 28));
            QCOMPARE(desk.captions().mid(28), QStringList(14, QString()));
            QCOMPARE(desk.text("Label47"), QStringLiteral("2026 年 2月"));
            QCOMPARE(desk.text("Label29"), QStringLiteral(" 日  一  二 三 四 五  六"));
            QCOMPARE(cellBackground(desk.page.cell(9)), QColor(0, 0, 255));
            QCOMPARE(cellBackground(desk.page.cell(10)), QColor(255, 255, 255));
            QVERIFY(!hasYellowText(desk.page.cell(9)));
        }
        // March 2024 starts on a Friday after a leap February.
        env.clock.setDate(QDate(2024, 3, 1));
        {
            Desktop desk(env);
            QCOMPARE(desk.captions().mid(0, 6), numbers(25, 29) << QStringLiteral("1"));
            QVERIFY(hasYellowText(desk.page.cell(0)));
            QVERIFY(!hasYellowText(desk.page.cell(5)));
            QCOMPARE(cellBackground(desk.page.cell(5)), QColor(0, 0, 255));
            // March ends in cell 35 (row 6): April's days fill the rest of that row.
            QCOMPARE(desk.captions().mid(35), QStringList()
                                                  << QStringLiteral("31") << numbers(1, 6));
        }
        // August 2026 starts on a Saturday: the 31st is in cell 36.
        env.clock.setDate(QDate(2026, 8, 31));
        {
            Desktop desk(env);
            QCOMPARE(desk.page.cell(6)->text(), QStringLiteral("1"));
            QCOMPARE(desk.captions().mid(36), QStringList()
                                                  << QStringLiteral("31") << numbers(1, 5));
            QCOMPARE(cellBackground(desk.page.cell(36)), QColor(0, 0, 255));
            QVERIFY(hasYellowText(desk.page.cell(41)));
        }
        // December 2026 ends in row 5: January's first days end that row, row 6 is blank.
        env.clock.setDate(QDate(2026, 12, 7));
        {
            Desktop desk(env);
            QCOMPARE(
                desk.captions().mid(0, 3),
                QStringList({QStringLiteral("29"), QStringLiteral("30"), QStringLiteral("1")}));
            QCOMPARE(desk.captions().mid(33),
                     QStringList({QStringLiteral("1"), QStringLiteral("2")})
                         << QStringList(7, QString()));
            QCOMPARE(desk.page.cell(0)->cursor().shape(), Qt::PointingHandCursor);
        }
    }

    void figuresOfTheLoad()
    {
        TestEnv env;
        env.clock.setDate(QDate(2026, 3, 4));
        {
            Desktop desk(env);
            QCOMPARE(desk.text("Label55"), QStringLiteral("0"));
            QCOMPARE(desk.text("Label57"), QStringLiteral("0"));
            QCOMPARE(desk.text("Label56"), QStringLiteral("今日没有任务安排"));
        }
        // Which sales, customers and reminders count is checked on the records modules.
        insertSale(env.store, QStringLiteral("2026-3-4"), QStringLiteral("50.5"));
        for (int i = 0; i < 3; ++i) {
            insertCustomer(env.store, QStringLiteral("王"), QStringLiteral("2025-1-1"));
        }
        addReminder(env.store, QStringLiteral("2026-3-4"), QStringLiteral("A"));
        addReminder(env.store, QStringLiteral("2026-03-04"), QStringLiteral("<b>B</b>"));
        Desktop desk(env);
        QCOMPARE(desk.text("Label55"), QStringLiteral("3"));
        QCOMPARE(desk.text("Label57"), QStringLiteral("50.5"));
        QCOMPARE(desk.text("Label56"), QStringLiteral("日程1：A\r\n日程2：<b>B</b>\r\n"));
        // Reminder text is shown as typed, never as markup.
        QCOMPARE(desk.page.findChild<QLabel*>(QStringLiteral("Label56"))->textFormat(),
                 Qt::PlainText);
        khgl::test::grabTo(&desk.page, QStringLiteral("desktop_page"));
    }

    void clickingADayListsThatDay()
    {
        TestEnv env; // 2026-12-07
        addReminder(env.store, QStringLiteral("2026-12-9"), QStringLiteral("进货"));
        addReminder(env.store, QStringLiteral("2026-12-29"), QStringLiteral("本月二十九"));
        addReminder(env.store, QStringLiteral("2026-11-29"), QStringLiteral("上月二十九"));
        addReminder(env.store, QStringLiteral("2027-1-2"), QStringLiteral("新年"));
        Desktop desk(env);
        const int today = 8; // December 2026 starts on a Tuesday (cell 2)
        QCOMPARE(cellBackground(desk.page.cell(today)), QColor(0, 0, 255));

        khgl::test::click(desk.page.cell(10)); // the 9th
        QCOMPARE(desk.text("Label56"), QStringLiteral("日程1：进货\r\n"));
        QCOMPARE(cellBackground(desk.page.cell(10)), QColor(0, 0, 255));
        QCOMPARE(cellBackground(desk.page.cell(today)), QColor(255, 255, 255));

        khgl::test::click(desk.page.cell(11)); // the 10th: nothing
        QCOMPARE(desk.text("Label56"), QStringLiteral("今日没有任务安排。"));

        // Days of the neighbouring months list their own month's reminders.
        khgl::test::click(desk.page.cell(0)); // 29 November
        QCOMPARE(desk.text("Label56"), QStringLiteral("日程1：上月二十九\r\n"));
        khgl::test::click(desk.page.cell(34)); // 2 January 2027
        QCOMPARE(desk.text("Label56"), QStringLiteral("日程1：新年\r\n"));
        khgl::test::click(desk.page.cell(30)); // 29 December
        QCOMPARE(desk.text("Label56"), QStringLiteral("日程1：本月二十九\r\n"));

        // Looking at the desktop again keeps the clicked day and its schedule; a new load
        // (the next login) starts on today.
        desk.page.opened();
        QCOMPARE(desk.text("Label56"), QStringLiteral("日程1：本月二十九\r\n"));
        QCOMPARE(cellBackground(desk.page.cell(30)), QColor(0, 0, 255));
        QCOMPARE(cellBackground(desk.page.cell(today)), QColor(255, 255, 255));
        desk.page.windowLoaded();
        QCOMPARE(desk.text("Label56"), QStringLiteral("今日没有任务安排"));
        QCOMPARE(cellBackground(desk.page.cell(today)), QColor(0, 0, 255));

        // A blank cell of row 6 lists nothing.
        khgl::test::click(desk.page.cell(40));
        QCOMPARE(desk.text("Label56"), QStringLiteral("今日没有任务安排。"));
        QVERIFY(env.dialogs.messages.empty());
    }

    void mainWindowLoadFillsDesktopAndCharts()
    {
        TestEnv env;
        env.clock.setDate(QDate(2026, 12, 7));
        insertSale(env.store, QStringLiteral("2026-12-1"), QStringLiteral("20"));
        insertSale(env.store, QStringLiteral("2026-12-7"), QStringLiteral("30.5"));
        insertSale(env.store, QStringLiteral("2026-1-7"), QStringLiteral("5"));
        insertCustomer(env.store, QStringLiteral("王"), QStringLiteral("2026-12-7"));
        addReminder(env.store, QStringLiteral("2026-12-7"), QStringLiteral("发货"));
        MainWindow window(env.context);
        window.show();
        window.load();
        auto chart = [&](const char* name) {
            return window.findChild<TableChart*>(QString::fromLatin1(name));
        };
        auto label = [&](const char* name) {
            return window.findChild<QLabel*>(QString::fromLatin1(name))->text();
        };
        QCOMPARE(label("Label57"), QStringLiteral("50.5"));
        QCOMPARE(label("Label55"), QStringLiteral("1"));
        QCOMPARE(label("Label56"), QStringLiteral("日程1：发货\r\n"));
        const ChartTables expected = computeChartTables(env.store, QDate(2026, 12, 7));
        QCOMPARE(chart("MSChart1")->table(), expected.salesPerDay);
        QCOMPARE(chart("MSC2")->table(), expected.salesPerDay);
        QCOMPARE(chart("MSC1")->table(), expected.customersPerDay);
        QCOMPARE(chart("MSC3")->table(), expected.customersPerMonth);
        QCOMPARE(chart("MSC4")->table(), expected.salesPerMonth);
        QCOMPARE(chart("MSChart1")->table()[6].value, 30.5);
        QCOMPARE(chart("MSC1")->kind(), TableChart::Kind::Line);
        QCOMPARE(chart("MSC4")->kind(), TableChart::Kind::Bar);
        QCOMPARE(label("CaptionMSC3"), QStringLiteral("本年客户流量"));
        khgl::test::grabTo(&window, QStringLiteral("main_window_desktop"));

        // What was saved after the load shows as soon as its page is shown again.
        insertSale(env.store, QStringLiteral("2026-12-7"), QStringLiteral("1000"));
        insertCustomer(env.store, QStringLiteral("李"), QStringLiteral("2026-12-7"));
        khgl::test::click(window.findChild<QWidget*>(QStringLiteral("Label9")));
        const ChartTables later = computeChartTables(env.store, QDate(2026, 12, 7));
        QCOMPARE(chart("MSC2")->table(), later.salesPerDay);
        QCOMPARE(chart("MSC2")->table()[6].value, 1030.5);
        khgl::test::grabTo(&window, QStringLiteral("main_window_month_charts"));
        khgl::test::click(window.findChild<QWidget*>(QStringLiteral("Label10")));
        khgl::test::grabTo(&window, QStringLiteral("main_window_year_charts"));
        khgl::test::click(window.findChild<QWidget*>(QStringLiteral("Label58")));
        QCOMPARE(label("Label57"), QStringLiteral("1050.5"));
        QCOMPARE(label("Label55"), QStringLiteral("2"));
    }

    // A file from before the stock minimums gets their table when opened; the desktop line
    // counts the products at or below their minimum and opens the stock page on just them.
    void lowStockLineOpensTheStockPageFiltered()
    {
        TestEnv env;
        env.store.execute(QStringLiteral("drop table 库存下限"));
        env.store.close();
        for (const auto& [table, name, quantity] :
             {std::tuple{u"进货表", u"茶", 5}, {u"销售表", u"茶", 4}, {u"进货表", u"水", 10}}) {
            env.store.execute(QStringLiteral("insert into %1 (名称, 数量) values (?, ?)")
                                  .arg(QString::fromUtf16(table)),
                              {QString::fromUtf16(name), quantity});
        }
        MainWindow window(env.context);
        window.show();
        window.load();
        auto* line = window.findChild<QLabel*>(QStringLiteral("LowStockLabel"));
        QVERIFY(!line->isVisible());

        env.store.execute(QStringLiteral("insert into 库存下限 values ('茶', 1), ('水', 2)"));
        khgl::test::click(window.findChild<QWidget*>(QStringLiteral("Label58")));
        QVERIFY(line->isVisible());
        QCOMPARE(line->text(), QStringLiteral("库存不足：1 种商品"));
        khgl::test::click(line);
        QVERIFY(window.findChild<QWidget*>(QStringLiteral("Frame13"))->isVisible());
        auto* grid = window.findChild<RecordGrid*>(QStringLiteral("MS6"));
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(grid->text(1, 2), QStringLiteral("茶"));
        QCOMPARE(grid->model()->data(grid->cellIndex(1, 2), Qt::ToolTipRole),
                 QVariant(QStringLiteral("库存下限：1")));
    }

    void aBrokenStoreIsReportedAndTheWindowStillOpens()
    {
        TestEnv env;
        env.store.execute(QStringLiteral("drop table 销售表"));
        MainWindow window(env.context);
        window.show();
        window.load();
        // The month total and the charts fail; the operator is told, the rest is shown.
        QVERIFY(!env.dialogs.messages.empty());
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label55"))->text(), QStringLiteral("0"));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label47"))->text(),
                 QStringLiteral("2026 年 12月"));
        QVERIFY(window.isVisible());
    }
};

QTEST_MAIN(TestDesktopPage)
#include "test_desktop_page.moc"

// Fills the profit window over a generated khgl.dll (1,000,000 sales, 200,000 purchases,
// 10,000 products, dates over 2026) and prints each time beside raw sqlite3 work on the same
// connection: reading the four columns of both tables, and the plain SQL grouping by name.
#include "data_store/data_store.h"
#include "data_store/sqlite_store.h"
#include "goods/profit_records.h"
#include "statistics/profit_window.h"
#include "widgets/record_grid.h"

#include "bench_support.h"

#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace khgl;
using namespace khgl::bench;

namespace {

constexpr int kSales = 1000000;
constexpr int kPurchases = 200000;
constexpr int kProducts = 10000;
constexpr double kGoalSeconds = 0.5;

void runRaw(sqlite3* db, const char* sql)
{
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    long long bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            bytes += sqlite3_column_bytes(stmt, c);
        }
    }
    sqlite3_finalize(stmt);
    static volatile long long sink = 0;
    sink = sink + bytes;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SqliteStore store(dir.path());
    fillShop(store, kSales, kPurchases, kProducts);

    Services services(dir.path(), store, QDateTime(QDate(2026, 6, 15), QTime(10, 0)));

    auto raw = [&] {
        runRaw(store.handle(), "select 名称, 日期, 数量, 总金额 from 销售表");
        runRaw(store.handle(), "select 名称, 日期, 数量, 总金额 from 进货表");
    };
    auto rawGrouped = [&] {
        runRaw(store.handle(), "select 名称, sum(数量), sum(总金额) from 销售表 group by 名称");
        runRaw(store.handle(), "select 名称, sum(数量), sum(总金额) from 进货表 group by 名称");
    };
    raw(); // warm the page cache
    const Timing rawRead = measure(raw);
    const Timing rawGroup = measure(rawGrouped);

    QWidget host;
    ProfitWindow* window = nullptr;
    const Timing open = measure([&] { window = ProfitWindow::open(services.context, &host); });
    window->findChild<QLineEdit*>(QStringLiteral("ProfitFrom"))
        ->setText(QStringLiteral("2026-1-1"));
    window->findChild<QLineEdit*>(QStringLiteral("ProfitTo"))
        ->setText(QStringLiteral("2026-12-31"));
    auto* show = window->findChild<QPushButton*>(QStringLiteral("ProfitShow"));
    const Timing year = measure([&] { show->click(); });
    const auto* grid = window->findChild<RecordGrid*>(QStringLiteral("ProfitGrid"));
    const Timing records = measure([&] {
        goods::profitReport(store, {QDate(2026, 1, 1), QDate(2026, 12, 31)});
    });
    const Timing months = measure([&] { goods::monthlyProfitCents(store, 2026); });

    report("raw sqlite3, read both tables", rawRead, rawRead, "", 34);
    report("raw sqlite3, group by name", rawGroup, rawRead, "", 34);
    report("profit window open (this month)", open, rawRead, "", 34);
    report("profit window, whole year", year, rawRead, "goal <= 0.5 s", 34);
    report("profit records alone, whole year", records, rawRead, "", 34);
    report("monthly profit line (12 months)", months, rawRead, "", 34);
    const bool filled = grid->rows() == kProducts + 2;
    return filled && year.cpu <= kGoalSeconds ? 0 : 1;
}

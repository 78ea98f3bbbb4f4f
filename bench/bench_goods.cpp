// Opens the sales page and the stock page over a generated khgl.dll (1,000,000 sales,
// 200,000 purchases, 10,000 products) and prints each time beside the raw sqlite3 time for
// the same work on the same connection.
#include "data_store/data_store.h"
#include "data_store/keyset_pages.h"
#include "data_store/sqlite_store.h"
#include "goods/goods_records.h"
#include "goods/purchase_page.h"
#include "goods/sales_page.h"
#include "goods/stock_page.h"
#include "widgets/record_grid.h"

#include "bench_support.h"

#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace khgl;
using namespace khgl::bench;

namespace {

constexpr int kSales = 1000000;
constexpr int kPurchases = 200000;
constexpr int kProducts = 10000;

// The sales page's work with the C API: the total, then every row read as text.
double rawSalesSeconds(sqlite3* db)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "select sum(总金额) as 金额 from 销售表", -1, &stmt, nullptr);
    sqlite3_step(stmt);
    volatile double total = sqlite3_column_double(stmt, 0);
    (void)total;
    sqlite3_finalize(stmt);
    sqlite3_prepare_v2(db, "select rowid, * from 销售表 order by rowid", -1, &stmt, nullptr);
    long long bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 1; c <= 7; ++c) {
            bytes += sqlite3_column_text(stmt, c) != nullptr;
            bytes += sqlite3_column_bytes(stmt, c);
        }
    }
    sqlite3_finalize(stmt);
    return timer.nsecsElapsed() / 1e9 + 0 * static_cast<double>(bytes);
}

// The stock listing's queries with the C API: the grouping, then one prepared sum per product.
double rawStockSeconds(sqlite3* db)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* grouping = nullptr;
    sqlite3_prepare_v2(db, "select 名称,sum(数量) as 总数量 from 进货表 group by 名称", -1,
                       &grouping, nullptr);
    sqlite3_stmt* sold = nullptr;
    sqlite3_prepare_v2(db, "select sum(数量) as 总数量 from 销售表 where 名称 =?", -1, &sold,
                       nullptr);
    double sum = 0;
    while (sqlite3_step(grouping) == SQLITE_ROW) {
        sqlite3_bind_text(sold, 1, reinterpret_cast<const char*>(sqlite3_column_text(grouping, 0)),
                          sqlite3_column_bytes(grouping, 0), SQLITE_TRANSIENT);
        if (sqlite3_step(sold) == SQLITE_ROW) {
            sum += sqlite3_column_double(sold, 0);
        }
        sqlite3_reset(sold);
    }
    sqlite3_finalize(sold);
    sqlite3_finalize(grouping);
    return timer.nsecsElapsed() / 1e9 + 0 * sum;
}

// 按日期查询's work with the C API: the day's row count and total, the date as stored.
double rawDateSeconds(sqlite3* db)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "select count(*), sum(总金额) from 销售表 where 日期='2026-1-1'", -1,
                       &stmt, nullptr);
    sqlite3_step(stmt);
    volatile double total = sqlite3_column_double(stmt, 1);
    (void)total;
    sqlite3_finalize(stmt);
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SqliteStore store(dir.path());
    fillShop(store, kSales, kPurchases, kProducts);

    Services services(dir.path(), store, QDateTime::currentDateTime());
    PageEnv& env = services.env;

    rawSalesSeconds(store.handle()); // warm the page cache
    const Timing rawSales = measure([&] { rawSalesSeconds(store.handle()); });
    SalesPage sales(env, nullptr);
    sales.resize(905, 481);
    sales.show();
    const Timing salesOpen = measure([&] { sales.opened(); });
    const Timing salesAgain = measure([&] { sales.opened(); });

    rawStockSeconds(store.handle());
    const Timing rawStock = measure([&] { rawStockSeconds(store.handle()); });
    StockPage stock(env, nullptr);
    stock.resize(905, 481);
    stock.show();
    const Timing stockOpen = measure([&] { stock.opened(); });

    PurchasePage purchases(env, nullptr);
    purchases.resize(905, 481);
    purchases.show();
    const Timing purchasesOpen = measure([&] { purchases.opened(); });

    // One day's sales in every form its date may be stored in.
    rawDateSeconds(store.handle());
    const Timing rawDate = measure([&] { rawDateSeconds(store.handle()); });
    const QString day = QStringLiteral("2026-1-1");
    const Timing dateQuery = measure([&] {
        goods::datePages(store, goods::GoodsTable::Sales, day)->count();
        goods::dateTotal(store, goods::GoodsTable::Sales, day);
    });

    report("raw sqlite3, sales page work", rawSales, rawSales, "");
    report("sales page open (total+grid)", salesOpen, rawSales, "goal <= 4x raw");
    report("sales page opened again", salesAgain, rawSales, "");
    report("raw sqlite3, stock queries", rawStock, rawStock, "");
    report("stock listing (page)", stockOpen, rawStock, "goal <= 0.5 s");
    report("purchase page open (200,000)", purchasesOpen, rawSales, "");
    report("raw sqlite3, one day's sales", rawDate, rawDate, "");
    report("date query (one day, any form)", dateQuery, rawDate, "goal <= 4x raw");
    const bool listed = sales.grid().rows() == kSales + 1;
    return listed && salesOpen.cpu <= 4 * rawSales.cpu && stockOpen.cpu <= 0.5 &&
                   dateQuery.cpu <= 4 * rawDate.cpu
               ? 0
               : 1;
}

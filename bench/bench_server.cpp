// The same shop on SQLite and on a PostgreSQL server, side by side: 1,000,000 sales,
// 200,000 purchases. Times the sales page opening and the login to a painted desktop (its
// figures and chart tables) on each. The server is the one of KHGL_TEST_PG_URI (a new
// database is made and dropped); without it the benchmark says so and passes.
#include "data_store/data_store.h"
#include "data_store/server_connection.h"
#include "data_store/sqlite_store.h"
#include "goods/sales_page.h"
#include "shell/main_window.h"
#include "widgets/record_grid.h"

#include "bench_support.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace khgl;
using namespace khgl::bench;

namespace {

constexpr int kSales = 1000000;
constexpr int kPurchases = 200000;
constexpr int kProducts = 10000;

// The rows fillGoods writes, generated on the server itself.
void fillOnServer(const QString& server, const char* table, int rows)
{
    ServerConnection connection(server);
    connection.run(QStringLiteral("insert into %1 (名称, 单价, 数量, 总金额, 日期, 备注, 区别) "
                                  "select '商品' || (i %% %2), 12.5, i %% 7 + 1, "
                                  "12.5 * (i %% 7 + 1), '2026-' || (i %% 12 + 1) || '-' || "
                                  "(i %% 28 + 1), '备注内容', i + 1 from generate_series(0, %3) i")
                       .arg(QString::fromUtf8(table))
                       .arg(kProducts)
                       .arg(rows - 1)
                       .replace(QStringLiteral("%%"), QStringLiteral("%")));
    connection.run(QStringLiteral("analyze"));
}

struct Figures
{
    double salesPage = 0;
    double login = 0;
    int listed = 0;
};

Figures measure(DataStore& store, const QString& folder)
{
    Services services(folder, store, QDateTime(QDate(2026, 12, 7), QTime(9, 30)));
    Figures figures;
    QElapsedTimer timer;
    {
        SalesPage sales(services.env, nullptr);
        sales.resize(905, 481);
        sales.show();
        sales.opened(); // warm caches on both sides
        timer.start();
        sales.opened();
        figures.salesPage = timer.nsecsElapsed() / 1e9;
        figures.listed = sales.grid().rows() - 1;
    }
    {
        timer.restart();
        MainWindow window(services.context);
        window.show();
        window.load();
        window.repaint();
        QApplication::processEvents();
        figures.login = timer.nsecsElapsed() / 1e9;
    }
    return figures;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString admin = qEnvironmentVariable("KHGL_TEST_PG_URI");
    if (admin.isEmpty()) {
        std::printf("KHGL_TEST_PG_URI not set: no server to compare with\n");
        return 0;
    }
    QTemporaryDir dir;
    SqliteStore file(dir.path());
    file.create();
    fillGoods(file.handle(), "销售表", kSales, kProducts);
    fillGoods(file.handle(), "进货表", kPurchases, kProducts);

    const QString database =
        QStringLiteral("khgl_bench_%1").arg(QCoreApplication::applicationPid());
    ServerConnection(admin).run(QStringLiteral("create database %1").arg(database));
    const QString address = ServerConnection::withDatabase(admin, database);
    int rc = 1;
    {
        const auto server = openStore({dir.path(), address});
        server->create();
        QElapsedTimer timer;
        timer.start();
        fillOnServer(address, "销售表", kSales);
        fillOnServer(address, "进货表", kPurchases);
        std::printf("rows: %d sales, %d purchases (server filled in %.1f s)\n", kSales, kPurchases,
                    timer.nsecsElapsed() / 1e9);

        const Figures local = measure(file, dir.path());
        const Figures remote = measure(*server, dir.path());
        std::printf("%-32s %8s %8s %7s\n", "", "SQLite", "server", "ratio");
        std::printf("%-32s %7.3fs %7.3fs %6.2fx  goal <= 3x\n", "sales page open (1,000,000)",
                    local.salesPage, remote.salesPage, remote.salesPage / local.salesPage);
        std::printf("%-32s %7.3fs %7.3fs %6.2fx  goal <= 3x\n", "login to painted desktop",
                    local.login, remote.login, remote.login / local.login);
        rc = local.listed == kSales && remote.listed == kSales &&
                     remote.salesPage <= 3 * local.salesPage && remote.login <= 3 * local.login
                 ? 0
                 : 1;
    }
    ServerConnection(admin).run(QStringLiteral("drop database %1 with (force)").arg(database));
    return rc;
}

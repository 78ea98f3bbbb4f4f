// Imports 100,000 sales rows from a CSV file (read, checked, previewed, written in one
// transaction) beside raw SQLite inserting the same rows, and exports the open 1,000,000-row
// sales listing as an .xlsx workbook beside the CSV export of the same grid, with the growth
// of the process's peak memory.
#include "bench_support.h"
#include "data_store/data_store.h"
#include "data_store/sqlite_store.h"
#include "goods/goods_grid.h"
#include "goods/goods_records.h"
#include "widgets/csv_export.h"
#include "widgets/csv_import.h"
#include "widgets/grid_import.h"
#include "widgets/import_preview.h"
#include "widgets/record_grid.h"
#include "widgets/xlsx_export.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace khgl;
using namespace khgl::bench;

namespace {

constexpr int kImportRows = 100000;
constexpr int kListingRows = 1000000;
constexpr int kProducts = 10000;

// The sales listing of a shop with rows sales, as the sales page shows it.
void listSales(DataStore& store, RecordGrid& grid)
{
    goods::setUpEntryGrid(grid, salesHeaders(), 3600);
    goods::resetGrid(grid);
    goods::listPages(grid, goods::listingPages(store, goods::GoodsTable::Sales));
}

double seconds(QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e9;
}

// Processor time of this process: on the shared machine the wall clock also counts the
// time other programs had the cores.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double rawInsertSeconds(sqlite3* db)
{
    QElapsedTimer timer;
    timer.start();
    fillGoods(db, "销售表", kImportRows, kProducts);
    return seconds(timer);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    bool met = true;

    // The file: a shop's 100,000 sales exported by the program.
    const QString csv = dir.filePath(QStringLiteral("sales.csv"));
    {
        QTemporaryDir sourceDir;
        SqliteStore source(sourceDir.path());
        source.create();
        fillGoods(source.handle(), "销售表", kImportRows, kProducts);
        RecordGrid grid;
        listSales(source, grid);
        writeGridCsv(grid, csv, CsvEncoding::Utf8WithBom);
    }
    QTemporaryDir rawDir;
    SqliteStore raw(rawDir.path());
    raw.create();
    const double rawSeconds = rawInsertSeconds(raw.handle());

    QTemporaryDir shopDir;
    SqliteStore shop(shopDir.path());
    shop.create();
    QElapsedTimer timer;
    timer.start();
    double cpu = cpuSeconds();
    const auto importer = goods::importer(shop, goods::GoodsTable::Sales, salesHeaders());
    const ImportPlan plan =
        planImport(std::make_shared<CsvText>(csvText(readCsvBytes(csv), csv)), *importer);
    const double readSeconds = seconds(timer);
    {
        ImportPreview preview(plan, *importer, csv, nullptr);
        preview.show();
        QApplication::processEvents();
    }
    const double previewSeconds = seconds(timer) - readSeconds;
    writeGoodRows(plan, *importer);
    const double importSeconds = seconds(timer);
    const double importCpu = cpuSeconds() - cpu;
    std::printf("import of %d sales rows: read and check %.3f s, preview %.3f s, all %.3f s "
                "(processor %.3f s; %.1fx raw SQLite insert %.3f s)  goal <= 5 s\n",
                plan.good, readSeconds, previewSeconds, importSeconds, importCpu,
                importSeconds / rawSeconds, rawSeconds);
    met = met && plan.good == kImportRows && importSeconds <= 5.0;

    // The open listing of 1,000,000 sales as a workbook.
    QTemporaryDir listingDir;
    SqliteStore listing(listingDir.path());
    listing.create();
    fillGoods(listing.handle(), "销售表", kListingRows, kProducts);
    RecordGrid grid;
    listSales(listing, grid);
    const QString csvOut = dir.filePath(QStringLiteral("listing.csv"));
    timer.restart();
    writeGridCsv(grid, csvOut, CsvEncoding::Utf8WithBom);
    const double csvSeconds = seconds(timer);
    const long before = peakKilobytes();
    cpu = cpuSeconds();
    timer.restart();
    writeGridXlsx(grid, dir.filePath(QStringLiteral("listing.xlsx")), QStringLiteral("商品销售"));
    const double xlsxSeconds = seconds(timer);
    const double xlsxCpu = cpuSeconds() - cpu;
    const long growth = peakKilobytes() - before;
    std::printf("xlsx export of the %d-row listing: %.3f s (processor %.3f s; %.1fx the CSV "
                "export %.3f s), peak memory +%ld MB  goal <= 10 s\n",
                grid.rows() - 1, xlsxSeconds, xlsxCpu, xlsxSeconds / csvSeconds, csvSeconds,
                growth / 1024);
    met = met && grid.rows() - 1 == kListingRows && xlsxSeconds <= 10.0;
    return met ? 0 : 1;
}

// Lists 1,000,000 rows of 销售表 through the record set, and through the record set into the
// grid, beside the raw sqlite3 C API stepping the same rows, and prints the ratios.
#include "data_store/data_store.h"
#include "data_store/sqlite_store.h"
#include "widgets/record_grid.h"

#include "bench_support.h"

#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace khgl;
using namespace khgl::bench;

namespace {

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The same rows stepped with the C API, every column read as the grid would show it.
double rawSeconds(const QString& path, long long* checksum)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "select rowid, * from 销售表 order by rowid", -1, &stmt, nullptr);
    long long sum = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 1; c <= 7; ++c) {
            sum += sqlite3_column_bytes(stmt, c);
            sum += sqlite3_column_text(stmt, c) != nullptr;
        }
    }
    sqlite3_finalize(stmt);
    const double seconds = timer.nsecsElapsed() / 1e9;
    sqlite3_close(db);
    *checksum = sum;
    return seconds;
}

void fillGrid(RecordGrid& grid, const RecordSet& set)
{
    RecordGrid::Batch batch(grid);
    grid.setCols(8);
    grid.setRows(set.recordCount() + 1);
    for (int r = 0; r < set.recordCount(); ++r) {
        grid.setRowKey(r + 1, set.rowKeyAt(r));
        for (int c = 0; c < 7; ++c) {
            int length = 0;
            if (const char* text = set.rawText(r, c, &length)) {
                grid.setText(r + 1, c + 1, text, length);
            } else {
                const QByteArray number = set.valueAt(r, c).toString().toUtf8();
                grid.setText(r + 1, c + 1, number.constData(), static_cast<int>(number.size()));
            }
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    SqliteStore store(dir.path());
    store.create();
    fillGoods(store.handle(), "销售表", rows, 10000);
    store.close();
    std::printf("rows: %d\n", rows);

    long long checksum = 0;
    rawSeconds(store.filePath(), &checksum); // warm the page cache
    const double raw = rawSeconds(store.filePath(), &checksum);

    QElapsedTimer timer;
    timer.start();
    RecordSet set = store.select(QStringLiteral("销售表"));
    const double recordSet = timer.nsecsElapsed() / 1e9;

    const long before = peakKilobytes();
    RecordGrid grid;
    grid.resize(900, 450);
    timer.restart();
    fillGrid(grid, set);
    const double gridOnly = timer.nsecsElapsed() / 1e9;
    const long gridKb = peakKilobytes() - before;

    std::printf("raw sqlite3 stepping:        %7.3f s\n", raw);
    std::printf("record set:                  %7.3f s  (%.2fx raw, goal <= 2x)\n", recordSet,
                recordSet / raw);
    std::printf("record set + grid:           %7.3f s  (%.2fx raw, goal <= 4x)\n",
                recordSet + gridOnly, (recordSet + gridOnly) / raw);
    std::printf("grid peak memory growth:     %7.1f MB (goal <= 1024 MB)\n", gridKb / 1024.0);
    std::printf("peak memory of the process:  %7.1f MB\n", peakKilobytes() / 1024.0);
    const bool listed = set.recordCount() == rows && grid.rows() == rows + 1;
    const bool goalsMet =
        recordSet <= 2 * raw && recordSet + gridOnly <= 4 * raw && gridKb <= 1024 * 1024;
    if (!goalsMet) {
        std::printf("a goal was missed\n");
    }
    return listed && goalsMet ? 0 : 1;
}

// The preview and the import of CSV files just under the 64 MB limit: 1,000,000 sales rows
// (63 MB), 3,300,000 short sales rows, and 33,000,000 lines of "x" with and without the sales
// header. Each file is read, checked, previewed (shown, then scrolled to its end) and its good
// rows written in one transaction, in a process of its own started afresh, so that the peak
// memory it reports (VmHWM) is the import's alone. Raw SQLite inserts the same number of rows
// in the same process for the ratio.
#include "bench_support.h"
#include "data_store/sqlite_store.h"
#include "data_store/store_error.h"
#include "goods/goods_records.h"
#include "widgets/csv_import.h"
#include "widgets/grid_import.h"
#include "widgets/import_preview.h"
#include "widgets/record_grid.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

using namespace khgl;
using namespace khgl::bench;

namespace {

constexpr long kPeakGoalKb = 512L * 1024;
constexpr double kRatioGoal = 6.0;

struct Case
{
    const char* name;
    QByteArray header;
    QByteArray line;
    int copies;
};

const QByteArray kHeader = QByteArrayLiteral("商品名称,商品单价,商品数量,销售金额,销售日期,备注\n");

// A sale of 63 bytes, so that a million of them make 63 MB.
QByteArray longSale()
{
    QByteArray line = QByteArrayLiteral("梨子苹果香蕉,12.5,3,37.5,2026-3-5,备注");
    line += QByteArray(62 - line.size(), 'x');
    return line + '\n';
}

std::vector<Case> cases()
{
    return {
        {"1,000,000 sales (63 MB)", kHeader, longSale(), 1'000'000},
        {"3,300,000 short sales", kHeader, QByteArrayLiteral("梨,1,1,1,2026-3-5,\n"), 3'300'000},
        {"33,000,000 lines x after the header", kHeader, QByteArrayLiteral("x\n"), 33'000'000},
        {"33,000,000 lines x", {}, QByteArrayLiteral("x\n"), 33'000'000}};
}

void writeFile(const QString& path, const Case& c)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(c.header);
    const int perBlock = std::max(1, (1 << 20) / static_cast<int>(c.line.size()));
    const QByteArray block = c.line.repeated(perBlock);
    int left = c.copies;
    for (; left >= perBlock; left -= perBlock) {
        file.write(block);
    }
    file.write(c.line.repeated(left));
}

long peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

// One file in this process: prints its line and answers whether it met the goals.
bool runCase(int argc, char* argv[], const QString& path, const char* name)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SqliteStore shop(dir.path());
    shop.create();
    const auto importer = goods::importer(shop, goods::GoodsTable::Sales, salesHeaders());
    ImportPlan plan;
    QString refusal;
    const Timing read = measure([&] {
        try {
            plan =
                planImport(std::make_shared<CsvText>(csvText(readCsvBytes(path), path)), *importer);
        } catch (const StoreError& error) {
            refusal = error.message();
        }
    });
    Timing preview;
    Timing write;
    Timing raw{1, 1};
    if (refusal.isEmpty()) {
        preview = measure([&] {
            ImportPreview window(plan, *importer, path, nullptr);
            window.show();
            QApplication::processEvents();
            window.findChild<RecordGrid*>(QStringLiteral("ImportGrid"))->scrollToBottom();
            QApplication::processEvents();
        });
        write = measure([&] { writeGoodRows(plan, *importer); });
        if (plan.good > 0) {
            QTemporaryDir rawDir;
            SqliteStore rawStore(rawDir.path());
            rawStore.create();
            raw = measure([&] { fillGoods(rawStore.handle(), "销售表", plan.good, 10000); });
        }
    }
    const long peak = peakKb();
    const double all = read.wall + preview.wall + write.wall;
    std::printf(
        "%-38s read+check %6.2f s  preview %5.2f s  write %6.2f s  all %4.1fx raw "
        "%5.2f s  cpu %6.2f s  peak %4ld MB  %s\n",
        name, read.wall, preview.wall, write.wall, plan.good > 0 ? all / raw.wall : 0.0, raw.wall,
        read.cpu + preview.cpu + write.cpu, peak / 1024,
        refusal.isEmpty()
            ? QStringLiteral("%1 rows, %2 good").arg(plan.rows).arg(plan.good).toUtf8().constData()
            : refusal.toUtf8().constData());
    const int written = shop.countRows(QStringLiteral("销售表"));
    return peak < kPeakGoalKb && written == plan.good &&
           (plan.good == 0 || all / raw.wall <= kRatioGoal);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && std::strcmp(argv[1], "--case") == 0) {
        return runCase(1, argv, QString::fromLocal8Bit(argv[2]), argv[3]) ? 0 : 1;
    }
    std::printf("goals: peak memory < %ld MB each; read, check, preview and write <= %.0fx raw "
                "SQLite inserting the good rows\n",
                kPeakGoalKb / 1024, kRatioGoal);
    std::fflush(stdout);
    QTemporaryDir dir;
    bool met = true;
    for (const Case& c : cases()) {
        const QString path = dir.filePath(QStringLiteral("import.csv"));
        writeFile(path, c);
        const pid_t child = fork();
        if (child == 0) {
            const QByteArray file = QFile::encodeName(path);
            char* args[] = {argv[0], const_cast<char*>("--case"), const_cast<char*>(file.data()),
                            const_cast<char*>(c.name), nullptr};
            execv("/proc/self/exe", args);
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        met = met && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        QFile::remove(path);
    }
    return met ? 0 : 1;
}

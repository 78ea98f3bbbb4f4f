#include "customers_mail/customer_records.h"
#include "data_store/data_store.h"
#include "data_store/store_error.h"
#include "data_store/values.h"
#include "goods/goods_records.h"
#include "schedule/reminder_records.h"
#include "support/env.h"
#include "widgets/csv_import.h"
#include "widgets/grid_import.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <iconv.h>
#include <sys/stat.h>

using namespace khgl;
using namespace khgl::test;

namespace {

const QStringList kSalesHeaders =
    QStringLiteral("编号|商品名称|商品单价|商品数量|销售金额|销售日期|备注").split(u'|');

QByteArray toGb18030(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    iconv_t cd = iconv_open("GB18030", "UTF-8");
    QByteArray out(utf8.size() * 2 + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = static_cast<size_t>(utf8.size());
    char* to = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    out.truncate(out.size() - static_cast<qsizetype>(outLeft));
    return out;
}

// Rows shown of a long file; the rest are counted.
constexpr int kShownRows = 4;

// What a file read as it is named by kind ("" for a file holding bytes): the header and the
// rows joined with "|", or the message of the refusal, its folder left out.
QStringList outcome(const QString& folder, const QString& kind, const QByteArray& bytes)
{
    const QString path = folder + QStringLiteral("/t.csv");
    if (kind == QStringLiteral("fifo")) {
        mkfifo(QFile::encodeName(path).constData(), 0600);
    } else if (kind == QStringLiteral("symlink")) {
        QFile::link(QString::fromUtf8(bytes), path);
    } else if (kind == QStringLiteral("folder")) {
        QDir(folder).mkdir(QStringLiteral("t.csv"));
    } else {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        if (kind == QStringLiteral("sparse")) {
            file.resize(qint64{100} << 20);
        }
    }
    try {
        const CsvText text = csvText(readCsvBytes(path), path);
        CsvReader reader(text);
        QStringList lines{reader.header().join(u'|')};
        QStringList row;
        int line = 0;
        qint64 rows = 0;
        while (reader.next(row, line)) {
            if (++rows <= kShownRows) {
                lines << row.join(u'|');
            }
        }
        if (rows > kShownRows) {
            lines << QStringLiteral("共 %1 行").arg(rows);
        }
        return lines;
    } catch (const StoreError& error) {
        return {QStringLiteral("!") + QString(error.message()).replace(folder + u'/', QString())};
    }
}

} // namespace

// Where the sanitizers check every instruction, the long files are a tenth of their size, so
// the run stays in minutes.
#ifdef KHGL_SANITIZED
constexpr int kScale = 10;
#else
constexpr int kScale = 1;
#endif
constexpr int kLongFileLines = 33'000'000 / kScale;

class TestCsvImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Encodings, separators and RFC 4180 quoting as spreadsheet programs write them; hostile
    // files are refused with a message that names the cause.
    void readsFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        const QString text = QStringLiteral("名称,数量\r\n苹果,2\r\n\r\n梨,3\r\n");
        const QStringList fruit{QStringLiteral("名称|数量"), QStringLiteral("苹果|2"),
                                QStringLiteral("梨|3")};
        QTest::newRow("utf-8 with bom")
            << QString() << QByteArray("\xEF\xBB\xBF" + text.toUtf8()) << fruit;
        QTest::newRow("utf-8") << QString() << text.toUtf8() << fruit;
        QTest::newRow("gb18030") << QString() << toGb18030(text) << fruit;
        QTest::newRow("semicolon, lf")
            << QString() << QStringLiteral("名称;数量\n苹果;2\n梨;3").toUtf8() << fruit;
        QTest::newRow("tab") << QString() << QStringLiteral("名称\t数量\n苹果\t2\n梨\t3\n").toUtf8()
                             << fruit;
        QTest::newRow("quoted")
            << QString()
            << QStringLiteral("\"名,称\";数量\n\"两行\n\"\"文字\"\"\";\"2;3\"\n").toUtf8()
            << QStringList{QStringLiteral("名,称|数量"), QStringLiteral("两行\n\"文字\"|2;3")};
        QTest::newRow("formula kept as text")
            << QString() << QByteArray("a,b\n=cmd|' /C calc'!A0,'=1+1\n")
            << QStringList{QStringLiteral("a|b"), QStringLiteral("=cmd|' /C calc'!A0|'=1+1")};
        QTest::newRow("binary") << QString() << QByteArray("PK\x03\x04\0\0\x14\0", 8)
                                << QStringList{QStringLiteral(
                                       "!文件“t.csv”不是文本（CSV）文件，没有导入任何记录。")};
        QTest::newRow("control bytes")
            << QString() << QByteArray("a,b\n\x01\x02,\x1b\n")
            << QStringList{QStringLiteral("!文件“t.csv”不是文本（CSV）文件，没有导入任何记录。")};
        QTest::newRow("neither encoding")
            << QString() << QByteArray("a,b\n\x81\x20,\xff\n")
            << QStringList{QStringLiteral(
                   "!文件“t.csv”既不是 UTF-8 也不是 GB18030 编码，没有导入任何记录。")};
        QTest::newRow("unclosed quote")
            << QString() << QByteArray("a,b\n1,2\n\"3,4\n5,6\n")
            << QStringList{QStringLiteral("!文件“t.csv”第 3 行的引号没有配对，没有导入任何记录。")};
        QTest::newRow("quote bomb")
            << QString() << QByteArray("a\n\"" + QByteArray(20'000'000, '"') + "\"\n")
            << QStringList{QStringLiteral(
                   "!文件“t.csv”第 2 行有一格超过 2097152 个字，没有导入任何记录。")};
        QTest::newRow("line of ten million characters")
            << QString() << QByteArray("a,b\n" + QByteArray(10'000'000, 'x') + "\n")
            << QStringList{QStringLiteral(
                   "!文件“t.csv”第 2 行有一格超过 2097152 个字，没有导入任何记录。")};
        QTest::newRow("empty") << QString() << QByteArray("\xEF\xBB\xBF\r\n")
                               << QStringList{
                                      QStringLiteral("!文件“t.csv”是空的，没有导入任何记录。")};
        // Only a regular file is read: a pipe without a writer or a device would never end.
        QTest::newRow("fifo") << "fifo" << QByteArray()
                              << QStringList{QStringLiteral(
                                     "!文件“t.csv”不是普通文件，没有导入任何记录。")};
        QTest::newRow("symlink to /dev/zero")
            << "symlink" << QByteArray("/dev/zero")
            << QStringList{QStringLiteral("!文件“t.csv”不是普通文件，没有导入任何记录。")};
        QTest::newRow("folder") << "folder" << QByteArray()
                                << QStringList{QStringLiteral(
                                       "!文件“t.csv”不是普通文件，没有导入任何记录。")};
        // Refused by its size, before it is read.
        QTest::newRow("100 MB") << "sparse" << QByteArray("a,b\n")
                                << QStringList{QStringLiteral(
                                       "!文件“t.csv”超过 64 MB，没有导入任何记录。")};
        QTest::newRow("33 million lines")
            << QString() << QByteArray("x\n").repeated(kLongFileLines)
            << QStringList{QStringLiteral("x"), QStringLiteral("x"),
                           QStringLiteral("x"), QStringLiteral("x"),
                           QStringLiteral("x"), QStringLiteral("共 %1 行").arg(kLongFileLines - 1)};
    }

    void readsFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        TestEnv env(false);
        QCOMPARE(outcome(env.folder(), kind, bytes), expected);
    }

    // Columns by name in any order, unknown ones listed, the export's guard taken off, each
    // row checked as the entry boxes check it.
    void checksRows_data()
    {
        QTest::addColumn<QString>("area");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<int>("copies"); // of the last line
        // unknown columns, the first rows as "row => problems", then the counts
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("sales") << "sales"
                               << QStringLiteral(
                                      "销售日期,商品名称,商品单价,商品数量,销售金额,颜色,编号\n"
                                      "2026-3-5,'=1+1,2,3,6,红,9\n"
                                      "2026-2-30,梨,二,3,6,,\n"
                                      "2026-3-5,,1,1,1\n"
                                      "2026-3-5,桃,1,1,1,,,多\n")
                               << 1
                               << QStringList{
                                      QStringLiteral("颜色"),
                                      QStringLiteral("|=1+1|2|3|6|2026-3-5| => "),
                                      QStringLiteral("|梨|二|3|6|2026-2-30| => “商品单价”不是数字；"
                                                     "“销售日期”不是日期"),
                                      QStringLiteral("||1|1|1|2026-3-5| => “商品名称”不能为空"),
                                      QStringLiteral("|桃|1|1|1|2026-3-5| => 比标题行多出 1 格"),
                                      QStringLiteral("共 4 条，有效 1 条")};
        QTest::newRow("missing column")
            << "sales" << QStringLiteral("商品名称,商品单价\n梨,1\n") << 1
            << QStringList{QStringLiteral("!文件中没有“商品数量”列，没有导入任何记录。")};
        QTest::newRow("column twice")
            << "sales" << QStringLiteral("商品名称,商品名称\n梨,1\n") << 1
            << QStringList{QStringLiteral("!文件中“商品名称”列出现了两次，没有导入任何记录。")};
        const QString name48 = QString(48, u'名');
        QTest::newRow("customers")
            << "customers"
            << QStringLiteral(
                   "客户名,商品单价,购买日期,客户邮箱\n%1,1.5,2026-12-7,\n%1名,x,7,%1名\n")
                   .arg(name48)
            << 1
            << QStringList{QString(), name48 + QStringLiteral("|||2026-12-7||1.5||||| => "),
                           name48 + QStringLiteral("名||") + name48 +
                               QStringLiteral("名|7||x||||| => “客户名”超过 48 个字；"
                                              "“客户邮箱”超过 48 个字；“购买日期”不是日期；"
                                              "“商品单价”不是数字"),
                           QStringLiteral("共 2 条，有效 1 条")};
        // Any column holds at most the characters any value may hold, an emoji counting once.
        const QString longest = QStringLiteral("😀").repeated(kMaxStoredCharacters);
        QTest::newRow("longest texts")
            << "customers" << QStringLiteral("客户名,客户简述\n甲,%1\n乙,%1茶\n").arg(longest) << 1
            << QStringList{QString(), QStringLiteral("甲|||||||||%1| => ").arg(longest),
                           QStringLiteral("乙|||||||||%1茶| => “客户简述”超过 %2 个字")
                               .arg(longest)
                               .arg(kMaxStoredCharacters),
                           QStringLiteral("共 2 条，有效 1 条")};
        QTest::newRow("reminders")
            << "reminders"
            << QStringLiteral("提醒日期,日程安排,提醒时间\n2026-3-5,进货,8时30分\n"
                              "2026-3-5,%1,25时0分\n,,\n")
                   .arg(QString(49, u'事'))
            << 1
            << QStringList{QString(), QStringLiteral("||2026-3-5|8时30分|进货| => "),
                           QStringLiteral("||2026-3-5|25时0分|%1| => “提醒时间”不是“时分”形式的"
                                          "时间；“日程安排”超过 48 个字")
                               .arg(QString(49, u'事')),
                           QStringLiteral("||||| => “提醒日期”不能为空；“日程安排”不能为空"),
                           QStringLiteral("共 3 条，有效 1 条")};
        // Read a row at a time: the rows of a long file are counted, never all held.
        QTest::newRow("33 million lines without the columns")
            << "sales" << QStringLiteral("x\n") << kLongFileLines
            << QStringList{QStringLiteral("!文件中没有“商品名称”列，没有导入任何记录。")};
        const QString badRow = QStringLiteral("|x||||| => “商品单价”不能为空；“商品数量”不能为空；"
                                              "“销售金额”不能为空；“销售日期”不能为空");
        QTest::newRow("33 million bad lines")
            << "sales" << QStringLiteral("商品名称,商品单价,商品数量,销售金额,销售日期\nx\n")
            << kLongFileLines
            << QStringList{QString(), badRow,
                           badRow,    badRow,
                           badRow,    QStringLiteral("共 %1 条，有效 0 条").arg(kLongFileLines)};
        const QString goodRow = QStringLiteral("|梨|1.5|2|3|2026-3-5|");
        // A server takes rows one statement each: a tenth of them keeps its run in minutes.
        const int sales = onTestServer() ? 100'000 : 1'000'000 / kScale;
        QTest::newRow("a million sales")
            << "sales"
            << QStringLiteral(
                   "商品名称,商品单价,商品数量,销售金额,销售日期,备注\n梨,1.5,2,3,2026-3-5,\n")
            << sales
            << QStringList{QString(),
                           goodRow + QStringLiteral(" => "),
                           goodRow + QStringLiteral(" => "),
                           goodRow + QStringLiteral(" => "),
                           goodRow + QStringLiteral(" => "),
                           QStringLiteral("共 %1 条，有效 %1 条").arg(sales)};
    }

    void checksRows()
    {
        QFETCH(QString, area);
        QFETCH(QString, csv);
        QFETCH(int, copies);
        QFETCH(QStringList, expected);
        TestEnv env;
        const auto importer = makeImporter(env, area);
        QByteArray bytes = csv.toUtf8();
        const qsizetype last = bytes.lastIndexOf('\n', bytes.size() - 2) + 1;
        bytes += bytes.mid(last).repeated(copies - 1);
        QStringList got;
        try {
            const ImportPlan plan =
                planImport(std::make_shared<CsvText>(csvText(std::move(bytes), {})), *importer);
            got << plan.unknown.join(u'|');
            ImportReader reader(*plan.text, *importer);
            ImportRow row;
            for (int r = 0; r < kShownRows && reader.next(row); ++r) {
                got << row.cells.join(u'|') + QStringLiteral(" => ") + row.problems;
            }
            got << QStringLiteral("共 %1 条，有效 %2 条").arg(plan.rows).arg(plan.good);
            if (plan.good > 0) {
                // Stopped half way the import writes nothing; whole, every good row.
                const QString table = tableOf(area);
                const int before = env.countOnDisk(table);
                QVERIFY_THROWS_EXCEPTION(
                    ImportCancelled,
                    writeGoodRows(plan, *importer,
                                  [read = 0, half = std::max(1, plan.good / 2)](
                                      qint64, qint64) mutable { return ++read < half; }));
                QCOMPARE(env.countOnDisk(table), before);
                writeGoodRows(plan, *importer);
                QCOMPARE(env.countOnDisk(table), before + plan.good);
            }
        } catch (const StoreError& error) {
            got << QStringLiteral("!") + error.message();
        }
        QCOMPARE(got, expected);
    }

    // The good rows go in together, 区别 (and 编号) counting on from the table as saves count;
    // a row the store refuses leaves the table as it was.
    void savesAllOrNothing()
    {
        TestEnv env;
        env.store.execute(
            QStringLiteral("insert into 销售表 (名称,单价,数量,总金额,日期,备注,区别) "
                           "values ('旧',1,1,1,'2026-1-1','备注内容',1)"));
        auto sales = makeImporter(env, QStringLiteral("sales"));
        sales->save({strings({"", "苹果", "2.5", "2", "5", "2026-3-5", ""}),
                     strings({"", "=1+1", "1", "1", "1", "2026-3-5", "备"})});
        QCOMPARE(
            env.rowsOnDisk(QStringLiteral("select 名称,单价,数量,总金额,日期,备注,区别 from "
                                          "销售表 order by rowid")),
            (QList<QStringList>{strings({"旧", "1", "1", "1", "2026-1-1", "备注内容", "1"}),
                                strings({"苹果", "2.5", "2", "5", "2026-3-5", "备注内容", "2"}),
                                strings({"=1+1", "1", "1", "1", "2026-3-5", "备", "3"})}));
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 sales->save({strings({"", "梨", "1", "1", "1", "2026-3-5", ""}),
                                              strings({"", "桃", "x", "1", "1", "2026-3-5", ""})}));
        QCOMPARE(env.countOnDisk(QStringLiteral("销售表")), 3);

        makeImporter(env, QStringLiteral("customers"))
            ->save(
                {strings({"甲", "", "a@b.cn", "2026-3-5", "", "1.5", "2", "3"}), strings({"乙"})});
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 客户名,电子邮箱,购买日期,商品单价,区别 "
                                               "from 客户表 order by rowid")),
                 (QList<QStringList>{strings({"甲", "a@b.cn", "2026-03-05", "1.5", "1"}),
                                     strings({"乙", "", "", "", "2"})}));

        env.clock.setDate(QDate(2026, 3, 9));
        makeImporter(env, QStringLiteral("reminders"))
            ->save({strings({"7", "2026-01-02", "2026-3-5", "8时30分", "进货", ""}),
                    strings({"8", "", "2026-3-6", "", "盘点", "a.mp3"})});
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 编号,设置时间,提醒日期,提醒时间,提醒内容,"
                                               "提醒音乐,区别 from 提醒表 order by rowid")),
                 (QList<QStringList>{
                     strings({"1", "2026-01-02", "2026-3-5", "8时30分", "进货", "", "1"}),
                     strings({"2", "2026-03-09", "2026-3-6", "", "盘点", "a.mp3", "2"})}));
    }

private:
    static QStringList strings(std::initializer_list<const char*> items)
    {
        QStringList list;
        for (const char* item : items) {
            list << QString::fromUtf8(item);
        }
        return list;
    }

    static QString tableOf(const QString& area)
    {
        if (area == QStringLiteral("customers")) {
            return QStringLiteral("客户表");
        }
        return area == QStringLiteral("reminders") ? QStringLiteral("提醒表")
                                                   : QStringLiteral("销售表");
    }

    static std::unique_ptr<GridImporter> makeImporter(TestEnv& env, const QString& area)
    {
        if (area == QStringLiteral("customers")) {
            return customer_records::importer(
                env.store,
                strings({"客户名", "邮寄地址", "客户邮箱", "购买日期", "商品名称", "商品单价",
                         "商品数量", "收取金额", "商品简述", "客户简述", "备注"}));
        }
        if (area == QStringLiteral("reminders")) {
            return reminder_records::importer(
                env.store, env.clock,
                strings({"编号", "设置日期", "提醒日期", "提醒时间", "日程安排", "提醒音乐"}), 48);
        }
        return goods::importer(env.store, goods::GoodsTable::Sales, kSalesHeaders);
    }
};

QTEST_MAIN(TestCsvImport)
#include "test_csv_import.moc"

#include "data_store/data_store.h"
#include "data_store/date_text.h"
#include "goods/profit_records.h"
#include "support/env.h"

#include <QTest>

using namespace khgl;
using namespace khgl::goods;
using khgl::test::TestEnv;

namespace {

void add(DataStore& store, const QString& table, const QString& name, double quantity,
         const QVariant& amount, const QString& date)
{
    khgl::test::insertRow(store, table,
                          {{QStringLiteral("名称"), name},
                           {QStringLiteral("数量"), quantity},
                           {QStringLiteral("总金额"), amount},
                           {QStringLiteral("日期"), date}});
}

// A small shop worked out by hand: 茶叶 bought at two prices, with a sale before the second
// purchase and one purchase after March; Coffee bought and sold under names that differ in
// case and a trailing blank; 糖 sold but never bought; 盐 bought at 0.7 × 3 and sold three
// times at 0.1; 醋 bought but never sold.
void fillShop(DataStore& store)
{
    const QString bought = QStringLiteral("进货表");
    const QString sold = QStringLiteral("销售表");
    add(store, bought, QStringLiteral("茶叶"), 10, 20, QStringLiteral("2026-1-10"));
    add(store, bought, QStringLiteral("茶叶"), 10, 26, QStringLiteral("2026-03-20"));
    add(store, bought, QStringLiteral("茶叶"), 10, 100, QStringLiteral("2026-4-1"));
    add(store, sold, QStringLiteral("茶叶"), 3, 9, QStringLiteral("2026-3-5"));
    add(store, sold, QStringLiteral("茶叶"), 2, 7, QStringLiteral("2026-03-31"));
    add(store, sold, QStringLiteral("茶叶"), 5, 50, QStringLiteral("2026-4-1"));
    add(store, sold, QStringLiteral("茶叶"), 1, 3, QStringLiteral("2026-2-28"));
    add(store, bought, QStringLiteral("Coffee"), 4, 10, QStringLiteral("2026-2-1"));
    add(store, sold, QStringLiteral("coffee "), 3, 12.3, QStringLiteral("2026-3-15 "));
    add(store, sold, QStringLiteral("糖"), 2, 5, QStringLiteral("2026-03-08"));
    add(store, sold, QStringLiteral("糖"), 1, 1, QStringLiteral("2026-3-"));
    add(store, bought, QStringLiteral("盐"), 3, 0.7 * 3, QStringLiteral("2026-3-1"));
    for (int i = 0; i < 3; ++i) {
        add(store, sold, QStringLiteral("盐"), 1, 0.1, QStringLiteral("2026-3-2"));
    }
    add(store, bought, QStringLiteral("醋"), 1, 4, QStringLiteral("2026-3-3"));
}

// One product as the window shows it: name|数量|金额|均价|成本|毛利|毛利率.
QString rowText(const ProductProfit& p)
{
    const QString none = QStringLiteral("-");
    return QStringList{p.name.trimmed().toLower(),
                       quantityText(p.soldThousandths),
                       centsText(p.salesCents),
                       p.hasCost() ? centsText(p.averagePriceCents()) : none,
                       p.hasCost() ? centsText(p.costCents()) : none,
                       p.hasCost() ? centsText(p.profitCents()) : none,
                       p.hasCost() ? marginText(p.profitCents(), p.salesCents) : none}
        .join(QLatin1Char('|'));
}

} // namespace

class TestProfitRecords final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void profitPerProduct_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("rows");
        // 数量|金额|成本|毛利|毛利率|无进货记录的商品数
        QTest::addColumn<QString>("totals");
        // March: 茶叶 at the average of both purchases (46 / 20), the April one left out;
        // the sales of 3-31 and 03-31 count, those of 2-28 and 4-1 do not.
        QTest::newRow("march") << QDate(2026, 3, 1) << QDate(2026, 3, 31)
                               << QStringList{QStringLiteral(
                                                  "coffee|3|12.30|2.50|7.50|4.80|39.02%"),
                                              QStringLiteral("茶叶|5|16.00|2.30|11.50|4.50|28.13%"),
                                              QStringLiteral("盐|3|0.30|0.70|2.10|-1.80|-600.00%"),
                                              QStringLiteral("糖|2|5.00|-|-|-|-")}
                               << QStringLiteral("13|33.60|21.10|7.50|26.22%|1");
        // Up to 3-10 the second purchase of 茶叶 has not happened yet.
        QTest::newRow("first days")
            << QDate(2026, 3, 1) << QDate(2026, 3, 10)
            << QStringList{QStringLiteral("茶叶|3|9.00|2.00|6.00|3.00|33.33%"),
                           QStringLiteral("盐|3|0.30|0.70|2.10|-1.80|-600.00%"),
                           QStringLiteral("糖|2|5.00|-|-|-|-")}
            << QStringLiteral("8|14.30|8.10|1.20|12.90%|1");
        // Everything, the sale whose date names no day included.
        QTest::newRow("all") << QDate() << QDate()
                             << QStringList{QStringLiteral("茶叶|11|69.00|4.87|53.53|15.47|22.42%"),
                                            QStringLiteral("coffee|3|12.30|2.50|7.50|4.80|39.02%"),
                                            QStringLiteral("盐|3|0.30|0.70|2.10|-1.80|-600.00%"),
                                            QStringLiteral("糖|3|6.00|-|-|-|-")}
                             << QStringLiteral("20|87.60|63.13|18.47|22.63%|1");
        QTest::newRow("nothing sold") << QDate(2025, 1, 1) << QDate(2025, 12, 31) << QStringList{}
                                      << QStringLiteral("0|0.00|0.00|0.00||0");
    }

    void profitPerProduct()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, rows);
        QFETCH(QString, totals);
        TestEnv env;
        fillShop(env.store);

        const ProfitReport report = profitReport(env.store, {from, to});
        QStringList shown;
        for (const ProductProfit& product : report.products) {
            shown << rowText(product);
        }
        QCOMPARE(shown, rows);
        QCOMPARE(QStringList({quantityText(report.soldThousandths), centsText(report.salesCents),
                              centsText(report.costCents), centsText(report.profitCents),
                              marginText(report.profitCents, report.costedSalesCents),
                              QString::number(report.withoutPurchases)})
                     .join(QLatin1Char('|')),
                 totals);
    }

    // The year chart's line: each month's 毛利 from one reading of the tables.
    void monthlyProfit()
    {
        TestEnv env;
        fillShop(env.store);
        const std::vector<qint64> months = monthlyProfitCents(env.store, 2026);
        // February: 茶叶 1 at 2.00 sold for 3.00. April: 5 at 146 / 30 sold for 50.00.
        const std::vector<qint64> expected{0, 100, 750, 5000 - 2433, 0, 0, 0, 0, 0, 0, 0, 0};
        QCOMPARE(months, expected);
    }

    void numbersAndDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("cents");  // -1 for no number
        QTest::addColumn<qint64>("dayKey"); // what the text names as a date
        QTest::newRow("float noise")
            << QStringLiteral("2.0999999999999996") << qint64(210) << qint64(-1);
        QTest::newRow("half away") << QStringLiteral(" -0.015 ") << qint64(-2) << qint64(-1);
        QTest::newRow("exponent") << QStringLiteral("1.5e+3") << qint64(150000) << qint64(-1);
        QTest::newRow("tiny") << QStringLiteral("1.0e-05") << qint64(0) << qint64(-1);
        QTest::newRow("padded") << QStringLiteral("2026-03-05") << qint64(-1) << qint64(20260305);
        QTest::newRow("plain, blank")
            << QStringLiteral("2026-3-5 ") << qint64(-1) << qint64(20260305);
        QTest::newRow("month 13") << QStringLiteral("2026-13-5") << qint64(-1) << qint64(-1);
        QTest::newRow("three digits") << QStringLiteral("2026-010-5") << qint64(-1) << qint64(-1);
    }

    void numbersAndDates()
    {
        QFETCH(QString, text);
        QFETCH(qint64, cents);
        QFETCH(qint64, dayKey);
        const QByteArray utf8 = text.toUtf8();
        const auto number = scaledNumber(utf8.constData(), static_cast<int>(utf8.size()), 2);
        QCOMPARE(number.value_or(-1), cents);
        QCOMPARE(dayKeyOf(utf8.constData(), utf8.size()), dayKey);
    }
};

QTEST_MAIN(TestProfitRecords)
#include "test_profit_records.moc"

#include "shell/desktop_figures.h"
#include "support/env.h"

#include <QTest>

using namespace khgl;
using namespace khgl::test;

class TestDesktopFigures final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A sale counts in the month its date names, with or without leading zeros; October is
    // not January although both dates begin with "2027-1".
    void monthSales_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("sum");
        QTest::newRow("March") << QDate(2026, 3, 4) << QStringLiteral("160");
        QTest::newRow("April") << QDate(2026, 4, 30) << QStringLiteral("7");
        QTest::newRow("January") << QDate(2027, 1, 20) << QStringLiteral("13");
        QTest::newRow("October") << QDate(2027, 10, 1) << QStringLiteral("1000");
        QTest::newRow("no sales") << QDate(2026, 5, 1) << QStringLiteral("0");
    }
    void monthSales()
    {
        QFETCH(QDate, day);
        QFETCH(QString, sum);
        TestEnv env;
        for (const auto& [date, amount] : {std::pair{"2026-3-4", "100"},
                                           {"2026-3-20", "50.5"},
                                           {"2026-4-1", "7"},
                                           {"2026-03-05", "9.5"},
                                           {"2027-1-9", "12.25"},
                                           {"2027-10-9", "1000"},
                                           {"2027-12-9", "3"},
                                           {"2027-01-09", "0.75"}}) {
            insertSale(env.store, QString::fromUtf8(date), QString::fromUtf8(amount));
        }
        QCOMPARE(desktop_figures::monthSalesText(env.store, day), sum);
    }
};

QTEST_MAIN(TestDesktopFigures)
#include "test_desktop_figures.moc"

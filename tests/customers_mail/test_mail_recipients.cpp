#include "customers_mail/mail_recipients.h"
#include "support/env.h"
#include "support/record_rows.h"

#include <QTest>

using namespace khgl;
using namespace khgl::test;

class TestMailRecipients final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each query binds its texts; dates compare as the date column holds them.
    void queries_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("range"); // from|to
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("found"); // name|mail, ',' between rows
        const QString all = QStringLiteral("张三|zhang@example.cn,李四|li@example.cn,王五|");
        QTest::newRow("all, each pair once") << "all"
                                             << ""
                                             << "" << all;
        QTest::newRow("early March") << "dates"
                                     << "2026-03-01|2026-03-05"
                                     << ""
                                     << "张三|zhang@example.cn";
        QTest::newRow("March") << "dates"
                               << "2026-03-01|2026-03-31"
                               << "" << all;
        QTest::newRow("no dates") << "dates"
                                  << "2025-01-01|2025-01-31"
                                  << ""
                                  << "";
        QTest::newRow("product, each purchase")
            << "product"
            << ""
            << "茶叶"
            << "张三|zhang@example.cn,李四|li@example.cn,张三|zhang@example.cn";
        QTest::newRow("product, trailing blank") << "product"
                                                 << ""
                                                 << "瓷器 "
                                                 << "王五|";
        QTest::newRow("product, quoted") << "product"
                                         << ""
                                         << "茶' or '1'='1"
                                         << "";
        QTest::newRow("both") << "both"
                              << "2026-03-01|2026-04-30"
                              << "茶叶"
                              << "张三|zhang@example.cn,李四|li@example.cn";
        QTest::newRow("both, none") << "both"
                                    << "2026-03-06|2026-03-09"
                                    << "茶叶"
                                    << "";
    }
    void queries()
    {
        QFETCH(QString, query);
        QFETCH(QString, range);
        QFETCH(QString, product);
        QFETCH(QString, found);
        TestEnv env;
        for (const QString& purchase :
             split("张三;zhang@example.cn;2026-3-5;茶叶,李四;li@example.cn;2026-3-10;茶叶,"
                   "张三;zhang@example.cn;2026-4-1;茶叶,王五;;2026-3-6;瓷器",
                   u',')) {
            const QStringList p = purchase.split(u';');
            insertRow(env.store, QStringLiteral("客户表"),
                      {{QStringLiteral("客户名"), p[0]},
                       {QStringLiteral("电子邮箱"), p[1].isEmpty() ? QVariant() : p[1]},
                       {QStringLiteral("购买日期"), p[2]},
                       {QStringLiteral("商品名称"), p[3]}});
        }
        QVariantList dates;
        for (const QString& date : split(range)) {
            dates << date;
        }
        RecordSet set = query == u"all"     ? mail_recipients::all(env.store)
                        : query == u"dates" ? mail_recipients::boughtBetween(env.store, dates)
                        : query == u"product"
                            ? mail_recipients::boughtProduct(env.store, product)
                            : mail_recipients::boughtProductBetween(env.store, dates, product);
        QStringList rows = joinedRows(std::move(set));
        QStringList expected = split(found, u',');
        if (query != u"product") { // grouped: the order is the engine's text order
            rows.sort();
            expected.sort();
        }
        QCOMPARE(rows, expected);
    }
};

QTEST_MAIN(TestMailRecipients)
#include "test_mail_recipients.moc"

#include "customers_mail/customer_records.h"
#include "data_store/data_store.h"
#include "data_store/store_address.h"
#include "data_store/store_error.h"
#include "support/env.h"
#include "support/record_rows.h"

#include <QTest>

using namespace khgl;
using namespace khgl::test;
using customer_records::Numbering;

namespace {

void seed(TestEnv& env, int count)
{
    for (int i = 0; i < count; ++i) {
        insertCustomer(env.store, QStringLiteral("旧%1").arg(i), QStringLiteral("2025-1-1"));
    }
}

} // namespace

class TestCustomerRecords final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // 区别 is the record count with the new record (the entry window) or one more (the grid).
    void appendRecordWritesTheTextsAndCounts_data()
    {
        QTest::addColumn<int>("seeded");
        QTest::addColumn<bool>("grid");
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QString>("stored");
        // An empty text leaves its column unset (商品简述 here).
        QTest::newRow("entry, first") << 0 << false
                                      << "张三|北京市海淀区|z@a.cn|2026-03-05|茶叶|1250.5|2|2501||"
                                         "老客户|无"
                                      << "喜欢绿茶"
                                      << "张三|北京市海淀区|z@a.cn|2026-03-05|茶叶|1250.5|2|2501|1|"
                                         "老客户|无|1|喜欢绿茶";
        QTest::newRow("entry, second") << 1 << false << "张三"
                                       << ""
                                       << "张三||||||||1|||2|";
        QTest::newRow("grid, first") << 0 << true << "周八||||||5"
                                     << ""
                                     << "周八||||||5||1|||2|";
        QTest::newRow("grid, third") << 2 << true << "李四|||2026-03-05|瓷器|12.5"
                                     << ""
                                     << "李四|||2026-03-05|瓷器|12.5|||1|||4|";
        QTest::newRow("quotes") << 0 << false << "O'Brien'); drop table 客户表;--"
                                << "'"
                                << "O'Brien'); drop table 客户表;--||||||||1|||1|'";
        // What an operator pastes: kept character for character on either store.
        const QString odd = QStringLiteral("C:\\a\\b\r\n第二行\n\t😀 مرحبا ＡＢＣ%_");
        const QString huge = QString(100000, QChar(u'长'));
        QTest::newRow("pasted texts")
            << 0 << false << odd + QStringLiteral("|") + odd << huge
            << odd + QStringLiteral("|") + odd + QStringLiteral("|||||||1|||1|") + huge;
    }
    void appendRecordWritesTheTextsAndCounts()
    {
        QFETCH(int, seeded);
        QFETCH(bool, grid);
        QFETCH(QString, texts);
        QFETCH(QString, extra);
        QFETCH(QString, stored);
        TestEnv env;
        seed(env, seeded);
        const qint64 key =
            customer_records::appendRecord(env.store, texts.split(u'|'), extra,
                                           grid ? Numbering::OneBeyond : Numbering::CountingNew);
        QCOMPARE(joinedRows(env.rowsOnDisk(
                     QStringLiteral("select 客户名,邮寄地址,电子邮箱,购买日期,商品名称,商品单价,"
                                    "商品数量,收取金额,商品简述 is null,客户简述,其他,区别,"
                                    "附加信息 from 客户表 where rowid=?"),
                     {key})),
                 QStringList{stored});
        QCOMPARE(env.countOnDisk(QStringLiteral("客户表")), seeded + 1);
        QCOMPARE(customer_records::countText(env.store), QString::number(seeded + 1));
    }

    // Many rows at once are counted one after the other; a row that is no number writes none.
    void appendRowsIsAllOrNone()
    {
        TestEnv env;
        QCOMPARE(customer_records::countText(env.store), QStringLiteral("0"));
        customer_records::appendRows(
            env.store, {split("张三|||2026-3-5|茶叶|1250.5|2|2501"), split("李四||||瓷器")});
        QCOMPARE(joinedRows(env.rowsOnDisk(
                     QStringLiteral("select 客户名, 商品单价, 区别 from 客户表 order by rowid"))),
                 split("张三|1250.5|1,李四||2", u','));
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 customer_records::appendRows(
                                     env.store, {split("王五|||||3"), split("赵六||||||两个")}));
        QCOMPARE(env.countOnDisk(QStringLiteral("客户表")), 2);
    }

    // A number is removed by the row showing it as typed; a row whose record changed removes
    // nothing.
    void removeComparesWhatTheRowShows_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shownName");
        QTest::addColumn<bool>("removed");
        for (const char* typed : {"1.5", "12.", "1,234.5", "1,234", "007", " 2e3 "}) {
            QTest::newRow(typed) << QString::fromUtf8(typed) << QStringLiteral("甲") << true;
        }
        QTest::newRow("renamed") << QStringLiteral("1.5") << QStringLiteral("乙") << false;
    }
    void removeComparesWhatTheRowShows()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shownName);
        QFETCH(bool, removed);
        TestEnv env;
        const qint64 key = customer_records::appendRecord(
            env.store,
            {QStringLiteral("甲"), {}, {}, {}, {}, customer_records::storedNumber(typed)}, {},
            Numbering::CountingNew);
        const auto remove = [&] {
            customer_records::remove(
                env.store, key,
                {{QStringLiteral("客户名"), shownName}, {QStringLiteral("商品单价"), typed}});
        };
        if (removed) {
            remove();
        } else {
            QVERIFY_THROWS_EXCEPTION(StoreError, remove());
        }
        QCOMPARE(env.countOnDisk(QStringLiteral("客户表")), removed ? 0 : 1);
    }

    // A record is rewritten by its key, 区别 kept, only while it holds what was read: another
    // desk's change or delete in between is refused and kept.
    void updateEntryWritesOnlyAnUnchangedRecord_data()
    {
        QTest::addColumn<QString>("meanwhile"); // run by a second connection, ? the key
        QTest::addColumn<QString>("refusal");   // empty: written
        QTest::addColumn<QString>("stored");
        QTest::newRow("unchanged")
            << QString() << QString() << "乙|||2026-03-06|瓷器|1234.5|3||||新|2|";
        QTest::newRow("changed") << "update 客户表 set 商品数量=7 where rowid=?"
                                 << DataStore::recordChangedMeanwhileText()
                                 << "甲|北京||2026-03-05|茶叶|12.5|7|25||||2|旧";
        QTest::newRow("deleted") << "delete from 客户表 where rowid=?"
                                 << DataStore::recordGoneText() << QString();
    }
    void updateEntryWritesOnlyAnUnchangedRecord()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QString, refusal);
        QFETCH(QString, stored);
        TestEnv env;
        customer_records::appendRecord(env.store, split("丙"), {}, Numbering::CountingNew);
        const qint64 key =
            customer_records::appendRecord(env.store, split("甲|北京||2026-3-5|茶叶|12.5|2|25"),
                                           QStringLiteral("旧"), Numbering::CountingNew);
        const auto read = customer_records::readEntry(env.store, key);
        QVERIFY(read);
        QCOMPARE(read->texts.join(u'|'),
                 QStringLiteral("甲|北京||2026-03-05|茶叶|12.5|2|25||||旧"));
        if (!meanwhile.isEmpty()) {
            const auto desk = openStore(env.store.address());
            desk->execute(meanwhile, {key});
        }
        QStringList texts = split("乙|||2026/3/6|瓷器|1,234.5|3||||新|");
        texts[5] = customer_records::storedNumber(texts[5]);
        const auto update = [&] { customer_records::updateEntry(env.store, read->read, texts); };
        if (refusal.isEmpty()) {
            update();
        } else {
            try {
                update();
                QFAIL("the change was written");
            } catch (const StoreError& error) {
                QCOMPARE(error.message(), refusal);
            }
        }
        QCOMPARE(joinedRows(env.rowsOnDisk(
                     QStringLiteral("select 客户名,邮寄地址,电子邮箱,购买日期,商品名称,商品单价,"
                                    "商品数量,收取金额,商品简述,客户简述,其他,区别,附加信息 "
                                    "from 客户表 where rowid=?"),
                     {key})),
                 split(stored, u','));
        QCOMPARE(joinedRows(env.rowsOnDisk(QStringLiteral("select 客户名, 区别 from 客户表 "
                                                          "where rowid<>? order by rowid"),
                                           {key})),
                 QStringList{QStringLiteral("丙|1")});
        QCOMPARE(customer_records::countText(env.store),
                 meanwhile.startsWith(u"delete") ? QStringLiteral("1") : QStringLiteral("2"));
    }

    void numberEntries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored"); // null: no number entry
        const auto row = [](const char* text, const char* stored) {
            QTest::newRow(text) << QString::fromUtf8(text)
                                << (stored ? QString::fromUtf8(stored) : QString());
        };
        row("", "");
        row("12", "12");
        row("1.5", "1.5");
        row("12.", "12.");
        row(" 1,234.5 ", "1234.5");
        row("007", "007");
        row("-3", "-3");
        row("2e-3", "2e-3");
        for (const char* bad : {"a", "1-", "e5", "1.2.3", "  ", "-", "+", ".", "1e"}) {
            row(bad, nullptr);
        }
    }
    void numberEntries()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        QCOMPARE(customer_records::isNumberEntry(text), !stored.isNull());
        if (!stored.isNull()) {
            QCOMPARE(customer_records::storedNumber(text), stored);
        }
    }

    // Only the records of this name and this address give their additional information.
    void extraInformationNeedsNameAndAddress()
    {
        TestEnv env;
        customer_records::appendRecord(env.store, split("O'Brien||o@b.ie"),
                                       QStringLiteral("青花瓷"), Numbering::CountingNew);
        customer_records::appendRecord(env.store, split("李四"), QStringLiteral("不应显示"),
                                       Numbering::CountingNew);
        QCOMPARE(joinedRows(customer_records::extraInformation(env.store, QStringLiteral("O'Brien"),
                                                               QStringLiteral("o@b.ie"))),
                 QStringList{QStringLiteral("青花瓷")});
        QVERIFY(joinedRows(customer_records::extraInformation(env.store, QStringLiteral("李四"),
                                                              QString()))
                    .isEmpty());
    }
};

QTEST_MAIN(TestCustomerRecords)
#include "test_customer_records.moc"

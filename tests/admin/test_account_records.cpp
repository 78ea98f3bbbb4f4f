#include "admin/account_records.h"
#include "data_store/data_store.h"
#include "data_store/store_error.h"
#include "support/env.h"
#include "support/record_rows.h"

#include <QTest>

using namespace khgl;
using namespace khgl::test;

namespace {

qint64 addAccount(TestEnv& env, const QString& name, const QString& question)
{
    return account_records::add(env.store,
                                {name, QStringLiteral("pw"), question, QStringLiteral("a")});
}

QStringList questionsOnDisk(const TestEnv& env)
{
    return joinedRows(env.rowsOnDisk(QStringLiteral("select 问题 from 用户表 order by rowid")));
}

} // namespace

class TestAccountRecords final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The store's comparison would take some of these for "abc"; the unlock must not.
    void isStoredPasswordComparesExactly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("stored");
        QTest::newRow("exact") << QStringLiteral("abc") << true;
        QTest::newRow("another account's, quoted") << QStringLiteral("it's") << true;
        QTest::newRow("case") << QStringLiteral("ABC") << false;
        QTest::newRow("trailing blank") << QStringLiteral("abc ") << false;
        QTest::newRow("injection") << QStringLiteral("' or '1'='1") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void isStoredPasswordComparesExactly()
    {
        QFETCH(QString, typed);
        QFETCH(bool, stored);
        TestEnv env;
        QVERIFY(!account_records::any(env.store));
        env.addUser(QStringLiteral("张三"), QStringLiteral("abc"));
        env.addUser(QStringLiteral("李四"), QStringLiteral("it's"));
        QVERIFY(account_records::any(env.store));
        QCOMPARE(account_records::isStoredPassword(env.store, typed), stored);
    }

    // Accounts are numbered by the record count (a seeded one keeps its 0), the same name may
    // come twice, and a delete removes the account its row shows or, when that changed, none.
    void addNumbersAndRemoveTakesTheShownAccount()
    {
        TestEnv env;
        env.addUser(QStringLiteral("admin"), QStringLiteral("pw"), QStringLiteral("q0"));
        const qint64 first = addAccount(env, QStringLiteral("admin"), QStringLiteral("q1"));
        const qint64 second = addAccount(env, QStringLiteral("admin"), QStringLiteral("q2"));
        QCOMPARE(joinedRows(env.rowsOnDisk(
                     QStringLiteral("select 用户名, 问题, 区别 from 用户表 order by rowid"))),
                 split("admin|q0|0,admin|q1|2,admin|q2|3", u','));
        QCOMPARE(account_records::all(env.store).recordCount(), 3);

        env.store.execute(QStringLiteral("delete from 用户表 where 问题='q0'"));
        account_records::remove(env.store, first, {{QStringLiteral("问题"), QStringLiteral("q1")}});
        QCOMPARE(questionsOnDisk(env), QStringList{QStringLiteral("q2")});
        QVERIFY_THROWS_EXCEPTION(
            StoreError, account_records::remove(env.store, first,
                                                {{QStringLiteral("问题"), QStringLiteral("q1")}}));
        QVERIFY_THROWS_EXCEPTION(
            StoreError, account_records::remove(env.store, second,
                                                {{QStringLiteral("问题"), QStringLiteral("q9")}}));
        QCOMPARE(questionsOnDisk(env), QStringList{QStringLiteral("q2")});
        account_records::remove(env.store, second,
                                {{QStringLiteral("用户名"), QStringLiteral("admin")}});
        QCOMPARE(env.countOnDisk(QStringLiteral("用户表")), 0);
        addAccount(env, QStringLiteral("新"), QStringLiteral("q3"));
        QCOMPARE(joinedRows(env.rowsOnDisk(QStringLiteral("select 区别 from 用户表"))),
                 QStringList{QStringLiteral("1")});
    }

    // The listed tables are emptied together; the others keep their rows.
    void emptyTablesEmptiesOnlyTheseTables()
    {
        TestEnv env;
        insertSale(env.store, QStringLiteral("2026-3-4"), 12);
        insertCustomer(env.store, QStringLiteral("王"), QStringLiteral("2026-3-4"));
        env.addUser(QStringLiteral("admin"), QStringLiteral("pw"));
        account_records::emptyTables(env.store, {});
        account_records::emptyTables(env.store,
                                     {QStringLiteral("销售表"), QStringLiteral("用户表")});
        QCOMPARE(env.countOnDisk(QStringLiteral("销售表")), 0);
        QCOMPARE(env.countOnDisk(QStringLiteral("用户表")), 0);
        QCOMPARE(env.countOnDisk(QStringLiteral("客户表")), 1);
    }
};

QTEST_MAIN(TestAccountRecords)
#include "test_account_records.moc"

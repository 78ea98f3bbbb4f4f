#include "data_store/data_store.h"
#include "shell/login_records.h"
#include "support/env.h"

#include <QTest>

using namespace khgl;
using namespace khgl::test;

class TestLoginRecords final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Names match as the store compares text (any case, trailing blanks not counted); the
    // passwords come in table order, an empty one as an empty text.
    void passwordsAndRecoveryOfAName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("passwords"); // '|'-separated; "-": no such user
        QTest::addColumn<QString>("recovery");  // question|answer|password
        QTest::newRow("exact") << QStringLiteral("Admin") << "abc"
                               << "宠物？|猫|abc";
        QTest::newRow("case and blank") << QStringLiteral("ADMIN ") << "abc"
                                        << "宠物？|猫|abc";
        QTest::newRow("twice") << QStringLiteral("a") << "one|two"
                               << "q||one";
        QTest::newRow("empty password") << QStringLiteral("王") << ""
                                        << "||";
        QTest::newRow("nobody") << QStringLiteral("nobody") << "-"
                                << "-";
        QTest::newRow("quote") << QStringLiteral("' or '1'='1") << "-"
                               << "-";
    }
    void passwordsAndRecoveryOfAName()
    {
        QFETCH(QString, name);
        QFETCH(QString, passwords);
        QFETCH(QString, recovery);
        TestEnv env;
        env.addUser(QStringLiteral("Admin"), QStringLiteral("abc"), QStringLiteral("宠物？"),
                    QStringLiteral("猫"));
        env.addUser(QStringLiteral("a"), QStringLiteral("one"), QStringLiteral("q"));
        env.addUser(QStringLiteral("A"), QStringLiteral("two"));
        env.addUser(QStringLiteral("王"), QString());
        QCOMPARE(login_records::userNames(env.store), QStringLiteral("Admin|a|A|王").split(u'|'));
        const auto found = login_records::passwordsOf(env.store, name);
        QCOMPARE(found ? found->join(u'|') : QStringLiteral("-"), passwords);
        const auto question = login_records::recoveryOf(env.store, name);
        const QString asked =
            question ? question->question + u'|' + question->answer + u'|' + question->password
                     : QStringLiteral("-");
        QCOMPARE(asked, recovery);
    }

    // One login is remembered, replaced whole, and forgotten.
    void rememberReplacesAndForgets()
    {
        if (onTestServer()) {
            QSKIP("a server remembers the login of each desk");
        }
        TestEnv env;
        QVERIFY(!login_records::remembered(env.store));
        login_records::remember(
            env.store, login_records::Login{QStringLiteral("Admin"), QStringLiteral("abc")});
        login_records::remember(
            env.store, login_records::Login{QStringLiteral("李"), QStringLiteral("密码'1")});
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select * from 登录表")),
                 QList<QStringList>({{QStringLiteral("李"), QStringLiteral("密码'1")}}));
        const auto remembered = login_records::remembered(env.store);
        QVERIFY(remembered);
        QCOMPARE(remembered->name + u'|' + remembered->password, QStringLiteral("李|密码'1"));
        login_records::remember(env.store, std::nullopt);
        QCOMPARE(env.countOnDisk(QStringLiteral("登录表")), 0);
        QVERIFY(!login_records::remembered(env.store));
    }
};

QTEST_MAIN(TestLoginRecords)
#include "test_login_records.moc"

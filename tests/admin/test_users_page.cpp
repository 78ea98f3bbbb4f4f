#include "data_store/sqlite_store.h"
#include "settings_fixture.h"
#include "widgets/record_grid.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <array>

using namespace khgl;
using khgl::test::SettingsFixture;

namespace {

void pressEnter(QLineEdit* box)
{
    QTest::keyClick(box, Qt::Key_Return);
}

} // namespace

class TestUsersPage final : public QObject
{
    Q_OBJECT

private:
    // Clicks the accounts tab and types the password into the unlock box.
    static void unlockWith(SettingsFixture& f, const QString& password)
    {
        khgl::test::click(f.child("Label74"));
        auto* box = f.child<QLineEdit>("Text32");
        khgl::test::typeText(box, password);
        pressEnter(box);
    }

    static QStringList gridRow(RecordGrid* grid, int row)
    {
        return {grid->text(row, 1), grid->text(row, 2), grid->text(row, 3), grid->text(row, 4)};
    }

    // Types name, password, question and answer (UTF-8) into the emptied account boxes.
    static void fillAccount(SettingsFixture& f, std::array<const char*, 4> texts)
    {
        const std::array<const char*, 4> boxes{"Text9", "Text19", "Text30", "Text31"};
        for (const char* box : boxes) {
            f.child<QLineEdit>(box)->clear();
        }
        for (size_t i = 0; i < boxes.size(); ++i) {
            khgl::test::typeText(f.child(boxes[i]), QString::fromUtf8(texts[i]));
        }
    }

private Q_SLOTS:
    void unlockNeedsAnExactStoredPassword()
    {
        SettingsFixture f;
        f.env.addUser(QStringLiteral("张三"), QStringLiteral("abc"), QStringLiteral("问1"),
                      QStringLiteral("答1"));
        f.env.addUser(QStringLiteral("李四"), QStringLiteral("it's"), QStringLiteral("问2"),
                      QStringLiteral("答2"));
        auto* box = f.child<QLineEdit>("Text32");
        auto* users = f.child("Frame27");
        QVERIFY(!box->isVisible());
        QCOMPARE(box->echoMode(), QLineEdit::Password);

        // Which passwords unlock is checked on the records module; here what a wrong one shows.
        unlockWith(f, QStringLiteral("ABC"));
        QCOMPARE(f.env.dialogs.texts(), QStringList{QStringLiteral("密码错误。")});
        QCOMPARE(f.env.dialogs.messages[0].title, QStringLiteral("提示"));
        QCOMPARE(f.env.dialogs.messages[0].icon, Dialogs::Icon::Information);
        QVERIFY(box->text().isEmpty());
        QVERIFY(!users->isVisible());
        QVERIFY(f.child("Frame29")->isVisible());

        // Another account's password (with a quote in it) unlocks as well.
        f.env.dialogs.clear();
        unlockWith(f, QStringLiteral("it's"));
        QVERIFY(f.env.dialogs.messages.empty());
        QVERIFY(box->text().isEmpty());
        QVERIFY(users->isVisible());
        QVERIFY(!f.child("Frame29")->isVisible());
        QVERIFY(!f.child("Frame34")->isVisible());

        auto* grid = f.child<RecordGrid>("M1");
        QCOMPARE(grid->cols(), 5);
        QCOMPARE(grid->colWidth(1), 1500);
        QCOMPARE(grid->colWidth(3), 3000);
        QCOMPARE(gridRow(grid, 0),
                 QStringLiteral("管理员|管理员密码|密码问题|密码答案").split(u'|'));
        // Enter twice lists every account once.
        unlockWith(f, QStringLiteral("abc"));
        QCOMPARE(grid->rows(), 3);
        QCOMPARE(gridRow(grid, 1), QStringLiteral("张三|abc|问1|答1").split(u'|'));
        QCOMPARE(gridRow(grid, 2), QStringLiteral("李四|it's|问2|答2").split(u'|'));
        khgl::test::grabTo(&f.page, QStringLiteral("admin_users"));
    }

    void savesAndDeletesTheAccountsTheRowsShow()
    {
        SettingsFixture f;
        f.env.addUser(QStringLiteral("admin"), QStringLiteral("pw"), QStringLiteral("q0"),
                      QStringLiteral("a0"));
        unlockWith(f, QStringLiteral("pw"));
        auto* grid = f.child<RecordGrid>("M1");
        const auto deleteRow = [&f] {
            f.env.dialogs.answerNext(Dialogs::Answer::Yes);
            khgl::test::click(f.child("Label84"));
        };
        QCOMPARE(grid->rows(), 2);

        // An incomplete account is refused and nothing is stored.
        fillAccount(f, {"admin", "pw2", "q1", ""});
        khgl::test::click(f.child("Label82"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("用户信息不完整。"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("用户表")), 1);

        // Same name twice: two rows, no uniqueness test, no confirmation.
        f.env.dialogs.clear();
        fillAccount(f, {"admin", "pw2", "q1", "a1"});
        QTest::keyClick(f.child("Text31"), Qt::Key_Return); // Enter in the last box saves
        fillAccount(f, {"admin", "pw3", "q2", "a2"});
        khgl::test::click(f.child("Label82"));
        QVERIFY(f.env.dialogs.messages.empty());
        QCOMPARE(f.child<QLineEdit>("Text31")->text(), QStringLiteral("a2"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("用户表")), 3);
        QCOMPARE(grid->rows(), 4);
        QCOMPARE(grid->text(3, 3), QStringLiteral("q2"));

        // No keeps the account.
        grid->setRow(2);
        f.env.dialogs.answerNext(Dialogs::Answer::No);
        khgl::test::click(f.child("Label84"));
        QCOMPARE(f.env.dialogs.messages.back().buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(f.env.countOnDisk(QStringLiteral("用户表")), 3);

        // The first account vanishes underneath; grid row 2 still deletes the account it
        // shows (q1), not whatever is now second in the table.
        {
            SqliteStore other(f.env.folder());
            other.execute(QStringLiteral("delete from 用户表 where 问题='q0'"));
        }
        deleteRow();
        QCOMPARE(f.env.rowsOnDisk(QStringLiteral("select 问题 from 用户表")),
                 QList<QStringList>{{QStringLiteral("q2")}});
        QCOMPARE(grid->rows(), 3);
        QCOMPARE(grid->text(2, 3), QStringLiteral("q2"));

        // Row 1 shows an account that is gone: nothing is deleted, and the operator is told
        // to list again; the listing then shows what the file holds.
        grid->setRow(1);
        f.env.dialogs.clear();
        deleteRow();
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("记录已经改变，请重新查询。"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("用户表")), 1);
        QCOMPARE(grid->rows(), 3);
        unlockWith(f, QStringLiteral("pw3"));
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(grid->text(1, 3), QStringLiteral("q2"));

        // Deleting the only account leaves an empty table and an empty row 1.
        grid->setRow(1);
        deleteRow();
        QCOMPARE(f.env.countOnDisk(QStringLiteral("用户表")), 0);
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(gridRow(grid, 1), (QStringList{QString(), QString(), QString(), QString()}));
        // An empty row deletes nothing and does not fail.
        f.env.dialogs.clear();
        deleteRow();
        QCOMPARE(f.env.dialogs.texts(), QStringList{QStringLiteral("是否删除？")});

        // Saving into the empty grid fills row 1, the next save row 2.
        fillAccount(f, {"新", "x", "q3", "a3"});
        khgl::test::click(f.child("Label82"));
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(grid->text(1, 1), QStringLiteral("新"));
        khgl::test::click(f.child("Label82"));
        QCOMPARE(grid->rows(), 3);
        QCOMPARE(grid->text(2, 2), QStringLiteral("x"));
        grid->setRow(1);
        deleteRow();
        QCOMPARE(f.env.countOnDisk(QStringLiteral("用户表")), 1);
        QCOMPARE(grid->rows(), 2);

        // A saved row becomes current: a delete right after the save removes what was saved.
        fillAccount(f, {"键", "k", "q4", "a4"});
        khgl::test::click(f.child("Label82"));
        fillAccount(f, {"末", "m", "q5", "a5"});
        khgl::test::click(f.child("Label82"));
        deleteRow();
        QCOMPARE(f.env.rowsOnDisk(QStringLiteral("select 问题 from 用户表 order by rowid")),
                 (QList<QStringList>{{QStringLiteral("q3")}, {QStringLiteral("q4")}}));
        // The row the keys highlight is the row deleted: row 1 clicked, then Down.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                          grid->cellRect(1, 1).center());
        QTest::keyClick(grid, Qt::Key_Down);
        deleteRow();
        QCOMPARE(f.env.rowsOnDisk(QStringLiteral("select 问题 from 用户表 order by rowid")),
                 QList<QStringList>{{QStringLiteral("q3")}});
    }

    void questionAndAnswerStopAt48Characters_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("message");
        QTest::newRow("Text30") << QStringLiteral("Text30")
                                << QStringLiteral("问题长度不大于50字。");
        QTest::newRow("Text31") << QStringLiteral("Text31")
                                << QStringLiteral("答案长度不大于50字。");
    }
    void questionAndAnswerStopAt48Characters()
    {
        QFETCH(QString, box);
        QFETCH(QString, message);
        SettingsFixture f;
        auto* edit = f.child<QLineEdit>(qPrintable(box));
        khgl::test::typeText(edit, QString(48, QChar(u'答')));
        QVERIFY(f.env.dialogs.messages.empty());
        QCOMPARE(edit->text().size(), 48);
        khgl::test::typeText(edit, QStringLiteral("q"));
        QCOMPARE(f.env.dialogs.texts(), QStringList{message});
        QCOMPARE(f.env.dialogs.messages[0].title, QStringLiteral("提示"));
        QCOMPARE(f.env.dialogs.messages[0].icon, Dialogs::Icon::Information);
        QVERIFY(edit->text().isEmpty());
    }
};

QTEST_MAIN(TestUsersPage)
#include "test_users_page.moc"

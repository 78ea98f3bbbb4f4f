#include "admin/backup_history.h"
#include "data_store/data_store.h"
#include "data_store/sqlite_store.h"
#include "settings_fixture.h"

#include <QCheckBox>
#include <QLabel>

using namespace khgl;
using khgl::test::SettingsFixture;

namespace {

// The safety copies in the history, newest first, with the 销售表 count each holds.
QList<qint64> salesInSafetyCopies(SettingsFixture& f)
{
    BackupHistory history(f.env.folder());
    QList<qint64> sales;
    for (const BackupEntry& entry : history.entries()) {
        if (entry.kind == BackupEntry::Kind::BeforeClear) {
            for (const auto& [table, count] : history.recordCounts(entry.path)) {
                if (table == QStringLiteral("销售表")) {
                    sales << count;
                }
            }
        }
    }
    return sales;
}

} // namespace

class TestDataPage final : public QObject
{
    Q_OBJECT

private:
    // Two rows in each business table, one account and a remembered login.
    static void seed(SettingsFixture& f)
    {
        DataStore& store = f.env.store;
        for (int i = 0; i < 2; ++i) {
            store.execute(QStringLiteral("insert into 提醒表 (编号, 提醒内容) values (?, ?)"),
                          {i + 1, QStringLiteral("进货")});
            store.execute(QStringLiteral("insert into 进货表 (名称, 总金额) values (?, ?)"),
                          {QStringLiteral("茶"), 10});
            store.execute(QStringLiteral("insert into 销售表 (名称, 总金额) values (?, ?)"),
                          {QStringLiteral("茶"), 12});
            store.execute(QStringLiteral("insert into 客户表 (客户名) values (?)"),
                          {QStringLiteral("王")});
        }
        f.env.addUser(QStringLiteral("admin"), QStringLiteral("pw"));
        store.execute(QStringLiteral("insert into 登录表 (用户名, 密码) values ('admin', 'pw')"));
        store.execute(QStringLiteral("insert into 库存下限 (名称, 下限) values ('茶', 3)"));
    }

    static QList<int> counts(SettingsFixture& f)
    {
        QList<int> all;
        for (const char16_t* table :
             {u"提醒表", u"进货表", u"销售表", u"客户表", u"用户表", u"登录表"}) {
            all << f.env.countOnDisk(QString::fromUtf16(table));
        }
        return all;
    }

private Q_SLOTS:
    void deletesOnlyTheTickedTablesAfterOk()
    {
        SettingsFixture f;
        seed(f);
        QVERIFY(f.child("Frame29")->isVisible());

        // Cancel deletes nothing and says nothing more.
        f.child<QCheckBox>("Check3")->setChecked(true);
        f.env.dialogs.answerNext(Dialogs::Answer::Cancel);
        khgl::test::click(f.child("Label88"));
        QCOMPARE(f.env.dialogs.texts(), QStringList{QStringLiteral("即将删除选中的数据项。")});
        const auto& ask = f.env.dialogs.messages[0];
        QCOMPARE(ask.title, QStringLiteral("删除"));
        QCOMPARE(ask.icon, Dialogs::Icon::None);
        QCOMPARE(ask.buttons, Dialogs::Buttons::OkCancelDefaultCancel);
        QCOMPARE(counts(f), (QList<int>{2, 2, 2, 2, 1, 1}));
        QVERIFY(salesInSafetyCopies(f).isEmpty());
        auto* status = f.child<QLabel>("DataStatus");
        QVERIFY(status->text().isEmpty());

        // Only 销售表 goes; the copy taken first still holds its rows.
        f.env.dialogs.clear();
        f.env.dialogs.answerNext(Dialogs::Answer::Ok);
        khgl::test::click(f.child("Label88"));
        QCOMPARE(f.env.dialogs.texts(),
                 QStringLiteral("即将删除选中的数据项。|删除完毕。").split(u'|'));
        QCOMPARE(salesInSafetyCopies(f), QList<qint64>{2});
        // The copy is named beside the questions, not inside them.
        QCOMPARE(status->text(), QStringLiteral("删除前的数据已保存一份副本（2026-12-7 9:30），"
                                                "可在“数据库备份还原”的备份记录中还原。"));
        QCOMPARE(f.env.dialogs.messages[1].title, QStringLiteral("提示"));
        QCOMPARE(f.env.dialogs.messages[1].icon, Dialogs::Icon::Information);
        QCOMPARE(counts(f), (QList<int>{2, 2, 0, 2, 1, 1}));
        QVERIFY(f.child<QCheckBox>("Check3")->isChecked()); // ticks stay

        // No box ticked: the same messages, nothing deleted.
        f.child<QCheckBox>("Check3")->setChecked(false);
        f.env.dialogs.clear();
        f.env.dialogs.answerNext(Dialogs::Answer::Ok);
        khgl::test::click(f.child("Label88"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("删除完毕。"));
        QCOMPARE(counts(f), (QList<int>{2, 2, 0, 2, 1, 1}));
        QCOMPARE(salesInSafetyCopies(f).size(), 1); // nothing to delete, no copy

        // The other three boxes.
        for (const char* box : {"Check1", "Check2", "Check4"}) {
            f.child<QCheckBox>(box)->setChecked(true);
        }
        f.env.dialogs.answerNext(Dialogs::Answer::Ok);
        khgl::test::click(f.child("Label88"));
        QCOMPARE(counts(f), (QList<int>{0, 0, 0, 0, 1, 1}));
        khgl::test::grabTo(&f.page, QStringLiteral("admin_data"));
    }

    void formatEmptiesTheBusinessTablesOnly()
    {
        SettingsFixture f;
        seed(f);
        f.env.dialogs.answerNext(Dialogs::Answer::No);
        khgl::test::click(f.child("Label86"));
        QCOMPARE(f.env.dialogs.texts(), QStringList{QStringLiteral("确定要格式化系统数据吗？")});
        const auto& ask = f.env.dialogs.messages[0];
        QVERIFY(ask.title.isEmpty()); // the application's title
        QCOMPARE(ask.icon, Dialogs::Icon::Question);
        QCOMPARE(ask.buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(counts(f), (QList<int>{2, 2, 2, 2, 1, 1}));

        f.env.dialogs.clear();
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        khgl::test::click(f.child("Label86"));
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("删除完毕。"));
        QCOMPARE(counts(f), (QList<int>{0, 0, 0, 0, 1, 1}));
        QCOMPARE(salesInSafetyCopies(f), QList<qint64>{2});
        // The stock minimums are the program's own settings, not business data.
        QCOMPARE(f.env.countOnDisk(QStringLiteral("库存下限")), 1);
        // The next reminder numbers from the record count again: 1.
        QCOMPARE(f.env.store.countRows(QStringLiteral("提醒表")) + 1, 1);
    }

    void aFailedClearingLeavesEveryTableWhole()
    {
        SettingsFixture f;
        seed(f);
        {
            SqliteStore other(f.env.folder());
            other.execute(QStringLiteral("create trigger keep before delete on 客户表 "
                                         "begin select raise(abort, '客户表被锁定'); end"));
        }
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        khgl::test::click(f.child("Label86"));
        QVERIFY(!f.env.dialogs.texts().contains(QStringLiteral("删除完毕。")));
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::Critical);
        // 提醒表, 进货表 and 销售表 were emptied before 客户表 failed: all of it is undone.
        QCOMPARE(counts(f), (QList<int>{2, 2, 2, 2, 1, 1}));
    }
};

QTEST_MAIN(TestDataPage)
#include "test_data_page.moc"

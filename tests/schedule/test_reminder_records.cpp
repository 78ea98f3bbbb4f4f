#include "data_store/data_store.h"
#include "schedule/reminder_records.h"
#include "support/env.h"
#include "support/record_rows.h"

#include <QTest>

using namespace khgl;
using namespace khgl::test;

namespace {

// Reminders "date;time;content" as the schedule's form writes them, numbered in order.
void seed(TestEnv& env, const QStringList& reminders)
{
    for (const QString& reminder : reminders) {
        const QStringList parts = reminder.split(u';');
        reminder_records::append(env.store,
                                 {QDate(2026, 12, 1), parts[0], parts[1], parts[2], QString()});
    }
}

} // namespace

class TestReminderRecords final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // 编号 and 区别 follow the row count; an empty time or music leaves its column unset.
    void appendNumbersAndStores_data()
    {
        QTest::addColumn<int>("seeded");
        QTest::addColumn<QString>("reminder"); // date, time, content, music
        QTest::addColumn<QString>("stored");
        QTest::newRow("first") << 0 << "2026-12-8|9时5分|给李女士寄样品|"
                               << "1|2026-12-07|2026-12-8|9时5分|给李女士寄样品|1|1";
        QTest::newRow("no time") << 1 << "2026-12-8||内容|/music/a.mp3"
                                 << "2|2026-12-07|2026-12-8||内容|0|2";
        QTest::newRow("typed padded") << 0 << "2026/12/08|9时5分|内容|"
                                      << "1|2026-12-07|2026-12-8|9时5分|内容|1|1";
        QTest::newRow("not a date") << 0 << "下周一|9时5分|内容|"
                                    << "1|2026-12-07|下周一|9时5分|内容|1|1";
        QTest::newRow("quotes") << 3 << "2026-12-9||O'Brien'); delete from 提醒表;--|"
                                << "4|2026-12-07|2026-12-9||O'Brien'); delete from 提醒表;--|1|4";
        QTest::newRow("pasted") << 0 << "2026-12-9|9时5分|C:\\a\\b\r\n第二行\n\t😀 مرحبا ＡＢＣ%_|"
                                << "1|2026-12-07|2026-12-9|9时5分|C:\\a\\b\r\n第二行\n\t😀 مرحبا "
                                   "ＡＢＣ%_|1|1";
    }
    void appendNumbersAndStores()
    {
        QFETCH(int, seeded);
        QFETCH(QString, reminder);
        QFETCH(QString, stored);
        TestEnv env;
        seed(env, QStringList(seeded, QStringLiteral("2026-1-1;;旧")));
        const QStringList parts = reminder.split(u'|');
        qint64 key = -1;
        const int number = reminder_records::append(
            env.store, {QDate(2026, 12, 7), parts[0], parts[1], parts[2], parts[3]}, &key);
        QCOMPARE(number, seeded + 1);
        const QString select = QStringLiteral("select 编号,设置时间,提醒日期,提醒时间,提醒内容,"
                                              "提醒音乐 is null,区别 from 提醒表 where rowid=?");
        QCOMPARE(joinedRows(env.rowsOnDisk(select, {key})), QStringList{stored});
        QCOMPARE(reminder_records::all(env.store).recordCount(), seeded + 1);

        // Changed in place: the boxes' columns rewritten, an emptied time or music unset, the
        // number and the setting day kept.
        const auto read = reminder_records::readEntry(env.store, key);
        QVERIFY(read);
        QCOMPARE(read->reminder.setOn, QDate(2026, 12, 7));
        QCOMPARE(QStringList({read->reminder.date, read->reminder.time, read->reminder.content,
                              read->reminder.music}),
                 QStringList({stored.section(u'|', 2, 2), parts[1], parts[2], parts[3]}));
        reminder_records::updateEntry(env.store, read->read,
                                      {{}, QStringLiteral("2026-12-10"), {}, parts[2], {}});
        QStringList changed = stored.split(u'|');
        changed[2] = QStringLiteral("2026-12-10");
        changed[3].clear();
        changed[5] = QStringLiteral("1");
        QCOMPARE(joinedRows(env.rowsOnDisk(select, {key})), QStringList{changed.join(u'|')});
        QCOMPARE(reminder_records::all(env.store).recordCount(), seeded + 1);
    }

    // A day's reminders in every form its date was typed in, a blank after it not counting.
    void remindersOfADay_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("contents"); // contentsOn, '|'-separated
        QTest::addColumn<QString>("listed");   // on
        QTest::newRow("4 March") << QDate(2026, 3, 4) << "A|<b>B</b>|C|D"
                                 << "A|<b>B</b>|C|D";
        QTest::newRow("5 March") << QDate(2026, 3, 5) << "明天"
                                 << "明天";
        QTest::newRow("7 December") << QDate(2026, 12, 7) << "前导零|今天一|今天二"
                                    << "前导零|今天一|今天二";
        QTest::newRow("none") << QDate(2026, 3, 6) << ""
                              << "";
    }
    void remindersOfADay()
    {
        QFETCH(QDate, day);
        QFETCH(QString, contents);
        QFETCH(QString, listed);
        TestEnv env;
        seed(env, split("2026-3-4;;A,2026-3-5;;明天,2026-3-4;;<b>B</b>,2026-03-04;;C,2026-03-4;;D,"
                        "2026-12-6;;昨天,2026-12-07;;前导零,2026-12-7;9时0分;今天一,"
                        "2026-12-7 ;;今天二",
                        u','));
        QCOMPARE(reminder_records::contentsOn(env.store, day).join(u'|'), contents);
        QStringList onDay;
        RecordSet set = reminder_records::on(env.store, day);
        for (set.moveFirst(); !set.eof(); set.moveNext()) {
            onDay << set.text(QStringLiteral("提醒内容"));
            QVERIFY(set.rowKey() > 0); // each listed row names its reminder for 修改…
        }
        QCOMPARE(onDay.join(u'|'), listed);
        QCOMPARE(reminder_records::anyOn(env.store, day), !listed.isEmpty());
    }

    // The alarm's reminder: dated today in any form, its time this minute, the first in entry
    // order.
    void dueAtTakesThisMinute_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("due"); // content|music, empty: none
        const QDate today(2026, 12, 7);
        QTest::newRow("on the minute") << QDateTime(today, QTime(9, 5, 30)) << "发货|/music/a.mp3";
        QTest::newRow("a minute late") << QDateTime(today, QTime(9, 6)) << "";
        QTest::newRow("no music") << QDateTime(today, QTime(15, 0, 59)) << "下午|";
        QTest::newRow("yesterday") << QDateTime(today.addDays(-1), QTime(9, 5)) << "前导零|";
        QTest::newRow("tomorrow") << QDateTime(today.addDays(1), QTime(9, 5)) << "";
    }
    void dueAtTakesThisMinute()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, due);
        TestEnv env;
        seed(env,
             split("2026-12-06;9时5分;前导零,2026-12-6;9时5分;昨天,2026-12-7;15时0分;下午", u','));
        reminder_records::append(env.store, {QDate(2026, 12, 1), QStringLiteral("2026-12-7"),
                                             QStringLiteral("9时5分"), QStringLiteral("发货"),
                                             QStringLiteral("/music/a.mp3")});
        seed(env, {QStringLiteral("2026-12-7;9时5分 ;第二")});
        const auto found = reminder_records::dueAt(env.store, now);
        QCOMPARE(found ? found->content + u'|' + found->music : QString(), due);
    }
};

QTEST_MAIN(TestReminderRecords)
#include "test_reminder_records.moc"

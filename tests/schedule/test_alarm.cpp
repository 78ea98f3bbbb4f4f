#include "data_store/data_store.h"
#include "schedule/alarm_check.h"
#include "schedule/alarm_popup.h"
#include "schedule/missed_reminders.h"
#include "schedule/recording_player.h"
#include "shell/main_window.h"
#include "support/fake_tray.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace khgl;
using khgl::test::ScheduleEnv;

namespace {

// The main window's Timer1 and the alarm it drives.
struct Alarm
{
    explicit Alarm(ScheduleEnv& s) : env(s), check(s.context, timer)
    {
        timer.setObjectName(QStringLiteral("Timer1"));
        timer.start(1000);
    }
    // One tick of Timer1 at the given time of 2026-12-07.
    void tickAt(int hour, int minute, int second)
    {
        env.env.clock.set(QDateTime(QDate(2026, 12, 7), QTime(hour, minute, second)));
        check.check();
    }
    bool popupShown() const { return check.popup() && check.popup()->isVisible(); }
    QString shown() const
    {
        return check.popup()->findChild<QLabel*>(QStringLiteral("Label1"))->text();
    }
    void stopMusic() const
    {
        khgl::test::click(check.popup()->findChild<QWidget*>(QStringLiteral("Label2")));
    }
    QTimer* countdown() const
    {
        return check.popup()->findChild<QTimer*>(QStringLiteral("Timer1"));
    }

    ScheduleEnv& env;
    QTimer timer;
    AlarmCheck check;
};

// Logs in at the given time of 2026-12-07: a main window is made and loaded.
QPointer<MainWindow> loginAt(ScheduleEnv& s, int hour, int minute)
{
    s.env.clock.set(QDateTime(QDate(2026, 12, 7), QTime(hour, minute)));
    auto* window = new MainWindow(s.context);
    window->show();
    window->load();
    return window;
}

// The rows of the missed-reminders window (date, time, content), or none when none is open.
QList<QStringList> missedShown(MainWindow* window)
{
    QList<QStringList> rows;
    auto* list = window->findChild<QTableWidget*>(QStringLiteral("List"));
    if (!list || !list->window()->isVisible()) {
        return rows;
    }
    for (int row = 0; row < list->rowCount(); ++row) {
        rows << QStringList{list->item(row, 0)->text(), list->item(row, 1)->text(),
                            list->item(row, 2)->text()};
    }
    return rows;
}

QStringList played(const QString& music)
{
    return {QStringLiteral("file ") + music, QStringLiteral("open"), QStringLiteral("play")};
}

} // namespace

class TestAlarm final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Which reminder is due when is checked on the records module.
    void firesOnlyInTheReminderMinute()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-7", "9时5分", "给王先生发货", "/music/a.mp3");
        {
            Alarm late(s);
            late.tickAt(9, 6, 0);
            QVERIFY(!late.popupShown());
        }
        Alarm alarm(s);
        alarm.tickAt(9, 4, 59);
        QVERIFY(!alarm.popupShown());
        QVERIFY(s.player.commands.isEmpty());
        alarm.tickAt(9, 5, 0);
        QVERIFY(alarm.popupShown());
        QCOMPARE(alarm.check.popup()->objectName(), QStringLiteral("Form6"));
        QCOMPARE(alarm.check.popup()->windowTitle(), QStringLiteral("Form6"));
        QCOMPARE(alarm.shown(), QStringLiteral("给王先生发货"));
        QCOMPARE(s.player.commands, played(QStringLiteral("/music/a.mp3")));
        QVERIFY(!alarm.countdown()->isActive());
        khgl::test::grabTo(alarm.check.popup(), QStringLiteral("alarm_popup"));
    }

    void sameTimeShowsTheFirstAndAnOpenPopupOnlyComesForward()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-7", "9时5分", "第一条", "/music/1.mp3");
        s.addReminder("2026-12-7", "9时5分 ", "第二条", "/music/2.mp3");
        Alarm alarm(s);
        alarm.tickAt(9, 5, 0);
        QCOMPARE(alarm.shown(), QStringLiteral("第一条"));
        QCOMPARE(s.player.commands, played(QStringLiteral("/music/1.mp3")));
        QTRY_COMPARE(QApplication::activeWindow(), alarm.check.popup());

        // Later ticks of the same minute: no new content, no music restarted, and the keyboard
        // stays with the window the operator went back to.
        s.env.store.execute(QStringLiteral("delete from 提醒表 where 提醒内容=?"),
                            {QStringLiteral("第一条")});
        QWidget typing;
        typing.show();
        typing.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &typing);
        alarm.tickAt(9, 5, 30);
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), &typing);
        QVERIFY(alarm.popupShown());
        QCOMPARE(alarm.shown(), QStringLiteral("第一条"));
        QCOMPARE(s.player.commands.size(), 3);

        // Closed without a stop: the music plays on, and the next tick of the minute shows it
        // again with what is due now.
        alarm.check.popup()->close();
        QVERIFY(s.player.isPlaying());
        alarm.tickAt(9, 5, 31);
        QVERIFY(alarm.popupShown());
        QCOMPARE(alarm.shown(), QStringLiteral("第二条"));
        QCOMPARE(s.player.commands.mid(3), played(QStringLiteral("/music/2.mp3")));
    }

    void reminderWithoutMusicStillShows()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-7", "0时0分", "零点");
        Alarm alarm(s);
        alarm.tickAt(0, 0, 0);
        QVERIFY(alarm.popupShown());
        QCOMPARE(alarm.shown(), QStringLiteral("零点"));
        QVERIFY(s.player.commands.isEmpty());
    }

    void stopSuspendsTheCheckForSixtyTwoTicks()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-7", "9时5分", "发货", "/music/a.mp3");
        s.addReminder("2026-12-7", "9时6分", "打电话", "/music/b.mp3");
        Alarm alarm(s);
        alarm.tickAt(9, 5, 0);
        s.env.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 20)));
        alarm.stopMusic();
        QCOMPARE(s.player.commands.last(), QStringLiteral("close"));
        QVERIFY(!alarm.timer.isActive());
        QVERIFY(alarm.popupShown()); // the operator closes it
        QVERIFY(alarm.countdown()->isActive());
        QCOMPARE(alarm.countdown()->interval(), 1000);

        // Closing the popup does not lose the countdown: the check still comes back.
        alarm.check.popup()->close();
        for (int tick = 1; tick < 62; ++tick) {
            alarm.check.popup()->countdownTick();
        }
        QVERIFY(!alarm.timer.isActive());
        alarm.check.popup()->countdownTick();
        QVERIFY(alarm.timer.isActive());
        QCOMPARE(alarm.timer.interval(), 1000);
        QVERIFY(!alarm.countdown()->isActive());

        // Ticks after the resume change nothing; the counter never runs on.
        alarm.timer.stop();
        for (int tick = 0; tick < 40000; ++tick) {
            alarm.check.popup()->countdownTick();
        }
        QCOMPARE(alarm.check.popup()->countdownTicks(), 62);
        QVERIFY(!alarm.timer.isActive());
        alarm.timer.start(1000);

        // 09:06:22: the stopped minute is over; 9时6分 is still the current minute.
        const int before = static_cast<int>(s.player.commands.size());
        alarm.tickAt(9, 6, 22);
        QVERIFY(alarm.popupShown());
        QCOMPARE(alarm.shown(), QStringLiteral("打电话"));
        QCOMPARE(s.player.commands.mid(before), played(QStringLiteral("/music/b.mp3")));

        // A second stop suspends the check again, counting from 0.
        alarm.stopMusic();
        QVERIFY(!alarm.timer.isActive());
        QCOMPARE(alarm.check.popup()->countdownTicks(), qint16(0));
        QVERIFY(alarm.countdown()->isActive());
    }

    void aFailingStoreIsSilent()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-7", "9时5分", "发货");
        Alarm alarm(s);
        QVERIFY(QFile::remove(s.env.databasePath()));
        alarm.tickAt(9, 5, 0);
        alarm.tickAt(9, 5, 1);
        QVERIFY(!alarm.popupShown());
        QVERIFY(s.env.dialogs.messages.empty());
        QVERIFY(alarm.timer.isActive());
    }

    void mainWindowTimerRaisesTheAlarm()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-7", "9时30分", "主窗口的提醒", "/music/m.mp3");
        auto* window = new MainWindow(s.context);
        window->show();
        window->load();
        QVERIFY(window->timer1()->isActive());
        QCOMPARE(window->timer1()->interval(), 1000);
        const auto findPopup = [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->objectName() == QStringLiteral("Form6") && widget->isVisible()) {
                    return widget;
                }
            }
            return static_cast<QWidget*>(nullptr);
        };
        QTRY_VERIFY_WITH_TIMEOUT(findPopup() != nullptr, 3000);
        QCOMPARE(findPopup()->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("主窗口的提醒"));
        QCOMPARE(s.player.commands, played(QStringLiteral("/music/m.mp3")));
        // Closing the main window takes the popup with it.
        window->close();
        QTRY_VERIFY(findPopup() == nullptr);
    }

    void remindersMissedWhileClosedAreListedOnce()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-7", "9时0分", "关闭前已经响过");
        s.addReminder("2026-12-7", "9时30分", "九点半");
        s.addReminder("2026-12-07", "10时59分 ", "前导零的日期");
        s.addReminder("2026-12-7", "11时30分", "还没到");
        s.addReminder("2026-12-6", "10时0分", "昨天的");
        s.addReminder("不是日期", "10时0分", "读不出日期");

        // The first start on a folder knows no last run and lists nothing.
        QPointer<MainWindow> window = loginAt(s, 9, 0);
        QVERIFY(missedShown(window).isEmpty());
        window->close();
        QTRY_VERIFY(window.isNull());

        window = loginAt(s, 11, 0);
        QCOMPARE(missedShown(window),
                 QList<QStringList>({{QStringLiteral("2026-12-7"), QStringLiteral("9时30分"),
                                      QStringLiteral("九点半")},
                                     {QStringLiteral("2026-12-7"), QStringLiteral("10时59分 "),
                                      QStringLiteral("前导零的日期")}}));
        khgl::test::grabTo(window->findChild<QWidget*>(QStringLiteral("MissedReminders")),
                           QStringLiteral("missed_reminders"));
        khgl::test::click(window->findChild<QPushButton*>(QStringLiteral("DismissAll")));
        QTRY_VERIFY(window->findChild<QWidget*>(QStringLiteral("MissedReminders")) == nullptr);
        window->close();
        QTRY_VERIFY(window.isNull());

        window = loginAt(s, 11, 10);
        QVERIFY(missedShown(window).isEmpty());
        // A crash after a tick at 11:20: the stamp written by the tick still counts.
        const QDateTime tick(QDate(2026, 12, 7), QTime(11, 20, 5));
        s.env.clock.set(tick);
        QTRY_COMPARE_WITH_TIMEOUT(LastRunStamp(s.env.folder()).read(), std::optional(tick), 3000);
        delete window.data();
        window = loginAt(s, 11, 40);
        QCOMPARE(missedShown(window),
                 QList<QStringList>({{QStringLiteral("2026-12-7"), QStringLiteral("11时30分"),
                                      QStringLiteral("还没到")}}));
        delete window.data();

        // A damaged stamp: the time the file was last written stands in for it.
        s.addReminder("2026-12-7", "11时45分", "坏记录之后");
        QFile stamp(LastRunStamp(s.env.folder()).path());
        QVERIFY(stamp.open(QIODevice::WriteOnly) && stamp.write("\x01?") && stamp.flush());
        QVERIFY(stamp.setFileTime(QDateTime(QDate(2026, 12, 7), QTime(11, 42)),
                                  QFileDevice::FileModificationTime));
        stamp.close();
        s.env.dialogs.clear();
        window = loginAt(s, 11, 50);
        QCOMPARE(missedShown(window),
                 QList<QStringList>({{QStringLiteral("2026-12-7"), QStringLiteral("11时45分"),
                                      QStringLiteral("坏记录之后")}}));
        QVERIFY(s.env.dialogs.messages.empty());
        delete window.data();

        // A stamp ahead of now (the clock was a year ahead): the operator is told, and the
        // reminders of the last week are listed.
        QVERIFY(LastRunStamp(s.env.folder()).write(QDateTime(QDate(2027, 12, 7), QTime(11, 0))));
        window = loginAt(s, 12, 0);
        QVERIFY2(s.env.dialogs.lastText().contains(QStringLiteral("2027-12-7 11:00")) &&
                     s.env.dialogs.lastText().contains(QStringLiteral("时钟")),
                 qPrintable(s.env.dialogs.lastText()));
        const QList<QStringList> listed = missedShown(window);
        QCOMPARE(listed.size(), 6);
        QCOMPARE(listed.front().value(2), QStringLiteral("昨天的"));
        QCOMPARE(LastRunStamp(s.env.folder()).read(),
                 std::optional(QDateTime(QDate(2026, 12, 7), QTime(12, 0))));
        delete window.data();
    }

    void timeTextsReadWithOrWithoutLeadingZeros()
    {
        QCOMPARE(parseTimeText(QStringLiteral("9时5分")), std::optional(QTime(9, 5)));
        QCOMPARE(parseTimeText(QStringLiteral("09时05分 ")), std::optional(QTime(9, 5)));
        QCOMPARE(parseTimeText(QStringLiteral("23时59分")), std::optional(QTime(23, 59)));
        QVERIFY(!parseTimeText(QStringLiteral("24时0分")));
        QVERIFY(!parseTimeText(QStringLiteral("时分")));
    }

    void closingThePopupWhileTheWindowIsInTheTrayKeepsTheProgram()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-7", "9时5分", "第一次");
        s.addReminder("2026-12-7", "9时7分", "第二次");
        khgl::test::FakeTray* tray = nullptr;
        s.context.makeTray = [&tray](QObject* parent) {
            auto fake = std::make_unique<khgl::test::FakeTray>(parent);
            tray = fake.get();
            return std::unique_ptr<TrayIcon>(std::move(fake));
        };
        s.env.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 4, 0)));
        QPointer<MainWindow> window = new MainWindow(s.context);
        window->show();
        window->load();
        window->showMinimized();
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(tray && tray->isShown());

        const auto popupText = [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->objectName() == QStringLiteral("Form6") && widget->isVisible()) {
                    return widget->findChild<QLabel*>(QStringLiteral("Label1"))->text();
                }
            }
            return QString();
        };
        s.env.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 0)));
        QTRY_COMPARE_WITH_TIMEOUT(popupText(), QStringLiteral("第一次"), 3000);

        // The operator closes the popup, the last window on screen, in the running program.
        // Only this test's own exit may end the event loop.
        QTimer::singleShot(0, [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->objectName() == QStringLiteral("Form6")) {
                    widget->close();
                }
            }
        });
        QTimer::singleShot(300, [] { QCoreApplication::exit(42); });
        QCOMPARE(QApplication::exec(), 42);
        QVERIFY(window && tray->isShown());

        s.env.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 7, 0)));
        QTRY_COMPARE_WITH_TIMEOUT(popupText(), QStringLiteral("第二次"), 3000);
        window->close();
        // Gone before the services it was given, not at a later deferred delete.
        delete window;
    }
};

QTEST_MAIN(TestAlarm)
#include "test_alarm.moc"

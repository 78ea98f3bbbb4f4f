#include "platform/dialogs.h"
#include "schedule/recording_player.h"
#include "schedule/schedule_page.h"
#include "support/controls.h"
#include "support/grid_csv.h"
#include "widgets/hover.h"
#include "widgets/record_grid.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace khgl;
using khgl::test::ScheduleEnv;

namespace {

// The schedule page as the main window hosts it, opened by its navigation label.
struct PageUnderTest
{
    explicit PageUnderTest(ScheduleEnv& s, QWidget* parent = nullptr)
        : hover(s.context.pictures), env{s.context, hover, flags}, page(env, parent)
    {
        page.resize(905, 481);
        page.show();
        page.loadNormalPictures();
        page.opened();
    }

    template <typename T = QWidget> T* get(const char* name) const
    {
        T* widget = page.findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }
    RecordGrid* grid() const { return get<RecordGrid>("MS3"); }
    QStringList gridRow(int row) const
    {
        QStringList cells;
        for (int c = 1; c < 7; ++c) {
            cells << grid()->text(row, c);
        }
        return cells;
    }
    void setTime(const QString& hour, const QString& minute) const
    {
        get<QComboBox>("Combo1")->setEditText(hour);
        get<QComboBox>("Combo2")->setEditText(minute);
    }
    void type(const char* name, const QString& text) const
    {
        khgl::test::typeText(get(name), text);
    }

    HoverFlags flags;
    HoverCommands hover;
    PageEnv env;
    SchedulePage page;
};

QString repeated(int count)
{
    return QString(count, QChar(u'日'));
}

} // namespace

class TestSchedulePage final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openingListsEveryReminder()
    {
        ScheduleEnv s;
        {
            PageUnderTest p(s);
            QCOMPARE(p.grid()->rows(), 2);
            QCOMPARE(p.grid()->cols(), 7);
            QCOMPARE(p.gridRow(0),
                     QStringList({QStringLiteral("编号"), QStringLiteral("设置日期"),
                                  QStringLiteral("提醒日期"), QStringLiteral("提醒时间"),
                                  QStringLiteral("日程安排"), QStringLiteral("提醒音乐")}));
            QCOMPARE(p.gridRow(1), QStringList(6, QString()));
            QCOMPARE(p.grid()->colWidth(0), 300);
            QCOMPARE(p.grid()->colWidth(5), 3300);
        }
        s.addReminder("2026-12-7", "9时5分", "给王先生发货", "/music/a.mp3");
        s.addReminder("2025-1-1", nullptr, "盘点");
        s.addReminder("2026-12-07", "23时59分", "对账");
        PageUnderTest p(s);
        QCOMPARE(p.grid()->rows(), 4);
        QCOMPARE(p.gridRow(1),
                 QStringList({QStringLiteral("1"), QStringLiteral("2026-12-01"),
                              QStringLiteral("2026-12-7"), QStringLiteral("9时5分"),
                              QStringLiteral("给王先生发货"), QStringLiteral("/music/a.mp3")}));
        // Unset time and music leave their cells empty; 区别 is never shown.
        QCOMPARE(p.gridRow(2), QStringList({QStringLiteral("2"), QStringLiteral("2026-12-01"),
                                            QStringLiteral("2025-1-1"), QString(),
                                            QStringLiteral("盘点"), QString()}));
        QCOMPARE(p.grid()->text(3, 4), QStringLiteral("23时59分"));

        auto* hours = p.get<QComboBox>("Combo1");
        auto* minutes = p.get<QComboBox>("Combo2");
        QCOMPARE(hours->count(), 24);
        QCOMPARE(hours->itemText(23), QStringLiteral("23"));
        QCOMPARE(minutes->count(), 60);
        QCOMPARE(minutes->itemText(59), QStringLiteral("59"));
        QVERIFY(hours->currentText().isEmpty());
        QVERIFY(minutes->currentText().isEmpty());
        // Opening again lists the same rows, not twice.
        p.page.opened();
        QCOMPARE(p.grid()->rows(), 4);
        QCOMPARE(hours->count(), 24);
        khgl::test::grabTo(&p.page, QStringLiteral("schedule_page"));
    }

    void savingNumbersAndStoresTheReminder()
    {
        ScheduleEnv s;
        PageUnderTest p(s);
        p.type("Text16", QStringLiteral("2026-12-8"));
        p.setTime(QStringLiteral("9"), QStringLiteral("5"));
        p.type("Text17", QStringLiteral("给李女士寄样品"));
        QTest::keyClick(p.get("Text18"), Qt::Key_Return); // Enter in the last box saves
        QVERIFY(s.env.dialogs.messages.empty());
        const QStringList saved{
            QStringLiteral("1"),      QStringLiteral("2026-12-07"),     QStringLiteral("2026-12-8"),
            QStringLiteral("9时5分"), QStringLiteral("给李女士寄样品"), QString()};
        QCOMPARE(p.gridRow(1), saved);
        // What the file holds reads the same when listed again.
        p.page.opened();
        QCOMPARE(p.grid()->rows(), 2);
        QCOMPARE(p.gridRow(1), saved);
        // The boxes keep what was typed.
        QCOMPARE(p.get<QLineEdit>("Text17")->text(), QStringLiteral("给李女士寄样品"));

        // Without a full time no 提醒时间 is stored, yet the grid shows the two units.
        p.setTime(QStringLiteral("9"), QString());
        khgl::test::click(p.get("Label64"));
        QCOMPARE(s.env.rowsOnDisk(QStringLiteral("select 编号, 提醒时间 is null from 提醒表 "
                                                 "where rowid=2")),
                 QList<QStringList>({{QStringLiteral("2"), QStringLiteral("1")}}));
        QCOMPARE(p.grid()->rows(), 3);
        QCOMPARE(p.grid()->text(2, 4), QStringLiteral("9时分"));
        p.setTime(QString(), QString());
        khgl::test::click(p.get("Label64"));
        QCOMPARE(p.grid()->text(3, 4), QStringLiteral("时分"));
        QCOMPARE(p.grid()->text(3, 1), QStringLiteral("3"));
        QCOMPARE(s.env.countOnDisk(QStringLiteral("提醒表")), 3);
    }

    // 修改… (Ctrl+E, or the grid's menu) corrects the selected reminder: date, time, content and
    // music rewritten, 编号 and 设置时间 kept; the row shows the stored texts.
    void editCorrectsTheSelectedReminderInPlace()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-8", "9时5分", "寄样品", "/a.mp3");
        PageUnderTest p(s);
        p.type("Text16", QStringLiteral("2026-12-9"));
        p.type("Text17", QStringLiteral("新的"));
        khgl::test::click(p.get("Label64")); // saved by the page: row 2 names it at once
        QString hour;
        s.env.dialogs.execNext([&hour](QDialog& editor) {
            hour = editor.findChild<QComboBox*>(QStringLiteral("Combo1"))->currentText();
            editor.findChild<QLineEdit*>(QStringLiteral("Text16"))
                ->setText(QStringLiteral("2026-12-10"));
            editor.findChild<QComboBox*>(QStringLiteral("Combo2"))
                ->setEditText(QStringLiteral("30"));
            editor.findChild<QLineEdit*>(QStringLiteral("Text18"))->clear();
            khgl::test::click(editor.findChild<QWidget*>(QStringLiteral("RecordEditorSave")));
            return editor.result();
        });
        khgl::test::clickCell(p.grid(), 1, 2);
        p.page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&p.page));
        p.grid()->setFocus();
        QTest::keyClick(p.grid(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(hour, QStringLiteral("9"));
        const QString select = QStringLiteral(
            "select 编号, 设置时间, 提醒日期, 提醒时间, 提醒内容, 提醒音乐 is null from 提醒表 "
            "order by rowid");
        const auto cells = [](const char* row) { return QString::fromUtf8(row).split(u'|'); };
        const QList<QStringList> edited{cells("1|2026-12-01|2026-12-10|9时30分|寄样品|1"),
                                        cells("2|2026-12-07|2026-12-9||新的|1")};
        QCOMPARE(s.env.rowsOnDisk(select), edited);
        QCOMPARE(p.gridRow(1), cells("1|2026-12-01|2026-12-10|9时30分|寄样品|"));

        s.env.dialogs.execNext([](QDialog& editor) {
            editor.findChild<QLineEdit*>(QStringLiteral("Text17"))->setText(QStringLiteral("不要"));
            khgl::test::click(editor.findChild<QWidget*>(QStringLiteral("RecordEditorCancel")));
            return editor.result();
        });
        khgl::test::clickCell(p.grid(), 2, 2);
        p.grid()->findChild<QAction*>(QStringLiteral("editRecord"))->trigger();
        QCOMPARE(s.env.dialogs.execCount, 2);
        QCOMPARE(s.env.rowsOnDisk(select), edited);
    }

    void numberFollowsTheRowCount()
    {
        ScheduleEnv s;
        for (int i = 0; i < 3; ++i) {
            s.addReminder("2026-1-1", nullptr, "旧");
        }
        PageUnderTest p(s);
        p.type("Text16", QStringLiteral("2026-12-9"));
        // Quotes and SQL in the content are plain text.
        p.type("Text17", QStringLiteral("O'Brien'); delete from 提醒表;--"));
        khgl::test::click(p.get("Label64"));
        QCOMPARE(p.grid()->rows(), 5);
        QCOMPARE(p.grid()->text(4, 1), QStringLiteral("4"));
    }

    void saveRefusesEmptyDateOrContent()
    {
        ScheduleEnv s;
        PageUnderTest p(s);
        p.type("Text17", QStringLiteral("内容"));
        khgl::test::click(p.get("Label64"));
        p.get<QLineEdit>("Text17")->clear();
        p.type("Text16", QStringLiteral("2026-12-8"));
        p.type("Text17", QStringLiteral("   "));
        khgl::test::click(p.get("Label64"));
        QCOMPARE(s.env.dialogs.texts(),
                 QStringList(2, QStringLiteral("提醒内容和提醒日期不能为空。")));
        QCOMPARE(s.env.dialogs.messages[0].title, QStringLiteral("提示"));
        QCOMPARE(s.env.dialogs.messages[0].icon, Dialogs::Icon::Information);
        QCOMPARE(s.env.countOnDisk(QStringLiteral("提醒表")), 0);
        QCOMPARE(p.gridRow(1), QStringList(6, QString()));
    }

    void saveGivesTheAlarmBackWhenTodayHasReminders()
    {
        ScheduleEnv s;
        QWidget mainWindow;
        auto* timer = new QTimer(&mainWindow);
        timer->setObjectName(QStringLiteral("Timer1"));
        PageUnderTest p(s, &mainWindow);
        p.type("Text16", QStringLiteral("2026-12-8"));
        p.type("Text17", QStringLiteral("明天的事"));
        khgl::test::click(p.get("Label64"));
        QVERIFY(!timer->isActive()); // no reminder for today yet

        s.addReminder("2026-12-7", "10时0分", "今天");
        khgl::test::click(p.get("Label64"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);
    }

    void contentBoxEmptiesAtTheFortyNinthCharacter()
    {
        ScheduleEnv s;
        PageUnderTest p(s);
        auto* content = p.get<QLineEdit>("Text17");
        p.type("Text17", repeated(48));
        QCOMPARE(content->text().length(), 48);
        p.type("Text17", QStringLiteral("满"));
        QVERIFY(content->text().isEmpty());
        // A long text arriving in one change stays.
        content->setText(repeated(60));
        QCOMPARE(content->text().length(), 60);
        // The keys that open an aid in a date box are no click here: the text stays.
        content->setFocus();
        QTest::keyClick(content, Qt::Key_F4);
        QTest::keyClick(content, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(content->text().length(), 60);
        khgl::test::click(content);
        QVERIFY(content->text().isEmpty());
    }

    void musicDialogOpensInAFolderWithAnEmptyName()
    {
        // A desktop folder that does not exist is no file name to fill in: the dialog opens in
        // the nearest folder that does, and the name box stays empty.
        QTemporaryDir home;
        QtDialogs dialogs;
        for (const QString& start : {home.path(), home.filePath(QStringLiteral("Desktop"))}) {
            QString folder;
            QString typedName = QStringLiteral("unset");
            QTimer watcher;
            watcher.setInterval(20);
            QObject::connect(&watcher, &QTimer::timeout, &watcher, [&] {
                if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                    folder = dialog->directory().absolutePath();
                    typedName =
                        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                    dialog->reject();
                }
            });
            watcher.start();
            QVERIFY(
                dialogs.openFile(nullptr, QString(), QStringLiteral("MP3音乐(*.mp3)|*.mp3"), start)
                    .isEmpty());
            QCOMPARE(folder, home.path());
            QCOMPARE(typedName, QString());
        }
    }

    void musicIsChosenPreviewedAndConfirmed()
    {
        ScheduleEnv s;
        PageUnderTest p(s);
        auto* music = p.get<QLineEdit>("Text18");
        const QString path = s.env.folder() + QStringLiteral("/提醒.mp3");
        s.env.dialogs.fileNext(path);
        khgl::test::click(music);
        QCOMPARE(s.env.dialogs.fileRequests.size(), size_t(1));
        QCOMPARE(s.env.dialogs.fileRequests[0].filter,
                 QStringLiteral("MP3音乐(*.mp3)|*.mp3|wave声音(*.wav)|*.wav"));
        QCOMPARE(s.env.dialogs.fileRequests[0].startFolder,
                 QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
        QCOMPARE(music->text(), path);
        QCOMPARE(s.player.commands, QStringList({QStringLiteral("file ") + path,
                                                 QStringLiteral("open"), QStringLiteral("play")}));
        QVERIFY(s.player.isPlaying());

        // A cancelled dialog keeps the file chosen before and does not restart it.
        khgl::test::click(music);
        QCOMPARE(music->text(), path);
        QCOMPARE(s.player.commands.size(), 3);

        p.type("Text16", QStringLiteral("2026-12-25"));
        p.type("Text17", QStringLiteral("圣诞促销"));
        p.setTime(QStringLiteral("8"), QStringLiteral("30"));
        khgl::test::click(p.get("Label63"));
        QVERIFY(!s.player.isPlaying());
        QCOMPARE(s.player.commands.mid(3),
                 QStringList({QStringLiteral("stop"), QStringLiteral("close")}));
        QCOMPARE(p.get<QLabel>("Label6")->text(),
                 QStringLiteral("提醒日期为：2026-12-25日，8时30分，提醒音乐为：") + path);
        QCOMPARE(s.env.countOnDisk(QStringLiteral("提醒表")), 0);

        khgl::test::click(p.get("Label64"));
        QCOMPARE(s.env.rowsOnDisk(QStringLiteral("select 提醒音乐 from 提醒表")),
                 QList<QStringList>({{path}}));
        QCOMPARE(p.grid()->text(1, 6), path);
    }

    // Today's list holds the reminders dated today in any form of the day.
    void todayListShowsTodaysReminders()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-6", nullptr, "昨天");
        PageUnderTest p(s);
        khgl::test::click(p.get("Label65"));
        QCOMPARE(s.env.dialogs.texts(), QStringList({QStringLiteral("你还未设置今日日程。")}));
        QCOMPARE(s.env.dialogs.messages[0].title, QStringLiteral("提示"));
        QCOMPARE(p.grid()->rows(), 2); // untouched

        s.addReminder("2026-12-07", nullptr, "前导零");
        s.addReminder("2026-12-7", "9时0分", "今天一");
        s.addReminder("2026-12-7 ", nullptr, "今天二");
        khgl::test::click(p.get("Label65"));
        QCOMPARE(s.env.dialogs.messages.size(), size_t(1));
        QCOMPARE(p.grid()->rows(), 4);
        QCOMPARE(p.grid()->text(1, 5), QStringLiteral("前导零"));
        QCOMPARE(p.grid()->text(2, 5), QStringLiteral("今天一"));
        QCOMPARE(p.grid()->text(3, 5), QStringLiteral("今天二"));
    }

    void dateBoxOpensTheCalendarWithItsCode()
    {
        ScheduleEnv s;
        PageUnderTest p(s);
        auto* date = p.get<QLineEdit>("Text16");
        khgl::test::click(date);
        QCOMPARE(s.env.inputAids.calendarTarget(), 5);
        s.env.inputAids.writeDate(5, QStringLiteral("2027-1-2"));
        QCOMPARE(date->text(), QStringLiteral("2027-1-2"));
    }
    // The reminder grid exported and imported into an empty shop through the menu: the same
    // rows, numbered anew from 1, setting dates kept.
    void gridImportsItsExportIntoAnEmptyShop()
    {
        ScheduleEnv s;
        s.addReminder("2026-12-7", "9时5分", "给王先生发货，\"加急\"", "/music/a.mp3");
        s.addReminder("2025-1-1", nullptr, "=盘点");
        PageUnderTest p(s);
        ScheduleEnv shop;
        PageUnderTest q(shop);
        khgl::test::exportAndImport(s.env, *p.grid(), shop.env, *q.grid());
        QCOMPARE(shop.env.dialogs.texts(), QStringList{QStringLiteral("已导入 2 条记录。")});
        QCOMPARE(q.grid()->rows(), 3);
        for (int row = 1; row <= 2; ++row) {
            QCOMPARE(q.gridRow(row), p.gridRow(row));
        }
    }
};

QTEST_MAIN(TestSchedulePage)
#include "test_schedule_page.moc"

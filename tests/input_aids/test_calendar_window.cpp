#include "input_aids/input_aids.h"
#include "support/env.h"
#include "widgets/click_widgets.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace khgl;
using khgl::test::TestEnv;

class TestCalendarWindow final : public QObject
{
    Q_OBJECT

private:
    static QWidget* openAt(TestEnv& env, qint16 code, QPoint where = {200, 150})
    {
        env.inputAids.showCalendar(code, where);
        QWidget* window = env.inputAids.calendarWindow();
        return window;
    }
    static ClickLabel* cell(QWidget* window, int index)
    {
        return window->findChild<ClickLabel*>(QStringLiteral("Label3_%1").arg(index));
    }
    static QColor background(QWidget* window, int index)
    {
        return cell(window, index)->palette().color(QPalette::Window);
    }
    static QColor textColour(QWidget* window, int index)
    {
        return cell(window, index)->palette().color(QPalette::WindowText);
    }
    static QList<int> blueCells(QWidget* window)
    {
        QList<int> blue;
        for (int i = 0; i < 42; ++i) {
            if (background(window, i) == QColor(0, 0, 255)) {
                blue << i;
            }
        }
        return blue;
    }
    static QString caption(QWidget* window)
    {
        return window->findChild<QLabel*>(QStringLiteral("Label1"))->text();
    }
    static void step(QWidget* window, const char* button, int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            test::click(window->findChild<QPushButton*>(QString::fromLatin1(button)));
        }
    }
    // The cell showing a day of the shown month (normal text colour).
    static ClickLabel* dayCell(QWidget* window, int day)
    {
        for (int i = 0; i < 42; ++i) {
            if (cell(window, i)->text() == QString::number(day) &&
                textColour(window, i) != QColor(255, 255, 0)) {
                return cell(window, i);
            }
        }
        return nullptr;
    }

private Q_SLOTS:
    void openingLaysOutTodaysMonthAndMarksToday()
    {
        TestEnv env;
        env.clock.setDate(QDate(2026, 2, 10));
        QWidget* window = openAt(env, 1);
        QVERIFY(window->isVisible());
        QCOMPARE(window->objectName(), QStringLiteral("Form1"));
        QCOMPARE(window->windowTitle(), QStringLiteral(" 当前日期 2026\\2\\10"));
        QCOMPARE(caption(window), QStringLiteral("2026 年 2月"));
        QLabel* header = window->findChild<QLabel*>(QStringLiteral("Label2"));
        QCOMPARE(header->text(), QStringLiteral(" 日  一  二 三  四 五  六"));
        // Each weekday stands over its column: the header spans Sunday's to Saturday's cells.
        QCOMPARE(header->x(), cell(window, 0)->x());
        QCOMPARE(header->geometry().right(), cell(window, 6)->geometry().right());
        for (int i = 0; i < 28; ++i) {
            QCOMPARE(cell(window, i)->text(), QString::number(i + 1));
        }
        for (int i = 28; i < 42; ++i) {
            QCOMPARE(cell(window, i)->text(), QString());
        }
        QCOMPARE(blueCells(window), QList<int>{9});
        test::grabTo(window, QStringLiteral("calendar_2026_02"));

        // March 2024: the last days of a 29-day February in yellow before the 1st.
        env.inputAids.closeCalendar();
        env.clock.setDate(QDate(2024, 3, 20));
        window = openAt(env, 1);
        QCOMPARE(caption(window), QStringLiteral("2024 年 3月"));
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(cell(window, i)->text(), QString::number(25 + i));
            QCOMPARE(textColour(window, i), QColor(255, 255, 0));
        }
        QVERIFY(textColour(window, 5) != QColor(255, 255, 0));
        QCOMPARE(background(window, 0), QColor(255, 255, 255));
        QCOMPARE(blueCells(window), QList<int>{24});
        test::grabTo(window, QStringLiteral("calendar_2024_03"));
    }

    void steppingMonthsAcrossYearEndsKeepsTodaysDayNumber()
    {
        TestEnv env;
        env.clock.setDate(QDate(2026, 12, 31));
        QWidget* window = openAt(env, 1);
        QCOMPARE(blueCells(window), QList<int>{32});
        step(window, "Command1");
        QCOMPARE(caption(window), QStringLiteral("2027 年 1月"));
        QCOMPARE(blueCells(window), QList<int>{35}); // 31 January 2027, a Sunday
        step(window, "Command2");
        QCOMPARE(caption(window), QStringLiteral("2026 年 12月"));
        // November has no 31st: nothing is marked; October has it again.
        step(window, "Command2");
        QCOMPARE(caption(window), QStringLiteral("2026 年 11月"));
        QVERIFY(blueCells(window).isEmpty());
        step(window, "Command2");
        QCOMPARE(caption(window), QStringLiteral("2026 年 10月"));
        QCOMPARE(blueCells(window), QList<int>{34});
        QCOMPARE(window->windowTitle(), QStringLiteral(" 当前日期 2026\\12\\31"));

        // From March 2025 back to February 2025: its 1st on a Saturday, 28 in cell 33.
        env.inputAids.closeCalendar();
        env.clock.setDate(QDate(2025, 3, 3));
        window = openAt(env, 1);
        step(window, "Command2");
        QCOMPARE(cell(window, 6)->text(), QStringLiteral("1"));
        QCOMPARE(cell(window, 33)->text(), QStringLiteral("28"));
        QCOMPARE(blueCells(window), QList<int>{8});

        // A click marks only the clicked cell, today's mark included.
        test::click(cell(window, 20));
        QCOMPARE(blueCells(window), QList<int>{20});

        // The last year a date text can name is as far as the picker steps.
        env.inputAids.closeCalendar();
        env.clock.setDate(QDate(9999, 12, 1));
        window = openAt(env, 1);
        step(window, "Command1");
        QCOMPARE(caption(window), QStringLiteral("9999 年 12月"));
    }

    void everyTargetCodeWritesIntoItsOwnBox()
    {
        TestEnv env;
        QWidget host;
        std::vector<QLineEdit*> boxes;
        for (qint16 code = 1; code <= 11; ++code) {
            boxes.push_back(new QLineEdit(&host));
            env.inputAids.registerDateBox(code, boxes.back());
        }
        for (qint16 code = 1; code <= 11; ++code) {
            QSignalSpy changes(boxes[static_cast<size_t>(code - 1)], &QLineEdit::textChanged);
            QWidget* window = openAt(env, code);
            // Two months ahead of December 2026, the 15th is that month's 15th.
            step(window, "Command1", 2);
            QCOMPARE(caption(window), QStringLiteral("2027 年 2月"));
            test::doubleClick(dayCell(window, 15));
            QVERIFY(!window->isVisible());
            QCOMPARE(changes.count(), 1);
            for (qint16 other = 1; other <= 11; ++other) {
                QCOMPARE(boxes[static_cast<size_t>(other - 1)]->text(),
                         other <= code ? QStringLiteral("2027-2-15") : QString());
            }
        }
        // An unknown code writes nothing and still closes the picker.
        for (QLineEdit* box : boxes) {
            box->clear();
        }
        QWidget* window = openAt(env, 12);
        test::doubleClick(dayCell(window, 7));
        QVERIFY(!window->isVisible());
        for (QLineEdit* box : boxes) {
            QCOMPARE(box->text(), QString());
        }
    }

    // Opened, the picker has the keyboard: arrows move the mark, Page Down shows the next
    // month (marking today's day number), Enter writes the marked date, Esc closes.
    void keysDriveThePicker()
    {
        TestEnv env;
        QLineEdit box;
        env.inputAids.registerDateBox(1, &box);
        QWidget* window = openAt(env, 1);
        QVERIFY(QTest::qWaitForWindowActive(window));
        const auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
        key(Qt::Key_PageDown); // January 2027, the 7th marked
        QCOMPARE(caption(window), QStringLiteral("2027 年 1月"));
        key(Qt::Key_Right);
        key(Qt::Key_Down);
        key(Qt::Key_Down);
        key(Qt::Key_Up);
        key(Qt::Key_Return);
        QCOMPARE(box.text(), QStringLiteral("2027-1-15"));
        QVERIFY(!window->isVisible());

        window = openAt(env, 1);
        QVERIFY(QTest::qWaitForWindowActive(window));
        key(Qt::Key_PageUp);
        key(Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        QCOMPARE(box.text(), QStringLiteral("2027-1-15"));
    }

    void showingAgainWhileOpenOnlyMovesAndRetargets()
    {
        TestEnv env;
        QWidget host;
        auto* first = new QLineEdit(&host);
        auto* second = new QLineEdit(&host);
        env.inputAids.registerDateBox(4, first);
        env.inputAids.registerDateBox(5, second);
        host.resize(400, 300);
        first->setGeometry(10, 10, 120, 24);
        second->setGeometry(200, 100, 120, 24);
        host.show();

        env.inputAids.showCalendarBelow(4, first);
        QWidget* window = env.inputAids.calendarWindow();
        QCOMPARE(window->pos(), first->mapToGlobal(QPoint(0, 24)));
        step(window, "Command1");
        test::click(cell(window, 10));
        env.inputAids.showCalendarBelow(5, second, 500);
        QCOMPARE(window->pos(), second->mapToGlobal(QPoint(0, 57))); // 24 high, 500 twips gap
        QCOMPARE(env.inputAids.calendarTarget(), 5);
        QCOMPARE(caption(window), QStringLiteral("2027 年 1月"));
        QCOMPARE(blueCells(window), QList<int>{10});
        test::doubleClick(dayCell(window, 3));
        QCOMPARE(first->text(), QString());
        QCOMPARE(second->text(), QStringLiteral("2027-1-3"));

        // Closed without a choice writes nothing; the next opening starts from today.
        env.inputAids.showCalendar(4, {0, 0});
        step(window, "Command2", 3);
        window->close();
        QVERIFY(!env.inputAids.isCalendarOpen());
        QCOMPARE(first->text(), QString());
        env.inputAids.showCalendar(4, {0, 0});
        QCOMPARE(caption(window), QStringLiteral("2026 年 12月"));
        QCOMPARE(blueCells(window), QList<int>{8});
    }

    void blankAndNeighbouringCellsNeverWriteAWrongDate()
    {
        TestEnv env;
        QLineEdit box;
        env.inputAids.registerDateBox(1, &box);
        // December 2026 starts on a Tuesday and ends in row 5; row 6 is blank.
        QWidget* window = openAt(env, 1);
        test::doubleClick(cell(window, 38));
        QCOMPARE(box.text(), QString());
        QVERIFY(window->isVisible());

        test::doubleClick(cell(window, 0));
        QCOMPARE(box.text(), QStringLiteral("2026-11-29"));
        QVERIFY(!window->isVisible());

        window = openAt(env, 1);
        test::doubleClick(cell(window, 33));
        QCOMPARE(box.text(), QStringLiteral("2027-1-1"));

        // Before year 1 there is no date to write.
        env.clock.setDate(QDate(1, 1, 5));
        box.clear();
        window = openAt(env, 1);
        step(window, "Command2");
        QCOMPARE(caption(window), QStringLiteral("1 年 1月"));
        test::doubleClick(cell(window, 0));
        QCOMPARE(box.text(), QString());
        QVERIFY(window->isVisible());
    }

    void aModalWindowDoesNotBlockItsOwnPicker()
    {
        TestEnv env;
        QDialog dialog;
        dialog.setWindowModality(Qt::ApplicationModal);
        auto* box = new QLineEdit(&dialog);
        env.inputAids.registerDateBox(11, box);
        dialog.show();
        env.inputAids.showCalendarBelow(11, box, 400);
        // Through the window system, where modality is enforced.
        QWidget* picker = env.inputAids.calendarWindow();
        QVERIFY(QTest::qWaitForWindowExposed(picker));
        ClickLabel* ninth = dayCell(picker, 9);
        const QPoint at = ninth->mapTo(picker, ninth->rect().center());
        QTest::mouseClick(picker->windowHandle(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(picker->windowHandle(), Qt::LeftButton, {}, at);
        QCOMPARE(box->text(), QStringLiteral("2026-12-9"));

        // The picker goes with the window it served; the next caller gets a new one.
        dialog.close();
        QWidget other;
        auto* otherBox = new QLineEdit(&other);
        env.inputAids.registerDateBox(1, otherBox);
        other.show();
        env.inputAids.showCalendarBelow(1, box, 0);
        env.inputAids.showCalendarBelow(1, otherBox, 0);
        QWidget* window = env.inputAids.calendarWindow();
        QVERIFY(window->isVisible());
        test::doubleClick(dayCell(window, 10));
        QCOMPARE(otherBox->text(), QStringLiteral("2026-12-10"));
    }

    void aBoxThatReopensThePickerOnChangeStillGetsItClosed()
    {
        // The customer entry window's purchase date box shows the picker on every change.
        TestEnv env;
        QWidget host;
        auto* box = new QLineEdit(&host);
        host.show();
        env.inputAids.registerDateBox(6, box);
        connect(box, &QLineEdit::textChanged, box,
                [&env, box] { env.inputAids.showCalendarBelow(6, box, 500); });
        env.inputAids.showCalendarBelow(6, box, 500);
        QWidget* window = env.inputAids.calendarWindow();
        test::doubleClick(dayCell(window, 25));
        QCOMPARE(box->text(), QStringLiteral("2026-12-25"));
        QVERIFY(!env.inputAids.isCalendarOpen());
    }
};

QTEST_MAIN(TestCalendarWindow)
#include "test_calendar_window.moc"

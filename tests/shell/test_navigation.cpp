#include "input_aids/input_aids.h"
#include "platform/pictures.h"
#include "shell/main_window.h"
#include "shell/view_zoom.h"
#include "support/controls.h"
#include "support/env.h"
#include "widgets/hover.h"
#include "widgets/page.h"
#include "widgets/record_grid.h"
#include "widgets/screen_fit.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace khgl;
using khgl::test::child;
using khgl::test::TestEnv;

namespace {

const char* const kNavLabels[] = {"Label58", "Label17", "Label18", "Label30", "Label31",
                                  "Label32", "Label48", "Label9",  "Label10", "Label59"};
const char* const kHighlights[] = {"Image1", "Image3", "Image2", "Image4", "Image5",
                                   "Image6", "Image7", "Image8", "Image9", "Image10"};
const char* const kFrames[] = {"Frame23", "Frame1",  "Frame4",  "Frame9",  "Frame11",
                               "Frame12", "Frame13", "Frame16", "Frame15", "Frame25"};

QStringList visibleFrames(MainWindow& window)
{
    QStringList shown;
    for (const char* frame : kFrames) {
        if (child(&window, frame)->isVisibleTo(&window)) {
            shown << QString::fromLatin1(frame);
        }
    }
    return shown;
}

QStringList highlighted(MainWindow& window)
{
    QStringList shown;
    for (const char* image : kHighlights) {
        if (!child<QLabel>(&window, image)->pixmap().isNull()) {
            shown << QString::fromLatin1(image);
        }
    }
    return shown;
}

} // namespace

class TestNavigation final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void opensOnTheDesktopAndSwitchesPages()
    {
        TestEnv env;
        MainWindow window(env.context);
        window.show();
        window.load();
        QCOMPARE(visibleFrames(window), QStringList({QStringLiteral("Frame23")}));
        QCOMPARE(highlighted(window), QStringList({QStringLiteral("Image1")}));
        QVERIFY(window.timer1()->isActive());
        QCOMPARE(window.timer1()->interval(), 1000);
        QCOMPARE(child(&window, "Frame23")->geometry(), QRect(24, 128, 905, 481));

        for (int i = 0; i < 10; ++i) {
            khgl::test::click(child(&window, kNavLabels[i]));
            QCOMPARE(visibleFrames(window), QStringList({QString::fromLatin1(kFrames[i])}));
            QCOMPARE(highlighted(window), QStringList({QString::fromLatin1(kHighlights[i])}));
            QCOMPARE(child(&window, kNavLabels[i])->cursor().shape(), Qt::PointingHandCursor);
        }
        // Clicking the page already shown keeps it.
        khgl::test::click(child(&window, "Label59"));
        khgl::test::click(child(&window, "Label59"));
        QCOMPARE(visibleFrames(window), QStringList({QStringLiteral("Frame25")}));
        QCOMPARE(window.windowTitle(), QStringLiteral("进货查询"));
        khgl::test::grabTo(&window, QStringLiteral("main_window_settings"));

        // The keyboard reaches the same pages: Ctrl+1 .. Ctrl+9, and Enter or Space on a label
        // that Tab reached. Ctrl+0 is the zoom's.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // The keyboard lands in the page's first box (the page's first list where it has no
        // box, the navigation label where it has neither), not on the title bar.
        QStringList focused;
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(Qt::Key_1 + i),
                            Qt::ControlModifier);
            QCOMPARE(visibleFrames(window), QStringList({QString::fromLatin1(kFrames[i])}));
            focused << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(focused.join(u' '),
                 QStringLiteral("Label58 MS1 Text6 Text16 Text11 Text25 Text20 Label9 Label10"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(visibleFrames(window), QStringList({QStringLiteral("Frame15")}));
        QWidget* sales = child(&window, "Label32");
        QCOMPARE(sales->focusPolicy(), Qt::TabFocus);
        sales->setFocus(Qt::TabFocusReason);
        QTest::keyClick(sales, Qt::Key_Space);
        QCOMPARE(visibleFrames(window), QStringList({QStringLiteral("Frame12")}));
    }

    void settingsSubPages()
    {
        TestEnv env;
        MainWindow window(env.context);
        window.show();
        window.load();
        khgl::test::click(child(&window, "Label59"));
        auto shownSubPages = [&] {
            QStringList shown;
            for (const char* frame : {"Frame27", "Frame29", "Frame34"}) {
                if (child(&window, frame)->isVisibleTo(&window)) {
                    shown << QString::fromLatin1(frame);
                }
            }
            return shown;
        };
        QWidget* prompt = child(&window, "Label83");
        QWidget* box = child(&window, "Text32");
        QCOMPARE(shownSubPages(), QStringList({QStringLiteral("Frame29")}));
        QVERIFY(!prompt->isVisibleTo(&window) && !box->isVisibleTo(&window));
        // Left 2610, top 180, width 10575, height 6855 twips, at 15 twips a pixel.
        const QRect subPage(174, 12, 705, 457);
        QCOMPARE(child(&window, "Frame29")->geometry(), subPage);
        khgl::test::click(child(&window, "Label76"));
        QCOMPARE(shownSubPages(), QStringList({QStringLiteral("Frame34")}));
        QCOMPARE(child(&window, "Frame34")->geometry(), subPage);
        // The accounts tab only asks for the password; the backup page stays.
        khgl::test::click(child(&window, "Label74"));
        QCOMPARE(shownSubPages(), QStringList({QStringLiteral("Frame34")}));
        QVERIFY(prompt->isVisibleTo(&window) && box->isVisibleTo(&window));
        khgl::test::typeText(box, QStringLiteral("ab"));
        QCOMPARE(static_cast<QLineEdit*>(box)->displayText(), QStringLiteral("**")); // as drawn
        khgl::test::click(child(&window, "Label75"));
        QCOMPARE(shownSubPages(), QStringList({QStringLiteral("Frame29")}));
        QVERIFY(!box->isVisibleTo(&window));
        khgl::test::click(child(&window, "Label74"));
        khgl::test::click(child(&window, "Label58"));
        khgl::test::click(child(&window, "Label59"));
        QVERIFY(!box->isVisibleTo(&window));
        QCOMPARE(shownSubPages(), QStringList({QStringLiteral("Frame29")}));
    }

    void hoverFlagsAreSharedAndResetByTheFrame()
    {
        TestEnv env;
        MainWindow window(env.context);
        window.show();
        window.load();
        khgl::test::click(child(&window, "Label59"));
        auto* tabs = child(&window, "Frame26");
        auto* users = child<QLabel>(&window, "Image31");
        auto* data = child<QLabel>(&window, "Image32");
        const QImage normal = data->pixmap().toImage();
        khgl::test::hover(child(&window, "Label74"));
        const QImage hovered = users->pixmap().toImage();
        // Straight from one command to the next: both keep their hover picture.
        khgl::test::hover(child(&window, "Label75"));
        QCOMPARE(users->pixmap().toImage(), hovered);
        QCOMPARE(data->pixmap().toImage(), hovered);
        QCOMPARE(window.hoverFlags().a, qint16(1));
        QCOMPARE(window.hoverFlags().b, qint16(1));
        khgl::test::hover(tabs);
        QCOMPARE(users->pixmap().toImage(), normal);
        QCOMPARE(data->pixmap().toImage(), normal);
        QCOMPARE(window.hoverFlags().a, qint16(0));
    }

    // Every command of every page: its normal picture once its page is shown, the hover
    // picture (and its flag, where it has one) while the pointer is on it, both back when the
    // pointer crosses the frame that holds it.
    void commandsShowTheirHoverPictureAndFlag_data()
    {
        // Navigation label (+ settings tab), command, picture, Large or Small, flag (a, b, c
        // or - for none), the frame that clears it.
        // clang-format off
        const char* const rows[] = {
            "Label17 Label49 Image19 L a Frame1", "Label17 Label11 Image20 L b Frame1",
            "Label17 Label66 Image21 S - Frame18", "Label18 Label68 Image23 S - Frame4",
            "Label18 Label69 Image24 S - Frame20", "Label18 Label70 Image25 S - Frame21",
            "Label18 Label71 Image26 S - Frame22", "Label30 Label65 Image17 L - Frame9",
            "Label30 Label63 Image16 S a Frame10", "Label30 Label64 Image18 S b Frame10",
            "Label31 Label50 Image11 L a Frame11", "Label31 Label51 Image12 L b Frame11",
            "Label31 Label52 Image13 L c Frame11", "Label31 Label61 Image14 S a Frame2",
            "Label31 Label62 Image15 S b Frame2", "Label32 Label45 Image29 L a Frame12",
            "Label32 Label46 Image30 L b Frame12", "Label32 Label72 Image27 S a Frame3",
            "Label32 Label73 Image28 S b Frame3", "Label48 Label67 Image22 S - Frame14",
            "Label59 Label74 Image31 L a Frame26", "Label59 Label75 Image32 L b Frame26",
            "Label59 Label76 Image33 L c Frame26", "Label59+Label74 Label82 Image35 S a Frame28",
            "Label59+Label74 Label84 Image36 S b Frame28",
            "Label59+Label75 Label86 Image37 L - Frame31",
            "Label59+Label75 Label88 Image38 L - Frame30",
            "Label59+Label76 Label89 Image39 S a Frame35",
            "Label59+Label76 Label90 Image40 S b Frame35"};
        // clang-format on
        QTest::addColumn<QString>("row");
        for (const char* row : rows) {
            QTest::newRow(row) << QString::fromLatin1(row);
        }
    }

    void commandsShowTheirHoverPictureAndFlag()
    {
        QFETCH(QString, row);
        const QStringList cells = row.split(u' '); // page, command, picture, size, flag, frame
        TestEnv env;
        MainWindow window(env.context);
        window.show();
        window.load();
        for (const QString& label : cells[0].split(u'+')) {
            khgl::test::click(window.findChild<QWidget*>(label));
        }
        const auto shows = [&](const QString& large, const QString& small) {
            const QPixmap expected = env.context.pictures.load(cells[3] == u"L" ? large : small);
            return window.findChild<QLabel*>(cells[2])->pixmap().toImage().convertToFormat(
                       expected.toImage().format()) == expected.toImage();
        };
        const HoverFlags& f = window.hoverFlags();
        const auto flag = [&] { return cells[4] == u"a" ? f.a : cells[4] == u"b" ? f.b : f.c; };
        QVERIFY(shows(Pictures::largeNormal(), Pictures::smallNormal()));
        khgl::test::hover(window.findChild<QWidget*>(cells[1]));
        QVERIFY(shows(Pictures::largeHover(), Pictures::smallHover()));
        QCOMPARE(flag(), cells[4] == u"-" ? 0 : 1);
        khgl::test::hover(window.findChild<QWidget*>(cells[5]));
        QVERIFY(shows(Pictures::largeNormal(), Pictures::smallNormal()));
        QCOMPARE(flag(), 0);
    }

    // An aid serves one box: when the keyboard goes to another box it closes, in every window
    // that opens one; typing into a box that opens its aid while typing goes on as before.
    void anAidClosesWhenTheKeyboardGoesToAnotherBox_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("opener"); // a command of the page, or Ctrl+G
        QTest::addColumn<QString>("window"); // empty: the main window
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("calendar");
        QTest::addColumn<QString>("other");
        const auto row = [](const char* name, const char* page, const char* opener,
                            const char* window, const char* box, bool calendar, const char* other) {
            QTest::newRow(name) << QString::fromLatin1(page) << QString::fromLatin1(opener)
                                << QString::fromLatin1(window) << QString::fromLatin1(box)
                                << calendar << QString::fromLatin1(other);
        };
        row("purchase date", "Label31", "", "", "Text10", true, "Text11");
        row("purchase amount", "Label31", "", "", "Text22", false, "Text10");
        row("sales date", "Label32", "", "", "Text24", true, "Text25");
        row("sales amount", "Label32", "", "", "Text28", false, "Text27");
        row("schedule", "Label30", "", "", "Text16", true, "Text17");
        row("customer entry date", "Label17", "Label49", "Form3", "Text4", true, "Text1");
        row("customer entry amount", "Label17", "Label49", "Form3", "Text8", false, "Text4");
        row("goods query", "Label31", "Label52", "Form5", "Text1", true, "Text3");
        row("profit", "Label58", "Ctrl+G", "ProfitWindow", "ProfitFrom", true, "ProfitTo");
    }

    void anAidClosesWhenTheKeyboardGoesToAnotherBox()
    {
        QFETCH(QString, page);
        QFETCH(QString, opener);
        QFETCH(QString, window);
        QFETCH(QString, box);
        QFETCH(bool, calendar);
        QFETCH(QString, other);
        TestEnv env;
        MainWindow main(env.context);
        main.show();
        main.load();
        khgl::test::click(main.findChild<QWidget*>(page));
        if (opener == QStringLiteral("Ctrl+G")) {
            main.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&main));
            QTest::keyClick(&main, Qt::Key_G, Qt::ControlModifier);
        } else if (!opener.isEmpty()) {
            khgl::test::click(main.findChild<QWidget*>(opener));
        }
        QWidget* host = window.isEmpty() ? &main : main.findChild<QWidget*>(window);
        QVERIFY(host != nullptr && host->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(host));
        host->activateWindow();
        auto* aidBox = host->findChild<QLineEdit*>(box);
        auto* next = host->findChild<QLineEdit*>(other);
        const auto aidOpen = [&env, calendar] {
            return calendar ? env.inputAids.isCalendarOpen() : env.inputAids.isCalculatorOpen();
        };
        QVERIFY(QTest::qWaitForWindowActive(host));
        aidBox->setFocus(Qt::MouseFocusReason);
        khgl::test::click(aidBox);
        QVERIFY(aidOpen());
        // Back in the window, on the aid's own box, the aid stays; Tab to another box closes it.
        host->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(host));
        QCOMPARE(QApplication::focusWidget(), aidBox);
        QVERIFY(aidOpen());
        next->setFocus(Qt::TabFocusReason);
        QVERIFY(!aidOpen());

        // Typed keys stay in the box, whether typing opens the aid or not (the sales date box
        // takes only a whole date).
        if (box == QStringLiteral("Text24")) {
            return;
        }
        host->activateWindow();
        aidBox->clear();
        aidBox->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(aidBox, QString::fromLatin1(calendar ? "2026-3-5" : "129"));
        QCOMPARE(aidBox->text(), QString::fromLatin1(calendar ? "2026-3-5" : "129"));
        env.inputAids.closeCalendar();
        env.inputAids.closeCalculator();
    }

    // Ctrl+= / Ctrl+- / Ctrl+0 and the settings page's entry draw every window larger or
    // smaller, open ones at once and later ones too, never beyond the screen; the desk keeps it.
    void theZoomDrawsEveryWindowAndTheDeskKeepsIt()
    {
        TestEnv env;
        MainWindow main(env.context);
        screen_fit::placeOnScreen(&main);
        main.show();
        main.load();
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QCOMPARE(main.size(), QSize(960, 630));
        khgl::test::click(child(&main, "Label31")); // purchases: keys typed in a box
        auto* grid = child<RecordGrid>(&main, "MS4");
        const int column = grid->columnWidth(1);
        const QRect save = child(&main, "Label52")->geometry();
        const auto zoomKey = [](Qt::Key key) {
            QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
        };
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text11"));
        zoomKey(Qt::Key_Minus); // below 100 % there is nothing
        QCOMPARE(main.size(), QSize(960, 630));
        zoomKey(Qt::Key_Equal);
        QCOMPARE(main.size(), QSize(1200, 788));
        QCOMPARE(main.mask().boundingRect(), main.rect());
        QCOMPARE(grid->columnWidth(1), qRound(column * 1.25));
        QCOMPARE(child(&main, "Label52")->geometry().topLeft(), save.topLeft() * 1.25);
        QVERIFY(QApplication::primaryScreen()->availableGeometry().contains(main.frameGeometry()));
        QCOMPARE(view_zoom::kept(env.folder()), 125);
        QCOMPARE(child<QLineEdit>(&main, "Text11")->text(), QString()); // nothing typed

        // A window opened later is drawn at the zoom too.
        QTest::keyClick(&main, Qt::Key_G, Qt::ControlModifier);
        auto* profit = main.findChild<QWidget*>(QStringLiteral("ProfitWindow"));
        QCOMPARE(profit->size(), QSize(1200, 675));
        // 150 % does not fit 1280×1024: as large as fits, 4/3.
        profit->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(profit));
        zoomKey(Qt::Key_Equal);
        QCOMPARE(main.size(), QSize(1280, 840));
        QVERIFY(QApplication::primaryScreen()->availableGeometry().contains(main.frameGeometry()));
        // The profit window, as wide as the screen with its frame.
        QVERIFY(
            QApplication::primaryScreen()->availableGeometry().contains(profit->frameGeometry()));
        QCOMPARE(profit->frameGeometry().width(), 1280);
        QCOMPARE(view_zoom::kept(env.folder()), 150);

        // The settings page shows it and sets it; Ctrl+0 goes back to the design.
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        khgl::test::click(child(&main, "Label59"));
        auto* entry = child<QComboBox>(&main, "ZoomSetting");
        QCOMPARE(entry->currentText(), QStringLiteral("150%"));
        entry->setFocus();
        QTest::keyClick(entry, Qt::Key_Up); // an activation, as a pick from the list is
        QCOMPARE(entry->currentText(), QStringLiteral("125%"));
        QCOMPARE(main.size(), QSize(1200, 788));
        zoomKey(Qt::Key_0);
        QCOMPARE(entry->currentText(), QStringLiteral("100%"));
        QCOMPARE(main.size(), QSize(960, 630));
        QCOMPARE(grid->columnWidth(1), column);
        QCOMPARE(child(&main, "Label52")->geometry(), save);
        QCOMPARE(view_zoom::kept(env.folder()), 100);
    }

    void closingClosesTheAids()
    {
        TestEnv env;
        auto* window = new MainWindow(env.context);
        QPointer<MainWindow> alive(window);
        window->show();
        window->load();
        QLineEdit box;
        env.inputAids.registerDateBox(5, &box);
        env.inputAids.showCalendarBelow(5, &box);
        window->close();
        QVERIFY(!env.inputAids.isCalendarOpen());
        QVERIFY(!env.inputAids.isCalculatorOpen());
        QTRY_VERIFY(alive.isNull());
    }
};

QTEST_MAIN(TestNavigation)
#include "test_navigation.moc"

#include "input_aids/input_aids.h"
#include "platform/page.h"
#include "shell/main_window.h"
#include "support/env.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace khgl;
using khgl::test::TestEnv;

namespace {

const char* const kNavLabels[] = {"Label58", "Label17", "Label18", "Label30", "Label31",
                                  "Label32", "Label48", "Label9",  "Label10", "Label59"};
const char* const kHighlights[] = {"Image1", "Image3", "Image2", "Image4", "Image5",
                                   "Image6", "Image7", "Image8", "Image9", "Image10"};
const char* const kFrames[] = {"Frame23", "Frame1",  "Frame4",  "Frame9",  "Frame11",
                               "Frame12", "Frame13", "Frame16", "Frame15", "Frame25"};

template <typename T = QWidget> T* child(QWidget* window, const char* name)
{
    return window->findChild<T*>(QString::fromLatin1(name));
}

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

        // The keyboard reaches the same pages: Ctrl+1 .. Ctrl+9, Ctrl+0, and Enter or Space on
        // a label that Tab reached.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(&window, Qt::Key(Qt::Key_0 + (i + 1) % 10), Qt::ControlModifier);
            QCOMPARE(visibleFrames(window), QStringList({QString::fromLatin1(kFrames[i])}));
        }
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
        // Left 2610, top 180, width 10575, height 6855 twips.
        const QRect subPage(2610 / 15, 180 / 15, 10575 / 15, 6855 / 15);
        QCOMPARE(child(&window, "Frame29")->geometry(), subPage);
        khgl::test::click(child(&window, "Label76"));
        QCOMPARE(shownSubPages(), QStringList({QStringLiteral("Frame34")}));
        QCOMPARE(child(&window, "Frame34")->geometry(), subPage);
        // The accounts tab only asks for the password; the backup page stays.
        khgl::test::click(child(&window, "Label74"));
        QCOMPARE(shownSubPages(), QStringList({QStringLiteral("Frame34")}));
        QVERIFY(prompt->isVisibleTo(&window) && box->isVisibleTo(&window));
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
        QVERIFY(!normal.isNull());
        khgl::test::hover(child(&window, "Label74"));
        const QImage hovered = users->pixmap().toImage();
        QVERIFY(hovered != normal);
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

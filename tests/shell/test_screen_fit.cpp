#include "customers_mail/customer_entry_window.h"
#include "customers_mail/customer_page.h"
#include "input_aids/input_aids.h"
#include "shell/application.h"
#include "shell/login_window.h"
#include "shell/main_window.h"
#include "support/env.h"
#include "widgets/click_widgets.h"
#include "widgets/record_grid.h"
#include "widgets/screen_fit.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace khgl;
using khgl::test::TestEnv;

namespace {

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

bool onScreen(const QWidget* window)
{
    return available().contains(window->frameGeometry());
}

} // namespace

// A 1366×768 laptop screen at 150 %: 911×512 logical pixels, less than the main window's
// design. Every window is drawn smaller by one factor and stays wholly on the screen.
class TestScreenFit final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowsAndAidsFitTheSmallScreen()
    {
        QCOMPARE(available().size(), QSize(911, 512));
        const double k = screen_fit::factor();
        QVERIFY(qAbs(k - 512.0 / 630.0) < 0.01);

        TestEnv env;
        env.addUser(QStringLiteral("a"), QStringLiteral("1"));
        Session session(env.context);
        LoginWindow* login = session.start();
        QVERIFY(QTest::qWaitForWindowExposed(login));
        QVERIFY(onScreen(login));

        auto* main = new MainWindow(env.context);
        screen_fit::placeOnScreen(main);
        main->show();
        main->load();
        QVERIFY(QTest::qWaitForWindowExposed(main));
        QVERIFY(onScreen(main));
        // Proportions kept: the design's 960×630, the outline on the drawn size.
        QVERIFY(qAbs(main->width() - qRound(960 * k)) <= 1);
        QVERIFY(qAbs(main->height() - qRound(630 * k)) <= 1);
        QCOMPARE(main->mask().boundingRect(), main->rect());
        QWidget* close = main->findChild<QWidget*>(QStringLiteral("Image42"));
        QVERIFY(main->rect().contains(QRect(close->mapTo(main, QPoint()), close->size())));
        // Fonts shrink with the rest (the title's 17 px to 14 px).
        QVERIFY(main->findChild<QWidget*>(QStringLiteral("Label94"))
                    ->styleSheet()
                    .contains(QStringLiteral("font-size: 14px")));

        // A page keeps its place in the window and its grid its design widths.
        main->findChild<ClickLabel*>(QStringLiteral("Label17"))->click();
        Page* customers = main->currentPage();
        QVERIFY(main->rect().contains(customers->geometry()));
        auto* grid = customers->findChild<RecordGrid*>(QStringLiteral("MS1"));
        QVERIFY(qAbs(grid->colWidth(1) - 1800) <= 30); // the design's, to a pixel
        QVERIFY(qAbs(grid->columnWidth(0) - qRound(120 * k)) <= 1);

        // The customer window opens where the page puts it, over the grid, yet wholly on the
        // screen, its close button within reach.
        customers->findChild<ClickLabel*>(QStringLiteral("Label49"))->click();
        QWidget* entry = static_cast<CustomerPage*>(customers)->entryWindow();
        QVERIFY(QTest::qWaitForWindowExposed(entry));
        QVERIFY(onScreen(entry));
        // Its aids: a box near the bottom edge opens its aid above it.
        entry->hide();
        entry->move(available().left(), available().bottom() - entry->frameGeometry().height());
        entry->show();
        QVERIFY(onScreen(entry));
        for (const char* name : {"Text4", "Text8"}) {
            khgl::test::click(entry->findChild<QWidget*>(QString::fromLatin1(name)));
            QWidget* aid =
                name[4] == '4' ? env.inputAids.calendarWindow() : env.inputAids.calculatorWindow();
            QVERIFY(aid->isVisible());
            QVERIFY2(onScreen(aid), qPrintable(aid->objectName()));
        }
        const QWidget* amount = entry->findChild<QWidget*>(QStringLiteral("Text8"));
        QVERIFY(env.inputAids.calculatorWindow()->frameGeometry().bottom() <
                amount->mapToGlobal(QPoint()).y());
        env.inputAids.closeCalendar();
        env.inputAids.closeCalculator();
        entry->close();

        // The profit window (Ctrl+G), drawn by the same factor, lies wholly on the screen.
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::ControlModifier);
        auto* profit = main->findChild<QWidget*>(QStringLiteral("ProfitWindow"));
        QVERIFY(profit != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(profit));
        QVERIFY2(onScreen(profit), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                  .arg(profit->x())
                                                  .arg(profit->y())
                                                  .arg(profit->width())
                                                  .arg(profit->height())));
        // Moved off the screen and shown again, a window comes back onto it.
        profit->hide();
        profit->move(available().right() - 50, available().bottom() - 50);
        profit->show();
        QVERIFY(onScreen(profit));

        // A zoom the screen cannot hold is drawn as large as it can: the same factor.
        screen_fit::setZoom(2.0);
        QVERIFY(qAbs(screen_fit::factor() - k) < 1e-9);
        QVERIFY(onScreen(main));
        screen_fit::setZoom(1.0);
        delete main;
        delete login;
    }
};

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366,
                       "height": 768, "logicalDpi": 96, "dpr": 1}]})") < 0) {
        return 1;
    }
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    qputenv("QT_SCALE_FACTOR", "1.5");
    QApplication app(argc, argv);
    TestScreenFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_screen_fit.moc"

#include "platform/dialogs.h"
#include "platform/tray_icon.h"
#include "platform/window_outline.h"
#include "shell/application.h"
#include "shell/help_window.h"
#include "shell/login_window.h"
#include "shell/main_window.h"
#include "support/env.h"
#include "support/fake_tray.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTranslator>

using namespace khgl;
using khgl::test::FakeTray;
using khgl::test::TestEnv;

namespace {

struct Window
{
    explicit Window(TestEnv& env, bool trayAvailable = true)
    {
        env.context.makeTray = [this, trayAvailable](QObject* parent) {
            auto fake = std::make_unique<FakeTray>(parent);
            fake->available = trayAvailable;
            tray = fake.get();
            return std::unique_ptr<TrayIcon>(std::move(fake));
        };
        window = new MainWindow(env.context);
        window->setUrlOpener([this](const QUrl& url) { opened << url; });
        window->show();
        window->load();
    }
    ~Window() { delete window.data(); }

    QPointer<MainWindow> window;
    FakeTray* tray = nullptr;
    QList<QUrl> opened;
};

void drag(QWidget* window, Qt::MouseButton button, QPoint from, QPoint to)
{
    QTest::mousePress(window, button, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), window->mapToGlobal(QPointF(to)), button,
                     button, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
    QTest::mouseRelease(window, button, {}, to);
}

} // namespace

class TestWindowChrome final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void outlineHasSixteenPointsAndCutCorners()
    {
        const QPolygon outline = windowOutline(800, 600);
        QCOMPARE(outline.size(), 16);
        QCOMPARE(outline[7], QPoint(795, 0));
        QCOMPARE(outline[14], QPoint(800, 600));
        QCOMPARE(outline[0], QPoint(0, 5));

        TestEnv env;
        Window w(env);
        const QRegion mask = w.window->mask();
        QCOMPARE(w.window->size(), QSize(960, 630));
        QVERIFY(!mask.contains(QPoint(0, 0)));
        QVERIFY(!mask.contains(QPoint(959, 0)));
        QVERIFY(mask.contains(QPoint(5, 5)));
        QVERIFY(mask.contains(QPoint(480, 0)));
        QVERIFY(mask.contains(QPoint(2, 628)));
        QVERIFY(w.window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(w.window->windowTitle(), QStringLiteral("进货查询"));
    }

    void minimiseGoesToTheTrayOnce()
    {
        TestEnv env;
        Window w(env);
        QVERIFY(!w.tray->isShown());
        khgl::test::click(w.window->findChild<QWidget*>(QStringLiteral("Image41")));
        QTRY_VERIFY(!w.window->isVisible());
        QCOMPARE(w.tray->icons, 1);
        QCOMPARE(w.tray->lastTooltip, QStringLiteral("栎川电子商务管理系统"));
        QVERIFY(w.tray->lastIcon.endsWith(QStringLiteral("/叶子.ico")));
        const QString balloon =
            QStringLiteral("|栎川电子商务管理系统\r\n欢迎访问") + MainWindow::siteAddress();
        QCOMPARE(w.tray->balloons, QStringList({balloon}));

        w.tray->leftClick();
        QVERIFY(w.window->isVisible());
        QVERIFY(!w.window->isMinimized());
        QVERIFY(w.tray->isShown()); // the icon stays while the window is shown

        w.window->showMinimized();
        QTRY_VERIFY(!w.window->isVisible());
        QCOMPARE(w.tray->icons, 1);
        QCOMPARE(w.tray->balloons.size(), 2);

        w.tray->leftClick();
        w.window->close();
        QVERIFY(!w.tray->isShown());
    }

    void withoutTrayTheWindowStaysOnTheTaskBar()
    {
        TestEnv env;
        Window w(env, false);
        w.window->showMinimized();
        QVERIFY(w.window->isVisible());
        QCOMPARE(w.tray->adds, 0);
    }

    // Raised by a second start, the window is active and still normal: any button drags it.
    void draggingOnlyWhileNormal()
    {
        TestEnv env;
        env.addUser(QStringLiteral("店主"), QStringLiteral("pw"));
        Session session(env.context);
        LoginWindow* login = session.start();
        login->findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(QStringLiteral("店主"));
        khgl::test::typeText(login->findChild<QLineEdit*>(QStringLiteral("Text1")),
                             QStringLiteral("pw"));
        khgl::test::click(login->findChild<QWidget*>(QStringLiteral("Label2")));
        const std::unique_ptr<MainWindow> window(session.mainWindow());
        QVERIFY(window != nullptr);
        session.bringForward();
        QVERIFY(window->windowState().testFlag(Qt::WindowActive));
        const QPoint start = window->pos();
        drag(window.get(), Qt::LeftButton, QPoint(400, 620), QPoint(430, 640));
        QCOMPARE(window->pos(), start + QPoint(30, 20));
        drag(window.get(), Qt::RightButton, QPoint(400, 620), QPoint(390, 600));
        QCOMPARE(window->pos(), start + QPoint(20, 0));
        window->setWindowState(Qt::WindowMaximized | Qt::WindowActive);
        const QPoint maximised = window->pos();
        drag(window.get(), Qt::LeftButton, QPoint(400, 620), QPoint(480, 700));
        QCOMPARE(window->pos(), maximised);
    }

    void titleBarButtons()
    {
        TestEnv env;
        Window w(env);
        // The keyboard starts on the navigation; the title bar's buttons come last.
        QVERIFY(QTest::qWaitForWindowActive(w.window));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Label58"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Image42"));
        khgl::test::click(w.window->findChild<QWidget*>(QStringLiteral("Image43")));
        QCOMPARE(w.opened, QList<QUrl>({QUrl(MainWindow::siteAddress())}));
        khgl::test::click(w.window->findChild<QWidget*>(QStringLiteral("Image44")));
        QVERIFY(w.window->isVisible());
        QVERIFY(!w.window->findChild<HelpWindow*>());
        // F1 opens the guide, Esc closes it; the guide is the page shipped with the program.
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window));
        QTest::keyClick(w.window, Qt::Key_F1);
        QPointer<HelpWindow> help = w.window->findChild<HelpWindow*>(QStringLiteral("HelpWindow"));
        QVERIFY(help && help->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(help));
        QTest::keyClick(help, Qt::Key_Escape);
        QTRY_VERIFY(help.isNull());
        HelpWindow guide(QStringLiteral(KHGL_ASSETS_DIR "/khgl-help.html"));
        QVERIFY(guide.findChild<QTextBrowser*>()->toPlainText().contains(
            QStringLiteral("邮件服务器设置")));
        for (const char* name : {"Image41", "Image42", "Image43", "Image44"}) {
            QCOMPARE(w.window->findChild<QWidget*>(QString::fromLatin1(name))->cursor().shape(),
                     Qt::PointingHandCursor);
        }
        khgl::test::click(w.window->findChild<QWidget*>(QStringLiteral("Image42")));
        QTRY_VERIFY(w.window.isNull());
    }

    void titlesShowExactlyWhatEachWindowSets()
    {
        // The platform appends a set display name to every title (" — 栎川电子商务管理系统"),
        // which cut short boxes down to "保…"; the start-up leaves none to append.
        QGuiApplication::setApplicationDisplayName(QStringLiteral("栎川电子商务管理系统"));
        useExactWindowTitles();
        QVERIFY(QGuiApplication::applicationDisplayName().isEmpty());
    }

    // A stray Enter answers an ordinary question with 是 or 确定, and one that destroys data with
    // the safe answer.
    void enterAnswersTheDefaultButton_data()
    {
        QTest::addColumn<Dialogs::Buttons>("buttons");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::newRow("是/否") << Dialogs::Buttons::YesNo << Dialogs::Answer::Yes;
        QTest::newRow("是/否, destroys") << Dialogs::Buttons::YesNoDefaultNo << Dialogs::Answer::No;
        QTest::newRow("确定/取消") << Dialogs::Buttons::OkCancel << Dialogs::Answer::Ok;
        QTest::newRow("确定/取消, destroys")
            << Dialogs::Buttons::OkCancelDefaultCancel << Dialogs::Answer::Cancel;
    }

    void enterAnswersTheDefaultButton()
    {
        QFETCH(Dialogs::Buttons, buttons);
        QFETCH(Dialogs::Answer, answer);
        QtDialogs dialogs;
        QTimer enter;
        connect(&enter, &QTimer::timeout, this, [] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        enter.start(20);
        QCOMPARE(dialogs.message(nullptr, QStringLiteral("是否删除？"), QStringLiteral("提示"),
                                 Dialogs::Icon::Question, buttons),
                 answer);
    }

    // Qt's own boxes (商品查询, 查找客户, 找回密码, the music and restore file dialogs) speak the
    // program's language: the real dialogs, grabbed into screenshots/ for a look. The
    // program's own catalogue fills the gaps of Qt's, and file types follow Chinese.
    void qtDialogsSpeakChinese()
    {
        QVERIFY(QtDialogs::loadQtTranslations(*QCoreApplication::instance(),
                                              QStringLiteral(KHGL_APP_DIR)));
        QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Folder",
                                             "All other platforms"),
                 QStringLiteral("文件夹"));
        QCOMPARE(QFileIconProvider().type(QFileInfo(QDir::tempPath())), QStringLiteral("文件夹"));
        QTemporaryDir folder;
        QFile csv(folder.filePath(QStringLiteral("客户.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly) && csv.write("a,b\r\n") == 5);
        csv.close();
        QCOMPARE(QFileIconProvider().type(QFileInfo(csv.fileName())), QStringLiteral("CSV 文档"));
        QtDialogs dialogs;
        QStringList texts;
        QTimer answer;
        const auto collect = [&texts](QWidget* dialog, const QString& grabName) {
            for (const auto* button : dialog->findChildren<QAbstractButton*>()) {
                texts << button->text();
            }
            for (const auto* label : dialog->findChildren<QLabel*>()) {
                texts << label->text();
            }
            for (const auto* view : dialog->findChildren<QHeaderView*>()) {
                for (int c = 0; c < view->count(); ++c) {
                    texts << view->model()->headerData(c, Qt::Horizontal).toString();
                }
            }
            khgl::test::grabTo(dialog, grabName);
        };
        connect(&answer, &QTimer::timeout, this, [&] {
            if (auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                collect(input, QStringLiteral("input_dialog"));
                input->reject();
            } else if (auto* file = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                collect(file, QStringLiteral("file_dialog"));
                file->reject();
            }
        });
        answer.start(50);
        dialogs.input(nullptr, QStringLiteral("请输入要查询的商品名称："),
                      QStringLiteral("商品查询"), {});
        for (const char* text : {"确定", "取消"}) {
            QVERIFY2(texts.contains(QString::fromUtf8(text)), qPrintable(texts.join(u'|')));
        }
        texts.clear();
        dialogs.openFile(nullptr, QStringLiteral("打开"), QStringLiteral("*.dat|*.dat"),
                         QDir::tempPath());
        for (const char* text : {"打开(&O)", "取消", "查找范围：", "文件名称(&N)：", "文件类型：",
                                 "名称", "大小", "类型", "修改日期"}) {
            QVERIFY2(texts.contains(QString::fromUtf8(text)), qPrintable(texts.join(u'|')));
        }
        for (auto* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
        QLocale::setDefault(QLocale::system());
    }
};

QTEST_MAIN(TestWindowChrome)
#include "test_window_chrome.moc"

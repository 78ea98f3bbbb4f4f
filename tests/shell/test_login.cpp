#include "data_store/data_store.h"
#include "shell/application.h"
#include "shell/first_operator_dialog.h"
#include "shell/login_window.h"
#include "shell/main_window.h"
#include "support/env.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace khgl;
using khgl::test::TestEnv;

namespace {

// The login window of a fresh session, as the program shows it at start.
struct Login
{
    explicit Login(TestEnv& env)
        : window(new LoginWindow(env.context)), spy(window, &LoginWindow::loggedIn)
    {
        window->load();
        window->show();
    }
    ~Login() { delete window.data(); }

    QComboBox* name() const { return window->findChild<QComboBox*>(QStringLiteral("Combo1")); }
    QLineEdit* password() const { return window->findChild<QLineEdit*>(QStringLiteral("Text1")); }
    QCheckBox* remember() const { return window->findChild<QCheckBox*>(QStringLiteral("Check1")); }
    QWidget* widget(const char* name) const
    {
        return window->findChild<QWidget*>(QString::fromLatin1(name));
    }
    void enter(const QString& user, const QString& pass)
    {
        name()->setEditText(user);
        password()->clear();
        khgl::test::typeText(password(), pass);
    }

    QPointer<LoginWindow> window;
    QSignalSpy spy;
};

} // namespace

class TestLogin final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messagesOfLogIn()
    {
        TestEnv env;
        env.addUser(QStringLiteral("Admin"), QStringLiteral("abc"));
        env.addUser(QStringLiteral("王"), QStringLiteral(""));
        Login login(env);
        QCOMPARE(login.name()->count(), 2);
        QCOMPARE(login.name()->itemText(1), QStringLiteral("王"));
        QVERIFY(login.name()->currentText().isEmpty());

        // The keyboard starts in the name box, not on the title bar's close button; Enter there
        // goes on to the password box and logs nobody in.
        QVERIFY(QTest::qWaitForWindowActive(login.window));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab); // the close button is last
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Image2"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Admin"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(login.name()->currentText(), QStringLiteral("Admin"));
        QCOMPARE(QApplication::focusWidget(), login.password());
        QVERIFY(env.dialogs.messages.empty());
        login.name()->setEditText({});

        // Enter in an empty password box says the same as the command.
        QTest::keyClick(login.password(), Qt::Key_Return);
        khgl::test::click(login.widget("Label2"));
        QCOMPARE(env.dialogs.texts(),
                 QStringList({QStringLiteral("密码不能为空。"), QStringLiteral("密码不能为空。")}));
        QCOMPARE(env.dialogs.messages[0].title, QString());
        QCOMPARE(env.dialogs.messages[0].icon, Dialogs::Icon::None);
        env.dialogs.clear();

        login.enter(QStringLiteral("nobody"), QStringLiteral("abc"));
        khgl::test::click(login.widget("Label2"));
        login.enter(QStringLiteral("admin"), QStringLiteral("ABC"));
        khgl::test::click(login.widget("Label2"));
        // A user whose stored password is empty never gets in, and hears nothing.
        login.enter(QStringLiteral("王"), QStringLiteral("x"));
        khgl::test::click(login.widget("Label2"));
        QCOMPARE(env.dialogs.texts(),
                 QStringList({QStringLiteral("登录信息错误。"), QStringLiteral("密码错误。")}));
        QCOMPARE(login.spy.count(), 0);
        QVERIFY(login.window->isVisible());
        QCOMPARE(login.password()->text(), QStringLiteral("x")); // what was typed stays

        // The name matches in any case; the password exactly.
        login.enter(QStringLiteral("ADMIN "), QStringLiteral("abc"));
        QTest::keyClick(login.password(), Qt::Key_Return);
        QCOMPARE(login.spy.count(), 1);
        QTRY_VERIFY(login.window.isNull() || !login.window->isVisible());
        QCOMPARE(env.countOnDisk(QStringLiteral("登录表")), 0);
    }

    void duplicateNamesAreWalkedInOrder()
    {
        TestEnv env;
        env.addUser(QStringLiteral("a"), QStringLiteral("one"));
        env.addUser(QStringLiteral("A"), QStringLiteral("two"));
        Login login(env);
        login.enter(QStringLiteral("a"), QStringLiteral("two"));
        khgl::test::click(login.widget("Label2"));
        QCOMPARE(env.dialogs.texts(), QStringList({QStringLiteral("密码错误。")}));
        QCOMPARE(login.spy.count(), 1);
    }

    void rememberedLogin()
    {
        TestEnv env;
        env.addUser(QStringLiteral("Admin"), QStringLiteral("abc"));
        env.addUser(QStringLiteral("李"), QStringLiteral("密码'1"));
        {
            Login login(env);
            QVERIFY(!login.remember()->isChecked());
            khgl::test::click(login.widget("Label1")); // the caption toggles the box
            QVERIFY(login.remember()->isChecked());
            login.enter(QStringLiteral("Admin"), QStringLiteral("abc"));
            khgl::test::click(login.widget("Label2"));
        }
        {
            Login login(env);
            QCOMPARE(login.name()->currentText(), QStringLiteral("Admin"));
            QCOMPARE(login.password()->text(), QStringLiteral("abc"));
            QVERIFY(login.remember()->isChecked());
            login.enter(QStringLiteral("李"), QStringLiteral("密码'1"));
            khgl::test::click(login.widget("Label2"));
        }
        {
            Login login(env);
            QCOMPARE(login.name()->currentText(), QStringLiteral("李"));
            QCOMPARE(login.password()->text(), QStringLiteral("密码'1"));
            login.remember()->setChecked(false);
            khgl::test::click(login.widget("Label2"));
        }
        Login login(env);
        QVERIFY(login.name()->currentText().isEmpty());
        QVERIFY(login.password()->text().isEmpty());
        QVERIFY(!login.remember()->isChecked());
    }

    void passwordRecovery()
    {
        TestEnv env;
        env.addUser(QStringLiteral("Admin"), QStringLiteral("abc"), QStringLiteral("宠物？"),
                    QStringLiteral("猫"));
        env.addUser(QStringLiteral("blank"), QStringLiteral("pw"), QStringLiteral("q"), QString());
        Login login(env);
        khgl::test::click(login.widget("Label3"));
        login.name()->setEditText(QStringLiteral("nobody"));
        khgl::test::click(login.widget("Label3"));
        login.name()->setEditText(QStringLiteral("admin"));
        env.dialogs.inputNext(QStringLiteral("猫"));
        khgl::test::click(login.widget("Label3"));
        env.dialogs.inputNext(QStringLiteral("狗"));
        khgl::test::click(login.widget("Label3"));
        khgl::test::click(login.widget("Label3")); // cancelled: an empty reply
        login.name()->setEditText(QStringLiteral("blank"));
        khgl::test::click(login.widget("Label3")); // cancelled matches an empty answer
        QCOMPARE(env.dialogs.texts(),
                 QStringList({QStringLiteral("请在在用户登录处选择用户名。"),
                              QStringLiteral("用户名不存在"), QStringLiteral("密码是：abc"),
                              QStringLiteral("答案错误。"), QStringLiteral("答案错误。"),
                              QStringLiteral("密码是：pw")}));
        QCOMPARE(env.dialogs.inputs[0].prompt, QStringLiteral("请回答问题：宠物？"));
        QCOMPARE(env.dialogs.inputs[0].title, QStringLiteral("回答问题找回密码"));
        QCOMPARE(login.spy.count(), 0);
    }

    void emptyUserTableAndFirstStart()
    {
        TestEnv env(false);
        // First start: the file is created and the first operator is offered.
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        env.dialogs.execNext([](QDialog& dialog) {
            auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            dialog.findChild<QLineEdit*>(QStringLiteral("nameBox"))
                ->setText(QStringLiteral("店主"));
            if (ok->isEnabled()) {
                return int(QDialog::Accepted); // all four are required
            }
            dialog.findChild<QLineEdit*>(QStringLiteral("passwordBox"))
                ->setText(QStringLiteral("pw"));
            dialog.findChild<QLineEdit*>(QStringLiteral("questionBox"))
                ->setText(QStringLiteral("q"));
            dialog.findChild<QLineEdit*>(QStringLiteral("answerBox"))->setText(QStringLiteral("a"));
            return ok->isEnabled() ? int(QDialog::Accepted) : int(QDialog::Rejected);
        });
        QVERIFY(prepareDatabase(env.context, nullptr));
        QCOMPARE(env.dialogs.execCount, 1);
        QCOMPARE(
            env.rowsOnDisk(QStringLiteral("select 用户名,用户密码,问题,答案,区别 from 用户表")),
            QList<QStringList>({{QStringLiteral("店主"), QStringLiteral("pw"), QStringLiteral("q"),
                                 QStringLiteral("a"), QStringLiteral("1")}}));
        // A second start opens the same file and offers nothing.
        env.dialogs.clear();
        env.store.close();
        QVERIFY(prepareDatabase(env.context, nullptr));
        QVERIFY(env.dialogs.messages.empty());

        // Declining leaves the login as it always was: no names, every login refused.
        TestEnv empty(false);
        empty.dialogs.answerNext(Dialogs::Answer::No);
        QVERIFY(prepareDatabase(empty.context, nullptr));
        QCOMPARE(empty.dialogs.execCount, 0);
        empty.dialogs.clear();
        Login login(empty);
        QCOMPARE(login.name()->count(), 0);
        login.enter(QStringLiteral("x"), QStringLiteral("y"));
        khgl::test::click(login.widget("Label2"));
        QCOMPARE(empty.dialogs.texts(), QStringList({QStringLiteral("登录信息错误。")}));
    }

    void damagedFileIsReportedNotReplaced()
    {
        TestEnv env(false);
        QFile junk(env.databasePath());
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a database at all, but the shop's only copy");
        junk.close();
        QVERIFY(!prepareDatabase(env.context, nullptr));
        QCOMPARE(env.dialogs.messages.size(), size_t(1));
        QCOMPARE(env.dialogs.messages[0].icon, Dialogs::Icon::Critical);
        QVERIFY(junk.open(QIODevice::ReadOnly));
        QCOMPARE(junk.readAll(), QByteArray("not a database at all, but the shop's only copy"));
    }

    void hoverAndLook()
    {
        TestEnv env;
        env.addUser(QStringLiteral("店主"), QStringLiteral("pw"));
        Login login(env);
        auto* image = login.window->findChild<QLabel*>(QStringLiteral("Image1"));
        const QImage normal = image->pixmap().toImage();
        khgl::test::hover(login.widget("Label2"));
        QVERIFY(image->pixmap().toImage() != normal);
        khgl::test::hover(login.window);
        QCOMPARE(image->pixmap().toImage(), normal);
        // Dragging the background with any button moves the window.
        const QPoint before = login.window->pos();
        QTest::mousePress(login.window, Qt::RightButton, {}, QPoint(20, 280));
        QMouseEvent move(QEvent::MouseMove, QPointF(60, 290),
                         login.window->mapToGlobal(QPointF(60, 290)), Qt::RightButton,
                         Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(login.window, &move);
        QTest::mouseRelease(login.window, Qt::RightButton, {}, QPoint(60, 290));
        QCOMPARE(login.window->pos(), before + QPoint(40, 10));
        login.name()->setEditText(QStringLiteral("店主"));
        khgl::test::typeText(login.password(), QStringLiteral("pw"));
        khgl::test::grabTo(login.window, QStringLiteral("login_window"));
    }
};

QTEST_MAIN(TestLogin)
#include "test_login.moc"

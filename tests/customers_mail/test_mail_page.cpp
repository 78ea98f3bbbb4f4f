#include "customers_mail/mail_page.h"
#include "data_store/data_store.h"
#include "platform/mail_server_settings.h"
#include "platform/smtp_transport.h"
#include "support/controls.h"
#include "support/env.h"
#include "support/smtp_test_server.h"
#include "widgets/click_widgets.h"
#include "widgets/hover.h"
#include "widgets/record_grid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

using namespace khgl;
using namespace khgl::test;

namespace {

// A mail page on a fresh database, sending through a real libcurl transport, or through the
// recording fake when no server is needed.
struct MailFixture
{
    explicit MailFixture(
        bool realTransport = true, int connectMs = 5000, int totalMs = 10000,
        SmtpTransport::Loopback loopback = SmtpTransport::Loopback::PlainTextAllowed)
        : smtp(connectMs, totalMs, loopback), context{env.store.folder(),
                                                      env.store,
                                                      env.dialogs,
                                                      env.clock,
                                                      env.audio,
                                                      realTransport
                                                          ? static_cast<MailTransport&>(smtp)
                                                          : env.mail,
                                                      env.connectivity,
                                                      env.inputAids,
                                                      Pictures(env.folder()),
                                                      {}},
          hover(context.pictures), penv{context, hover, flags},
          page(std::make_unique<MailPage>(penv, nullptr))
    {
        page->resize(905, 481);
        page->show();
        page->loadNormalPictures();
        page->opened();
    }

    template <typename T> T* find(const char* name) const
    {
        return page->findChild<T*>(QString::fromLatin1(name));
    }
    RecordGrid* grid() const { return find<RecordGrid>("MS2"); }
    QListWidget* list() const { return find<QListWidget>("List1"); }

    void type(const char* box, const QString& text) const
    {
        auto* edit = find<QLineEdit>(box);
        edit->clear();
        typeText(edit, text);
    }

    void fillSender(const QString& password = SmtpTestServer::password()) const
    {
        type("Text13", SmtpTestServer::user());
        type("Text2", password);
        type("Text14", QStringLiteral("春季新品上架"));
        auto* body = find<QPlainTextEdit>("Text15");
        body->clear();
        typeText(body, QStringLiteral("尊敬的客户："));
        QTest::keyClick(body, Qt::Key_Return);
        typeText(body, QStringLiteral("新品已上架。"));
    }

    // Clicks 发送 and waits for the page to say how it ended.
    bool sendAndWait(int timeoutMs = 20000) const
    {
        QSignalSpy finished(page.get(), &MailPage::sendingFinished);
        click(find<ClickLabel>("Label68"));
        return QTest::qWaitFor([&finished] { return finished.count() == 1; }, timeoutMs);
    }

    TestEnv env;
    SmtpTransport smtp;
    AppContext context;
    HoverFlags flags;
    HoverCommands hover;
    PageEnv penv;
    std::unique_ptr<MailPage> page;
};

// Texts are UTF-8 literals; a null mail leaves the address empty.
void addPurchase(DataStore& store, const char* name, const char* mail, const char* date,
                 const char* product)
{
    QList<std::pair<QString, QVariant>> values{
        {QStringLiteral("客户名"), QString::fromUtf8(name)},
        {QStringLiteral("购买日期"), QString::fromUtf8(date)},
        {QStringLiteral("商品名称"), QString::fromUtf8(product)},
        {QStringLiteral("区别"), 0}}; // a seeded row, not numbered by the program
    if (mail != nullptr) {
        values.append({QStringLiteral("电子邮箱"), QString::fromUtf8(mail)});
    }
    store.insertRow(QStringLiteral("客户表"), values);
}

void addShopCustomers(DataStore& store)
{
    addPurchase(store, "张三", "zhang@example.cn", "2026-3-5", "茶叶");
    addPurchase(store, "李四", "li@example.cn", "2026-3-10", "茶叶");
    addPurchase(store, "张三", "zhang@example.cn", "2026-4-1", "茶叶");
    addPurchase(store, "王五", nullptr, "2026-3-6", "瓷器");
}

QStringList entries(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        texts << list->item(i)->text();
    }
    return texts;
}

} // namespace

class TestMailPage final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openingListsEveryCustomerOnce();
    void queriesFillTheGridOrSayNothingFound();
    void gridClicksCollectAddresses();
    void dateBoxesOpenTheCalendar();
    void commandPicturesFollowThePointer();
    void sendsOneMessagePerAddressThroughTheServer();
    void wrongPasswordIsReportedAndNothingSent();
    void failureAtSecondLeavesOnlyTheFirstDelivered();
    void silentServerEndsWithinTheTimeOutWithoutFreezing();
    void stopEndsTheRunAtOnceAndKeepsTheSentCount();
    void asksOnceBeforeSigningInInClearText();
    void serverSettingsAreKeptAndChooseTheServer();
    void checksBeforeSending();
    void closingWhileSendingStopsPromptly();
};

void TestMailPage::openingListsEveryCustomerOnce()
{
    MailFixture f(false);
    addShopCustomers(f.env.store);
    f.page->opened();
    RecordGrid* grid = f.grid();
    QCOMPARE(grid->cols(), 3);
    QCOMPARE(grid->text(0, 1), QStringLiteral("客户名"));
    QCOMPARE(grid->text(0, 2), QStringLiteral("电子邮箱"));
    QCOMPARE(grid->colWidth(0), 300);
    // A third and a half of the 330-pixel (4950-twip) grid.
    QCOMPARE(grid->colWidth(1), 1650);
    QCOMPARE(grid->colWidth(2), 2475);
    // Grouped by name and address: 张三 once although he bought twice, no trailing row.
    QCOMPARE(grid->rows(), 4);
    QVERIFY(columnTexts(grid, 1).contains(QStringLiteral("王五")));
    QCOMPARE(columnTexts(grid, 1).count(QStringLiteral("张三")), 1);
    QVERIFY(columnTexts(grid, 2).contains(QString()));
    grabTo(f.page.get(), QStringLiteral("mail_page"));
}

void TestMailPage::queriesFillTheGridOrSayNothingFound()
{
    MailFixture f(false);
    addShopCustomers(f.env.store);
    f.page->opened();
    RecordGrid* grid = f.grid();
    auto* byDate = f.find<ClickLabel>("Label69");
    auto* byProduct = f.find<ClickLabel>("Label70");
    auto* byBoth = f.find<ClickLabel>("Label71");

    // Missing input.
    f.type("Text6", QStringLiteral("2026-3-1"));
    click(byDate);
    click(byProduct);
    click(byBoth);
    QCOMPARE(f.env.dialogs.texts(),
             QStringLiteral("请完整填写查询日期。|请填写客户购买的商品的名称|请完整填写查询条件。")
                 .split(u'|'));
    for (const auto& message : f.env.dialogs.messages) {
        QCOMPARE(message.title, QStringLiteral("提示"));
        QCOMPARE(message.icon, Dialogs::Icon::Information);
    }

    // What each query finds is checked on the records module; here how the grid lists it.
    // By date: the trailing empty row.
    f.type("Text7", QStringLiteral("2026-3-31"));
    click(byDate);
    QCOMPARE(grid->rows(), 5);
    QCOMPARE(grid->text(4, 1), QString());
    QCOMPARE(grid->text(4, 2), QString());

    // By product: one row per purchase, no trailing row.
    f.type("Text8", QStringLiteral("茶叶"));
    click(byProduct);
    QCOMPARE(columnTexts(grid, 2),
             QStringLiteral("zhang@example.cn|li@example.cn|zhang@example.cn").split(u'|'));

    // Product and date: grouped, exactly the results.
    f.type("Text3", QStringLiteral("2026-3-1"));
    f.type("Text4", QStringLiteral("2026-4-30"));
    f.type("Text5", QStringLiteral("茶叶"));
    click(byBoth);
    QCOMPARE(grid->rows(), 3);
    QVERIFY(!columnTexts(grid, 1).contains(QString()));

    // Nothing found, a box without a date included: the message, and the grid keeps its list.
    f.env.dialogs.clear();
    const QStringList before = columnTexts(grid, 2);
    f.type("Text8", QStringLiteral("丝绸"));
    click(byProduct);
    f.type("Text6", QStringLiteral("不是日期"));
    click(byDate);
    f.type("Text4", QStringLiteral("2026-13-45"));
    click(byBoth);
    QCOMPARE(f.env.dialogs.texts(), QStringList(3, QStringLiteral("没有符合条件的记录。")));
    QCOMPARE(columnTexts(grid, 2), before);
}

void TestMailPage::gridClicksCollectAddresses()
{
    MailFixture f(false);
    addPurchase(f.env.store, "张三", "zhang@example.cn", "2026-3-5", "茶叶");
    addPurchase(f.env.store, "王五", nullptr, "2026-3-6", "瓷器");
    f.page->opened();
    const int zhang = f.grid()->text(1, 1) == QStringLiteral("张三") ? 1 : 2;
    const int wang = 3 - zhang;
    clickCell(f.grid(), zhang, 2);
    clickCell(f.grid(), zhang, 2);
    clickCell(f.grid(), zhang, 1); // the name column adds nothing
    clickCell(f.grid(), wang, 2);  // nor an empty address
    QCOMPARE(entries(f.list()), QStringList(2, QStringLiteral("zhang@example.cn")));

    // A double click removes the entry under the pointer.
    QListWidget* list = f.list();
    const QRect first = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(list->count(), 1);

    // The list survives reopening the page.
    f.page->opened();
    QCOMPARE(list->count(), 1);
}

void TestMailPage::dateBoxesOpenTheCalendar()
{
    MailFixture f(false);
    const std::pair<const char*, qint16> boxes[] = {
        {"Text6", 7}, {"Text7", 8}, {"Text3", 9}, {"Text4", 10}};
    for (const auto& [name, code] : boxes) {
        auto* box = f.find<ClickLineEdit>(name);
        click(box);
        QCOMPARE(f.env.inputAids.calendarTarget(), code);
        f.env.inputAids.writeDate(code, QStringLiteral("2026-3-5"));
        QCOMPARE(box->text(), QStringLiteral("2026-3-5"));
    }
    f.env.inputAids.closeCalendar();
}

void TestMailPage::commandPicturesFollowThePointer()
{
    MailFixture f(false);
    const auto shows = [&f](const char* image, const QString& picture) {
        return f.find<QLabel>(image)->pixmap().toImage() ==
               f.context.pictures.load(picture).toImage();
    };
    for (const char* label : {"Label68", "Label69", "Label70", "Label71"}) {
        hover(f.find<QWidget>(label));
    }
    // Crossing a frame brings back the normal picture of its own commands only.
    hover(f.find<QWidget>("Frame20"));
    QVERIFY(shows("Image24", Pictures::smallNormal()));
    QVERIFY(shows("Image25", Pictures::smallHover()));
    hover(f.page.get());
    QVERIFY(shows("Image23", Pictures::smallNormal()));
    // Sending resets its picture even when nothing can be sent.
    hover(f.find<QWidget>("Label68"));
    click(f.find<ClickLabel>("Label68"));
    QVERIFY(shows("Image23", Pictures::smallNormal()));
}

void TestMailPage::sendsOneMessagePerAddressThroughTheServer()
{
    SmtpTestServer server;
    QVERIFY(server.isReady());
    MailFixture f;
    addPurchase(f.env.store, "张三", "zhang@example.cn", "2026-3-5", "茶叶");
    addPurchase(f.env.store, "李四", "li@example.cn", "2026-3-6", "茶叶");
    addPurchase(f.env.store, "赵六", "zhao@example.cn", "2026-3-7", "茶叶");
    f.page->opened();
    for (int row = 1; row <= 3; ++row) {
        clickCell(f.grid(), row, 2);
    }
    clickCell(f.grid(), 1, 2); // the first address twice: still one message
    const QStringList wanted = entries(f.list());
    f.fillSender();

    QSignalSpy finished(f.page.get(), &MailPage::sendingFinished);
    click(f.find<ClickLabel>("Label68"));
    QVERIFY(!f.find<ClickLabel>("Label68")->isEnabled());
    QVERIFY(f.find<QProgressBar>("sendProgress")->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QVERIFY(f.find<ClickLabel>("Label68")->isEnabled());
    QCOMPARE(f.list()->currentRow(), 2); // the last address sent was the last one selected
    QCOMPARE(f.find<QLabel>("sendStatus")->text(),
             QStringLiteral("已发送 3 封；1 个重复地址只发一次。"));

    QCOMPARE(f.env.dialogs.texts(), QStringList{QStringLiteral("发送成功。")});
    QCOMPARE(f.env.dialogs.messages.back().title, QString());
    QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::None);

    const auto received = server.received();
    QCOMPARE(received.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject& mail = received[i];
        QCOMPARE(mail[u"to"].toString(), wanted[i]);
        QCOMPARE(mail[u"rcpt_tos"].toArray(), QJsonArray{wanted[i]});
        QCOMPARE(mail[u"from"].toString(), SmtpTestServer::user());
        QCOMPARE(mail[u"login"].toString(), SmtpTestServer::user());
        QCOMPARE(mail[u"subject"].toString(), QStringLiteral("春季新品上架"));
        QCOMPARE(mail[u"body"].toString(), QStringLiteral("尊敬的客户：\r\n新品已上架。"));
    }
}

void TestMailPage::wrongPasswordIsReportedAndNothingSent()
{
    SmtpTestServer server;
    MailFixture f;
    f.list()->addItems({QStringLiteral("a@example.cn"), QStringLiteral("b@example.cn")});
    f.fillSender(QStringLiteral("wrong"));
    QVERIFY(f.sendAndWait());
    QCOMPARE(f.env.dialogs.messages.size(), size_t{1});
    const auto& report = f.env.dialogs.messages.front();
    QCOMPARE(report.icon, Dialogs::Icon::Warning);
    QVERIFY2(report.text.contains(QStringLiteral("a@example.cn")), qPrintable(report.text));
    QVERIFY(report.text.contains(QStringLiteral("拒绝登录")));
    QVERIFY(report.text.contains(QStringLiteral("此前已发出 0 封")));
    QVERIFY(server.received().isEmpty());
}

void TestMailPage::failureAtSecondLeavesOnlyTheFirstDelivered()
{
    SmtpTestServer server(SmtpServerOptions{{QStringLiteral("b@example.cn")}, false});
    MailFixture f;
    f.list()->addItems({QStringLiteral("a@example.cn"), QStringLiteral("b@example.cn"),
                        QStringLiteral("c@example.cn")});
    f.fillSender();
    QVERIFY(f.sendAndWait());
    const auto received = server.received();
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.front()[u"to"].toString(), QStringLiteral("a@example.cn"));
    QCOMPARE(f.env.dialogs.messages.size(), size_t{1});
    const QString report = f.env.dialogs.lastText();
    QVERIFY2(report.contains(QStringLiteral("“b@example.cn”")), qPrintable(report));
    QVERIFY(report.contains(QStringLiteral("550")));
    QVERIFY(report.contains(QStringLiteral("此前已发出 1 封")));
    QVERIFY(report.contains(QStringLiteral("其后的 1 个地址没有发送")));
    QCOMPARE(f.list()->currentRow(), 1);
}

void TestMailPage::silentServerEndsWithinTheTimeOutWithoutFreezing()
{
    SmtpTestServer server(SmtpServerOptions{{}, false, {QStringLiteral("a@example.cn")}});
    MailFixture f(true, 1000, 1000);
    f.list()->addItems({QStringLiteral("a@example.cn"), QStringLiteral("b@example.cn")});
    f.fillSender();
    QSignalSpy finished(f.page.get(), &MailPage::sendingFinished);
    QElapsedTimer clock;
    clock.start();
    click(f.find<ClickLabel>("Label68"));
    // The window keeps working while the transfer waits: events are handled, and a second
    // click on 发送 starts nothing.
    QTest::qWait(300);
    QVERIFY(f.page->isSending());
    QCOMPARE(f.list()->currentRow(), 0);
    f.find<ClickLabel>("Label68")->clicked();
    grabTo(f.page.get(), QStringLiteral("mail_page_sending"));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 15000);
    // One time-out for the message in all, not one for the data and another for the QUIT.
    QVERIFY2(clock.elapsed() < 1900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(f.env.dialogs.messages.size(), size_t{1});
    QVERIFY2(f.env.dialogs.lastText().contains(QStringLiteral("没有答复")),
             qPrintable(f.env.dialogs.lastText()));
    QVERIFY(f.env.dialogs.lastText().contains(QStringLiteral("其后的 1 个地址没有发送")));
}

void TestMailPage::stopEndsTheRunAtOnceAndKeepsTheSentCount()
{
    SmtpTestServer server(SmtpServerOptions{{}, false, {QStringLiteral("b@example.cn")}});
    MailFixture f(true, 60000, 120000);
    f.list()->addItems({QStringLiteral("a@example.cn"), QStringLiteral("b@example.cn"),
                        QStringLiteral("c@example.cn")});
    f.fillSender();
    auto* stop = f.find<QPushButton>("stopSending");
    QVERIFY(!stop->isVisible());
    QSignalSpy finished(f.page.get(), &MailPage::sendingFinished);
    click(f.find<ClickLabel>("Label68"));
    QVERIFY(stop->isVisible());
    // The first is delivered; the server then sits on the second.
    QTRY_COMPARE_WITH_TIMEOUT(f.list()->currentRow(), 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(server.received().size(), 1, 20000);
    QTest::qWait(200);

    QElapsedTimer clock;
    clock.start();
    click(stop);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 1000);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!f.page->isSending());
    QVERIFY(!stop->isVisible());
    QVERIFY(f.find<ClickLabel>("Label68")->isEnabled());
    QCOMPARE(f.find<QLabel>("sendStatus")->text(),
             QStringLiteral("已停止：已发送 1 封，其余 2 封没有发送。"));
    QVERIFY(f.env.dialogs.messages.empty());

    // The page is free at once: a new run goes out while the old worker winds down.
    f.list()->clear();
    f.list()->addItem(QStringLiteral("c@example.cn"));
    QVERIFY(f.sendAndWait());
    QCOMPARE(f.env.dialogs.texts(), QStringList{QStringLiteral("发送成功。")});
    const auto received = server.received();
    QCOMPARE(received.size(), 2);
    QCOMPARE(received.back()[u"to"].toString(), QStringLiteral("c@example.cn"));
}

void TestMailPage::asksOnceBeforeSigningInInClearText()
{
    // The test server is on loopback and offers no STARTTLS; the transport is told to treat
    // it like any other server, which must offer encryption.
    SmtpTestServer server;
    MailFixture f(true, 5000, 10000, SmtpTransport::Loopback::LikeAnyServer);
    f.list()->addItems({QStringLiteral("a@example.cn"), QStringLiteral("b@example.cn")});
    f.fillSender();
    const QString question =
        QStringLiteral("邮件服务器不支持加密连接，密码将以明文发送。是否继续？");

    // No (the default): nothing goes out, the password neither.
    QVERIFY(f.sendAndWait());
    QCOMPARE(f.env.dialogs.texts(), QStringList{question});
    QCOMPARE(f.env.dialogs.messages.front().buttons, Dialogs::Buttons::YesNoDefaultNo);
    QCOMPARE(f.env.dialogs.messages.front().icon, Dialogs::Icon::Question);
    QCOMPARE(server.authAttempts(), 0);
    QVERIFY(server.received().isEmpty());
    QVERIFY(f.find<QLabel>("sendStatus")->text().contains(QStringLiteral("其余 2 封没有发送")));

    // Yes: asked once for the run, then every message goes.
    f.env.dialogs.clear();
    f.env.dialogs.answerNext(Dialogs::Answer::Yes);
    QVERIFY(f.sendAndWait());
    QCOMPARE(f.env.dialogs.texts(), (QStringList{question, QStringLiteral("发送成功。")}));
    QCOMPARE(server.received().size(), 2);
}

// The server chosen in 邮件服务器设置 is kept in the data folder (the owner's alone, the
// password only when asked) and carries the mail; a TLS choice speaks TLS from the start.
void TestMailPage::serverSettingsAreKeptAndChooseTheServer()
{
    SmtpTestServer server;
    qunsetenv("KHGL_SMTP_SERVER"); // only the saved settings can lead to the test server
    MailFixture f;
    f.fillSender();
    f.list()->addItem(QStringLiteral("a@example.cn"));
    QStringList shown;
    const auto fill = [&](const QString& host, int port, MailSecurity security) {
        f.env.dialogs.execNext([&, host, port, security](QDialog& dialog) {
            auto* hostBox = dialog.findChild<QLineEdit*>(QStringLiteral("MailServerHost"));
            auto* portBox = dialog.findChild<QSpinBox*>(QStringLiteral("MailServerPort"));
            auto* securityBox = dialog.findChild<QComboBox*>(QStringLiteral("MailServerSecurity"));
            shown << hostBox->text() << portBox->text()
                  << QString::number(securityBox->currentIndex());
            grabTo(&dialog, QStringLiteral("mail_server_dialog"));
            hostBox->setText(host);
            portBox->setValue(port);
            securityBox->setCurrentIndex(static_cast<int>(security));
            dialog.findChild<QCheckBox*>(QStringLiteral("MailServerKeepPassword"))
                ->setChecked(true);
            dialog.accept();
            return dialog.result();
        });
        click(f.find<QPushButton>("MailServerSettings"));
    };

    // Nothing saved: the server derived from the sender. No encryption off this machine is
    // refused and nothing is written.
    fill(QStringLiteral("smtp.example.com"), 25, MailSecurity::None);
    QCOMPARE(shown, QStringLiteral("smtp.example.com|25|0").split(u'|'));
    QVERIFY(f.env.dialogs.lastText().contains(QStringLiteral("不加密的连接只能用于本机")));
    const QString path = mailServerSettingsPath(f.env.folder());
    QVERIFY(!QFile::exists(path));

    fill(QStringLiteral("127.0.0.1"), server.port(), MailSecurity::None);
    QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(f.sendAndWait());
    QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("发送成功。"));
    QCOMPARE(server.received().size(), 1);
    // The kept password fills the box of the next page.
    MailPage next(f.penv, nullptr);
    QCOMPARE(next.findChild<QLineEdit*>(QStringLiteral("Text2"))->text(),
             SmtpTestServer::password());

    // Port 465 suggests SSL; TLS to a server that speaks plain SMTP fails, said in Chinese
    // with the library's words in brackets, and nothing is delivered.
    int suggested = -1;
    f.env.dialogs.execNext([&suggested](QDialog& dialog) {
        dialog.findChild<QSpinBox*>(QStringLiteral("MailServerPort"))->setValue(465);
        suggested =
            dialog.findChild<QComboBox*>(QStringLiteral("MailServerSecurity"))->currentIndex();
        return int(QDialog::Rejected);
    });
    click(f.find<QPushButton>("MailServerSettings"));
    QCOMPARE(suggested, static_cast<int>(MailSecurity::Ssl));
    saveMailServerSettings(f.env.folder(),
                           {{QStringLiteral("127.0.0.1"), server.port(), MailSecurity::Ssl}, {}});
    QVERIFY(f.sendAndWait());
    QVERIFY2(f.env.dialogs.lastText().contains(QStringLiteral("无法建立可信的加密连接（")),
             qPrintable(f.env.dialogs.lastText()));
    QCOMPARE(server.received().size(), 1);
    QCOMPARE(loadMailServerSettings(f.env.folder())->password, QString());
}

void TestMailPage::checksBeforeSending()
{
    MailFixture f(false);
    auto* send = f.find<ClickLabel>("Label68");
    f.env.connectivity.connected = false;
    f.list()->addItem(QStringLiteral("a@example.cn"));
    click(send);
    QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("当前系统未与Internet连接"));
    QCOMPARE(f.env.dialogs.messages.back().title, QString());
    QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::None);

    f.env.connectivity.connected = true;
    f.list()->clear();
    click(send);
    QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("请选择发送地址。"));
    QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::Information);

    // An address from the table carrying a line break would add a recipient: refused whole.
    addPurchase(f.env.store, "坏", "a@example.cn\r\nBcc: x@evil.cn", "2026-3-5", "茶叶");
    f.page->opened();
    f.list()->addItem(QStringLiteral("ok@example.cn"));
    clickCell(f.grid(), 1, 2);
    f.fillSender();
    click(send);
    QVERIFY(f.env.dialogs.lastText().contains(QStringLiteral("含有控制字符")));
    QVERIFY(!f.page->isSending());
    QVERIFY(f.env.mail.sent.empty());

    // So would an angle bracket or a blank: the address is named, nothing goes.
    f.list()->clear();
    f.list()->addItems(
        {QStringLiteral("ok@example.cn"), QStringLiteral("x@example.cn> NOTIFY=SUCCESS")});
    click(send);
    QCOMPARE(f.env.dialogs.lastText(),
             QStringLiteral("收件地址“x@example.cn> NOTIFY=SUCCESS”含有尖括号或空白，"
                            "不是一个邮箱地址，不能发送。"));
    QVERIFY(f.env.mail.sent.empty());

    // Without a sender there is nobody to sign in as.
    f.list()->clear();
    f.list()->addItem(QStringLiteral("ok@example.cn"));
    f.find<QLineEdit>("Text13")->clear();
    click(send);
    QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("请填写发件人的邮箱地址。"));
    QVERIFY(f.env.mail.sent.empty());
}

void TestMailPage::closingWhileSendingStopsPromptly()
{
    SmtpTestServer server(SmtpServerOptions{{}, false, {QStringLiteral("a@example.cn")}});
    MailFixture f(true, 60000, 120000);
    f.list()->addItems({QStringLiteral("a@example.cn"), QStringLiteral("b@example.cn")});
    f.fillSender();
    click(f.find<ClickLabel>("Label68"));
    QTest::qWait(500);
    QVERIFY(f.page->isSending());
    // As the main window closes: its pages hear closeWindows, then go.
    QElapsedTimer clock;
    clock.start();
    f.page->closeWindows();
    f.page.reset();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QTest::qWait(50); // no late report reaches a page that is gone
    QVERIFY(f.env.dialogs.messages.empty());
}

QTEST_MAIN(TestMailPage)
#include "test_mail_page.moc"

#include "platform/network_connectivity.h"
#include "platform/smtp_transport.h"
#include "support/smtp_test_server.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTest>
#include <thread>

using namespace khgl;
using khgl::test::SmtpServerOptions;
using khgl::test::SmtpTestServer;

namespace {

MailMessage message(const QString& to)
{
    MailMessage m;
    m.from = SmtpTestServer::user();
    m.password = SmtpTestServer::password();
    m.to = to;
    m.subject = QStringLiteral("新品到货通知：本周所有商品一律八折，欢迎光临小店选购（限时优惠）");
    m.body = QStringLiteral("您好！\n本店新到一批货。\r\n.这一行以句点开头\n\n栎川小店");
    return m;
}

} // namespace

class TestSmtpTransport final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliversOneEncodedMessage();
    void reportsWhatWentWrong();
    void refusesUnsafeAddressesAndHeaders();
    void silentServerTakesOneTimeOutAndCanBeStopped();
    void requiresTlsOffLoopback();
    void choosesTheServerAndConnectivity();
};

void TestSmtpTransport::deliversOneEncodedMessage()
{
    SmtpTestServer server;
    QVERIFY(server.isReady());
    SmtpTransport transport(5000, 10000);
    const MailMessage sent = message(QStringLiteral("kehu@example.cn"));
    const MailResult result = transport.send(sent);
    QVERIFY2(result.ok, qPrintable(result.error));

    const auto received = server.received();
    QCOMPARE(received.size(), 1);
    const QJsonObject& mail = received.front();
    QCOMPARE(mail[u"login"].toString(), SmtpTestServer::user());
    QCOMPARE(mail[u"mail_from"].toString(), SmtpTestServer::user());
    QCOMPARE(mail[u"rcpt_tos"].toArray(), QJsonArray{sent.to});
    QCOMPARE(mail[u"from"].toString(), sent.from);
    QCOMPARE(mail[u"to"].toString(), sent.to);
    QCOMPARE(mail[u"subject"].toString(), sent.subject);
    QCOMPARE(mail[u"charset"].toString(), QStringLiteral("utf-8"));
    QCOMPARE(mail[u"body"].toString(),
             QStringLiteral("您好！\r\n本店新到一批货。\r\n.这一行以句点开头\r\n\r\n栎川小店"));

    // On the wire: CRLF only, short lines, nothing but ASCII.
    QByteArray raw = server.rawMessage(0);
    QVERIFY(!raw.isEmpty());
    QVERIFY(!raw.replace("\r\n", "").contains('\n'));
    for (const QByteArray& line : server.rawMessage(0).split('\n')) {
        QVERIFY2(line.size() <= 78, line.constData());
        for (const char c : line) {
            QVERIFY(static_cast<unsigned char>(c) < 0x80);
        }
    }
}

void TestSmtpTransport::reportsWhatWentWrong()
{
    {
        SmtpTestServer server;
        SmtpTransport transport(5000, 10000);
        MailMessage wrong = message(QStringLiteral("a@example.cn"));
        wrong.password = QStringLiteral("guess");
        const MailResult result = transport.send(wrong);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(QStringLiteral("拒绝登录")), qPrintable(result.error));
        QVERIFY(server.received().isEmpty());
    }
    {
        SmtpTestServer server(SmtpServerOptions{{QStringLiteral("gone@example.cn")}, false});
        SmtpTransport transport(5000, 10000);
        const MailResult result = transport.send(message(QStringLiteral("gone@example.cn")));
        QVERIFY(!result.ok);
        // The server's own words reach the operator.
        QVERIFY2(result.error.contains(QStringLiteral("550 5.1.1")), qPrintable(result.error));
        QVERIFY(server.received().isEmpty());
    }
}

void TestSmtpTransport::refusesUnsafeAddressesAndHeaders()
{
    SmtpTestServer server;
    SmtpTransport transport(5000, 10000);
    // Each would end the address early in RCPT TO and add a command or an SMTP option.
    const QString addresses[] = {QStringLiteral("a@example.cn>\r\nRCPT TO:<evil@example.cn"),
                                 QStringLiteral("a@example.cn> NOTIFY=SUCCESS,FAILURE"),
                                 QStringLiteral("<a@example.cn>"),
                                 QStringLiteral("a b@example.cn"),
                                 QStringLiteral("a@example.cn\tx"),
                                 QStringLiteral("a\u3000b@example.cn"),
                                 QStringLiteral("   ")};
    for (const QString& address : addresses) {
        const MailResult refused = transport.send(message(address));
        QVERIFY2(!refused.ok, qPrintable(address));
        QVERIFY2(refused.error.startsWith(QStringLiteral("收件地址")), qPrintable(refused.error));
    }
    QVERIFY(transport.send(message(QStringLiteral("a@example.cn> x")))
                .error.contains(QStringLiteral("“a@example.cn> x”")));

    MailMessage subject = message(QStringLiteral("a@example.cn"));
    subject.subject = QStringLiteral("hi\r\nBcc: evil@example.cn");
    QVERIFY(!transport.send(subject).ok);

    MailMessage sender = message(QStringLiteral("a@example.cn"));
    sender.from += QChar(0);
    QVERIFY(transport.send(sender).error.startsWith(QStringLiteral("发件人邮箱地址")));
    QVERIFY(server.received().isEmpty());

    // Blanks around an address are not part of it. A subject that merely looks like an
    // encoded word is itself encoded, not passed on.
    MailMessage lookalike = message(QStringLiteral(" a@example.cn "));
    lookalike.subject = QStringLiteral("=?UTF-8?B?5L2g?= plain");
    QVERIFY(transport.send(lookalike).ok);
    QCOMPARE(server.received().value(0)[u"subject"].toString(), lookalike.subject);
    QCOMPARE(server.received().value(0)[u"rcpt_tos"].toArray(),
             QJsonArray{QStringLiteral("a@example.cn")});
}

void TestSmtpTransport::silentServerTakesOneTimeOutAndCanBeStopped()
{
    SmtpTestServer server(SmtpServerOptions{{}, false, {QStringLiteral("a@example.cn")}});
    QElapsedTimer clock;
    {
        // The reply to the message never comes: one time-out in total, the QUIT included.
        SmtpTransport transport(1000, 1000);
        clock.start();
        const MailResult result = transport.send(message(QStringLiteral("a@example.cn")));
        QVERIFY(!result.ok);
        QVERIFY2(clock.elapsed() < 1800, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(result.error.contains(QStringLiteral("1 秒内没有答复")), qPrintable(result.error));
    }
    SmtpTransport transport(30000, 60000);
    clock.restart();
    const MailResult stopped = transport.sendWith(message(QStringLiteral("a@example.cn")),
                                                  {[&clock] { return clock.elapsed() < 300; }});
    QVERIFY(!stopped.ok);
    QVERIFY2(clock.elapsed() < 1800, qPrintable(QString::number(clock.elapsed())));

    // A worker left with the transport ends when the transport goes, though nobody stops it.
    {
        SmtpTransport closing(30000, 60000);
        closing.keepUntilDone(
            std::thread([&closing] { closing.send(message(QStringLiteral("a@example.cn"))); }));
        QTest::qWait(300);
        clock.restart();
    }
    QVERIFY2(clock.elapsed() < 1800, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(server.received().isEmpty());

    // No greeting at all: given up at the connect limit, and the text names that one.
    SmtpTestServer mute(SmtpServerOptions{{}, true});
    SmtpTransport greeting(1000, 5000);
    clock.restart();
    const MailResult result = greeting.send(message(QStringLiteral("a@example.cn")));
    QVERIFY(!result.ok);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(result.error.contains(QStringLiteral("在 1 秒内没有答复")), qPrintable(result.error));
}

void TestSmtpTransport::requiresTlsOffLoopback()
{
    // The test server offers no STARTTLS; held to the rule for other servers, the transport
    // stops before AUTH, so neither the password nor the message goes out.
    SmtpTestServer server;
    SmtpTransport transport(5000, 10000, SmtpTransport::Loopback::LikeAnyServer);
    const MailMessage sent = message(QStringLiteral("a@example.cn"));
    const MailResult refused = transport.send(sent);
    QVERIFY(!refused.ok);
    QVERIFY(refused.needsPlainText);
    QVERIFY2(refused.error.contains(QStringLiteral("不支持加密连接")), qPrintable(refused.error));
    QCOMPARE(server.authAttempts(), 0);
    QVERIFY(server.received().isEmpty());

    // With the operator's consent it signs in in clear text.
    const MailResult allowed = transport.sendWith(sent, {{}, true});
    QVERIFY2(allowed.ok, qPrintable(allowed.error));
    QCOMPARE(server.received().size(), 1);
    QCOMPARE(server.received().front()[u"login"].toString(), SmtpTestServer::user());
    QCOMPARE(server.authAttempts(), 1);
}

void TestSmtpTransport::choosesTheServerAndConnectivity()
{
    qunsetenv("KHGL_SMTP_SERVER");
    auto server = smtpServerFor(QStringLiteral("boss@Shop.example.cn"));
    QVERIFY(server);
    QCOMPARE(server->host, QStringLiteral("smtp.Shop.example.cn"));
    QCOMPARE(server->port, 25);
    QVERIFY(!smtpServerFor(QStringLiteral("no-domain")));
    QVERIFY(!smtpServerFor(QStringLiteral("boss@")));

    qputenv("KHGL_SMTP_SERVER", "[::1]:2526");
    server = smtpServerFor(QStringLiteral("boss@shop.cn"));
    QCOMPARE(server->host, QStringLiteral("::1"));
    QCOMPARE(server->port, 2526);
    QVERIFY(NetworkConnectivity().isConnected());

    qputenv("KHGL_SMTP_SERVER", "mail.local:notaport");
    QCOMPARE(smtpServerFor(QStringLiteral("boss@shop.cn"))->host, QStringLiteral("smtp.shop.cn"));

    // Off loopback the answer is the interfaces' answer.
    qputenv("KHGL_SMTP_SERVER", "mail.example.cn:587");
    QCOMPARE(NetworkConnectivity().isConnected(), NetworkConnectivity::hasUsableInterface());
    qunsetenv("KHGL_SMTP_SERVER");

    QVERIFY(isLoopbackHost(QStringLiteral("127.0.0.1")));
    QVERIFY(isLoopbackHost(QStringLiteral("127.3.2.1")));
    QVERIFY(isLoopbackHost(QStringLiteral("LocalHost")));
    QVERIFY(isLoopbackHost(QStringLiteral("::1")));
    QVERIFY(!isLoopbackHost(QStringLiteral("10.0.0.1")));
    QVERIFY(!isLoopbackHost(QStringLiteral("smtp.127.cn")));

    // A server chosen without encryption off this machine is refused before connecting.
    SmtpTransport transport(5000, 10000);
    const MailResult plain = transport.sendWith(
        message(QStringLiteral("a@example.cn")),
        {{}, true, MailServer{QStringLiteral("10.0.0.1"), 25, MailSecurity::None}});
    QVERIFY2(plain.error.startsWith(QStringLiteral("不加密的连接只能用于本机")),
             qPrintable(plain.error));
}

QTEST_GUILESS_MAIN(TestSmtpTransport)
#include "test_smtp_transport.moc"

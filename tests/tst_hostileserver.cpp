// The login against a server that misbehaves on purpose (a fake one on 127.0.0.1): it asks
// for the password in clear text, answers a setup statement with rows that never end, or
// greets with bytes that are no greeting. Each ends in a plain refusal, with the password
// kept and the memory bounded.
#include "support/FakeServer.h"
#include "support/TestApp.h"

#include <QTest>

using namespace kx;
using namespace kx::test;

Q_DECLARE_METATYPE(kx::test::Shown)

namespace {

const QString kPassword = QStringLiteral("Titkos-Jelszo-42");
const QString kTooLong = QStringLiteral(
    "A szerver egy rövid kérdésre a vártnál jóval hosszabb választ küldött; a program a "
    "kapcsolatot bontotta.");

ConnectionParams paramsFor(const FakeServer& server) {
    return {QStringLiteral("127.0.0.1"), QString::number(server.port()), QStringLiteral("kartotex"),
            QStringLiteral("anna"), kPassword};
}

QByteArray greetingPayload() {
    return FakeServer::greeting().mid(4);
}

} // namespace

class HostileServerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void clearTextPasswordIsNeverSent();
    void endlessAnswerIsCutOff_data();
    void endlessAnswerIsCutOff();
    void malformedGreetingIsRefused_data();
    void malformedGreetingIsRefused();
};

void HostileServerTest::initTestCase() {
    // A fake server that stops answering fails the login soon.
    MariaConnection::setTimeoutsForTesting(5, 5);
}

void HostileServerTest::clearTextPasswordIsNeverSent() {
    FakeServer server(FakeServer::Play::ClearTextSwitch);
    QVERIFY(server.port() != 0);
    TestApp app;
    app.login(paramsFor(server));
    const QByteArray received = server.received();
    QVERIFY(!received.isEmpty()); // the client did reach the server
    QVERIFY(!received.contains(kPassword.toLatin1()));
    QCOMPARE(
        app.prompter.shown,
        (QList<Shown>{hookBox(QStringLiteral(
                          "A szerver olyan belépési módot kért, amelyben a jelszó védelem nélkül "
                          "jutna el hozzá; a program a jelszót nem küldte el, és a belépést "
                          "megszakította.")),
                      warningBox(QStringLiteral("Nem lehet kapcsolódni a szerverhez !"))}));
    QVERIFY(!app.data().recordStore.isConnected());
    QCOMPARE(app.loginDialog->result(), 0);
}

void HostileServerTest::endlessAnswerIsCutOff_data() {
    QTest::addColumn<int>("endlessAfter"); // statements answered before the endless one
    QTest::addColumn<Shown>("then");       // what follows the connection's own box
    // What the login sends: the session's settings (two), the cluster check, the server's
    // uptime, then the probe for the database, whose failure the default report shows.
    const Shown refused = warningBox(QStringLiteral("Nem lehet kapcsolódni a szerverhez !"));
    QTest::newRow("first setup statement") << 0 << refused;
    QTest::newRow("cluster check") << 2 << refused;
    QTest::newRow("database probe") << 4 << errorReportBox(kTooLong);
}

void HostileServerTest::endlessAnswerIsCutOff() {
    QFETCH(int, endlessAfter);
    QFETCH(Shown, then);
    FakeServer server(FakeServer::Play::EndlessRows, endlessAfter);
    QVERIFY(server.port() != 0);
    TestApp app;
    app.login(paramsFor(server));
    QCOMPARE(app.prompter.shown, (QList<Shown>{hookBox(kTooLong), then}));
    QVERIFY(!app.data().recordStore.isConnected());
    // The program hung up while the server was still sending, long before the server's own
    // limit: what it read (and could have kept) is bounded by the socket buffers and the
    // answer's bound, not by what the server was willing to send.
    QTRY_VERIFY(server.cutOff());
    QVERIFY2(server.sentBytes() < 32 * 1024 * 1024,
             qPrintable(QString::number(server.sentBytes())));
}

void HostileServerTest::malformedGreetingIsRefused_data() {
    QTest::addColumn<QList<QByteArray>>("pieces");
    const QByteArray good = greetingPayload();
    QByteArray wrongVersion = good;
    wrongVersion[0] = char(9);
    QByteArray noPluginEnd = good;
    noPluginEnd.chop(1);
    QByteArray unendedVersion(1, char(10));
    unendedVersion += QByteArray(200, 'v');
    QTest::newRow("cut inside the greeting") << QList<QByteArray>{FakeServer::greeting().left(30)};
    QTest::newRow("length beyond the bytes")
        << QList<QByteArray>{QByteArray("\xff\xff\xff\x00", 4) + good};
    QTest::newRow("only the version byte")
        << QList<QByteArray>{FakeServer::packet(0, QByteArray(1, char(10)))};
    QTest::newRow("version text without its end")
        << QList<QByteArray>{FakeServer::packet(0, unendedVersion)};
    QTest::newRow("protocol 9") << QList<QByteArray>{FakeServer::packet(0, wrongVersion)};
    QTest::newRow("empty packet") << QList<QByteArray>{FakeServer::packet(0, QByteArray())};
    QTest::newRow("plugin name without its end")
        << QList<QByteArray>{FakeServer::packet(0, noPluginEnd)};
    QTest::newRow("greeting, then garbage for the login")
        << QList<QByteArray>{FakeServer::greeting(), QByteArray("\x05\x00\x00\x02garbage", 11)};
    QTest::newRow("greeting, then a switch to an unnamed method")
        << QList<QByteArray>{FakeServer::greeting(), FakeServer::packet(2, QByteArray("\xfe", 1))};
}

void HostileServerTest::malformedGreetingIsRefused() {
    QFETCH(QList<QByteArray>, pieces);
    FakeServer server(pieces);
    QVERIFY(server.port() != 0);
    TestApp app;
    app.login(paramsFor(server));
    QCOMPARE(app.prompter.shown.size(), 2);
    QVERIFY2(isHookBox(app.prompter.shown[0]), qPrintable(app.prompter.shown[0].text));
    QCOMPARE(app.prompter.shown[1],
             warningBox(QStringLiteral("Nem lehet kapcsolódni a szerverhez !")));
    QVERIFY(!app.data().recordStore.isConnected());
    QVERIFY(!server.received().contains(kPassword.toLatin1()));
}

QTEST_MAIN(HostileServerTest)
#include "tst_hostileserver.moc"

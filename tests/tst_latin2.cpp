// Latin-2 text conversion: the table against the server's own latin2, round trips of
// Hungarian text through a real table, and text that Latin-2 cannot hold.
#include "data/query/Query.h"
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "data/sql/MariaStatement.h"
#include "data/text/Latin2.h"
#include "data/text/TextEncodingError.h"
#include "support/TestServer.h"

#include <QTest>

using namespace kx;

class TestLatin2 : public QObject {
    Q_OBJECT

private slots:
    void everyByteRoundTrips();
    void tableMatchesServer();
    void hungarianTextThroughTable_data();
    void hungarianTextThroughTable();
    void composedBeforeTheCheck_data();
    void composedBeforeTheCheck();
    void decomposedTextIsStoredComposed();
    void unencodableTextIsNotSent_data();
    void unencodableTextIsNotSent();
    void unencodableSearchLeavesQueryClosed();
    void userMessageNamesTheCharacters();
};

void TestLatin2::everyByteRoundTrips() {
    for (int b = 0; b < 256; ++b) {
        const QByteArray byte(1, char(b));
        const QString text = latin2::decode(byte);
        QCOMPARE(text.size(), 1);
        QCOMPARE(latin2::encode(text), byte);
        QVERIFY(latin2::canEncode(text));
    }
    // Characters that share no code with their neighbours in other Latin sets.
    QCOMPARE(latin2::encode(QStringLiteral("őŐűŰ")), QByteArray("\xF5\xD5\xFB\xDB"));
    QCOMPARE(latin2::decode(QByteArray("\xF5\xD5\xFB\xDB")), QStringLiteral("őŐűŰ"));
}

void TestLatin2::tableMatchesServer() {
    // The server's latin2 is the authority: what it decodes must be what we decode.
    test::TestDatabase db(false);
    MariaConnection conn;
    conn.setParams(db.params());
    conn.open();
    QByteArray high;
    for (int b = 0x80; b < 0x100; ++b)
        high.append(char(b));
    const QString serverUtf8Hex = conn.scalar(
        QStringLiteral("select hex(convert(cast(unhex('%1') as char character set latin2) "
                       "using utf8mb4))")
            .arg(QString::fromLatin1(high.toHex())));
    QCOMPARE(serverUtf8Hex, QString::fromLatin1(latin2::decode(high).toUtf8().toHex().toUpper()));
}

void TestLatin2::hungarianTextThroughTable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("storedHex"); // the bytes the server must hold
    QTest::newRow("small") << QStringLiteral("Árvíztűrő tükörfúrógép")
                           << QStringLiteral("C17276ED7A74FB72F52074FC6BF67266FA72F367E970");
    QTest::newRow("capital") << QStringLiteral("ÁRVÍZTŰRŐ TÜKÖRFÚRÓGÉP")
                             << QStringLiteral("C15256CD5A54DB52D52054DC4BD65246DA52D347C950");
    QTest::newRow("quote and symbols")
        << QStringLiteral("§ ß × ÷ ˝ ő") << QStringLiteral("A720DF20D720F720BD20F5");
}

void TestLatin2::hungarianTextThroughTable() {
    QFETCH(QString, text);
    QFETCH(QString, storedHex);
    test::TestDatabase db;
    MariaConnection conn;
    conn.setParams(db.params());
    conn.open();
    QCOMPARE(
        conn.execute(
            QStringLiteral("insert into tbl_Data (CIM, LEIRAS) values ('%1', '%1')").arg(text)),
        quint64(1));
    QCOMPARE(db.scalar(QStringLiteral("select hex(CIM) from tbl_Data")), storedHex);

    Query q(conn);
    q.setKeyField(QStringLiteral("AZ"));
    q.setDeferredFields({QStringLiteral("LEIRAS"), QStringLiteral("FOTO")});
    q.setSql(QStringLiteral("Select * from tbl_Data order by CIM"));
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.asString(QStringLiteral("CIM")), text);
    QCOMPARE(q.asString(QStringLiteral("LEIRAS")), text); // read on demand
    QCOMPARE(conn.scalar(QStringLiteral("select CIM from tbl_Data")), text);
}

void TestLatin2::composedBeforeTheCheck_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("stored"); // the Latin-2 bytes; empty when refused
    QTest::addColumn<QString>("offending"); // what the refusal names
    QTest::newRow("a + acute") << QStringLiteral("a\u0301") << QByteArray("\xE1") << QString();
    QTest::newRow("o + double acute")
        << QStringLiteral("o\u030B") << QByteArray("\xF5") << QString();
    QTest::newRow("whole phrase decomposed")
        << QStringLiteral(
               "A\u0301rvi\u0301ztu\u030Bro\u030B tu\u0308ko\u0308rfu\u0301ro\u0301ge\u0301p")
        << QByteArray("\xC1rv\xEDzt\xFBr\xF5 t\xFCk\xF6rf\xFAr\xF3g\xE9p") << QString();
    QTest::newRow("composed and decomposed mixed")
        << QStringLiteral("ő o\u030B") << QByteArray("\xF5 \xF5") << QString();
    QTest::newRow("Czech u + ring") << QStringLiteral("u\u030A") << QByteArray("\xF9") << QString();
    QTest::newRow("composes to a letter outside Latin-2")
        << QStringLiteral("n\u0303o") << QByteArray() << QStringLiteral("ñ");
    QTest::newRow("A + ring composes outside Latin-2")
        << QStringLiteral("A\u030A") << QByteArray() << QStringLiteral("Å");
    QTest::newRow("mark without a composed letter")
        << QStringLiteral("q\u0303") << QByteArray() << QStringLiteral("\u0303");
    QTest::newRow("Kelvin sign is the letter K")
        << QStringLiteral("5 \u212A") << QByteArray("5 K") << QString();
    // Characters whose composed form is an ASCII sign stay as typed, and are refused.
    QTest::newRow("Greek question mark is no semicolon")
        << QStringLiteral("x\u037E") << QByteArray() << QStringLiteral("\u037E");
    QTest::newRow("varia is no backtick, beside a decomposed letter")
        << QStringLiteral("a\u0301`\u1FEF") << QByteArray() << QStringLiteral("\u0301\u1FEF");
    QTest::newRow("only the euro is refused")
        << QStringLiteral("a\u0301r: 5 €") << QByteArray() << QStringLiteral("€");
}

// A letter typed as a base letter and combining marks is stored as the Latin-2 letter; only
// what is outside Latin-2 in composed form is refused, and named in that form.
void TestLatin2::composedBeforeTheCheck() {
    QFETCH(QString, text);
    QFETCH(QByteArray, stored);
    QFETCH(QString, offending);
    QCOMPARE(latin2::canEncode(text), !stored.isEmpty());
    QCOMPARE(latin2::unrepresentable(text), offending);
    if (!stored.isEmpty()) {
        QCOMPARE(latin2::encode(text), stored);
        return;
    }
    try {
        latin2::encode(text);
        QFAIL("the text was accepted");
    } catch (const TextEncodingError& e) {
        QCOMPARE(e.offending(), offending);
    }
}

// Through the server, bound and as a literal: the composed bytes are stored, and text read
// back is the composed text.
void TestLatin2::decomposedTextIsStoredComposed() {
    const QString decomposed = QStringLiteral("A\u0301rvi\u0301ztu\u030Bro\u030B");
    test::TestDatabase db;
    MariaConnection conn;
    conn.setParams(db.params());
    conn.open();
    conn.execute(QStringLiteral("insert into tbl_Data (CIM) values ('%1')").arg(decomposed));
    MariaStatement st(conn, QStringLiteral("insert into tbl_Data (CIM) values (?)"));
    st.bindText(decomposed);
    st.execute();
    QCOMPARE(db.scalar(QStringLiteral("select group_concat(hex(CIM)) from tbl_Data")),
             QStringLiteral("C17276ED7A74FB72F5,C17276ED7A74FB72F5"));
    QCOMPARE(conn.scalar(QStringLiteral("select CIM from tbl_Data limit 1")),
             QStringLiteral("Árvíztűrő"));
}

void TestLatin2::unencodableTextIsNotSent_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("offending");
    QTest::newRow("euro") << QStringLiteral("Ár: 5 €") << QStringLiteral("€");
    QTest::newRow("several, each once") << QStringLiteral("€ ✓ € Œ") << QStringLiteral("€✓Œ");
    QTest::newRow("outside the BMP") << QStringLiteral("jó 😀 napot") << QStringLiteral("😀");
    QTest::newRow("after a good letter") << QStringLiteral("ő õ") << QStringLiteral("õ");
}

void TestLatin2::unencodableTextIsNotSent() {
    QFETCH(QString, text);
    QFETCH(QString, offending);
    QCOMPARE(latin2::unrepresentable(text), offending);
    QVERIFY(!latin2::canEncode(text));

    test::TestDatabase db;
    MariaConnection conn;
    conn.setParams(db.params());
    int hookCalls = 0;
    conn.setErrorHook([&](const DbError&) { ++hookCalls; });
    conn.open();
    try {
        conn.execute(QStringLiteral("insert into tbl_Data (CIM) values ('%1')").arg(text));
        QFAIL("the text was accepted");
    } catch (const TextEncodingError& e) {
        QCOMPARE(e.offending(), offending);
    }
    QCOMPARE(hookCalls, 0); // not a server error: nothing was sent
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from tbl_Data")), QStringLiteral("0"));
}

void TestLatin2::unencodableSearchLeavesQueryClosed() {
    test::TestDatabase db;
    db.exec(QStringLiteral("insert into tbl_Data (CIM) values ('a')"));
    MariaConnection conn;
    conn.setParams(db.params());
    conn.open();
    Query q(conn);
    q.setSql(QStringLiteral("Select * FROM tbl_Data WHERE CIM like '%€%' order by CIM"));
    QVERIFY_THROWS_EXCEPTION(TextEncodingError, q.open());
    QVERIFY(!q.isOpen());
    QCOMPARE(q.recordCount(), 0);
}

void TestLatin2::userMessageNamesTheCharacters() {
    const TextEncodingError one(QStringLiteral("5 €"), QString());
    QCOMPARE(one.userMessage(),
             QStringLiteral("A szöveg olyan karaktert tartalmaz, amelyet az adatbázis (Latin-2) "
                            "nem tud tárolni: „€”. Kérem, javítsa !"));
    QCOMPARE(QString::fromUtf8(one.what()), one.userMessage());

    const TextEncodingError two(QStringLiteral("€ és ✓"), QString());
    QCOMPARE(two.userMessage(),
             QStringLiteral("A szöveg olyan karaktereket tartalmaz, amelyeket az adatbázis "
                            "(Latin-2) nem tud tárolni: „€”, „✓”. Kérem, javítsa !"));

    // An invisible character is named by its code, or the user could not find it.
    const TextEncodingError hidden(QStringLiteral("a\u200Bb"), QString());
    QVERIFY2(hidden.userMessage().contains(QStringLiteral("„U+200B”")),
             qPrintable(hidden.userMessage()));
}

QTEST_GUILESS_MAIN(TestLatin2)
#include "tst_latin2.moc"

// How errors travel: the connection's hook, the locking-error questions with retry and abort,
// the guarded lookup and the default error report.
#include "platform/ScreenCursor.h"
#include "policy/CommandRunner.h"
#include "policy/GuardedStep.h"
#include "support/TestApp.h"

#include <QTest>

using namespace kx;
using namespace kx::test;

namespace {

const QString postQuestion = QStringLiteral(
    "Adatok kiírása nem sikerült (másik felhasználó zárolta a táblát) ! Megpróbáljuk újra ?");
const QString editQuestion = QStringLiteral(
    "Adatrekord nem szerkeszthető (másik felhasználó zárolta) ! Megpróbáljuk újra ?");
const QString deleteQuestion =
    QStringLiteral("Adatrekord nem törölhető (másik felhasználó zárolta) ! Megpróbáljuk újra ?");

// A logged-in program on its own database, with short lock waits.
struct LoggedIn {
    LoggedIn() {
        app.login(db.params());
        QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
        app.mainWindow->data().recordStore.execute(
            QStringLiteral("SET SESSION innodb_lock_wait_timeout = 1"));
        d().recordQuery.open();
        for (Table* t : {&d().recordTable, &d().typeTable, &d().categoryTable, &d().resultTable})
            t->open();
        app.prompter.clear();
    }
    SharedData& d() {
        return app.mainWindow->data();
    }
    TestDatabase db;
    TestApp app;
};

} // namespace

class ErrorsTest : public QObject {
    Q_OBJECT
private slots:
    void lockedWriteRetriesUntilReleased();
    void lockedWriteAnsweredNoWritesNothing();
    void lockedEditAndDeleteAsk_data();
    void lockedEditAndDeleteAsk();
    void guardedLookupShowsItsWarning();
    void killedConnectionReachesHookThenReport();
};

void ErrorsTest::lockedWriteRetriesUntilReleased() {
    LoggedIn s;
    s.db.exec(QStringLiteral("START TRANSACTION"));
    s.db.exec(
        QStringLiteral("SELECT * FROM tbl_Kat FOR UPDATE")); // next-key locks block every insert
    int asked = 0;
    s.app.prompter.answerQuestions({true, true});
    s.app.prompter.onShown = [&](const Shown& shown) {
        // The second question comes only after a second failure; then let go of the lock.
        if (shown.kind == QLatin1String("question") && ++asked == 2)
            s.db.exec(QStringLiteral("ROLLBACK"));
    };
    const bool ran = runCommand(s.app.prompter, [&] {
        s.d().categoryTable.append();
        s.d().categoryTable.setField(QStringLiteral("KAT"), QStringLiteral("Könyv"));
        s.d().categoryTable.post();
    });
    QVERIFY(ran);
    QCOMPARE(s.app.prompter.shown.size(), 4);
    QVERIFY(isHookBox(s.app.prompter.shown[0]));
    QCOMPARE(s.app.prompter.shown[1], questionBox(postQuestion));
    QVERIFY(isHookBox(s.app.prompter.shown[2]));
    QCOMPARE(s.app.prompter.shown[3], questionBox(postQuestion));
    QCOMPARE(s.db.scalar(QStringLiteral("select count(*) from tbl_Kat where KAT = 'Könyv'")),
             QStringLiteral("1"));
}

void ErrorsTest::lockedWriteAnsweredNoWritesNothing() {
    LoggedIn s;
    s.db.exec(QStringLiteral("START TRANSACTION"));
    s.db.exec(QStringLiteral("SELECT * FROM tbl_Kat FOR UPDATE"));
    ScreenCursor::set(CursorShape::Busy);
    const bool ran = runCommand(s.app.prompter, [&] {
        s.d().categoryTable.append();
        s.d().categoryTable.setField(QStringLiteral("KAT"), QStringLiteral("Kép"));
        s.d().categoryTable.post();
        s.app.prompter.result(QStringLiteral("not reached"));
    });
    QVERIFY(!ran);
    QCOMPARE(s.app.prompter.shown.size(), 2);
    QVERIFY(isHookBox(s.app.prompter.shown[0]));
    QCOMPARE(s.app.prompter.shown[1], questionBox(postQuestion));
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    s.db.exec(QStringLiteral("ROLLBACK"));
    // Nothing was written, and nothing is left over for a later write.
    s.d().typeTable.append();
    s.d().typeTable.setField(QStringLiteral("TIP"), QStringLiteral("x"));
    s.d().typeTable.post();
    QCOMPARE(s.db.scalar(QStringLiteral("select count(*) from tbl_Kat")), QStringLiteral("0"));
    QCOMPARE(s.d().categoryTable.state(), TableState::Browse);
}

void ErrorsTest::lockedEditAndDeleteAsk_data() {
    QTest::addColumn<bool>("deleting");
    QTest::newRow("edit") << false;
    QTest::newRow("delete") << true;
}

void ErrorsTest::lockedEditAndDeleteAsk() {
    QFETCH(bool, deleting);
    LoggedIn s;
    s.db.exec(QStringLiteral("INSERT INTO tbl_Tip (TIP) VALUES ('Cikk')"));
    s.d().typeTable.refresh();
    s.d().typeTable.first();
    s.db.exec(QStringLiteral("START TRANSACTION"));
    s.db.exec(QStringLiteral("UPDATE tbl_Tip SET TIP = 'Cikk' WHERE TIP = 'Cikk'"));
    s.app.prompter.answerQuestions({true});
    s.app.prompter.onShown = [&](const Shown& shown) {
        if (shown.kind == QLatin1String("question"))
            s.db.exec(QStringLiteral("ROLLBACK"));
    };
    QVERIFY(runCommand(s.app.prompter, [&] {
        if (deleting) {
            s.d().typeTable.deleteRecord();
        } else {
            s.d().typeTable.edit();
            s.d().typeTable.setField(QStringLiteral("TIP"), QStringLiteral("Újság"));
            s.d().typeTable.post();
        }
    }));
    QCOMPARE(s.app.prompter.shown.size(), 2);
    QVERIFY(isHookBox(s.app.prompter.shown[0]));
    QCOMPARE(s.app.prompter.shown[1], questionBox(deleting ? deleteQuestion : editQuestion));
    QCOMPARE(s.db.scalar(QStringLiteral("select count(*) from tbl_Tip")),
             deleting ? QStringLiteral("0") : QStringLiteral("1"));
    if (!deleting)
        QCOMPARE(s.db.scalar(QStringLiteral("select hex(TIP) from tbl_Tip")),
                 QStringLiteral("DA6A73E167")); // "Újság" in Latin-2
}

void ErrorsTest::guardedLookupShowsItsWarning() {
    LoggedIn s;
    s.db.exec(QStringLiteral("DROP TABLE tbl_Data"));
    const bool found = guardedLookup(s.app.prompter, [&] {
        return s.d().recordTable.locate(QStringLiteral("CIM"), QStringLiteral("x"), false);
    });
    QVERIFY(!found);
    QCOMPARE(s.app.prompter.shown.size(), 2);
    QVERIFY(isHookBox(s.app.prompter.shown[0]));
    QCOMPARE(s.app.prompter.shown[1], warningBox(QStringLiteral("Hiba történt !!!")));
}

void ErrorsTest::killedConnectionReachesHookThenReport() {
    LoggedIn s;
    const QString id =
        s.app.mainWindow->data().recordStore.scalar(QStringLiteral("select connection_id()"));
    s.db.exec(QStringLiteral("KILL ") + id);
    // A write (a read would be run again on a new session without a word).
    QVERIFY(!runCommand(s.app.prompter, [&] {
        s.d().recordStore.execute(QStringLiteral("UPDATE tbl_Data SET CIM = CIM WHERE 1 = 0"));
    }));
    QCOMPARE(s.app.prompter.shown.size(), 2);
    QVERIFY(isHookBox(s.app.prompter.shown[0]));
    QCOMPARE(s.app.prompter.shown[1].kind, QStringLiteral("error"));
    QCOMPARE(s.app.prompter.shown[1].caption, QStringLiteral("Kartotex"));
    QCOMPARE(s.app.prompter.shown[1].text, s.app.prompter.shown[0].text.mid(31));
    // The program goes on answering commands.
    s.app.prompter.clear();
    QVERIFY(runCommand(s.app.prompter, [&] { s.app.prompter.result(QStringLiteral("ok")); }));
    QCOMPARE(s.app.prompter.shown, QList<Shown>{resultBox(QStringLiteral("ok"))});
}

QTEST_MAIN(ErrorsTest)
#include "tst_errors.moc"

// Faults injected into a real server of this test's own: the program's connection killed, the
// server crashed, shut down, restarted and frozen, between two commands and in the middle of
// a write. What must hold: the next command works again on a session set up as the first one,
// a write is never done twice nor half, and every wait ends.
#include "support/EditingApp.h"
#include "support/PrivateServer.h"

#include "data/text/Latin2.h"
#include "platform/ScreenCursor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <atomic>
#include <functional>
#include <mysql.h>
#include <thread>

using namespace kx;
using namespace kx::test;

namespace {

const QString kPostQuestion = QStringLiteral(
    "Adatok kiírása nem sikerült (másik felhasználó zárolta a táblát) ! Megpróbáljuk újra ?");
const QString kStored = QStringLiteral("Adatok tárolása megtörtént !");
const QString kModified = QStringLiteral("Adatok módosítása megtörtént !");
// The server's administrator chose modes that change what statements mean; every session
// of the program sets its own.
const QString kHostileModes =
    QStringLiteral("NO_BACKSLASH_ESCAPES,ANSI_QUOTES,PAD_CHAR_TO_FULL_LENGTH,ONLY_FULL_GROUP_BY");
const QString kProgramModes =
    QStringLiteral("STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_ENGINE_SUBSTITUTION");

// A connection of another workstation, made fresh for each use so that it outlives faults.
class Other {
public:
    Other(const ServerSettings& s, const QString& database) {
        m_mysql = mysql_init(nullptr);
        mysql_options(m_mysql, MYSQL_SET_CHARSET_NAME, "latin2");
        if (!mysql_real_connect(m_mysql, s.host.toUtf8().constData(), s.user.toUtf8().constData(),
                                s.password.toUtf8().constData(),
                                database.isEmpty() ? nullptr : database.toUtf8().constData(),
                                s.port.toUInt(), nullptr, 0))
            qFatal("other workstation cannot connect: %s", mysql_error(m_mysql));
    }
    ~Other() {
        mysql_close(m_mysql);
    }
    // Runs a statement; the first value of its first row, or nothing.
    QString run(const QString& sql) {
        const QByteArray bytes = latin2::encode(sql);
        if (mysql_real_query(m_mysql, bytes.constData(), bytes.size()))
            qFatal("other workstation: %s\n%s", mysql_error(m_mysql), bytes.constData());
        QString out;
        if (MYSQL_RES* r = mysql_store_result(m_mysql)) {
            if (MYSQL_ROW row = mysql_fetch_row(r); row && row[0])
                out = latin2::decode(row[0], qsizetype(mysql_fetch_lengths(r)[0]));
            mysql_free_result(r);
        }
        return out;
    }

private:
    MYSQL* m_mysql = nullptr;
};

const QString kWriteRuns = QStringLiteral(
    "COMMAND = 'Execute' AND (INFO LIKE 'INSERT%' OR INFO LIKE 'UPDATE%' OR INFO LIKE 'DELETE%')");

// Runs act on its own thread as soon as a write of the program runs on the server (waiting
// for a row lock that another workstation holds, or in a slow trigger): the fault then
// strikes in the middle of that write. running: a condition on the server's process list.
class WhenWriteWaits {
public:
    WhenWriteWaits(const ServerSettings& s, std::function<void()> act,
                   const QString& running = kWriteRuns)
        : m_thread([this, s, running, act = std::move(act)] {
              Other watcher(s, QString());
              QElapsedTimer t;
              t.start();
              while (t.elapsed() < 20000) {
                  if (watcher.run(
                          QStringLiteral(
                              "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ") +
                          running) != QLatin1String("0")) {
                      act();
                      m_done = true;
                      return;
                  }
                  QThread::msleep(20);
              }
          }) {}
    ~WhenWriteWaits() {
        if (m_thread.joinable())
            m_thread.join();
    }
    bool done() {
        if (m_thread.joinable())
            m_thread.join();
        return m_done;
    }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// A file of n MiB that differs from block to block.
QString makeFile(const QString& folder, int mib) {
    const QString path = folder + QStringLiteral("/nagy.bin");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < mib; ++i) {
        block.fill(char('a' + i % 26));
        f.write(block);
    }
    return path;
}

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateServer> server;
    std::unique_ptr<UseServer> use;

    QString sessionOf(EditingApp& e) {
        return e.data().recordStore.scalar(
            QStringLiteral("SELECT CONCAT_WS('|', @@session.sql_mode, @@character_set_client, "
                           "@@character_set_results, DATABASE())"));
    }
    void inject(const QString& fault, EditingApp& e) {
        if (fault == QLatin1String("connection killed")) {
            Other(server->settings(), QString())
                .run(QStringLiteral("KILL %1").arg(e.data().recordStore.serverThreadId()));
        } else if (fault == QLatin1String("server shut down and started")) {
            server->shutdown();
            server->start();
        } else if (fault == QLatin1String("server crashed and started")) {
            server->kill();
            server->start();
        }
    }
    // The main window's menu search; returns the windows it showed.
    QList<Shown> search(EditingApp& e, const QString& answer) {
        e.prompter().clear();
        e.prompter().answerInputs({answer});
        e.app.mainWindow->gridSearchAction->trigger();
        return e.prompter().shown;
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void nextCommandWorksAfterLoss_data();
    void nextCommandWorksAfterLoss();
    void connectionKilledInLongStatementIsUsedAgain();
    void writeLostMidwayIsDoneOnce_data();
    void writeLostMidwayIsDoneOnce();
    void writeDoneBeforeLossIsNotDoneAgain();
    void serverKilledDuringUploadAsksToRetry_data();
    void serverKilledDuringUploadAsksToRetry();
    void changeAndDeletionLostMidwayTellTheTruth_data();
    void changeAndDeletionLostMidwayTellTheTruth();
    void frozenServerEndsTheWait();
};

void FaultsTest::initTestCase() {
    server = std::make_unique<PrivateServer>(QStringLiteral("--sql-mode=") + kHostileModes);
    use = std::make_unique<UseServer>(server->settings());
}

void FaultsTest::cleanupTestCase() {
    MariaConnection::setTimeoutsForTesting(MariaConnection::kConnectTimeoutSeconds,
                                           MariaConnection::kIoTimeoutSeconds);
    use.reset();
    server.reset(); // stops only this test's server
}

void FaultsTest::nextCommandWorksAfterLoss_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("connection killed") << "connection killed";
    QTest::newRow("server shut down and started") << "server shut down and started";
    QTest::newRow("server crashed and started") << "server crashed and started";
}

void FaultsTest::nextCommandWorksAfterLoss() {
    QFETCH(QString, fault);
    EditingApp e;
    e.addRecord(QStringLiteral("Út C:\\temp"));
    const QString session = sessionOf(e);
    QCOMPARE(session, kProgramModes + QStringLiteral("|latin2|latin2|") + e.db.name());

    inject(fault, e);
    // The next command's reads meet the lost session first: they run again on a new one,
    // without a word, set up as the first (its statement mode, character set and database,
    // so a backslash in the phrase still finds its record).
    const QList<Shown> found{Shown{QStringLiteral("input"), QStringLiteral("Keresés:"),
                                   QStringLiteral("Keresendő kifejezés:")},
                             resultBox(QStringLiteral("Találat: 1."))};
    QCOMPARE(search(e, QStringLiteral("C:\\t")), found);
    QCOMPARE(sessionOf(e), session);
    QCOMPARE(search(e, QStringLiteral("C:\\t")), found);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void FaultsTest::connectionKilledInLongStatementIsUsedAgain() {
    EditingApp e;
    MariaConnection& conn = e.data().recordStore;
    const quint64 id = conn.serverThreadId();
    std::thread killer([&] {
        Other other(server->settings(), QString());
        // Kill only once the statement runs.
        for (int i = 0; i < 500; ++i) {
            if (other.run(QStringLiteral("SELECT COUNT(*) FROM information_schema.PROCESSLIST "
                                         "WHERE ID = %1 AND INFO LIKE 'SELECT SLEEP%%'")
                              .arg(id)) == QLatin1String("1"))
                break;
            QThread::msleep(20);
        }
        other.run(QStringLiteral("KILL %1").arg(id));
    });
    e.prompter().clear();
    QElapsedTimer t;
    t.start();
    unsigned code = 0;
    try {
        conn.scalar(QStringLiteral("SELECT SLEEP(30)"));
    } catch (const DbError& err) {
        code = err.code();
    }
    killer.join();
    QVERIFY2(MariaConnection::isLostConnection(code), qPrintable(QString::number(code)));
    QVERIFY(t.elapsed() < 25000); // ended by the kill, not by the statement
    QCOMPARE(e.prompter().shown.size(), 1);
    QVERIFY(isHookBox(e.prompter().shown[0]));
    // Used again: a new session, set up as the first.
    QCOMPARE(conn.scalar(QStringLiteral("SELECT @@session.sql_mode")), kProgramModes);
    QVERIFY(conn.serverThreadId() != id);
    QCOMPARE(e.prompter().shown.size(), 1);
}

void FaultsTest::writeLostMidwayIsDoneOnce_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("mib"); // size of the attached file
    QTest::newRow("connection killed") << "connection killed" << 1;
    QTest::newRow("server crashed") << "server crashed" << 48;
    QTest::newRow("server shut down") << "server shut down" << 48;
}

// The write waits for a lock another workstation holds when the fault strikes: it cannot have
// been done. The user is asked; on Yes (with the server back) it is written exactly once,
// whole.
void FaultsTest::writeLostMidwayIsDoneOnce() {
    QFETCH(QString, fault);
    QFETCH(int, mib);
    EditingApp e;
    const QString file = makeFile(e.app.folder.path(), mib);
    auto holder = std::make_unique<Other>(server->settings(), e.db.name());
    holder->run(QStringLiteral("START TRANSACTION"));
    holder->run(QStringLiteral("SELECT * FROM tbl_Data FOR UPDATE"));

    e.entryForm->prepareShowing();
    e.entryForm->titleEdit->setText(QStringLiteral("Félbeszakadt írás"));
    e.prompter().answerFiles({file});
    e.entryForm->chooseFileButton->click();
    e.prompter().clear();
    const quint64 id = e.data().recordStore.serverThreadId();
    WhenWriteWaits strike(server->settings(), [&] {
        if (fault == QLatin1String("connection killed"))
            Other(server->settings(), QString()).run(QStringLiteral("KILL %1").arg(id));
        else if (fault == QLatin1String("server crashed"))
            server->kill();
        else
            server->shutdown();
    });
    // While the question is on the screen the server is back and the lock is gone.
    e.prompter().onShown = [&](const Shown& s) {
        if (s.kind != QLatin1String("question"))
            return;
        if (fault == QLatin1String("connection killed"))
            holder->run(QStringLiteral("ROLLBACK"));
        else
            server->start();
        holder.reset();
    };
    e.prompter().answerQuestions({true});
    e.entryForm->storeClicked();
    QVERIFY(strike.done());

    const QList<Shown>& shown = e.prompter().shown;
    QCOMPARE(shown.size(), 3);
    QVERIFY2(isHookBox(shown[0]), qPrintable(shown[0].text));
    QCOMPARE(shown[1], questionBox(kPostQuestion));
    QCOMPARE(shown[2], resultBox(kStored));
    Other check(server->settings(), e.db.name());
    QCOMPARE(check.run(QStringLiteral("SELECT CONCAT_WS('|', COUNT(*), MIN(OCTET_LENGTH(FILE)), "
                                      "MIN(FMER)) FROM tbl_Data WHERE CIM = 'Félbeszakadt írás'")),
             QStringLiteral("1|%1|%1").arg(qint64(mib) * 1024 * 1024));
    QCOMPARE(check.run(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("1"));
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

// The server dies while a large file is still on its way to it, before the statement that
// would store it ran: nothing was written, so the user is asked as after any other lost
// write, and Yes (with the server back) stores the record once, whole.
void FaultsTest::serverKilledDuringUploadAsksToRetry_data() {
    QTest::addColumn<bool>("modification"); // else a new record
    QTest::addColumn<int>("killAtMib");     // of the file sent so far
    QTest::newRow("new record, first piece") << false << 1;
    QTest::newRow("new record, midway") << false << 24;
    QTest::newRow("new record, last piece") << false << 47;
    // The modification sends its file inside the transaction of its check: ending that
    // transaction on the dead session must not try the server again with a box of its own.
    QTest::newRow("modification, first piece") << true << 1;
    QTest::newRow("modification, midway") << true << 24;
}

void FaultsTest::serverKilledDuringUploadAsksToRetry() {
    QFETCH(bool, modification);
    QFETCH(int, killAtMib);
    constexpr int kMib = 48;
    EditingApp e;
    const QString file = makeFile(e.app.folder.path(), kMib);
    RecordForm* form = e.entryForm;
    if (modification) {
        e.addRecord(QStringLiteral("Feltöltés közben"));
        e.openForModification(QStringLiteral("Feltöltés közben"));
        form = e.modificationForm;
    } else {
        e.entryForm->prepareShowing();
        e.entryForm->titleEdit->setText(QStringLiteral("Feltöltés közben"));
    }
    e.prompter().answerFiles({file});
    form->chooseFileButton->click();
    e.prompter().clear();
    bool killed = false;
    e.prompter().onProgressStep = [&](qint64 sent) {
        if (!killed && sent >= qint64(killAtMib) * 1024 * 1024) {
            killed = true;
            server->kill();
        }
    };
    e.prompter().onShown = [&](const Shown& s) {
        if (s.kind == QLatin1String("question") && !server->isRunning())
            server->start();
    };
    e.prompter().answerQuestions({true});
    form->storeClicked();
    e.prompter().onProgressStep = nullptr;
    QVERIFY(killed);

    const QList<Shown>& shown = e.prompter().shown;
    QCOMPARE(shown.size(), 3);
    QVERIFY2(isHookBox(shown[0]), qPrintable(shown[0].text));
    QCOMPARE(shown[1], questionBox(kPostQuestion));
    QCOMPARE(shown[2], resultBox(modification ? kModified : kStored));
    Other check(server->settings(), e.db.name());
    QCOMPARE(check.run(QStringLiteral("SELECT CONCAT_WS('|', COUNT(*), MIN(OCTET_LENGTH(FILE)), "
                                      "MIN(FMER)) FROM tbl_Data WHERE CIM = 'Feltöltés közben'")),
             QStringLiteral("1|%1|%1").arg(qint64(kMib) * 1024 * 1024));
    QCOMPARE(check.run(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("1"));
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

// The server has stored the row when the connection goes (a table that keeps what it wrote
// even when the statement is cut short, as a non-transactional one does): the program finds
// the row by its exact title, says it is stored, and asks nothing, so it is never written twice.
void FaultsTest::writeDoneBeforeLossIsNotDoneAgain() {
    EditingApp e;
    e.db.exec(QStringLiteral("ALTER TABLE tbl_Data ENGINE = MyISAM"));
    e.db.exec(QStringLiteral(
        "CREATE TRIGGER kx_slow AFTER INSERT ON tbl_Data FOR EACH ROW SET @kx = SLEEP(20)"));
    e.addRecord(QStringLiteral("Tárolt írás előtt"));
    e.db.exec(QStringLiteral("DELETE FROM tbl_Data"));
    e.refresh();
    e.entryForm->prepareShowing();
    e.entryForm->titleEdit->setText(QStringLiteral("Tárolt írás"));
    e.prompter().clear();
    const quint64 id = e.data().recordStore.serverThreadId();
    WhenWriteWaits strike(
        server->settings(),
        [&] { Other(server->settings(), QString()).run(QStringLiteral("KILL %1").arg(id)); },
        // A statement of the program that has run for a second: the insert, in its trigger.
        QStringLiteral("ID = %1 AND COMMAND = 'Execute' AND TIME >= 1").arg(id));
    QElapsedTimer t;
    t.start();
    e.entryForm->storeClicked();
    QVERIFY(strike.done());
    QVERIFY(t.elapsed() < 15000); // cut short by the kill, not ended by the trigger
    const QList<Shown>& shown = e.prompter().shown;
    QCOMPARE(shown.size(), 2);
    QVERIFY2(isHookBox(shown[0]), qPrintable(shown[0].text));
    QCOMPARE(shown[1], resultBox(kStored));
    Other check(server->settings(), e.db.name());
    QCOMPARE(check.run(QStringLiteral("SELECT GROUP_CONCAT(CIM) FROM tbl_Data")),
             QStringLiteral("Tárolt írás"));
    QCOMPARE(e.entryForm->titleEdit->text(), QString()); // the form goes on as after any store
}

void FaultsTest::changeAndDeletionLostMidwayTellTheTruth_data() {
    QTest::addColumn<bool>("deletion");
    QTest::newRow("change") << false;
    QTest::newRow("deletion") << true;
}

// A change or a deletion whose connection is killed: looked up by key. A deletion the server
// has not done is asked about and done on Yes; a change is written again by key, which gives
// the same row once.
void FaultsTest::changeAndDeletionLostMidwayTellTheTruth() {
    QFETCH(bool, deletion);
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Régi cím"), {QStringLiteral("KSZO")},
                                   {QStringLiteral("'régi'")});
    e.addRecord(QStringLiteral("Másik"));
    Table& t = e.data().recordTable;
    QVERIFY(t.locate(QStringLiteral("CIM"), QStringLiteral("Régi cím"), false));
    if (!deletion) {
        t.edit();
        t.setField(QStringLiteral("KSZO"), QStringLiteral("új"));
    }
    auto holder = std::make_unique<Other>(server->settings(), e.db.name());
    holder->run(QStringLiteral("START TRANSACTION"));
    holder->run(QStringLiteral("SELECT * FROM tbl_Data WHERE AZ = %1 FOR UPDATE").arg(key));
    const quint64 id = e.data().recordStore.serverThreadId();
    WhenWriteWaits strike(server->settings(), [&] {
        Other(server->settings(), QString()).run(QStringLiteral("KILL %1").arg(id));
    });
    e.prompter().clear();
    e.prompter().onShown = [&](const Shown& s) {
        if (s.kind == QLatin1String("question"))
            holder.reset(); // the other workstation ends its transaction
    };
    e.prompter().answerQuestions({true});
    const QString question =
        deletion ? QStringLiteral(
                       "Adatrekord nem törölhető (másik felhasználó zárolta) ! Megpróbáljuk újra ?")
                 : kPostQuestion;
    try {
        if (deletion) {
            t.deleteRecord();
        } else {
            t.post();
        }
    } catch (...) {
        QFAIL("the retry did not succeed");
    }
    QVERIFY(strike.done());
    QCOMPARE(e.prompter().shown.size(), 2);
    QVERIFY(isHookBox(e.prompter().shown[0]));
    QCOMPARE(e.prompter().shown[1], questionBox(question));
    Other check(server->settings(), e.db.name());
    QCOMPARE(check.run(QStringLiteral(
                 "SELECT GROUP_CONCAT(CONCAT(CIM, ':', IFNULL(KSZO, '-')) ORDER BY AZ) "
                 "FROM tbl_Data")),
             deletion ? QStringLiteral("Másik:-") : QStringLiteral("Régi cím:új,Másik:-"));
}

// The server stops answering (SIGSTOP) while a write runs: the wait ends with the client
// library's own message after the read timeout (shortened here), the user is asked, and once
// the server goes on the record is there once.
void FaultsTest::frozenServerEndsTheWait() {
    MariaConnection::setTimeoutsForTesting(3, 3);
    EditingApp e;
    auto holder = std::make_unique<Other>(server->settings(), e.db.name());
    holder->run(QStringLiteral("START TRANSACTION"));
    holder->run(QStringLiteral("SELECT * FROM tbl_Data FOR UPDATE"));
    e.entryForm->prepareShowing();
    e.entryForm->titleEdit->setText(QStringLiteral("Fagyott szerver"));
    e.prompter().clear();
    WhenWriteWaits strike(server->settings(), [&] { server->freeze(); });
    e.prompter().onShown = [&](const Shown& s) {
        if (s.kind != QLatin1String("question"))
            return;
        server->thaw();
        holder.reset();
    };
    e.prompter().answerQuestions({true});
    QElapsedTimer t;
    t.start();
    e.entryForm->storeClicked();
    const qint64 waited = t.elapsed();
    MariaConnection::setTimeoutsForTesting(MariaConnection::kConnectTimeoutSeconds,
                                           MariaConnection::kIoTimeoutSeconds);
    QVERIFY(strike.done());
    const QList<Shown>& shown = e.prompter().shown;
    QCOMPARE(shown.size(), 3);
    QVERIFY2(isHookBox(shown[0]), qPrintable(shown[0].text));
    qInfo("frozen server: \"%s\", answered after %lld ms", qPrintable(shown[0].text), waited);
    QCOMPARE(shown[1], questionBox(kPostQuestion));
    QCOMPARE(shown[2], resultBox(kStored));
    // Bounded: the timeouts, not the 60 s of the freeze the user would otherwise sit through.
    QVERIFY2(waited < 40000, qPrintable(QString::number(waited)));
    Other check(server->settings(), e.db.name());
    QCOMPARE(
        check.run(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE CIM = 'Fagyott szerver'")),
        QStringLiteral("1"));
}

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"

// What happens where things meet: a store cancelled inside its transaction, long work whose
// event loop meets queued data work, a connection the server dropped while it sat idle, a
// failure between a write and the reading after it. Each with a real second connection as
// the other workstation; every command is also checked to leave no transaction open.
#include "browsing/DeletionForm.h"
#include "browsing/RecordBrowser.h"
#include "browsing/RecordListReport.h"
#include "data/query/Query.h"
#include "data/records/RecordSearch.h"
#include "data/table/Table.h"
#include "platform/ReportEngine.h"
#include "statistics/StatisticsWindow.h"
#include "support/CuttingProxy.h"
#include "support/EditingApp.h"
#include "support/OutputFiles.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <mysql.h>

using namespace kx;
using namespace kx::test;

namespace {

constexpr qint64 kBigFile = 24 * 1024 * 1024; // above the progress window's threshold

const QString kStored = QStringLiteral("Adatok tárolása megtörtént !");
const QString kModified = QStringLiteral("Adatok módosítása megtörtént !");
const QString kChangedElsewhere =
    QStringLiteral("Az adatrekordot időközben egy másik felhasználó módosította ! Felülírjuk ?");
const QString kWriteRefused = QStringLiteral(
    "Adatok kiírása nem sikerült (másik felhasználó zárolta a táblát) ! Megpróbáljuk újra ?");

// The other workstation: its own session on the same record store, with a short lock wait so
// that a row this program left locked shows as a failure, not as a long wait.
struct OtherWorkstation {
    explicit OtherWorkstation(const TestDatabase& db) {
        conn.setParams(db.otherWorkstation());
        conn.open();
        conn.execute(QStringLiteral("SET SESSION innodb_lock_wait_timeout = 2"));
    }
    MariaConnection conn;
};

// Ends every session of the program on this database, as the server's wait_timeout does to a
// program left idle overnight.
void dropProgramSessions(TestDatabase& db) {
    const QString ids =
        db.scalar(QStringLiteral("SELECT GROUP_CONCAT(ID) FROM information_schema.PROCESSLIST "
                                 "WHERE DB = '%1' AND ID <> CONNECTION_ID()")
                      .arg(db.name()));
    for (const QString& id : ids.split(QLatin1Char(','), Qt::SkipEmptyParts))
        mysql_query(db.admin(), QStringLiteral("KILL %1").arg(id).toLatin1().constData());
}

} // namespace

class InterleavingsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cancelledStoreEndsItsTransaction_data();
    void cancelledStoreEndsItsTransaction();
    void ownWriteIsNeverTakenForAnother();
    void lostCommitAnswerIsLookedUpNotAsked();
    void longWorkMeetsQueuedDataWork_data();
    void longWorkMeetsQueuedDataWork();
    void idleSessionsDroppedByTheServer();
    void failedRefreshKeepsTheSearch();
    void failedShowingLeavesNothingToDelete();

private:
    QTemporaryDir m_files;
    QString m_big;
};

void InterleavingsTest::initTestCase() {
    m_big = m_files.filePath(QStringLiteral("nagy.bin"));
    QFile f(m_big);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < kBigFile / block.size(); ++i) {
        block.fill(char(i * 5 + 3));
        QCOMPARE(f.write(block), qint64(block.size()));
    }
}

void InterleavingsTest::cancelledStoreEndsItsTransaction_data() {
    QTest::addColumn<double>("cancelAt");
    QTest::newRow("Mégse early in the transfer") << 0.1;
    QTest::newRow("Mégse late in the transfer") << 0.9;
}

// "Mégse" while the modification form sends a large file ends the store inside its
// transaction: the row is locked and checked by then. Nothing of it may stay open: the other
// workstation writes the row at once, and a record stored afterwards is committed.
void InterleavingsTest::cancelledStoreEndsItsTransaction() {
    QFETCH(double, cancelAt);
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Régi"));
    OtherWorkstation other(e.db);
    e.openForModification(QStringLiteral("Régi"));
    ModificationForm* form = e.modificationForm;
    e.prompter().answerFiles({m_big});
    form->chooseFileButton->click();
    e.prompter().clear();
    e.prompter().cancelProgressAt(cancelAt);
    form->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{});
    QCOMPARE(e.prompter().progresses.size(), 1);
    QVERIFY(e.prompter().progresses[0].cancelledAt >= 0);
    QVERIFY(!e.data().recordStore.inTransaction());

    // The row is free for others at once.
    QCOMPARE(other.conn.execute(
                 QStringLiteral("UPDATE tbl_Data SET TIP = 'máshol' WHERE AZ = %1").arg(key)),
             quint64(1));

    // A record stored now is stored for good: another session sees it.
    form->done(QDialog::Rejected);
    EntryForm* entry = e.entryForm;
    entry->prepareShowing();
    entry->titleEdit->setText(QStringLiteral("Utána"));
    e.prompter().clear();
    entry->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kStored)});
    QCOMPARE(other.conn.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE CIM = 'Utána'")),
             QStringLiteral("1"));
    QCOMPARE(other.conn.scalar(
                 QStringLiteral("SELECT FILE IS NULL FROM tbl_Data WHERE AZ = %1").arg(key)),
             QStringLiteral("1"));
}

// A store whose record write succeeded but whose command then failed (here the server refused
// the new category's list row, and the retry was declined) leaves the form open. Storing again
// writes over the program's own change without asking about "another user".
void InterleavingsTest::ownWriteIsNeverTakenForAnother() {
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Saját"));
    e.db.exec(
        QStringLiteral("ALTER TABLE tbl_Kat ADD CONSTRAINT kx_refused CHECK (KAT <> 'tiltott')"));
    e.openForModification(QStringLiteral("Saját"));
    ModificationForm* form = e.modificationForm;
    form->keywordsEdit->setText(QStringLiteral("első"));
    form->categoryBox->setEditText(QStringLiteral("tiltott"));
    e.prompter().clear();
    e.prompter().answerQuestions({false});
    form->storeClicked();
    QCOMPARE(e.prompter().shown.size(), 2);
    QVERIFY2(isHookBox(e.prompter().shown[0]), qPrintable(e.prompter().shown[0].text));
    QCOMPARE(e.prompter().shown[1], questionBox(kWriteRefused));
    QCOMPARE(e.value(QStringLiteral("SELECT KSZO FROM tbl_Data WHERE AZ = %1").arg(key)),
             QStringLiteral("első"));

    form->keywordsEdit->setText(QStringLiteral("második"));
    form->categoryBox->setEditText(QStringLiteral("engedett"));
    e.prompter().clear();
    form->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kModified)});
    QCOMPARE(e.value(QStringLiteral("SELECT KSZO FROM tbl_Data WHERE AZ = %1").arg(key)),
             QStringLiteral("második"));
}

// The COMMIT of a modification reaches the server, but its answer is lost with the
// connection. The retry the user agrees to finds the program's own change stored: it asks
// nothing about "another user", and the record holds the change once.
void InterleavingsTest::lostCommitAnswerIsLookedUpNotAsked() {
    TestDatabase db;
    const ConnectionParams direct = db.params();
    CuttingProxy proxy(direct.server, direct.port.toUShort());
    ConnectionParams viaProxy = direct;
    viaProxy.port = QString::number(proxy.port());
    TestApp app;
    app.startUp(viaProxy);
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, KSZO) VALUES ('Válasz nélkül', 'régi')"));
    SharedData& data = app.data();
    data.recordTable.refresh();
    data.recordQuery.refresh();
    QVERIFY(data.recordTable.locate(QStringLiteral("CIM"), QStringLiteral("Válasz nélkül"), false));
    for (data.recordQuery.first(); !data.recordQuery.eof(); data.recordQuery.next())
        if (data.recordQuery.asString(QStringLiteral("CIM")) == QLatin1String("Válasz nélkül"))
            break;
    auto* form = app.mainWindow->findChild<ModificationForm*>();
    QVERIFY(form);
    form->prepareShowing();
    form->keywordsEdit->setText(QStringLiteral("új"));
    app.prompter.clear();
    app.prompter.answerQuestions({true, true});
    proxy.cutAtNextCommit();
    form->storeClicked();
    QVERIFY(proxy.hasCut());

    const QList<Shown>& shown = app.prompter.shown;
    QCOMPARE(shown.size(), 3);
    QVERIFY2(isHookBox(shown[0]), qPrintable(shown[0].text));
    QCOMPARE(shown[1], questionBox(kWriteRefused));
    QCOMPARE(shown[2], resultBox(kModified));
    QCOMPARE(db.scalar(QStringLiteral("SELECT GROUP_CONCAT(KSZO) FROM tbl_Data")),
             QStringLiteral("új"));
}

enum class LongOperation { SaveStoredFile, StoreFile, ListPdf, Statistics };
Q_DECLARE_METATYPE(LongOperation)

void InterleavingsTest::longWorkMeetsQueuedDataWork_data() {
    QTest::addColumn<LongOperation>("operation");
    QTest::addColumn<bool>("refreshAskedMeanwhile");
    const QList<QPair<const char*, LongOperation>> operations{
        {"saving a stored file", LongOperation::SaveStoredFile},
        {"storing a file", LongOperation::StoreFile},
        {"the list as PDF", LongOperation::ListPdf},
        {"the statistics", LongOperation::Statistics}};
    for (const auto& [name, op] : operations) {
        QTest::addRow("%s, the rest of a long result arrives", name) << op << false;
        QTest::addRow("%s, and a refresh asked for while it was read", name) << op << true;
    }
}

// Long work runs the event loop at its steps (the real progress window does, to repaint and
// hear "Mégse"). The rest of a long record result read meanwhile, and a refresh asked for
// while it was read, must wait until the long work has ended: they would send statements on
// the connection the long work uses, or change rows under it. Afterwards they arrive.
void InterleavingsTest::longWorkMeetsQueuedDataWork() {
    QFETCH(LongOperation, operation);
    QFETCH(bool, refreshAskedMeanwhile);
    EditingApp e;
    e.addRecord(QStringLiteral("Aaa fájllal"));
    e.db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, TIP) SELECT CONCAT('Rekord ', "
                             "LPAD(seq, 6, '0')), 'Cikk' FROM seq_1_to_3000"));
    {
        Table& t = e.data().recordTable;
        QVERIFY(t.locate(QStringLiteral("CIM"), QStringLiteral("Aaa fájllal"), false));
        t.edit();
        t.setField(QStringLiteral("FNEV"), QStringLiteral("nagy.bin"));
        t.setFieldFromFile(QStringLiteral("FILE"), m_big);
        t.post();
    }
    Query& query = e.data().recordQuery;
    e.refresh();
    query.first(); // "Aaa fájllal" comes first by title
    QCOMPARE(query.asString(QStringLiteral("CIM")), QStringLiteral("Aaa fájllal"));

    // Opens the record query again: the first screen at once, the rest on the reading thread.
    const auto startLongRead = [&] {
        query.close();
        query.open();
        QVERIFY(query.isReading());
        if (refreshAskedMeanwhile)
            query.refresh();
    };
    bool readDuringWork = false;
    int stepsSeen = 0;
    e.prompter().onProgressStep = [&](qint64) {
        if (stepsSeen++ > 0)
            return;
        // The whole result has long been read when this wait ends; what it posted is handled
        // here, as inside the real window.
        QTest::qWait(1500);
        readDuringWork = !query.isReading();
    };

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("ki.bin"));
    switch (operation) {
    case LongOperation::SaveStoredFile: {
        auto* browser = e.app.mainWindow->findChild<RecordBrowser*>();
        QVERIFY(browser);
        QVERIFY(insideModal(
            browser,
            [&] {
                startLongRead();
                query.first();
                e.prompter().clear();
                e.prompter().answerFiles({target});
                browser->saveFileButton->click();
            },
            [&] { e.app.mainWindow->gridListAction->trigger(); }));
        QCOMPARE(hashOf(target), hashOf(m_big));
        break;
    }
    case LongOperation::StoreFile: {
        EntryForm* form = e.entryForm;
        form->prepareShowing();
        form->titleEdit->setText(QStringLiteral("Új fájllal"));
        e.prompter().answerFiles({m_big});
        form->chooseFileButton->click();
        startLongRead();
        e.prompter().clear();
        form->storeClicked();
        QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kStored)});
        QCOMPARE(
            e.value(QStringLiteral("SELECT LENGTH(FILE) FROM tbl_Data WHERE CIM = 'Új fájllal'")),
            QString::number(kBigFile));
        break;
    }
    case LongOperation::ListPdf: {
        auto* list = e.app.mainWindow->findChild<RecordListReport*>();
        QVERIFY(list);
        startLongRead();
        e.prompter().clear();
        bool whole = false;
        list->withRecords([&](Report& r) { whole = r.writePdf(target); });
        QVERIFY(whole);
        QVERIFY(QFileInfo(target).size() > 1000);
        break;
    }
    case LongOperation::Statistics: {
        auto* stats = e.app.mainWindow->findChild<StatisticsWindow*>();
        QVERIFY(stats);
        QVERIFY(insideModal(
            stats,
            [&] {
                startLongRead();
                e.prompter().clear();
                stats->collectButton->click();
            },
            [&] { e.app.mainWindow->menuStatisticsAction->trigger(); }));
        break;
    }
    }
    for (const Shown& s : std::as_const(e.prompter().shown))
        QVERIFY2(s.kind != QLatin1String("error") && !isHookBox(s), qPrintable(s.text));
    QVERIFY(stepsSeen > 0);
    // The printout takes the whole result before it starts; the others go on without it.
    if (operation != LongOperation::ListPdf)
        QVERIFY2(!readDuringWork, "the read's end was handled inside the long work");
    // Once the long work is over, what waited is done.
    QTRY_VERIFY(!query.isReading());
    QVERIFY(query.isOpen());
    QCOMPARE(query.recordCount(), e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")).toInt());
}

// The server ends idle sessions (wait_timeout, a restart): the next commands work on new
// sessions without a word, the record query's reading connection included.
void InterleavingsTest::idleSessionsDroppedByTheServer() {
    EditingApp e;
    e.db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM) SELECT CONCAT('Rekord ', LPAD(seq, 5, "
                             "'0')) FROM seq_1_to_1000"));
    Query& query = e.data().recordQuery;
    e.data().records.search(QString(),
                            SearchColumns::Menu); // a long result: its rest on the reading thread
    QTRY_VERIFY(!query.isReading());
    QCOMPARE(query.recordCount(), 1000);
    e.prompter().clear();

    for (int round = 0; round < 2; ++round) {
        dropProgramSessions(e.db);
        QTest::qWait(100);
        e.db.exec(QStringLiteral("UPDATE tbl_Data SET TIP = 'új %1' WHERE CIM = 'Rekord 00001'")
                      .arg(round));
        // "Listázás": the grid's search again, all records, on both connections.
        QCOMPARE(e.data().records.search(QString(), SearchColumns::Menu), 1000);
        QTRY_VERIFY(!query.isReading());
        QCOMPARE(e.prompter().shown, QList<Shown>{});
        e.selectInGrid(QStringLiteral("Rekord 00001"));
        QCOMPARE(query.asString(QStringLiteral("TIP")), QStringLiteral("új %1").arg(round));
    }
    // A refresh after another drop, and the table's own reading.
    dropProgramSessions(e.db);
    QTest::qWait(100);
    e.data().records.refresh();
    QCOMPARE(e.data().records.storedCount(), 1000);
    QCOMPARE(e.prompter().shown, QList<Shown>{});
}

// A refresh that fails closes the record query; the next one runs the search in force again,
// not all records.
void InterleavingsTest::failedRefreshKeepsTheSearch() {
    EditingApp e;
    e.addRecord(QStringLiteral("Alma"));
    e.addRecord(QStringLiteral("Körte"));
    QCOMPARE(e.data().records.search(QStringLiteral("Alma"), SearchColumns::Menu), 1);
    e.db.exec(QStringLiteral("RENAME TABLE tbl_Data TO tbl_Data_el"));
    e.prompter().clear();
    QVERIFY_THROWS_EXCEPTION(DbError, e.data().recordQuery.refresh());
    QVERIFY(!e.data().recordQuery.isOpen());
    e.db.exec(QStringLiteral("RENAME TABLE tbl_Data_el TO tbl_Data"));
    e.data().records.refresh();
    QCOMPARE(e.data().records.shownCount(), 1);
    QCOMPARE(e.data().recordQuery.asString(QStringLiteral("CIM")), QStringLiteral("Alma"));
}

// A showing of the deletion form that failed shows nothing, so "Törlés" has nothing to
// delete: the record stays, and the user is told it is not found.
void InterleavingsTest::failedShowingLeavesNothingToDelete() {
    EditingApp e;
    e.addRecord(QStringLiteral("Marad"));
    e.selectInGrid(QStringLiteral("Marad"));
    QVERIFY(e.data().recordTable.locate(QStringLiteral("CIM"), QStringLiteral("Marad"), false));
    auto* form = e.app.mainWindow->findChild<DeletionForm*>();
    QVERIFY(form);
    // The count still works; reading what the form shows of the record fails.
    e.db.exec(QStringLiteral("ALTER TABLE tbl_Data DROP COLUMN KSZO"));
    e.prompter().clear();
    form->prepareShowing();
    QVERIFY(!e.prompter().shown.isEmpty()); // the failure was shown
    e.db.exec(QStringLiteral("ALTER TABLE tbl_Data ADD COLUMN KSZO VARCHAR(750) NULL AFTER KAT"));
    e.prompter().clear();
    e.prompter().answerQuestions({true, true});
    form->deleteClicked();
    QCOMPARE(e.prompter().shown,
             QList<Shown>{warningBox(QStringLiteral("Nem található az adatrekord !"))});
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("1"));
}

QTEST_MAIN(InterleavingsTest)
#include "tst_interleavings.moc"

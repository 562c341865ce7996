// Long work under a progress window: the window itself (after half a second, "Mégse"), and
// cancelling a record-list PDF, saving a stored file and storing a file half way, and the
// statistics collection: nothing half-written at the chosen name, no row added, the work
// stopped at the step that was cancelled, and the program still working afterwards.
#include "browsing/RecordBrowser.h"
#include "browsing/RecordListReport.h"
#include "browsing/RecordNavigator.h"
#include "data/table/Table.h"
#include "platform/Progress.h"
#include "platform/ReportEngine.h"
#include "statistics/StatisticsWindow.h"
#include "support/EditingApp.h"
#include "support/OutputFiles.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace kx;
using namespace kx::test;

namespace {

constexpr qint64 kBigFile = 200 * 1024 * 1024;

QProgressDialog* visibleProgressDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible())
            return d;
    return nullptr;
}

// Checks the run was cancelled at or past half its total and took no step after that.
void checkCancelledHalfWay(const RecordingPrompter::ProgressRun& run) {
    QVERIFY2(
        run.cancelledAt >= run.total / 2 && run.cancelledAt < run.total,
        qPrintable(QStringLiteral("cancelled at %1 of %2").arg(run.cancelledAt).arg(run.total)));
    QCOMPARE(run.steps.last(), run.cancelledAt);
}

// What a folder holds, hidden files included: a cancelled output leaves no temporary file.
QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class LongWorkTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void progressWindowAfterHalfASecondStopsOnMegse();
    void cancelListPdfHalfWay_data();
    void cancelListPdfHalfWay();
    void cancelSavingLargeFile_data();
    void cancelSavingLargeFile();
    void cancelledSaveStopsTheServerSending();
    void cancelStoringLargeFile();
    void cancelStatisticsRemovesItsRowsOnClosing_data();
    void cancelStatisticsRemovesItsRowsOnClosing();

private:
    QTemporaryDir m_files;
    QString m_big; // 200 MB of varied bytes
};

void LongWorkTest::initTestCase() {
    m_big = m_files.filePath(QStringLiteral("nagy fájl.bin"));
    QFile f(m_big);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < kBigFile / block.size(); ++i) {
        block.fill(char(i * 7 + 1));
        block[0] = char(i);
        QCOMPARE(f.write(block), qint64(block.size()));
    }
}

void LongWorkTest::progressWindowAfterHalfASecondStopsOnMegse() {
    QWidget owner;
    owner.show();
    QtProgress progress(QStringLiteral("Dolgozom"), 100);
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    // Short work shows nothing.
    while (clock.elapsed() < QtProgress::kShowAfterMs - 150) {
        QVERIFY(progress.step(++done));
        QTest::qWait(10);
    }
    QVERIFY(!visibleProgressDialog());
    // Past half a second the window is up, modal, with its "Mégse" button.
    while (!visibleProgressDialog() && clock.elapsed() < 5000) {
        QVERIFY(progress.step(++done));
        QTest::qWait(10);
    }
    QProgressDialog* dialog = visibleProgressDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isModal());
    QCOMPARE(dialog->labelText(), QStringLiteral("Dolgozom"));
    QPushButton* cancel = dialog->findChild<QPushButton*>();
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QStringLiteral("Mégse"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QTest::qWait(40); // past the pause between looks at the events
    QVERIFY(!progress.step(++done));
    QVERIFY(!progress.step(++done)); // stays stopped
}

void LongWorkTest::cancelListPdfHalfWay_data() {
    QTest::addColumn<bool>("earlierFile"); // a file of that name exists before
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancelled: no file") << false << true;
    QTest::newRow("cancelled: the earlier file stays as it was") << true << true;
    QTest::newRow("not cancelled: the whole list replaces it") << true << false;
}

void LongWorkTest::cancelListPdfHalfWay() {
    QFETCH(bool, earlierFile);
    QFETCH(bool, cancel);
    EditingApp e;
    const int records = 120;
    e.db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, LEIRAS) SELECT CONCAT('Rekord ', "
                             "LPAD(seq, 4, '0')), REPEAT('szöveg ', 40) FROM seq_1_to_%1")
                  .arg(records));
    e.refresh();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lista.pdf"));
    if (earlierFile) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("korábbi");
    }
    const QByteArray before = hashOf(path);

    auto* list = e.app.mainWindow->findChild<RecordListReport*>();
    QVERIFY(list);
    if (cancel)
        e.prompter().cancelProgressAt(0.5);
    bool whole = false;
    list->withRecords([&](Report& r) { whole = r.writePdf(path); });

    QCOMPARE(e.prompter().progresses.size(), 1);
    const RecordingPrompter::ProgressRun& run = e.prompter().progresses.first();
    QCOMPARE(run.text, QStringLiteral("Mentés PDF fájlba..."));
    QCOMPARE(run.total, qint64(records));
    QCOMPARE(e.prompter().shown, QList<Shown>{});
    QCOMPARE(filesIn(dir.path()),
             QStringList{QStringLiteral("lista.pdf")}.mid(0, earlierFile || !cancel ? 1 : 0));
    if (cancel) {
        QVERIFY(!whole);
        checkCancelledHalfWay(run);
        QCOMPARE(hashOf(path), before);
    } else {
        QVERIFY(whole);
        QCOMPARE(run.steps.size(), records);
        QVERIFY(QFile(path).size() > 1000);
        QVERIFY(QFileInfo(path).permissions() & QFile::ReadGroup); // not the 0600 of a temp
    }
}

void LongWorkTest::cancelSavingLargeFile_data() {
    QTest::addColumn<bool>("earlierFile");
    QTest::newRow("no file of that name") << false;
    QTest::newRow("an earlier file stays as it was") << true;
}

void LongWorkTest::cancelSavingLargeFile() {
    QFETCH(bool, earlierFile);
    EditingApp e;
    Table& t = e.data().recordTable;
    t.append();
    t.setField(QStringLiteral("CIM"), QStringLiteral("Nagy"));
    t.setField(QStringLiteral("FNEV"), QStringLiteral("nagy fájl.bin"));
    t.setFieldFromFile(QStringLiteral("FILE"), m_big);
    t.post();
    e.refresh();
    e.selectInGrid(QStringLiteral("Nagy"));

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("mentett.bin"));
    if (earlierFile) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("korábbi");
    }
    const QByteArray before = hashOf(target);
    auto* browser = e.app.mainWindow->findChild<RecordBrowser*>();
    QVERIFY(browser);
    e.prompter().clear();
    QVERIFY(insideModal(
        browser,
        [&] {
            e.prompter().answerFiles({target, target});
            e.prompter().cancelProgressAt(0.5);
            browser->saveFileButton->click();
            QCOMPARE(e.prompter().shown.size(), 1); // the save dialog, nothing after it
            QCOMPARE(e.prompter().shown[0].kind, QStringLiteral("saveFile"));
            QCOMPARE(e.prompter().progresses.size(), 1);
            checkCancelledHalfWay(e.prompter().progresses[0]);
            QCOMPARE(e.prompter().progresses[0].total, kBigFile);
            QCOMPARE(hashOf(target), before);
            QCOMPARE(filesIn(dir.path()),
                     QStringList{QStringLiteral("mentett.bin")}.mid(0, earlierFile ? 1 : 0));

            // The connection is whole after the stream was cut: saving again works.
            browser->saveFileButton->click();
            QCOMPARE(e.prompter().shown.size(), 2);
            QCOMPARE(e.prompter().progresses[1].cancelledAt, qint64(-1));
            QCOMPARE(hashOf(target), hashOf(m_big));
        },
        [&] { e.app.mainWindow->gridListAction->trigger(); }));
}

// Bytes the server has sent on all its connections, those that ended included.
qint64 serverBytesSent(TestDatabase& db) {
    return db
        .scalar(QStringLiteral("SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS "
                               "WHERE VARIABLE_NAME = 'BYTES_SENT'"))
        .toLongLong();
}

void LongWorkTest::cancelledSaveStopsTheServerSending() {
    EditingApp e;
    Table& t = e.data().recordTable;
    t.append();
    t.setField(QStringLiteral("CIM"), QStringLiteral("Nagy"));
    t.setField(QStringLiteral("FNEV"), QStringLiteral("nagy fájl.bin"));
    t.setFieldFromFile(QStringLiteral("FILE"), m_big);
    t.post();
    e.addRecord(QStringLiteral("Utána"), {QStringLiteral("FNEV"), QStringLiteral("FILE")},
                {QStringLiteral("'kicsi.txt'"), QStringLiteral("REPEAT('kicsi', 1000)")});
    e.selectInGrid(QStringLiteral("Nagy"));

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("mentett.bin"));
    const QString small = dir.filePath(QStringLiteral("kicsi.txt"));
    auto* browser = e.app.mainWindow->findChild<RecordBrowser*>();
    QVERIFY(browser);
    e.prompter().clear();
    qint64 sentBefore = 0;
    qint64 cancelToReturnMs = -1;
    QVERIFY(insideModal(
        browser,
        [&] {
            QElapsedTimer sinceStep;
            e.prompter().onProgressStep = [&](qint64) { sinceStep.start(); };
            e.prompter().answerFiles({target});
            e.prompter().cancelProgressAt(0.25);
            sentBefore = serverBytesSent(e.db);
            browser->saveFileButton->click();
            cancelToReturnMs = sinceStep.elapsed();
            e.prompter().onProgressStep = nullptr;
            QCOMPARE(e.prompter().progresses.size(), 1);
            QVERIFY(e.prompter().progresses[0].cancelledAt < kBigFile / 2);

            // The server stops sending near where the save was stopped: the rest of the file
            // is not read off the connection. It may have sent a few pieces ahead of it.
            qint64 sent = serverBytesSent(e.db);
            for (int i = 0; i < 50; ++i) { // until the ended session has been counted
                QTest::qWait(100);
                const qint64 now = serverBytesSent(e.db);
                if (now == sent)
                    break;
                sent = now;
            }
            const qint64 saveBytes = sent - sentBefore;
            qInfo("the server sent %lld bytes for the cancelled save", saveBytes);
            QVERIFY2(
                saveBytes < kBigFile / 2,
                qPrintable(
                    QStringLiteral("the server sent %1 of %2 bytes").arg(saveBytes).arg(kBigFile)));

            // Every data set on the connection goes on: the browser moves on through the
            // record query and saves another record's file whole.
            browser->navigator->nbNext->click();
            QCOMPARE(browser->titleEdit->text(), QStringLiteral("Utána"));
            e.prompter().answerFiles({small});
            browser->saveFileButton->click();
            QCOMPARE(QFileInfo(small).size(), 5000);
            QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("kicsi.txt")});
        },
        [&] { e.app.mainWindow->gridListAction->trigger(); }));
    qInfo("from the cancelling step to the end of the save: %lld ms", cancelToReturnMs);

    // The record table writes and the lists read on a new session.
    QVERIFY(t.locate(QStringLiteral("CIM"), QStringLiteral("Utána"), false));
    t.edit();
    t.setField(QStringLiteral("KSZO"), QStringLiteral("később"));
    t.post();
    QCOMPARE(e.value(QStringLiteral("SELECT KSZO FROM tbl_Data WHERE CIM = 'Utána'")),
             QStringLiteral("később"));
    e.entryForm->prepareShowing();
    QCOMPARE(e.entryForm->countLabel->text(), QStringLiteral("2"));
    // The two save dialogs and nothing else: no error on the way.
    QCOMPARE(e.prompter().shown.size(), 2);
    QCOMPARE(e.prompter().shown[1].kind, QStringLiteral("saveFile"));
}

void LongWorkTest::cancelStoringLargeFile() {
    EditingApp e;
    EntryForm* form = e.entryForm;
    form->prepareShowing();
    form->titleEdit->setText(QStringLiteral("Nagy fájllal"));
    e.prompter().answerFiles({m_big});
    form->chooseFileButton->click();
    e.prompter().clear();
    e.prompter().cancelProgressAt(0.5);
    form->storeClicked();

    QCOMPARE(e.prompter().shown, QList<Shown>{});
    QCOMPARE(e.prompter().progresses.size(), 1);
    const RecordingPrompter::ProgressRun& run = e.prompter().progresses[0];
    QCOMPARE(run.text, QStringLiteral("Fájl tárolása: nagy fájl.bin"));
    QCOMPARE(run.total, kBigFile);
    checkCancelledHalfWay(run);
    QCOMPARE(e.recordCount(), 0);
    QCOMPARE(e.data().recordTable.state(), TableState::Browse);
    // What the user typed and chose is still there for another try.
    QCOMPARE(form->titleEdit->text(), QStringLiteral("Nagy fájllal"));
    QCOMPARE(form->fileEdit->text(), m_big);

    form->storeClicked();
    QCOMPARE(e.prompter().shown,
             QList<Shown>{resultBox(QStringLiteral("Adatok tárolása megtörtént !"))});
    QCOMPARE(e.recordCount(), 1);
    QCOMPARE(e.value(QStringLiteral("SELECT LENGTH(FILE) FROM tbl_Data")),
             QString::number(kBigFile));
}

void LongWorkTest::cancelStatisticsRemovesItsRowsOnClosing_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<double>("share");
    QTest::addColumn<int>("cancelledAt"); // in rows written and records counted
    QTest::addColumn<int>("rowsWritten");
    // The total is the 18 rows and the records of the pass, which comes after row 14.
    QTest::newRow("in the grouped counts") << 1 << 0.5 << 10 << 10;
    // 100 records: the total is 118, half of it is the 45th record of the pass.
    QTest::newRow("in the record pass") << 100 << 0.5 << 59 << 14;
    QTest::newRow("at the pass's last record") << 100 << 113.5 / 118 << 114 << 14;
    QTest::newRow("after the pass") << 100 << 115.5 / 118 << 116 << 16;
}

void LongWorkTest::cancelStatisticsRemovesItsRowsOnClosing() {
    QFETCH(int, records);
    QFETCH(double, share);
    QFETCH(int, cancelledAt);
    QFETCH(int, rowsWritten);
    EditingApp e;
    // Photos in every other record and a stored file in every tenth: the pass asks the
    // server about both as it goes.
    e.db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, FOTO, FNEV, FMER, FILE) SELECT "
                             "CONCAT('Rekord ', LPAD(seq, 4, '0')), 'Könyv', IF(seq % 2 = 0, "
                             "REPEAT('p', 2000), NULL), IF(seq % 10 = 0, 'f.bin', NULL), "
                             "IF(seq % 10 = 0, 150000, NULL), IF(seq % 10 = 0, REPEAT('f', "
                             "150000), NULL) FROM seq_1_to_%1")
                  .arg(records));
    e.refresh();
    auto* stats = e.app.mainWindow->findChild<StatisticsWindow*>();
    QVERIFY(stats);
    QVERIFY(insideModal(
        stats,
        [&] {
            e.prompter().cancelProgressAt(share);
            stats->collectButton->click();
            QCOMPARE(e.prompter().shown, QList<Shown>{});
            const RecordingPrompter::ProgressRun& run = e.prompter().progresses.last();
            QCOMPARE(run.total, qint64(18 + records));
            QCOMPARE(run.cancelledAt, qint64(cancelledAt));
            QCOMPARE(run.steps.last(), qint64(cancelledAt));
            // One step for each row written and each record counted, up to the one that
            // was cancelled: the pass steps through its records too.
            QList<qint64> expected;
            for (qint64 i = 1; i <= cancelledAt; ++i)
                expected << i;
            QCOMPARE(run.steps, expected);
            const QString written = QString::number(rowsWritten);
            QCOMPARE(stats->rowCountLabel->text(), written);
            QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Tmp")), written);
            QVERIFY(!stats->collectButton->isEnabled());
        },
        [&] { e.app.mainWindow->menuStatisticsAction->trigger(); }));
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Tmp")), QStringLiteral("0"));
}

QTEST_MAIN(LongWorkTest)
#include "tst_longwork.moc"

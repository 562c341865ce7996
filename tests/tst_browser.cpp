// The record browser: its fields follow the record query (and so the main grid), its search
// replaces the grid's content, the reference field opens a web address or searches for the
// term, and a record's stored file is saved back to disk byte for byte.
#include "support/EditingApp.h"
#include "support/FileSizeLimit.h"
#include "support/OutputFiles.h"
#include "support/PictureBytes.h"

#include "browsing/PhotoView.h"
#include "browsing/RecordBrowser.h"
#include "browsing/RecordNavigator.h"
#include "data/sql/DbError.h"
#include "data/text/TextEncodingError.h"
#include "platform/ScreenCursor.h"
#include "platform/ShellRequests.h"

#include <QAction>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cerrno>
#include <cstring>
#include <memory>

using namespace kx;
using namespace kx::test;

namespace {

const QString kNoFile = QStringLiteral("Nincs tárolt fájl ehhez a rekordhoz !");
const QString kWebHint = QStringLiteral("Behívás|Behívás Internet programba !");
const QString kSearchHint =
    QStringLiteral("Keresés|Hivatkozott kifejezés keresése az állományban !");

Shown searchPrompt() {
    return {QStringLiteral("input"), QStringLiteral("Keresés:"),
            QStringLiteral("Keresendő kifejezés:")};
}

Shown hits(int count) {
    return resultBox(QStringLiteral("Találat: %1.").arg(count));
}

// Records what the desktop would have been asked to open.
struct RecordingShell : ShellRequests {
    void open(const QString& address) override {
        opened << address;
    }
    void start(const QString& program) override {
        started << program;
    }
    QStringList opened, started;
};

struct Browsing : EditingApp {
    Browsing() {
        recordBrowser = app.mainWindow->findChild<RecordBrowser*>();
        if (!recordBrowser)
            qFatal("the browser was not created");
        recordBrowser->setShell(shell);
    }
    // Opens the browser from the grid menu on the grid's current row and acts inside it.
    bool inside(const std::function<void()>& act) {
        return insideModal(recordBrowser, act,
                           [this] { app.mainWindow->gridListAction->trigger(); });
    }
    QString shownTitle() const {
        return recordBrowser->titleEdit->text();
    }
    int gridRows() const {
        return app.mainWindow->recordGrid->model()->rowCount();
    }
    RecordBrowser* recordBrowser = nullptr;
    RecordingShell shell;
};

} // namespace

class BrowserTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheGridRecordAndMovesTheGrid();
    void refreshReadsAgainButKeepsTheCounter();
    void referenceHintAndCursor_data();
    void referenceHintAndCursor();
    void referenceClickOpensWebAddress();
    void referenceClickSearches_data();
    void referenceClickSearches();
    void blankReferenceClickDoesNothing();
    void searchCommand_data();
    void searchCommand();
    void searchResultStaysInTheGrid();
    void failedSearchLeavesTheFieldsEmpty();
    void savesStoredFileByteForByte();
    void saveWithoutStoredFileOrCancelled();
    void saveAfterTheFileWentElsewhere_data();
    void saveAfterTheFileWentElsewhere();
    void emptyStoredFileGivesEmptyFile();
    void saveTargetThatCannotBeCreated();
    void saveOnAFullDiskNamesTheCause_data();
    void saveOnAFullDiskNamesTheCause();
    void photoMenuMarksSurviveShowing();
    void printoutHooks();
};

void BrowserTest::showsTheGridRecordAndMovesTheGrid() {
    Browsing b;
    b.addRecord(QStringLiteral("Alma"));
    b.addRecord(
        QStringLiteral("Banán"),
        {QStringLiteral("TIP"), QStringLiteral("KAT"), QStringLiteral("KSZO"),
         QStringLiteral("HIV"), QStringLiteral("DATUM"), QStringLiteral("FELVEV"),
         QStringLiteral("LEIRAS"), QStringLiteral("FOTO"), QStringLiteral("FNEV")},
        {QStringLiteral("'Gyümölcs'"), QStringLiteral("'Sárga'"), QStringLiteral("'hajlott'"),
         QStringLiteral("'www.banan.hu'"), QStringLiteral("'2001.02.03 4:05:06'"),
         QStringLiteral("'Őri Ödön'"), QStringLiteral("'egy\\r\\nkettő'"),
         hexLiteral(bmpOf(QSize(30, 20), QColor(200, 180, 10))), QStringLiteral("'banán.txt'")});
    b.addRecord(QStringLiteral("Citrom"), {QStringLiteral("KSZO"), QStringLiteral("LEIRAS")},
                {QStringLiteral("'savanyú'"), QStringLiteral("'citromos'")});
    b.selectInGrid(QStringLiteral("Banán"));

    QStringList seen;
    QImage picture;
    QStringList afterMoves;
    bool firstEnabled = true, nextEnabled = false, lastAtEndEnabled = true;
    int gridRowAfterNext = -1;
    const bool opened = b.inside([&] {
        RecordBrowser* f = b.recordBrowser;
        seen = {f->windowTitle(),         f->countLabel->text(),
                f->titleEdit->text(),     f->typeEdit->text(),
                f->categoryEdit->text(),  f->keywordsEdit->text(),
                f->referenceEdit->text(), f->recorderEdit->text(),
                f->dateEdit->text(),      f->descriptionEdit->toPlainText(),
                f->fileNameEdit->text()};
        picture = f->photo->picture();
        f->navigator->nbNext->click();
        afterMoves << f->titleEdit->text() + QStringLiteral("|") + f->keywordsEdit->text() +
                          QStringLiteral("|") + f->descriptionEdit->toPlainText() +
                          QStringLiteral("|") + QString::number(f->photo->isEmpty());
        gridRowAfterNext = b.app.mainWindow->recordGrid->currentIndex().row();
        lastAtEndEnabled = f->navigator->nbLast->isEnabled();
        f->navigator->nbFirst->click();
        afterMoves << f->titleEdit->text();
        firstEnabled = f->navigator->nbFirst->isEnabled();
        nextEnabled = f->navigator->nbNext->isEnabled();
        f->closeButton->click();
    });
    QVERIFY(opened);
    QCOMPARE(b.prompter().shown, QList<Shown>{});
    QCOMPARE(seen, (QStringList{QStringLiteral("Adatok áttekintése:"), QStringLiteral("3"),
                                QStringLiteral("Banán"), QStringLiteral("Gyümölcs"),
                                QStringLiteral("Sárga"), QStringLiteral("hajlott"),
                                QStringLiteral("www.banan.hu"), QStringLiteral("Őri Ödön"),
                                QStringLiteral("2001.02.03 4:05:06"), QStringLiteral("egy\nkettő"),
                                QStringLiteral("banán.txt")}));
    QCOMPARE(picture.size(), QSize(30, 20));
    QCOMPARE(picture.pixelColor(4, 4), QColor(200, 180, 10));
    // The next record's deferred values are its own, not the previous record's.
    QCOMPARE(afterMoves,
             (QStringList{QStringLiteral("Citrom|savanyú|citromos|1"), QStringLiteral("Alma")}));
    QVERIFY(!lastAtEndEnabled);
    QVERIFY(!firstEnabled);
    QVERIFY(nextEnabled);
    // Moving in the browser moved the main grid, and the grid stays there.
    QCOMPARE(gridRowAfterNext, 2);
    QCOMPARE(b.data().recordQuery.asString(QStringLiteral("CIM")), QStringLiteral("Alma"));
    QCOMPARE(b.app.mainWindow->recordGrid->currentIndex().row(), 0);
}

void BrowserTest::refreshReadsAgainButKeepsTheCounter() {
    Browsing b;
    const qint64 key =
        b.addRecord(QStringLiteral("Alma"), {QStringLiteral("KSZO")}, {QStringLiteral("'régi'")});
    b.addRecord(QStringLiteral("Körte"));
    b.selectInGrid(QStringLiteral("Alma"));
    QStringList seen;
    QVERIFY(b.inside([&] {
        // Another workstation changes the record and stores a new one meanwhile.
        b.db.exec(QStringLiteral("UPDATE tbl_Data SET KSZO = 'új' WHERE AZ = %1").arg(key));
        b.db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES ('Barack')"));
        b.recordBrowser->navigator->nbRefresh->click();
        seen << b.recordBrowser->titleEdit->text() << b.recordBrowser->keywordsEdit->text()
             << b.recordBrowser->countLabel->text()
             << QString::number(b.data().recordQuery.recordCount());
    }));
    QCOMPARE(seen, (QStringList{QStringLiteral("Alma"), QStringLiteral("új"), QStringLiteral("2"),
                                QStringLiteral("3")}));
    QCOMPARE(b.prompter().shown, QList<Shown>{});
}

void BrowserTest::referenceHintAndCursor_data() {
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("hint");
    QTest::newRow("web address") << "http://pelda.hu" << kWebHint;
    QTest::newRow("https, longer than 7") << "https:/x" << kWebHint;
    QTest::newRow("exactly http://") << "http://" << kSearchHint;
    QTest::newRow("capital HTTP://") << "HTTP://PELDA.HU" << kSearchHint;
    QTest::newRow("plain term") << "Petőfi" << kSearchHint;
    QTest::newRow("only spaces") << "   " << QString();
    QTest::newRow("empty") << "" << QString();
}

void BrowserTest::referenceHintAndCursor() {
    QFETCH(QString, reference);
    QFETCH(QString, hint);
    Browsing b;
    QString escaped = reference;
    escaped.replace(QStringLiteral("'"), QStringLiteral("''"));
    b.addRecord(QStringLiteral("Előző"), {QStringLiteral("HIV")},
                {QStringLiteral("'www.elozo.hu'")});
    b.addRecord(QStringLiteral("Hivatkozó"), {QStringLiteral("HIV")},
                {QStringLiteral("'") + escaped + QStringLiteral("'")});
    b.selectInGrid(QStringLiteral("Előző"));
    QString tip, status;
    Qt::CursorShape shape = Qt::BlankCursor;
    QVERIFY(b.inside([&] {
        // The hint follows another record becoming current.
        b.recordBrowser->navigator->nbNext->click();
        tip = b.recordBrowser->referenceEdit->toolTip();
        status = b.recordBrowser->referenceEdit->statusTip();
        shape = b.recordBrowser->referenceEdit->cursor().shape();
    }));
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    QCOMPARE(tip, hint.left(bar < 0 ? 0 : bar));
    QCOMPARE(status, hint.mid(bar + 1));
    QCOMPARE(shape, hint.isEmpty() ? Qt::IBeamCursor : Qt::PointingHandCursor);
}

void BrowserTest::referenceClickOpensWebAddress() {
    Browsing b;
    b.addRecord(QStringLiteral("Oldal"), {QStringLiteral("HIV")},
                {QStringLiteral("'https://pelda.hu/a b?x=1'")});
    const QString sqlBefore = b.data().recordQuery.sql();
    QVERIFY(b.inside([&] { QTest::mouseClick(b.recordBrowser->referenceEdit, Qt::LeftButton); }));
    QCOMPARE(b.shell.opened, QStringList{QStringLiteral("https://pelda.hu/a b?x=1")});
    // No window comes, and nothing is searched.
    QCOMPARE(b.prompter().shown, QList<Shown>{});
    QCOMPARE(b.data().recordQuery.sql(), sqlBefore);
}

void BrowserTest::referenceClickSearches_data() {
    QTest::addColumn<QStringList>("answers"); // none: the prompt is cancelled
    QTest::addColumn<int>("found");
    QTest::newRow("cancelled: the reference itself") << QStringList() << 2;
    QTest::newRow("another term typed") << QStringList{QStringLiteral("Tej")} << 1;
    QTest::newRow("emptied and accepted: all records") << QStringList{QStringLiteral("")} << 4;
}

void BrowserTest::referenceClickSearches() {
    QFETCH(QStringList, answers);
    QFETCH(int, found);
    Browsing b;
    b.addRecord(QStringLiteral("Alma"), {QStringLiteral("HIV")}, {QStringLiteral("'gyümölcs'")});
    b.addRecord(QStringLiteral("Kenyér"));
    b.addRecord(QStringLiteral("Körte"), {QStringLiteral("KSZO")}, {QStringLiteral("'GYÜMÖLCS'")});
    b.addRecord(QStringLiteral("Tej"));
    b.selectInGrid(QStringLiteral("Alma"));
    b.prompter().answerInputs(answers);
    QString counter;
    QVERIFY(b.inside([&] {
        QTest::mouseClick(b.recordBrowser->referenceEdit, Qt::LeftButton);
        counter = b.recordBrowser->countLabel->text();
    }));
    QCOMPARE(b.prompter().shown, (QList<Shown>{searchPrompt(), hits(found)}));
    QCOMPARE(b.data().recordQuery.recordCount(), found);
    // The counter still shows the number from the showing.
    QCOMPARE(counter, QStringLiteral("4"));
    QCOMPARE(b.shell.opened, QStringList{});
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void BrowserTest::blankReferenceClickDoesNothing() {
    Browsing b;
    b.addRecord(QStringLiteral("Üres hivatkozás"), {QStringLiteral("HIV")},
                {QStringLiteral("'   '")});
    b.addRecord(QStringLiteral("Másik"));
    b.selectInGrid(QStringLiteral("Üres hivatkozás"));
    QVERIFY(b.inside([&] { QTest::mouseClick(b.recordBrowser->referenceEdit, Qt::LeftButton); }));
    QCOMPARE(b.prompter().shown, QList<Shown>{});
    QCOMPARE(b.shell.opened, QStringList{});
    QCOMPARE(b.data().recordQuery.recordCount(), 2);
}

void BrowserTest::searchCommand_data() {
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("titles"); // the hits in title order
    const QStringList all{QStringLiteral("Csak a fájlban"), QStringLiteral("Gyümölcsös"),
                          QStringLiteral("It's mine"), QStringLiteral("Útvonal C:\\temp")};
    QTest::newRow("cancelled: all records") << QStringList() << all;
    QTest::newRow("phrase in any letter case")
        << QStringList{QStringLiteral("GYÜMÖLCS")} << QStringList{QStringLiteral("Gyümölcsös")};
    QTest::newRow("apostrophe") << QStringList{QStringLiteral("it's")}
                                << QStringList{QStringLiteral("It's mine")};
    QTest::newRow("only in the stored file's name")
        << QStringList{QStringLiteral("titok")} << QStringList{QStringLiteral("Csak a fájlban")};
    QTest::newRow("only in the stored file's type")
        << QStringList{QStringLiteral("Acrobat")} << QStringList{QStringLiteral("Csak a fájlban")};
    QTest::newRow("backslash matches itself") << QStringList{QStringLiteral("C:\\temp")}
                                              << QStringList{QStringLiteral("Útvonal C:\\temp")};
    QTest::newRow("text that would end the literal")
        << QStringList{QStringLiteral("x\\' or 1=1 -- ")} << QStringList();
    QTest::newRow("no hits") << QStringList{QStringLiteral("nincs ilyen")} << QStringList();
}

void BrowserTest::searchCommand() {
    QFETCH(QStringList, answers);
    QFETCH(QStringList, titles);
    Browsing b;
    b.addRecord(QStringLiteral("Gyümölcsös"), {QStringLiteral("LEIRAS")},
                {QStringLiteral("'alma és körte'")});
    b.addRecord(QStringLiteral("It's mine"), {QStringLiteral("FNEV"), QStringLiteral("FILE")},
                {QStringLiteral("'enyém.txt'"), QStringLiteral("'abc'")});
    b.addRecord(
        QStringLiteral("Csak a fájlban"),
        {QStringLiteral("FNEV"), QStringLiteral("FTIP"), QStringLiteral("FILE")},
        {QStringLiteral("'titok.pdf'"), QStringLiteral("'Adobe Acrobat'"), QStringLiteral("'x'")});
    b.addRecord(QStringLiteral("Útvonal C:\\\\temp"));
    b.prompter().answerInputs(answers);
    QStringList seenTitles;
    QString counter, shownTitle;
    QVERIFY(b.inside([&] {
        b.recordBrowser->searchButton->click();
        counter = b.recordBrowser->countLabel->text();
        shownTitle = b.shownTitle();
        Query& q = b.data().recordQuery;
        for (q.first(); !q.eof(); q.next())
            seenTitles << q.asString(QStringLiteral("CIM"));
        if (titles.isEmpty())
            b.recordBrowser->saveFileButton->click(); // the empty query has no stored file
    }));
    QList<Shown> expected{searchPrompt(), hits(int(titles.size()))};
    if (titles.isEmpty())
        expected << warningBox(kNoFile);
    QCOMPARE(b.prompter().shown, expected);
    QCOMPARE(seenTitles, titles);
    QCOMPARE(counter, QString::number(titles.size()));
    QCOMPARE(shownTitle, titles.value(0));
    QCOMPARE(b.recordCount(), 4);
}

void BrowserTest::searchResultStaysInTheGrid() {
    Browsing b;
    b.addRecord(QStringLiteral("Alma"));
    b.addRecord(QStringLiteral("Almás pite"));
    b.addRecord(QStringLiteral("Kenyér"));
    b.prompter().answerInputs({QStringLiteral("alma")});
    QVERIFY(b.inside([&] { b.recordBrowser->searchButton->click(); }));
    QCOMPARE(b.gridRows(), 2);
    // The main window's refresh runs the browser's search again.
    b.app.mainWindow->gridRefreshAction->trigger();
    QCOMPARE(b.gridRows(), 2);
    // Text Latin-2 cannot hold is refused before the record query is touched.
    b.prompter().clear();
    b.prompter().answerInputs({QStringLiteral("10 €")});
    QVERIFY(b.inside([&] { b.recordBrowser->searchButton->click(); }));
    QCOMPARE(b.prompter().shown.size(), 2);
    QCOMPARE(b.prompter().shown[0], searchPrompt());
    QCOMPARE(b.prompter().shown[1],
             warningBox(TextEncodingError(QStringLiteral("€"), QString()).userMessage()));
    QCOMPARE(b.gridRows(), 2);
}

void BrowserTest::failedSearchLeavesTheFieldsEmpty() {
    Browsing b;
    b.addRecord(QStringLiteral("Alma"), {QStringLiteral("FNEV"), QStringLiteral("FILE")},
                {QStringLiteral("'a.txt'"), QStringLiteral("'abc'")});
    b.prompter().answerInputs({QStringLiteral("alma")});
    QString title, counter;
    QVERIFY(b.inside([&] {
        b.db.exec(QStringLiteral("RENAME TABLE tbl_Data TO tbl_Data_el"));
        b.recordBrowser->searchButton->click();
        title = b.shownTitle();
        counter = b.recordBrowser->countLabel->text();
        // With the query closed there is no stored file to save.
        b.recordBrowser->saveFileButton->click();
    }));
    const QList<Shown>& shown = b.prompter().shown;
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown[0], searchPrompt());
    QVERIFY2(shown[1].text.startsWith(QStringLiteral("Adatbázis csatlakozási hiba -> ")),
             qPrintable(shown[1].text));
    QCOMPARE(shown[2].kind, QStringLiteral("error"));
    QCOMPARE(shown[1], hookBox(shown[2].text));
    QCOMPARE(shown[3], warningBox(kNoFile));
    QCOMPARE(title, QString());
    QCOMPARE(counter, QStringLiteral("1"));
    QVERIFY(!b.data().recordQuery.isOpen());
    b.db.exec(QStringLiteral("RENAME TABLE tbl_Data_el TO tbl_Data"));
}

void BrowserTest::savesStoredFileByteForByte() {
    Browsing b;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A little over 5 MB of random bytes: more than one piece of the stream.
    const QString source = dir.filePath(QStringLiteral("forrás.bin"));
    {
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray block(1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < 5; ++i) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()),
                                                  block.size() / 4);
            f.write(block);
        }
        f.write(QByteArray("\0\r\n\x1a vége", 9));
    }
    Table& t = b.data().recordTable;
    t.append();
    t.setField(QStringLiteral("CIM"), QStringLiteral("Mentendő"));
    t.setField(QStringLiteral("FNEV"), QStringLiteral("melléklet.bin"));
    t.setFieldFromFile(QStringLiteral("FILE"), source);
    t.post();
    b.addRecord(QStringLiteral("Másik"), {QStringLiteral("FNEV"), QStringLiteral("FILE")},
                {QStringLiteral("'más.bin'"), QStringLiteral("'más'")});
    b.selectInGrid(QStringLiteral("Mentendő"));

    // An existing, longer target is replaced without a question.
    const QString target = dir.filePath(QStringLiteral("cél.bin"));
    {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(6 * 1024 * 1024, 'x'));
    }
    b.prompter().answerFiles({target});
    QVERIFY(b.inside([&] { b.recordBrowser->saveFileButton->click(); }));
    QCOMPARE(b.prompter().shown, (QList<Shown>{{QStringLiteral("saveFile"), QDir::homePath(),
                                                QStringLiteral("melléklet.bin")}}));
    QCOMPARE(QFileInfo(target).size(), QFileInfo(source).size());
    QCOMPARE(hashOf(target), hashOf(source));
}

void BrowserTest::saveWithoutStoredFileOrCancelled() {
    Browsing b;
    b.addRecord(QStringLiteral("Fájl nélkül"), {QStringLiteral("FNEV")},
                {QStringLiteral("'csak_név.txt'")});
    b.addRecord(QStringLiteral("Fájllal"), {QStringLiteral("FNEV"), QStringLiteral("FILE")},
                {QStringLiteral("'van.txt'"), QStringLiteral("'tartalom'")});
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    b.selectInGrid(QStringLiteral("Fájl nélkül"));
    QVERIFY(b.inside([&] {
        b.recordBrowser->saveFileButton->click(); // NULL FILE: no dialog
        b.recordBrowser->navigator->nbNext->click();
        b.recordBrowser->saveFileButton->click(); // dialog cancelled: nothing written
    }));
    QCOMPARE(b.prompter().shown, (QList<Shown>{warningBox(kNoFile),
                                               {QStringLiteral("saveFile"), QDir::homePath(),
                                                QStringLiteral("van.txt")}}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

void BrowserTest::saveAfterTheFileWentElsewhere_data() {
    QTest::addColumn<QString>("change");    // what another workstation does to the record
    QTest::addColumn<bool>("duringDialog"); // while the second save's dialog is open
    const QString remove = QStringLiteral("DELETE FROM tbl_Data WHERE CIM = 'Mentett'");
    const QString clear = QStringLiteral("UPDATE tbl_Data SET `FILE` = NULL WHERE CIM = 'Mentett'");
    QTest::newRow("record deleted between the saves") << remove << false;
    QTest::newRow("file set to NULL between the saves") << clear << false;
    QTest::newRow("record deleted while the dialog is open") << remove << true;
    QTest::newRow("file set to NULL while the dialog is open") << clear << true;
}

void BrowserTest::saveAfterTheFileWentElsewhere() {
    QFETCH(QString, change);
    QFETCH(bool, duringDialog);
    Browsing b;
    b.addRecord(QStringLiteral("Mentett"), {QStringLiteral("FNEV"), QStringLiteral("FILE")},
                {QStringLiteral("'adat.bin'"), QStringLiteral("REPEAT('adat', 5000)")});
    b.selectInGrid(QStringLiteral("Mentett"));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString first = dir.filePath(QStringLiteral("első.bin"));
    const QString second = dir.filePath(QStringLiteral("második.bin"));
    // The record query still shows the row and its file after the change; the grid is not
    // read again in between.
    TestDatabase& other = b.db; // a connection of its own, as another workstation's
    const Shown dialog{QStringLiteral("saveFile"), QDir::homePath(), QStringLiteral("adat.bin")};
    QVERIFY(b.inside([&] {
        b.prompter().answerFiles({first});
        b.recordBrowser->saveFileButton->click();
        QCOMPARE(QFileInfo(first).size(), 20000);
        if (duringDialog) {
            b.prompter().onShown = [&](const Shown& s) {
                if (s.kind == QLatin1String("saveFile"))
                    other.exec(change);
            };
        } else {
            other.exec(change);
        }
        b.prompter().answerFiles({second});
        b.recordBrowser->saveFileButton->click();
    }));
    QList<Shown> expected{dialog};
    if (duringDialog)
        expected << dialog;
    expected << warningBox(kNoFile);
    QCOMPARE(b.prompter().shown, expected);
    // Nothing written for the second save, not even an empty file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("első.bin")});
    QCOMPARE(QFileInfo(first).size(), 20000);
}

void BrowserTest::emptyStoredFileGivesEmptyFile() {
    Browsing b;
    b.addRecord(QStringLiteral("Üres fájl"), {QStringLiteral("FNEV"), QStringLiteral("FILE")},
                {QStringLiteral("'üres.txt'"), QStringLiteral("''")});
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("üres"));
    {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("régi tartalom");
    }
    b.prompter().answerFiles({target});
    QVERIFY(b.inside([&] { b.recordBrowser->saveFileButton->click(); }));
    QCOMPARE(b.prompter().shown, (QList<Shown>{{QStringLiteral("saveFile"), QDir::homePath(),
                                                QStringLiteral("üres.txt")}}));
    QVERIFY(QFileInfo::exists(target));
    QCOMPARE(QFileInfo(target).size(), 0);
}

void BrowserTest::saveTargetThatCannotBeCreated() {
    Browsing b;
    b.addRecord(QStringLiteral("Fájllal"), {QStringLiteral("FNEV"), QStringLiteral("FILE")},
                {QStringLiteral("'van.txt'"), QStringLiteral("'tartalom'")});
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("nincs/ilyen/mappa.txt"));
    b.prompter().answerFiles({target});
    bool stillOpen = false;
    QVERIFY(b.inside([&] {
        b.recordBrowser->saveFileButton->click();
        stillOpen = b.recordBrowser->isVisible();
    }));
    const QList<Shown>& shown = b.prompter().shown;
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[1].kind, QStringLiteral("error"));
    QVERIFY2(shown[1].text.contains(QDir::toNativeSeparators(target)), qPrintable(shown[1].text));
    QVERIFY(stillOpen);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void BrowserTest::saveOnAFullDiskNamesTheCause_data() {
    QTest::addColumn<int>("bytes"); // the stored file's size; the disk takes 8 KB
    QTest::addColumn<bool>("earlierFile");
    QTest::newRow("large file, new") << 300000 << false;
    QTest::newRow("large file, earlier file") << 300000 << true;
    // Less than a file's own buffer: written out only when the file is put in its place.
    QTest::newRow("small file, earlier file") << 12000 << true;
}

// Saving the stored file on a disk that fills up: the error says why (the system's words,
// never "Unknown error"), and the chosen name holds nothing new.
void BrowserTest::saveOnAFullDiskNamesTheCause() {
    QFETCH(int, bytes);
    QFETCH(bool, earlierFile);

    Browsing b;
    b.addRecord(QStringLiteral("Fájllal"), {QStringLiteral("FNEV"), QStringLiteral("FILE")},
                {QStringLiteral("'nagy.bin'"), QStringLiteral("REPEAT('x', %1)").arg(bytes)});
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("cél.bin"));
    if (earlierFile) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("régi tartalom");
    }
    const QByteArray before = hashOf(target);
    std::unique_ptr<FileSizeLimit> limit;
    b.prompter().onShown = [&](const Shown& shown) {
        if (shown.kind == QLatin1String("saveFile"))
            limit = std::make_unique<FileSizeLimit>(8192);
    };
    b.prompter().answerFiles({target});
    QVERIFY(b.inside([&] {
        b.recordBrowser->saveFileButton->click();
        limit.reset();
    }));
    limit.reset();
    b.prompter().onShown = nullptr;

    QCOMPARE(
        b.prompter().shown,
        (QList<Shown>{{QStringLiteral("saveFile"), QDir::homePath(), QStringLiteral("nagy.bin")},
                      errorReportBox(QStringLiteral("A fájl írása nem sikerült: ") +
                                     QString::fromLocal8Bit(std::strerror(EFBIG)))}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             earlierFile ? QStringList{QStringLiteral("cél.bin")} : QStringList{});
    QCOMPARE(hashOf(target), before);
}

void BrowserTest::photoMenuMarksSurviveShowing() {
    Browsing b;
    b.addRecord(QStringLiteral("Fényképes"), {QStringLiteral("FOTO")},
                {hexLiteral(bmpOf(QSize(10, 10), Qt::red))});
    QList<bool> seen;
    QVERIFY(b.inside([&] {
        b.recordBrowser->photo->stretchAction->trigger();
        b.recordBrowser->photo->centreAction->trigger();
        seen << b.recordBrowser->photo->stretched() << b.recordBrowser->photo->centred()
             << b.recordBrowser->photoImage->hasScaledContents();
    }));
    // The next showing draws plainly; the marks stay set, so the next choice clears them.
    QVERIFY(b.inside([&] {
        PhotoView* p = b.recordBrowser->photo;
        seen << p->stretched() << p->centred() << p->stretchAction->isChecked()
             << p->centreAction->isChecked();
        p->stretchAction->trigger();
        seen << p->stretched() << p->stretchAction->isChecked();
    }));
    QCOMPARE(seen, (QList<bool>{true, true, true, false, false, true, true, false, false}));
}

void BrowserTest::printoutHooks() {
    Browsing b;
    b.addRecord(QStringLiteral("Első"));
    b.addRecord(QStringLiteral("Második"));
    b.addRecord(QStringLiteral("Harmadik"));
    b.selectInGrid(QStringLiteral("Első"));
    QStringList calls;
    QString shownAfterList;
    QVERIFY(b.inside([&] {
        // The main window hooks the real printouts in; here they are replaced by recorders.
        QVERIFY(b.recordBrowser->showSingleRecordReport && b.recordBrowser->showRecordListReport);
        b.recordBrowser->showSingleRecordReport = [&] {
            calls << QStringLiteral("egy:") + b.recordBrowser->titleEdit->text();
        };
        b.recordBrowser->showRecordListReport = [&] {
            // The list walks the record query from its first record to its last.
            Query& q = b.data().recordQuery;
            for (q.first(); !q.eof(); q.next())
                calls << QStringLiteral("lista:") + q.asString(QStringLiteral("CIM"));
        };
        b.recordBrowser->printRecordButton->click();
        b.recordBrowser->printListButton->click();
        shownAfterList = b.shownTitle();
    }));
    b.recordBrowser->showSingleRecordReport = nullptr;
    b.recordBrowser->showRecordListReport = nullptr;
    QCOMPARE(calls,
             (QStringList{QStringLiteral("egy:Első"), QStringLiteral("lista:Első"),
                          QStringLiteral("lista:Harmadik"), QStringLiteral("lista:Második")}));
    // Afterwards the browser shows the record the list stopped on.
    QCOMPARE(shownAfterList, QStringLiteral("Második"));
    QCOMPARE(b.prompter().shown, QList<Shown>{});
}

QTEST_MAIN(BrowserTest)
#include "tst_browser.moc"

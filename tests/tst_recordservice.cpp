// The steps every window takes on the records, without a window: refresh, the record check,
// the locate by title, the search and the counters, and the stores and deletes by key, against
// a real server with a second connection as another workstation.
#include "data/records/SharedData.h"
#include "data/records/ShownRecord.h"
#include "data/sql/DbError.h"
#include "data/text/TextEncodingError.h"
#include "support/TestServer.h"

#include <QTemporaryFile>
#include <QTest>

using namespace kx;

namespace {

struct Fixture {
    test::TestDatabase db;
    SharedData data;
    RecordService& records = data.records;

    Fixture() {
        data.recordStore.setParams(db.params());
        data.recordStore.open();
        add(QStringLiteral("Alma"), QStringLiteral("Gyümölcs"), QStringLiteral("NULL"));
        add(QStringLiteral("Körte "), QStringLiteral("Gyümölcs"), QStringLiteral("'korte.pdf'"));
        add(QStringLiteral("Tükör"), QStringLiteral("Bútor"), QStringLiteral("NULL"));
        data.recordQuery.open();
        data.recordTable.open();
    }
    // Written by another workstation.
    void add(const QString& title, const QString& type, const QString& fileName) {
        db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, FNEV) VALUES ('%1', '%2', %3)")
                    .arg(title, type, fileName));
    }
    QString stored(const QString& title, const QString& column) {
        return db.scalar(
            QStringLiteral("SELECT %1 FROM tbl_Data WHERE CIM = '%2'").arg(column, title));
    }
    qint64 keyOf(const QString& title) {
        return stored(title, QStringLiteral("AZ")).toLongLong();
    }
    QStringList shownTitles() {
        QStringList titles;
        Query& q = data.recordQuery;
        const int cim = q.columnIndex(QStringLiteral("CIM"));
        for (int row = 0; row < q.recordCount(); ++row)
            titles << q.textAt(row, cim);
        return titles;
    }
};

} // namespace

class RecordServiceTest : public QObject {
    Q_OBJECT
private slots:
    void refreshShowsOtherWorkstationsChanges();
    void refreshOpensAClosedQueryOnEveryRecord();
    void search_data();
    void search();
    void searchRefusedByLatin2LeavesTheQuery();
    void locateByTitleIsExact();
    void titleTaken_data();
    void titleTaken();
    void changeOfAShownRecordChangedMeanwhile_data();
    void changeOfAShownRecordChangedMeanwhile();
    void changeOfAVanishedRecord_data();
    void changeOfAVanishedRecord();
    void updateKeepsOrWritesTheTitle();
    void stoppedFileTransferLeavesNothing_data();
    void stoppedFileTransferLeavesNothing();
    void questionsLastForOneChange();
};

void RecordServiceTest::refreshShowsOtherWorkstationsChanges() {
    Fixture f;
    QCOMPARE(f.records.storedCount(), 3);
    f.add(QStringLiteral("Barack"), QStringLiteral("Gyümölcs"), QStringLiteral("NULL"));
    f.db.exec(QStringLiteral("DELETE FROM tbl_Data WHERE CIM = 'Tükör'"));
    QCOMPARE(f.records.shownCount(), 3); // nothing is read before the refresh
    f.records.refresh();
    QCOMPARE(f.records.storedCount(), 3);
    QCOMPARE(f.shownTitles(), (QStringList{QStringLiteral("Alma"), QStringLiteral("Barack"),
                                           QStringLiteral("Körte ")}));
    QVERIFY(f.records.hasRecords());
    f.db.exec(QStringLiteral("DELETE FROM tbl_Data"));
    f.records.refresh();
    QVERIFY(!f.records.hasRecords());
    QCOMPARE(f.records.storedCount(), 0);
}

void RecordServiceTest::refreshOpensAClosedQueryOnEveryRecord() {
    Fixture f;
    // The search fails on the server (the table is away meanwhile).
    f.db.exec(QStringLiteral("RENAME TABLE tbl_Data TO tbl_Data_el"));
    QVERIFY_THROWS_EXCEPTION(DbError, f.records.search(QStringLiteral("Tük"), SearchColumns::Menu));
    f.db.exec(QStringLiteral("RENAME TABLE tbl_Data_el TO tbl_Data"));
    QVERIFY(!f.records.hasRecords());
    QCOMPARE(f.records.shownCount(), 0);
    f.records.refresh();
    QCOMPARE(f.data.recordQuery.sql(), allRecordsStatement());
    QCOMPARE(f.records.shownCount(), 3);
}

void RecordServiceTest::search_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<SearchColumns>("columns");
    QTest::addColumn<QStringList>("hits");
    const QStringList all{QStringLiteral("Alma"), QStringLiteral("Körte "),
                          QStringLiteral("Tükör")};
    QTest::newRow("empty: every record") << QString() << SearchColumns::Menu << all;
    QTest::newRow("letter case and accents of the collation")
        << QStringLiteral("TÜK") << SearchColumns::Menu << QStringList{QStringLiteral("Tükör")};
    QTest::newRow("type column") << QStringLiteral("gyüm") << SearchColumns::Menu
                                 << QStringList{QStringLiteral("Alma"), QStringLiteral("Körte ")};
    QTest::newRow("file name: not from the menu")
        << QStringLiteral(".pdf") << SearchColumns::Menu << QStringList{};
    QTest::newRow("file name: from the toolbar") << QStringLiteral(".pdf") << SearchColumns::Toolbar
                                                 << QStringList{QStringLiteral("Körte ")};
    QTest::newRow("wildcard") << QStringLiteral("A_ma") << SearchColumns::Menu
                              << QStringList{QStringLiteral("Alma")};
    QTest::newRow("quote and backslash stay text")
        << QStringLiteral("x' OR '1'='1\\") << SearchColumns::Toolbar << QStringList{};
}

void RecordServiceTest::search() {
    QFETCH(QString, answer);
    QFETCH(SearchColumns, columns);
    QFETCH(QStringList, hits);
    Fixture f;
    QCOMPARE(f.records.search(answer, columns), int(hits.size()));
    QCOMPARE(f.shownTitles(), hits);
    QCOMPARE(f.records.shownCount(), int(hits.size()));
    QCOMPARE(f.records.storedCount(), 3); // the record table is not narrowed by a search
    QCOMPARE(RecordService::hitsText(int(hits.size())),
             QStringLiteral("Találat: %1.").arg(hits.size()));
}

void RecordServiceTest::searchRefusedByLatin2LeavesTheQuery() {
    Fixture f;
    f.records.search(QStringLiteral("alma"), SearchColumns::Menu);
    const QString before = f.data.recordQuery.sql();
    QVERIFY_THROWS_EXCEPTION(TextEncodingError,
                             f.records.search(QStringLiteral("alma €"), SearchColumns::Menu));
    QCOMPARE(f.data.recordQuery.sql(), before);
    QCOMPARE(f.shownTitles(), QStringList{QStringLiteral("Alma")});
}

void RecordServiceTest::locateByTitleIsExact() {
    Fixture f;
    Query& q = f.data.recordQuery;
    q.setCurrentRow(1); // "Körte "
    QVERIFY(f.records.locateByTitle());
    QCOMPARE(f.data.recordTable.asString(QStringLiteral("CIM")), QStringLiteral("Körte "));
    // Another workstation takes the trailing blank away: the grid's title is no longer there.
    f.db.exec(QStringLiteral("UPDATE tbl_Data SET CIM = 'Körte' WHERE CIM = 'Körte '"));
    QVERIFY(!f.records.locateByTitle());
    f.records.refresh();
    q.setCurrentRow(1);
    QVERIFY(f.records.locateByTitle());
    QCOMPARE(f.data.recordTable.asString(QStringLiteral("CIM")), QStringLiteral("Körte"));
}

void RecordServiceTest::titleTaken_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("beginning");
    QTest::addColumn<QString>("own");
    QTest::addColumn<bool>("taken");
    QTest::newRow("whole title") << "Alma" << false << "" << true;
    QTest::newRow("trailing blank counts") << "Körte" << false << "" << false;
    QTest::newRow("letter case counts") << "alma" << false << "" << false;
    QTest::newRow("beginning of a title") << "Kör" << true << "" << true;
    QTest::newRow("beginning: only from the start") << "örte" << true << "" << false;
    QTest::newRow("the record's own title") << "Alma" << false << "Alma" << false;
    QTest::newRow("another record's title") << "Alma" << false << "Tükör" << true;
}

// Whether a title is taken decides whether a store may go on: a wrong answer either stores a
// second record of the same title or refuses a record's own title.
void RecordServiceTest::titleTaken() {
    QFETCH(QString, title);
    QFETCH(bool, beginning);
    QFETCH(QString, own);
    QFETCH(bool, taken);
    Fixture f;
    const qint64 ownKey = own.isEmpty() ? -1 : f.keyOf(own);
    const auto match =
        beginning ? RecordService::TitleMatch::Beginning : RecordService::TitleMatch::Whole;
    QCOMPARE(f.records.titleTaken(title, match, ownKey), taken);
}

void RecordServiceTest::changeOfAShownRecordChangedMeanwhile_data() {
    QTest::addColumn<bool>("remove");
    QTest::addColumn<bool>("goOver");
    QTest::newRow("update refused") << false << false;
    QTest::newRow("update over the change") << false << true;
    QTest::newRow("delete refused") << true << false;
    QTest::newRow("delete over the change") << true << true;
}

// Another workstation changes the shown record between the showing and the change: the
// change asks, and only a yes lets it go over the other change.
void RecordServiceTest::changeOfAShownRecordChangedMeanwhile() {
    QFETCH(bool, remove);
    QFETCH(bool, goOver);
    Fixture f;
    int asked = 0;
    ShownRecord shown(f.records);
    RecordService::Questions questions;
    questions.goOverChange = [&] {
        ++asked;
        return goOver;
    };
    const qint64 key = f.keyOf(QStringLiteral("Alma"));
    QVERIFY(f.records.locateByKey(key));
    shown.remember();
    RecordFields fields = f.records.currentRecord();
    fields.keywords = QStringLiteral("saját");
    f.db.exec(QStringLiteral("UPDATE tbl_Data SET HIV = 'másik' WHERE AZ = %1").arg(key));

    const auto change = [&] {
        return remove ? f.records.remove(shown, key, questions)
                      : f.records.update(shown, key, fields, RecordService::TitleChange::Keep,
                                         questions);
    };
    if (goOver) {
        QVERIFY(change());
    } else {
        QVERIFY_THROWS_EXCEPTION(SilentAbort, change());
    }
    QCOMPARE(asked, 1);
    QVERIFY(!f.data.recordStore.inTransaction());
    QCOMPARE(f.data.recordTable.state(), TableState::Browse);
    // Going over writes the record as shown (or deletes it): the other change is gone.
    const QString stays = goOver ? QString() : QStringLiteral("másik");
    QCOMPARE(f.stored(QStringLiteral("Alma"), QStringLiteral("HIV")), stays);
    const QString keywords = goOver && !remove ? QStringLiteral("saját") : QString();
    QCOMPARE(f.stored(QStringLiteral("Alma"), QStringLiteral("KSZO")), keywords);
}

void RecordServiceTest::changeOfAVanishedRecord_data() {
    QTest::addColumn<bool>("remove");
    QTest::newRow("update") << false;
    QTest::newRow("delete") << true;
}

// Another workstation deletes the shown record: a change by its key finds none and changes
// nothing, least of all the record the table moved onto.
void RecordServiceTest::changeOfAVanishedRecord() {
    QFETCH(bool, remove);
    Fixture f;
    ShownRecord shown(f.records);
    RecordService::Questions yes;
    yes.goOverChange = [] { return true; };
    const qint64 key = f.keyOf(QStringLiteral("Körte "));
    QVERIFY(f.records.locateByKey(key));
    shown.remember();
    RecordFields fields = f.records.currentRecord();
    fields.keywords = QStringLiteral("saját");
    f.db.exec(QStringLiteral("DELETE FROM tbl_Data WHERE AZ = %1").arg(key));
    f.records.refresh();

    const bool changed =
        remove ? f.records.remove(shown, key, yes)
               : f.records.update(shown, key, fields, RecordService::TitleChange::Write, yes);
    QVERIFY(!changed);
    QCOMPARE(f.db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("2"));
    QCOMPARE(f.db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE KSZO IS NOT NULL")),
             QStringLiteral("0"));
    QVERIFY(!f.data.recordStore.inTransaction());
}

// A store that keeps the title leaves another workstation's rename in place even when it
// goes over the change; one that writes it puts the typed title back.
void RecordServiceTest::updateKeepsOrWritesTheTitle() {
    Fixture f;
    ShownRecord shown(f.records);
    RecordService::Questions yes;
    yes.goOverChange = [] { return true; };
    const qint64 key = f.keyOf(QStringLiteral("Tükör"));
    QVERIFY(f.records.locateByKey(key));
    shown.remember();
    RecordFields fields = f.records.currentRecord();
    f.db.exec(QStringLiteral("UPDATE tbl_Data SET CIM = 'Tükör2' WHERE AZ = %1").arg(key));
    QVERIFY(f.records.update(shown, key, fields, RecordService::TitleChange::Keep, yes));
    QCOMPARE(f.keyOf(QStringLiteral("Tükör2")), key);
    QVERIFY(f.records.update(shown, key, fields, RecordService::TitleChange::Write, yes));
    QCOMPARE(f.keyOf(QStringLiteral("Tükör")), key);
}

void RecordServiceTest::stoppedFileTransferLeavesNothing_data() {
    QTest::addColumn<bool>("insert");
    QTest::newRow("new record") << true;
    QTest::newRow("shown record") << false;
}

// "Mégse" during the file's transfer: no record is added or changed, no row stays pending
// for a later write, and no transaction stays open to lock the record for others.
void RecordServiceTest::stoppedFileTransferLeavesNothing() {
    QFETCH(bool, insert);
    Fixture f;
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(QByteArray(3 * 1024 * 1024, 'x')); // three pieces
    file.close();
    ShownRecord shown(f.records);
    RecordService::Questions yes;
    yes.goOverChange = [] { return true; };
    const qint64 key = f.keyOf(QStringLiteral("Alma"));
    QVERIFY(f.records.locateByKey(key));
    shown.remember();
    RecordFields fields = f.records.currentRecord();
    fields.title = QStringLiteral("Új");
    fields.fileSource = file.fileName();
    int pieces = 0;
    const RecordService::TransferFollower stop = [&] {
        return [&](qint64) { return ++pieces < 2; };
    };

    if (insert)
        QVERIFY_THROWS_EXCEPTION(SilentAbort, f.records.insert(fields, yes, stop));
    else
        QVERIFY_THROWS_EXCEPTION(
            SilentAbort,
            f.records.update(shown, key, fields, RecordService::TitleChange::Write, yes, stop));
    QCOMPARE(pieces, 2);
    QVERIFY(!f.data.recordStore.inTransaction());
    QCOMPARE(f.data.recordTable.state(), TableState::Browse);
    f.data.recordTable.post(); // nothing of the stopped store may ride along
    QCOMPARE(f.db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("3"));
    QCOMPARE(f.db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE FILE IS NOT NULL")),
             QStringLiteral("0"));
    QCOMPARE(f.keyOf(QStringLiteral("Alma")), key);
}

// The questions of one change are the record table's only for that change: afterwards its
// own handlers answer again, and a question never outlives the window that asked it.
void RecordServiceTest::questionsLastForOneChange() {
    Fixture f;
    int ownHandler = 0;
    int asked = 0;
    f.data.recordTable.setErrorHandler(TableOp::Post, [&](TableBase&, const DbError&) {
        ++ownHandler;
        return ErrorAction::Fail;
    });
    f.db.exec(QStringLiteral("ALTER TABLE tbl_Data ADD CONSTRAINT kx_refused CHECK (HIV <> 'x')"));
    RecordService::Questions questions;
    questions.retryRefused = [&] {
        ++asked;
        return false;
    };
    RecordFields fields;
    fields.title = QStringLiteral("Új");
    fields.reference = QStringLiteral("x");

    QVERIFY_THROWS_EXCEPTION(SilentAbort, f.records.insert(fields, questions));
    QCOMPARE(asked, 1);
    QCOMPARE(ownHandler, 0);
    QVERIFY_THROWS_EXCEPTION(DbError, f.records.insert(fields, RecordService::Questions{}));
    QCOMPARE(asked, 1);
    QCOMPARE(ownHandler, 1);
    QCOMPARE(f.db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("3"));
}

QTEST_GUILESS_MAIN(RecordServiceTest)
#include "tst_recordservice.moc"

// The steps every window takes on the records, without a window: refresh, the record check,
// the locate by title, the search and the counters, against a real server with a second
// connection as another workstation.
#include "data/records/SharedData.h"
#include "data/sql/DbError.h"
#include "data/text/TextEncodingError.h"
#include "support/TestServer.h"

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

QTEST_GUILESS_MAIN(RecordServiceTest)
#include "tst_recordservice.moc"

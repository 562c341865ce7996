// The record query's planner on a real server: which statements are narrowed to the columns
// that travel with the rows, which get a digest per row and a first screen, and what a
// refresh of their rows may skip. A wrong "unchanged" would hide another workstation's
// changes; a wrong first screen would show rows in an order the client sorts otherwise.
#include "data/query/QueryPlanner.h"
#include "data/query/refresh/RowDelta.h"
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "data/sql/MariaStatement.h"
#include "support/TestServer.h"

#include <QTest>
#include <QThread>

using namespace kx;

namespace {

const QStringList kDeferred{QStringLiteral("KSZO"), QStringLiteral("LEIRAS"),
                            QStringLiteral("FOTO"), QStringLiteral("FILE")};
const QString kEveryRecord = QStringLiteral("Select * from tbl_Data order by CIM");

struct Fixture {
    test::TestDatabase db;
    MariaConnection conn;
    MariaConnection other; // another workstation
    QStringList hookCalls;

    Fixture() {
        conn.setParams(db.params());
        conn.setErrorHook([this](const DbError& e) { hookCalls << e.message(); });
        conn.open();
        other.setParams(db.otherWorkstation());
        other.open();
        db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, FMER) SELECT CONCAT('R ', seq), "
                               "'Cikk', seq FROM seq_1_to_30"));
    }
};

// A change is "surely seen" only a whole second after it: the times the server keeps are
// whole seconds.
void waitPastTheLastChange() {
    QThread::msleep(2100);
}

QStringList columnNames(const RowSet& rows) {
    QStringList names;
    for (const ResultColumn& c : rows.columns)
        names << c.name + (c.deferred ? QStringLiteral("*") : QString());
    return names;
}

} // namespace

class TestQueryPlanner : public QObject {
    Q_OBJECT

private slots:
    void plansOfStatements_data();
    void plansOfStatements();
    void largeTableIsReadAlong_data();
    void largeTableIsReadAlong();
    void refreshSteps_data();
    void refreshSteps();
    void tableMadeAnewIsLearntAgain();
};

void TestQueryPlanner::plansOfStatements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("keyField");
    QTest::addColumn<QStringList>("deferred");
    QTest::addColumn<QString>("clientSort");
    QTest::addColumn<bool>("clientFilter");
    QTest::addColumn<bool>("narrowed");
    QTest::addColumn<bool>("probeable");
    QTest::addColumn<bool>("digested");
    QTest::addColumn<int>("firstScreen");

    const QString az = QStringLiteral("AZ");
    const QString none;
    QTest::newRow("every record") << kEveryRecord << az << kDeferred << none << false << true
                                  << true << true << 50;
    QTest::newRow("the key named in lower case")
        << kEveryRecord << "az" << kDeferred << none << false << true << true << true << 50;
    QTest::newRow("descending by a number")
        << "select * from tbl_Data where FMER > 5 order by FMER desc" << az << kDeferred << none
        << false << true << true << true << 50;
    // The rows are in the client's order, not the statement's: no first screen.
    QTest::newRow("a client sort on a shown column")
        << kEveryRecord << az << kDeferred << "TIP" << false << true << true << true << 0;
    QTest::newRow("a client sort on a deferred column")
        << kEveryRecord << az << kDeferred << "LEIRAS" << false << true << true << true << 0;
    QTest::newRow("a client sort on a field the result lacks")
        << kEveryRecord << az << kDeferred << "NINCS" << false << true << true << true << 50;
    QTest::newRow("a local filter")
        << kEveryRecord << az << kDeferred << none << true << true << true << true << 0;
    // Without a single order column the changed rows cannot be put in place: no digest.
    QTest::newRow("two order columns") << "select * from tbl_Data order by CIM, TIP" << az
                                       << kDeferred << none << false << true << true << false << 50;
    QTest::newRow("no order") << "select * from tbl_Data" << az << kDeferred << none << false
                              << true << true << false << 50;
    // Rows that depend on more than the table: never taken as unchanged, read whole.
    QTest::newRow("a function") << "select * from tbl_Data where DATUM > NOW() order by CIM" << az
                                << kDeferred << none << false << true << false << false << 0;
    // Not narrowed: run exactly as written.
    QTest::newRow("no key field") << kEveryRecord << "" << kDeferred << none << false << false
                                  << false << false << 0;
    QTest::newRow("the key among the deferred")
        << kEveryRecord << az << QStringList{QStringLiteral("LEIRAS"), QStringLiteral("AZ")} << none
        << false << false << false << false << 0;
    QTest::newRow("no deferred column in the table")
        << kEveryRecord << az << QStringList{QStringLiteral("NINCS")} << none << false << false
        << false << false << 0;
    QTest::newRow("columns named") << "select CIM, TIP from tbl_Data order by CIM" << az
                                   << kDeferred << none << false << false << false << false << 0;
}

void TestQueryPlanner::plansOfStatements() {
    QFETCH(QString, sql);
    QFETCH(QString, keyField);
    QFETCH(QStringList, deferred);
    QFETCH(QString, clientSort);
    QFETCH(bool, clientFilter);
    QFETCH(bool, narrowed);
    QFETCH(bool, probeable);
    QFETCH(bool, digested);
    QFETCH(int, firstScreen);
    Fixture f;
    QueryPlanner planner(f.conn);
    planner.setSql(sql);
    planner.setKeyField(keyField);
    planner.setDeferredFields(deferred);
    planner.setFirstScreen(50);
    const QueryPlan plan = planner.plan(clientSort, clientFilter);

    QCOMPARE(plan.narrowed(), narrowed);
    QCOMPARE(plan.probeable, probeable);
    QCOMPARE(plan.digested(), digested);
    QCOMPARE(plan.firstScreen, firstScreen);
    QCOMPARE(plan.readAlong, false); // a small table
    QCOMPARE(plan.statement.contains(RowDelta::digestAlias()), digested);
    QCOMPARE(plan.verified.now > 0, probeable); // stamped before the rows, when it counts
    if (!narrowed) {
        QCOMPARE(plan.statement, sql);
        QVERIFY(plan.shape.columns.empty());
    } else {
        // Every column of the table in its order, the deferred ones marked and left out.
        QCOMPARE(columnNames(plan.shape),
                 QStringLiteral(
                     "CIM TIP KAT KSZO* HIV DATUM FELVEV LEIRAS* FOTO* AZ FNEV FTIP FMER FILE*")
                     .split(QLatin1Char(' ')));
        QCOMPARE(plan.shape.table, QStringLiteral("tbl_Data"));
        QCOMPARE(plan.shape.keyColumn, plan.shape.findColumn(QStringLiteral("AZ")));
        QCOMPARE(plan.shape.store.width(), 10);
        QCOMPARE(plan.resultColumns(), digested ? 11 : 10);
        for (const QString& column : kDeferred)
            QVERIFY2(!plan.statement.contains(QLatin1Char('`') + column + QLatin1Char('`')),
                     qPrintable(plan.statement));
        QVERIFY(plan.statement.endsWith(sql.mid(sql.indexOf(QLatin1String(" from ")))));
    }
    // The server takes the statement as planned, and gives the columns the rows are read by.
    MariaStatement st(f.conn, firstScreen > 0 ? plan.firstScreenStatement() : plan.statement);
    st.executeText();
    if (narrowed)
        QCOMPARE(int(st.columns().size()), plan.resultColumns());
    st.finish();
    QCOMPARE(f.hookCalls, QStringList());
}

// A large table (by the server's estimate) is read whole along with its first screen.
void TestQueryPlanner::largeTableIsReadAlong_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("readAlong");
    QTest::newRow("a small table") << 100 << false;
    QTest::newRow("a large table") << 6000 << true;
}

void TestQueryPlanner::largeTableIsReadAlong() {
    QFETCH(int, records);
    QFETCH(bool, readAlong);
    Fixture f;
    f.db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM) SELECT CONCAT('T ', seq) FROM "
                             "seq_1_to_%1")
                  .arg(records));
    f.db.exec(QStringLiteral("ANALYZE TABLE tbl_Data")); // the estimate now, not some time later
    QueryPlanner planner(f.conn);
    planner.setSql(kEveryRecord);
    planner.setKeyField(QStringLiteral("AZ"));
    planner.setDeferredFields(kDeferred);
    planner.setFirstScreen(50);
    QCOMPARE(planner.plan(QString(), false).readAlong, readAlong);
    planner.setFirstScreen(0); // nothing is read along without a first screen
    QCOMPARE(planner.plan(QString(), false).readAlong, false);
}

// What a refresh may skip: nothing changed since the rows were read (after a pause, so that
// the server's whole-second times tell), a change elsewhere, and statements whose rows
// cannot be compared by digest.
void TestQueryPlanner::refreshSteps_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("change"); // by the other workstation, after the rows were read
    QTest::addColumn<int>("step");       // RefreshStep::Kind
    const int unchanged = int(RefreshStep::Kind::Unchanged);
    const int byChanges = int(RefreshStep::Kind::ByChanges);
    const int whole = int(RefreshStep::Kind::Whole);
    const QString update = QStringLiteral("UPDATE tbl_Data SET TIP = 'Könyv' WHERE CIM = 'R 3'");
    QTest::newRow("nothing changed") << kEveryRecord << "" << unchanged;
    QTest::newRow("a row changed") << kEveryRecord << update << byChanges;
    QTest::newRow("a row changed, no order") << "select * from tbl_Data" << update << whole;
    QTest::newRow("another table changed")
        << kEveryRecord << "INSERT INTO tbl_Tip (TIP) VALUES ('Más')" << unchanged;
    QTest::newRow("a function, nothing changed")
        << "select * from tbl_Data where FMER >= ABS(-1) order by CIM"
        << "" << whole;
    QTest::newRow("an open transaction that may write") << kEveryRecord << "=open" << byChanges;
}

void TestQueryPlanner::refreshSteps() {
    QFETCH(QString, sql);
    QFETCH(QString, change);
    QFETCH(int, step);
    Fixture f;
    waitPastTheLastChange();
    if (change == QLatin1String("=open")) {
        // Open while the rows are read: it may commit later with an earlier time.
        f.other.execute(QStringLiteral("START TRANSACTION"));
        f.other.execute(QStringLiteral("UPDATE tbl_Tip SET TIP = TIP"));
    }
    QueryPlanner planner(f.conn);
    planner.setSql(sql);
    planner.setKeyField(QStringLiteral("AZ"));
    planner.setDeferredFields(kDeferred);
    const QueryPlan plan = planner.plan(QString(), false);
    RowSet rows = plan.shape.emptyLike();
    MariaStatement st(f.conn, plan.statement);
    st.executeText();
    appendRows(st, rows, plan.digested());
    QCOMPARE(rows.store.rows(), 30);
    if (change == QLatin1String("=open"))
        f.other.execute(QStringLiteral("COMMIT"));
    else if (!change.isEmpty())
        f.other.execute(change);

    const RefreshStep next = planner.refreshStep(plan, rows);
    QCOMPARE(int(next.kind), step);
    if (next.kind == RefreshStep::Kind::ByChanges) {
        QCOMPARE(next.maxChanges, 1000); // a twentieth of the rows, at least a thousand
        QVERIFY(next.now.now >= plan.verified.now);
    }
    QCOMPARE(f.hookCalls, QStringList());
}

// A table made anew may have other columns: its refresh reads it whole, and the next plan
// learns its columns again instead of naming the old ones.
void TestQueryPlanner::tableMadeAnewIsLearntAgain() {
    Fixture f;
    QueryPlanner planner(f.conn);
    planner.setSql(kEveryRecord);
    planner.setKeyField(QStringLiteral("AZ"));
    planner.setDeferredFields(kDeferred);
    const QueryPlan plan = planner.plan(QString(), false);
    QVERIFY(plan.statement.contains(QLatin1String("`FNEV`")));
    QThread::msleep(1100); // another second of creation
    f.db.exec(QStringLiteral("CREATE TABLE kx_new LIKE tbl_Data"));
    f.db.exec(QStringLiteral("ALTER TABLE kx_new DROP COLUMN FNEV"));
    f.db.exec(QStringLiteral("DROP TABLE tbl_Data"));
    f.db.exec(QStringLiteral("RENAME TABLE kx_new TO tbl_Data"));

    QCOMPARE(int(planner.refreshStep(plan, plan.shape).kind), int(RefreshStep::Kind::Whole));
    const QueryPlan again = planner.plan(QString(), false);
    QVERIFY2(!again.statement.contains(QLatin1String("`FNEV`")), qPrintable(again.statement));
    QCOMPARE(again.shape.findColumn(QStringLiteral("FNEV")), -1);
    QCOMPARE(f.hookCalls, QStringList());
}

QTEST_GUILESS_MAIN(TestQueryPlanner)
#include "tst_queryplanner.moc"

// The record query's result stream: the pieces the reading worker hands over join the rows
// in hand in the statement's order, each row with its digest, the first screen growing when
// the read begins with it and replaced when it does not; on a real server, a first screen
// and the rest read meanwhile add up to the whole result, however the rest is taken, and a
// stopped read tells nothing any more.
#include "data/query/QueryPlanner.h"
#include "data/query/ResultStream.h"
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "data/sql/SmallAnswer.h"
#include "support/TestServer.h"

#include <QTest>

using namespace kx;

Q_DECLARE_METATYPE(ResultStream::Joined)

namespace {

const QString kEveryRecord = QStringLiteral("Select * from tbl_Data order by CIM");

// Rows "r<first>"... of one column, each with its number as the digest.
RowSet numberedRows(int first, int count) {
    RowSet rows;
    rows.columns.push_back(ResultColumn{QStringLiteral("CIM"), false, false, false, 0, 0});
    rows.store = RowStore(1);
    for (int n = first; n < first + count; ++n) {
        const QByteArray value = "r" + QByteArray::number(n);
        rows.store.append(value.constData(), value.size(), false);
        rows.digests.push_back(quint64(n));
        rows.order.push_back(rows.store.rows() - 1);
    }
    return rows;
}

QStringList words(const QString& text) {
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList numbered(int first, int count) {
    QStringList out;
    for (int n = first; n < first + count; ++n)
        out << QStringLiteral("r%1").arg(n);
    return out;
}

// The rows as the statement orders them; a row whose digest is not its own is marked.
QStringList valuesOf(const RowSet& rows) {
    QStringList out;
    for (const int r : rows.order) {
        const QString value = rows.store.textAt(r, 0);
        const bool digestFollows = size_t(r) < rows.digests.size() &&
                                   value == QStringLiteral("r%1").arg(rows.digests[size_t(r)]);
        out << (digestFollows ? value : value + QStringLiteral(" (digest lost)"));
    }
    return out;
}

// Every row of a record read by key and digest, in order: what tells two reads apart.
QStringList keysOf(const RowSet& rows) {
    QStringList out;
    for (const int r : rows.order)
        out << QStringLiteral("%1:%2").arg(rows.keyOf(r)).arg(rows.digests.at(size_t(r)));
    return out;
}

struct Fixture {
    test::TestDatabase db;
    MariaConnection conn;
    QStringList events; // the hook's failures and the tables told as changed, in turn
    QueryPlanner planner{conn};

    Fixture() {
        conn.setParams(db.params());
        conn.setErrorHook(
            [this](const DbError& e) { events << QStringLiteral("hook: ") + e.message(); });
        conn.open();
        planner.setSql(kEveryRecord);
        planner.setKeyField(QStringLiteral("AZ"));
        planner.setDeferredFields({QStringLiteral("KSZO"), QStringLiteral("LEIRAS"),
                                   QStringLiteral("FOTO"), QStringLiteral("FILE")});
    }
    std::function<void(const QString&)> tableChanged() {
        return [this](const QString& table) { events << QStringLiteral("changed: ") + table; };
    }
    void addRecords(int count) {
        db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, FMER) SELECT CONCAT('Zs ', LPAD(seq, "
                               "6, '0')), seq FROM seq_1_to_%1")
                    .arg(count));
        db.exec(QStringLiteral("ANALYZE TABLE tbl_Data")); // its size known now
    }
    RowSet wholeResult() {
        QueryPlan whole = planner.plan(QString(), false);
        whole.firstScreen = 0;
        return ResultStream(conn, tableChanged()).read(whole);
    }
};

} // namespace

class TestResultStream : public QObject {
    Q_OBJECT

private slots:
    void piecesJoinInOrder_data();
    void piecesJoinInOrder();
    void firstScreenAndTheRest_data();
    void firstScreenAndTheRest();
    void rowLimit_data();
    void rowLimit();
    void failedReadTellsTheTable();
};

// Each batch is the pieces one hand-over brings (their sizes); the read's rows are r1, r2...
// across them. The last batch comes with the end of the read when ended.
void TestResultStream::piecesJoinInOrder_data() {
    using J = ResultStream::Joined;
    QTest::addColumn<QStringList>("inHand");
    QTest::addColumn<QString>("batches"); // "|" between hand-overs
    QTest::addColumn<bool>("ended");
    QTest::addColumn<QList<J>>("joined");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("the read begins with the rows in hand")
        << numbered(1, 3) << "4|2" << false << QList<J>{J::Grown, J::Appended} << numbered(1, 6);
    QTest::newRow("pieces wait until they outnumber the rows in hand")
        << numbered(1, 3) << "2|1|2" << false << QList<J>{J::Nothing, J::Nothing, J::Grown}
        << numbered(1, 5);
    QTest::newRow("several pieces in one hand-over")
        << numbered(1, 2) << "1 1 1 2|3 1" << false << QList<J>{J::Grown, J::Appended}
        << numbered(1, 9);
    QTest::newRow("the read differs from the rows in hand")
        << words(QStringLiteral("r1 x r3")) << "4" << false << QList<J>{J::Replaced}
        << numbered(1, 4);
    QTest::newRow("the end before the rows in hand are outnumbered")
        << numbered(1, 3) << "1|2" << true << QList<J>{J::Nothing, J::Grown} << numbered(1, 3);
    QTest::newRow("fewer rows at the end than in hand")
        << numbered(1, 3) << "2" << true << QList<J>{J::Replaced} << numbered(1, 2);
    QTest::newRow("an empty result at the end")
        << numbered(1, 3) << "0" << true << QList<J>{J::Replaced} << QStringList();
    QTest::newRow("nothing more at the end")
        << numbered(1, 3) << "4|" << true << QList<J>{J::Grown, J::Nothing} << numbered(1, 4);
}

void TestResultStream::piecesJoinInOrder() {
    using J = ResultStream::Joined;
    QFETCH(QStringList, inHand);
    QFETCH(QString, batches);
    QFETCH(bool, ended);
    QFETCH(QList<J>, joined);
    QFETCH(QStringList, after);
    RowSet rows = numberedRows(1, 0);
    for (const QString& value : inHand) {
        rows.store.append(value.toLatin1().constData(), value.size(), false);
        rows.digests.push_back(value.mid(1).toULongLong());
        rows.order.push_back(rows.store.rows() - 1);
    }
    MariaConnection unused;
    ResultStream stream(unused, [](const QString&) {});
    QList<J> outcomes;
    int next = 1;
    const QStringList handOvers = batches.split(QLatin1Char('|'));
    for (qsizetype b = 0; b < handOvers.size(); ++b) {
        std::vector<RowSet> pieces;
        for (const QString& size : words(handOvers[b])) {
            pieces.push_back(numberedRows(next, size.toInt()));
            next += size.toInt();
        }
        outcomes << stream.join(std::move(pieces), ended && b == handOvers.size() - 1, rows);
    }
    QCOMPARE(outcomes, joined);
    QCOMPARE(valuesOf(rows), after);
}

// The first screen at once, the rest read meanwhile; however it is taken, the rows end up
// those of the whole result, in order, each with its digest.
void TestResultStream::firstScreenAndTheRest_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("then");
    QTest::newRow("fewer rows than a screen") << 10 << "";
    QTest::newRow("the rest waited for") << 3000 << "rest";
    QTest::newRow("the rest through the event loop") << 3000 << "loop";
    QTest::newRow("the whole in place of the first screen") << 3000 << "whole";
    QTest::newRow("a large table read along") << 6000 << "rest";
    QTest::newRow("stopped") << 3000 << "stop";
}

void TestResultStream::firstScreenAndTheRest() {
    using J = ResultStream::Joined;
    QFETCH(int, records);
    QFETCH(QString, then);
    Fixture f;
    f.addRecords(records);
    f.planner.setFirstScreen(50);
    const QueryPlan plan = f.planner.plan(QString(), false);
    QCOMPARE(plan.firstScreen, 50);
    QCOMPARE(plan.readAlong, records > 5000);
    const QStringList whole = keysOf(f.wholeResult());

    ResultStream stream(f.conn, f.tableChanged());
    QObject receiver;
    RowSet rows;
    QList<J> outcomes;
    int stale = 0; // notices of a read that is no longer the one in force
    const auto take = [&](quint64 read, bool rest) {
        if (!stream.isCurrent(read))
            ++stale;
        else if (const J j = rest ? stream.takeRest(rows) : stream.takeReady(rows); j != J::Nothing)
            outcomes << j;
    };
    stream.setNotices(
        &receiver, [&](quint64 read) { take(read, false); },
        [&](quint64 read) { take(read, true); });
    rows = stream.read(plan);
    QCOMPARE(keysOf(rows), whole.mid(0, 50));
    QCOMPARE(stream.isReading(), records > 50);

    if (then == QLatin1String("rest")) {
        outcomes << stream.takeRest(rows);
    } else if (then == QLatin1String("loop")) {
        QTRY_VERIFY_WITH_TIMEOUT(!stream.isReading(), 20000);
    } else if (then == QLatin1String("whole")) {
        stream.takeWhole(rows);
    } else if (then == QLatin1String("stop")) {
        stream.stop();
        QVERIFY(!stream.isReading());
        stream.waitForStopped();
        QTest::qWait(50); // whatever the stopped read posted arrives, and is turned away
        QCOMPARE(keysOf(rows), whole.mid(0, 50));
        QCOMPARE(outcomes, QList<J>());
        QCOMPARE(f.events, QStringList());
        return;
    }
    QVERIFY(!stream.isReading());
    QCOMPARE(keysOf(rows), whole);
    if (!outcomes.isEmpty()) { // the screen grew, then only rows were added
        QCOMPARE(outcomes.first(), J::Grown);
        QCOMPARE(outcomes.count(J::Grown), 1);
        QCOMPARE(outcomes.count(J::Grown) + outcomes.count(J::Appended), outcomes.size());
    }
    QCOMPARE(stale, 0);
    QCOMPARE(f.events, QStringList());
}

// An answer that is small by nature is read up to its limit and given up past it.
void TestResultStream::rowLimit_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("read");
    QTest::newRow("no limit") << -1 << true;
    QTest::newRow("an answer that fills the limit") << 3 << true;
    QTest::newRow("an answer past the limit") << 2 << false;
}

void TestResultStream::rowLimit() {
    QFETCH(int, limit);
    QFETCH(bool, read);
    Fixture f;
    f.addRecords(3);
    ResultStream stream(f.conn, f.tableChanged());
    stream.setRowLimit(limit);
    QueryPlan plan; // the statement's own columns
    plan.statement = QStringLiteral("SELECT AZ, CIM FROM tbl_Data ORDER BY CIM");
    plan.keyField = QStringLiteral("AZ");
    try {
        const RowSet rows = stream.read(plan);
        QVERIFY(read);
        QCOMPARE(rows.store.rows(), 3);
        QCOMPARE(rows.keyColumn, 0);
        QCOMPARE(rows.store.textAt(rows.order[2], 1), QStringLiteral("Zs 000003"));
    } catch (const DbError& e) {
        QVERIFY(!read);
        QCOMPARE(e.message(), SmallAnswer::tooLarge().message());
        QCOMPARE(f.events, QStringList{QStringLiteral("hook: ") + e.message()});
    }
}

// A whole read whose statement the server refuses tells its table as possibly changed,
// after the failure went through the hook, so that its columns are learnt again.
void TestResultStream::failedReadTellsTheTable() {
    Fixture f;
    f.addRecords(3);
    const QueryPlan plan = f.planner.plan(QString(), false);
    f.db.exec(QStringLiteral("ALTER TABLE tbl_Data DROP COLUMN FNEV"));
    ResultStream stream(f.conn, f.tableChanged());
    QVERIFY_THROWS_EXCEPTION(DbError, stream.read(plan));
    QCOMPARE(f.events.size(), 2);
    QVERIFY2(f.events[0].startsWith(QLatin1String("hook: ")), qPrintable(f.events[0]));
    QCOMPARE(f.events[1], QStringLiteral("changed: tbl_Data"));
}

QTEST_GUILESS_MAIN(TestResultStream)
#include "tst_resultstream.moc"

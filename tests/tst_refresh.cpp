// The record refresh that reads only what changed, against a real server with a second real
// connection as the other workstation: after every kind of change the record query equals a
// full read of the same statement, row for row and in order, with the search and the sort in
// force; the current record keeps its place; with nothing changed nothing travels again.
#include "data/query/Query.h"
#include "data/query/refresh/StatementShape.h"
#include "data/records/RecordSearch.h"
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "support/TestServer.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <algorithm>

using namespace kx;
using kx::test::TestDatabase;

namespace {

const QStringList kVisible{QStringLiteral("AZ"),     QStringLiteral("CIM"),
                           QStringLiteral("TIP"),    QStringLiteral("KAT"),
                           QStringLiteral("HIV"),    QStringLiteral("DATUM"),
                           QStringLiteral("FELVEV"), QStringLiteral("FNEV"),
                           QStringLiteral("FTIP"),   QStringLiteral("FMER")};
const QString kRefresh = QStringLiteral("=refresh");   // the program refreshes and compares
const QString kPause = QStringLiteral("=pause");       // two seconds without any change
const QString kNextSecond = QStringLiteral("=second"); // waits for the start of a second
const QString kOneSecond = QStringLiteral("=one");     // one second without any change
// A refresh that must find the rows unchanged from what the server says of the table alone.
const QString kQuietRefresh = QStringLiteral("=quiet");

void makeRecordQuery(Query& q, const QString& sql, const QString& sortField) {
    q.setKeyField(QStringLiteral("AZ"));
    q.setDeferredFields({QStringLiteral("KSZO"), QStringLiteral("LEIRAS"), QStringLiteral("FOTO"),
                         QStringLiteral("FILE")});
    q.setSql(sql);
    q.setSortField(sortField);
}

// Every visible value of every row in grid order, NULL told apart from empty.
QList<QStringList> gridOf(Query& q) {
    QList<QStringList> rows;
    for (int r = 0; r < q.recordCount(); ++r) {
        QStringList row;
        for (const QString& field : kVisible) {
            const int c = q.columnIndex(field);
            row << q.textAt(r, c);
        }
        rows << row;
    }
    return rows;
}

// The current record's every value, the long ones included, as the forms read them.
QStringList currentRecord(Query& q) {
    QStringList out;
    for (const QString& field :
         kVisible + QStringList{QStringLiteral("KSZO"), QStringLiteral("LEIRAS")})
        out << (q.isNull(field) ? QStringLiteral("<null>") : q.asString(field));
    for (const QString& blob : {QStringLiteral("FOTO"), QStringLiteral("FILE")})
        out << (q.isNull(blob) ? QStringLiteral("<null>") : QString::number(q.blobSize(blob)));
    return out;
}

QString lit(const QString& text) {
    return text == QLatin1String("NULL") ? text : QStringLiteral("'") + text + QStringLiteral("'");
}

qint64 bytesSent(MariaConnection& conn) {
    return conn
        .scalar(QStringLiteral("SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS "
                               "WHERE VARIABLE_NAME = 'BYTES_SENT'"))
        .toLongLong();
}

struct Fixture {
    TestDatabase db;
    MariaConnection program;
    MariaConnection other; // the other workstation
    QStringList hookCalls;

    Fixture() {
        program.setParams(db.params());
        program.setErrorHook([this](const DbError& e) { hookCalls << e.message(); });
        program.open();
        other.setParams(db.otherWorkstation());
        other.open();
        // Titles in the collation's order and out of it, types and sizes that tie, NULLs.
        const QStringList titles{
            QStringLiteral("Alma"),  QStringLiteral("Ágyú"),   QStringLiteral("Barack"),
            QStringLiteral("Cukor"), QStringLiteral("Csiga"),  QStringLiteral("Dió"),
            QStringLiteral("Eper"),  QStringLiteral("Élet"),   QStringLiteral("Füge"),
            QStringLiteral("Gomba"), QStringLiteral("Hagyma"), QStringLiteral("Kalap"),
            QStringLiteral("Levél"), QStringLiteral("Málna"),  QStringLiteral("Öröm"),
            QStringLiteral("Őz"),    QStringLiteral("Palack"), QStringLiteral("Saláta"),
            QStringLiteral("Zebra"), QStringLiteral("ostor")};
        const QStringList types{QStringLiteral("Könyv"), QStringLiteral("Cikk"),
                                QStringLiteral("NULL"), QStringLiteral("cikk"), QString()};
        const QStringList sizes{QStringLiteral("NULL"), QStringLiteral("10"), QStringLiteral("5"),
                                QStringLiteral("100"), QStringLiteral("7")};
        for (qsizetype i = 0; i < titles.size(); ++i)
            db.exec(
                QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, KAT, HIV, DATUM, FELVEV, "
                               "FNEV, FTIP, FMER, LEIRAS, KSZO, FOTO) VALUES (%1, %2, 'Kat "
                               "%3', 'Hiv', '2024. 01. %3.', 'Éva', %4, %5, %6, %7, 'szó', "
                               "%8)")
                    .arg(lit(titles[i]), lit(types[i % types.size()]))
                    .arg(i % 7)
                    .arg(i % 3 ? QStringLiteral("NULL") : QStringLiteral("'f.txt'"),
                         i % 3 ? QStringLiteral("NULL") : QStringLiteral("'TEXT'"),
                         sizes[i % sizes.size()],
                         lit(i % 4 ? QStringLiteral("leírás") : QStringLiteral("alapos leírás")),
                         i % 2 ? QStringLiteral("NULL") : QStringLiteral("x'FFD8'")));
        // Enough rows that reading them all again would show in what travels.
        db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, FMER) SELECT CONCAT('Zs ', "
                               "seq), 'Cikk', seq FROM seq_1_to_200"));
    }
    // Records named by their number n (from 201 on, after the fixture's own): "Zs n n%7",
    // type 'Cikk', FMER n.
    void addNumbered(int first, int last) {
        db.exec(
            QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, FMER) SELECT CONCAT('Zs ', seq, ' ', "
                           "seq % 7), 'Cikk', seq FROM seq_%1_to_%2")
                .arg(first)
                .arg(last));
    }
};

} // namespace

class TestRefresh : public QObject {
    Q_OBJECT

private slots:
    void statementShape_data();
    void statementShape();
    void refreshEqualsAFullRead_data();
    void refreshEqualsAFullRead();
    void firstScreenAtOnce_data();
    void firstScreenAtOnce();
    void restArrivesInPieces_data();
    void restArrivesInPieces();
    void changedStoreRefreshesWithFirstScreen_data();
    void changedStoreRefreshesWithFirstScreen();
    void largeStoreIsComparedInHalves_data();
    void largeStoreIsComparedInHalves();
};

// Which statements may be taken as unchanged when their table is: only those whose rows
// depend on the table's own rows. A wrong "yes" would hide changes, so anything else is "no".
void TestRefresh::statementShape_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("tableOnly");
    QTest::addColumn<QString>("orderColumn");
    QTest::addColumn<bool>("descending");
    QTest::newRow("every record") << allRecordsStatement() << true << "CIM" << false;
    QTest::newRow("a search whose text looks like a statement")
        << searchStatement(QStringLiteral("x') or now() -- order by TIP"), SearchColumns::Menu)
        << true << "CIM" << false;
    QTest::newRow("descending") << "select * from tbl_Data where FMER > 5 order by FMER desc"
                                << true << "FMER" << true;
    QTest::newRow("a doubled apostrophe")
        << "select * from tbl_Data where CIM = 'it''s' order by TIP" << true << "TIP" << false;
    QTest::newRow("two sort columns")
        << "select * from tbl_Data order by CIM, TIP" << true << "" << false;
    QTest::newRow("a function") << "select * from tbl_Data where DATUM > NOW() order by CIM"
                                << false << "" << false;
    QTest::newRow("another table")
        << "select * from tbl_Data where TIP in (select TIP from tbl_Tip) order by CIM" << false
        << "" << false;
    QTest::newRow("a limit") << "select * from tbl_Data order by CIM limit 10" << false << ""
                             << false;
    QTest::newRow("a variable") << "select * from tbl_Data where CIM = @cim" << false << ""
                                << false;
    QTest::newRow("a comment") << "select * from tbl_Data where CIM = 'a' -- order by CIM" << false
                               << "" << false;
    QTest::newRow("an open quote")
        << "select * from tbl_Data where CIM = 'a order by CIM" << false << "" << false;
    QTest::newRow("an unknown column")
        << "select * from tbl_Data order by NINCS" << false << "" << false;
}

void TestRefresh::statementShape() {
    QFETCH(QString, sql);
    QFETCH(bool, tableOnly);
    QFETCH(QString, orderColumn);
    QFETCH(bool, descending);
    const QStringList columns{
        QStringLiteral("CIM"),    QStringLiteral("TIP"),    QStringLiteral("KAT"),
        QStringLiteral("KSZO"),   QStringLiteral("HIV"),    QStringLiteral("DATUM"),
        QStringLiteral("FELVEV"), QStringLiteral("LEIRAS"), QStringLiteral("FOTO"),
        QStringLiteral("AZ"),     QStringLiteral("FNEV"),   QStringLiteral("FTIP"),
        QStringLiteral("FMER"),   QStringLiteral("FILE")};
    const StatementShape s = StatementShape::parse(sql, columns);
    QCOMPARE(s.table, QStringLiteral("tbl_Data"));
    QCOMPARE(s.readsTableOnly, tableOnly);
    QCOMPARE(s.orderColumn, orderColumn);
    QCOMPARE(s.descending, descending);
}

void TestRefresh::refreshEqualsAFullRead_data() {
    QTest::addColumn<QString>("search"); // empty: every record
    QTest::addColumn<QString>("sortField");
    QTest::addColumn<QStringList>("steps"); // the other workstation's statements, and marks

    const QString dio = QStringLiteral(" WHERE CIM = 'Dió'");
    struct Change {
        const char* name;
        QStringList steps;
    };
    const QList<Change> changes{
        {"nothing changed", {}},
        {"nothing changed for a while", {kPause, kRefresh, kQuietRefresh}},
        {"insert",
         {QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, FMER, LEIRAS) VALUES ('Dinnye', "
                         "'Könyv', 6, 'alma')")}},
        {"update of CIM", {QStringLiteral("UPDATE tbl_Data SET CIM = 'Zab'") + dio}},
        {"update of TIP", {QStringLiteral("UPDATE tbl_Data SET TIP = 'Atlasz'") + dio}},
        {"update of KAT", {QStringLiteral("UPDATE tbl_Data SET KAT = 'Új'") + dio}},
        {"update of HIV", {QStringLiteral("UPDATE tbl_Data SET HIV = NULL") + dio}},
        {"update of DATUM", {QStringLiteral("UPDATE tbl_Data SET DATUM = '2025.'") + dio}},
        {"update of FELVEV", {QStringLiteral("UPDATE tbl_Data SET FELVEV = 'Péter'") + dio}},
        {"update of FNEV", {QStringLiteral("UPDATE tbl_Data SET FNEV = 'g.pdf'") + dio}},
        {"update of FTIP", {QStringLiteral("UPDATE tbl_Data SET FTIP = ''") + dio}},
        {"update of FMER", {QStringLiteral("UPDATE tbl_Data SET FMER = 1000") + dio}},
        {"update of the description only",
         {QStringLiteral("UPDATE tbl_Data SET LEIRAS = 'kalap alatt'") + dio}},
        {"update of the keywords only", {QStringLiteral("UPDATE tbl_Data SET KSZO = NULL") + dio}},
        {"update of the photo only", {QStringLiteral("UPDATE tbl_Data SET FOTO = x'00'") + dio}},
        {"update of the file only",
         {QStringLiteral("UPDATE tbl_Data SET FILE = REPEAT('x', 3000)") + dio}},
        {"delete", {QStringLiteral("DELETE FROM tbl_Data") + dio}},
        {"the same key deleted and inserted again",
         {QStringLiteral("SET @k = (SELECT AZ FROM tbl_Data") + dio + QStringLiteral(")"),
          QStringLiteral("DELETE FROM tbl_Data") + dio,
          QStringLiteral("INSERT INTO tbl_Data (AZ, CIM, TIP) VALUES (@k, 'Dió', 'Más')")}},
        {"the same key with the same values again",
         {QStringLiteral("SELECT AZ, CIM, TIP, KAT, HIV, DATUM, FELVEV, FNEV, FTIP, FMER, LEIRAS, "
                         "KSZO, FOTO INTO @k, @c, @t, @ka, @h, @d, @f, @fn, @ft, @fm, @l, @s, @p "
                         "FROM tbl_Data") +
              dio,
          QStringLiteral("DELETE FROM tbl_Data") + dio,
          QStringLiteral("INSERT INTO tbl_Data (AZ, CIM, TIP, KAT, HIV, DATUM, FELVEV, FNEV, FTIP, "
                         "FMER, LEIRAS, KSZO, FOTO) VALUES (@k, @c, @t, @ka, @h, @d, @f, @fn, @ft, "
                         "@fm, @l, @s, @p)")}},
        {"a value moved to the next column",
         {QStringLiteral("UPDATE tbl_Data SET KAT = NULL") + dio, kRefresh,
          QStringLiteral("UPDATE tbl_Data SET TIP = NULL, KAT = 'Könyv'") + dio}},
        {"letter case only", {QStringLiteral("UPDATE tbl_Data SET CIM = 'DIÓ'") + dio}},
        {"trailing blanks only", {QStringLiteral("UPDATE tbl_Data SET TIP = 'Cikk  '") + dio}},
        {"two changes in one second",
         {kNextSecond, QStringLiteral("UPDATE tbl_Data SET TIP = 'Első'") + dio, kRefresh,
          QStringLiteral("UPDATE tbl_Data SET TIP = 'Második'") + dio}},
        {"a change after a quiet while",
         {kPause, kRefresh, kQuietRefresh, QStringLiteral("UPDATE tbl_Data SET FMER = 3") + dio}},
        // The other workstation's transaction began before this program read, and commits
        // after it: the server dates such a change by the transaction's start.
        {"insert committed after a read",
         {QStringLiteral("START TRANSACTION"),
          QStringLiteral("INSERT INTO tbl_Data (CIM, TIP) VALUES ('Dinnye', 'Könyv')"), kPause,
          kRefresh, QStringLiteral("COMMIT")}},
        {"update committed after a read",
         {QStringLiteral("START TRANSACTION"),
          QStringLiteral("UPDATE tbl_Data SET TIP = 'Késő'") + dio, kPause, kRefresh,
          QStringLiteral("COMMIT")}},
        {"delete committed after a read",
         {QStringLiteral("START TRANSACTION"), QStringLiteral("DELETE FROM tbl_Data") + dio, kPause,
          kRefresh, QStringLiteral("COMMIT")}},
        {"update held open 1 s",
         {QStringLiteral("START TRANSACTION"),
          QStringLiteral("UPDATE tbl_Data SET TIP = 'Késő'") + dio, kOneSecond, kRefresh,
          QStringLiteral("COMMIT")}},
        {"update held open 5 s",
         {QStringLiteral("START TRANSACTION"),
          QStringLiteral("UPDATE tbl_Data SET TIP = 'Késő'") + dio, kPause, kPause, kOneSecond,
          kRefresh, QStringLiteral("COMMIT")}},
        {"update held open across two reads",
         {QStringLiteral("START TRANSACTION"),
          QStringLiteral("UPDATE tbl_Data SET TIP = 'Késő'") + dio, kPause, kRefresh, kPause,
          kRefresh, QStringLiteral("COMMIT")}},
        {"many changes",
         {QStringLiteral("UPDATE tbl_Data SET FMER = AZ % 4, TIP = CONCAT(TIP, 'x')"),
          QStringLiteral("DELETE FROM tbl_Data WHERE CIM LIKE 'S%'"),
          QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES ('Alma 2'), ('alma'), (NULL)")}},
    };
    const QList<std::pair<QString, QString>> views{{QString(), QString()},
                                                   {QString(), QStringLiteral("TIP")},
                                                   {QStringLiteral("al"), QString()},
                                                   {QStringLiteral("al"), QStringLiteral("FMER")}};
    for (const auto& [search, sort] : views)
        for (const Change& c : changes)
            QTest::newRow(
                qPrintable(QStringLiteral("%1%2: %3")
                               .arg(search.isEmpty() ? QStringLiteral("all records")
                                                     : QStringLiteral("search"),
                                    sort.isEmpty() ? QString() : QStringLiteral(" by ") + sort,
                                    QLatin1String(c.name))))
                << search << sort << c.steps;
}

void TestRefresh::refreshEqualsAFullRead() {
    QFETCH(QString, search);
    QFETCH(QString, sortField);
    QFETCH(QStringList, steps);
    Fixture f;
    const QString sql =
        search.isEmpty() ? allRecordsStatement() : searchStatement(search, SearchColumns::Toolbar);
    Query q(f.program);
    makeRecordQuery(q, sql, sortField);
    q.open();
    // The current record is one the changes touch, its long values read already.
    for (int r = 0; r < q.recordCount(); ++r) {
        q.setCurrentRow(r);
        if (q.asString(QStringLiteral("CIM")) == QLatin1String("Dió"))
            break;
    }
    currentRecord(q);

    // Compares the query with a full read of the same statement at this moment.
    const auto compareWithFullRead = [&] {
        Query full(f.program);
        makeRecordQuery(full, sql, sortField);
        full.open();
        QCOMPARE(q.recordCount(), full.recordCount());
        QCOMPARE(gridOf(q), gridOf(full));
        // The current record reads as the full read's record of the same key.
        const QString key = q.asString(QStringLiteral("AZ"));
        for (int r = 0; r < full.recordCount(); ++r) {
            full.setCurrentRow(r);
            if (full.asString(QStringLiteral("AZ")) == key) {
                QCOMPARE(q.currentRow(), r);
                QCOMPARE(currentRecord(q), currentRecord(full));
                break;
            }
        }
    };

    steps << kRefresh;
    for (const QString& step : std::as_const(steps)) {
        if (step == kPause) {
            QThread::msleep(2100);
        } else if (step == kOneSecond) {
            QThread::msleep(1000);
        } else if (step == kNextSecond) {
            const qint64 ms = QDateTime::currentMSecsSinceEpoch() % 1000;
            QThread::msleep(quint64(1000 - ms + 20));
        } else if (step == kRefresh || step == kQuietRefresh) {
            const QString keyBefore = q.asString(QStringLiteral("AZ"));
            const int rowBefore = q.currentRow();
            const qint64 before = bytesSent(f.program);
            q.refresh();
            const qint64 sent = bytesSent(f.program) - before;
            compareWithFullRead();
            if (QTest::currentTestFailed())
                return;
            if (step == kQuietRefresh) // one short question, no row
                QVERIFY2(sent < 1000, qPrintable(QString::number(sent)));
            // The current record stays current while the statement still has it; else the
            // same place.
            bool stillThere = false;
            for (int r = 0; r < q.recordCount() && !keyBefore.isEmpty(); ++r)
                stillThere =
                    stillThere || q.textAt(r, q.columnIndex(QStringLiteral("AZ"))) == keyBefore;
            if (stillThere)
                QCOMPARE(q.asString(QStringLiteral("AZ")), keyBefore);
            else if (q.recordCount() > 0)
                QCOMPARE(q.currentRow(), std::min(rowBefore, q.recordCount() - 1));
        } else {
            f.other.execute(step);
        }
    }
    QCOMPARE(f.hookCalls, QStringList());
}

// A long result opens with its first screen; the rest follows on a connection of its own and
// takes its place, as a full read would show it, also when a refresh or a close comes first.
void TestRefresh::firstScreenAtOnce_data() {
    QTest::addColumn<QString>("search");
    QTest::addColumn<int>("records");  // filler records besides the fixture's own
    QTest::addColumn<QString>("then"); // what happens right after open()
    QTest::newRow("fewer rows than a screen") << "" << 0 << "";
    QTest::newRow("many rows") << "" << 3000 << "";
    QTest::newRow("many rows, the rest arrives through the event loop") << "" << 3000 << "loop";
    QTest::newRow("a search with many hits") << "Zs 1" << 3000 << "";
    // A large table is read whole along with its first screen.
    QTest::newRow("a large table") << "" << 6000 << "";
    QTest::newRow("a search with one hit in a large table") << "Dió" << 6000 << "";
    QTest::newRow("a large table closed at once") << "" << 6000 << "close";
    QTest::newRow("a change and a refresh while the rest is read") << "" << 3000 << "refresh";
    QTest::newRow("closed while the rest is read") << "" << 3000 << "close";
    QTest::newRow("gone while the rest is read") << "" << 3000 << "destroy";
}

void TestRefresh::firstScreenAtOnce() {
    QFETCH(QString, search);
    QFETCH(int, records);
    QFETCH(QString, then);
    Fixture f;
    if (records > 0)
        f.addNumbered(201, 200 + records);
    const QString sql =
        search.isEmpty() ? allRecordsStatement() : searchStatement(search, SearchColumns::Toolbar);
    constexpr int kScreen = 50;
    auto q = std::make_unique<Query>(f.program);
    makeRecordQuery(*q, sql, QString());
    q->setFirstScreen(kScreen);
    QSignalSpy resets(q.get(), &DataSetBase::reset);
    QSignalSpy appended(q.get(), &Query::rowsAppended);
    q->open();
    const int inHand = q->rowsInHand();
    QList<QStringList> firstRows;
    for (int r = 0; r < inHand; ++r) {
        QStringList row;
        for (const QString& field : kVisible)
            row << q->textAt(r, q->columnIndex(field));
        firstRows << row;
    }
    const QString current = q->asString(QStringLiteral("CIM")); // no wait for the rest

    if (then == QLatin1String("refresh")) {
        f.other.execute(QStringLiteral("UPDATE tbl_Data SET CIM = 'Aaa' WHERE CIM = 'Zebra'"));
        q->refresh();
    } else if (then == QLatin1String("close")) {
        q->close();
        QVERIFY(!q->isReading());
        QCOMPARE(q->rowsInHand(), 0);
        q->open(); // and again, whole
    } else if (then == QLatin1String("destroy")) {
        q.reset(); // waits for nothing but the reading thread
        QCOMPARE(f.program.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")),
                 QString::number(220 + records));
        return;
    } else if (then == QLatin1String("loop")) {
        QTRY_VERIFY(!q->isReading()); // the end comes through the event loop by itself
    }

    Query full(f.program);
    makeRecordQuery(full, sql, QString());
    full.open();
    const QList<QStringList> expected = gridOf(full);
    QVERIFY(inHand >= std::min(kScreen, int(expected.size())));
    if (then != QLatin1String("refresh")) { // the first screen is the full read's beginning
        QCOMPARE(firstRows, expected.mid(0, inHand));
        QCOMPARE(current, full.asString(QStringLiteral("CIM")));
    }
    QCOMPARE(q->recordCount(), full.recordCount()); // waits for the rest
    QVERIFY(!q->isReading());
    QCOMPARE(q->rowsInHand(), full.recordCount());
    QCOMPARE(gridOf(*q), expected);
    if (expected.size() > kScreen && then.isEmpty()) {
        // The rest begins with the rows on screen: it is added to them, never replaces them.
        QCOMPARE(resets.count(), 1);
        QVERIFY(appended.count() >= 1);
    }
    QCOMPARE(f.hookCalls, QStringList());
}

// While the rest of a long result is read, its rows join those in hand piece by piece
// through the event loop: at every step the rows in hand are the full read's first rows, the
// current record stays where the user put it, and nothing is replaced.
void TestRefresh::restArrivesInPieces_data() {
    QTest::addColumn<int>("records");
    QTest::newRow("read after the first screen") << 4000;
    QTest::newRow("read along with the first screen") << 12000;
}

void TestRefresh::restArrivesInPieces() {
    QFETCH(int, records);
    Fixture f;
    f.addNumbered(201, 200 + records);
    Query full(f.program);
    makeRecordQuery(full, allRecordsStatement(), QString());
    full.open();
    const QList<QStringList> expected = gridOf(full);

    Query q(f.program);
    makeRecordQuery(q, allRecordsStatement(), QString());
    q.setFirstScreen(50);
    QSignalSpy resets(&q, &DataSetBase::reset);
    q.open();
    q.setCurrentRow(10);
    const QString current = q.asString(QStringLiteral("CIM"));
    QList<int> inHand{q.rowsInHand()};
    QStringList mismatches;
    QObject::connect(&q, &Query::rowsAppended, &q, [&] {
        inHand << q.rowsInHand();
        for (int r = 0; r < q.rowsInHand(); ++r)
            if (q.textAt(r, q.columnIndex(QStringLiteral("CIM"))) != expected[r][1]) {
                mismatches << QStringLiteral("row %1 after %2 rows").arg(r).arg(q.rowsInHand());
                break;
            }
        if (q.currentRow() != 10)
            mismatches << QStringLiteral("current row %1").arg(q.currentRow());
    });
    QTRY_VERIFY_WITH_TIMEOUT(!q.isReading(), 20000);
    QCOMPARE(mismatches, QStringList());
    QStringList steps;
    for (const int n : inHand)
        steps << QString::number(n);
    QVERIFY2(inHand.size() >= 2, qPrintable(steps.join(QLatin1Char(' '))));
    QVERIFY(std::is_sorted(inHand.begin(), inHand.end()));
    QCOMPARE(inHand.last(), int(expected.size()));
    QCOMPARE(resets.count(), 1); // the open only
    QCOMPARE(q.currentRow(), 10);
    QCOMPARE(q.asString(QStringLiteral("CIM")), current);
    QCOMPARE(gridOf(q), expected);
    QCOMPARE(f.hookCalls, QStringList());
}

// A refresh that must read everything again (most rows changed elsewhere) shows the first
// screen at once too, and still ends on the record that was current: at once when it is on
// the first screen, else after waiting for the rest.
void TestRefresh::changedStoreRefreshesWithFirstScreen_data() {
    QTest::addColumn<int>("currentRow");
    QTest::addColumn<bool>("readingAfter"); // the rest still arrives after the refresh
    QTest::newRow("current record on the first screen") << 10 << true;
    QTest::newRow("current record further on") << 2500 << false;
}

void TestRefresh::changedStoreRefreshesWithFirstScreen() {
    QFETCH(int, currentRow);
    QFETCH(bool, readingAfter);
    Fixture f;
    f.addNumbered(201, 3200);
    Query q(f.program);
    makeRecordQuery(q, allRecordsStatement(), QString());
    q.setFirstScreen(50);
    q.open();
    QVERIFY(q.recordCount() > 3000); // the whole result in hand
    q.setCurrentRow(currentRow);
    const QString key = q.asString(QStringLiteral("AZ"));

    f.other.execute(QStringLiteral("UPDATE tbl_Data SET TIP = 'Könyv'"));
    QSignalSpy resets(&q, &DataSetBase::reset);
    q.refresh();
    QCOMPARE(q.isReading(), readingAfter);
    QCOMPARE(q.asString(QStringLiteral("AZ")), key);
    QCOMPARE(q.asString(QStringLiteral("TIP")), QStringLiteral("Könyv"));
    if (readingAfter)
        QCOMPARE(q.rowsInHand(), 50);
    QTRY_VERIFY_WITH_TIMEOUT(!q.isReading(), 20000);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(q.asString(QStringLiteral("AZ")), key);

    Query full(f.program);
    makeRecordQuery(full, allRecordsStatement(), QString());
    full.open();
    QCOMPARE(gridOf(q), gridOf(full));
    QCOMPARE(f.hookCalls, QStringList());
}

// A long record query's rows are compared in two halves of keys at once, the upper one on
// the query's second connection. Changes on either side of the middle, beyond the last key
// and at the middle itself are all found; when the second connection is gone, the refresh
// reads that half on its own connection and the user sees nothing of it.
void TestRefresh::largeStoreIsComparedInHalves_data() {
    // Records are found by their number (keys step by more on a cluster).
    QTest::addColumn<QString>("change");
    QTest::newRow("a title in the lower half")
        << "UPDATE tbl_Data SET CIM = 'Aaa' WHERE FMER = 300";
    QTest::newRow("a type in the upper half")
        << "UPDATE tbl_Data SET TIP = 'Könyv' WHERE FMER = 25000";
    QTest::newRow("every tenth record in the middle")
        << "UPDATE tbl_Data SET HIV = 'más' WHERE FMER BETWEEN 12300 AND 13100 AND FMER % 10 = 0";
    QTest::newRow("a new record") << "INSERT INTO tbl_Data (CIM, TIP) VALUES ('Aba', 'Cikk')";
    QTest::newRow("deleted on both sides") << "DELETE FROM tbl_Data WHERE FMER IN (400, 24000)";
    QTest::newRow("the second connection gone") << "=kill";
}

void TestRefresh::largeStoreIsComparedInHalves() {
    QFETCH(QString, change);
    Fixture f;
    f.addNumbered(221, 25220);
    Query q(f.program);
    makeRecordQuery(q, allRecordsStatement(), QString());
    q.open();
    q.refresh(); // the first refresh makes the second connection
    const QString programId = f.program.scalar(QStringLiteral("SELECT CONNECTION_ID()"));
    const QString otherId = f.other.scalar(QStringLiteral("SELECT CONNECTION_ID()"));
    if (change == QLatin1String("=kill")) {
        MariaConnection admin; // where the program's connections are
        admin.setParams(f.db.params());
        admin.open();
        const QString adminId = admin.scalar(QStringLiteral("SELECT CONNECTION_ID()"));
        const QString side =
            admin.scalar(QStringLiteral("SELECT ID FROM information_schema.PROCESSLIST WHERE DB "
                                        "= DATABASE() AND USER = SUBSTRING_INDEX(USER(), '@', "
                                        "1) AND ID NOT IN (%1, %2, %3)")
                             .arg(programId, otherId, adminId));
        QVERIFY(!side.isEmpty());
        admin.execute(QStringLiteral("KILL ") + side);
        f.other.execute(QStringLiteral("UPDATE tbl_Data SET CIM = 'Aaa' WHERE FMER = 20000"));
    } else {
        f.other.execute(change);
    }
    q.refresh();

    Query full(f.program);
    makeRecordQuery(full, allRecordsStatement(), QString());
    full.open();
    QCOMPARE(q.recordCount(), full.recordCount());
    QCOMPARE(gridOf(q), gridOf(full));
    QCOMPARE(f.hookCalls, QStringList());
}

QTEST_GUILESS_MAIN(TestRefresh)
#include "tst_refresh.moc"

// The record query on a real server: total counts, columns read on demand, streamed blobs,
// the client-side sort and filter, and the road every error takes through the hook.
#include "data/dataset/RowFilter.h"
#include "data/query/Query.h"
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "data/sql/ScriptRunner.h"
#include "support/TestServer.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <cstring>
#include <mysql.h>

using namespace kx;

namespace {

const QString kRecordSql = QStringLiteral("Select * from tbl_Data order by CIM");
const QStringList kTableOrder = {
    QStringLiteral("CIM"),    QStringLiteral("TIP"),    QStringLiteral("KAT"),
    QStringLiteral("KSZO"),   QStringLiteral("HIV"),    QStringLiteral("DATUM"),
    QStringLiteral("FELVEV"), QStringLiteral("LEIRAS"), QStringLiteral("FOTO"),
    QStringLiteral("AZ"),     QStringLiteral("FNEV"),   QStringLiteral("FTIP"),
    QStringLiteral("FMER"),   QStringLiteral("FILE")};

// A database with the record tables and a connection whose hook writes into events.
struct Fixture {
    test::TestDatabase db;
    MariaConnection conn;
    QStringList events;

    Fixture() {
        conn.setParams(db.params());
        conn.setErrorHook(
            [this](const DbError& e) { events << QStringLiteral("hook: ") + e.message(); });
        conn.open();
    }
};

// As the program's record query is set up.
void makeRecordQuery(Query& q, const QString& sql = kRecordSql) {
    q.setKeyField(QStringLiteral("AZ"));
    q.setDeferredFields({QStringLiteral("KSZO"), QStringLiteral("LEIRAS"), QStringLiteral("FOTO"),
                         QStringLiteral("FILE")});
    q.setSql(sql);
}

QString literal(const QString& v) {
    return v == QLatin1String("NULL") ? v : QStringLiteral("'") + v + QStringLiteral("'");
}

// The field of every row in grid order, read through the current row, which is then put back.
QStringList columnValues(Query& q, const QString& field) {
    QStringList out;
    const int c = q.columnIndex(field);
    const int current = q.currentRow();
    for (int r = 0; r < q.recordCount(); ++r) {
        q.setCurrentRow(r);
        out << (q.isNull(field) ? QStringLiteral("<null>") : q.asString(field));
        if (q.textAt(r, c) != q.asString(field))
            qFatal("textAt and asString disagree at row %d", r);
    }
    q.setCurrentRow(current);
    return out;
}

// Deterministic bytes of any size, produced piece by piece.
QByteArray pattern(quint32 seed, qint64 offset, qint64 size) {
    QByteArray out(size, Qt::Uninitialized);
    QRandomGenerator gen(seed + quint32(offset / (1 << 20)));
    for (qint64 i = 0; i < size; ++i)
        out[i] = char(gen.generate() >> 24);
    return out;
}

// Writes a blob with a prepared statement in pieces (send_long_data) and returns the SHA-256
// of what was written. size < 0 writes NULL.
QByteArray storeBlob(MYSQL* admin, const char* column, qint64 key, qint64 size, quint32 seed) {
    const QByteArray sql = QByteArray("UPDATE tbl_Data SET ") + column + " = ? WHERE AZ = ?";
    MYSQL_STMT* stmt = mysql_stmt_init(admin);
    if (mysql_stmt_prepare(stmt, sql.constData(), sql.size()))
        qFatal("prepare: %s", mysql_stmt_error(stmt));
    MYSQL_BIND b[2];
    std::memset(b, 0, sizeof b);
    my_bool isNull = size < 0;
    char dummy = 0;
    b[0].buffer_type = MYSQL_TYPE_LONG_BLOB;
    b[0].buffer = &dummy;
    b[0].buffer_length = 0;
    b[0].is_null = &isNull;
    long long az = key;
    b[1].buffer_type = MYSQL_TYPE_LONGLONG;
    b[1].buffer = &az;
    if (mysql_stmt_bind_param(stmt, b))
        qFatal("bind: %s", mysql_stmt_error(stmt));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const qint64 piece = 1 << 20;
    for (qint64 off = 0; off < size; off += piece) {
        const QByteArray part = pattern(seed, off, std::min(piece, size - off));
        hash.addData(part);
        if (mysql_stmt_send_long_data(stmt, 0, part.constData(), part.size()))
            qFatal("send_long_data: %s", mysql_stmt_error(stmt));
    }
    if (mysql_stmt_execute(stmt))
        qFatal("execute: %s", mysql_stmt_error(stmt));
    mysql_stmt_close(stmt);
    return hash.result();
}

qint64 bytesSentBy(MariaConnection& conn) {
    return conn
        .scalar(QStringLiteral("select VARIABLE_VALUE from information_schema.SESSION_STATUS "
                               "where VARIABLE_NAME = 'BYTES_SENT'"))
        .toLongLong();
}

} // namespace

class TestQuery : public QObject {
    Q_OBJECT

private slots:
    void totalCountBeforeAnyRowIsUsed();
    void deferredColumnsStayOnTheServer();
    void deferredValuesFollowTheCurrentRow();
    void blobRoundTrip_data();
    void blobRoundTrip();
    void otherStatementsRunAsGiven();
    void sortOrder_data();
    void sortOrder();
    void sortSurvivesRefreshAndNewStatement();
    void localFilterOnGroupedCounts();
    void rowFilterParsing_data();
    void rowFilterParsing();
    void badStatementReachesHookBeforeCaller();
    void scriptRunnerRunsOneStatementOnly();
    void portMustBeANumber_data();
    void portMustBeANumber();
    void closingTheConnectionClosesItsQueries();
};

void TestQuery::totalCountBeforeAnyRowIsUsed() {
    Fixture f;
    f.db.exec(QStringLiteral("insert into tbl_Data (CIM, FMER) select concat('R', seq), seq "
                             "from seq_1_to_2500"));
    Query q(f.conn);
    makeRecordQuery(q);
    QSignalSpy resets(&q, &DataSetBase::reset);
    q.open();
    QCOMPARE(q.recordCount(), 2500);
    QCOMPARE(q.currentRow(), 0);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(q.fieldNames(), kTableOrder); // deferred columns are still fields of the result
    QVERIFY(q.isNumericColumn(q.columnIndex(QStringLiteral("FMER"))));
    QVERIFY(!q.isNumericColumn(q.columnIndex(QStringLiteral("CIM"))));

    q.setSql(QStringLiteral("Select * FROM tbl_Data WHERE CIM like '%99%' order by CIM"));
    QVERIFY(!q.isOpen());
    q.open();
    QCOMPARE(
        q.recordCount(),
        f.db.scalar(QStringLiteral("select count(*) from tbl_Data where CIM like '%99%'")).toInt());
}

void TestQuery::deferredColumnsStayOnTheServer() {
    Fixture f;
    for (int i = 0; i < 20; ++i)
        f.db.exec(QStringLiteral("insert into tbl_Data (CIM, LEIRAS) values ('r%1', repeat('x', "
                                 "60000))")
                      .arg(i));
    f.db.exec(QStringLiteral("update tbl_Data set FOTO = repeat('p', 2000000), "
                             "FILE = repeat('f', 5000000)"));
    Query q(f.conn);
    makeRecordQuery(q);
    const qint64 before = bytesSentBy(f.conn);
    q.open();
    const qint64 sent = bytesSentBy(f.conn) - before;
    QCOMPARE(q.recordCount(), 20);
    // 20 rows carry 140 MB of blobs and 1.2 MB of descriptions; none of it may travel.
    QVERIFY2(sent < 100000, qPrintable(QString::number(sent)));
    QVERIFY(q.textAt(0, q.columnIndex(QStringLiteral("LEIRAS"))).isEmpty());
    QVERIFY(q.textAt(0, q.columnIndex(QStringLiteral("FILE"))).isEmpty());
    QCOMPARE(q.textAt(0, q.columnIndex(QStringLiteral("CIM"))), QStringLiteral("r0"));
    // On demand they are all there.
    QCOMPARE(q.asString(QStringLiteral("LEIRAS")), QString(60000, QLatin1Char('x')));
    QCOMPARE(q.blobSize(QStringLiteral("FILE")), qint64(5000000));
    QCOMPARE(q.asBytes(QStringLiteral("FOTO")), QByteArray(2000000, 'p'));
}

void TestQuery::deferredValuesFollowTheCurrentRow() {
    Fixture f;
    f.db.exec(QStringLiteral("insert into tbl_Data (CIM, KSZO, LEIRAS, FOTO, FNEV) values "
                             "('a', 'kulcs, szó', 'Első leírás\nmásodik sor', x'00FF00', 'a.pdf'),"
                             "('b', NULL, '', '', NULL),"
                             "('c', 'ő''s \\\\ back', NULL, NULL, 'c.txt')"));
    Query q(f.conn);
    makeRecordQuery(q);
    q.open();
    QCOMPARE(q.recordCount(), 3);

    q.first();
    QCOMPARE(q.asString(QStringLiteral("CIM")), QStringLiteral("a"));
    QCOMPARE(q.asString(QStringLiteral("KSZO")), QStringLiteral("kulcs, szó"));
    QCOMPARE(q.asString(QStringLiteral("LEIRAS")), QStringLiteral("Első leírás\nmásodik sor"));
    QCOMPARE(q.asBytes(QStringLiteral("FOTO")), QByteArray("\x00\xFF\x00", 3));
    QVERIFY(!q.isNull(QStringLiteral("FOTO")));
    QVERIFY(q.isNull(QStringLiteral("FILE")));
    QCOMPARE(q.asString(QStringLiteral("FNEV")), QStringLiteral("a.pdf"));

    q.next();
    QCOMPARE(q.asString(QStringLiteral("CIM")), QStringLiteral("b"));
    QVERIFY(q.isNull(QStringLiteral("KSZO")));
    QVERIFY(!q.isNull(QStringLiteral("LEIRAS"))); // empty, not NULL
    QCOMPARE(q.asString(QStringLiteral("LEIRAS")), QString());
    QVERIFY(!q.isNull(QStringLiteral("FOTO")));
    QCOMPARE(q.blobSize(QStringLiteral("FOTO")), qint64(0));

    q.next();
    QCOMPARE(q.asString(QStringLiteral("KSZO")), QStringLiteral("ő's \\ back"));
    QVERIFY(q.isNull(QStringLiteral("LEIRAS")));
    QVERIFY(q.isNull(QStringLiteral("FOTO")));
    QCOMPARE(q.asBytes(QStringLiteral("FOTO")), QByteArray());
    q.next();
    QVERIFY(q.eof());

    // Back on the first row the values are the first row's again.
    q.setCurrentRow(0);
    QCOMPARE(q.asString(QStringLiteral("LEIRAS")), QStringLiteral("Első leírás\nmásodik sor"));

    // A row deleted elsewhere reads as empty instead of failing.
    f.db.exec(QStringLiteral("delete from tbl_Data where CIM = 'c'"));
    q.setCurrentRow(2);
    QCOMPARE(q.asString(QStringLiteral("KSZO")), QString());
    QVERIFY(f.events.isEmpty());
}

void TestQuery::blobRoundTrip_data() {
    QTest::addColumn<qint64>("size"); // -1: NULL
    QTest::newRow("NULL") << qint64(-1);
    QTest::newRow("zero bytes") << qint64(0);
    QTest::newRow("a few bytes") << qint64(7);
    QTest::newRow("exactly two pieces") << qint64(8 * 1024 * 1024);
    QTest::newRow("50 MB") << qint64(50 * 1000 * 1000);
}

void TestQuery::blobRoundTrip() {
    QFETCH(qint64, size);
    Fixture f;
    f.db.exec(QStringLiteral("insert into tbl_Data (CIM, FNEV) values ('mit', 'x.bin')"));
    const qint64 key = f.db.scalar(QStringLiteral("select AZ from tbl_Data")).toLongLong();
    const QByteArray expected = storeBlob(f.db.admin(), "FILE", key, size, 42);

    Query q(f.conn);
    makeRecordQuery(q);
    q.open();
    QCOMPARE(q.isNull(QStringLiteral("FILE")), size < 0);
    QCOMPARE(q.blobSize(QStringLiteral("FILE")), std::max<qint64>(size, 0));

    QTemporaryFile out;
    QVERIFY(out.open());
    QCOMPARE(q.saveBlobTo(QStringLiteral("FILE"), out), std::max<qint64>(size, 0));
    QVERIFY(out.flush());
    QCOMPARE(out.size(), std::max<qint64>(size, 0));
    QVERIFY(out.seek(0));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QVERIFY(hash.addData(&out));
    QCOMPARE(hash.result().toHex(), expected.toHex());
    QVERIFY(f.events.isEmpty());
}

void TestQuery::otherStatementsRunAsGiven() {
    Fixture f;
    f.db.exec(QStringLiteral("insert into tbl_Data (CIM, FOTO) values ('a', x'0102')"));
    Query q(f.conn);
    makeRecordQuery(q, QStringLiteral("select CIM, FOTO from tbl_Data"));
    q.open();
    QCOMPARE(q.fieldNames(), QStringList({QStringLiteral("CIM"), QStringLiteral("FOTO")}));
    QCOMPARE(q.asBytes(QStringLiteral("FOTO")), QByteArray("\x01\x02"));
    QCOMPARE(q.blobSize(QStringLiteral("FOTO")), qint64(2));

    // An information_schema probe: the table name after "from" has no key column.
    q.close();
    q.setSql(QStringLiteral("select * from information_schema.SCHEMATA where SCHEMA_NAME = '%1'")
                 .arg(f.db.name()));
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.asString(QStringLiteral("SCHEMA_NAME")), f.db.name());
}

void TestQuery::sortOrder_data() {
    QTest::addColumn<QList<QStringList>>("rows"); // CIM, TIP, FMER; "NULL" for no value
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("expected"); // CIM in grid order

    const QList<QStringList> hungarian = {
        {QStringLiteral("Zebra"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("ablak"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("Ágyú"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("cukor"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("csiga"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("dió"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("öröm"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("ostor"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("őz"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("út"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("Ütés"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("ugrál"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("alma"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("NULL"), QStringLiteral("NULL"), QStringLiteral("NULL")}};
    // Hungarian dictionary order: cs and gy are letters of their own, ö/ő after o, ü/ű after
    // u, accents and capitals only break ties; a row without a title comes first.
    QTest::newRow("text in Hungarian order")
        << hungarian << "CIM"
        << QStringList{QStringLiteral("<null>"), QStringLiteral("ablak"), QStringLiteral("Ágyú"),
                       QStringLiteral("alma"),   QStringLiteral("cukor"), QStringLiteral("csiga"),
                       QStringLiteral("dió"),    QStringLiteral("ostor"), QStringLiteral("öröm"),
                       QStringLiteral("őz"),     QStringLiteral("ugrál"), QStringLiteral("út"),
                       QStringLiteral("Ütés"),   QStringLiteral("Zebra")};

    const QList<QStringList> sizes = {
        {QStringLiteral("r1"), QStringLiteral("NULL"), QStringLiteral("9")},
        {QStringLiteral("r2"), QStringLiteral("NULL"), QStringLiteral("100")},
        {QStringLiteral("r3"), QStringLiteral("NULL"), QStringLiteral("25")},
        {QStringLiteral("r4"), QStringLiteral("NULL"), QStringLiteral("NULL")},
        {QStringLiteral("r5"), QStringLiteral("NULL"), QStringLiteral("1000")},
        {QStringLiteral("r6"), QStringLiteral("NULL"), QStringLiteral("9")},
        {QStringLiteral("r7"), QStringLiteral("NULL"), QStringLiteral("0")}};
    QTest::newRow("numbers by value, ties in statement order")
        << sizes << "FMER"
        << QStringList{QStringLiteral("r4"), QStringLiteral("r7"), QStringLiteral("r1"),
                       QStringLiteral("r6"), QStringLiteral("r3"), QStringLiteral("r2"),
                       QStringLiteral("r5")};

    const QList<QStringList> types = {
        {QStringLiteral("r1"), QStringLiteral("könyv"), QStringLiteral("1")},
        {QStringLiteral("r2"), QStringLiteral("cikk"), QStringLiteral("1")},
        {QStringLiteral("r3"), QStringLiteral("könyv"), QStringLiteral("1")},
        {QStringLiteral("r4"), QStringLiteral(""), QStringLiteral("1")},
        {QStringLiteral("r5"), QStringLiteral("NULL"), QStringLiteral("1")},
        {QStringLiteral("r6"), QStringLiteral("Cikk"), QStringLiteral("1")},
        {QStringLiteral("r7"), QStringLiteral("csomag"), QStringLiteral("1")},
        {QStringLiteral("r8"), QStringLiteral("cikk"), QStringLiteral("1")}};
    QTest::newRow("text with ties, NULL before empty")
        << types << "TIP"
        << QStringList{QStringLiteral("r5"), QStringLiteral("r4"), QStringLiteral("r2"),
                       QStringLiteral("r8"), QStringLiteral("r6"), QStringLiteral("r7"),
                       QStringLiteral("r1"), QStringLiteral("r3")};
}

void TestQuery::sortOrder() {
    QFETCH(QList<QStringList>, rows);
    QFETCH(QString, field);
    QFETCH(QStringList, expected);
    Fixture f;
    for (const QStringList& r : rows)
        f.db.exec(QStringLiteral("insert into tbl_Data (CIM, TIP, FMER) values (%1, %2, %3)")
                      .arg(literal(r[0]), literal(r[1]), literal(r[2])));
    Query q(f.conn);
    makeRecordQuery(q);
    q.open();
    QSignalSpy resets(&q, &DataSetBase::reset);
    q.setSortField(field);
    QCOMPARE(resets.count(), 1);
    QCOMPARE(q.sortField(), field);
    QCOMPARE(columnValues(q, QStringLiteral("CIM")), expected);
}

void TestQuery::sortSurvivesRefreshAndNewStatement() {
    Fixture f;
    f.db.exec(QStringLiteral("insert into tbl_Data (CIM, FMER) values ('a', 30), ('b', 10), "
                             "('c', 20), ('x', 5)"));
    Query q(f.conn);
    makeRecordQuery(q);
    q.setSortField(QStringLiteral("FMER")); // set while closed: used by the first open
    q.open();
    QCOMPARE(columnValues(q, QStringLiteral("CIM")),
             QStringList({QStringLiteral("x"), QStringLiteral("b"), QStringLiteral("c"),
                          QStringLiteral("a")}));
    q.setCurrentRow(2);
    QCOMPARE(q.asString(QStringLiteral("CIM")), QStringLiteral("c"));

    // Rows added elsewhere take their place by FMER; the current record stays current.
    f.db.exec(QStringLiteral("insert into tbl_Data (CIM, FMER) values ('d', 1), ('e', 15)"));
    q.refresh();
    QCOMPARE(columnValues(q, QStringLiteral("CIM")),
             QStringList({QStringLiteral("d"), QStringLiteral("x"), QStringLiteral("b"),
                          QStringLiteral("e"), QStringLiteral("c"), QStringLiteral("a")}));
    QCOMPARE(q.asString(QStringLiteral("CIM")), QStringLiteral("c"));

    // A search replaces the statement; the grid keeps the FMER order instead of CIM.
    q.close();
    q.clearSql();
    q.setSql(QStringLiteral("Select * FROM tbl_Data WHERE CIM like '%a%' or CIM like '%c%' or "
                            "CIM like '%e%' order by CIM"));
    q.open();
    QCOMPARE(q.sortField(), QStringLiteral("FMER"));
    QCOMPARE(columnValues(q, QStringLiteral("CIM")),
             QStringList({QStringLiteral("e"), QStringLiteral("c"), QStringLiteral("a")}));
}

void TestQuery::localFilterOnGroupedCounts() {
    Fixture f;
    f.db.exec(QStringLiteral("insert into tbl_Data (CIM, TIP, FTIP) values "
                             "('1', 'a', 'PDF'), ('2', 'a', 'PDF'), ('3', 'b', ''), "
                             "('4', '', NULL), ('5', NULL, NULL), ('6', 'it''s', NULL)"));
    Query q(f.conn);
    makeRecordQuery(q);
    q.setFilter(QStringLiteral("TIP > ''"));
    q.setFiltered(true);
    q.setSql(QStringLiteral("select TIP, count(TIP) as CTIP from tbl_Data\ngroup by TIP\norder "
                            "by CTIP"));
    q.open();
    // NULL and empty groups are hidden; the rest stay in the statement's order.
    QCOMPARE(q.recordCount(), 3);
    q.last();
    QCOMPARE(q.asString(QStringLiteral("TIP")), QStringLiteral("a"));
    QCOMPARE(q.asInteger(QStringLiteral("CTIP")), qint64(2));
    q.setFiltered(false);
    QCOMPARE(q.recordCount(), 5);
    q.setFilter(QStringLiteral("TIP = 'it''s'"));
    q.setFiltered(true);
    QCOMPARE(q.recordCount(), 1);
    q.close();

    // On a count the comparison is by number: only the NULL group (count 0) goes.
    q.setFilter(QStringLiteral("CFTIP > 0"));
    q.setSql(QStringLiteral("select FTIP, count(FTIP) as CFTIP from tbl_Data\ngroup by "
                            "FTIP\norder by CFTIP"));
    q.open();
    QCOMPARE(q.recordCount(), 2);
    QCOMPARE(q.asString(QStringLiteral("FTIP")), QString());
    QVERIFY(!q.isNull(QStringLiteral("FTIP")));
    q.last();
    QCOMPARE(q.asString(QStringLiteral("FTIP")), QStringLiteral("PDF"));
    QCOMPARE(q.asInteger(QStringLiteral("CFTIP")), qint64(2));
    q.close();

    // A filter on a field the result does not have fails through the hook, query closed.
    q.setFilter(QStringLiteral("KAT > ''"));
    QVERIFY_THROWS_EXCEPTION(DbError, q.open());
    QVERIFY(!q.isOpen());
    QCOMPARE(f.events.size(), 1);
}

void TestQuery::rowFilterParsing_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("empty text") << "" << true << ""
                                << ""
                                << "" << false;
    QTest::newRow("greater than nothing") << "TIP > ''" << true << "TIP"
                                          << ">"
                                          << "" << false;
    QTest::newRow("number") << "SZUR = 123" << true << "SZUR"
                            << "="
                            << "123" << true;
    QTest::newRow("no blanks") << "DB>=0" << true << "DB"
                               << ">="
                               << "0" << true;
    QTest::newRow("doubled apostrophe") << "TIP <> 'it''s'" << true << "TIP"
                                        << "<>"
                                        << "it's" << false;
    QTest::newRow("no literal") << "TIP >" << false << ""
                                << ""
                                << "" << false;
    QTest::newRow("no field") << "= 5" << false << ""
                              << ""
                              << "" << false;
    QTest::newRow("open literal") << "TIP > 'abc" << false << ""
                                  << ""
                                  << "" << false;
    QTest::newRow("lone apostrophe inside") << "TIP = 'a'b'" << false << ""
                                            << ""
                                            << "" << false;
    QTest::newRow("bare word") << "TIP = abc" << false << ""
                               << ""
                               << "" << false;
}

void TestQuery::rowFilterParsing() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    if (!valid) {
        QVERIFY_THROWS_EXCEPTION(DbError, RowFilter::parse(text));
        return;
    }
    QFETCH(QString, field);
    QFETCH(QString, op);
    QFETCH(QString, value);
    QFETCH(bool, numeric);
    const RowFilter f = RowFilter::parse(text);
    QCOMPARE(f.field, field);
    QCOMPARE(f.op, op);
    QCOMPARE(f.value, value);
    QCOMPARE(f.numeric, numeric);
    QCOMPARE(f.isEmpty(), field.isEmpty());
}

void TestQuery::badStatementReachesHookBeforeCaller() {
    Fixture f;
    f.db.exec(QStringLiteral("insert into tbl_Data (CIM) values ('a')"));
    Query q(f.conn);
    makeRecordQuery(q);
    q.open();
    QCOMPARE(q.recordCount(), 1);
    q.close();
    q.setSql(QStringLiteral("Select * FROM tbl_Árvíz WHERE CIM like '%a%' order by CIM"));
    try {
        q.open();
        QFAIL("the statement was accepted");
    } catch (const DbError& e) {
        f.events << QStringLiteral("caught: ") + e.message();
        QCOMPARE(e.code(), 1146u); // no such table
    }
    QCOMPARE(f.events.size(), 2);
    // The server's own text, Hungarian letters intact.
    QVERIFY2(f.events[0].startsWith(QStringLiteral("hook: ")) &&
                 f.events[0].contains(QStringLiteral("tbl_Árvíz")),
             qPrintable(f.events[0]));
    QCOMPARE(f.events[1].mid(8), f.events[0].mid(6)); // the same text, unchanged
    QVERIFY(!q.isOpen());
    QCOMPARE(q.recordCount(), 0);
    QCOMPARE(q.currentRow(), -1);

    // A refresh runs the statement in force again: same failure, same road.
    f.events.clear();
    QVERIFY_THROWS_EXCEPTION(DbError, q.refresh());
    QCOMPARE(f.events.size(), 1);

    // A failure after the first rows have arrived (the subquery of the second row returns two
    // rows) also leaves the query closed and the connection usable.
    f.events.clear();
    f.db.exec(QStringLiteral("insert into tbl_Data (CIM) values ('b'), ('c')"));
    q.setSql(QStringLiteral("select CIM, (select AZ from tbl_Data t2 where t2.AZ <= t1.AZ) as N "
                            "from tbl_Data t1 order by AZ"));
    QVERIFY_THROWS_EXCEPTION(DbError, q.open());
    QVERIFY(!q.isOpen());
    QCOMPARE(f.events.size(), 1);
    QVERIFY2(f.events[0].contains(QStringLiteral("more than 1 row")), qPrintable(f.events[0]));
    QCOMPARE(f.conn.scalar(QStringLiteral("select count(*) from tbl_Data")), QStringLiteral("3"));
}

void TestQuery::scriptRunnerRunsOneStatementOnly() {
    Fixture f;
    ScriptRunner script(f.conn);
    QVERIFY(!script.validate());
    script.setScript({QStringLiteral("   "), QStringLiteral("")});
    QVERIFY(!script.validate());

    script.setScript({QStringLiteral("insert into tbl_Kat (KAT) values ('a');"),
                      QStringLiteral("insert into tbl_Kat (KAT) values ('b')")});
    QVERIFY(script.validate());
    QVERIFY_THROWS_EXCEPTION(DbError, script.execute());
    QCOMPARE(f.events.size(), 1);
    QCOMPARE(f.db.scalar(QStringLiteral("select count(*) from tbl_Kat")), QStringLiteral("0"));

    f.events.clear();
    script.setScript({QStringLiteral("select 1; select 2")});
    QVERIFY_THROWS_EXCEPTION(DbError, script.execute());
    QCOMPARE(f.events.size(), 1);

    // One statement over several lines is one statement.
    f.events.clear();
    script.setScript({QStringLiteral("insert into tbl_Kat"), QStringLiteral("(KAT)"),
                      QStringLiteral("values ('Árvíz')")});
    script.execute();
    QCOMPARE(f.db.scalar(QStringLiteral("select count(*) from tbl_Kat")), QStringLiteral("1"));
    QVERIFY(f.events.isEmpty());
    // The connection is still usable after refusals.
    QCOMPARE(f.conn.scalar(QStringLiteral("select KAT from tbl_Kat")), QStringLiteral("Árvíz"));
}

void TestQuery::portMustBeANumber_data() {
    QTest::addColumn<QString>("port");
    QTest::newRow("letters") << "33o6";
    QTest::newRow("empty") << "";
    QTest::newRow("blank before") << " 3306";
    QTest::newRow("zero") << "0";
    QTest::newRow("too big") << "65536";
    QTest::newRow("huge") << "99999999999999999999";
    QTest::newRow("negative") << "-1";
}

void TestQuery::portMustBeANumber() {
    QFETCH(QString, port);
    test::TestDatabase db(false);
    MariaConnection conn;
    ConnectionParams p = db.params();
    p.port = port;
    conn.setParams(p);
    QStringList events;
    conn.setErrorHook([&](const DbError& e) { events << e.message(); });
    try {
        conn.open();
        QFAIL("connected with a bad port");
    } catch (const DbError& e) {
        QCOMPARE(events, QStringList{e.message()});
    }
    QVERIFY(!conn.isConnected());

    // The same settings with the right port connect.
    conn.setParams(db.params());
    conn.open();
    QVERIFY(conn.isConnected());
    QCOMPARE(conn.scalar(QStringLiteral("select database()")), db.name());
}

void TestQuery::closingTheConnectionClosesItsQueries() {
    Fixture f;
    Query a(f.conn), b(f.conn);
    makeRecordQuery(a);
    makeRecordQuery(b, QStringLiteral("select count(*) as DB from tbl_Data"));
    a.open();
    b.open();
    QCOMPARE(b.asInteger(QStringLiteral("DB")), qint64(0));
    QSignalSpy resets(&a, &DataSetBase::reset);
    f.conn.close();
    QVERIFY(!a.isOpen());
    QVERIFY(!b.isOpen());
    QCOMPARE(resets.count(), 1);
    QVERIFY(!f.conn.isConnected());

    // Opening without a connection is an error on the connection: the hook sees it.
    QVERIFY_THROWS_EXCEPTION(DbError, a.open());
    QCOMPARE(f.events.size(), 1);
}

QTEST_GUILESS_MAIN(TestQuery)
#include "tst_query.moc"

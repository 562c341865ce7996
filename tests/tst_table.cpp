// The whole-table data set over the record store, against a real server: exact and prefix
// locate, counts and the row pass without copying the table, writes with keys from the
// server, real row locks reaching the handlers, and a large file streamed in and out.

#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "data/table/Table.h"
#include "data/text/Latin2.h"
#include "data/text/TextEncodingError.h"
#include "support/Sanitizer.h"
#include "support/TestServer.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <mysql.h>

using namespace kx;
using kx::test::kUnderSanitizer;
using kx::test::TestDatabase;

namespace {

// An SQL literal for the admin connection's own statements.
QString lit(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

// A text column read back by the admin connection, byte for byte.
QString storedText(TestDatabase& db, const QString& column, const QString& from) {
    const QString hex = db.scalar(QStringLiteral("SELECT HEX(%1) FROM %2").arg(column, from));
    return latin2::decode(QByteArray::fromHex(hex.toLatin1()));
}

// The key the server gave the first row that matches: keys are not assumed to be
// consecutive, since a cluster hands them out in steps of its size.
qint64 keyWhere(TestDatabase& db, const QString& table, const QString& condition) {
    return db.scalar(QStringLiteral("SELECT MIN(AZ) FROM %1 WHERE %2").arg(table, condition))
        .toLongLong();
}

qint64 peakRssKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The program's connection to the test database, with every hook call recorded.
struct Program {
    explicit Program(TestDatabase& db) {
        conn.setParams(db.params());
        conn.setErrorHook(
            [this](const DbError& e) { events << QStringLiteral("hook:%1").arg(e.code()); });
        conn.open();
    }
    quint64 rowsSent() {
        return conn
            .scalar(QStringLiteral("SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS "
                                   "WHERE VARIABLE_NAME = 'ROWS_SENT'"))
            .toULongLong();
    }
    MariaConnection conn;
    QStringList events;
};

// A fresh test database with the rows the seed statements write on the admin connection.
struct SeededDatabase : TestDatabase {
    explicit SeededDatabase(const QStringList& seed) {
        for (const QString& statement : seed)
            exec(statement);
    }
};

// The preamble of most cases: a seeded database, the program's connection to it and one of
// its tables, opened after beforeOpen (error handlers, session settings) has run. A case
// takes the three apart: auto& [db, p, t] = opened.
struct OpenedTable {
    OpenedTable(const QString& table, const QStringList& seed,
                const std::function<void(Program&, Table&)>& beforeOpen = {})
        : db(seed), p(db), t(p.conn, table) {
        if (beforeOpen)
            beforeOpen(p, t);
        t.open();
    }
    SeededDatabase db;
    Program p;
    Table t;
};

} // namespace

class TstTable : public QObject {
    Q_OBJECT
private slots:
    void largeFileIsStreamedBothWays();
    void locate_data();
    void locate();
    void countAndRowPassDoNotCopyTheTable();
    void filterRunsOnTheServer();
    void appendPostTakesTheKeyFromTheServer();
    void editWritesOnlyTheFieldsSet();
    void textLatin2CannotStoreStopsBeforeSending();
    void lockedRow_data();
    void lockedRow();
    void abortedPostLeavesNothingPending();
    void updateOfVanishedRowFails();
    void refreshAndDeleteKeepAPlace();
    void editReadsTheRowAgain();
    void deferredColumnsReadOnDemand();
    void deferredNullsThroughAPass();
    void openingMissingTableFailsThroughHook();
    void closingConnectionClosesTable();
};

// First, so that the peak memory of the process is not yet raised by anything else.
void TstTable::largeFileIsStreamedBothWays() {
    OpenedTable opened(QStringLiteral("tbl_Data"), {});
    auto& [db, p, t] = opened;

    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.bin"));
    const qint64 size = 200LL * 1024 * 1024 + 12345; // not a multiple of any chunk size
    QCryptographicHash inHash(QCryptographicHash::Sha1);
    {
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QRandomGenerator gen(42);
        QByteArray block(1024 * 1024, Qt::Uninitialized);
        for (qint64 written = 0; written < size;) {
            gen.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
            const qint64 n = qMin<qint64>(block.size(), size - written);
            QCOMPARE(f.write(block.constData(), n), n);
            inHash.addData(QByteArrayView(block.constData(), n));
            written += n;
        }
    }

    const qint64 peakBefore = peakRssKb();
    QVERIFY(peakBefore > 0);
    t.append();
    t.setField(QStringLiteral("CIM"), QStringLiteral("nagy fájl"));
    t.setFieldFromFile(QStringLiteral("FILE"), in);
    t.post();
    QCOMPARE(t.blobSize(QStringLiteral("FILE")), size);
    QCOMPARE(db.scalar(QStringLiteral("SELECT OCTET_LENGTH(FILE) FROM tbl_Data")).toLongLong(),
             size);

    const QString out = dir.filePath(QStringLiteral("out.bin"));
    {
        QFile f(out);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(t.saveBlobTo(QStringLiteral("FILE"), f), size);
    }
    const qint64 growthKb = peakRssKb() - peakBefore;
    QFile back(out);
    QVERIFY(back.open(QIODevice::ReadOnly));
    QCryptographicHash outHash(QCryptographicHash::Sha1);
    QVERIFY(outHash.addData(&back));
    QCOMPARE(outHash.result().toHex(), inHash.result().toHex());
    // Neither direction may hold the file in memory. Under AddressSanitizer the peak holds
    // the sanitizer's quarantine of freed chunks; the round trip above still holds there.
    if (kUnderSanitizer)
        QSKIP("AddressSanitizer's quarantine inflates the peak memory; it is measured in the "
              "normal build");
    QVERIFY2(growthKb < size / 1024 / 4,
             qPrintable(QStringLiteral("peak memory grew by %1 kB").arg(growthKb)));
}

void TstTable::locate_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("prefix");
    QTest::addColumn<int>("expected"); // the row found, counted from 1 in key order; 0: none

    QTest::newRow("exact, lower case") << "abc" << false << 3;
    QTest::newRow("exact, upper case") << "ABC" << false << 1;
    QTest::newRow("exact, other case: none") << "Abc" << false << 0;
    QTest::newRow("exact, trailing blank counts") << "abc " << false << 2;
    QTest::newRow("exact, blank only in value: none") << "ABC " << false << 0;
    QTest::newRow("prefix, first in key order") << "ab" << true << 2;
    QTest::newRow("prefix, case counts") << "AB" << true << 1;
    QTest::newRow("prefix longer than value: none") << "abcd" << true << 0;
    QTest::newRow("exact, accented lower") << "árvíz" << false << 5;
    QTest::newRow("exact, accented upper") << "ÁRVÍZ" << false << 12;
    QTest::newRow("exact, accent case differs: none") << "Árvíz" << false << 0;
    QTest::newRow("prefix, accented capital") << "Árv" << true << 4;
    QTest::newRow("prefix, accented small") << "árv" << true << 5;
    QTest::newRow("prefix, no accent") << "Arv" << true << 6;
    QTest::newRow("prefix, no accent small: none") << "arv" << true << 0;
    QTest::newRow("percent is a character") << "100%" << true << 8;
    QTest::newRow("percent is no wildcard") << "10%" << true << 0;
    QTest::newRow("percent alone: none") << "%" << true << 0;
    QTest::newRow("underscore is a character") << "a_" << true << 10;
    QTest::newRow("underscore, exact") << "a_b" << false << 10;
    QTest::newRow("percent, exact: none") << "a%b" << false << 0;
    QTest::newRow("apostrophe and backslash") << "it's a \\ path" << false << 11;
    QTest::newRow("apostrophe and backslash, prefix") << "it's a \\" << true << 11;
    QTest::newRow("text Latin-2 cannot hold: none") << "€uro" << true << 0;
    // Accents as combining marks (as some keyboards and clipboards deliver them) compare as
    // the composed letters that are stored; the prefix is as long as its composed form.
    QTest::newRow("exact, decomposed accents") << "a\u0301rvi\u0301z" << false << 5;
    QTest::newRow("prefix, decomposed capital") << "A\u0301rv" << true << 4;
    QTest::newRow("prefix, decomposed double acute") << "A\u0301rvi\u0301ztu\u030Br" << true << 4;
}

void TstTable::locate() {
    QFETCH(QString, value);
    QFETCH(bool, prefix);
    QFETCH(int, expected);

    const QStringList titles{QStringLiteral("ABC"),
                             QStringLiteral("abc "),
                             QStringLiteral("abc"),
                             QStringLiteral("Árvíztűrő tükör"),
                             QStringLiteral("árvíz"),
                             QStringLiteral("Arviz"),
                             QStringLiteral("1000"),
                             QStringLiteral("100%"),
                             QStringLiteral("axb"),
                             QStringLiteral("a_b"),
                             QStringLiteral("it's a \\ path"),
                             QStringLiteral("ÁRVÍZ")};
    QStringList seed;
    for (const QString& title : titles)
        seed << QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES (%1)").arg(lit(title));
    OpenedTable opened(QStringLiteral("tbl_Data"), seed);
    auto& [db, p, t] = opened;
    t.next();           // somewhere other than the row a wrong locate would fall back to
    QList<qint64> keys; // in order of insertion
    for (const QString& title : titles)
        keys << keyWhere(db, QStringLiteral("tbl_Data"),
                         QStringLiteral("CIM = BINARY %1").arg(lit(title)));
    QCOMPARE(t.currentKey(), keys[1]);

    const bool found = t.locate(QStringLiteral("CIM"), value, prefix);
    QCOMPARE(found, expected != 0);
    if (found) {
        QCOMPARE(t.currentKey(), keys[expected - 1]);
        QCOMPARE(t.asString(QStringLiteral("CIM")), titles[expected - 1]);
    } else {
        QCOMPARE(t.currentKey(), keys[1]); // a failed locate does not move
    }
    QVERIFY(p.events.isEmpty());
}

void TstTable::countAndRowPassDoNotCopyTheTable() {
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO tbl_Tmp (SZOV, NUM, SZUR) "
                           "SELECT CONCAT('r', seq), seq, seq % 3 FROM seq_1_to_1203"));
    Program p(db);
    Table t(p.conn, QStringLiteral("tbl_Tmp"));

    quint64 before = p.rowsSent();
    t.open();
    const quint64 openCost = p.rowsSent() - before;
    QVERIFY2(openCost <= 501, qPrintable(QString::number(openCost))); // one page at most

    before = p.rowsSent();
    QCOMPARE(t.recordCount(), 1203);
    QVERIFY(p.rowsSent() - before <= 2); // the count, not the rows

    // A pass over every row crosses the page boundaries in key order.
    int n = 0;
    qint64 lastKey = 0;
    for (t.first(); !t.eof(); t.next()) {
        ++n;
        QVERIFY(t.currentKey() > lastKey);
        lastKey = t.currentKey();
        QCOMPARE(t.asString(QStringLiteral("SZOV")), QStringLiteral("r%1").arg(n));
    }
    QCOMPARE(n, 1203);
    // past the end the last row stays current
    QCOMPARE(t.currentKey(), db.scalar(QStringLiteral("SELECT MAX(AZ) FROM tbl_Tmp")).toLongLong());
    t.next();
    QVERIFY(t.eof());
}

void TstTable::filterRunsOnTheServer() {
    OpenedTable opened(QStringLiteral("tbl_Tmp"),
                       {QStringLiteral("INSERT INTO tbl_Tmp (SZOV, NUM, SZUR) SELECT CONCAT('r', "
                                       "seq), seq, seq % 3 FROM seq_1_to_1203")});
    auto& [db, p, t] = opened;

    t.setFilter(QStringLiteral("SZUR = 1"));
    t.setFiltered(true);
    QCOMPARE(t.recordCount(), 401);
    int n = 0;
    for (t.first(); !t.eof(); t.next()) {
        QCOMPARE(t.asInteger(QStringLiteral("SZUR")), 1);
        ++n;
    }
    QCOMPARE(n, 401);

    t.setFilter(QStringLiteral("SZOV = 'r10'"));
    QCOMPARE(t.recordCount(), 1);
    t.first();
    QCOMPARE(t.currentKey(),
             keyWhere(db, QStringLiteral("tbl_Tmp"), QStringLiteral("SZOV = 'r10'")));
    t.setFilter(QStringLiteral("SZOV = 'R10'")); // exact, as locate
    QCOMPARE(t.recordCount(), 0);
    t.setFilter(QStringLiteral("SZOV = 'x'' OR ''1''=''1'"));
    QCOMPARE(t.recordCount(), 0);

    t.setFiltered(false);
    QCOMPARE(t.recordCount(), 1203);
    QVERIFY(p.events.isEmpty());
}

void TstTable::appendPostTakesTheKeyFromTheServer() {
    OpenedTable opened(QStringLiteral("tbl_Data"),
                       {QStringLiteral("INSERT INTO tbl_Data (AZ, CIM) VALUES (40, 'régi')")});
    auto& [db, p, t] = opened;

    QByteArray photo(300 * 1024, Qt::Uninitialized); // above the long-data threshold
    for (int i = 0; i < photo.size(); ++i)
        photo[i] = char(i * 7);
    const QString title = QStringLiteral("Árvíztűrő tükörfúrógép 'x' \\ ő");
    t.append();
    QCOMPARE(t.state(), TableState::Insert);
    t.setField(QStringLiteral("CIM"), title);
    t.setField(QStringLiteral("TIP"), QString::fromUtf8(""));
    t.setField(QStringLiteral("KAT"), QVariant());
    t.setField(QStringLiteral("FMER"), 12345);
    t.setField(QStringLiteral("FOTO"), photo);
    t.setField(QStringLiteral("LEIRAS"), QStringLiteral("első sor\r\nmásodik"));
    t.post();

    QCOMPARE(t.state(), TableState::Browse);
    // The server's next key after 40: 41 on a single server, further on in a cluster.
    const qint64 key = t.currentKey();
    QVERIFY2(key > 40, qPrintable(QString::number(key)));
    QCOMPARE(db.scalar(QStringLiteral("SELECT MAX(AZ) FROM tbl_Data")), QString::number(key));
    const QString where = QStringLiteral("tbl_Data WHERE AZ = %1").arg(key);
    QCOMPARE(storedText(db, QStringLiteral("CIM"), where), title);
    QCOMPARE(db.scalar(QStringLiteral("SELECT TIP IS NULL FROM tbl_Data WHERE AZ = %1").arg(key)),
             QStringLiteral("0"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT KAT IS NULL FROM tbl_Data WHERE AZ = %1").arg(key)),
             QStringLiteral("1"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT FMER FROM tbl_Data WHERE AZ = %1").arg(key)),
             QStringLiteral("12345"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT MD5(FOTO) FROM tbl_Data WHERE AZ = %1").arg(key)),
             QString::fromLatin1(QCryptographicHash::hash(photo, QCryptographicHash::Md5).toHex()));
    QCOMPARE(t.asString(QStringLiteral("CIM")), title);
    QCOMPARE(t.asBytes(QStringLiteral("FOTO")), photo);
    QCOMPARE(t.asString(QStringLiteral("LEIRAS")), QStringLiteral("első sor\r\nmásodik"));
    QVERIFY(t.isNull(QStringLiteral("FILE")));

    t.append();
    t.post(); // a row with no field set
    QVERIFY(t.currentKey() > key);
    QCOMPARE(db.scalar(QStringLiteral("SELECT MAX(AZ) FROM tbl_Data")),
             QString::number(t.currentKey()));
    QCOMPARE(t.recordCount(), 3);
}

void TstTable::editWritesOnlyTheFieldsSet() {
    OpenedTable opened(QStringLiteral("tbl_Data"),
                       {QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, FILE) "
                                       "VALUES ('a', 'régi', REPEAT('x', 1000))")});
    auto& [db, p, t] = opened;
    t.edit();
    QCOMPARE(t.state(), TableState::Edit);
    t.setField(QStringLiteral("TIP"), QStringLiteral("új"));
    t.setField(QStringLiteral("KAT"), QStringLiteral("k"));
    t.setField(QStringLiteral("KAT"), QVariant()); // set twice: the last value counts
    t.post();
    QCOMPARE(storedText(db, QStringLiteral("TIP"), QStringLiteral("tbl_Data")),
             QStringLiteral("új"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT KAT IS NULL FROM tbl_Data")), QStringLiteral("1"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT OCTET_LENGTH(FILE) FROM tbl_Data")),
             QStringLiteral("1000"));
    QCOMPARE(t.asString(QStringLiteral("TIP")), QStringLiteral("új"));

    // Writing the same values again is no failure, though the server changes no row.
    t.edit();
    t.setField(QStringLiteral("TIP"), QStringLiteral("új"));
    t.post();
    QVERIFY(p.events.isEmpty());
}

void TstTable::textLatin2CannotStoreStopsBeforeSending() {
    int handlerCalls = 0;
    OpenedTable opened(QStringLiteral("tbl_Data"),
                       {QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES ('eredeti')")},
                       [&](Program&, Table& table) {
                           table.setErrorHandler(TableOp::Post, [&](TableBase&, const DbError&) {
                               ++handlerCalls;
                               return ErrorAction::Retry;
                           });
                       });
    auto& [db, p, t] = opened;

    t.append();
    t.setField(QStringLiteral("CIM"), QStringLiteral("ár 100 €"));
    QVERIFY_THROWS_EXCEPTION(TextEncodingError, t.post());
    QCOMPARE(t.state(), TableState::Browse);

    t.edit();
    t.setField(QStringLiteral("TIP"), QStringLiteral("ok"));
    t.setField(QStringLiteral("CIM"), QStringLiteral("€"));
    QVERIFY_THROWS_EXCEPTION(TextEncodingError, t.post());
    QCOMPARE(t.state(), TableState::Browse);

    t.post(); // nothing pending: writes nothing
    QCOMPARE(handlerCalls, 0);
    QVERIFY(p.events.isEmpty());
    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("1"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT CONCAT(CIM, '/', IFNULL(TIP, '-')) FROM tbl_Data")),
             QStringLiteral("eredeti/-"));
}

void TstTable::lockedRow_data() {
    QTest::addColumn<int>("op");
    QTest::addColumn<QList<int>>(
        "answers"); // per handler call; the lock goes before the last Retry
    const int R = int(ErrorAction::Retry), A = int(ErrorAction::Abort), F = int(ErrorAction::Fail);
    const QList<std::pair<const char*, TableOp>> ops{
        {"edit", TableOp::Edit}, {"post", TableOp::Post}, {"delete", TableOp::Delete}};
    for (const auto& [name, op] : ops) {
        QTest::addRow("%s, retry after release", name) << int(op) << QList<int>{R};
        QTest::addRow("%s, retry while locked, then released", name) << int(op) << QList<int>{R, R};
        QTest::addRow("%s, abort", name) << int(op) << QList<int>{A};
        QTest::addRow("%s, fail", name) << int(op) << QList<int>{F};
        QTest::addRow("%s, retry then abort", name) << int(op) << QList<int>{R, A};
    }
}

void TstTable::lockedRow() {
    QFETCH(int, op);
    QFETCH(QList<int>, answers);
    const auto tableOp = TableOp(op);

    OpenedTable opened(
        QStringLiteral("tbl_Data"),
        {QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES ('egy'), ('kettő'), ('három')")},
        [](Program& program, Table&) {
            program.conn.execute(QStringLiteral("SET SESSION innodb_lock_wait_timeout = 1"));
        });
    auto& [db, p, t] = opened;
    QVERIFY(t.locate(QStringLiteral("CIM"), QStringLiteral("kettő"), false));
    const qint64 second = keyWhere(db, QStringLiteral("tbl_Data"), QStringLiteral("CIM = 'kettő'"));
    const qint64 third = keyWhere(db, QStringLiteral("tbl_Data"), QStringLiteral("CIM = 'három'"));

    bool locked = false;
    auto lock = [&] {
        db.exec(QStringLiteral("START TRANSACTION"));
        db.exec(QStringLiteral("SELECT * FROM tbl_Data WHERE AZ = %1 FOR UPDATE").arg(second));
        locked = true;
    };
    auto release = [&] {
        if (locked)
            db.exec(QStringLiteral("COMMIT"));
        locked = false;
    };
    int calls = 0;
    for (TableOp each : {TableOp::Edit, TableOp::Post, TableOp::Delete})
        t.setErrorHandler(each, [&, each](TableBase& ds, const DbError& e) {
            // the table itself and the server's lock wait timeout
            p.events << QStringLiteral("handler:%1:%2:%3")
                            .arg(int(each))
                            .arg(&ds == &t ? QStringLiteral("t") : QStringLiteral("?"))
                            .arg(e.code());
            const auto answer = ErrorAction(answers.value(calls++, int(ErrorAction::Fail)));
            if (answer == ErrorAction::Retry && calls == answers.size())
                release(); // the other user lets go; the retry then succeeds
            return answer;
        });

    if (tableOp == TableOp::Post) {
        t.edit();
        t.setField(QStringLiteral("CIM"), QStringLiteral("új"));
    }
    lock();
    bool silent = false, failed = false;
    try {
        if (tableOp == TableOp::Edit)
            t.edit();
        else if (tableOp == TableOp::Post)
            t.post();
        else
            t.deleteRecord();
    } catch (const SilentAbort&) {
        silent = true;
    } catch (const DbError& e) {
        QCOMPARE(e.code(), 1205u);
        failed = true;
    }
    release();

    // Each failure shows the hook first, then asks the operation's handler.
    QStringList expected;
    for (int i = 0; i < answers.size(); ++i)
        expected << QStringLiteral("hook:1205") << QStringLiteral("handler:%1:t:1205").arg(op);
    QCOMPARE(p.events, expected);

    const auto last = ErrorAction(answers.last());
    QCOMPARE(silent, last == ErrorAction::Abort);
    QCOMPARE(failed, last == ErrorAction::Fail);
    const bool done = last == ErrorAction::Retry;
    QCOMPARE(t.state(), done && tableOp == TableOp::Edit ? TableState::Edit : TableState::Browse);
    const QString stored =
        storedText(db, QStringLiteral("CIM"), QStringLiteral("tbl_Data WHERE AZ = %1").arg(second));
    if (tableOp == TableOp::Post)
        QCOMPARE(stored, done ? QStringLiteral("új") : QStringLiteral("kettő"));
    else if (tableOp == TableOp::Delete)
        QCOMPARE(stored, done ? QString() : QStringLiteral("kettő"));
    else
        QCOMPARE(stored, QStringLiteral("kettő"));
    // A removed row hands the place to the next one; otherwise the row stays current.
    QCOMPARE(t.currentKey(), done && tableOp == TableOp::Delete ? third : second);
    // No lock is kept by the program: another connection can change the row at once.
    db.exec(QStringLiteral("SET SESSION innodb_lock_wait_timeout = 1"));
    db.exec(QStringLiteral("UPDATE tbl_Data SET KAT = 'x' WHERE AZ = %1").arg(second));
}

void TstTable::abortedPostLeavesNothingPending() {
    OpenedTable opened(
        QStringLiteral("tbl_Data"), {QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES ('egy')")},
        [](Program& program, Table& table) {
            program.conn.execute(QStringLiteral("SET SESSION innodb_lock_wait_timeout = 1"));
            table.setErrorHandler(TableOp::Post,
                                  [](TableBase&, const DbError&) { return ErrorAction::Abort; });
        });
    auto& [db, p, t] = opened;

    // A new row refused while every row and the gap after them are locked.
    db.exec(QStringLiteral("START TRANSACTION"));
    db.exec(QStringLiteral("SELECT * FROM tbl_Data FOR UPDATE"));
    t.append();
    t.setField(QStringLiteral("CIM"), QStringLiteral("félbehagyott"));
    t.setField(QStringLiteral("TIP"), QStringLiteral("félbehagyott típus"));
    QVERIFY_THROWS_EXCEPTION(SilentAbort, t.post());
    db.exec(QStringLiteral("COMMIT"));
    QCOMPARE(t.state(), TableState::Browse);

    t.post(); // nothing pending any more
    t.edit(); // an unrelated change afterwards writes only its own fields
    t.setField(QStringLiteral("KAT"), QStringLiteral("k"));
    t.post();
    t.append();
    t.setField(QStringLiteral("CIM"), QStringLiteral("másik"));
    t.post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("2"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE TIP IS NOT NULL")),
             QStringLiteral("0"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT GROUP_CONCAT(CIM ORDER BY AZ) FROM tbl_Data")),
             QStringLiteral("egy,másik"));
}

void TstTable::updateOfVanishedRowFails() {
    int calls = 0;
    OpenedTable opened(QStringLiteral("tbl_Data"),
                       {QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES ('egy'), ('kettő')")},
                       [&](Program&, Table& table) {
                           table.setErrorHandler(TableOp::Post, [&](TableBase&, const DbError&) {
                               ++calls;
                               return ErrorAction::Fail;
                           });
                       });
    auto& [db, p, t] = opened;
    t.edit();
    t.setField(QStringLiteral("CIM"), QStringLiteral("x"));
    db.exec(QStringLiteral("DELETE FROM tbl_Data WHERE CIM = 'egy'"));
    QVERIFY_THROWS_EXCEPTION(DbError, t.post());
    QCOMPARE(calls, 1);
    QCOMPARE(p.events.size(), 1); // the hook saw it too
    QCOMPARE(t.state(), TableState::Browse);
    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE CIM = 'x'")),
             QStringLiteral("0"));
}

void TstTable::refreshAndDeleteKeepAPlace() {
    OpenedTable opened(
        QStringLiteral("tbl_Data"),
        {QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES ('1'), ('2'), ('3'), ('4')")});
    auto& [db, p, t] = opened;
    const auto key = [&db](const char* title) {
        return keyWhere(db, QStringLiteral("tbl_Data"),
                        QStringLiteral("CIM = '%1'").arg(QString::fromUtf8(title)));
    };
    const qint64 k1 = key("1"), k3 = key("3"), k4 = key("4");

    QVERIFY(t.locate(QStringLiteral("CIM"), QStringLiteral("3"), false));
    db.exec(QStringLiteral("UPDATE tbl_Data SET CIM = '3b' WHERE AZ = %1").arg(k3));
    db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES ('5')"));
    t.refresh();
    QCOMPARE(t.currentKey(), k3);
    QCOMPARE(t.asString(QStringLiteral("CIM")), QStringLiteral("3b"));
    QCOMPARE(t.recordCount(), 5);

    db.exec(QStringLiteral("DELETE FROM tbl_Data WHERE AZ = %1").arg(k3));
    t.refresh();
    QCOMPARE(t.currentKey(), k1); // gone: back to the first row

    QVERIFY(t.locate(QStringLiteral("CIM"), QStringLiteral("2"), false));
    t.deleteRecord();
    QCOMPARE(t.currentKey(), k4); // the next row
    QVERIFY(t.locate(QStringLiteral("CIM"), QStringLiteral("5"), false));
    t.deleteRecord();
    QCOMPARE(t.currentKey(), k4); // the last one went: the one before
    t.deleteRecord();
    t.deleteRecord();
    QCOMPARE(t.recordCount(), 0);
    QCOMPARE(t.currentKey(), qint64(-1));
    QVERIFY(t.eof());
    QVERIFY_THROWS_EXCEPTION(DbError, t.deleteRecord());
    QVERIFY_THROWS_EXCEPTION(DbError, t.edit());
}

void TstTable::editReadsTheRowAgain() {
    OpenedTable opened(QStringLiteral("tbl_Data"),
                       {QStringLiteral("INSERT INTO tbl_Data (CIM, TIP) VALUES ('a', 'régi')")});
    auto& [db, p, t] = opened;
    db.exec(QStringLiteral("UPDATE tbl_Data SET TIP = 'másik gépről' WHERE CIM = 'a'"));
    QCOMPARE(t.asString(QStringLiteral("TIP")), QStringLiteral("régi"));
    t.edit();
    QCOMPARE(t.asString(QStringLiteral("TIP")), QStringLiteral("másik gépről"));
    t.cancel();
    QCOMPARE(t.state(), TableState::Browse);
}

void TstTable::deferredColumnsReadOnDemand() {
    OpenedTable opened(QStringLiteral("tbl_Data"),
                       {QStringLiteral("INSERT INTO tbl_Data (CIM, FOTO, LEIRAS) VALUES "
                                       "('üres fotó', '', 'sor 1\r\nŐsz')"),
                        QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES ('semmi')")});
    auto& [db, p, t] = opened;
    QVERIFY(!t.isNull(QStringLiteral("FOTO"))); // empty, not NULL
    QCOMPARE(t.blobSize(QStringLiteral("FOTO")), qint64(0));
    QCOMPARE(t.asString(QStringLiteral("leiras")), QStringLiteral("sor 1\r\nŐsz"));
    t.next();
    QVERIFY(t.isNull(QStringLiteral("FOTO")));
    QVERIFY(t.isNull(QStringLiteral("LEIRAS")));
    QVERIFY(t.asBytes(QStringLiteral("FILE")).isEmpty());
    QBuffer none;
    none.open(QIODevice::WriteOnly);
    QCOMPARE(t.saveBlobTo(QStringLiteral("FILE"), none), qint64(0));
    QVERIFY_THROWS_EXCEPTION(DbError, t.asString(QStringLiteral("NINCS")));
}

// Whether a blob or long text is NULL, asked row by row in a pass (read ahead in runs), after
// jumps, and under a filter; an empty value is not NULL, edit reads it again, and a row that
// another connection deleted reads as NULL.
void TstTable::deferredNullsThroughAPass() {
    OpenedTable opened(
        QStringLiteral("tbl_Data"),
        {QStringLiteral("INSERT INTO tbl_Data (CIM, FOTO, LEIRAS, FMER) SELECT CONCAT('r', seq), "
                        "IF(seq % 3 = 0, REPEAT('x', seq), IF(seq % 7 = 0, '', NULL)), "
                        "IF(seq % 5 = 0, 'leírás', NULL), seq % 4 FROM seq_1_to_1203")});
    auto& [db, p, t] = opened;
    const auto photoNull = [](qint64 k) { return k % 3 != 0 && k % 7 != 0; };
    const auto textNull = [](qint64 k) { return k % 5 != 0; };
    // The row's number is in its title ("r12"); keys need not be consecutive.
    const auto number = [&t] { return t.asString(QStringLiteral("CIM")).mid(1).toLongLong(); };

    int n = 0;
    for (t.first(); !t.eof(); t.next(), ++n) {
        const qint64 k = number();
        QCOMPARE(t.isNull(QStringLiteral("FOTO")), photoNull(k));
        if (k % 2) // a second column, asked only on every other row
            QCOMPARE(t.isNull(QStringLiteral("LEIRAS")), textNull(k));
    }
    QCOMPARE(n, 1203);

    for (const qint64 k : {700, 650, 651, 1203, 3, 14, 499, 500, 501, 502}) {
        QVERIFY(t.locate(QStringLiteral("CIM"), QStringLiteral("r%1").arg(k), false));
        QCOMPARE(t.isNull(QStringLiteral("FOTO")), photoNull(k));
    }

    t.setFilter(QStringLiteral("FMER = 2"));
    t.setFiltered(true);
    n = 0;
    for (t.first(); !t.eof(); t.next(), ++n) {
        const qint64 k = number();
        QCOMPARE(k % 4, 2);
        QCOMPARE(t.isNull(QStringLiteral("FOTO")), photoNull(k));
    }
    QCOMPARE(n, 301);
    t.setFiltered(false);

    t.first();
    QVERIFY(t.isNull(QStringLiteral("FOTO")));
    const qint64 k3 = keyWhere(db, QStringLiteral("tbl_Data"), QStringLiteral("CIM = 'r3'"));
    db.exec(QStringLiteral("UPDATE tbl_Data SET FOTO = 'új' WHERE CIM = 'r1'"));
    db.exec(QStringLiteral("DELETE FROM tbl_Data WHERE AZ = %1").arg(k3));
    t.edit();
    QVERIFY(!t.isNull(QStringLiteral("FOTO")));
    t.cancel();
    t.next();
    t.next();
    QCOMPARE(t.currentKey(), k3);
    QVERIFY(t.isNull(QStringLiteral("FOTO")));
    QVERIFY(p.events.isEmpty());
}

void TstTable::openingMissingTableFailsThroughHook() {
    TestDatabase db(false);
    Program p(db);
    Table t(p.conn, QStringLiteral("tbl_Data"));
    try {
        t.open();
        QFAIL("opened a missing table");
    } catch (const DbError& e) {
        QCOMPARE(e.code(), 1146u); // no such table
        QVERIFY(e.message().contains(QStringLiteral("tbl_Data")));
    }
    QCOMPARE(p.events, QStringList{QStringLiteral("hook:1146")});
    QVERIFY(!t.isOpen());
    QCOMPARE(t.state(), TableState::Inactive);
    QVERIFY_THROWS_EXCEPTION(DbError, t.append());
}

void TstTable::closingConnectionClosesTable() {
    OpenedTable opened(QStringLiteral("tbl_Kat"), {});
    auto& [db, p, t] = opened;
    t.append();
    t.setField(QStringLiteral("KAT"), QStringLiteral("nem írjuk ki"));
    p.conn.close();
    QVERIFY(!t.isOpen());
    QCOMPARE(t.state(), TableState::Inactive);
    // Opening again connects again and finds no trace of the row that was pending.
    t.open();
    QCOMPARE(t.recordCount(), 0);
}

QTEST_GUILESS_MAIN(TstTable)
#include "tst_table.moc"

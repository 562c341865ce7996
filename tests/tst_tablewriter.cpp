// The writes of a table against a real server: where the table stands after a change, a
// deletion or a new row while a filter is in force; a guarded change or deletion whose COMMIT
// answer is lost, looked up rather than asked about; and how a new row whose connection was
// lost is recognised among the rows added since, so that it is never written twice.

#include "data/sql/MariaConnection.h"
#include "data/table/LostWrite.h"
#include "data/table/ShownRowGuard.h"
#include "data/table/Table.h"
#include "data/table/TableSource.h"
#include "support/CuttingProxy.h"
#include "support/TestServer.h"

#include <QTest>

using namespace kx;
using kx::test::CuttingProxy;
using kx::test::TestDatabase;

namespace {

qint64 keyOf(TestDatabase& db, const QString& title) {
    return db.scalar(QStringLiteral("SELECT AZ FROM tbl_Data WHERE CIM = '%1'").arg(title))
        .toLongLong();
}

} // namespace

class TstTableWriter : public QObject {
    Q_OBJECT
private slots:
    void writeUnderAFilterStandsOnARowItShows_data();
    void writeUnderAFilterStandsOnARowItShows();
    void lostCommitAnswerIsLookedUp_data();
    void lostCommitAnswerIsLookedUp();
    void lostNewRowIsFoundByItsIdentity_data();
    void lostNewRowIsFoundByItsIdentity();
};

enum class Write { Change, Delete, Insert };
Q_DECLARE_METATYPE(Write)

void TstTableWriter::writeUnderAFilterStandsOnARowItShows_data() {
    QTest::addColumn<bool>("filtered");
    QTest::addColumn<Write>("write");
    QTest::addColumn<QString>("at");       // the row the table stands on first
    QTest::addColumn<QString>("type");     // TIP written (Change, Insert)
    QTest::addColumn<QString>("expected"); // the row the table stands on afterwards

    // Rows r1 to r5; r3 alone is of type "b", and the filter shows type "a".
    QTest::newRow("a change that keeps the row in: the row itself") << true << Write::Change << "r2"
                                                                    << "a"
                                                                    << "r2";
    QTest::newRow("a change that takes the row out: the next row") << true << Write::Change << "r2"
                                                                   << "b"
                                                                   << "r4";
    QTest::newRow("the last row taken out: the one before") << true << Write::Change << "r5"
                                                            << "b"
                                                            << "r4";
    QTest::newRow("without the filter a changed row stays") << false << Write::Change << "r2"
                                                            << "b"
                                                            << "r2";
    QTest::newRow("a deletion: the next row") << true << Write::Delete << "r2"
                                              << ""
                                              << "r4";
    QTest::newRow("the last row deleted: the one before") << true << Write::Delete << "r5"
                                                          << ""
                                                          << "r4";
    QTest::newRow("a new row the filter shows: the new row") << true << Write::Insert << "r2"
                                                             << "a"
                                                             << "r6";
    QTest::newRow("a new row the filter hides: the last row shown") << true << Write::Insert << "r2"
                                                                    << "b"
                                                                    << "r5";
}

void TstTableWriter::writeUnderAFilterStandsOnARowItShows() {
    QFETCH(bool, filtered);
    QFETCH(Write, write);
    QFETCH(QString, at);
    QFETCH(QString, type);
    QFETCH(QString, expected);

    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, TIP) VALUES "
                           "('r1', 'a'), ('r2', 'a'), ('r3', 'b'), ('r4', 'a'), ('r5', 'a')"));
    MariaConnection conn;
    conn.setParams(db.params());
    Table t(conn, QStringLiteral("tbl_Data"));
    t.setFilter(QStringLiteral("TIP = 'a'"));
    t.setFiltered(filtered);
    t.open();
    QVERIFY(t.locate(QStringLiteral("CIM"), at, false));

    if (write == Write::Delete) {
        t.deleteRecord();
    } else {
        if (write == Write::Insert) {
            t.append();
            t.setField(QStringLiteral("CIM"), QStringLiteral("r6"));
        } else {
            t.edit();
        }
        t.setField(QStringLiteral("TIP"), type);
        t.setField(QStringLiteral("KSZO"), QStringLiteral("írva"));
        t.post();
    }
    QCOMPARE(t.asString(QStringLiteral("CIM")), expected);
    QCOMPARE(t.currentKey(), keyOf(db, expected));
    // The row shown holds what is stored now, the written one included.
    QCOMPARE(t.asString(QStringLiteral("TIP")),
             db.scalar(QStringLiteral("SELECT TIP FROM tbl_Data WHERE CIM = '%1'").arg(expected)));
    QCOMPARE(t.asString(QStringLiteral("KSZO")),
             db.scalar(QStringLiteral("SELECT IFNULL(KSZO, '') FROM tbl_Data WHERE CIM = '%1'")
                           .arg(expected)));
}

void TstTableWriter::lostCommitAnswerIsLookedUp_data() {
    QTest::addColumn<bool>("deletion");
    QTest::newRow("change") << false;
    QTest::newRow("deletion") << true;
}

// The COMMIT of a guarded change or deletion reaches the server, but its answer is lost with
// the connection. A deletion is looked up by its key at once and counts as done; a change is
// retried (as the user agrees to) and finds its own row stored, so neither asks whether to
// write over another workstation's change, and the change is stored once.
void TstTableWriter::lostCommitAnswerIsLookedUp() {
    QFETCH(bool, deletion);
    TestDatabase db;
    db.exec(
        QStringLiteral("INSERT INTO tbl_Data (CIM, KSZO) VALUES ('r1', 'régi'), ('r2', 'régi')"));
    const ConnectionParams direct = db.params();
    CuttingProxy proxy(direct.server, direct.port.toUShort());
    ConnectionParams viaProxy = direct;
    viaProxy.port = QString::number(proxy.port());
    MariaConnection conn;
    conn.setParams(viaProxy);
    QList<unsigned> hooked, handled;
    conn.setErrorHook([&](const DbError& e) { hooked << e.code(); });
    Table t(conn, QStringLiteral("tbl_Data"));
    for (TableOp op : {TableOp::Post, TableOp::Delete})
        t.setErrorHandler(op, [&](TableBase&, const DbError& e) {
            handled << e.code();
            return handled.size() == 1 ? ErrorAction::Retry : ErrorAction::Fail;
        });
    t.open();
    QVERIFY(t.locate(QStringLiteral("CIM"), QStringLiteral("r1"), false));
    int asked = 0;
    ShownRowGuard guard(t, [&] {
        ++asked;
        return false;
    });
    guard.remember();

    proxy.cutAtNextCommit();
    guard.run([&] {
        if (deletion) {
            t.deleteRecord();
        } else {
            t.edit();
            t.setField(QStringLiteral("KSZO"), QStringLiteral("új"));
            t.post();
        }
    });
    QVERIFY(proxy.hasCut());
    QCOMPARE(hooked.size(), 1);
    QVERIFY(MariaConnection::isLostConnection(hooked[0]));
    QCOMPARE(handled, deletion ? QList<unsigned>() : hooked);
    QCOMPARE(asked, 0);
    QCOMPARE(db.scalar(QStringLiteral("SELECT GROUP_CONCAT(CONCAT(CIM, ':', KSZO) ORDER BY AZ) "
                                      "FROM tbl_Data")),
             deletion ? QStringLiteral("r2:régi") : QStringLiteral("r1:új,r2:régi"));
    QCOMPARE(t.asString(QStringLiteral("CIM")),
             deletion ? QStringLiteral("r2") : QStringLiteral("r1"));
    QCOMPARE(t.asString(QStringLiteral("KSZO")),
             deletion ? QStringLiteral("régi") : QStringLiteral("új"));
    QVERIFY(!conn.askInTransaction().value_or(true)); // nothing left open
}

void TstTableWriter::lostNewRowIsFoundByItsIdentity_data() {
    QTest::addColumn<QStringList>("identity"); // empty: every plain value written
    QTest::addColumn<QVariant>("title");
    QTest::addColumn<QVariant>("keywords");
    QTest::addColumn<QVariant>("category");
    QTest::addColumn<QVariant>("size");
    QTest::addColumn<bool>("streamedFile");
    QTest::addColumn<QString>("expected"); // the row found (its HIV); empty: none

    const QStringList byTitle{QStringLiteral("CIM")};
    const QVariant null;
    const QVariant a(QStringLiteral("a")), b(QStringLiteral("b")), empty(QStringLiteral(""));
    const QVariant title(QStringLiteral("Cím"));
    QTest::newRow("the exact title: the first new row that has it")
        << byTitle << title << b << null << QVariant(9) << false << "new 3";
    QTest::newRow("letter case counts")
        << byTitle << QVariant(QStringLiteral("CÍM")) << a << null << QVariant(1) << false << "";
    QTest::newRow("a trailing blank counts") << byTitle << QVariant(QStringLiteral("Cím ")) << a
                                             << null << QVariant(1) << false << "new 2";
    QTest::newRow("a row that was there before does not count")
        << byTitle << QVariant(QStringLiteral("Régi")) << a << null << QVariant(1) << false << "";
    QTest::newRow("every plain value without an identity")
        << QStringList() << title << a << null << QVariant(1) << false << "new 4";
    QTest::newRow("NULL matches NULL, not an empty value")
        << QStringList() << title << b << null << QVariant(2) << false << "";
    QTest::newRow("an empty value matches an empty value")
        << QStringList() << title << b << empty << QVariant(2) << false << "new 3";
    QTest::newRow("a whole number counts")
        << QStringList() << title << a << null << QVariant(2) << false << "";
    QTest::newRow("a real number is not compared: its column may round it")
        << QStringList() << title << a << null << QVariant(1.25) << false << "new 4";
    QTest::newRow("a streamed file is not compared")
        << QStringList() << title << a << null << QVariant(1) << true << "new 4";
}

void TstTableWriter::lostNewRowIsFoundByItsIdentity() {
    QFETCH(QStringList, identity);
    QFETCH(QVariant, title);
    QFETCH(QVariant, keywords);
    QFETCH(QVariant, category);
    QFETCH(QVariant, size);
    QFETCH(bool, streamedFile);
    QFETCH(QString, expected);

    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO tbl_Data (HIV, CIM, KSZO, FMER) VALUES "
                           "('old', 'Régi', 'a', 1), ('old', 'Cím', 'a', 1)"));
    const qint64 keysBelow = db.scalar(QStringLiteral("SELECT MAX(AZ) FROM tbl_Data")).toLongLong();
    db.exec(QStringLiteral("INSERT INTO tbl_Data (HIV, CIM, KSZO, KAT, FMER) VALUES "
                           "('new 1', 'cím', 'a', NULL, 1), ('new 2', 'Cím ', 'a', NULL, 1), "
                           "('new 3', 'Cím', 'b', '', 2), ('new 4', 'Cím', 'a', NULL, 1)"));
    PendingRow written{{QStringLiteral("CIM"), {title, {}, {}}},
                       {QStringLiteral("KSZO"), {keywords, {}, {}}},
                       {QStringLiteral("KAT"), {category, {}, {}}},
                       {QStringLiteral("FMER"), {size, {}, {}}}};
    if (streamedFile) {
        written.append({QStringLiteral("FILE"), {{}, QStringLiteral("/nincs/ilyen.bin"), {}}});
        written.append({QStringLiteral("FNEV"), {{}, {}, QStringLiteral("FILE")}});
    }

    MariaConnection conn;
    conn.setParams(db.params());
    conn.open();
    const TableSource source(conn, QStringLiteral("tbl_Data"));
    LostWrite lost;
    lost.setNewRowIdentity(identity);
    lost.remember(true, -1, keysBelow, written);
    const std::optional<qint64> found = lost.findInsertedRow(source);
    QCOMPARE(found.has_value(), !expected.isEmpty());
    if (found)
        QCOMPARE(*found,
                 db.scalar(QStringLiteral("SELECT AZ FROM tbl_Data WHERE HIV = '%1'").arg(expected))
                     .toLongLong());
}

QTEST_GUILESS_MAIN(TstTableWriter)
#include "tst_tablewriter.moc"

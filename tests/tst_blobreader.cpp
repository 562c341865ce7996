// The one reader of stored files against a real server: a value streamed in pieces, at the
// pieces' boundaries, through the record query (the browser's save) and the record table
// alike; a server that ends the piece stream early; a failed write to the output.
#include "data/query/Query.h"
#include "data/sql/BlobReader.h"
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "data/table/Table.h"
#include "support/TestServer.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTest>
#include <cstring>
#include <mysql.h>

using namespace kx;
using kx::test::TestDatabase;

namespace {

// Deterministic bytes, different in every piece, so a piece out of place shows.
QByteArray pattern(qint64 size) {
    QByteArray out(size, Qt::Uninitialized);
    QRandomGenerator gen(7);
    for (qint64 i = 0; i < size; ++i)
        out[i] = char(gen.generate() >> 24);
    return out;
}

// Writes FILE of the one record on the admin connection, in parts (size < 0: NULL).
void storeFile(TestDatabase& db, const QByteArray& value, bool null) {
    db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, FNEV) VALUES ('mit', 'x.bin')"));
    const QByteArray sql = "UPDATE tbl_Data SET FILE = ?";
    MYSQL_STMT* stmt = mysql_stmt_init(db.admin());
    if (mysql_stmt_prepare(stmt, sql.constData(), sql.size()))
        qFatal("prepare: %s", mysql_stmt_error(stmt));
    MYSQL_BIND b;
    std::memset(&b, 0, sizeof b);
    my_bool isNull = null;
    char dummy = 0;
    b.buffer_type = MYSQL_TYPE_LONG_BLOB;
    b.buffer = &dummy;
    b.is_null = &isNull;
    if (mysql_stmt_bind_param(stmt, &b))
        qFatal("bind: %s", mysql_stmt_error(stmt));
    const qint64 part = 1 << 20;
    for (qint64 off = 0; !null && off < value.size(); off += part)
        if (mysql_stmt_send_long_data(
                stmt, 0, value.constData() + off,
                static_cast<unsigned long>(std::min(part, value.size() - off))))
            qFatal("send_long_data: %s", mysql_stmt_error(stmt));
    if (mysql_stmt_execute(stmt))
        qFatal("execute: %s", mysql_stmt_error(stmt));
    mysql_stmt_close(stmt);
}

// An output that takes the first write and fails every later one, as a full disk does.
class FailingDevice : public QIODevice {
public:
    FailingDevice() {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char*, qint64) override {
        return -1;
    }
    qint64 writeData(const char*, qint64 size) override {
        if (m_writes++ == 0)
            return size;
        setErrorString(QStringLiteral("Nincs több hely a lemezen"));
        return -1;
    }

private:
    int m_writes = 0;
};

// The program's connection, the record query and the record table over one database.
struct Fixture {
    TestDatabase db;
    MariaConnection conn;
    QStringList hookCalls;
    Query query{conn};
    Table table{conn, QStringLiteral("tbl_Data")};

    Fixture() {
        conn.setParams(db.params());
        conn.setErrorHook([this](const DbError& e) { hookCalls << e.message(); });
        conn.open();
    }
    void open() {
        query.setKeyField(QStringLiteral("AZ"));
        query.setDeferredFields({QStringLiteral("KSZO"), QStringLiteral("LEIRAS"),
                                 QStringLiteral("FOTO"), QStringLiteral("FILE")});
        query.setSql(QStringLiteral("Select * from tbl_Data order by CIM"));
        query.open();
        table.open();
    }
    qint64 save(const QString& via, QIODevice& out) {
        return via == QLatin1String("query") ? query.saveBlobTo(QStringLiteral("FILE"), out)
                                             : table.saveBlobTo(QStringLiteral("FILE"), out);
    }
    qint64 size(const QString& via) {
        return via == QLatin1String("query") ? query.blobSize(QStringLiteral("FILE"))
                                             : table.blobSize(QStringLiteral("FILE"));
    }
    bool isNull(const QString& via) {
        return via == QLatin1String("query") ? query.isNull(QStringLiteral("FILE"))
                                             : table.isNull(QStringLiteral("FILE"));
    }
};

} // namespace

class TestBlobReader : public QObject {
    Q_OBJECT

private slots:
    void pieceBoundaries_data();
    void pieceBoundaries();
    void failedWriteIsReportedAndTheConnectionStaysReady_data();
    void failedWriteIsReportedAndTheConnectionStaysReady();
};

void TestBlobReader::pieceBoundaries_data() {
    QTest::addColumn<QString>("via");
    QTest::addColumn<bool>("null");
    QTest::addColumn<int>("pieces");         // whole pieces of the value ...
    QTest::addColumn<int>("extra");          // ... and this many bytes more (or less)
    QTest::addColumn<int>("recursionLimit"); // 0: the server's own
    for (const QString& via : {QStringLiteral("query"), QStringLiteral("table")}) {
        const auto row = [&via](const char* name) -> QTestData& {
            return QTest::newRow(qPrintable(via + QStringLiteral(": ") + QLatin1String(name)))
                   << via;
        };
        row("NULL") << true << 0 << 0 << 0;
        row("empty") << false << 0 << 0 << 0;
        row("one byte") << false << 0 << 1 << 0;
        row("a piece less one byte") << false << 1 << -1 << 0;
        row("exactly one piece") << false << 1 << 0 << 0;
        row("a piece and one byte") << false << 1 << 1 << 0;
        // A server whose recursion limit ends the stream of pieces after three: the rest is
        // read piece by piece, nothing lost.
        row("five pieces and a byte, stream cut short") << false << 5 << 1 << 2;
    }
}

void TestBlobReader::pieceBoundaries() {
    QFETCH(QString, via);
    QFETCH(bool, null);
    QFETCH(int, pieces);
    QFETCH(int, extra);
    QFETCH(int, recursionLimit);
    Fixture f;
    const qint64 piece = BlobReader(f.conn).pieceSize();
    QCOMPARE(piece, BlobReader::kChunk); // the test server takes packets of 1 GB
    const QByteArray value = pattern(null ? 0 : pieces * piece + extra);
    storeFile(f.db, value, null);
    if (recursionLimit)
        f.conn.execute(
            QStringLiteral("SET SESSION max_recursive_iterations = %1").arg(recursionLimit));
    f.open();

    QCOMPARE(f.isNull(via), null);
    QCOMPARE(f.size(via), qint64(value.size()));
    QByteArray saved;
    QBuffer out(&saved);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(f.save(via, out), qint64(value.size()));
    QCOMPARE(saved.size(), value.size());
    QVERIFY(saved == value);
    // A second read of the same value by the statements kept from the first.
    saved.clear();
    QVERIFY(out.seek(0));
    QCOMPARE(f.save(via, out), qint64(value.size()));
    QVERIFY(saved == value);
    QCOMPARE(f.hookCalls, QStringList());
}

void TestBlobReader::failedWriteIsReportedAndTheConnectionStaysReady_data() {
    QTest::addColumn<QString>("via");
    QTest::newRow("query") << QStringLiteral("query");
    QTest::newRow("table") << QStringLiteral("table");
}

void TestBlobReader::failedWriteIsReportedAndTheConnectionStaysReady() {
    QFETCH(QString, via);
    Fixture f;
    const QByteArray value = pattern(3 * BlobReader(f.conn).pieceSize() + 5);
    storeFile(f.db, value, false);
    f.open();
    FailingDevice full;
    try {
        f.save(via, full);
        QFAIL("the failed write went unnoticed");
    } catch (const DbError& e) {
        QCOMPARE(e.message(),
                 QStringLiteral("A fájl írása nem sikerült: Nincs több hely a lemezen"));
    }
    // The server did nothing wrong: the hook stays silent, and the rows of the pieces that
    // were not written are off the connection, so the next statement and save run.
    QCOMPARE(f.hookCalls, QStringList());
    QCOMPARE(f.conn.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("1"));
    QByteArray saved;
    QBuffer out(&saved);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(f.save(via, out), qint64(value.size()));
    QVERIFY(saved == value);
}

QTEST_GUILESS_MAIN(TestBlobReader)
#include "tst_blobreader.moc"

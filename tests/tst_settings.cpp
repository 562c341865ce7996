// The remembered settings in Data.db: the key prefix rule, duplicate keys, a missing table.
#include "data/DbError.h"
#include "data/SqliteConnection.h"
#include "data/SqliteTable.h"
#include "storage/SettingsStore.h"
#include "support/TestServer.h"

#include <QTest>
#include <sqlite3.h>

using namespace kx;
using namespace kx::test;

namespace {

struct Rows {
    QString a, b;
};

class ConfigFile {
public:
    ConfigFile() {
        folder.createConfigTable();
    }
    void insert(const QList<Rows>& rows) {
        sqlite3* db = nullptr;
        QVERIFY(sqlite3_open(folder.dataDb().toUtf8().constData(), &db) == SQLITE_OK);
        for (const Rows& r : rows) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, "insert into tbl_Config (A, B) values (?, ?)", -1, &st, nullptr);
            const QByteArray a = r.a.toUtf8(), b = r.b.toUtf8();
            sqlite3_bind_text(st, 1, a.constData(), a.size(), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, b.constData(), b.size(), SQLITE_TRANSIENT);
            QCOMPARE(sqlite3_step(st), SQLITE_DONE);
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
    }
    QList<Rows> rows() {
        QList<Rows> out;
        sqlite3* db = nullptr;
        sqlite3_open(folder.dataDb().toUtf8().constData(), &db);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "select A, B, C from tbl_Config order by AZ", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            out.append(
                {QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))),
                 QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)))});
            // The program never writes C.
            if (sqlite3_column_type(st, 2) != SQLITE_NULL)
                qWarning("column C was written");
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }
    WorkingFolder folder;
    SqliteConnection connection;
    SqliteTable table{connection, QStringLiteral("tbl_Config")};
    SettingsStore store() {
        connection.setDatabase(folder.dataDb());
        return SettingsStore(connection, table);
    }
};

bool operator==(const Rows& x, const Rows& y) {
    return x.a == y.a && x.b == y.b;
}

} // namespace

namespace QTest {
template <> char* toString(const Rows& r) {
    return qstrdup(qPrintable(r.a + QStringLiteral("=") + r.b));
}
} // namespace QTest

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartReadsNothing();
    void rememberThenRead();
    void keyIsFoundByPrefixAndRewritten();
    void firstOfTwoRowsWins();
    void missingTableFailsAndLeavesNothingBehind();
};

void SettingsTest::firstStartReadsNothing() {
    ConfigFile f;
    const auto s = f.store().read();
    QVERIFY(s.server.isEmpty() && s.port.isEmpty() && s.database.isEmpty() && s.user.isEmpty());
    QVERIFY(!f.connection.isConnected()); // closed again after use
}

void SettingsTest::rememberThenRead() {
    ConfigFile f;
    f.store().remember({QStringLiteral(" szerver "), QStringLiteral("3306"),
                        QStringLiteral("Árvíztűrő"), QStringLiteral("felhasználó")});
    QVERIFY(!f.connection.isConnected());
    const auto s = f.store().read();
    QCOMPARE(s.server, QStringLiteral(" szerver "));
    QCOMPARE(s.port, QStringLiteral("3306"));
    QCOMPARE(s.database, QStringLiteral("Árvíztűrő"));
    QCOMPARE(s.user, QStringLiteral("felhasználó"));
    QCOMPARE(f.rows(), (QList<Rows>{{QStringLiteral("SZERVER"), QStringLiteral(" szerver ")},
                                    {QStringLiteral("PORT"), QStringLiteral("3306")},
                                    {QStringLiteral("ADATBAZIS"), QStringLiteral("Árvíztűrő")},
                                    {QStringLiteral("FELHASZN"), QStringLiteral("felhasználó")}}));
}

void SettingsTest::keyIsFoundByPrefixAndRewritten() {
    ConfigFile f;
    // A longer key that begins with "SZERVER" is taken for it; a lower-case one is not.
    f.insert({{QStringLiteral("szerver"), QStringLiteral("lower")},
              {QStringLiteral("SZERVER_REGI"), QStringLiteral("old")},
              {QStringLiteral("PORTX"), QStringLiteral("1")}});
    const auto s = f.store().read();
    QCOMPARE(s.server, QStringLiteral("old"));
    QCOMPARE(s.port, QStringLiteral("1"));
    f.store().remember(
        {QStringLiteral("new"), QStringLiteral("2"), QStringLiteral("db"), QStringLiteral("u")});
    QCOMPARE(f.rows(), (QList<Rows>{{QStringLiteral("szerver"), QStringLiteral("lower")},
                                    {QStringLiteral("SZERVER"), QStringLiteral("new")},
                                    {QStringLiteral("PORT"), QStringLiteral("2")},
                                    {QStringLiteral("ADATBAZIS"), QStringLiteral("db")},
                                    {QStringLiteral("FELHASZN"), QStringLiteral("u")}}));
}

void SettingsTest::firstOfTwoRowsWins() {
    ConfigFile f;
    f.insert({{QStringLiteral("FELHASZN"), QStringLiteral("first")},
              {QStringLiteral("FELHASZN"), QStringLiteral("second")}});
    QCOMPARE(f.store().read().user, QStringLiteral("first"));
    f.store().remember(
        {QStringLiteral("s"), QStringLiteral("p"), QStringLiteral("d"), QStringLiteral("changed")});
    const auto rows = f.rows();
    QCOMPARE(rows[0], (Rows{QStringLiteral("FELHASZN"), QStringLiteral("changed")}));
    QCOMPARE(rows[1], (Rows{QStringLiteral("FELHASZN"), QStringLiteral("second")}));
}

void SettingsTest::missingTableFailsAndLeavesNothingBehind() {
    WorkingFolder folder;
    SqliteConnection connection;
    SqliteTable table(connection, QStringLiteral("tbl_Config"));
    connection.setDatabase(folder.dataDb());
    SettingsStore store(connection, table);
    QVERIFY_THROWS_EXCEPTION(DbError, store.read());
    QVERIFY(QFile::exists(folder.dataDb())); // opening created the file, empty
    QVERIFY_THROWS_EXCEPTION(DbError, store.remember({QStringLiteral("a"), QStringLiteral("b"),
                                                      QStringLiteral("c"), QStringLiteral("d")}));
}

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"

// The remembered settings in Data.db: the key prefix rule, duplicate keys, a new file that
// gets its table, a file that is not a settings file.
#include "data/sql/DbError.h"
#include "data/sql/SqliteConnection.h"
#include "data/table/SqliteTable.h"
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
    void fileWithoutTheTable_data();
    void fileWithoutTheTable();
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

void SettingsTest::fileWithoutTheTable_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("error"); // empty: the table is made and the settings kept
    QTest::newRow("no file: made with the table") << "none"
                                                  << "";
    QTest::newRow("empty file: the table added") << "empty"
                                                 << "";
    QTest::newRow("another program's database: left alone") << "foreign"
                                                            << "no such table: tbl_Config";
    QTest::newRow("link to an empty file elsewhere: left alone") << "link to empty"
                                                                 << "no such table: tbl_Config";
}

void SettingsTest::fileWithoutTheTable() {
    QFETCH(QString, file);
    QFETCH(QString, error);
    WorkingFolder folder;
    const QString elsewhere = folder.path() + QStringLiteral("/elsewhere.db");
    if (file == QLatin1String("empty")) {
        QFile f(folder.dataDb());
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (file == QLatin1String("foreign")) {
        sqlite3* db = nullptr;
        QVERIFY(sqlite3_open(folder.dataDb().toUtf8().constData(), &db) == SQLITE_OK);
        QVERIFY(sqlite3_exec(db, "create table t (x)", nullptr, nullptr, nullptr) == SQLITE_OK);
        sqlite3_close(db);
    } else if (file == QLatin1String("link to empty")) {
        QFile f(elsewhere);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(QFile::link(elsewhere, folder.dataDb()));
    }
    const QByteArray before = [&] {
        QFile f(folder.dataDb());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    SqliteConnection connection;
    SqliteTable table(connection, QStringLiteral("tbl_Config"));
    connection.setDatabase(folder.dataDb());
    SettingsStore store(connection, table);
    const RememberedSettings settings{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                      QStringLiteral("d")};
    if (error.isEmpty()) {
        QCOMPARE(store.read().server, QString());
        store.remember(settings);
        QCOMPARE(store.read().user, QStringLiteral("d"));
        QVERIFY(!connection.isConnected());
        return;
    }
    for (int op = 0; op < 2; ++op) {
        try {
            if (op == 0)
                store.read();
            else
                store.remember(settings);
            QFAIL("a file without the settings table was used");
        } catch (const DbError& e) {
            QCOMPARE(e.message(), error);
        }
        QVERIFY(!connection.isConnected()); // closed again after the failure
    }
    QFile after(folder.dataDb());
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
}

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"

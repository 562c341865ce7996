// The settings table over a real Data.db: opening, case-sensitive locate in key order,
// writes, and refused writes (another process holding the file, a read-only connection)
// reaching the locking-error handlers.

#include "data/sql/DbError.h"
#include "data/sql/SqliteConnection.h"
#include "data/table/SqliteTable.h"
#include "support/TestServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace kx;
using kx::test::WorkingFolder;

namespace {

// A second process's view of Data.db: a plain connection of its own.
class OtherProcess {
public:
    explicit OtherProcess(const QString& path) {
        if (sqlite3_open(path.toUtf8().constData(), &m_db) != SQLITE_OK)
            qFatal("cannot open %s", qPrintable(path));
    }
    ~OtherProcess() {
        sqlite3_close(m_db);
    }
    void exec(const char* sql) {
        char* err = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &err) != SQLITE_OK)
            qFatal("%s: %s", sql, err);
    }
    QString scalar(const char* sql) {
        sqlite3_stmt* st = nullptr;
        QString out;
        if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK)
            qFatal("%s: %s", sql, sqlite3_errmsg(m_db));
        if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return out;
    }

private:
    sqlite3* m_db = nullptr;
};

QString pragma(SqliteConnection& c, const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(c.handle(), sql, -1, &st, nullptr);
    QString out;
    if (sqlite3_step(st) == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return out;
}

// Data.db with tbl_Config and rows (AZ, A, B), inserted in the order given.
void prepare(WorkingFolder& wf, const QList<std::tuple<int, QString, QString>>& rows) {
    wf.createConfigTable();
    for (const auto& [az, a, b] : rows) {
        sqlite3_stmt* st = nullptr;
        sqlite3* db = nullptr;
        sqlite3_open(wf.dataDb().toUtf8().constData(), &db);
        sqlite3_prepare_v2(db, "INSERT INTO tbl_Config (AZ, A, B) VALUES (?, ?, ?)", -1, &st,
                           nullptr);
        sqlite3_bind_int(st, 1, az);
        const QByteArray ua = a.toUtf8(), ub = b.toUtf8();
        sqlite3_bind_text(st, 2, ua.constData(), int(ua.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, ub.constData(), int(ub.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(st) != SQLITE_DONE)
            qFatal("insert failed: %s", sqlite3_errmsg(db));
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
}

} // namespace

class TstSqliteTable : public QObject {
    Q_OBJECT
private slots:
    void missingFileIsCreatedButTableIsMissing();
    void connectionSettings();
    void locate_data();
    void locate();
    void rememberSettingsRoundTrip();
    void refusedWrite_data();
    void refusedWrite();
    void refusedEditAndDelete();
    void closingConnectionClosesTable();
};

void TstSqliteTable::missingFileIsCreatedButTableIsMissing() {
    WorkingFolder wf;
    QVERIFY(!QFile::exists(wf.dataDb()));
    SqliteConnection c;
    c.setDatabase(wf.dataDb());
    SqliteTable t(c, QStringLiteral("tbl_Config"));
    try {
        t.open(); // opens the connection on the way
        QFAIL("opened a missing table");
    } catch (const DbError& e) {
        QCOMPARE(e.message(), QStringLiteral("no such table: tbl_Config"));
    }
    QVERIFY(QFile::exists(wf.dataDb()));
    QVERIFY(c.isConnected()); // the connection stays open
    QVERIFY(!t.isOpen());
    QCOMPARE(t.recordCount(), 0);
}

void TstSqliteTable::connectionSettings() {
    WorkingFolder wf;
    SqliteConnection c;
    c.setDatabase(wf.dataDb());
    c.open();
    QCOMPARE(pragma(c, "PRAGMA cache_size"), QStringLiteral("500"));
    QCOMPARE(pragma(c, "PRAGMA journal_mode"), QStringLiteral("off"));
    QCOMPARE(pragma(c, "PRAGMA locking_mode"), QStringLiteral("normal"));

    // A path that cannot be made is an error of the family, with SQLite's own text.
    SqliteConnection bad;
    bad.setDatabase(wf.path() + QStringLiteral("/nincs/ilyen/Data.db"));
    QVERIFY_THROWS_EXCEPTION(DbError, bad.open());
    QVERIFY(!bad.isConnected());
}

void TstSqliteTable::locate_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("prefix");
    QTest::addColumn<QString>("expectedB"); // B of the row found; empty: none

    QTest::newRow("same key twice: first by AZ") << "PORT" << true << "by key";
    QTest::newRow("prefix finds a longer key") << "SZERVER" << true << "longer";
    QTest::newRow("prefix is case-sensitive") << "szerver" << true << "lower";
    QTest::newRow("exact needs the whole value") << "SZERVER" << false << "";
    QTest::newRow("exact, lower case") << "szerver" << false << "lower";
    QTest::newRow("accented, case counts") << "árv" << true << "";
    QTest::newRow("accented") << "Árv" << true << "accent";
    QTest::newRow("exact, trailing blank counts") << "ADATBAZIS" << false << "";
    QTest::newRow("prefix ignores what follows") << "ADATBAZIS" << true << "trailing";
    QTest::newRow("percent is a character") << "%" << true << "";
}

void TstSqliteTable::locate() {
    QFETCH(QString, value);
    QFETCH(bool, prefix);
    QFETCH(QString, expectedB);

    WorkingFolder wf;
    prepare(wf, {{5, QStringLiteral("PORT"), QStringLiteral("by insertion")},
                 {3, QStringLiteral("PORT"), QStringLiteral("by key")},
                 {7, QStringLiteral("SZERVERX"), QStringLiteral("longer")},
                 {8, QStringLiteral("szerver"), QStringLiteral("lower")},
                 {9, QStringLiteral("Árvíz"), QStringLiteral("accent")},
                 {10, QStringLiteral("ADATBAZIS "), QStringLiteral("trailing")}});
    SqliteConnection c;
    c.setDatabase(wf.dataDb());
    SqliteTable t(c, QStringLiteral("tbl_Config"));
    t.open();
    QCOMPARE(t.recordCount(), 6);
    QCOMPARE(t.asString(QStringLiteral("AZ")), QStringLiteral("3")); // rows in key order
    t.next();
    QCOMPARE(t.asString(QStringLiteral("AZ")), QStringLiteral("5"));

    const bool found = t.locate(QStringLiteral("A"), value, prefix);
    QCOMPARE(found, !expectedB.isEmpty());
    QCOMPARE(t.asString(QStringLiteral("B")), found ? expectedB : QStringLiteral("by insertion"));
}

void TstSqliteTable::rememberSettingsRoundTrip() {
    WorkingFolder wf;
    prepare(wf, {{1, QStringLiteral("SZERVER-régi"), QStringLiteral("régi")}});
    SqliteConnection c;
    c.setDatabase(wf.dataDb());
    SqliteTable t(c, QStringLiteral("tbl_Config"));
    t.open();

    // An existing row: changed in place, by its key.
    QVERIFY(t.locate(QStringLiteral("A"), QStringLiteral("SZERVER"), true));
    t.edit();
    t.setField(QStringLiteral("A"), QStringLiteral("SZERVER"));
    t.setField(QStringLiteral("B"), QStringLiteral(" szerver.hu € "));
    t.post();
    QCOMPARE(t.state(), TableState::Browse);

    // A missing one: added, with the key from the store.
    QVERIFY(!t.locate(QStringLiteral("A"), QStringLiteral("PORT"), true));
    t.append();
    t.setField(QStringLiteral("A"), QStringLiteral("PORT"));
    t.setField(QStringLiteral("B"), QStringLiteral("3306"));
    t.post();
    QCOMPARE(t.asString(QStringLiteral("AZ")), QStringLiteral("2"));
    QCOMPARE(t.asString(QStringLiteral("A")), QStringLiteral("PORT"));
    t.close();
    c.close();

    OtherProcess other(wf.dataDb());
    QCOMPARE(other.scalar("SELECT group_concat(AZ || ':' || A || '=' || B, '|') FROM tbl_Config"),
             QStringLiteral("1:SZERVER= szerver.hu € |2:PORT=3306"));
    QCOMPARE(other.scalar("SELECT count(*) FROM tbl_Config WHERE C IS NULL"), QStringLiteral("2"));

    t.open();
    QVERIFY(t.locate(QStringLiteral("A"), QStringLiteral("SZERVER"), false));
    t.deleteRecord();
    QCOMPARE(t.recordCount(), 1);
    QCOMPARE(t.asString(QStringLiteral("A")), QStringLiteral("PORT"));
}

void TstSqliteTable::refusedWrite_data() {
    QTest::addColumn<bool>("otherProcess"); // or the connection is read-only
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("message");
    const int R = int(ErrorAction::Retry), A = int(ErrorAction::Abort), F = int(ErrorAction::Fail);
    const QString locked = QStringLiteral("database is locked");
    const QString readOnly = QStringLiteral("attempt to write a readonly database");
    QTest::newRow("locked, retry after release") << true << R << locked;
    QTest::newRow("locked, abort") << true << A << locked;
    QTest::newRow("locked, fail") << true << F << locked;
    QTest::newRow("read-only, retry after release") << false << R << readOnly;
    QTest::newRow("read-only, abort") << false << A << readOnly;
}

void TstSqliteTable::refusedWrite() {
    QFETCH(bool, otherProcess);
    QFETCH(int, answer);
    QFETCH(QString, message);

    WorkingFolder wf;
    prepare(wf, {{1, QStringLiteral("SZERVER"), QStringLiteral("régi")}});
    SqliteConnection c;
    c.setDatabase(wf.dataDb());
    SqliteTable t(c, QStringLiteral("tbl_Config"));
    t.open();
    OtherProcess other(wf.dataDb());

    auto hold = [&] {
        if (otherProcess)
            other.exec("BEGIN IMMEDIATE; INSERT INTO tbl_Config (A) VALUES ('other');");
        else
            sqlite3_exec(c.handle(), "PRAGMA query_only = ON", nullptr, nullptr, nullptr);
    };
    auto release = [&] {
        if (otherProcess)
            other.exec("ROLLBACK");
        else
            sqlite3_exec(c.handle(), "PRAGMA query_only = OFF", nullptr, nullptr, nullptr);
    };
    QStringList seen;
    t.setErrorHandler(TableOp::Post, [&](TableBase&, const DbError& e) {
        seen << e.message();
        if (ErrorAction(answer) == ErrorAction::Retry)
            release();
        return ErrorAction(answer);
    });

    // Both kinds of write: a changed row and a new one.
    for (bool insert : {false, true}) {
        if (insert)
            t.append();
        else
            t.edit();
        t.setField(QStringLiteral("A"),
                   insert ? QStringLiteral("PORT") : QStringLiteral("SZERVER"));
        t.setField(QStringLiteral("B"), QStringLiteral("új"));
        hold();
        bool silent = false, failed = false;
        try {
            t.post();
        } catch (const SilentAbort&) {
            silent = true;
        } catch (const DbError&) {
            failed = true;
        }
        if (ErrorAction(answer) != ErrorAction::Retry)
            release();
        QCOMPARE(silent, ErrorAction(answer) == ErrorAction::Abort);
        QCOMPARE(failed, ErrorAction(answer) == ErrorAction::Fail);
        QCOMPARE(t.state(), TableState::Browse);
        t.post(); // nothing may be left to write
    }
    QCOMPARE(seen, QStringList(2, message));

    const bool written = ErrorAction(answer) == ErrorAction::Retry;
    QCOMPARE(other.scalar("SELECT group_concat(A || '=' || B, '|') FROM tbl_Config"),
             written ? QStringLiteral("SZERVER=új|PORT=új") : QStringLiteral("SZERVER=régi"));
}

void TstSqliteTable::refusedEditAndDelete() {
    WorkingFolder wf;
    prepare(wf, {{1, QStringLiteral("SZERVER"), QStringLiteral("a")},
                 {2, QStringLiteral("PORT"), QStringLiteral("b")}});
    SqliteConnection c;
    c.setDatabase(wf.dataDb());
    SqliteTable t(c, QStringLiteral("tbl_Config"));
    t.open();
    OtherProcess other(wf.dataDb());
    QStringList seen;
    for (TableOp op : {TableOp::Edit, TableOp::Delete})
        t.setErrorHandler(op, [&, op](TableBase&, const DbError& e) {
            seen << QStringLiteral("%1:%2").arg(int(op)).arg(e.message());
            if (seen.size() % 2)
                return ErrorAction::Retry; // still held: asked again
            other.exec("ROLLBACK");
            return ErrorAction::Retry;
        });

    other.exec("BEGIN EXCLUSIVE"); // not even reading
    t.edit();
    QCOMPARE(t.state(), TableState::Edit);
    t.cancel();
    other.exec("BEGIN IMMEDIATE"); // reading, but no writing
    t.deleteRecord();
    QCOMPARE(t.recordCount(), 1);
    QCOMPARE(t.asString(QStringLiteral("A")), QStringLiteral("PORT"));
    const QString edit = QStringLiteral("%1:database is locked").arg(int(TableOp::Edit));
    const QString del = QStringLiteral("%1:database is locked").arg(int(TableOp::Delete));
    QCOMPARE(seen, (QStringList{edit, edit, del, del}));
}

void TstSqliteTable::closingConnectionClosesTable() {
    WorkingFolder wf;
    prepare(wf, {{1, QStringLiteral("SZERVER"), QStringLiteral("a")}});
    SqliteConnection c;
    c.setDatabase(wf.dataDb());
    SqliteTable t(c, QStringLiteral("tbl_Config"));
    t.open();
    t.append();
    t.setField(QStringLiteral("A"), QStringLiteral("félbehagyott"));
    c.close();
    QVERIFY(!c.isConnected());
    QVERIFY(!t.isOpen());
    QCOMPARE(t.state(), TableState::Inactive);
    t.open();
    QCOMPARE(t.recordCount(), 1);
}

QTEST_GUILESS_MAIN(TstSqliteTable)
#include "tst_sqlitetable.moc"

// Where Data.db is kept: the folder the program starts in when Data.db is there or the folder
// is writable, else the platform's settings folder; a new file starts as the shipped copy,
// and no file is ever made through a symbolic link.
#include "data/sql/DbError.h"
#include "data/sql/SqliteConnection.h"
#include "storage/DataDbLocation.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sqlite3.h>
#include <unistd.h>

using namespace kx;
using namespace kx::test;

namespace {

// Runs SQL on an SQLite file (created when missing) and returns the first column of its rows.
QStringList sql(const QString& path, const char* statement) {
    sqlite3* db = nullptr;
    QStringList out;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(path));
    sqlite3_exec(
        db, statement,
        [](void* list, int, char** values, char**) {
            static_cast<QStringList*>(list)->append(QString::fromUtf8(values[0] ? values[0] : ""));
            return 0;
        },
        &out, nullptr);
    sqlite3_close(db);
    return out;
}

void makeShipped(const QString& path) {
    QFile decl(QStringLiteral(KX_SOURCE_DIR "/storage/ConfigTable.sql"));
    QVERIFY(decl.open(QIODevice::ReadOnly));
    sql(path, decl.readAll().constData());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
}

} // namespace

class DataDbLocationTest : public QObject {
    Q_OBJECT
private slots:
    void choose_data();
    void choose();
    void danglingLinkIsNeitherFollowedNorReplaced_data();
    void danglingLinkIsNeitherFollowedNorReplaced();
    void settingsFileThatCannotBeMadeIsReportedAtStartUp();
};

void DataDbLocationTest::choose_data() {
    QTest::addColumn<QString>("work");     // writable, readonly, gone
    QTest::addColumn<bool>("workHasFile"); // Data.db with a remembered row in the working folder
    QTest::addColumn<bool>("shipped");     // the program comes with a Data.db
    QTest::addColumn<QString>("expected"); // work or config
    QTest::addColumn<QString>("content");  // the file chosen: "kept", "table", or "none"

    QTest::newRow("file there: kept") << "writable" << true << true << "work"
                                      << "kept";
    QTest::newRow("file there, folder read-only: kept") << "readonly" << true << true << "work"
                                                        << "kept";
    QTest::newRow("writable folder: shipped copy") << "writable" << false << true << "work"
                                                   << "table";
    QTest::newRow("writable folder, nothing shipped: left to the connection")
        << "writable" << false << false << "work"
        << "none";
    QTest::newRow("read-only folder: settings folder") << "readonly" << false << true << "config"
                                                       << "table";
    QTest::newRow("folder gone: settings folder") << "gone" << false << true << "config"
                                                  << "table";
    QTest::newRow("folder gone, nothing shipped: settings folder made")
        << "gone" << false << false << "config"
        << "none";
}

void DataDbLocationTest::choose() {
    QFETCH(QString, work);
    QFETCH(bool, workHasFile);
    QFETCH(bool, shipped);
    QFETCH(QString, expected);
    QFETCH(QString, content);
    if (work == QLatin1String("readonly") && geteuid() == 0)
        QSKIP("root writes into read-only folders");

    QTemporaryDir root;
    const QString workDir = root.filePath(QStringLiteral("work"));
    const QString configDir =
        root.filePath(QStringLiteral("config/Kartotex")); // neither level exists yet
    const QString shippedFile = root.filePath(QStringLiteral("share/Data.db"));
    QDir().mkpath(root.filePath(QStringLiteral("share")));
    if (shipped)
        makeShipped(shippedFile);
    if (work != QLatin1String("gone"))
        QDir().mkpath(workDir);
    if (workHasFile) {
        makeShipped(workDir + QStringLiteral("/Data.db"));
        QFile::setPermissions(workDir + QStringLiteral("/Data.db"),
                              QFile::ReadOwner | QFile::WriteOwner);
        sql(workDir + QStringLiteral("/Data.db"),
            "insert into tbl_Config (A, B) values ('SZERVER', 'kept')");
    }
    if (work == QLatin1String("readonly"))
        QFile::setPermissions(workDir, QFile::ReadOwner | QFile::ExeOwner);

    const QString chosen = DataDbLocation::choose(workDir, configDir, shippedFile);
    QFile::setPermissions(workDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(chosen, (expected == QLatin1String("work") ? workDir : configDir) +
                         QStringLiteral("/Data.db"));
    if (expected == QLatin1String("config"))
        QVERIFY(QFileInfo(configDir).isDir());
    if (content == QLatin1String("none")) {
        QVERIFY(!QFile::exists(chosen));
        return;
    }
    QVERIFY(QFile::exists(chosen));
    QVERIFY2(QFileInfo(chosen).isWritable(), "the copy must take the user's settings");
    const QStringList rows = sql(chosen, "select B from tbl_Config order by AZ");
    QCOMPARE(rows, content == QLatin1String("kept") ? QStringList{QStringLiteral("kept")}
                                                    : QStringList{});
}

void DataDbLocationTest::danglingLinkIsNeitherFollowedNorReplaced_data() {
    QTest::addColumn<bool>("shipped");
    QTest::newRow("with the shipped copy") << true;
    QTest::newRow("without it") << false;
}

void DataDbLocationTest::danglingLinkIsNeitherFollowedNorReplaced() {
    // Whoever can write into the folder the program starts in puts a link there that points
    // at a file the user can write but that is not there yet.
    QFETCH(bool, shipped);
    QTemporaryDir root;
    const QString workDir = root.filePath(QStringLiteral("work"));
    const QString target = root.filePath(QStringLiteral("victim/created-by-kartotex"));
    const QString shippedFile = root.filePath(QStringLiteral("share/Data.db"));
    QVERIFY(QDir().mkpath(workDir));
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("victim"))));
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("share"))));
    if (shipped)
        makeShipped(shippedFile);
    const QString link = workDir + QStringLiteral("/Data.db");
    QVERIFY(QFile::link(target, link));

    const QString chosen =
        DataDbLocation::choose(workDir, root.filePath(QStringLiteral("config")), shippedFile);
    QCOMPARE(chosen, link); // the link is what the user is told about
    SqliteConnection connection;
    connection.setDatabase(chosen);
    QVERIFY_THROWS_EXCEPTION(DbError, connection.open());
    QVERIFY(!connection.isConnected());

    QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
}

void DataDbLocationTest::settingsFileThatCannotBeMadeIsReportedAtStartUp() {
    TestApp app(false);
    // The program starts in a folder that no longer exists, and the settings folder cannot be
    // made because a plain file stands where its parent should be.
    QTemporaryDir root;
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("gone"))));
    QVERIFY(QDir::setCurrent(root.filePath(QStringLiteral("gone"))));
    QVERIFY(QDir().rmdir(root.filePath(QStringLiteral("gone"))));
    QFile blocker(root.filePath(QStringLiteral("config")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath(QStringLiteral("config"))));

    bool dialogShown = false;
    QTimer::singleShot(0, app.loginDialog, [&] {
        dialogShown = app.loginDialog->isVisible();
        app.loginDialog->quitButton->click();
    });
    app.mainWindow->runStartUp();
    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);

    const QString path =
        root.filePath(QStringLiteral("config/") + QCoreApplication::applicationName() +
                      QStringLiteral("/Data.db"));
    QCOMPARE(app.data().settingsDb.database(), path);
    // The failure is the first window, a warning naming the file; the login dialog is shown
    // all the same.
    QVERIFY(!app.prompter.shown.isEmpty());
    QCOMPARE(app.prompter.shown.first(),
             warningBox(QStringLiteral("A(z) „") + path +
                        QStringLiteral("” beállításfájl nem használható (unable to open database "
                                       "file), a belépési beállítások nem jegyezhetők meg !")));
    QVERIFY(dialogShown);
}

QTEST_MAIN(DataDbLocationTest)
#include "tst_datadblocation.moc"

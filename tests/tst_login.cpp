// The login dialog: field checks, connecting, remembering the settings (also when Data.db is
// damaged, read-only, locked or a dangling link), and ending the program from it.
#include "support/TestApp.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace kx;
using namespace kx::test;

namespace {

void sql(const QString& path, const char* statements) {
    sqlite3* db = nullptr;
    QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK);
    QVERIFY2(sqlite3_exec(db, statements, nullptr, nullptr, nullptr) == SQLITE_OK,
             sqlite3_errmsg(db));
    sqlite3_close(db);
}

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The warnings that name Data.db when it cannot be used, with SQLite's (or the program's)
// reason.
Shown unusableBox(const QString& path, const QString& reason) {
    return warningBox(QStringLiteral("A(z) „") + path + QStringLiteral("” beállításfájl nem ") +
                      QStringLiteral("használható (") + reason +
                      QStringLiteral("), a belépési beállítások nem jegyezhetők meg !"));
}
Shown unwritableBox(const QString& path, const QString& reason) {
    return warningBox(QStringLiteral("A(z) „") + path + QStringLiteral("” beállításfájl nem ") +
                      QStringLiteral("írható (") + reason +
                      QStringLiteral("), a belépési beállítások nem jegyezhetők meg !"));
}

// Makes a file immutable as `chattr +i` does, and mutable again when it goes; needs a file
// system that keeps the flag and the right to set it.
class Immutable {
public:
    explicit Immutable(const QString& path) : m_path(QFile::encodeName(path)) {
        m_set = change(true);
    }
    ~Immutable() {
        if (m_set)
            change(false);
    }
    bool isSet() const {
        return m_set;
    }

private:
    bool change(bool on) {
        const int fd = ::open(m_path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }
    QByteArray m_path;
    bool m_set = false;
};

const char* const rememberedRows =
    "insert into tbl_Config (A, B) values ('SZERVER', 'régi'), ('PORT', '1'), "
    "('ADATBAZIS', 'regi_db'), ('FELHASZN', 'regi_user')";

} // namespace

class LoginTest : public QObject {
    Q_OBJECT
private slots:
    void emptyFieldsAreRefusedInOrder_data();
    void emptyFieldsAreRefusedInOrder();
    void failedServerConnect_data();
    void failedServerConnect();
    void completeRecordStoreClosesDialogWithoutQuestions();
    void settingsAreRememberedWithoutPassword();
    void rememberedEvenWhenServerConnectFails();
    void clearedBoxRemembersNothing();
    void emptyFolderGetsANewSettingsFile();
    void unusableSettingsFileIsNamedOnceAndLoginGoesOn_data();
    void unusableSettingsFileIsNamedOnceAndLoginGoesOn();
    void readOnlySettingsFileIsNamedOnceAndLoginGoesOn_data();
    void readOnlySettingsFileIsNamedOnceAndLoginGoesOn();
    void lockedSettingsFileIsAskedAboutAndWritten();
    void retryUsesTheNewValues();
    void finishEndsProgramAfterReportedOpens();
    void loginThenStartupOpensEverything();
};

void LoginTest::emptyFieldsAreRefusedInOrder_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("message");
    QTest::newRow("all empty") << QStringList{QStringLiteral(""), QStringLiteral(""),
                                              QStringLiteral(""), QStringLiteral(""),
                                              QStringLiteral("")}
                               << "Szerver azonosító nincs megadva !";
    QTest::newRow("port") << QStringList{QStringLiteral("h"), QStringLiteral(""),
                                         QStringLiteral(""), QStringLiteral(""), QStringLiteral("")}
                          << "Port azonosító nincs megadva !";
    QTest::newRow("database") << QStringList{QStringLiteral("h"), QStringLiteral("1"),
                                             QStringLiteral(""), QStringLiteral("u"),
                                             QStringLiteral("p")}
                              << "Adatbázis név nincs megadva !";
    QTest::newRow("user") << QStringList{QStringLiteral("h"), QStringLiteral("1"),
                                         QStringLiteral("d"), QStringLiteral(""),
                                         QStringLiteral("")}
                          << "Felhasználó név nincs megadva !";
    QTest::newRow("password") << QStringList{QStringLiteral("h"), QStringLiteral("1"),
                                             QStringLiteral("d"), QStringLiteral("u"),
                                             QStringLiteral("")}
                              << "Jelszó nincs megadva !";
}

void LoginTest::emptyFieldsAreRefusedInOrder() {
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    TestApp app;
    app.login({fields[0], fields[1], fields[2], fields[3], fields[4]});
    QCOMPARE(app.prompter.shown, QList<Shown>{warningBox(message)});
    QVERIFY(!app.data().recordStore.isConnected());
    // Nothing was remembered: the check comes before the settings are written.
    app.prompter.clear();
    app.loginDialog->prepareShowing();
    QCOMPARE(app.loginDialog->serverEdit->text(), QString());
}

void LoginTest::failedServerConnect_data() {
    const auto s = ServerSettings::fromEnvironment();
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("serverMessagePart");
    // Blanks are content: they pass the checks and fail only at the server.
    QTest::newRow("blanks") << QStringList{QStringLiteral(" "), QStringLiteral(" "),
                                           QStringLiteral(" "), QStringLiteral(" "),
                                           QStringLiteral(" ")}
                            << QString();
    QTest::newRow("port with letters")
        << QStringList{s.host, QStringLiteral("33o6"), QStringLiteral("kartotex"), s.user,
                       s.password}
        << QString();
    QTest::newRow("wrong password") << QStringList{s.host, s.port, QStringLiteral("kartotex"),
                                                   s.user, s.password + QStringLiteral("x")}
                                    << QStringLiteral("Access denied");
}

void LoginTest::failedServerConnect() {
    QFETCH(QStringList, fields);
    QFETCH(QString, serverMessagePart);
    TestApp app;
    app.login({fields[0], fields[1], fields[2], fields[3], fields[4]});
    QCOMPARE(app.prompter.shown.size(), 2);
    QVERIFY2(isHookBox(app.prompter.shown[0]), qPrintable(app.prompter.shown[0].text));
    QVERIFY(app.prompter.shown[0].text.contains(serverMessagePart));
    QCOMPARE(app.prompter.shown[1],
             warningBox(QStringLiteral("Nem lehet kapcsolódni a szerverhez !")));
    QVERIFY(!app.data().recordStore.isConnected());
    QCOMPARE(app.loginDialog->result(), 0);
}

void LoginTest::completeRecordStoreClosesDialogWithoutQuestions() {
    TestDatabase db;
    TestApp app;
    app.loginDialog->show();
    app.login(db.params());
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
    QVERIFY(!app.loginDialog->isVisible());
    QVERIFY(app.data().recordStore.isConnected());
    QCOMPARE(app.data().recordStore.params().database, db.name());
}

void LoginTest::settingsAreRememberedWithoutPassword() {
    TestDatabase db;
    TestApp app;
    ConnectionParams p = db.params();
    p.server = QStringLiteral(" ") + p.server; // stored untrimmed, as typed
    app.loginDialog->prepareShowing();
    app.fillLogin(p);
    app.loginDialog->serverEdit->setText(db.params().server);
    app.loginDialog->loginClicked();
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));

    // Next showing: the four settings come back, the password field stays empty.
    app.loginDialog->prepareShowing();
    QCOMPARE(app.loginDialog->serverEdit->text(), db.params().server);
    QCOMPARE(app.loginDialog->portEdit->text(), db.params().port);
    QCOMPARE(app.loginDialog->databaseEdit->text(), db.name());
    QCOMPARE(app.loginDialog->userEdit->text(), db.params().user);
    QCOMPARE(app.loginDialog->passwordEdit->text(), QString());
    QVERIFY(app.loginDialog->rememberBox->isChecked());
    QCOMPARE(app.prompter.shown, QList<Shown>{});
}

void LoginTest::rememberedEvenWhenServerConnectFails() {
    TestApp app;
    app.login({QStringLiteral("127.0.0.1"), QStringLiteral("1"), QStringLiteral("  db "),
               QStringLiteral("nobody"), QStringLiteral("pw")});
    QCOMPARE(app.prompter.shown.last(),
             warningBox(QStringLiteral("Nem lehet kapcsolódni a szerverhez !")));
    app.loginDialog->prepareShowing();
    QCOMPARE(app.loginDialog->portEdit->text(), QStringLiteral("1"));
    QCOMPARE(app.loginDialog->databaseEdit->text(), QStringLiteral("  db "));
    QCOMPARE(app.loginDialog->userEdit->text(), QStringLiteral("nobody"));
    QCOMPARE(app.loginDialog->passwordEdit->text(), QString());
}

void LoginTest::clearedBoxRemembersNothing() {
    TestApp app;
    app.loginDialog->prepareShowing();
    app.fillLogin({QStringLiteral("127.0.0.1"), QStringLiteral("1"), QStringLiteral("db"),
                   QStringLiteral("nobody"), QStringLiteral("pw")});
    app.loginDialog->rememberBox->setChecked(false);
    app.loginDialog->loginClicked();
    app.loginDialog->prepareShowing();
    QCOMPARE(app.loginDialog->serverEdit->text(), QString());
    QVERIFY(app.loginDialog->rememberBox->isChecked());
}

void LoginTest::emptyFolderGetsANewSettingsFile() {
    // The program as built, without an installed copy of Data.db, started in an empty folder:
    // it makes Data.db with its settings table itself.
    TestDatabase db;
    TestApp app(false);
    QVERIFY(!QFile::exists(app.folder.dataDb()));
    QTimer::singleShot(0, app.loginDialog, [&] {
        app.fillLogin(db.params());
        app.loginDialog->loginButton->click();
        if (app.loginDialog->isVisible())
            app.loginDialog->quitButton->click(); // the login failed: end it, do not wait
    });
    app.mainWindow->runStartUp();
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QVERIFY(!app.lifetime.endRequested());
    QCOMPARE(app.data().settingsDb.database(), app.folder.dataDb());
    QVERIFY(QFileInfo(app.folder.dataDb()).isFile());

    app.loginDialog->prepareShowing();
    QCOMPARE(app.loginDialog->serverEdit->text(), db.params().server);
    QCOMPARE(app.loginDialog->databaseEdit->text(), db.name());
    QCOMPARE(app.prompter.shown, QList<Shown>{});
}

void LoginTest::unusableSettingsFileIsNamedOnceAndLoginGoesOn_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason"); // empty: usable, nothing shown, settings remembered

    QTest::newRow("random bytes") << "random"
                                  << "file is not a database";
    QTest::newRow("truncated after its first page") << "truncated"
                                                    << "database disk image is malformed";
    QTest::newRow("another program's database, no tbl_Config") << "foreign"
                                                               << "no such table: tbl_Config";
    QTest::newRow("dangling symbolic link")
        << "link"
        << "a fájl egy nem létező célra mutató szimbolikus hivatkozás";
    QTest::newRow("empty file: taken for a new one") << "empty"
                                                     << "";
}

void LoginTest::unusableSettingsFileIsNamedOnceAndLoginGoesOn() {
    QFETCH(QString, file);
    QFETCH(QString, reason);
    TestDatabase db;
    TestApp app(false);
    const QString path = app.folder.dataDb();
    const QString linkTarget = app.folder.path() + QStringLiteral("/elsewhere/Data.db");
    if (file == QLatin1String("random")) {
        QByteArray bytes(3000, Qt::Uninitialized);
        QRandomGenerator gen(25);
        for (char& c : bytes)
            c = char(gen.bounded(256));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    } else if (file == QLatin1String("truncated")) {
        app.folder.createConfigTable();
        sql(path, rememberedRows);
        QVERIFY(QFile::resize(path, 4096)); // the table's own pages are gone
    } else if (file == QLatin1String("foreign")) {
        sql(path, "create table t (x); insert into t values ('their data')");
    } else if (file == QLatin1String("link")) {
        QVERIFY(QDir().mkpath(QFileInfo(linkTarget).path()));
        QVERIFY(QFile::link(linkTarget, path));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QByteArray before = contentOf(path);

    // The showing names the file once; the fields stay empty.
    app.loginDialog->prepareShowing();
    const QList<Shown> named =
        reason.isEmpty() ? QList<Shown>{} : QList<Shown>{unusableBox(path, reason)};
    QCOMPARE(app.prompter.shown, named);
    QCOMPARE(app.loginDialog->serverEdit->text(), QString());
    QVERIFY(app.loginDialog->rememberBox->isChecked());

    // "Belépés" with the box ticked: a failed attempt and a good one, neither says it again.
    app.prompter.clear();
    ConnectionParams wrong = db.params();
    wrong.password += QStringLiteral("x");
    app.fillLogin(wrong);
    app.loginDialog->loginClicked();
    QCOMPARE(app.prompter.shown.size(), 2);
    QVERIFY2(isHookBox(app.prompter.shown[0]), qPrintable(app.prompter.shown[0].text));
    QCOMPARE(app.prompter.shown[1],
             warningBox(QStringLiteral("Nem lehet kapcsolódni a szerverhez !")));
    app.prompter.clear();
    app.fillLogin(db.params());
    app.loginDialog->loginClicked();
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
    QVERIFY(app.data().recordStore.isConnected());
    QVERIFY(!app.data().settingsDb.isConnected());

    if (reason.isEmpty()) {
        // A file with nothing in it became a settings file.
        app.loginDialog->prepareShowing();
        QCOMPARE(app.loginDialog->serverEdit->text(), db.params().server);
        QCOMPARE(app.prompter.shown, QList<Shown>{});
        return;
    }
    // Nothing remembered, nothing replaced, nothing made elsewhere.
    QCOMPARE(contentOf(path), before);
    if (file == QLatin1String("link")) {
        QVERIFY(QFileInfo(path).isSymLink());
        QVERIFY(!QFileInfo::exists(linkTarget));
    }
}

void LoginTest::readOnlySettingsFileIsNamedOnceAndLoginGoesOn_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("immutable") << "immutable";
    QTest::newRow("mode 0444") << "mode";
    // What SQLite does by itself with a file on a read-only mount, where the system refuses
    // writing whoever runs the test.
    QTest::newRow("opened for reading only") << "opened";
}

void LoginTest::readOnlySettingsFileIsNamedOnceAndLoginGoesOn() {
    QFETCH(QString, how);
    if (how == QLatin1String("mode") && geteuid() == 0)
        QSKIP("root writes through mode bits; the other rows make the file read-only for root");
    TestDatabase db;
    TestApp app;
    const QString path = app.folder.dataDb();
    sql(path, rememberedRows);
    std::unique_ptr<Immutable> immutable;
    if (how == QLatin1String("immutable")) {
        immutable = std::make_unique<Immutable>(path);
        if (!immutable->isSet())
            QSKIP("this file system or user cannot make a file immutable (chattr +i)");
    } else if (how == QLatin1String("mode")) {
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else {
        app.data().settingsDb.setReadOnly(true);
    }
    const QByteArray before = contentOf(path);

    // Reading works: the remembered settings are offered.
    app.loginDialog->prepareShowing();
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.loginDialog->serverEdit->text(), QStringLiteral("régi"));

    // Remembering cannot: said once, and the login goes on, also after a failed attempt.
    ConnectionParams wrong = db.params();
    wrong.password += QStringLiteral("x");
    app.fillLogin(wrong);
    app.loginDialog->loginClicked();
    QCOMPARE(app.prompter.shown.size(), 3);
    QCOMPARE(app.prompter.shown[0],
             unwritableBox(path, QStringLiteral("attempt to write a readonly database")));
    QVERIFY2(isHookBox(app.prompter.shown[1]), qPrintable(app.prompter.shown[1].text));
    QCOMPARE(app.prompter.shown[2],
             warningBox(QStringLiteral("Nem lehet kapcsolódni a szerverhez !")));
    app.prompter.clear();
    app.fillLogin(db.params());
    app.loginDialog->loginClicked();
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
    QVERIFY(app.data().recordStore.isConnected());
    QVERIFY(!app.data().settingsDb.isConnected());
    QCOMPARE(contentOf(path), before);
}

void LoginTest::lockedSettingsFileIsAskedAboutAndWritten() {
    // Another copy of the program holding Data.db is the one failure worth retrying.
    TestDatabase db;
    TestApp app;
    sqlite3* other = nullptr;
    QVERIFY(sqlite3_open(QFile::encodeName(app.folder.dataDb()).constData(), &other) == SQLITE_OK);
    QVERIFY(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO tbl_Config (A) VALUES ('x')", nullptr,
                         nullptr, nullptr) == SQLITE_OK);
    app.prompter.answerQuestions({true});
    app.prompter.onShown = [&](const Shown&) {
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    };
    app.login(db.params());
    sqlite3_close(other);
    QCOMPARE(app.prompter.shown,
             QList<Shown>{questionBox(QStringLiteral(
                 "Adatok kiírása nem sikerült (másik felhasználó zárolta a táblát) ! "
                 "Megpróbáljuk újra ?"))});
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
    app.prompter.onShown = nullptr;
    app.prompter.clear();
    app.loginDialog->prepareShowing();
    QCOMPARE(app.loginDialog->serverEdit->text(), db.params().server);
    QCOMPARE(app.loginDialog->databaseEdit->text(), db.name());
    QCOMPARE(app.prompter.shown, QList<Shown>{});
}

void LoginTest::retryUsesTheNewValues() {
    TestDatabase db;
    TestApp app;
    ConnectionParams wrong = db.params();
    wrong.port = QStringLiteral("1");
    app.login(wrong);
    QCOMPARE(app.prompter.shown.last(),
             warningBox(QStringLiteral("Nem lehet kapcsolódni a szerverhez !")));
    app.prompter.clear();
    app.loginDialog->portEdit->setText(db.params().port);
    app.loginDialog->loginClicked();
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
}

void LoginTest::finishEndsProgramAfterReportedOpens() {
    TestApp app;
    // The start-up shows the login modally; "Befejezés" is pressed in it.
    QTimer::singleShot(0, app.loginDialog, [&] { app.loginDialog->quitButton->click(); });
    app.mainWindow->runStartUp();
    QVERIFY(app.lifetime.endRequested());
    QVERIFY(!app.loginDialog->isVisible());
    // The opens are still attempted and each failure reported: the query, then four tables.
    QStringList notices;
    for (const Shown& s : app.prompter.shown)
        if (s.kind == QLatin1String("notice"))
            notices << s.text;
        else
            QVERIFY2(isHookBox(s), qPrintable(s.text));
    QCOMPARE(notices, (QStringList{QStringLiteral("Lekérdezés nem hajtható végre !"),
                                   QStringLiteral("Tábla nem nyitható meg !"),
                                   QStringLiteral("Tábla nem nyitható meg !"),
                                   QStringLiteral("Tábla nem nyitható meg !"),
                                   QStringLiteral("Tábla nem nyitható meg !")}));
}

void LoginTest::loginThenStartupOpensEverything() {
    TestDatabase db;
    TestApp app;
    QTimer::singleShot(0, app.loginDialog, [&] {
        app.fillLogin(db.params());
        QTest::mouseClick(app.loginDialog->loginButton, Qt::LeftButton);
    });
    app.mainWindow->runStartUp();
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QVERIFY(!app.lifetime.endRequested());
    QVERIFY(app.data().recordQuery.isOpen());
    for (Table* t : {&app.data().recordTable, &app.data().typeTable, &app.data().categoryTable,
                     &app.data().resultTable})
        QVERIFY2(t->isOpen(), qPrintable(t->tableName()));
    QCOMPARE(app.data().settingsDb.database(), app.folder.path() + QStringLiteral("/Data.db"));
}

QTEST_MAIN(LoginTest)
#include "tst_login.moc"

// The login dialog: field checks, connecting, remembering the settings, and ending the
// program from it.
#include "support/TestApp.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kx;
using namespace kx::test;

namespace {

bool isHookBox(const Shown& s) {
    return s.kind == QLatin1String("warning") && s.caption == QLatin1String("Figyelem:") &&
           s.text.startsWith(QStringLiteral("Adatbázis csatlakozási hiba -> "));
}

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
    void missingSettingsTableIsReportedAndDialogStillWorks();
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

void LoginTest::missingSettingsTableIsReportedAndDialogStillWorks() {
    TestDatabase db;
    TestApp app(false); // Data.db does not come with the program: opening creates it empty
    app.loginDialog->prepareShowing();
    QCOMPARE(app.prompter.shown.size(), 1);
    QCOMPARE(app.prompter.shown[0].kind, QStringLiteral("error"));
    QVERIFY2(app.prompter.shown[0].text.contains(QStringLiteral("tbl_Config")),
             qPrintable(app.prompter.shown[0].text));
    QVERIFY(QFile::exists(app.folder.dataDb()));
    QCOMPARE(app.loginDialog->serverEdit->text(), QString());
    QVERIFY(app.loginDialog->rememberBox->isChecked());

    // With the box ticked the login fails the same way before any connection.
    app.prompter.clear();
    app.fillLogin(db.params());
    app.loginDialog->loginClicked();
    QCOMPARE(app.prompter.shown.size(), 1);
    QCOMPARE(app.prompter.shown[0].kind, QStringLiteral("error"));
    QVERIFY(!app.data().recordStore.isConnected());

    // With it cleared the login goes on without remembering.
    app.prompter.clear();
    app.loginDialog->rememberBox->setChecked(false);
    app.loginDialog->loginClicked();
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
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
    app.mainWindow->prepareShowing();
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
    app.mainWindow->prepareShowing();
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

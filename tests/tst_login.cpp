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
    QVERIFY(!app.data().FDConnection1.isConnected());
    // Nothing was remembered: the check comes before the settings are written.
    app.prompter.clear();
    app.form125->FormShow();
    QCOMPARE(app.form125->Edit1->text(), QString());
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
    QVERIFY(!app.data().FDConnection1.isConnected());
    QCOMPARE(app.form125->result(), 0);
}

void LoginTest::completeRecordStoreClosesDialogWithoutQuestions() {
    TestDatabase db;
    TestApp app;
    app.form125->show();
    app.login(db.params());
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.form125->result(), int(QDialog::Accepted));
    QVERIFY(!app.form125->isVisible());
    QVERIFY(app.data().FDConnection1.isConnected());
    QCOMPARE(app.data().FDConnection1.params().database, db.name());
}

void LoginTest::settingsAreRememberedWithoutPassword() {
    TestDatabase db;
    TestApp app;
    ConnectionParams p = db.params();
    p.server = QStringLiteral(" ") + p.server; // stored untrimmed, as typed
    app.form125->FormShow();
    app.fillLogin(p);
    app.form125->Edit1->setText(db.params().server);
    app.form125->BitBtn1Click();
    QCOMPARE(app.form125->result(), int(QDialog::Accepted));

    // Next showing: the four settings come back, the password field stays empty.
    app.form125->FormShow();
    QCOMPARE(app.form125->Edit1->text(), db.params().server);
    QCOMPARE(app.form125->Edit2->text(), db.params().port);
    QCOMPARE(app.form125->Edit3->text(), db.name());
    QCOMPARE(app.form125->Edit4->text(), db.params().user);
    QCOMPARE(app.form125->Edit5->text(), QString());
    QVERIFY(app.form125->CheckBox1->isChecked());
    QCOMPARE(app.prompter.shown, QList<Shown>{});
}

void LoginTest::rememberedEvenWhenServerConnectFails() {
    TestApp app;
    app.login({QStringLiteral("127.0.0.1"), QStringLiteral("1"), QStringLiteral("  db "),
               QStringLiteral("nobody"), QStringLiteral("pw")});
    QCOMPARE(app.prompter.shown.last(),
             warningBox(QStringLiteral("Nem lehet kapcsolódni a szerverhez !")));
    app.form125->FormShow();
    QCOMPARE(app.form125->Edit2->text(), QStringLiteral("1"));
    QCOMPARE(app.form125->Edit3->text(), QStringLiteral("  db "));
    QCOMPARE(app.form125->Edit4->text(), QStringLiteral("nobody"));
    QCOMPARE(app.form125->Edit5->text(), QString());
}

void LoginTest::clearedBoxRemembersNothing() {
    TestApp app;
    app.form125->FormShow();
    app.fillLogin({QStringLiteral("127.0.0.1"), QStringLiteral("1"), QStringLiteral("db"),
                   QStringLiteral("nobody"), QStringLiteral("pw")});
    app.form125->CheckBox1->setChecked(false);
    app.form125->BitBtn1Click();
    app.form125->FormShow();
    QCOMPARE(app.form125->Edit1->text(), QString());
    QVERIFY(app.form125->CheckBox1->isChecked());
}

void LoginTest::missingSettingsTableIsReportedAndDialogStillWorks() {
    TestDatabase db;
    TestApp app(false); // Data.db does not come with the program: opening creates it empty
    app.form125->FormShow();
    QCOMPARE(app.prompter.shown.size(), 1);
    QCOMPARE(app.prompter.shown[0].kind, QStringLiteral("error"));
    QVERIFY2(app.prompter.shown[0].text.contains(QStringLiteral("tbl_Config")),
             qPrintable(app.prompter.shown[0].text));
    QVERIFY(QFile::exists(app.folder.dataDb()));
    QCOMPARE(app.form125->Edit1->text(), QString());
    QVERIFY(app.form125->CheckBox1->isChecked());

    // With the box ticked the login fails the same way before any connection.
    app.prompter.clear();
    app.fillLogin(db.params());
    app.form125->BitBtn1Click();
    QCOMPARE(app.prompter.shown.size(), 1);
    QCOMPARE(app.prompter.shown[0].kind, QStringLiteral("error"));
    QVERIFY(!app.data().FDConnection1.isConnected());

    // With it cleared the login goes on without remembering.
    app.prompter.clear();
    app.form125->CheckBox1->setChecked(false);
    app.form125->BitBtn1Click();
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.form125->result(), int(QDialog::Accepted));
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
    app.form125->Edit2->setText(db.params().port);
    app.form125->BitBtn1Click();
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.form125->result(), int(QDialog::Accepted));
}

void LoginTest::finishEndsProgramAfterReportedOpens() {
    TestApp app;
    // The start-up shows the login modally; "Befejezés" is pressed in it.
    QTimer::singleShot(0, app.form125, [&] { app.form125->BitBtn2->click(); });
    app.form1->FormShow();
    QVERIFY(app.lifetime.endRequested());
    QVERIFY(!app.form125->isVisible());
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
    QTimer::singleShot(0, app.form125, [&] {
        app.fillLogin(db.params());
        QTest::mouseClick(app.form125->BitBtn1, Qt::LeftButton);
    });
    app.form1->FormShow();
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QVERIFY(!app.lifetime.endRequested());
    QVERIFY(app.data().FDQuery1.isOpen());
    for (Table* t :
         {&app.data().FDTable1, &app.data().FDTable2, &app.data().FDTable3, &app.data().FDTable4})
        QVERIFY2(t->isOpen(), qPrintable(t->tableName()));
    QCOMPARE(app.data().FDConnection2.database(), app.folder.path() + QStringLiteral("/Data.db"));
}

QTEST_MAIN(LoginTest)
#include "tst_login.moc"

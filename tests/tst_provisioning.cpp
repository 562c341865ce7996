// Provisioning of a missing record store during the login, against a real server.
#include "data/sql/SqlLiteral.h"
#include "support/PrivateServer.h"
#include "support/TestApp.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <mysql.h>

using namespace kx;
using namespace kx::test;

namespace {

const QString dbQuestion = QStringLiteral("Adatbázis nem létezik, létrehozzuk most ?");
QString tableQuestion(int n) {
    return QStringLiteral("%1. Adattábla nem létezik, létrehozzuk most ?").arg(n);
}

// Rows of a query on the admin connection, each row's columns joined by "|".
QStringList rowsOf(TestDatabase& admin, const QString& sql) {
    QStringList out;
    const QByteArray q = sql.toUtf8();
    if (mysql_real_query(admin.admin(), q.constData(), q.size()))
        qFatal("%s", mysql_error(admin.admin()));
    MYSQL_RES* res = mysql_store_result(admin.admin());
    const unsigned n = mysql_num_fields(res);
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        QStringList cols;
        for (unsigned i = 0; i < n; ++i)
            cols << (row[i] ? QString::fromUtf8(row[i]) : QStringLiteral("NULL"));
        out << cols.join(QLatin1Char('|'));
    }
    mysql_free_result(res);
    return out;
}

bool databaseExists(TestDatabase& admin, const QString& name) {
    return !rowsOf(admin,
                   QStringLiteral("select schema_name from information_schema.schemata where "
                                  "schema_name = binary ") +
                       sqlLiteral(name))
                .isEmpty();
}

QStringList tablesOf(TestDatabase& admin, const QString& name) {
    return rowsOf(
        admin, QStringLiteral("select table_name from information_schema.tables where table_schema "
                              "= '") +
                   name + QStringLiteral("' order by table_name"));
}

// A database name that no database has yet; dropped again at the end.
struct FreshName {
    explicit FreshName(TestDatabase& server, const QString& freshName)
        : admin(server), name(freshName) {}
    ~FreshName() {
        QString quoted = name;
        quoted.replace(QStringLiteral("`"), QStringLiteral("``"));
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS `") + quoted + QStringLiteral("`"));
    }
    TestDatabase& admin;
    QString name;
};

// Whether the server has a database by this name, as the server itself compares names.
bool serverHasDatabase(TestDatabase& admin, const QString& name) {
    return admin.scalar(
               QStringLiteral(
                   "select count(*) from information_schema.schemata where schema_name = ") +
               sqlLiteral(name)) != QLatin1String("0");
}

const QList<Shown> kCreatedAll{
    questionBox(dbQuestion),       warningBox(QStringLiteral("Adatbázis létre hozva !")),
    questionBox(tableQuestion(2)), questionBox(tableQuestion(3)),
    questionBox(tableQuestion(4)), questionBox(tableQuestion(5))};

} // namespace

class ProvisioningTest : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateServer> lowerCaseServer; // started by the first test that needs it
private slots:
    void firstLoginCreatesEverythingAsDefined();
    void refusedTableStopsAndIsAskedAgain();
    void noToDatabaseLeavesNothing();
    void unusableNamesAreNeverCreated_data();
    void unusableNamesAreNeverCreated();
    void underscoreNameIsMatchedExactly();
    void latin2LettersInNames_data();
    void latin2LettersInNames();
    void nameFoundAgainAsTheServerStoresIt_data();
    void nameFoundAgainAsTheServerStoresIt();
    void otherLetterCaseIsAnotherDatabaseWhereNamesKeepCase();
    void cleanupTestCase();
};

void ProvisioningTest::firstLoginCreatesEverythingAsDefined() {
    TestDatabase admin(false);
    FreshName fresh(admin, admin.name() + QStringLiteral("_new"));
    TestApp app;
    ConnectionParams p = admin.params();
    p.database = fresh.name;
    app.prompter.answerQuestions({true, true, true, true, true});
    app.login(p);
    QCOMPARE(app.prompter.shown,
             (QList<Shown>{questionBox(dbQuestion),
                           warningBox(QStringLiteral("Adatbázis létre hozva !")),
                           questionBox(tableQuestion(2)), questionBox(tableQuestion(3)),
                           questionBox(tableQuestion(4)), questionBox(tableQuestion(5))}));
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));

    // What the server reports about the created store.
    QCOMPARE(rowsOf(admin,
                    QStringLiteral("select default_character_set_name, default_collation_name from "
                                   "information_schema.schemata where schema_name = '") +
                        fresh.name + QStringLiteral("'")),
             QStringList{QStringLiteral("latin2|latin2_hungarian_ci")});
    QCOMPARE(rowsOf(admin, QStringLiteral("select table_name, engine, table_collation from "
                                          "information_schema.tables where table_schema = '") +
                               fresh.name + QStringLiteral("' order by table_name")),
             (QStringList{QStringLiteral("tbl_Data|InnoDB|latin2_hungarian_ci"),
                          QStringLiteral("tbl_Kat|InnoDB|latin2_hungarian_ci"),
                          QStringLiteral("tbl_Tip|InnoDB|latin2_hungarian_ci"),
                          QStringLiteral("tbl_Tmp|InnoDB|latin2_hungarian_ci")}));
    QCOMPARE(
        rowsOf(admin, QStringLiteral("select table_name, column_name, column_type, is_nullable, "
                                     "column_key, extra from information_schema.columns where "
                                     "table_schema = '") +
                          fresh.name + QStringLiteral("' order by table_name, ordinal_position")),
        (QStringList{QStringLiteral("tbl_Data|CIM|varchar(350)|YES||"),
                     QStringLiteral("tbl_Data|TIP|varchar(150)|YES||"),
                     QStringLiteral("tbl_Data|KAT|varchar(150)|YES||"),
                     QStringLiteral("tbl_Data|KSZO|varchar(750)|YES||"),
                     QStringLiteral("tbl_Data|HIV|varchar(350)|YES||"),
                     QStringLiteral("tbl_Data|DATUM|varchar(25)|YES||"),
                     QStringLiteral("tbl_Data|FELVEV|varchar(55)|YES||"),
                     QStringLiteral("tbl_Data|LEIRAS|text|YES||"),
                     QStringLiteral("tbl_Data|FOTO|longblob|YES||"),
                     QStringLiteral("tbl_Data|AZ|int(11)|NO|PRI|auto_increment"),
                     QStringLiteral("tbl_Data|FNEV|varchar(500)|YES||"),
                     QStringLiteral("tbl_Data|FTIP|varchar(25)|YES||"),
                     QStringLiteral("tbl_Data|FMER|decimal(10,0)|YES||"),
                     QStringLiteral("tbl_Data|FILE|longblob|YES||"),
                     QStringLiteral("tbl_Kat|KAT|varchar(150)|YES|MUL|"),
                     QStringLiteral("tbl_Kat|AZ|int(11)|NO|PRI|auto_increment"),
                     QStringLiteral("tbl_Tip|TIP|varchar(150)|YES|MUL|"),
                     QStringLiteral("tbl_Tip|AZ|int(11)|NO|PRI|auto_increment"),
                     QStringLiteral("tbl_Tmp|SZOV|varchar(200)|YES||"),
                     QStringLiteral("tbl_Tmp|AZ|int(11)|NO|PRI|auto_increment"),
                     QStringLiteral("tbl_Tmp|NUM|varchar(100)|YES||"),
                     QStringLiteral("tbl_Tmp|SZUR|int(11)|YES||")}));
    QCOMPARE(
        rowsOf(admin, QStringLiteral("select table_name, index_name, non_unique, column_name from "
                                     "information_schema.statistics where table_schema = '") +
                          fresh.name + QStringLiteral("' order by table_name, index_name")),
        (QStringList{QStringLiteral("tbl_Data|PRIMARY|0|AZ"), QStringLiteral("tbl_Kat|KAT|1|KAT"),
                     QStringLiteral("tbl_Kat|PRIMARY|0|AZ"), QStringLiteral("tbl_Tip|PRIMARY|0|AZ"),
                     QStringLiteral("tbl_Tip|TIP|1|TIP"), QStringLiteral("tbl_Tmp|PRIMARY|0|AZ")}));
    QCOMPARE(rowsOf(admin, QStringLiteral(
                               "select count(*) from information_schema.referential_constraints "
                               "where constraint_schema = '") +
                               fresh.name + QStringLiteral("'")),
             QStringList{QStringLiteral("0")});

    // A second login asks nothing.
    app.prompter.clear();
    app.login(p);
    QCOMPARE(app.prompter.shown, QList<Shown>{});
}

void ProvisioningTest::refusedTableStopsAndIsAskedAgain() {
    TestDatabase db(false); // the database exists, empty
    TestApp app;
    app.prompter.answerQuestions({true, false});
    app.login(db.params());
    QCOMPARE(app.prompter.shown,
             (QList<Shown>{questionBox(tableQuestion(2)), questionBox(tableQuestion(3))}));
    QCOMPARE(tablesOf(db, db.name()), QStringList{QStringLiteral("tbl_Kat")});
    QCOMPARE(app.loginDialog->result(), 0); // the dialog stays open

    app.prompter.clear();
    app.prompter.answerQuestions({true, true, true});
    app.loginDialog->loginClicked();
    QCOMPARE(app.prompter.shown,
             (QList<Shown>{questionBox(tableQuestion(3)), questionBox(tableQuestion(4)),
                           questionBox(tableQuestion(5))}));
    QCOMPARE(tablesOf(db, db.name()),
             (QStringList{QStringLiteral("tbl_Data"), QStringLiteral("tbl_Kat"),
                          QStringLiteral("tbl_Tip"), QStringLiteral("tbl_Tmp")}));
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
}

void ProvisioningTest::noToDatabaseLeavesNothing() {
    TestDatabase admin(false);
    FreshName fresh(admin, admin.name() + QStringLiteral("_no"));
    TestApp app;
    ConnectionParams p = admin.params();
    p.database = fresh.name;
    app.login(p); // the scripted answer is No
    QCOMPARE(app.prompter.shown, QList<Shown>{questionBox(dbQuestion)});
    QVERIFY(!databaseExists(admin, fresh.name));
    QCOMPARE(app.loginDialog->result(), 0);
}

void ProvisioningTest::unusableNamesAreNeverCreated_data() {
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("sideEffect"); // a database that must not appear
    QTest::newRow("apostrophe") << "o'x" << QString();
    QTest::newRow("blank") << "a b" << QString();
    QTest::newRow("second statement") << "q;create database @"
                                      << "@";
    QTest::newRow("comment cuts the name") << "c -- x"
                                           << "c";
    QTest::newRow("backslash") << "b\\" << QString();
    QTest::newRow("backtick that would end a quoted name") << "b`;create database @"
                                                           << "@";
    QTest::newRow("semicolon") << "s;" << QString();
    QTest::newRow("slash") << "p/x" << QString();
    QTest::newRow("double quote") << "d\"x" << QString();
    QTest::newRow("dot naming another database") << "a.b" << QString();
    QTest::newRow("tab") << "t\tx" << QString();
    QTest::newRow("control character")
        << QStringLiteral("c") + QChar(1) + QStringLiteral("x") << QString();
    QTest::newRow("sign that is not a letter") << "pont°" << QString();
    // Latin-2 has them, but the server does not take them in a name without quotes.
    QTest::newRow("sharp s") << "straße" << QString();
    QTest::newRow("capital D with stroke") << "Đx" << QString();
}

void ProvisioningTest::unusableNamesAreNeverCreated() {
    QFETCH(QString, suffix);
    QFETCH(QString, sideEffect);
    TestDatabase admin(false);
    // Short names keep within the field's 30 characters.
    const QString base = admin.name().right(5);
    const QString name = base + suffix.replace(QLatin1Char('@'), base + QStringLiteral("v"));
    const QString other = sideEffect.isEmpty()
                              ? QString()
                              : base + sideEffect.replace(QLatin1Char('@'), QStringLiteral("v"));
    FreshName fresh(admin, name);
    FreshName guard(admin, other.isEmpty() ? base + QStringLiteral("none") : other);
    TestApp app;
    ConnectionParams p = admin.params();
    p.database = name;
    app.prompter.answerQuestions({true});
    app.login(p);
    QCOMPARE(app.prompter.shown,
             (QList<Shown>{questionBox(dbQuestion),
                           warningBox(QStringLiteral("Adatbázis nem hozható létre !"))}));
    QVERIFY(!databaseExists(admin, name));
    if (!other.isEmpty())
        QVERIFY2(!databaseExists(admin, other), qPrintable(other));
    QCOMPARE(app.loginDialog->result(), 0);
}

void ProvisioningTest::underscoreNameIsMatchedExactly() {
    // "kx_a" beside an existing "kxXa": the probe must not take one for the other.
    TestDatabase similar(false);
    const QString name = similar.name().left(similar.name().size() - 2) + QStringLiteral("_") +
                         similar.name().right(1);
    FreshName fresh(similar, name);
    TestApp app;
    ConnectionParams p = similar.params();
    p.database = name;
    app.prompter.answerQuestions({true, true, true, true, true});
    app.login(p);
    QCOMPARE(app.prompter.shown.size(), 6);
    QCOMPARE(app.prompter.shown[0], questionBox(dbQuestion));
    QCOMPARE(app.prompter.shown[1], warningBox(QStringLiteral("Adatbázis létre hozva !")));
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
    QVERIFY(databaseExists(similar, name));
    QCOMPARE(tablesOf(similar, similar.name()), QStringList{}); // the similar one untouched
}

void ProvisioningTest::latin2LettersInNames_data() {
    QTest::addColumn<QString>("suffix");
    QTest::newRow("Hungarian accents") << "Kartoték";
    QTest::newRow("double acute") << "Árvíztűrő";
    QTest::newRow("Polish") << "Łódź";
    QTest::newRow("Czech and Slovak") << "čšžťďňľŕ";
    QTest::newRow("underscore, digit and dollar") << "név_1$";
}

// Letters beyond ASCII that Latin-2 carries are valid unquoted names for the server: the
// database and its tables are created, and the next login finds them and asks nothing.
void ProvisioningTest::latin2LettersInNames() {
    QFETCH(QString, suffix);
    TestDatabase admin(false);
    const QString name = admin.name().right(6) + suffix;
    FreshName fresh(admin, name);
    TestApp app;
    ConnectionParams p = admin.params();
    p.database = name;
    app.prompter.answerQuestions({true, true, true, true, true});
    app.login(p);
    QCOMPARE(app.prompter.shown, kCreatedAll);
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
    QVERIFY(serverHasDatabase(admin, name));
    QCOMPARE(
        admin.scalar(
            QStringLiteral("select count(*) from information_schema.tables where table_schema = ") +
            sqlLiteral(name)),
        QStringLiteral("4"));
    app.prompter.clear();
    app.login(p);
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
}

void ProvisioningTest::nameFoundAgainAsTheServerStoresIt_data() {
    QTest::addColumn<QString>("created"); // typed at the first login
    QTest::addColumn<QString>("typed");   // typed (or remembered) at a later one
    QTest::newRow("remembered as typed") << "Kartotex"
                                         << "Kartotex";
    QTest::newRow("capitals") << "Kartotex"
                              << "KARTOTEX";
    QTest::newRow("accented capitals") << "Kartoték"
                                       << "KARTOTÉK";
    QTest::newRow("underscore") << "Kar_totex"
                                << "KAR_TOTEX";
}

// On a server that stores names in small letters (lower_case_table_names=1) "Kartotex" is
// kept as "kartotex": the probe compares as the server does and the login goes on.
void ProvisioningTest::nameFoundAgainAsTheServerStoresIt() {
    QFETCH(QString, created);
    QFETCH(QString, typed);
    if (!lowerCaseServer)
        lowerCaseServer = std::make_unique<PrivateServer>(
            QStringLiteral("--lower-case-table-names=1 --sql-mode=NO_BACKSLASH_ESCAPES,"
                           "ANSI_QUOTES,PAD_CHAR_TO_FULL_LENGTH,ONLY_FULL_GROUP_BY"));
    UseServer use(lowerCaseServer->settings());
    TestDatabase admin(false);
    const QString tag = admin.name().right(5);
    FreshName fresh(admin, created + tag);
    TestApp app;
    ConnectionParams p = admin.params();
    p.database = created + tag;
    app.prompter.answerQuestions({true, true, true, true, true});
    app.login(p);
    QCOMPARE(app.prompter.shown, kCreatedAll);
    QCOMPARE(
        admin.scalar(QStringLiteral("select schema_name from information_schema.schemata where "
                                    "schema_name like ") +
                     sqlLiteral(created.left(3) + QStringLiteral("%") + tag)),
        (created + tag).toLower());

    app.prompter.clear();
    p.database = typed + tag;
    app.login(p);
    QCOMPARE(app.prompter.shown, QList<Shown>{});
    QCOMPARE(app.loginDialog->result(), int(QDialog::Accepted));
    QCOMPARE(app.data().recordStore.scalar(QStringLiteral("select database()")),
             (created + tag).toLower());
}

// Where the server keeps names as they are (lower_case_table_names=0), "KX..." and "kx..." are
// two databases: the one typed does not exist, and creating it is offered.
void ProvisioningTest::otherLetterCaseIsAnotherDatabaseWhereNamesKeepCase() {
    TestDatabase existing(false); // "kxt_..."
    if (existing.scalar(QStringLiteral("select @@lower_case_table_names")) != QLatin1String("0"))
        QSKIP("the test server compares names without letter case");
    const QString upper = existing.name().toUpper();
    FreshName fresh(existing, upper);
    TestApp app;
    ConnectionParams p = existing.params();
    p.database = upper;
    app.prompter.answerQuestions({false});
    app.login(p);
    QCOMPARE(app.prompter.shown, QList<Shown>{questionBox(dbQuestion)});
    QCOMPARE(app.loginDialog->result(), 0);
}

void ProvisioningTest::cleanupTestCase() {
    lowerCaseServer.reset(); // stops only the server this test started
}

QTEST_MAIN(ProvisioningTest)
#include "tst_provisioning.moc"

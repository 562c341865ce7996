// The record search (both variants) and the title-click sort, against a real server.
#include "data/records/RecordSearch.h"
#include "data/text/Latin2.h"
#include "support/PrivateServer.h"
#include "support/TestApp.h"

#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <mysql.h>

using namespace kx;
using namespace kx::test;

namespace {

struct Record {
    QString cim, tip, kat, kszo, hiv, datum, felvev, leiras, fnev, ftip, fmer;
};

// Records with the awkward characters that a search answer may hold.
const QList<Record>& fixture() {
    static const QList<Record> r{
        {QStringLiteral("Árvíztűrő tükörfúrógép"), QStringLiteral("Könyv"), QStringLiteral("Mese"),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral("2024.01.02"),
         QStringLiteral("Anna"), QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
         QStringLiteral("")},
        {QStringLiteral("O'Brien levele"), QStringLiteral("Levél"), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral("2023.05.06"), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral(""), QStringLiteral("")},
        {QStringLiteral("Útvonal C:\\temp\\a.txt"), QStringLiteral(""), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral("2022.03.04"), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral(""), QStringLiteral("")},
        {QStringLiteral("Száz % biztos"), QStringLiteral(""), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral("2021.01.01"), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral(""), QStringLiteral("")},
        {QStringLiteral("alá_húzás"), QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral("2020.01.01"), QStringLiteral(""), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral("")},
        {QStringLiteral("Végén perjel \\"), QStringLiteral(""), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral("2019.01.01"), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral(""), QStringLiteral("")},
        {QStringLiteral("Csak a fájlban"), QStringLiteral(""), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral("2018.01.01"), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral("titok.pdf"), QStringLiteral("Adobe Acrobat"),
         QStringLiteral("10")},
        {QStringLiteral("Két szó"), QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral("2017.01.01"), QStringLiteral(""),
         QStringLiteral("kettő\r\nsor"), QStringLiteral(""), QStringLiteral(""),
         QStringLiteral("2")},
        {QStringLiteral("zárójel ') or 1=1 -- "), QStringLiteral(""), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral("2016.01.01"), QStringLiteral(""),
         QStringLiteral(""), QStringLiteral(""), QStringLiteral(""), QStringLiteral("100")},
    };
    return r;
}

struct Searching {
    Searching() {
        for (const Record& r : fixture()) {
            MYSQL_STMT* st = mysql_stmt_init(db.admin());
            const char* sql = "INSERT INTO tbl_Data (CIM, TIP, KAT, KSZO, HIV, DATUM, FELVEV, "
                              "LEIRAS, FNEV, FTIP, FMER) VALUES (?,?,?,?,?,?,?,?,?,?,?)";
            mysql_stmt_prepare(st, sql, strlen(sql));
            const QStringList values{r.cim,    r.tip,    r.kat,  r.kszo, r.hiv, r.datum,
                                     r.felvev, r.leiras, r.fnev, r.ftip, r.fmer};
            QList<QByteArray> bytes;
            MYSQL_BIND binds[11];
            memset(binds, 0, sizeof binds);
            for (int i = 0; i < 11; ++i) {
                bytes << latin2::encode(values[i]);
                binds[i].buffer_type = MYSQL_TYPE_STRING;
                binds[i].buffer = bytes[i].data();
                binds[i].buffer_length = bytes[i].size();
                if (values[i].isEmpty() && i >= 8) // no file: NULL, as the forms leave it
                    binds[i].buffer_type = MYSQL_TYPE_NULL;
            }
            mysql_stmt_bind_param(st, binds);
            if (mysql_stmt_execute(st))
                qFatal("%s", mysql_stmt_error(st));
            mysql_stmt_close(st);
        }
        app.startUp(db.params());
        app.prompter.clear();
    }
    // Titles of the grid's rows in their order.
    QStringList titles() {
        Query& q = app.data().recordQuery;
        QStringList out;
        for (int i = 0; i < q.recordCount(); ++i)
            out << q.textAt(i, q.columnIndex(QStringLiteral("CIM")));
        return out;
    }
    QStringList search(const QString& answer, bool toolbar = false) {
        app.prompter.clear();
        app.prompter.answerInputs({answer});
        if (toolbar)
            app.mainWindow->searchButton->click();
        else
            app.mainWindow->gridSearchAction->trigger();
        return titles();
    }
    TestDatabase db;
    TestApp app;
};

QStringList sorted(QStringList l) {
    std::sort(l.begin(), l.end());
    return l;
}

} // namespace

class SearchTest : public QObject {
    Q_OBJECT
    // A server whose administrator set modes that change what a statement means; started by
    // the first test that needs it, stopped at the end.
    std::unique_ptr<PrivateServer> modalServer;
private slots:
    void cleanupTestCase() {
        modalServer.reset();
    }
    void statements();
    void windowsOfASearch();
    void cancelBringsAllBack();
    void phrases_data();
    void phrases();
    void fileColumnsOnlyFromToolbar();
    void hostileAnswersOnlyFind_data();
    void hostileAnswersOnlyFind();
    void textBeyondLatin2();
    void searchStaysAcrossRefresh();
    void sortByClickedTitle();
    void sortStaysAcrossSearch();
    void failedSearchFindsItsWayBack();
};

void SearchTest::statements() {
    QCOMPARE(searchStatement(QStringLiteral("abc"), SearchColumns::Menu),
             QStringLiteral("Select * FROM tbl_Data WHERE CIM like '%abc%' or TIP like '%abc%' or "
                            "KAT like '%abc%' or KSZO like '%abc%' or HIV like '%abc%' or DATUM "
                            "like '%abc%' or FELVEV like '%abc%' or LEIRAS like '%abc%' order by "
                            "CIM"));
    QCOMPARE(searchStatement(QStringLiteral("a'b"), SearchColumns::Toolbar),
             QStringLiteral("Select * FROM tbl_Data WHERE CIM like '%a''b%' or TIP like '%a''b%' "
                            "or KAT like '%a''b%' or KSZO like '%a''b%' or HIV like '%a''b%' or "
                            "DATUM like '%a''b%' or FELVEV like '%a''b%' or LEIRAS like '%a''b%' "
                            "or FNEV like '%a''b%' or FTIP like '%a''b%' order by CIM"));
    QCOMPARE(allRecordsStatement(), QStringLiteral("Select * FROM tbl_Data order by CIM"));
}

void SearchTest::windowsOfASearch() {
    Searching s;
    s.search(QStringLiteral("két"));
    QCOMPARE(s.app.prompter.shown,
             (QList<Shown>{{QStringLiteral("input"), QStringLiteral("Keresés:"),
                            QStringLiteral("Keresendő kifejezés:")},
                           resultBox(QStringLiteral("Találat: 1."))}));
    QCOMPARE(s.app.data().recordQuery.sql(),
             searchStatement(QStringLiteral("két"), SearchColumns::Menu));
}

void SearchTest::cancelBringsAllBack() {
    Searching s;
    s.search(QStringLiteral("két"));
    s.search(QString()); // cancelled
    QCOMPARE(s.app.prompter.shown.last(), resultBox(QStringLiteral("Találat: 9.")));
    QCOMPARE(s.app.data().recordQuery.sql(), allRecordsStatement());
}

void SearchTest::phrases_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("small letters find capitals")
        << "árvíztűrő" << QStringList{QStringLiteral("Árvíztűrő tükörfúrógép")};
    QTest::newRow("capitals find small letters")
        << "KÖNYV" << QStringList{QStringLiteral("Árvíztűrő tükörfúrógép")};
    QTest::newRow("apostrophe") << "O'B" << QStringList{QStringLiteral("O'Brien levele")};
    QTest::newRow("percent alone matches every title") << "%" << sorted([] {
        QStringList all;
        for (const Record& r : fixture())
            all << r.cim;
        return all;
    }());
    QTest::newRow("description over two lines")
        << "kettő" << QStringList{QStringLiteral("Két szó")};
}

void SearchTest::phrases() {
    QFETCH(QString, answer);
    QFETCH(QStringList, found);
    Searching s;
    QCOMPARE(sorted(s.search(answer)), sorted(found));
    QCOMPARE(s.app.prompter.shown.last(),
             resultBox(QStringLiteral("Találat: %1.").arg(found.size())));
}

void SearchTest::fileColumnsOnlyFromToolbar() {
    Searching s;
    QCOMPARE(s.search(QStringLiteral("titok"), true),
             QStringList{QStringLiteral("Csak a fájlban")});
    QCOMPARE(s.search(QStringLiteral("Acrobat"), true),
             QStringList{QStringLiteral("Csak a fájlban")});
    QCOMPARE(s.search(QStringLiteral("titok"), false), QStringList{});
    QCOMPARE(s.app.prompter.shown.last(), resultBox(QStringLiteral("Találat: 0.")));
}

void SearchTest::hostileAnswersOnlyFind_data() {
    QTest::addColumn<QString>("modes"); // the server's sql_mode; empty: the test server's own
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("found");
    // The same phrases must mean the same whatever mode the server's administrator chose.
    for (const QString& modes :
         {QString(), QStringLiteral("ANSI_QUOTES,ONLY_FULL_GROUP_BY,NO_BACKSLASH_ESCAPES,"
                                    "PAD_CHAR_TO_FULL_LENGTH")}) {
        const auto row = [&modes](const char* name) -> QTestData& {
            return QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(
                QString::fromUtf8(name), modes.isEmpty() ? QStringLiteral("default mode")
                                                         : QStringLiteral("modes changed"))));
        };
        row("quote that would end the literal")
            << modes << "') or 1=1 -- " << QStringList{QStringLiteral("zárójel ') or 1=1 -- ")};
        row("doubled quotes") << modes << "''" << QStringList{};
        row("backslash path") << modes << "C:\\temp\\a"
                              << QStringList{QStringLiteral("Útvonal C:\\temp\\a.txt")};
        row("backslash alone") << modes << "\\"
                               << QStringList{QStringLiteral("Útvonal C:\\temp\\a.txt"),
                                              QStringLiteral("Végén perjel \\")};
        row("trailing backslash") << modes << "perjel \\"
                                  << QStringList{QStringLiteral("Végén perjel \\")};
        row("backslash before quote") << modes << "\\'" << QStringList{};
        // The backslash is taken as itself; the "%" after it stays a wildcard.
        row("backslash then percent") << modes << "\\%"
                                      << QStringList{QStringLiteral("Útvonal C:\\temp\\a.txt"),
                                                     QStringLiteral("Végén perjel \\")};
        row("NUL") << modes << QString(QChar(0)) << QStringList{};
        row("statement after") << modes << "x'; DROP TABLE tbl_Tip; -- " << QStringList{};
        row("double quotes") << modes << "\"x\" or \"1\"=\"1" << QStringList{};
        row("underscore wildcard") << modes << "alá_h" << QStringList{QStringLiteral("alá_húzás")};
        row("percent inside") << modes << "Száz %" << QStringList{QStringLiteral("Száz % biztos")};
    }
}

void SearchTest::hostileAnswersOnlyFind() {
    QFETCH(QString, modes);
    QFETCH(QString, answer);
    QFETCH(QStringList, found);
    if (!modes.isEmpty() && !modalServer)
        modalServer = std::make_unique<PrivateServer>(QStringLiteral("--sql-mode=") + modes);
    std::optional<UseServer> use;
    if (!modes.isEmpty())
        use.emplace(modalServer->settings());
    Searching s;
    if (!modes.isEmpty())
        QCOMPARE(s.db.scalar(QStringLiteral("select @@global.sql_mode")), modes);
    QCOMPARE(sorted(s.search(answer)), sorted(found));
    QCOMPARE(s.app.prompter.shown.size(), 2); // the input and the result box: nothing failed
    // Nothing else ran: the store is as it was.
    QCOMPARE(s.db.scalar(QStringLiteral("select count(*) from tbl_Data")), QStringLiteral("9"));
    QCOMPARE(s.db.scalar(QStringLiteral(
                 "select count(*) from information_schema.tables where table_schema = "
                 "database()")),
             QStringLiteral("4"));
}

void SearchTest::textBeyondLatin2() {
    Searching s;
    s.search(QStringLiteral("két"));
    s.app.prompter.clear();
    s.app.prompter.answerInputs({QStringLiteral("€ ár")});
    s.app.mainWindow->gridSearchAction->trigger();
    // A clear warning, no statement, and the grid keeps what it showed.
    QCOMPARE(s.app.prompter.shown.size(), 2);
    QCOMPARE(s.app.prompter.shown[1].kind, QStringLiteral("warning"));
    QVERIFY(s.app.prompter.shown[1].text.contains(QStringLiteral("€")));
    QCOMPARE(s.titles(), QStringList{QStringLiteral("Két szó")});
}

void SearchTest::searchStaysAcrossRefresh() {
    Searching s;
    s.search(QStringLiteral("két"));
    s.db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM) VALUES ('Két új')"));
    s.app.mainWindow->refreshButton->click();
    QCOMPARE(s.titles(), (QStringList{QStringLiteral("Két szó"), QStringLiteral("Két új")}));
}

void SearchTest::sortByClickedTitle() {
    Searching s;
    s.app.mainWindow->gridTitleClicked(8); // FMER, by value: NULL first, then 2, 10, 100
    const QStringList byFmer = s.titles();
    QCOMPARE(byFmer.mid(6),
             (QStringList{QStringLiteral("Két szó"), QStringLiteral("Csak a fájlban"),
                          QStringLiteral("zárójel ') or 1=1 -- ")}));
    s.app.mainWindow->gridTitleClicked(0); // CIM in Hungarian order
    const QStringList byTitle = s.titles();
    QCOMPARE(byTitle.first(), QStringLiteral("alá_húzás"));
    QCOMPARE(byTitle.indexOf(QStringLiteral("Árvíztűrő tükörfúrógép")), 1);
    QCOMPARE(byTitle.last(), QStringLiteral("zárójel ') or 1=1 -- "));
    s.app.mainWindow->gridTitleClicked(0); // no toggle
    QCOMPARE(s.titles(), byTitle);
}

void SearchTest::sortStaysAcrossSearch() {
    Searching s;
    s.app.mainWindow->gridTitleClicked(4);                  // Dátum
    const QStringList hits = s.search(QStringLiteral("e")); // several hits
    QVERIFY(hits.size() > 2);
    QStringList dates;
    Query& q = s.app.data().recordQuery;
    for (int i = 0; i < q.recordCount(); ++i)
        dates << q.textAt(i, q.columnIndex(QStringLiteral("DATUM")));
    QCOMPARE(dates, sorted(dates));
    QVERIFY(hits != sorted(hits)); // not in title order
}

void SearchTest::failedSearchFindsItsWayBack() {
    Searching s;
    s.app.prompter.clear();
    s.app.prompter.answerInputs({QStringLiteral("két")});
    // The table goes away while the user types the phrase: the search statement fails.
    s.app.prompter.onShown = [&](const Shown& shown) {
        if (shown.kind == QLatin1String("input"))
            s.db.exec(QStringLiteral("RENAME TABLE tbl_Data TO tbl_Data_x"));
    };
    s.app.mainWindow->gridSearchAction->trigger();
    s.app.prompter.onShown = nullptr;
    QCOMPARE(s.app.prompter.shown.size(), 3);
    QVERIFY(
        s.app.prompter.shown[1].text.startsWith(QStringLiteral("Adatbázis csatlakozási hiba -> ")));
    QCOMPARE(s.app.prompter.shown[2].kind, QStringLiteral("error"));
    QVERIFY(!s.app.data().recordQuery.isOpen());
    QCOMPARE(s.app.mainWindow->recordGrid->model()->rowCount(), 0);
    s.db.exec(QStringLiteral("RENAME TABLE tbl_Data_x TO tbl_Data"));
    // The next refresh brings every record back without a restart.
    s.app.prompter.clear();
    s.app.mainWindow->refreshButton->click();
    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
    QCOMPARE(s.titles().size(), 9);
}

QTEST_MAIN(SearchTest)
#include "tst_search.moc"

// The main window: its commands from every entry point, the record check and refresh in
// their order, locating the current record, the toolbar and leaving the program.
#include "support/TestApp.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <utility>

using namespace kx;
using namespace kx::test;

namespace {

const QString noRecord = QStringLiteral("Nincs tárolt adatrekord !");

struct Started {
    Started() {
        app.startUp(db.params());
        QCOMPARE(app.prompter.shown, QList<Shown>{});
        app.prompter.clear();
    }
    void addRecord(const QString& title, const QString& extra = QString()) {
        db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, KAT, FNEV) VALUES ('") + title +
                QStringLiteral("', 'Cikk', '") + extra + QStringLiteral("', NULL)"));
    }
    // Uses an entry point as the user does: the menu item or toolbar button of that object
    // name, or a double-click on the grid.
    void run(const QString& entryPoint) {
        MainWindow& w = *app.mainWindow;
        if (entryPoint == w.recordGrid->objectName()) {
            QTest::mouseDClick(w.recordGrid->viewport(), Qt::LeftButton);
            return;
        }
        for (QMenu* menu : {w.mainMenu, w.gridMenu})
            if (auto* action = menu->findChild<QAction*>(entryPoint, Qt::FindDirectChildrenOnly)) {
                action->trigger();
                return;
            }
        auto* button = w.entryButton->parentWidget()->findChild<QToolButton*>(
            entryPoint, Qt::FindDirectChildrenOnly);
        QVERIFY2(button, qPrintable(entryPoint));
        button->click();
    }
    Query& query() {
        return app.data().recordQuery;
    }
    TestDatabase db;
    TestApp app;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void windowsCreatedOnceInOrder();
    void stepOrders_data();
    void stepOrders();
    void commandsOnAnEmptyStore_data();
    void commandsOnAnEmptyStore();
    void checkingCommandsRefuseAfterAnEmptySearch_data();
    void checkingCommandsRefuseAfterAnEmptySearch();
    void toolbarChecksBeforeRefreshMenuAfter();
    void locateWithDatabaseErrorShowsTwoBoxes();
    void locateMissingRecord();
    void refreshShowsOtherWorkstationsRecords();
    void gridKeepsItsPlaceWhileRowsArrive();
    void toolbarButtons_data();
    void toolbarButtons();
    void gridColumns();
    void menusInOrder();
    void exitAnsweredYesAsksOnce();
    void closeAnsweredNoKeepsWindow();
};

// The other windows come with the main window, each once and in their fixed order; neither
// the first showing after the start-up nor a second start-up makes them again or shows the
// login a second time.
void MainWindowTest::windowsCreatedOnceInOrder() {
    Started s;
    MainWindow& w = *s.app.mainWindow;
    const QStringList order{
        QStringLiteral("Form2"),         QStringLiteral("Form3"), QStringLiteral("Form4"),
        QStringLiteral("QuickReport54"), QStringLiteral("Form5"), QStringLiteral("QuickReport55"),
        QStringLiteral("AboutBox"),      QStringLiteral("Form6"), QStringLiteral("Form125")};
    const auto windows = [&] {
        QList<QObject*> out;
        for (QObject* child : w.children())
            if (order.contains(child->objectName()))
                out << child;
        return out;
    };
    const QList<QObject*> created = windows();
    QStringList names;
    for (QObject* window : created)
        names << window->objectName();
    QCOMPARE(names, order);

    ModalCloser closer; // a login shown again would otherwise wait for an answer
    w.show();           // the first showing queues the start-up, which has run already
    QTest::qWait(50);
    w.runStartUp();
    QCOMPARE(closer.opened, QStringList{});
    QCOMPARE(windows(), created);
    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
}

// Another workstation changes the store after the grid was read; what a command then shows
// tells which of its steps came first: a refresh in front of the check finds the new record, a
// check in front of it refuses, a locate without a refresh misses a renamed record.
enum class Meanwhile { Added, Renamed };
Q_DECLARE_METATYPE(Meanwhile)

void MainWindowTest::stepOrders_data() {
    QTest::addColumn<QString>("entryPoint");
    QTest::addColumn<Meanwhile>("meanwhile");
    QTest::addColumn<QList<Shown>>("shown");
    QTest::addColumn<QString>("opened"); // the window's object name; empty: none
    QTest::addColumn<int>("rows");       // the grid's rows afterwards

    const QList<Shown> none;
    const QList<Shown> refused{warningBox(noRecord)};
    const QList<Shown> notFound{warningBox(QStringLiteral("Nem található az adatrekord !"))};
    const QList<Shown> searched{{QStringLiteral("input"), QStringLiteral("Keresés:"),
                                 QStringLiteral("Keresendő kifejezés:")},
                                resultBox(QStringLiteral("Találat: 1."))};
    const auto add = [](const char* entryPoint, Meanwhile m, const QList<Shown>& shown,
                        const char* opened, int rows) {
        QTest::addRow("%s, %s", entryPoint, m == Meanwhile::Added ? "added" : "renamed")
            << QString::fromLatin1(entryPoint) << m << shown << QString::fromLatin1(opened) << rows;
    };
    const Meanwhile added = Meanwhile::Added;
    const Meanwhile renamed = Meanwhile::Renamed;
    // refresh, open
    add("Lexikon1", added, none, "Form2", 1);
    add("SpeedButton1", added, none, "Form2", 1);
    // open
    add("Felvtel1", added, none, "Form2", 0);
    // refresh, check, locate, open
    add("Keress1", added, none, "Form3", 1);
    add("Keress1", renamed, none, "Form3", 1);
    add("Bemutatkozs1", added, none, "Form4", 1);
    add("Bemutatkozs1", renamed, none, "Form4", 1);
    // check, refresh, locate, open
    add("SpeedButton2", added, refused, "", 0);
    add("SpeedButton2", renamed, none, "Form3", 1);
    add("SpeedButton3", added, refused, "", 0);
    add("SpeedButton3", renamed, none, "Form4", 1);
    // check, locate, open
    add("Mdosts1", added, refused, "", 0);
    add("Mdosts1", renamed, notFound, "", 1);
    add("rls1", added, refused, "", 0);
    add("rls1", renamed, notFound, "", 1);
    // refresh, search
    add("Keress2", added, searched, "", 1);
    add("Keress3", added, searched, "", 1);
    add("SpeedButton4", added, searched, "", 1);
    // refresh, check, open
    add("Listzs1", added, none, "Form5", 1);
    add("SpeedButton5", added, none, "Form5", 1);
    add("Statisztika1", added, none, "Form6", 1);
    add("SpeedButton6", added, none, "Form6", 1);
    // check, open
    add("Listzs2", added, refused, "", 0);
    add("DBGrid1", added, refused, "", 0);
    add("Statisztika2", added, refused, "", 0);
    // open
    add("Bemutatkozs2", added, none, "AboutBox", 0);
    add("SpeedButton7", added, none, "AboutBox", 0);
    // refresh
    add("Frissts1", added, none, "", 1);
    add("SpeedButton9", added, none, "", 1);
}

void MainWindowTest::stepOrders() {
    QFETCH(QString, entryPoint);
    QFETCH(Meanwhile, meanwhile);
    QFETCH(QList<Shown>, shown);
    QFETCH(QString, opened);
    QFETCH(int, rows);
    Started s;
    if (meanwhile == Meanwhile::Renamed) {
        s.addRecord(QStringLiteral("Alma"));
        s.run(QStringLiteral("Frissts1"));
        QCOMPARE(s.query().recordCount(), 1);
        s.db.exec(QStringLiteral("UPDATE tbl_Data SET CIM = 'Alma2'"));
    } else {
        s.addRecord(QStringLiteral("Körte"));
    }
    s.app.prompter.clear();
    s.app.prompter.answerInputs({QString()});
    ModalCloser closer;
    s.run(entryPoint);
    QCOMPARE(s.app.prompter.shown, shown);
    QCOMPARE(closer.opened, opened.isEmpty() ? QStringList{} : QStringList{opened});
    QCOMPARE(s.app.mainWindow->recordGrid->model()->rowCount(), rows);
}

void MainWindowTest::commandsOnAnEmptyStore_data() {
    QTest::addColumn<QString>("entryPoint");
    QTest::addColumn<bool>("refused");
    const char* const checked[] = {"Keress1",      "SpeedButton2", "Mdosts1",      "Bemutatkozs1",
                                   "SpeedButton3", "rls1",         "Listzs1",      "SpeedButton5",
                                   "Listzs2",      "DBGrid1",      "Statisztika1", "SpeedButton6",
                                   "Statisztika2"};
    for (const char* name : checked)
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    const char* const free[] = {"Lexikon1",     "SpeedButton1", "Felvtel1",    "Bemutatkozs2",
                                "SpeedButton7", "Frissts1",     "SpeedButton9"};
    for (const char* name : free)
        QTest::newRow(name) << QString::fromLatin1(name) << false;
}

void MainWindowTest::commandsOnAnEmptyStore() {
    QFETCH(QString, entryPoint);
    QFETCH(bool, refused);
    Started s;
    ModalCloser closer;
    s.run(entryPoint);
    if (refused) {
        QCOMPARE(s.app.prompter.shown, QList<Shown>{warningBox(noRecord)});
        QCOMPARE(closer.opened, QStringList{});
    } else {
        QCOMPARE(s.app.prompter.shown, QList<Shown>{});
    }
}

void MainWindowTest::checkingCommandsRefuseAfterAnEmptySearch_data() {
    QTest::addColumn<QString>("entryPoint");
    const char* const checking[] = {"Keress1",      "SpeedButton2", "Mdosts1", "Bemutatkozs1",
                                    "SpeedButton3", "rls1",         "Listzs1", "Listzs2",
                                    "Statisztika1", "Statisztika2"};
    for (const char* name : checking)
        QTest::newRow(name) << QString::fromLatin1(name);
}

void MainWindowTest::checkingCommandsRefuseAfterAnEmptySearch() {
    QFETCH(QString, entryPoint);
    Started s;
    s.addRecord(QStringLiteral("Alma"));
    s.app.prompter.answerInputs({QStringLiteral("nincs ilyen")});
    s.run(QStringLiteral("Keress3"));
    QCOMPARE(s.app.prompter.shown.last(), resultBox(QStringLiteral("Találat: 0.")));
    s.app.prompter.clear();
    // The refreshing variants run the search statement again: still nothing.
    ModalCloser closer;
    s.run(entryPoint);
    QCOMPARE(s.app.prompter.shown, QList<Shown>{warningBox(noRecord)});
    QCOMPARE(closer.opened, QStringList{});
}

void MainWindowTest::toolbarChecksBeforeRefreshMenuAfter() {
    Started s;
    s.addRecord(QStringLiteral("Körte")); // stored by another workstation after the last load
    QCOMPARE(s.query().recordCount(), 0);
    s.run(QStringLiteral("SpeedButton2"));
    QCOMPARE(s.app.prompter.shown, QList<Shown>{warningBox(noRecord)});
    QCOMPARE(s.query().recordCount(), 0); // refused before its refresh

    s.app.prompter.clear();
    ModalCloser closer;
    s.run(QStringLiteral("Keress1")); // refreshes first, then finds the record
    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
    QCOMPARE(s.query().recordCount(), 1);
    QCOMPARE(s.app.data().recordTable.asString(QStringLiteral("CIM")), QStringLiteral("Körte"));
}

void MainWindowTest::locateWithDatabaseErrorShowsTwoBoxes() {
    Started s;
    s.addRecord(QStringLiteral("Alma"));
    s.run(QStringLiteral("Frissts1"));
    s.db.exec(QStringLiteral("RENAME TABLE tbl_Data TO tbl_Data_x"));
    ModalCloser closer;
    s.run(QStringLiteral("Mdosts1")); // check, then locate: no refresh in front of it
    QCOMPARE(s.app.prompter.shown.size(), 3);
    QVERIFY(isHookBox(s.app.prompter.shown[0]));
    QCOMPARE(s.app.prompter.shown[1], warningBox(QStringLiteral("Hiba történt !!!")));
    QCOMPARE(s.app.prompter.shown[2], warningBox(QStringLiteral("Nem található az adatrekord !")));
    QCOMPARE(closer.opened, QStringList{});
    s.db.exec(QStringLiteral("RENAME TABLE tbl_Data_x TO tbl_Data"));
}

void MainWindowTest::locateMissingRecord() {
    Started s;
    s.addRecord(QStringLiteral("Alma "));
    s.run(QStringLiteral("Frissts1"));
    // Another workstation renames it to a title that differs only by its trailing blank.
    s.db.exec(QStringLiteral("UPDATE tbl_Data SET CIM = 'Alma'"));
    ModalCloser closer;
    s.run(QStringLiteral("rls1"));
    QCOMPARE(s.app.prompter.shown,
             QList<Shown>{warningBox(QStringLiteral("Nem található az adatrekord !"))});
    QCOMPARE(closer.opened, QStringList{});
}

void MainWindowTest::refreshShowsOtherWorkstationsRecords() {
    Started s;
    s.addRecord(QStringLiteral("Béka"));
    s.addRecord(QStringLiteral("alma"));
    s.addRecord(QStringLiteral("Cékla"));
    s.run(QStringLiteral("SpeedButton9"));
    QCOMPARE(s.query().recordCount(), 3);
    const int cim = s.query().columnIndex(QStringLiteral("CIM"));
    QCOMPARE(s.query().textAt(0, cim), QStringLiteral("alma"));
    QCOMPARE(s.query().textAt(2, cim), QStringLiteral("Cékla"));
    QCOMPARE(s.app.mainWindow->recordGrid->model()->rowCount(), 3);
    QCOMPARE(s.app.mainWindow->recordGrid->model()->index(1, 0).data().toString(),
             QStringLiteral("Béka"));
}

// A long store opens with its first screen; while the rest arrives the grid grows under the
// user's hands without jumping: the selected record and the scrolled place stay.
void MainWindowTest::gridKeepsItsPlaceWhileRowsArrive() {
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, TIP) SELECT CONCAT('Zs ', seq), 'Cikk' "
                           "FROM seq_10000_to_29999"));
    TestApp app;
    app.startUp(db.params());
    Query& query = app.data().recordQuery;
    QVERIFY(query.isReading());
    MainWindow& w = *app.mainWindow;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTableView* grid = w.recordGrid;
    QAbstractItemModel* model = grid->model();
    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    grid->setCurrentIndex(model->index(120, 0));
    grid->scrollTo(model->index(120, 0), QAbstractItemView::PositionAtTop);
    const int scrolled = grid->verticalScrollBar()->value();
    const QString selected = model->index(120, 0).data().toString();
    QTRY_VERIFY_WITH_TIMEOUT(!query.isReading(), 20000);
    QCOMPARE(model->rowCount(), 20000);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(grid->currentIndex().row(), 120);
    QCOMPARE(grid->currentIndex().data().toString(), selected);
    QCOMPARE(query.asString(QStringLiteral("CIM")), selected);
    QCOMPARE(grid->verticalScrollBar()->value(), scrolled);
    QCOMPARE(app.prompter.shown, QList<Shown>{});
}

void MainWindowTest::toolbarButtons_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("status");
    QTest::newRow("1") << "SpeedButton1" << 0 << "Felvétel"
                       << "Adatok felvétele !";
    QTest::newRow("2") << "SpeedButton2" << 25 << "Módosítás"
                       << "Adatok módosítása !";
    QTest::newRow("3") << "SpeedButton3" << 50 << "Törlés"
                       << "Adatok törlése !";
    QTest::newRow("4") << "SpeedButton4" << 83 << "Keresés"
                       << "Adatok keresése !";
    QTest::newRow("5") << "SpeedButton5" << 116 << "Listázás"
                       << "Adatok áttekintése / listázása !";
    QTest::newRow("6") << "SpeedButton6" << 149 << "Statisztika"
                       << "Információk a  tárolt adatokról !";
    QTest::newRow("7") << "SpeedButton7" << 185 << "Bemutatkozás"
                       << "Információk a programról !";
    QTest::newRow("9") << "SpeedButton9" << 480 << "Frissítés"
                       << "Adatok frissítése !";
    QTest::newRow("8") << "SpeedButton8" << 777 << "Befejezés"
                       << "Kilépés a prugramból !";
}

void MainWindowTest::toolbarButtons() {
    QFETCH(QString, name);
    QFETCH(int, left);
    QFETCH(QString, tooltip);
    QFETCH(QString, status);
    TestApp app;
    auto* b = app.mainWindow->findChild<QToolButton*>(name);
    QVERIFY(b);
    QCOMPARE(b->geometry(), QRect(left, 0, 25, 25));
    QCOMPARE(b->toolTip(), tooltip);
    QCOMPARE(b->statusTip(), status);
    QCOMPARE(b->accessibleName(), tooltip);
    QVERIFY(!b->icon().isNull());
    // The long hint reaches the first status panel, not the clock's.
    QStatusTipEvent tip(b->statusTip());
    QCoreApplication::sendEvent(app.mainWindow.get(), &tip);
    QCOMPARE(app.mainWindow->statusText(0), status);
}

void MainWindowTest::gridColumns() {
    TestApp app;
    QTableView* grid = app.mainWindow->recordGrid;
    const QStringList titles{QStringLiteral("Cím"),
                             QStringLiteral("Típus"),
                             QStringLiteral("Kategória"),
                             QStringLiteral("Hivatkozás"),
                             QStringLiteral("Dátum"),
                             QStringLiteral("Felvevő"),
                             QStringLiteral("Tárolt fájl"),
                             QStringLiteral("Tárolt fájl típusa"),
                             QStringLiteral("Tárolt fájl mérete")};
    const QList<int> widths{370, 250, 250, 350, 150, 250, 200, 200, 120};
    QCOMPARE(grid->model()->columnCount(), 9);
    for (int i = 0; i < 9; ++i) {
        QCOMPARE(grid->model()->headerData(i, Qt::Horizontal).toString(), titles[i]);
        QCOMPARE(grid->columnWidth(i), widths[i]);
    }
    QCOMPARE(grid->model()->headerData(8, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignCenter));
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(grid->geometry(), QRect(0, 25, 802, 552));
    QCOMPARE(app.mainWindow->windowTitle(), QStringLiteral("Kartotex - MySQL:"));
}

void MainWindowTest::menusInOrder() {
    TestApp app;
    // Each entry: object name, caption and long hint; "-" is a separator.
    const auto describe = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-")
                                     : a->objectName() + QStringLiteral("|") + a->text() +
                                           QStringLiteral("|") + a->statusTip());
        return out;
    };
    QCOMPARE(app.mainWindow->mainMenu->title(), QStringLiteral("Lehetőségek"));
    QCOMPARE(app.mainWindow->mainMenu->menuAction()->statusTip(),
             QStringLiteral("Kérem válasszon !"));
    QCOMPARE(
        describe(app.mainWindow->mainMenu),
        (QStringList{QStringLiteral("Lexikon1|Felvétel|Adatok felvétele !"),
                     QStringLiteral("Keress1|Módosítás|Adatok módosítása !"),
                     QStringLiteral("Bemutatkozs1|Törlés|Adatok törlése !"), QStringLiteral("-"),
                     QStringLiteral("Keress2|Keresés|Adatok keresése !"), QStringLiteral("-"),
                     QStringLiteral("Listzs1|Listázás|Tárolt adatok áttekintése / listázása !"),
                     QStringLiteral("-"),
                     QStringLiteral(
                         "Statisztika1|Statisztika|Statisztikai információk a tárolt adatokról !"),
                     QStringLiteral("-"),
                     QStringLiteral("Bemutatkozs2|Bemutatkozás|Információk a programról !"),
                     QStringLiteral("-"),
                     QStringLiteral("Kilps1|Kilépés|Program hasznáéatának befejezése !")}));
    QCOMPARE(describe(app.mainWindow->gridMenu),
             (QStringList{
                 QStringLiteral("Felvtel1|Felvétel|Adatok felvétele !"),
                 QStringLiteral("Mdosts1|Módosítás|Adatok módosítása !"),
                 QStringLiteral("rls1|Törlés|Adatok törlése !"), QStringLiteral("-"),
                 QStringLiteral("Keress3|Keresés|Adatok keresése !"), QStringLiteral("-"),
                 QStringLiteral("Listzs2|Listázás|Adatok áttekintése / listázása !"),
                 QStringLiteral("-"),
                 QStringLiteral("Statisztika2|Statisztika|Információk a tárolt adatokról !"),
                 QStringLiteral("-"), QStringLiteral("Frissts1|Frissítés|Adatok frissítése !")}));
    for (QMenu* menu : {app.mainWindow->mainMenu, app.mainWindow->gridMenu})
        for (QAction* a : menu->actions())
            QVERIFY2(a->shortcut().isEmpty() && a->isEnabled(), qPrintable(a->objectName()));
}

void MainWindowTest::exitAnsweredYesAsksOnce() {
    Started s;
    s.app.prompter.answerQuestions({true});
    s.app.mainWindow->show();
    s.run(QStringLiteral("Kilps1"));
    QVERIFY(s.app.lifetime.endRequested());
    QVERIFY(!s.app.data().recordStore.isConnected());
    s.app.mainWindow->close(); // the window going away asks nothing more
    QCOMPARE(s.app.prompter.shown, QList<Shown>{questionBox(QStringLiteral(
                                       "Biztosan be kívánja fejezni a program használatát ?"))});
    QCOMPARE(s.app.mainWindow->statusText(0), QString());
}

void MainWindowTest::closeAnsweredNoKeepsWindow() {
    Started s;
    s.app.mainWindow->show();
    s.run(QStringLiteral("SpeedButton8")); // answered No
    QVERIFY(s.app.mainWindow->isVisible());
    QVERIFY(!s.app.lifetime.endRequested());
    QVERIFY(s.app.data().recordStore.isConnected());
    QCOMPARE(s.app.mainWindow->statusText(0), QString());
    QCOMPARE(s.app.prompter.shown, QList<Shown>{questionBox(QStringLiteral(
                                       "Biztosan be kívánja fejezni a program használatát ?"))});
    s.app.prompter.answerQuestions({true});
    s.app.mainWindow->close();
    QVERIFY(!s.app.mainWindow->isVisible());
    QVERIFY(!s.app.data().recordStore.isConnected());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"

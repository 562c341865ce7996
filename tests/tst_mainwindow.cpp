// The main window: its commands from every entry point, the record check and refresh in
// their order, locating the current record, the toolbar and leaving the program.
#include "support/TestApp.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <utility>

using namespace kx;
using namespace kx::test;

namespace {

const QString noRecord = QStringLiteral("Nincs tárolt adatrekord !");

bool isHookBox(const Shown& s) {
    return s.kind == QLatin1String("warning") &&
           s.text.startsWith(QStringLiteral("Adatbázis csatlakozási hiba -> "));
}

// A command's handler, called directly so that a renamed handler fails to compile.
using Handler = void (MainWindow::*)();

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
    void run(Handler handler) {
        (app.mainWindow.get()->*handler)();
    }
    Query& query() {
        return app.data().recordQuery;
    }
    TestDatabase db;
    TestApp app;
};

} // namespace

Q_DECLARE_METATYPE(Handler)

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void commandsOnAnEmptyStore_data();
    void commandsOnAnEmptyStore();
    void checkingCommandsRefuseAfterAnEmptySearch_data();
    void checkingCommandsRefuseAfterAnEmptySearch();
    void toolbarChecksBeforeRefreshMenuAfter();
    void locateWithDatabaseErrorShowsTwoBoxes();
    void locateMissingRecord();
    void refreshShowsOtherWorkstationsRecords();
    void toolbarButtons_data();
    void toolbarButtons();
    void gridColumns();
    void menusInOrder();
    void exitAnsweredYesAsksOnce();
    void closeAnsweredNoKeepsWindow();
};

void MainWindowTest::commandsOnAnEmptyStore_data() {
    QTest::addColumn<Handler>("handler");
    QTest::addColumn<bool>("refused");
    const std::pair<const char*, Handler> checked[] = {
        {"Keress1", &MainWindow::menuModifyTriggered},
        {"SpeedButton2", &MainWindow::modifyClicked},
        {"Mdosts1", &MainWindow::gridModifyTriggered},
        {"Bemutatkozs1", &MainWindow::menuDeleteTriggered},
        {"SpeedButton3", &MainWindow::deleteClicked},
        {"rls1", &MainWindow::gridDeleteTriggered},
        {"Listzs1", &MainWindow::menuListTriggered},
        {"SpeedButton5", &MainWindow::listClicked},
        {"Listzs2", &MainWindow::gridListTriggered},
        {"DBGrid1 double-click", &MainWindow::gridDoubleClicked},
        {"Statisztika1", &MainWindow::menuStatisticsTriggered},
        {"SpeedButton6", &MainWindow::statisticsClicked},
        {"Statisztika2", &MainWindow::gridStatisticsTriggered}};
    for (const auto& [name, handler] : checked)
        QTest::newRow(name) << handler << true;
    const std::pair<const char*, Handler> free[] = {
        {"Lexikon1", &MainWindow::menuEntryTriggered},
        {"SpeedButton1", &MainWindow::entryClicked},
        {"Felvtel1", &MainWindow::gridEntryTriggered},
        {"Bemutatkozs2", &MainWindow::menuAboutTriggered},
        {"SpeedButton7", &MainWindow::aboutClicked},
        {"Frissts1", &MainWindow::gridRefreshTriggered},
        {"SpeedButton9", &MainWindow::refreshClicked}};
    for (const auto& [name, handler] : free)
        QTest::newRow(name) << handler << false;
}

void MainWindowTest::commandsOnAnEmptyStore() {
    QFETCH(Handler, handler);
    QFETCH(bool, refused);
    Started s;
    ModalCloser closer;
    s.run(handler);
    if (refused) {
        QCOMPARE(s.app.prompter.shown, QList<Shown>{warningBox(noRecord)});
        QCOMPARE(closer.opened, QStringList{});
    } else {
        QCOMPARE(s.app.prompter.shown, QList<Shown>{});
    }
}

void MainWindowTest::checkingCommandsRefuseAfterAnEmptySearch_data() {
    QTest::addColumn<Handler>("handler");
    const std::pair<const char*, Handler> checking[] = {
        {"Keress1", &MainWindow::menuModifyTriggered},
        {"SpeedButton2", &MainWindow::modifyClicked},
        {"Mdosts1", &MainWindow::gridModifyTriggered},
        {"Bemutatkozs1", &MainWindow::menuDeleteTriggered},
        {"SpeedButton3", &MainWindow::deleteClicked},
        {"rls1", &MainWindow::gridDeleteTriggered},
        {"Listzs1", &MainWindow::menuListTriggered},
        {"Listzs2", &MainWindow::gridListTriggered},
        {"Statisztika1", &MainWindow::menuStatisticsTriggered},
        {"Statisztika2", &MainWindow::gridStatisticsTriggered}};
    for (const auto& [name, handler] : checking)
        QTest::newRow(name) << handler;
}

void MainWindowTest::checkingCommandsRefuseAfterAnEmptySearch() {
    QFETCH(Handler, handler);
    Started s;
    s.addRecord(QStringLiteral("Alma"));
    s.app.prompter.answerInputs({QStringLiteral("nincs ilyen")});
    s.run(&MainWindow::gridSearchTriggered);
    QCOMPARE(s.app.prompter.shown.last(), resultBox(QStringLiteral("Találat: 0.")));
    s.app.prompter.clear();
    // The refreshing variants run the search statement again: still nothing.
    ModalCloser closer;
    s.run(handler);
    QCOMPARE(s.app.prompter.shown, QList<Shown>{warningBox(noRecord)});
    QCOMPARE(closer.opened, QStringList{});
}

void MainWindowTest::toolbarChecksBeforeRefreshMenuAfter() {
    Started s;
    s.addRecord(QStringLiteral("Körte")); // stored by another workstation after the last load
    QCOMPARE(s.query().recordCount(), 0);
    s.run(&MainWindow::modifyClicked);
    QCOMPARE(s.app.prompter.shown, QList<Shown>{warningBox(noRecord)});
    QCOMPARE(s.query().recordCount(), 0); // refused before its refresh

    s.app.prompter.clear();
    ModalCloser closer;
    s.run(&MainWindow::menuModifyTriggered); // refreshes first, then finds the record
    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
    QCOMPARE(s.query().recordCount(), 1);
    QCOMPARE(s.app.data().recordTable.asString(QStringLiteral("CIM")), QStringLiteral("Körte"));
}

void MainWindowTest::locateWithDatabaseErrorShowsTwoBoxes() {
    Started s;
    s.addRecord(QStringLiteral("Alma"));
    s.run(&MainWindow::gridRefreshTriggered);
    s.db.exec(QStringLiteral("RENAME TABLE tbl_Data TO tbl_Data_x"));
    ModalCloser closer;
    s.run(&MainWindow::gridModifyTriggered); // check, then locate: no refresh in front of it
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
    s.run(&MainWindow::gridRefreshTriggered);
    // Another workstation renames it to a title that differs only by its trailing blank.
    s.db.exec(QStringLiteral("UPDATE tbl_Data SET CIM = 'Alma'"));
    ModalCloser closer;
    s.run(&MainWindow::gridDeleteTriggered);
    QCOMPARE(s.app.prompter.shown,
             QList<Shown>{warningBox(QStringLiteral("Nem található az adatrekord !"))});
    QCOMPARE(closer.opened, QStringList{});
}

void MainWindowTest::refreshShowsOtherWorkstationsRecords() {
    Started s;
    s.addRecord(QStringLiteral("Béka"));
    s.addRecord(QStringLiteral("alma"));
    s.addRecord(QStringLiteral("Cékla"));
    s.run(&MainWindow::refreshClicked);
    QCOMPARE(s.query().recordCount(), 3);
    const int cim = s.query().columnIndex(QStringLiteral("CIM"));
    QCOMPARE(s.query().textAt(0, cim), QStringLiteral("alma"));
    QCOMPARE(s.query().textAt(2, cim), QStringLiteral("Cékla"));
    QCOMPARE(s.app.mainWindow->recordGrid->model()->rowCount(), 3);
    QCOMPARE(s.app.mainWindow->recordGrid->model()->index(1, 0).data().toString(),
             QStringLiteral("Béka"));
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
    s.run(&MainWindow::menuExitTriggered);
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
    s.run(&MainWindow::closeClicked); // answered No
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

#pragma once

#include "data/records/SharedData.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QMenu;
class QModelIndex;
class QTableView;
class QTimer;
class QToolButton;

namespace kx {

class AppLifetime;
class Prompter;
class RecordGridModel;
struct MainCommand;
enum class CommandWindow;
class LoginDialog;
class RecordSheetReport;
class RecordListReport;
enum class SearchColumns;

// The main window: owner of every shared data object and of the other windows, which it
// creates right after itself. Shows the records in a grid, offers every command from the main
// menu, the grid menu and the toolbar, runs the start-up sequence when first shown and asks
// before the program ends.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Prompter& prompter, AppLifetime& lifetime, QWidget* parent = nullptr);
    ~MainWindow() override;

    SharedData& data() {
        return m_data;
    }
    LoginDialog* loginDialog() const {
        return m_loginDialog;
    }
    QString statusText(int panel) const;

    // Controls; the comment gives each one's object name.
    QTableView* recordGrid = nullptr; // DBGrid1
    QMenu* mainMenu = nullptr;        // MainMenu1, "Lehetőségek"
    QMenu* gridMenu = nullptr;        // PopupMenu1, the grid's right-click menu
    // The main menu's commands.
    QAction* menuEntryAction = nullptr;      // Lexikon1, "Felvétel"
    QAction* menuModifyAction = nullptr;     // Keress1, "Módosítás"
    QAction* menuDeleteAction = nullptr;     // Bemutatkozs1, "Törlés"
    QAction* menuSearchAction = nullptr;     // Keress2, "Keresés"
    QAction* menuListAction = nullptr;       // Listzs1, "Listázás"
    QAction* menuStatisticsAction = nullptr; // Statisztika1, "Statisztika"
    QAction* menuAboutAction = nullptr;      // Bemutatkozs2, "Bemutatkozás"
    QAction* menuExitAction = nullptr;       // Kilps1, "Kilépés"
    // The grid menu's commands.
    QAction* gridEntryAction = nullptr;      // Felvtel1, "Felvétel"
    QAction* gridModifyAction = nullptr;     // Mdosts1, "Módosítás"
    QAction* gridDeleteAction = nullptr;     // rls1, "Törlés"
    QAction* gridSearchAction = nullptr;     // Keress3, "Keresés"
    QAction* gridListAction = nullptr;       // Listzs2, "Listázás"
    QAction* gridStatisticsAction = nullptr; // Statisztika2, "Statisztika"
    QAction* gridRefreshAction = nullptr;    // Frissts1, "Frissítés"
    // The toolbar's picture buttons.
    QToolButton* entryButton = nullptr;      // SpeedButton1
    QToolButton* modifyButton = nullptr;     // SpeedButton2
    QToolButton* deleteButton = nullptr;     // SpeedButton3
    QToolButton* searchButton = nullptr;     // SpeedButton4
    QToolButton* listButton = nullptr;       // SpeedButton5
    QToolButton* statisticsButton = nullptr; // SpeedButton6
    QToolButton* aboutButton = nullptr;      // SpeedButton7
    QToolButton* closeButton = nullptr;      // SpeedButton8
    QToolButton* refreshButton = nullptr;    // SpeedButton9
    QTimer* clockTimer = nullptr;            // Timer1, the status bar's clock

public slots:
    // The start-up sequence of the first showing: Data.db, the login, the data sets. It runs
    // once in the program's life; a later call does nothing.
    void runStartUp();
    void clockTick();

    void menuExitTriggered(); // the exit command
    void closeClicked();      // the close request
    void gridTitleClicked(int column);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Creates the other windows in their fixed order; the constructor's last step.
    void createForms();
    void buildMenus();
    void buildToolbar(QWidget* bar);
    void buildGrid(QWidget* parent);
    void buildStatusBar();

    // The record commands: each entry point of the command table runs its steps in order.
    void connectCommands();
    void dispatch(const MainCommand& command);
    QWidget* windowFor(CommandWindow window) const;

    // The steps the commands are made of.
    void recordRefresh();
    bool recordCheck();
    bool locateByTitle();
    void search(SearchColumns columns);
    void openRecordForm(QWidget* form);
    void command(const std::function<void()>& steps);

    void openData();
    void closeData(bool withTables);
    void syncGridToQuery();

    SharedData m_data;
    Prompter& m_prompter;
    AppLifetime& m_lifetime;
    LoginDialog* m_loginDialog = nullptr;
    // Windows of the record commands.
    QWidget* m_entryForm = nullptr;        // entry
    QWidget* m_modificationForm = nullptr; // modification
    QWidget* m_deletionForm = nullptr;     // deletion
    QWidget* m_browser = nullptr;          // browser
    QWidget* m_statisticsWindow = nullptr; // statistics
    // The two printouts the browser starts: one record, and the record list.
    RecordSheetReport* m_recordSheet = nullptr;
    RecordListReport* m_recordList = nullptr;
    QWidget* m_aboutBox = nullptr;
    RecordGridModel* m_gridModel = nullptr;
    QLabel* m_panel0 = nullptr;
    QLabel* m_panel1 = nullptr;
    bool m_firstShowDone = false;
    bool m_startupRan = false;
    bool m_exitConfirmed = false;
    bool m_syncing = false;
};

} // namespace kx

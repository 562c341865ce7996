#pragma once

#include "data/SharedData.h"

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
class TForm125;
class TQuickReport54;
class TQuickReport55;
enum class SearchColumns;

// The main window: owner of every shared data object and of the other windows. Shows the
// records in a grid, offers every command from the main menu, the grid menu and the toolbar,
// runs the start-up sequence when first shown and asks before the program ends.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    TForm1(Prompter& prompter, AppLifetime& lifetime, QWidget* parent = nullptr);
    ~TForm1() override;

    // Creates the other windows, once, in their fixed order.
    void createForms();

    SharedData& data() {
        return m_data;
    }
    TForm125* loginDialog() const {
        return m_form125;
    }
    QString statusText(int panel) const;

    // Controls, named as the program knows them.
    QTableView* DBGrid1 = nullptr;
    QMenu* MainMenu1 = nullptr; // "Lehetőségek"
    QMenu* PopupMenu1 = nullptr;
    QAction *Lexikon1, *Keress1, *Bemutatkozs1, *Keress2, *Listzs1, *Statisztika1, *Bemutatkozs2,
        *Kilps1;
    QAction *Felvtel1, *Mdosts1, *rls1, *Keress3, *Listzs2, *Statisztika2, *Frissts1;
    QToolButton *SpeedButton1, *SpeedButton2, *SpeedButton3, *SpeedButton4, *SpeedButton5,
        *SpeedButton6, *SpeedButton7, *SpeedButton8, *SpeedButton9;
    QTimer* Timer1 = nullptr;

public slots:
    void FormShow(); // the start-up sequence of the first showing
    void Timer1Timer();

    // Commands, one handler per entry point.
    void Lexikon1Click();
    void SpeedButton1Click();
    void Felvtel1Click();
    void Keress1Click();
    void SpeedButton2Click();
    void Mdosts1Click();
    void Bemutatkozs1Click();
    void SpeedButton3Click();
    void rls1Click();
    void Keress3Click();
    void SpeedButton4Click();
    void Listzs1Click();
    void SpeedButton5Click();
    void Listzs2Click();
    void DBGrid1DblClick();
    void Statisztika1Click();
    void SpeedButton6Click();
    void Statisztika2Click();
    void Bemutatkozs2Click();
    void SpeedButton7Click();
    void Frissts1Click();
    void SpeedButton9Click();
    void Kilps1Click();       // the exit command
    void SpeedButton8Click(); // the close request
    void DBGrid1TitleClick(int column);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolbar(QWidget* bar);
    void buildGrid(QWidget* parent);
    void buildStatusBar();

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
    TForm125* m_form125 = nullptr;
    // Windows of the record commands; a command whose window is not there yet runs only the
    // steps before it.
    QWidget* m_form2 = nullptr; // entry
    QWidget* m_form3 = nullptr; // modification
    QWidget* m_form4 = nullptr; // deletion
    QWidget* m_form5 = nullptr; // browser
    QWidget* m_form6 = nullptr; // statistics
    // The two printouts the browser starts: one record, and the record list.
    TQuickReport54* m_report54 = nullptr;
    TQuickReport55* m_report55 = nullptr;
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

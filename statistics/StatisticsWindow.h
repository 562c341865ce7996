#pragma once

#include "ResultRows.h"
#include "platform/SecondaryWindow.h"

class QLabel;
class QPushButton;
class QTableView;

namespace kx {

class Prompter;
class ResultGridModel;
struct SharedData;

// The statistics window "Statisztikai adatok:". "Adatgyűjtés" computes eighteen figures about
// the stored records and writes each as a row of tbl_Tmp under this showing's tag; the grid
// shows those rows, and closing the window deletes them again.
class StatisticsWindow : public SecondaryWindow {
    Q_OBJECT
public:
    StatisticsWindow(SharedData& shared, Prompter& prompter, QWidget* parent = nullptr);
    ~StatisticsWindow() override;

    // Controls; the comment gives each one's object name.
    QPushButton* collectButton;   // BitBtn2, "Adatgyűjtés"
    QPushButton* closeButton;     // BitBtn1, "Befejezés"
    QLabel* rowCountCaption;      // Label1, "Sorok száma"
    QLabel* rowCountLabel;        // Label2, the row counter
    QTableView* resultGrid;       // DBGrid1, the figures
    ResultGridModel* resultModel; // DataSource2, the grid's rows

    ResultRows& resultRows() {
        return m_rows;
    }

public slots:
    void prepareShowing() override;
    void collectClicked(); // "Adatgyűjtés"
    void closeClicked();   // "Befejezés"

    // Every way of closing passes here (the button, the close box, a reject): the showing's
    // rows are deleted before the window goes.
    void done(int result) override;

private:
    void buildTopStrip();
    void buildGrid();
    void collect();
    void showRows(); // the grid and the row counter from resultTable

    SharedData& m_data;
    Prompter& m_prompter;
    ResultRows m_rows;
};

} // namespace kx

#pragma once

#include "ResultRows.h"

#include <QDialog>

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
class TForm6 : public QDialog {
    Q_OBJECT
public:
    TForm6(SharedData& shared, Prompter& prompter, QWidget* parent = nullptr);
    ~TForm6() override;

    // Controls, named as the program knows them.
    QPushButton* BitBtn2; // "Adatgyűjtés"
    QPushButton* BitBtn1; // "Befejezés"
    QLabel* Label1;       // "Sorok száma"
    QLabel* Label2;       // the row counter
    QTableView* DBGrid1;
    ResultGridModel* DataSource2;

    ResultRows& resultRows() {
        return m_rows;
    }

public slots:
    void FormShow();
    void BitBtn2Click(); // "Adatgyűjtés"
    void BitBtn1Click(); // "Befejezés"

    // Every way of closing passes here (the button, the close box, a reject): the showing's
    // rows are deleted before the window goes.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildTopStrip();
    void buildGrid();
    void collect();
    void showRows(); // the grid and the row counter from FDTable4

    SharedData& m_data;
    Prompter& m_prompter;
    ResultRows m_rows;
};

} // namespace kx

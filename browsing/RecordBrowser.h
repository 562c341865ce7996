#pragma once

#include "RecordView.h"

#include <functional>

class QLineEdit;
class QPlainTextEdit;

namespace kx {

class RecordNavigator;
class ShellRequests;
struct SharedData;

// The record browser "Adatok áttekintése:". It keeps no data of its own: its fields show the
// current record of the main window's record query recordQuery, so moving here moves the main
// grid, and a search here replaces what the grid shows. It steps through the records, starts
// the two printouts, searches, saves the stored file of a record to disk and opens or
// searches for a record's reference.
class RecordBrowser : public RecordView {
    Q_OBJECT
public:
    RecordBrowser(SharedData& shared, Prompter& prompter, QWidget* parent = nullptr);

    // The desktop that opens web addresses; the real one unless replaced (tests record).
    void setShell(ShellRequests& shell);

    RecordNavigator* navigator;     // DBNavigator1, steps through the records
    QPushButton* printRecordButton; // SpeedButton1, prints the current record
    QPushButton* printListButton;   // SpeedButton2, prints the list
    QPushButton* searchButton;      // SpeedButton3, searches
    QPushButton* saveFileButton;    // SpeedButton4, saves the stored file

    // The two printouts, set by the main window; while one is empty its button does nothing.
    std::function<void()> showSingleRecordReport;
    std::function<void()> showRecordListReport;

public slots:
    void prepareShowing() override;
    void printRecordClicked();
    void printListClicked();
    void searchClicked();
    void saveFileClicked();
    void referenceChanged(); // the reference field's cursor and hint
    void referenceClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCurrentRecord();
    void recordRefresh();
    void search(const QString& answer);
    void reportHits();
    void saveStoredFile();

    SharedData& m_data;
    ShellRequests* m_shell;
    bool m_followQuery = true; // false while the list printout walks the record query
};

} // namespace kx

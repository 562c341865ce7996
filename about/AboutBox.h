#pragma once

#include "platform/SecondaryWindow.h"

class QLabel;
class QPushButton;

namespace kx {

class Prompter;
class ShellRequests;

// The about box " Névjegy:": the program's name and version, the maker's contact lines, and
// facts about the computer measured afresh at every showing. "MS Info" starts the system's
// own information tool where one is installed.
class AboutBox : public SecondaryWindow {
    Q_OBJECT
public:
    explicit AboutBox(Prompter& prompter, QWidget* parent = nullptr);

    // The system-information programs looked for, in this order: a system profiler first,
    // then the desktop's system monitor.
    static const QStringList& systemInformationTools();
    // The maker's addresses behind the two clickable lines.
    static QString mailAddress(); // mailto:
    static QString webAddress();

    // The shell that opens addresses and starts the tool (the desktop's by default).
    void setShell(ShellRequests& shell);

    // Controls; the comment gives each one's object name.
    QLabel* programIconLabel;      // ProgramIcon
    QLabel* productNameLabel;      // ProductName
    QLabel* versionLabel;          // Version
    QLabel* mailLine;              // Label2, the maker's e-mail line
    QLabel* webLine;               // Label15, the maker's web line
    QLabel* systemLabel;           // Label9, operating system
    QLabel* processorLabel;        // Label13, processor type
    QLabel* processorSpeedLabel;   // Label12, processor speed
    QLabel* physicalMemoryLabel;   // Label10, physical memory
    QLabel* memoryInUseLabel;      // Label11, memory in use
    QPushButton* systemInfoButton; // BitBtn1, "MS Info"
    QPushButton* okButton;         // BitBtn2, "Rendben"

public slots:
    void prepareShowing() override;
    void systemInfoClicked();
    void okClicked();
    void mailLineClicked();
    void webLineClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUpperPanel();
    void buildSystemPanel();

    Prompter& m_prompter;
    ShellRequests* m_shell;
    QString m_tool; // the tool found at the last showing
};

} // namespace kx

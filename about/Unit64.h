#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kx {

class Prompter;
class ShellRequests;

// The about box " Névjegy:": the program's name and version, the maker's contact lines, and
// facts about the computer measured afresh at every showing. "MS Info" starts the system's
// own information tool where one is installed.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(Prompter& prompter, QWidget* parent = nullptr);

    // The system-information programs looked for, in this order: a system profiler first,
    // then the desktop's system monitor.
    static const QStringList& systemInformationTools();
    // The maker's addresses behind the two clickable lines.
    static QString mailAddress(); // mailto:
    static QString webAddress();

    // The shell that opens addresses and starts the tool (the desktop's by default).
    void setShell(ShellRequests& shell);

    // Controls, named as the program knows them.
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Label2;       // the maker's e-mail line
    QLabel* Label15;      // the maker's web line
    QLabel* Label9;       // operating system
    QLabel* Label13;      // processor type
    QLabel* Label12;      // processor speed
    QLabel* Label10;      // physical memory
    QLabel* Label11;      // memory in use
    QPushButton* BitBtn1; // "MS Info"
    QPushButton* BitBtn2; // "Rendben"

public slots:
    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();
    void Label2Click();
    void Label15Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUpperPanel();
    void buildSystemPanel();

    Prompter& m_prompter;
    ShellRequests* m_shell;
    QString m_tool; // the tool found at the last showing
};

} // namespace kx

#include "MainWindow.h"

#include "MainCommands.h"
#include "RecordGridModel.h"
#include "about/AboutBox.h"
#include "browsing/DeletionForm.h"
#include "browsing/RecordBrowser.h"
#include "browsing/RecordListReport.h"
#include "browsing/RecordSheetReport.h"
#include "data/records/Columns.h"
#include "data/records/RecordSearch.h"
#include "editing/EntryForm.h"
#include "editing/ModificationForm.h"
#include "platform/AppIdentity.h"
#include "platform/AppLifetime.h"
#include "platform/Clock.h"
#include "platform/DateTimeText.h"
#include "platform/Hints.h"
#include "platform/Prompter.h"
#include "platform/ReportEngine.h"
#include "platform/ScreenCursor.h"
#include "policy/CommandRunner.h"
#include "policy/ErrorPolicy.h"
#include "policy/GuardedStep.h"
#include "policy/RecordRefresh.h"
#include "statistics/StatisticsWindow.h"
#include "storage/DataDbLocation.h"
#include "storage/LoginDialog.h"

#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusTipEvent>
#include <QTableView>
#include <QTimer>

static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace kx {

namespace {
QString exitQuestion() {
    return QStringLiteral("Biztosan be kívánja fejezni a program használatát ?");
}
QString exitStatus() {
    return QStringLiteral("Program használatásan befejezése ?");
}
} // namespace

MainWindow::MainWindow(Prompter& prompter, AppLifetime& lifetime, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      m_prompter(prompter), m_lifetime(lifetime) {
    initIconResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kartotex - MySQL:"));
    setWindowIcon(programIcon());
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    attachErrorHandlers(m_data, m_prompter);
    // Panel 0 shows the long hints of every window, not only of this one.
    new StatusHintRouter(this);

    m_gridModel = new RecordGridModel(m_data.recordQuery, this);
    auto* client = new QWidget(this);
    auto* toolbar = new QWidget(client);
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    toolbar->setGeometry(0, 0, 804, 25);
    buildToolbar(toolbar);
    buildGrid(client);
    setCentralWidget(client);
    buildMenus();
    connectCommands();
    buildStatusBar();
    connect(m_gridModel, &QAbstractItemModel::modelReset, this, &MainWindow::syncGridToQuery);
    connect(recordGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_syncing && current.isValid())
                    m_data.recordQuery.setCurrentRow(current.row());
            });
    connect(&m_data.recordQuery, &DataSetBase::currentChanged, this, &MainWindow::syncGridToQuery);

    clockTimer = new QTimer(this);
    clockTimer->setObjectName(QStringLiteral("Timer1"));
    clockTimer->setInterval(1000);
    connect(clockTimer, &QTimer::timeout, this, &MainWindow::clockTick);
    clockTimer->start();
    clockTick();

    // The client area is fixed at 804 x 600 below the menu bar.
    setFixedSize(804, 600 + menuBar()->sizeHint().height());
    createForms();
}

MainWindow::~MainWindow() = default;

void MainWindow::createForms() {
    // Each window is created here, in this order, and kept to the end.
    m_entryForm = new EntryForm(m_data, m_prompter, this);
    m_modificationForm = new ModificationForm(m_data, m_prompter, this);
    m_deletionForm = new DeletionForm(m_data, m_prompter, this);
    m_recordSheet = new RecordSheetReport(m_data, this);
    auto* browser = new RecordBrowser(m_data, m_prompter, this);
    m_browser = browser;
    m_recordList = new RecordListReport(m_data, this);
    // The browser opens the two printouts, which come before and after it in the order.
    browser->showSingleRecordReport = [this] { m_recordSheet->preview(); };
    browser->showRecordListReport = [this] { m_recordList->preview(); };
    // A list of many pages is printed or saved under a progress window.
    m_recordList->report().setPrompter(&m_prompter);
    m_aboutBox = new AboutBox(m_prompter, this);
    m_statisticsWindow = new StatisticsWindow(m_data, m_prompter, this);
    m_loginDialog = new LoginDialog(m_data, m_prompter, m_lifetime, this);
}

QString MainWindow::statusText(int panel) const {
    return panel == 0 ? m_panel0->text() : m_panel1->text();
}

bool MainWindow::event(QEvent* event) {
    // The long hint of whatever lies under the mouse goes to the first panel only.
    if (event->type() == QEvent::StatusTip) {
        m_panel0->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void MainWindow::clockTick() {
    m_panel1->setText(dateTimeText(Clock::now()));
}

// Keeps the grid's selected row on the record query's current row.
void MainWindow::syncGridToQuery() {
    if (m_syncing)
        return;
    m_syncing = true;
    const int row = m_data.recordQuery.isOpen() ? m_data.recordQuery.currentRow() : -1;
    if (row >= 0 && row < m_gridModel->rowCount()) {
        const QModelIndex index =
            m_gridModel->index(row, qMax(0, recordGrid->currentIndex().column()));
        recordGrid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
    }
    m_syncing = false;
}

// ---- start-up and shutdown ----

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_firstShowDone) {
        m_firstShowDone = true;
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        // Start-up runs from the event loop, once the window is on the screen.
        QTimer::singleShot(0, this, &MainWindow::runStartUp);
    }
}

void MainWindow::runStartUp() {
    // The start-up runs once in the program's life; there is no way back to the login.
    if (m_startupRan)
        return;
    m_startupRan = true;
    runCommand(m_prompter, [this] {
        // Data.db is looked for in the process's current directory, not the executable's,
        // or in the settings folder when that directory cannot take it.
        m_data.settingsDb.setDatabase(DataDbLocation::forThisProcess());
        m_loginDialog->exec();
        openData();
    });
}

void MainWindow::openData() {
    try {
        m_data.recordQuery.open();
    } catch (const DbError&) {
        m_prompter.notice(QStringLiteral("Lekérdezés nem hajtható végre !"));
        m_lifetime.requestEnd();
    }
    for (Table* table :
         {&m_data.recordTable, &m_data.typeTable, &m_data.categoryTable, &m_data.resultTable}) {
        try {
            table->open();
        } catch (const DbError&) {
            m_prompter.notice(QStringLiteral("Tábla nem nyitható meg !"));
            m_lifetime.requestEnd();
        }
    }
}

void MainWindow::closeData(bool withTables) {
    m_data.recordQuery.close();
    if (withTables)
        for (Table* t :
             {&m_data.recordTable, &m_data.typeTable, &m_data.categoryTable, &m_data.resultTable})
            t->close();
    m_data.recordStore.close();
}

void MainWindow::menuExitTriggered() {
    command([this] {
        m_panel0->setText(exitStatus());
        const bool yes = m_prompter.question(exitQuestion());
        m_panel0->clear();
        if (yes) {
            closeData(false);
            m_exitConfirmed = true; // the close request must not ask a second time
            m_lifetime.requestEnd();
        }
    });
}

void MainWindow::closeClicked() {
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_exitConfirmed || m_lifetime.endRequested()) {
        event->accept();
        return;
    }
    bool yes = false;
    command([&] {
        m_panel0->setText(exitStatus());
        yes = m_prompter.question(exitQuestion());
        m_panel0->clear();
        if (yes)
            closeData(true);
    });
    if (yes) {
        m_exitConfirmed = true;
        event->accept();
    } else {
        event->ignore();
    }
}

// ---- the steps of the commands ----

void MainWindow::command(const std::function<void()>& steps) {
    runCommand(m_prompter, steps);
}

void MainWindow::recordRefresh() {
    refreshUnderBusyCursor(m_data.records);
}

bool MainWindow::recordCheck() {
    if (m_data.records.hasRecords())
        return true;
    m_prompter.warning(QStringLiteral("Nincs tárolt adatrekord !"));
    return false;
}

bool MainWindow::locateByTitle() {
    const bool found = guardedLookup(m_prompter, [this] { return m_data.records.locateByTitle(); });
    if (!found)
        m_prompter.warning(QStringLiteral("Nem található az adatrekord !"));
    return found;
}

void MainWindow::openRecordForm(QWidget* form) {
    if (auto* dialog = qobject_cast<QDialog*>(form))
        dialog->exec();
}

void MainWindow::search(SearchColumns columns) {
    const QString answer = m_prompter.input(QStringLiteral("Keresés:"),
                                            QStringLiteral("Keresendő kifejezés:"), QString());
    const int hits = m_data.records.search(answer, columns);
    m_prompter.result(RecordService::hitsText(hits));
}

// ---- the record commands ----

void MainWindow::dispatch(const MainCommand& c) {
    command([this, &c] {
        for (CommandStep step : c.steps) {
            switch (step) {
            case CommandStep::Refresh:
                recordRefresh();
                break;
            case CommandStep::Check:
                if (!recordCheck())
                    return;
                break;
            case CommandStep::Locate:
                if (!locateByTitle())
                    return;
                break;
            case CommandStep::MenuSearch:
                search(SearchColumns::Menu);
                break;
            case CommandStep::ToolbarSearch:
                search(SearchColumns::Toolbar);
                break;
            case CommandStep::Open:
                openRecordForm(windowFor(c.window));
                break;
            }
        }
    });
}

// The window a command opens; none for a command that opens no window.
QWidget* MainWindow::windowFor(CommandWindow window) const {
    switch (window) {
    case CommandWindow::Entry:
        return m_entryForm;
    case CommandWindow::Modification:
        return m_modificationForm;
    case CommandWindow::Deletion:
        return m_deletionForm;
    case CommandWindow::Browser:
        return m_browser;
    case CommandWindow::Statistics:
        return m_statisticsWindow;
    case CommandWindow::About:
        return m_aboutBox;
    case CommandWindow::None:
        break;
    }
    return nullptr;
}

void MainWindow::gridTitleClicked(int column) {
    command([this, column] {
        // The grid's columns can be moved: the clicked one is known by its field name.
        const QString field = RecordGridModel::fields().value(column);
        if (RecordGridModel::fields().contains(field))
            m_data.recordQuery.setSortField(field);
    });
}

} // namespace kx

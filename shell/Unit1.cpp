#include "Unit1.h"

#include "ErrorHandlers.h"
#include "RecordGridModel.h"
#include "about/Unit64.h"
#include "browsing/Unit4.h"
#include "browsing/Unit5.h"
#include "browsing/Unit54.h"
#include "browsing/Unit55.h"
#include "data/Latin2.h"
#include "data/RecordSearch.h"
#include "editing/Unit2.h"
#include "editing/Unit3.h"
#include "platform/AppLifetime.h"
#include "platform/CommandRunner.h"
#include "platform/DateTimeText.h"
#include "platform/GuardedStep.h"
#include "platform/Hints.h"
#include "platform/Prompter.h"
#include "platform/ReportEngine.h"
#include "platform/ScreenCursor.h"
#include "statistics/Unit6.h"
#include "storage/DataDbLocation.h"
#include "storage/Unit125.h"

#include <QCloseEvent>
#include <QDateTime>
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

TForm1::TForm1(Prompter& prompter, AppLifetime& lifetime, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      m_prompter(prompter), m_lifetime(lifetime) {
    initIconResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kartotex - MySQL:"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kartotex.png")));
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    attachErrorHandlers(m_data, m_prompter);
    // Panel 0 shows the long hints of every window, not only of this one.
    new StatusHintRouter(this);

    m_gridModel = new RecordGridModel(m_data.FDQuery1, this);
    auto* client = new QWidget(this);
    auto* toolbar = new QWidget(client);
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    toolbar->setGeometry(0, 0, 804, 25);
    buildToolbar(toolbar);
    buildGrid(client);
    setCentralWidget(client);
    buildMenus();
    buildStatusBar();
    connect(m_gridModel, &QAbstractItemModel::modelReset, this, &TForm1::syncGridToQuery);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_syncing && current.isValid())
                    m_data.FDQuery1.setCurrentRow(current.row());
            });
    connect(&m_data.FDQuery1, &DataSetBase::currentChanged, this, &TForm1::syncGridToQuery);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();
    Timer1Timer();

    // The client area is fixed at 804 x 600 below the menu bar.
    setFixedSize(804, 600 + menuBar()->sizeHint().height());
}

TForm1::~TForm1() = default;

void TForm1::createForms() {
    // Each window is created once, in this order, and kept to the end.
    if (!m_form2)
        m_form2 = new TForm2(m_data, m_prompter, this);
    if (!m_form3)
        m_form3 = new TForm3(m_data, m_prompter, this);
    if (!m_form4)
        m_form4 = new TForm4(m_data, m_prompter, this);
    if (!m_report54)
        m_report54 = new TQuickReport54(m_data, this);
    if (!m_form5) {
        auto* browser = new TForm5(m_data, m_prompter, this);
        m_form5 = browser;
        // The browser opens the two printouts, which come after it in the order.
        browser->showSingleRecordReport = [this] { m_report54->preview(); };
        browser->showRecordListReport = [this] { m_report55->preview(); };
    }
    if (!m_report55) {
        m_report55 = new TQuickReport55(m_data, this);
        // A list of many pages is printed or saved under a progress window.
        m_report55->report().setPrompter(&m_prompter);
    }
    if (!m_aboutBox)
        m_aboutBox = new TAboutBox(m_prompter, this);
    if (!m_form6)
        m_form6 = new TForm6(m_data, m_prompter, this);
    if (!m_form125)
        m_form125 = new TForm125(m_data, m_prompter, m_lifetime, this);
}

QString TForm1::statusText(int panel) const {
    return panel == 0 ? m_panel0->text() : m_panel1->text();
}

bool TForm1::event(QEvent* event) {
    // The long hint of whatever lies under the mouse goes to the first panel only.
    if (event->type() == QEvent::StatusTip) {
        m_panel0->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TForm1::Timer1Timer() {
    m_panel1->setText(dateTimeText(QDateTime::currentDateTime()));
}

// Keeps the grid's selected row on the record query's current row.
void TForm1::syncGridToQuery() {
    if (m_syncing)
        return;
    m_syncing = true;
    const int row = m_data.FDQuery1.isOpen() ? m_data.FDQuery1.currentRow() : -1;
    if (row >= 0 && row < m_gridModel->rowCount()) {
        const QModelIndex index =
            m_gridModel->index(row, qMax(0, DBGrid1->currentIndex().column()));
        DBGrid1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
    }
    m_syncing = false;
}

// ---- start-up and shutdown ----

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_firstShowDone) {
        m_firstShowDone = true;
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        // Start-up runs from the event loop, once the window is on the screen.
        QTimer::singleShot(0, this, &TForm1::FormShow);
    }
}

void TForm1::FormShow() {
    // The start-up runs once in the program's life; there is no way back to the login.
    if (m_startupRan)
        return;
    m_startupRan = true;
    runCommand(m_prompter, [this] {
        // Data.db is looked for in the process's current directory, not the executable's,
        // or in the settings folder when that directory cannot take it.
        m_data.FDConnection2.setDatabase(DataDbLocation::forThisProcess());
        createForms();
        m_form125->exec();
        openData();
    });
}

void TForm1::openData() {
    try {
        m_data.FDQuery1.open();
    } catch (const DbError&) {
        m_prompter.notice(QStringLiteral("Lekérdezés nem hajtható végre !"));
        m_lifetime.requestEnd();
    }
    for (Table* table : {&m_data.FDTable1, &m_data.FDTable2, &m_data.FDTable3, &m_data.FDTable4}) {
        try {
            table->open();
        } catch (const DbError&) {
            m_prompter.notice(QStringLiteral("Tábla nem nyitható meg !"));
            m_lifetime.requestEnd();
        }
    }
}

void TForm1::closeData(bool withTables) {
    m_data.FDQuery1.close();
    if (withTables)
        for (Table* t : {&m_data.FDTable1, &m_data.FDTable2, &m_data.FDTable3, &m_data.FDTable4})
            t->close();
    m_data.FDConnection1.close();
}

void TForm1::Kilps1Click() {
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

void TForm1::SpeedButton8Click() {
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
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

void TForm1::command(const std::function<void()>& steps) {
    runCommand(m_prompter, steps);
}

void TForm1::recordRefresh() {
    ScreenCursor::set(CursorShape::Busy);
    m_data.FDTable1.refresh();
    Query& q = m_data.FDQuery1;
    if (q.isOpen()) {
        q.refresh();
    } else {
        // After a failed search the query is closed: all records come back.
        q.setSql(allRecordsStatement());
        q.open();
    }
    ScreenCursor::set(CursorShape::Default);
}

bool TForm1::recordCheck() {
    if (m_data.FDQuery1.isOpen() && m_data.FDQuery1.recordCount() > 0)
        return true;
    m_prompter.warning(QStringLiteral("Nincs tárolt adatrekord !"));
    return false;
}

bool TForm1::locateByTitle() {
    const bool found = guardedLookup(m_prompter, [this] {
        const QString title = m_data.FDQuery1.asString(QStringLiteral("CIM"));
        return m_data.FDTable1.locate(QStringLiteral("CIM"), title, false);
    });
    if (!found)
        m_prompter.warning(QStringLiteral("Nem található az adatrekord !"));
    return found;
}

void TForm1::openRecordForm(QWidget* form) {
    if (auto* dialog = qobject_cast<QDialog*>(form))
        dialog->exec();
}

void TForm1::search(SearchColumns columns) {
    recordRefresh();
    const QString answer = m_prompter.input(QStringLiteral("Keresés:"),
                                            QStringLiteral("Keresendő kifejezés:"), QString());
    Query& q = m_data.FDQuery1;
    const QString sql = answer.isEmpty() ? allRecordsStatement() : searchStatement(answer, columns);
    // An answer Latin-2 cannot hold is refused before the grid is touched.
    latin2::encode(answer);
    q.close();
    q.clearSql();
    q.setSql(sql);
    q.open();
    m_prompter.result(QStringLiteral("Találat: %1.").arg(q.recordCount()));
}

// ---- commands ----

void TForm1::Lexikon1Click() {
    command([this] {
        recordRefresh();
        openRecordForm(m_form2);
    });
}

void TForm1::SpeedButton1Click() {
    Lexikon1Click();
}

void TForm1::Felvtel1Click() {
    command([this] { openRecordForm(m_form2); });
}

void TForm1::Keress1Click() {
    command([this] {
        recordRefresh();
        if (recordCheck() && locateByTitle())
            openRecordForm(m_form3);
    });
}

void TForm1::SpeedButton2Click() {
    command([this] {
        if (!recordCheck())
            return;
        recordRefresh();
        if (locateByTitle())
            openRecordForm(m_form3);
    });
}

void TForm1::Mdosts1Click() {
    command([this] {
        if (recordCheck() && locateByTitle())
            openRecordForm(m_form3);
    });
}

void TForm1::Bemutatkozs1Click() {
    command([this] {
        recordRefresh();
        if (recordCheck() && locateByTitle())
            openRecordForm(m_form4);
    });
}

void TForm1::SpeedButton3Click() {
    command([this] {
        if (!recordCheck())
            return;
        recordRefresh();
        if (locateByTitle())
            openRecordForm(m_form4);
    });
}

void TForm1::rls1Click() {
    command([this] {
        if (recordCheck() && locateByTitle())
            openRecordForm(m_form4);
    });
}

void TForm1::Keress3Click() {
    command([this] { search(SearchColumns::Menu); });
}

void TForm1::SpeedButton4Click() {
    command([this] { search(SearchColumns::Toolbar); });
}

void TForm1::Listzs1Click() {
    command([this] {
        recordRefresh();
        if (recordCheck())
            openRecordForm(m_form5);
    });
}

void TForm1::SpeedButton5Click() {
    Listzs1Click();
}

void TForm1::Listzs2Click() {
    command([this] {
        if (recordCheck())
            openRecordForm(m_form5);
    });
}

void TForm1::DBGrid1DblClick() {
    Listzs2Click();
}

void TForm1::Statisztika1Click() {
    command([this] {
        recordRefresh();
        if (recordCheck())
            openRecordForm(m_form6);
    });
}

void TForm1::SpeedButton6Click() {
    Statisztika1Click();
}

void TForm1::Statisztika2Click() {
    command([this] {
        if (recordCheck())
            openRecordForm(m_form6);
    });
}

void TForm1::Bemutatkozs2Click() {
    command([this] { openRecordForm(m_aboutBox); });
}

void TForm1::SpeedButton7Click() {
    Bemutatkozs2Click();
}

void TForm1::Frissts1Click() {
    command([this] { recordRefresh(); });
}

void TForm1::SpeedButton9Click() {
    Frissts1Click();
}

void TForm1::DBGrid1TitleClick(int column) {
    command([this, column] {
        // The grid's columns can be moved: the clicked one is known by its field name.
        const QString field = RecordGridModel::fields().value(column);
        if (RecordGridModel::fields().contains(field))
            m_data.FDQuery1.setSortField(field);
    });
}

} // namespace kx

// Building the main window's controls: toolbar, menus, grid and status bar.
#include "MainCommands.h"
#include "MainWindow.h"
#include "RecordGridModel.h"
#include "platform/DoubleClick.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>

namespace kx {

namespace {

// The caption and the status text are UTF-8 literals.
QAction* addItem(QMenu* menu, const char* name, const char* caption, const char* status) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromLatin1(name));
    a->setStatusTip(QString::fromUtf8(status));
    return a;
}

} // namespace

void MainWindow::buildMenus() {
    mainMenu = menuBar()->addMenu(QStringLiteral("Lehetőségek"));
    mainMenu->setObjectName(QStringLiteral("MainMenu1"));
    mainMenu->menuAction()->setStatusTip(QStringLiteral("Kérem válasszon !"));
    menuEntryAction = addItem(mainMenu, "Lexikon1", "Felvétel", "Adatok felvétele !");
    menuModifyAction = addItem(mainMenu, "Keress1", "Módosítás", "Adatok módosítása !");
    menuDeleteAction = addItem(mainMenu, "Bemutatkozs1", "Törlés", "Adatok törlése !");
    mainMenu->addSeparator();
    menuSearchAction = addItem(mainMenu, "Keress2", "Keresés", "Adatok keresése !");
    mainMenu->addSeparator();
    menuListAction =
        addItem(mainMenu, "Listzs1", "Listázás", "Tárolt adatok áttekintése / listázása !");
    mainMenu->addSeparator();
    menuStatisticsAction = addItem(mainMenu, "Statisztika1", "Statisztika",
                                   "Statisztikai információk a tárolt adatokról !");
    mainMenu->addSeparator();
    menuAboutAction =
        addItem(mainMenu, "Bemutatkozs2", "Bemutatkozás", "Információk a programról !");
    mainMenu->addSeparator();
    menuExitAction = addItem(mainMenu, "Kilps1", "Kilépés", "Program hasznáéatának befejezése !");

    gridMenu = new QMenu(this);
    gridMenu->setObjectName(QStringLiteral("PopupMenu1"));
    gridEntryAction = addItem(gridMenu, "Felvtel1", "Felvétel", "Adatok felvétele !");
    gridModifyAction = addItem(gridMenu, "Mdosts1", "Módosítás", "Adatok módosítása !");
    gridDeleteAction = addItem(gridMenu, "rls1", "Törlés", "Adatok törlése !");
    gridMenu->addSeparator();
    gridSearchAction = addItem(gridMenu, "Keress3", "Keresés", "Adatok keresése !");
    gridMenu->addSeparator();
    gridListAction = addItem(gridMenu, "Listzs2", "Listázás", "Adatok áttekintése / listázása !");
    gridMenu->addSeparator();
    gridStatisticsAction =
        addItem(gridMenu, "Statisztika2", "Statisztika", "Információk a tárolt adatokról !");
    gridMenu->addSeparator();
    gridRefreshAction = addItem(gridMenu, "Frissts1", "Frissítés", "Adatok frissítése !");

    connect(menuExitAction, &QAction::triggered, this, &MainWindow::menuExitTriggered);
}

void MainWindow::buildToolbar(QWidget* bar) {
    struct Button {
        QToolButton** target;
        const char* name;
        int left;
        const char* icon;
        const char* tooltip;
        const char* status;
    };
    const Button buttons[] = {
        {&entryButton, "SpeedButton1", 0, "document-edit", "Felvétel", "Adatok felvétele !"},
        {&modifyButton, "SpeedButton2", 25, "draw-freehand", "Módosítás", "Adatok módosítása !"},
        {&deleteButton, "SpeedButton3", 50, "edit-delete", "Törlés", "Adatok törlése !"},
        {&searchButton, "SpeedButton4", 83, "edit-find", "Keresés", "Adatok keresése !"},
        {&listButton, "SpeedButton5", 116, "document-print", "Listázás",
         "Adatok áttekintése / listázása !"},
        {&statisticsButton, "SpeedButton6", 149, "office-chart-line", "Statisztika",
         "Információk a  tárolt adatokról !"},
        {&aboutButton, "SpeedButton7", 185, "help-about", "Bemutatkozás",
         "Információk a programról !"},
        {&refreshButton, "SpeedButton9", 480, "view-refresh", "Frissítés", "Adatok frissítése !"},
        {&closeButton, "SpeedButton8", 777, "application-exit", "Befejezés",
         "Kilépés a prugramból !"},
    };
    for (const Button& b : buttons) {
        auto* button = new QToolButton(bar);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(b.left, 0, 25, 25);
        button->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(b.icon))));
        button->setIconSize(QSize(16, 16));
        button->setAutoRaise(true);
        button->setToolTip(QString::fromUtf8(b.tooltip));
        button->setStatusTip(QString::fromUtf8(b.status));
        button->setAccessibleName(QString::fromUtf8(b.tooltip)); // picture-only button
        button->setFocusPolicy(Qt::NoFocus);
        *b.target = button;
    }
    connect(closeButton, &QToolButton::clicked, this, &MainWindow::closeClicked);
}

// Each record command runs from every entry point the command table names for it.
void MainWindow::connectCommands() {
    for (const MainCommand& c : mainCommands()) {
        const QString name = c.entryPoint;
        const auto run = [this, &c] { dispatch(c); };
        if (name == recordGrid->objectName()) {
            // Anywhere in the grid, rows or none: the command's record check speaks for an
            // empty one.
            onDoubleClick(recordGrid->viewport(), run);
            continue;
        }
        QAction* action = mainMenu->findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
        if (!action)
            action = gridMenu->findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
        if (action) {
            connect(action, &QAction::triggered, this, run);
            continue;
        }
        QWidget* toolbar = entryButton->parentWidget();
        auto* button = toolbar->findChild<QToolButton*>(name, Qt::FindDirectChildrenOnly);
        Q_ASSERT(button); // every entry point of the table exists
        if (button)
            connect(button, &QToolButton::clicked, this, run);
    }
}

void MainWindow::buildGrid(QWidget* parent) {
    recordGrid = new QTableView(parent);
    recordGrid->setObjectName(QStringLiteral("DBGrid1"));
    recordGrid->setGeometry(0, 25, 802, 552);
    recordGrid->setModel(m_gridModel);
    recordGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    recordGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    recordGrid->setTabKeyNavigation(true);
    recordGrid->setShowGrid(true);
    recordGrid->setWordWrap(false);
    recordGrid->setToolTip(QStringLiteral("Használja a jobb egérgombot"));
    recordGrid->setStatusTip(QStringLiteral("Használja a jobb egérgombot !"));
    recordGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    QFont cellFont(QStringLiteral("Tahoma"));
    cellFont.setPointSize(8);
    recordGrid->setFont(cellFont);

    // The row indicator at the left; rows as high as one line of text.
    QHeaderView* rows = recordGrid->verticalHeader();
    rows->setFixedWidth(12);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(cellFont).height() + 6);

    QHeaderView* titles = recordGrid->horizontalHeader();
    QFont titleFont = cellFont;
    titleFont.setBold(true);
    titles->setFont(titleFont);
    titles->setSectionsClickable(true);
    titles->setHighlightSections(true);
    titles->setSectionsMovable(true);
    titles->setSortIndicatorShown(false);
    for (int i = 0; i < RecordGridModel::widths().size(); ++i)
        recordGrid->setColumnWidth(i, RecordGridModel::widths()[i]);

    connect(titles, &QHeaderView::sectionClicked, this, &MainWindow::gridTitleClicked);
    connect(recordGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        gridMenu->popup(recordGrid->viewport()->mapToGlobal(pos));
    });
}

void MainWindow::buildStatusBar() {
    // Panel 0 shows the long hint under the mouse, panel 1 the clock.
    m_panel0 = new QLabel(this);
    m_panel0->setObjectName(QStringLiteral("StatusBar1Panel0"));
    m_panel0->setFixedWidth(500);
    m_panel1 = new QLabel(this);
    m_panel1->setObjectName(QStringLiteral("StatusBar1Panel1"));
    m_panel1->setFixedWidth(200);
    m_panel1->setAlignment(Qt::AlignCenter);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setFixedHeight(19);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(m_panel0);
    statusBar()->addWidget(m_panel1);
}

} // namespace kx

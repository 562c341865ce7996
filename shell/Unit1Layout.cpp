// Building the main window's controls: toolbar, menus, grid and status bar.
#include "RecordGridModel.h"
#include "Unit1.h"
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

void TForm1::buildMenus() {
    MainMenu1 = menuBar()->addMenu(QStringLiteral("Lehetőségek"));
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->menuAction()->setStatusTip(QStringLiteral("Kérem válasszon !"));
    Lexikon1 = addItem(MainMenu1, "Lexikon1", "Felvétel", "Adatok felvétele !");
    Keress1 = addItem(MainMenu1, "Keress1", "Módosítás", "Adatok módosítása !");
    Bemutatkozs1 = addItem(MainMenu1, "Bemutatkozs1", "Törlés", "Adatok törlése !");
    MainMenu1->addSeparator();
    Keress2 = addItem(MainMenu1, "Keress2", "Keresés", "Adatok keresése !");
    MainMenu1->addSeparator();
    Listzs1 = addItem(MainMenu1, "Listzs1", "Listázás", "Tárolt adatok áttekintése / listázása !");
    MainMenu1->addSeparator();
    Statisztika1 = addItem(MainMenu1, "Statisztika1", "Statisztika",
                           "Statisztikai információk a tárolt adatokról !");
    MainMenu1->addSeparator();
    Bemutatkozs2 = addItem(MainMenu1, "Bemutatkozs2", "Bemutatkozás", "Információk a programról !");
    MainMenu1->addSeparator();
    Kilps1 = addItem(MainMenu1, "Kilps1", "Kilépés", "Program hasznáéatának befejezése !");

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Felvtel1 = addItem(PopupMenu1, "Felvtel1", "Felvétel", "Adatok felvétele !");
    Mdosts1 = addItem(PopupMenu1, "Mdosts1", "Módosítás", "Adatok módosítása !");
    rls1 = addItem(PopupMenu1, "rls1", "Törlés", "Adatok törlése !");
    PopupMenu1->addSeparator();
    Keress3 = addItem(PopupMenu1, "Keress3", "Keresés", "Adatok keresése !");
    PopupMenu1->addSeparator();
    Listzs2 = addItem(PopupMenu1, "Listzs2", "Listázás", "Adatok áttekintése / listázása !");
    PopupMenu1->addSeparator();
    Statisztika2 =
        addItem(PopupMenu1, "Statisztika2", "Statisztika", "Információk a tárolt adatokról !");
    PopupMenu1->addSeparator();
    Frissts1 = addItem(PopupMenu1, "Frissts1", "Frissítés", "Adatok frissítése !");

    const std::pair<QAction*, void (TForm1::*)()> handlers[] = {
        {Lexikon1, &TForm1::Lexikon1Click},
        {Keress1, &TForm1::Keress1Click},
        {Bemutatkozs1, &TForm1::Bemutatkozs1Click},
        {Keress2, &TForm1::Keress3Click},
        {Listzs1, &TForm1::Listzs1Click},
        {Statisztika1, &TForm1::Statisztika1Click},
        {Bemutatkozs2, &TForm1::Bemutatkozs2Click},
        {Kilps1, &TForm1::Kilps1Click},
        {Felvtel1, &TForm1::Felvtel1Click},
        {Mdosts1, &TForm1::Mdosts1Click},
        {rls1, &TForm1::rls1Click},
        {Keress3, &TForm1::Keress3Click},
        {Listzs2, &TForm1::Listzs2Click},
        {Statisztika2, &TForm1::Statisztika2Click},
        {Frissts1, &TForm1::Frissts1Click}};
    for (const auto& [action, handler] : handlers)
        connect(action, &QAction::triggered, this, handler);
}

void TForm1::buildToolbar(QWidget* bar) {
    struct Button {
        QToolButton** target;
        const char* name;
        int left;
        const char* icon;
        const char* tooltip;
        const char* status;
        void (TForm1::*handler)();
    };
    const Button buttons[] = {
        {&SpeedButton1, "SpeedButton1", 0, "document-edit", "Felvétel", "Adatok felvétele !",
         &TForm1::SpeedButton1Click},
        {&SpeedButton2, "SpeedButton2", 25, "draw-freehand", "Módosítás", "Adatok módosítása !",
         &TForm1::SpeedButton2Click},
        {&SpeedButton3, "SpeedButton3", 50, "edit-delete", "Törlés", "Adatok törlése !",
         &TForm1::SpeedButton3Click},
        {&SpeedButton4, "SpeedButton4", 83, "edit-find", "Keresés", "Adatok keresése !",
         &TForm1::SpeedButton4Click},
        {&SpeedButton5, "SpeedButton5", 116, "document-print", "Listázás",
         "Adatok áttekintése / listázása !", &TForm1::SpeedButton5Click},
        {&SpeedButton6, "SpeedButton6", 149, "office-chart-line", "Statisztika",
         "Információk a  tárolt adatokról !", &TForm1::SpeedButton6Click},
        {&SpeedButton7, "SpeedButton7", 185, "help-about", "Bemutatkozás",
         "Információk a programról !", &TForm1::SpeedButton7Click},
        {&SpeedButton9, "SpeedButton9", 480, "view-refresh", "Frissítés", "Adatok frissítése !",
         &TForm1::SpeedButton9Click},
        {&SpeedButton8, "SpeedButton8", 777, "application-exit", "Befejezés",
         "Kilépés a prugramból !", &TForm1::SpeedButton8Click},
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
        connect(button, &QToolButton::clicked, this, b.handler);
        *b.target = button;
    }
}

void TForm1::buildGrid(QWidget* parent) {
    DBGrid1 = new QTableView(parent);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(0, 25, 802, 552);
    DBGrid1->setModel(m_gridModel);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setTabKeyNavigation(true);
    DBGrid1->setShowGrid(true);
    DBGrid1->setWordWrap(false);
    DBGrid1->setToolTip(QStringLiteral("Használja a jobb egérgombot"));
    DBGrid1->setStatusTip(QStringLiteral("Használja a jobb egérgombot !"));
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    QFont cellFont(QStringLiteral("Tahoma"));
    cellFont.setPointSize(8);
    DBGrid1->setFont(cellFont);

    // The row indicator at the left; rows as high as one line of text.
    QHeaderView* rows = DBGrid1->verticalHeader();
    rows->setFixedWidth(12);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(cellFont).height() + 6);

    QHeaderView* titles = DBGrid1->horizontalHeader();
    QFont titleFont = cellFont;
    titleFont.setBold(true);
    titles->setFont(titleFont);
    titles->setSectionsClickable(true);
    titles->setHighlightSections(true);
    titles->setSectionsMovable(true);
    titles->setSortIndicatorShown(false);
    for (int i = 0; i < RecordGridModel::widths().size(); ++i)
        DBGrid1->setColumnWidth(i, RecordGridModel::widths()[i]);

    connect(titles, &QHeaderView::sectionClicked, this, &TForm1::DBGrid1TitleClick);
    // Anywhere in the grid, rows or none: the command's record check speaks for an empty one.
    onDoubleClick(DBGrid1->viewport(), [this] { DBGrid1DblClick(); });
    connect(DBGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(pos));
    });
}

void TForm1::buildStatusBar() {
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

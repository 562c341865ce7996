#include "Unit6.h"

#include "Figures.h"
#include "ResultGridModel.h"
#include "data/DbError.h"
#include "data/SharedData.h"
#include "platform/CommandRunner.h"
#include "platform/FormStyle.h"
#include "platform/Hints.h"
#include "platform/Progress.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"

#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTableView>

namespace kx {

namespace {

constexpr int kClientWidth = 645;
constexpr int kClientHeight = 520;
constexpr int kTopStripHeight = 41;
// The rows a whole collection writes: the progress window's total.
constexpr int kFigureCount = 18;

QPushButton* stripButton(QWidget* strip, const char* name, const QString& caption,
                         const QString& hint, QStyle::StandardPixmap icon, int x) {
    auto* button = new QPushButton(strip->style()->standardIcon(icon), caption, strip);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, 8, 100, 25);
    // Tooltip, and the long hint on the main window's status line, as on the other windows.
    setHint(button, hint);
    return button;
}

// The label of each figure, in the order the rows are written.
QString label(int row) {
    static const char* const labels[] = {
        "Tárolt adatrekordok száma",
        "Típusok száma",
        "Leggyakoribb típus",
        "Legritkább típus",
        "Kategóriák száma",
        "Leggyakoribb kategória",
        "Legritkább kategória",
        "Felvevők száma",
        "Leggyakoribb felvevő",
        "Legritkább felvevő",
        "Rekordok száma, melyekhez fájlok lettek csatolva",
        "Fájl típusok száma",
        "Leggyakoribb fájl típus",
        "Legritkább fájl típus",
        "Rekordok száma, melyeknél a csatolt fájl > 100 Kbyte",
        "Rekordok száma, melyeknél a csatolt fájl > 1 Mbyte",
        "Rekordok száma, melyekhez fotó lett tárolva",
        "Rekordok száma, melyekhez fotó nem lett tárolva",
    };
    return QString::fromUtf8(labels[row - 1]);
}

} // namespace

TForm6::TForm6(SharedData& shared, Prompter& prompter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_data(shared), m_prompter(prompter), m_rows(shared.FDTable4) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Statisztikai adatok:"));
    setModal(true);
    applyDialogLook(this, kClientWidth, kClientHeight);
    buildTopStrip();
    buildGrid();
    setTabOrder(BitBtn2, BitBtn1);
    setTabOrder(BitBtn1, DBGrid1);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm6::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm6::BitBtn1Click);
    enterPressesOnlyFocusedButton(this);
}

TForm6::~TForm6() = default;

void TForm6::buildTopStrip() {
    auto* strip = new QFrame(this);
    strip->setObjectName(QStringLiteral("Panel1"));
    strip->setFrameStyle(QFrame::Panel | QFrame::Raised);
    strip->setGeometry(0, 0, kClientWidth, kTopStripHeight);

    BitBtn2 = stripButton(strip, "BitBtn2", QStringLiteral("Adatgyűjtés"),
                          QStringLiteral("Adatok összegyűjtése !"), QStyle::SP_BrowserReload, 8);
    BitBtn1 =
        stripButton(strip, "BitBtn1", QStringLiteral("Befejezés"), QStringLiteral("Befejezés !"),
                    QStyle::SP_DialogCloseButton, kClientWidth - 108);

    Label1 = new QLabel(QStringLiteral("Sorok száma"), strip);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(200, 5, 245, 14);
    styleFieldLabel(Label1);
    Label2 = new QLabel(strip);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setGeometry(200, 21, 245, 14);
    styleValue(Label2);
}

void TForm6::buildGrid() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel2"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(0, kTopStripHeight, kClientWidth, kClientHeight - kTopStripHeight);

    DataSource2 = new ResultGridModel(m_data.FDTable4, this);
    DataSource2->setObjectName(QStringLiteral("DataSource2"));
    DBGrid1 = new QTableView(panel);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(8, 8, kClientWidth - 16, kClientHeight - kTopStripHeight - 16);
    DBGrid1->setModel(DataSource2);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setSortingEnabled(false);
    DBGrid1->setWordWrap(false);
    styleValue(DBGrid1);

    QHeaderView* rows = DBGrid1->verticalHeader();
    rows->setFixedWidth(12);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(font()).height() + 6);

    // Titles in bold navy; a click on them does nothing.
    QHeaderView* titles = DBGrid1->horizontalHeader();
    QFont titleFont = font();
    titleFont.setBold(true);
    titles->setFont(titleFont);
    titles->setSectionsClickable(false);
    titles->setSortIndicatorShown(false);
    for (int i = 0; i < ResultGridModel::widths().size(); ++i)
        DBGrid1->setColumnWidth(i, ResultGridModel::widths()[i]);
}

void TForm6::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        centreOnScreen(this);
        FormShow();
    }
}

void TForm6::keyPressEvent(QKeyEvent* event) {
    // Only "Befejezés" and the title bar close the window; Escape does nothing.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm6::FormShow() {
    // Without a tag of its own the showing must not collect: its rows could not be told
    // from another workstation's.
    BitBtn2->setEnabled(false);
    DataSource2->clear();
    Label2->setText(QStringLiteral("0"));
    runCommand(m_prompter, [this] {
        m_rows.startShowing();
        showRows();
        BitBtn2->setEnabled(true);
    });
}

void TForm6::showRows() {
    DataSource2->reload();
    Label2->setText(QString::number(DataSource2->rowCount()));
}

void TForm6::BitBtn2Click() {
    if (!m_rows.hasTag())
        return;
    // A showing collects once, whether or not the collection gets to its end.
    BitBtn2->setEnabled(false);
    runCommand(m_prompter, [this] { collect(); });
    // The row counter tells what the grid holds; after a failure that is the rows written
    // so far, read after each of them, so no statement is needed here.
    Label2->setText(QString::number(DataSource2->rowCount()));
}

void TForm6::collect() {
    ScreenCursor::set(CursorShape::Busy);
    m_data.FDTable1.refresh();
    m_data.FDQuery1.refresh();

    int row = 0;
    const std::unique_ptr<Progress> progress =
        m_prompter.progress(QStringLiteral("Adatgyűjtés..."), kFigureCount);
    const auto write = [this, &row, &progress](const QString& value) {
        m_rows.write(label(++row), value);
        DataSource2->reload();
        // "Mégse" ends the collection as a declined retry does: the rows written so far stay
        // on show and are deleted on closing.
        if (!progress->step(row)) {
            ScreenCursor::set(CursorShape::Default);
            throw SilentAbort{};
        }
    };
    const auto number = [](qint64 n) { return QString::number(n); };

    write(number(m_data.FDTable1.recordCount()));

    struct Grouping {
        const char* column;
        const char* alias;
        bool withValues;
        bool filterOnCount;
    };
    // The file-type grouping is filtered on its count, which hides only the NULL group: an
    // empty but stored file type is a group of its own.
    const Grouping groupings[] = {{"TIP", "CTIP", true, false},
                                  {"KAT", "CKAT", true, false},
                                  {"FELVEV", "CFELVEV", true, false},
                                  {"FNEV", "CFNEV", false, false},
                                  {"FTIP", "CFTIP", true, true}};
    for (const Grouping& g : groupings) {
        const QString column = QString::fromLatin1(g.column);
        const QString alias = QString::fromLatin1(g.alias);
        const QString filter =
            g.filterOnCount ? alias + QStringLiteral(" > 0") : nonEmptyFilter(column);
        const GroupedCount counted = groupedCount(m_data.FDQuery2, column, alias, filter);
        write(number(counted.groups));
        if (g.withValues) {
            write(counted.mostFrequent);
            write(counted.rarest);
        }
    }

    m_data.FDTable1.refresh();
    const RecordPass pass = recordPass(m_data.FDTable1);
    write(number(pass.over100KB));
    write(number(pass.over1MB));
    write(number(pass.withPhoto));
    write(number(pass.withoutPhoto));
    ScreenCursor::set(CursorShape::Default);
}

void TForm6::BitBtn1Click() {
    done(QDialog::Rejected);
}

void TForm6::done(int result) {
    if (isVisible()) {
        runCommand(m_prompter, [this] { m_rows.removeAll(); });
        DataSource2->clear();
        Label2->setText(QStringLiteral("0"));
    }
    QDialog::done(result);
}

} // namespace kx

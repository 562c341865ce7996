#include "StatisticsWindow.h"

#include "Figures.h"
#include "ResultGridModel.h"
#include "data/Columns.h"
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
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>

namespace kx {

namespace {

constexpr int kClientWidth = 645;
constexpr int kClientHeight = 520;
constexpr int kTopStripHeight = 41;
// The rows a whole collection writes; with the records of the pass, the progress's total.
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

// Writes the figures' rows in order and moves the progress by each of them. "Mégse" ends the
// collection as a declined retry does: the rows written so far stay on show and are deleted
// on closing.
class FigureWriter {
public:
    FigureWriter(ResultRows& rows, ResultGridModel& model, Progress& progress)
        : m_rows(rows), m_model(model), m_progress(progress) {}

    void write(const QString& value) {
        m_rows.write(label(++m_row), value);
        m_model.reload();
        step(++m_reached);
    }
    void write(qint64 number) {
        write(QString::number(number));
    }
    // The steps the progress has made, the rows and the records of the pass.
    qint64 reached() const {
        return m_reached;
    }
    // Moves the count on without a step of its own: the next row makes it.
    void passedTo(qint64 at) {
        m_reached = at;
    }
    void step(qint64 at) {
        m_reached = at;
        if (!m_progress.step(at)) {
            ScreenCursor::set(CursorShape::Default);
            throw SilentAbort{};
        }
    }

private:
    ResultRows& m_rows;
    ResultGridModel& m_model;
    Progress& m_progress;
    int m_row = 0;
    qint64 m_reached = 0;
};

// Rows 2 to 14: for each grouping its number of groups and, for most, the most frequent and
// the rarest value.
void writeGroupedCounts(Query& probe, FigureWriter& writer) {
    struct Grouping {
        QLatin1StringView field;
        const char* alias;
        bool withValues;
        bool filterOnCount;
    };
    // The file-type grouping is filtered on its count, which hides only the NULL group: an
    // empty but stored file type is a group of its own.
    const Grouping groupings[] = {{column::type, "CTIP", true, false},
                                  {column::category, "CKAT", true, false},
                                  {column::recorder, "CFELVEV", true, false},
                                  {column::fileName, "CFNEV", false, false},
                                  {column::fileType, "CFTIP", true, true}};
    for (const Grouping& g : groupings) {
        const QString field = g.field;
        const QString alias = QString::fromLatin1(g.alias);
        const QString filter =
            g.filterOnCount ? alias + QStringLiteral(" > 0") : nonEmptyFilter(field);
        const GroupedCount counted = groupedCount(probe, field, alias, filter);
        writer.write(counted.groups);
        if (g.withValues) {
            writer.write(counted.mostFrequent);
            writer.write(counted.rarest);
        }
    }
}

// Rows 15 to 18, from one pass over the records; each record is a step of the progress.
void writePassFigures(Table& records, qint64 stored, FigureWriter& writer) {
    records.refresh();
    const qint64 beforePass = writer.reached();
    const RecordPass pass = recordPass(
        records, [&](qint64 counted) { writer.step(beforePass + qMin(counted, stored)); });
    // However many records the pass met, it has made as many steps as row 1 counts.
    writer.passedTo(beforePass + stored);
    writer.write(pass.over100KB);
    writer.write(pass.over1MB);
    writer.write(pass.withPhoto);
    writer.write(pass.withoutPhoto);
}

} // namespace

StatisticsWindow::StatisticsWindow(SharedData& shared, Prompter& prompter, QWidget* parent)
    : SecondaryWindow(QStringLiteral("Form6"), QStringLiteral("Statisztikai adatok:"),
                      QSize(kClientWidth, kClientHeight), parent),
      m_data(shared), m_prompter(prompter), m_rows(shared.resultTable) {
    buildTopStrip();
    buildGrid();
    setTabOrder(collectButton, closeButton);
    setTabOrder(closeButton, resultGrid);
    connect(collectButton, &QPushButton::clicked, this, &StatisticsWindow::collectClicked);
    connect(closeButton, &QPushButton::clicked, this, &StatisticsWindow::closeClicked);
    enterPressesOnlyFocusedButton(this);
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::buildTopStrip() {
    auto* strip = new QFrame(this);
    strip->setObjectName(QStringLiteral("Panel1"));
    strip->setFrameStyle(QFrame::Panel | QFrame::Raised);
    strip->setGeometry(0, 0, kClientWidth, kTopStripHeight);

    collectButton =
        stripButton(strip, "BitBtn2", QStringLiteral("Adatgyűjtés"),
                    QStringLiteral("Adatok összegyűjtése !"), QStyle::SP_BrowserReload, 8);
    closeButton =
        stripButton(strip, "BitBtn1", QStringLiteral("Befejezés"), QStringLiteral("Befejezés !"),
                    QStyle::SP_DialogCloseButton, kClientWidth - 108);

    rowCountCaption = new QLabel(QStringLiteral("Sorok száma"), strip);
    rowCountCaption->setObjectName(QStringLiteral("Label1"));
    rowCountCaption->setAlignment(Qt::AlignCenter);
    rowCountCaption->setGeometry(200, 5, 245, 14);
    styleFieldLabel(rowCountCaption);
    rowCountLabel = new QLabel(strip);
    rowCountLabel->setObjectName(QStringLiteral("Label2"));
    rowCountLabel->setAlignment(Qt::AlignCenter);
    rowCountLabel->setGeometry(200, 21, 245, 14);
    styleValue(rowCountLabel);
}

void StatisticsWindow::buildGrid() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel2"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(0, kTopStripHeight, kClientWidth, kClientHeight - kTopStripHeight);

    resultModel = new ResultGridModel(m_data.resultTable, this);
    resultModel->setObjectName(QStringLiteral("DataSource2"));
    resultGrid = new QTableView(panel);
    resultGrid->setObjectName(QStringLiteral("DBGrid1"));
    resultGrid->setGeometry(8, 8, kClientWidth - 16, kClientHeight - kTopStripHeight - 16);
    resultGrid->setModel(resultModel);
    resultGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    resultGrid->setSortingEnabled(false);
    resultGrid->setWordWrap(false);
    styleValue(resultGrid);

    QHeaderView* rows = resultGrid->verticalHeader();
    rows->setFixedWidth(12);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(font()).height() + 6);

    // Titles in bold navy; a click on them does nothing.
    QHeaderView* titles = resultGrid->horizontalHeader();
    QFont titleFont = font();
    titleFont.setBold(true);
    titles->setFont(titleFont);
    titles->setSectionsClickable(false);
    titles->setSortIndicatorShown(false);
    for (int i = 0; i < ResultGridModel::widths().size(); ++i)
        resultGrid->setColumnWidth(i, ResultGridModel::widths()[i]);
}

void StatisticsWindow::prepareShowing() {
    // Without a tag of its own the showing must not collect: its rows could not be told
    // from another workstation's.
    collectButton->setEnabled(false);
    resultModel->clear();
    rowCountLabel->setText(QStringLiteral("0"));
    runCommand(m_prompter, [this] {
        m_rows.startShowing();
        showRows();
        collectButton->setEnabled(true);
    });
}

void StatisticsWindow::showRows() {
    resultModel->reload();
    rowCountLabel->setText(QString::number(resultModel->rowCount()));
}

void StatisticsWindow::collectClicked() {
    if (!m_rows.hasTag())
        return;
    // A showing collects once, whether or not the collection gets to its end.
    collectButton->setEnabled(false);
    runCommand(m_prompter, [this] { collect(); });
    // The row counter tells what the grid holds; after a failure that is the rows written
    // so far, read after each of them, so no statement is needed here.
    rowCountLabel->setText(QString::number(resultModel->rowCount()));
}

void StatisticsWindow::collect() {
    ScreenCursor::set(CursorShape::Busy);
    m_data.records.refresh();
    // The progress counts the rows written and, between rows 14 and 15, the records of the
    // pass, which is most of the work on a large store: every record is a step, so "Mégse"
    // is heard and the windows repaint all through it. The pass is expected to meet as many
    // records as row 1 counts; records stored meanwhile elsewhere do not push it further.
    const qint64 stored = m_data.records.storedCount();
    const std::unique_ptr<Progress> progress =
        m_prompter.progress(QStringLiteral("Adatgyűjtés..."), kFigureCount + stored);
    FigureWriter writer(m_rows, *resultModel, *progress);
    writer.write(stored);
    writeGroupedCounts(m_data.probeQuery, writer);
    writePassFigures(m_data.recordTable, stored, writer);
    ScreenCursor::set(CursorShape::Default);
}

void StatisticsWindow::closeClicked() {
    done(QDialog::Rejected);
}

void StatisticsWindow::done(int result) {
    if (isVisible()) {
        runCommand(m_prompter, [this] { m_rows.removeAll(); });
        resultModel->clear();
        rowCountLabel->setText(QStringLiteral("0"));
    }
    QDialog::done(result);
}

} // namespace kx

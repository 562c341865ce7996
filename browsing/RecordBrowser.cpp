#include "RecordBrowser.h"

#include "PhotoView.h"
#include "RecordNavigator.h"
#include "Reference.h"
#include "data/records/Columns.h"
#include "data/records/RecordSearch.h"
#include "data/records/SharedData.h"
#include "data/sql/DbError.h"
#include "data/sql/DeviceWrite.h"
#include "platform/Progress.h"
#include "platform/ProgressWriter.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"
#include "platform/ShellRequests.h"
#include "policy/CommandRunner.h"
#include "policy/RecordRefresh.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <cerrno>
#include <stdexcept>

namespace kx {

namespace {

const RecordView::Names& browserNames() {
    static const RecordView::Names names{
        {"DBEdit1", "DBEdit2", "DBEdit3", "DBEdit4", "DBEdit5", "DBEdit6", "DBEdit7", "DBEdit8"},
        "DBMemo1",
        "DBImage1"};
    return names;
}

// Where the save dialog starts: the system drive's root where there is one.
QString saveFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\");
#else
    return QDir::homePath();
#endif
}

} // namespace

RecordBrowser::RecordBrowser(SharedData& shared, Prompter& prompter, QWidget* parent)
    : RecordView(prompter, QStringLiteral("Form5"), QStringLiteral("Adatok áttekintése:"),
                 browserNames(), false, parent),
      m_data(shared), m_shell(&desktopShell()) {
    navigator = new RecordNavigator(m_data.recordQuery, m_prompter, commandStrip);
    navigator->move(8, 8);
    printRecordButton =
        addStripButton("SpeedButton1", QString(), QStringLiteral("Nyomtat|Nyomtatás !"),
                       QIcon(QStringLiteral(":/icons/document-print.png")), 141);
    printListButton =
        addStripButton("SpeedButton2", QString(), QStringLiteral("Listáz|Adatok listázása !"),
                       style()->standardIcon(QStyle::SP_FileDialogDetailedView), 166);
    searchButton =
        addStripButton("SpeedButton3", QString(), QStringLiteral("Keresés|Adatok keresése !"),
                       QIcon(QStringLiteral(":/icons/edit-find.png")), 191);
    saveFileButton = addStripButton("SpeedButton4", QString(),
                                    QStringLiteral("Tárolt fájl mentése|Tárolt fájl mentése !"),
                                    style()->standardIcon(QStyle::SP_DialogSaveButton), 216);
    connect(printRecordButton, &QPushButton::clicked, this, &RecordBrowser::printRecordClicked);
    connect(printListButton, &QPushButton::clicked, this, &RecordBrowser::printListClicked);
    connect(searchButton, &QPushButton::clicked, this, &RecordBrowser::searchClicked);
    connect(saveFileButton, &QPushButton::clicked, this, &RecordBrowser::saveFileClicked);

    connect(referenceEdit, &QLineEdit::textChanged, this, &RecordBrowser::referenceChanged);
    referenceEdit->installEventFilter(this);
    referenceChanged();

    // The fields follow the record query while the window is shown; hidden, it reads nothing.
    connect(&m_data.recordQuery, &DataSetBase::currentChanged, this, [this] {
        if (isVisible() && m_followQuery)
            runCommand(m_prompter, [this] { showCurrentRecord(); });
    });
}

void RecordBrowser::setShell(ShellRequests& shell) {
    m_shell = &shell;
}

void RecordBrowser::prepareShowing() {
    runCommand(m_prompter, [this] {
        showCount(m_data.records.shownCount());
        // Drawn plainly again; the menu's marks stay as the user left them.
        photo->setCentred(false);
        photo->setStretched(false);
        showCurrentRecord();
    });
}

void RecordBrowser::showCurrentRecord() {
    Query& q = m_data.recordQuery;
    if (q.isOpen())
        showRecord(q);
    else
        emptyFields(); // a search whose statement failed leaves the query closed
}

bool RecordBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == referenceEdit && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            referenceEdit->rect().contains(mouse->position().toPoint()))
            referenceClicked();
    }
    return RecordView::eventFilter(watched, event);
}

void RecordBrowser::referenceChanged() {
    const ReferenceKind kind = referenceKind(referenceEdit->text());
    setHint(referenceEdit, referenceHint(kind));
    // Blank: the edit's own text cursor, as in every other field.
    referenceEdit->setCursor(kind == ReferenceKind::Blank ? Qt::IBeamCursor
                                                          : Qt::PointingHandCursor);
}

void RecordBrowser::referenceClicked() {
    runCommand(m_prompter, [this] {
        const QString reference = referenceEdit->text();
        switch (referenceKind(reference)) {
        case ReferenceKind::WebAddress:
            m_shell->open(reference); // a failure to open is not reported
            break;
        case ReferenceKind::SearchTerm: {
            recordRefresh();
            const QString answer = m_prompter.input(
                QStringLiteral("Keresés:"), QStringLiteral("Keresendő kifejezés:"), reference);
            // Cancelling the prompt keeps the text it proposed. The counter stays as it was.
            search(answer.isNull() ? reference : answer);
            reportHits();
            break;
        }
        case ReferenceKind::Blank:
            break;
        }
    });
}

void RecordBrowser::printRecordClicked() {
    runCommand(m_prompter, [this] {
        if (showSingleRecordReport)
            showSingleRecordReport();
    });
}

void RecordBrowser::printListClicked() {
    runCommand(m_prompter, [this] {
        if (!showRecordListReport)
            return;
        // The printout walks the whole record query; the fields catch up once, afterwards,
        // instead of reading every record's photo on the way.
        m_followQuery = false;
        try {
            showRecordListReport();
        } catch (...) {
            m_followQuery = true;
            showCurrentRecord();
            throw;
        }
        m_followQuery = true;
        showCurrentRecord();
    });
}

void RecordBrowser::searchClicked() {
    runCommand(m_prompter, [this] {
        const QString answer = m_prompter.input(QStringLiteral("Keresés:"),
                                                QStringLiteral("Keresendő kifejezés:"), QString());
        search(answer);
        showCount(m_data.records.shownCount());
        reportHits();
    });
}

void RecordBrowser::saveFileClicked() {
    runCommand(m_prompter, [this] { saveStoredFile(); });
}

// The record table and then the record query read again from the server.
void RecordBrowser::recordRefresh() {
    refreshUnderBusyCursor(m_data.records);
}

// The statement of the main window's toolbar search: all ten text columns of a record; an
// empty answer brings every record back.
void RecordBrowser::search(const QString& answer) {
    m_data.records.search(answer, SearchColumns::Toolbar);
}

void RecordBrowser::reportHits() {
    m_prompter.result(RecordService::hitsText(m_data.records.shownCount()));
}

void RecordBrowser::saveStoredFile() {
    Query& q = m_data.recordQuery;
    const QString file = column::file;
    const auto noFile = [this] {
        m_prompter.warning(QStringLiteral("Nincs tárolt fájl ehhez a rekordhoz !"));
    };
    // Asked of the server at every save, not taken from what the row showed: another
    // workstation may have deleted the record, or its file, since it was read.
    if (!q.isOpen() || !q.storedBlobSize(file)) {
        noFile();
        return;
    }
    const QString path = m_prompter.saveFile(saveFolder(), q.asString(column::fileName));
    if (path.isEmpty())
        return;
    // Again after the dialog, which may have stood open for a while.
    const std::optional<qint64> stored = q.storedBlobSize(file);
    if (!stored) {
        noFile();
        return;
    }
    // Written under a temporary name beside the target and put in its place only when whole:
    // a failed or cancelled save leaves the chosen name as it was. The value is copied piece
    // by piece, so memory does not grow with the file. The pieces go to the system as they
    // come, without the file's own buffer: a write that fails is then seen at once, with its
    // cause, where a buffer emptied at the end could leave a truncated file in place.
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw std::runtime_error(QStringLiteral("A(z) \"%1\" fájl nem hozható létre. %2")
                                     .arg(QDir::toNativeSeparators(path), target.errorString())
                                     .toStdString());
    const qint64 size = *stored;
    const std::unique_ptr<Progress> progress =
        size > kProgressFileBytes
            ? m_prompter.progress(
                  QStringLiteral("Tárolt fájl mentése: %1").arg(QFileInfo(path).fileName()), size)
            : nullptr;
    ProgressWriter writer(target, progress.get());
    std::optional<qint64> saved;
    try {
        saved = q.saveStoredBlobTo(file, writer);
    } catch (const DbError&) {
        if (writer.cancelled())
            throw SilentAbort{}; // the user stopped it; the temporary file goes with target
        throw;
    }
    if (!saved) {
        noFile(); // gone in the last moment: the temporary file goes with target
        return;
    }
    errno = 0;
    if (!target.commit())
        throw std::runtime_error(
            QStringLiteral("A(z) \"%1\" fájl írása nem sikerült. %2")
                .arg(QDir::toNativeSeparators(path), writeFailureText(target, errno))
                .toStdString());
}

} // namespace kx

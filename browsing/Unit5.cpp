#include "Unit5.h"

#include "PhotoView.h"
#include "RecordNavigator.h"
#include "Reference.h"
#include "data/DbError.h"
#include "data/Latin2.h"
#include "data/RecordSearch.h"
#include "data/SharedData.h"
#include "platform/CommandRunner.h"
#include "platform/Progress.h"
#include "platform/ProgressWriter.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"
#include "platform/ShellRequests.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
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

TForm5::TForm5(SharedData& shared, Prompter& prompter, QWidget* parent)
    : RecordView(prompter, QStringLiteral("Form5"), QStringLiteral("Adatok áttekintése:"),
                 browserNames(), false, parent),
      m_data(shared), m_shell(&desktopShell()) {
    DBEdit1 = m_fields[Title];
    DBEdit2 = m_fields[Type];
    DBEdit3 = m_fields[Category];
    DBEdit4 = m_fields[Keywords];
    DBEdit5 = m_fields[Reference];
    DBEdit6 = m_fields[Recorder];
    DBEdit7 = m_fields[Date];
    DBEdit8 = m_fields[FileName];
    DBMemo1 = m_memo;
    DBImage1 = photo->image;

    DBNavigator1 = new RecordNavigator(m_data.FDQuery1, m_prompter, Panel1);
    DBNavigator1->move(8, 8);
    SpeedButton1 = addStripButton("SpeedButton1", QString(), QStringLiteral("Nyomtat|Nyomtatás !"),
                                  QIcon(QStringLiteral(":/icons/document-print.png")), 141);
    SpeedButton2 =
        addStripButton("SpeedButton2", QString(), QStringLiteral("Listáz|Adatok listázása !"),
                       style()->standardIcon(QStyle::SP_FileDialogDetailedView), 166);
    SpeedButton3 =
        addStripButton("SpeedButton3", QString(), QStringLiteral("Keresés|Adatok keresése !"),
                       QIcon(QStringLiteral(":/icons/edit-find.png")), 191);
    SpeedButton4 = addStripButton("SpeedButton4", QString(),
                                  QStringLiteral("Tárolt fájl mentése|Tárolt fájl mentése !"),
                                  style()->standardIcon(QStyle::SP_DialogSaveButton), 216);
    connect(SpeedButton1, &QPushButton::clicked, this, &TForm5::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TForm5::SpeedButton2Click);
    connect(SpeedButton3, &QPushButton::clicked, this, &TForm5::SpeedButton3Click);
    connect(SpeedButton4, &QPushButton::clicked, this, &TForm5::SpeedButton4Click);

    connect(DBEdit5, &QLineEdit::textChanged, this, &TForm5::DBEdit5Change);
    DBEdit5->installEventFilter(this);
    DBEdit5Change();

    // The fields follow the record query while the window is shown; hidden, it reads nothing.
    connect(&m_data.FDQuery1, &DataSetBase::currentChanged, this, [this] {
        if (isVisible() && m_followQuery)
            runCommand(m_prompter, [this] { showCurrentRecord(); });
    });
}

void TForm5::setShell(ShellRequests& shell) {
    m_shell = &shell;
}

void TForm5::FormShow() {
    runCommand(m_prompter, [this] {
        showCount(m_data.FDQuery1.recordCount());
        // Drawn plainly again; the menu's marks stay as the user left them.
        photo->setCentred(false);
        photo->setStretched(false);
        showCurrentRecord();
    });
}

void TForm5::showCurrentRecord() {
    Query& q = m_data.FDQuery1;
    if (q.isOpen())
        showRecord(q);
    else
        emptyFields(); // a search whose statement failed leaves the query closed
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DBEdit5 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            DBEdit5->rect().contains(mouse->position().toPoint()))
            DBEdit5Click();
    }
    return RecordView::eventFilter(watched, event);
}

void TForm5::DBEdit5Change() {
    const ReferenceKind kind = referenceKind(DBEdit5->text());
    setHint(DBEdit5, referenceHint(kind));
    // Blank: the edit's own text cursor, as in every other field.
    DBEdit5->setCursor(kind == ReferenceKind::Blank ? Qt::IBeamCursor : Qt::PointingHandCursor);
}

void TForm5::DBEdit5Click() {
    runCommand(m_prompter, [this] {
        const QString reference = DBEdit5->text();
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

void TForm5::SpeedButton1Click() {
    runCommand(m_prompter, [this] {
        if (showSingleRecordReport)
            showSingleRecordReport();
    });
}

void TForm5::SpeedButton2Click() {
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

void TForm5::SpeedButton3Click() {
    runCommand(m_prompter, [this] {
        const QString answer = m_prompter.input(QStringLiteral("Keresés:"),
                                                QStringLiteral("Keresendő kifejezés:"), QString());
        search(answer);
        showCount(m_data.FDQuery1.recordCount());
        reportHits();
    });
}

void TForm5::SpeedButton4Click() {
    runCommand(m_prompter, [this] { saveStoredFile(); });
}

// The record table and then the record query read again from the server.
void TForm5::recordRefresh() {
    ScreenCursor::set(CursorShape::Busy);
    m_data.FDTable1.refresh();
    m_data.FDQuery1.refresh();
    ScreenCursor::set(CursorShape::Default);
}

// The statement of the main window's toolbar search: all ten text columns of a record; an
// empty answer brings every record back.
void TForm5::search(const QString& answer) {
    const QString sql =
        answer.isEmpty() ? allRecordsStatement() : searchStatement(answer, SearchColumns::Toolbar);
    // An answer Latin-2 cannot hold is refused before the record query is touched.
    latin2::encode(answer);
    Query& q = m_data.FDQuery1;
    q.close();
    q.setSql(sql);
    q.open();
}

void TForm5::reportHits() {
    m_prompter.result(QStringLiteral("Találat: %1.").arg(m_data.FDQuery1.recordCount()));
}

void TForm5::saveStoredFile() {
    Query& q = m_data.FDQuery1;
    const QString file = QStringLiteral("FILE");
    if (!q.isOpen() || q.isNull(file)) {
        m_prompter.warning(QStringLiteral("Nincs tárolt fájl ehhez a rekordhoz !"));
        return;
    }
    const QString path = m_prompter.saveFile(saveFolder(), q.asString(QStringLiteral("FNEV")));
    if (path.isEmpty())
        return;
    // Written under a temporary name beside the target and put in its place only when whole:
    // a failed or cancelled save leaves the chosen name as it was. The value is copied piece
    // by piece, so memory does not grow with the file.
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly))
        throw std::runtime_error(QStringLiteral("A(z) \"%1\" fájl nem hozható létre. %2")
                                     .arg(QDir::toNativeSeparators(path), target.errorString())
                                     .toStdString());
    const qint64 size = q.blobSize(file);
    const std::unique_ptr<Progress> progress =
        size > kProgressFileBytes
            ? m_prompter.progress(
                  QStringLiteral("Tárolt fájl mentése: %1").arg(QFileInfo(path).fileName()), size)
            : nullptr;
    ProgressWriter writer(target, progress.get());
    try {
        q.saveBlobTo(file, writer);
    } catch (const DbError&) {
        if (writer.cancelled())
            throw SilentAbort{}; // the user stopped it; the temporary file goes with target
        throw;
    }
    if (!target.commit())
        throw std::runtime_error(QStringLiteral("A(z) \"%1\" fájl írása nem sikerült. %2")
                                     .arg(QDir::toNativeSeparators(path), target.errorString())
                                     .toStdString());
}

} // namespace kx

// Printing from the preview of both printouts: the pages chosen in the print dialog and the
// number of copies reach the printer, here a PDF file read back page by page; and a printout
// to a file, saved as PDF or printed to a file, that is stopped or cannot be written leaves
// nothing at the chosen name.
#include "support/EditingApp.h"
#include "support/FileSizeLimit.h"
#include "support/OutputFiles.h"

#include "browsing/RecordBrowser.h"
#include "platform/ReportPreview.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cerrno>
#include <cstring>
#include <memory>

using namespace kx;
using namespace kx::test;

namespace {

// What a folder holds, hidden files included: no temporary file may stay behind either.
QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QStringList captured(const QString& text, const QRegularExpression& pattern) {
    QStringList out;
    for (const QRegularExpressionMatch& m : pattern.globalMatch(text))
        out << m.captured(1);
    return out;
}

} // namespace

class PrintingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void pagesAndCopies_data();
    void pagesAndCopies();
    void unfinishedOutputLeavesNothing_data();
    void unfinishedOutputLeavesNothing();

private:
    std::unique_ptr<EditingApp> m_app;
    QTemporaryDir m_dir;
};

void PrintingTest::initTestCase() {
    for (const char* tool : {"pdftotext", "pdfinfo"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 "poppler-utils are needed to read the printed PDF back");
    m_app = std::make_unique<EditingApp>();
    for (int i = 1; i <= 5; ++i)
        m_app->addRecord(QStringLiteral("Rekord %1").arg(i));
}

void PrintingTest::cleanupTestCase() {
    m_app.reset();
}

void PrintingTest::pagesAndCopies_data() {
    QTest::addColumn<bool>("list"); // the record list, or the single record
    QTest::addColumn<int>("from");  // 0: every page
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("copies");
    QTest::addColumn<bool>("collate");
    QTest::addColumn<QStringList>("pages"); // the page numbers printed, in order

    QTest::newRow("list, every page")
        << true << 0 << 0 << 1 << true
        << QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                       QStringLiteral("4"), QStringLiteral("5")};
    QTest::newRow("list, one page")
        << true << 4 << 4 << 1 << true << QStringList{QStringLiteral("4")};
    QTest::newRow("list, range past the last page")
        << true << 4 << 9 << 1 << true << QStringList{QStringLiteral("4"), QStringLiteral("5")};
    QTest::newRow("list, range with no page") << true << 7 << 9 << 1 << true << QStringList{};
    QTest::newRow("list, collated copies") << true << 2 << 3 << 2 << true
                                           << QStringList{QStringLiteral("2"), QStringLiteral("3"),
                                                          QStringLiteral("2"), QStringLiteral("3")};
    QTest::newRow("list, uncollated copies")
        << true << 2 << 3 << 2 << false
        << QStringList{QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("3"),
                       QStringLiteral("3")};
    QTest::newRow("single record, copies")
        << false << 0 << 0 << 3 << true
        << QStringList{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")};
    QTest::newRow("single record, its page")
        << false << 1 << 1 << 1 << true << QStringList{QStringLiteral("1")};
}

// From the browser on the first record, the printout's preview prints what the print dialog
// asked for: only the pages of the range, each page with its own number and record, as many
// times as the copies count says.
void PrintingTest::pagesAndCopies() {
    QFETCH(bool, list);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, copies);
    QFETCH(bool, collate);
    QFETCH(QStringList, pages);

    const QString path =
        m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".pdf"));
    QFile::remove(path);
    m_app->data().recordQuery.first();
    auto* browser = m_app->app.mainWindow->findChild<RecordBrowser*>();
    QVERIFY(browser);

    bool printed = false;
    QTimer watcher; // acts inside the preview once it is open
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, &watcher, [&] {
        auto* preview = qobject_cast<ReportPreview*>(QApplication::activeModalWidget());
        if (!preview)
            return;
        watcher.stop();
        preview->askPrinter = [&](QPrinter& printer) {
            // What the user sets in the print dialog.
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            if (from > 0) {
                printer.setPrintRange(QPrinter::PageRange);
                printer.setFromTo(from, to);
            }
            printer.setCopyCount(copies);
            printer.setCollateCopies(collate);
            return true;
        };
        preview->PrintButton->click();
        printed = preview->failure() == nullptr;
        preview->reject();
    });
    QVERIFY(insideModal(
        browser,
        [&] {
            watcher.start();
            (list ? browser->printListButton : browser->printRecordButton)->click();
        },
        [&] { m_app->app.mainWindow->gridListAction->trigger(); }));
    watcher.stop();
    QVERIFY(printed);
    QCOMPARE(m_app->prompter().shown, QList<Shown>{});

    if (pages.isEmpty()) {
        QVERIFY(!QFile::exists(path)); // not even a blank sheet
        return;
    }
    QCOMPARE(pdfPages(path), pages.size());
    const QString text = pdfText(path).simplified();
    static const QRegularExpression number(QStringLiteral("(\\d+) ?\\. oldal"));
    static const QRegularExpression title(QStringLiteral("Rekord (\\d)"));
    QCOMPARE(captured(text, number), pages);
    // The single record prints the browser's record; page n of the list, the n-th record.
    QCOMPARE(captured(text, title), pages);
}

void PrintingTest::unfinishedOutputLeavesNothing_data() {
    QTest::addColumn<bool>("printToFile"); // the print dialog's file, or "Mentés PDF fájlba"
    QTest::addColumn<bool>("earlierFile"); // a file of the chosen name exists before
    QTest::addColumn<bool>("diskFull");    // the writes fail; else the user stops it
    for (bool printToFile : {false, true})
        for (bool diskFull : {false, true})
            for (bool earlierFile : {false, true})
                QTest::addRow("%s, %s%s", printToFile ? "print to file" : "PDF save",
                              diskFull ? "disk full" : "cancelled at page 4 of 5",
                              earlierFile ? ", earlier file" : "")
                    << printToFile << earlierFile << diskFull;
}

// The list from the browser's preview, sent to a file and stopped with "Mégse" before its
// fourth page, or on a disk that takes only 8 KB: no file at the chosen name (an earlier one
// as it was), no temporary file beside it; a stop says nothing, a failed write says why.
void PrintingTest::unfinishedOutputLeavesNothing() {
    QFETCH(bool, printToFile);
    QFETCH(bool, earlierFile);
    QFETCH(bool, diskFull);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lista.pdf"));
    if (earlierFile) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("korábbi lista");
    }
    const QByteArray before = hashOf(path);
    m_app->prompter().clear();
    m_app->prompter().progresses.clear();
    m_app->data().recordQuery.first();
    auto* browser = m_app->app.mainWindow->findChild<RecordBrowser*>();
    QVERIFY(browser);

    std::unique_ptr<FileSizeLimit> limit;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, &watcher, [&] {
        auto* preview = qobject_cast<ReportPreview*>(QApplication::activeModalWidget());
        if (!preview)
            return;
        watcher.stop();
        // The limit holds from the user's answer in the dialog to the end of the output.
        preview->askPdfPath = [&] {
            if (diskFull)
                limit = std::make_unique<FileSizeLimit>(8192);
            return path;
        };
        preview->askPrinter = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            if (diskFull)
                limit = std::make_unique<FileSizeLimit>(8192);
            return true;
        };
        if (!diskFull)
            m_app->prompter().cancelProgressAt(0.5);
        (printToFile ? preview->PrintButton : preview->SaveButton)->click();
        limit.reset();
        if (preview->isVisible())
            preview->reject();
    });
    QVERIFY(insideModal(
        browser,
        [&] {
            watcher.start();
            browser->printListButton->click();
        },
        [&] { m_app->app.mainWindow->gridListAction->trigger(); }));
    watcher.stop();
    limit.reset();

    QCOMPARE(m_app->prompter().progresses.size(), 1);
    const RecordingPrompter::ProgressRun& run = m_app->prompter().progresses.first();
    QCOMPARE(run.text, QStringLiteral("Mentés PDF fájlba..."));
    QCOMPARE(run.total, qint64(5));
    if (diskFull) {
        QCOMPARE(m_app->prompter().shown,
                 QList<Shown>{errorReportBox(QStringLiteral("A fájl írása nem sikerült: ") +
                                             QString::fromLocal8Bit(std::strerror(EFBIG)))});
    } else {
        QCOMPARE(run.cancelledAt, qint64(3)); // pages 1 to 3 were painted
        QCOMPARE(run.steps.last(), qint64(3));
        QCOMPARE(m_app->prompter().shown, QList<Shown>{});
    }
    QCOMPARE(filesIn(dir.path()),
             earlierFile ? QStringList{QStringLiteral("lista.pdf")} : QStringList{});
    QCOMPARE(hashOf(path), before);
}

QTEST_MAIN(PrintingTest)
#include "tst_printing.moc"

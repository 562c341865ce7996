// Printing the record list on a real printer, here a queue of a CUPS scheduler of the test's
// own whose device keeps each job's document: "Mégse" in the middle of the job sends the
// print system nothing; a whole printout arrives as one job with every page once, the
// dialog's copies asked of the printer with it; a queue that
// does not take the job is reported with the print system's reason, never as success.
#include "support/EditingApp.h"
#include "support/OutputFiles.h"
#include "support/PrivateCups.h"

#include "browsing/RecordBrowser.h"
#include "platform/ReportPreview.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

using namespace kx;
using namespace kx::test;

namespace {

constexpr int kRecords = 10; // the list prints one record to a page

QStringList captured(const QString& text, const QRegularExpression& pattern) {
    QStringList out;
    for (const QRegularExpressionMatch& m : pattern.globalMatch(text))
        out << m.captured(1);
    return out;
}

QStringList pageNumbers(int from, int to) {
    QStringList out;
    for (int page = from; page <= to; ++page)
        out << QString::number(page);
    return out;
}

} // namespace

class PrintQueueTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void jobReachesPrinterOnlyWhole_data();
    void jobReachesPrinterOnlyWhole();

private:
    // The scheduler first: the program's printer list and libcups find it from the start.
    std::unique_ptr<PrivateCups> m_cups;
    std::unique_ptr<EditingApp> m_app;
};

void PrintQueueTest::initTestCase() {
    const QString missing = PrivateCups::missing();
    if (!missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no CUPS scheduler to print to: %1").arg(missing)));
    for (const char* tool : {"pdftotext", "pdfinfo"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 "poppler-utils are needed to read the printed PDF back");
    m_cups = std::make_unique<PrivateCups>();
    QVERIFY2(m_cups->start(), qPrintable(m_cups->error()));
    m_app = std::make_unique<EditingApp>();
    for (int i = 1; i <= kRecords; ++i)
        m_app->addRecord(QStringLiteral("Rekord %1").arg(i, 2, 10, QLatin1Char('0')));
}

void PrintQueueTest::cleanupTestCase() {
    m_app.reset();
    m_cups.reset();
}

void PrintQueueTest::jobReachesPrinterOnlyWhole_data() {
    QTest::addColumn<bool>("refusing");   // the queue does not take jobs
    QTest::addColumn<double>("cancelAt"); // "Mégse" at this share of the pages; -1: never
    QTest::addColumn<int>("painted");     // pages painted before the progress ended
    QTest::addColumn<int>("copies");      // asked for in the print dialog

    QTest::newRow("cancelled at page 4 of 10") << false << 0.3 << 3 << 1;
    QTest::newRow("whole") << false << -1.0 << kRecords << 1;
    QTest::newRow("whole, two copies") << false << -1.0 << kRecords << 2;
    QTest::newRow("queue refuses the job") << true << -1.0 << kRecords << 1;
}

// The list from the browser's preview, printed on a queue chosen in the print dialog.
void PrintQueueTest::jobReachesPrinterOnlyWhole() {
    QFETCH(bool, refusing);
    QFETCH(double, cancelAt);
    QFETCH(int, painted);
    QFETCH(int, copies);

    const QString queue =
        refusing ? PrivateCups::refusingPrinterName() : PrivateCups::printerName();
    const QString output = m_cups->outputOf(queue);
    QFile::remove(output);
    const qsizetype jobsBefore = m_cups->jobs(queue).size();
    m_app->prompter().clear();
    m_app->prompter().progresses.clear();
    m_app->data().recordQuery.first();
    auto* browser = m_app->app.mainWindow->findChild<RecordBrowser*>();
    QVERIFY(browser);

    bool native = false;
    QString documentName;
    QTimer watcher; // acts inside the preview once it is open
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, &watcher, [&] {
        auto* preview = qobject_cast<ReportPreview*>(QApplication::activeModalWidget());
        if (!preview)
            return;
        watcher.stop();
        preview->askPrinter = [&](QPrinter& printer) {
            // What the user picks in the print dialog.
            printer.setPrinterName(queue);
            printer.setCopyCount(copies);
            native =
                printer.outputFormat() == QPrinter::NativeFormat && printer.printerName() == queue;
            documentName = printer.docName();
            return true;
        };
        if (cancelAt >= 0)
            m_app->prompter().cancelProgressAt(cancelAt);
        preview->PrintButton->click();
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
    QVERIFY2(native, "the program does not list the test's queue as a printer");

    QCOMPARE(m_app->prompter().progresses.size(), 1);
    const RecordingPrompter::ProgressRun& run = m_app->prompter().progresses.first();
    QCOMPARE(run.text, QStringLiteral("Nyomtatás..."));
    QCOMPARE(run.total, qint64(kRecords));
    QVERIFY(m_cups->waitUntilIdle(queue));
    const QList<PrivateCups::Job> jobs = m_cups->jobs(queue).mid(jobsBefore);

    if (cancelAt >= 0) {
        QCOMPARE(run.cancelledAt, qint64(painted));
        QCOMPARE(m_app->prompter().shown, QList<Shown>{});
        QCOMPARE(jobs.size(), 0);
        QVERIFY(!QFile::exists(output));
        return;
    }
    QCOMPARE(run.cancelledAt, qint64(-1));
    QCOMPARE(run.steps.last(), qint64(painted - 1));
    if (refusing) {
        // The scheduler's reason follows the program's words; nothing printed, no success.
        QCOMPARE(m_app->prompter().shown.size(), 1);
        const Shown& box = m_app->prompter().shown.first();
        QCOMPARE(box.kind, QStringLiteral("error"));
        QVERIFY2(box.text.startsWith(QStringLiteral("A nyomtatás nem sikerült: ")) &&
                     box.text.contains(queue),
                 qPrintable(box.text));
        QCOMPARE(jobs.size(), 0);
        QVERIFY(!QFile::exists(output));
        return;
    }
    QCOMPARE(m_app->prompter().shown, QList<Shown>{});
    QCOMPARE(jobs.size(), 1);
    QVERIFY(jobs.first().completed);
    QCOMPARE(jobs.first().title, documentName);
    QCOMPARE(jobs.first().format, QStringLiteral("application/pdf"));
    // The printer makes the copies: the document holds every page once.
    QCOMPARE(jobs.first().copies, copies);
    // The test's queue prints on one side only, as the dialog then leaves it.
    QCOMPARE(jobs.first().sides, QStringLiteral("one-sided"));
    QCOMPARE(pdfPages(output), kRecords);
    const QString text = pdfText(output).simplified();
    static const QRegularExpression number(QStringLiteral("(\\d+) ?\\. oldal"));
    static const QRegularExpression title(QStringLiteral("Rekord (\\d+)"));
    QCOMPARE(captured(text, number), pageNumbers(1, kRecords));
    QStringList titles;
    for (int i = 1; i <= kRecords; ++i)
        titles << QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
    QCOMPARE(captured(text, title), titles);
}

QTEST_MAIN(PrintQueueTest)
#include "tst_printqueue.moc"

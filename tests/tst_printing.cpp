// Printing from the preview of both printouts: the pages chosen in the print dialog and the
// number of copies reach the printer, here a PDF file read back page by page.
#include "support/EditingApp.h"

#include "browsing/RecordBrowser.h"
#include "platform/ReportPreview.h"

#include <QApplication>
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
#include <memory>

using namespace kx;
using namespace kx::test;

namespace {

QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    p.waitForFinished(60000);
    for (const QString& line :
         QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
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

QTEST_MAIN(PrintingTest)
#include "tst_printing.moc"

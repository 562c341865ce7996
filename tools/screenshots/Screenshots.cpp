// kartotex-screenshots OUTDIR: starts the program's windows against the server named by
// KX_DB_HOST, KX_DB_PORT, KX_DB_USER and KX_DB_PASSWORD, in the database KX_DB_DATABASE
// (created when missing, as on a first login), fills it with a few sample records and saves
// PNG pictures of the main window, the entry form with a photo, the record browser, the
// statistics window and the first page of the record list printout. Run it through
// tools/screenshots.sh, which provides a private server, a Data.db and a virtual display.
#include "about/AboutBox.h"
#include "browsing/RecordBrowser.h"
#include "browsing/RecordListReport.h"
#include "data/records/Columns.h"
#include "data/records/SharedData.h"
#include "editing/EntryForm.h"
#include "editing/PhotoPanel.h"
#include "platform/AppLifetime.h"
#include "platform/Prompter.h"
#include "platform/ReportEngine.h"
#include "shell/MainWindow.h"
#include "statistics/StatisticsWindow.h"
#include "storage/LoginDialog.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

using namespace kx;

namespace {

// Answers every question Yes (the first login creates the database and its tables) and
// prints every other window, so that nothing waits for a user.
class ScriptedPrompter : public Prompter {
public:
    void warning(const QString& t) override {
        say("warning", t);
    }
    bool question(const QString& t) override {
        say("question (Yes)", t);
        return true;
    }
    void result(const QString& t) override {
        say("result", t);
    }
    void notice(const QString& t) override {
        say("notice", t);
        failed = true;
    }
    void errorReport(const QString& t) override {
        say("error", t);
        failed = true;
    }
    QString input(const QString&, const QString&, const QString&) override {
        return QString();
    }
    QString openFile(const QString&, const QString&) override {
        return QString();
    }
    QString openPicture(const QString&) override {
        return QString();
    }
    QString saveFile(const QString&, const QString&) override {
        return QString();
    }
    bool failed = false;

private:
    static void say(const char* kind, const QString& text) {
        std::fprintf(stderr, "screenshots: %s: %s\n", kind, qPrintable(text));
    }
};

void settle(int ms = 300) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool save(QWidget* window, const QString& path) {
    settle();
    const bool ok = window->grab().save(path);
    std::fprintf(stderr, "screenshots: %s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}

// A small landscape as a BMP file image, as photos are stored.
QByteArray samplePhoto(int variant) {
    QImage image(320, 220, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 140);
    sky.setColorAt(0, QColor(70 + 30 * variant, 130, 210));
    sky.setColorAt(1, QColor(200, 225, 245));
    p.fillRect(image.rect(), sky);
    p.setBrush(QColor(255, 215, 80));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(250 - 60 * variant, 55), 28, 28);
    QPainterPath hills;
    hills.moveTo(0, 160);
    hills.cubicTo(80, 100, 160, 190, 320, 130);
    hills.lineTo(320, 220);
    hills.lineTo(0, 220);
    p.setBrush(QColor(60, 140 - 20 * variant, 70));
    p.drawPath(hills);
    p.end();
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bmp;
}

struct Sample {
    const char *title, *type, *category, *keywords, *reference, *by, *date, *text;
    int photo; // -1: none
    const char *fileName, *fileType;
    int fileSize;
};

const Sample samples[] = {
    {"A Balaton élővilága", "Könyv", "Természet", "tó, madarak, nád", "https://example.org/balaton",
     "Kovács Éva", "2024.03.14. 10:22:05",
     "Áttekintés a tó növény- és állatvilágáról, sok fényképpel.", 0, "balaton.pdf",
     "Adobe Acrobat", 182344},
    {"Budapesti hidak", "Cikk", "Építészet", "Lánchíd, Erzsébet híd", "hidak", "Nagy Péter",
     "2024.05.02. 16:40:11", "A főváros Duna-hídjainak története.", 1, "hidak.docx", "MS Word",
     45211},
    {"Gyümölcsfák metszése", "Jegyzet", "Kert", "alma, körte, metszés", "", "Kovács Éva",
     "2024.06.21. 08:05:47", "Mikor és hogyan metsszük a gyümölcsfákat.", -1, nullptr, nullptr, 0},
    {"Hortobágyi Nemzeti Park", "Könyv", "Természet", "puszta, gémeskút",
     "https://example.org/hortobagy", "Szabó Anna", "2024.08.09. 12:31:02",
     "Kirándulási útmutató a pusztához.", 1, "terkep.png", "PNG kép", 1203990},
    {"Őszi receptek", "Jegyzet", "Konyha", "tök, gesztenye", "", "Nagy Péter",
     "2024.10.30. 19:12:55", "Sütőtökös és gesztenyés ételek.", -1, "receptek.txt", "TEXT", 5120},
};

void addSamples(SharedData& data) {
    Table& records = data.recordTable;
    for (const Sample& s : samples) {
        records.append();
        records.setField(column::title, QString::fromUtf8(s.title));
        records.setField(column::type, QString::fromUtf8(s.type));
        records.setField(column::category, QString::fromUtf8(s.category));
        records.setField(column::keywords, QString::fromUtf8(s.keywords));
        records.setField(column::reference, QString::fromUtf8(s.reference));
        records.setField(column::recorder, QString::fromUtf8(s.by));
        records.setField(column::date, QString::fromUtf8(s.date));
        records.setField(column::description, QString::fromUtf8(s.text));
        records.setField(column::photo,
                         s.photo >= 0 ? QVariant(samplePhoto(s.photo)) : QVariant(QByteArray()));
        if (s.fileName) {
            records.setField(column::fileName, QString::fromUtf8(s.fileName));
            records.setField(column::fileType, QString::fromUtf8(s.fileType));
            records.setField(column::fileSize, s.fileSize);
            records.setField(column::file, QByteArray(64, 'x'));
        }
        records.post();
    }
    for (const char* type : {"Cikk", "Jegyzet", "Könyv"}) {
        data.typeTable.append();
        data.typeTable.setField(column::type, QString::fromUtf8(type));
        data.typeTable.post();
    }
    for (const char* category : {"Építészet", "Kert", "Konyha", "Természet"}) {
        data.categoryTable.append();
        data.categoryTable.setField(column::category, QString::fromUtf8(category));
        data.categoryTable.post();
    }
    data.recordTable.refresh();
    data.recordQuery.refresh();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kartotex"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kartotex"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: kartotex-screenshots OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    ScriptedPrompter prompter;
    AppLifetime lifetime;
    MainWindow mainWindow(prompter, lifetime);
    LoginDialog* login = mainWindow.loginDialog();
    SharedData& data = mainWindow.data();

    // The login dialog shows what Data.db remembers; the password is typed in.
    QTimer typist;
    typist.setInterval(20);
    QObject::connect(&typist, &QTimer::timeout, &typist, [&] {
        if (QApplication::activeModalWidget() != login)
            return;
        typist.stop();
        login->passwordEdit->setText(qEnvironmentVariable("KX_DB_PASSWORD"));
        login->rememberBox->setChecked(false);
        login->loginButton->click();
    });
    typist.start();
    mainWindow.show();
    mainWindow.runStartUp();
    if (prompter.failed || lifetime.endRequested())
        return 1;
    try {
        if (data.recordTable.recordCount() == 0)
            addSamples(data);
    } catch (...) {
        std::fprintf(stderr, "screenshots: the sample records could not be stored\n");
        return 1;
    }

    bool ok = save(&mainWindow, out.filePath(QStringLiteral("main-window.png")));

    auto* entry = mainWindow.findChild<EntryForm*>();
    entry->show();
    entry->titleEdit->setText(QStringLiteral("Tihanyi levendulás"));
    entry->typeBox->setEditText(QStringLiteral("Könyv"));
    entry->categoryBox->setEditText(QStringLiteral("Természet"));
    entry->keywordsEdit->setText(QStringLiteral("levendula, Tihany, nyár"));
    entry->referenceEdit->setText(QStringLiteral("https://example.org/tihany"));
    entry->recorderEdit->setText(QStringLiteral("Szabó Anna"));
    entry->descriptionEdit->setPlainText(QStringLiteral("Nyári séta a tihanyi levendulamezőkön."));
    entry->photo->readPhoto(samplePhoto(2));
    ok = save(entry, out.filePath(QStringLiteral("entry-form.png"))) && ok;
    entry->hide();

    auto* browser = mainWindow.findChild<RecordBrowser*>();
    data.recordQuery.setCurrentRow(0);
    browser->show();
    ok = save(browser, out.filePath(QStringLiteral("record-browser.png"))) && ok;
    browser->hide();

    auto* statistics = mainWindow.findChild<StatisticsWindow*>();
    statistics->show();
    settle();
    statistics->collectButton->click();
    ok = save(statistics, out.filePath(QStringLiteral("statistics.png"))) && ok;
    statistics->done(QDialog::Rejected); // its rows are deleted again

    // The about box: the program's picture, the dove, and the system facts.
    auto* about = mainWindow.findChild<AboutBox*>();
    about->show();
    settle();
    ok = save(about, out.filePath(QStringLiteral("about-box.png"))) && ok;
    about->hide();

    // The first page of the record list printout, at 100 dots per inch on white paper.
    auto* list = mainWindow.findChild<RecordListReport*>();
    list->withRecords([&](Report& report) {
        report.startOutput();
        const double dpi = 100;
        QImage page(QSize(qRound(report.paperSize().width() / 25.4 * dpi),
                          qRound(report.paperSize().height() / 25.4 * dpi)),
                    QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        Report::scaleToMillimetres(painter, dpi);
        report.paintPage(0, painter);
        painter.end();
        const QString path = out.filePath(QStringLiteral("printout.png"));
        ok = page.save(path) && ok;
        std::fprintf(stderr, "screenshots: saved %s\n", qPrintable(path));
    });
    return ok ? 0 : 1;
}

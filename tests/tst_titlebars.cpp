// The title bars as the X server holds them: every window hands the window system exactly its
// caption, without the application's name appended. Runs on an X display only (the xcb
// platform, e.g. on Xvfb); other platforms keep no titles to read back.
#include "support/EditingApp.h"

#include "about/AboutBox.h"
#include "browsing/DeletionForm.h"
#include "platform/AppIdentity.h"
#include "platform/QtPrompter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace kx;
using namespace kx::test;

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The title the X server holds for a window, as window managers read it: the UTF-8
// _NET_WM_NAME property. xprop writes it in quotes, with bytes outside its locale as octal
// escapes.
QString serverTitle(WId window) {
    const QString line =
        run(QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_WM_NAME")});
    const qsizetype open = line.indexOf(QLatin1Char('"'));
    const qsizetype close = line.lastIndexOf(QLatin1Char('"'));
    if (open < 0 || close <= open)
        return QStringLiteral("<no title: %1>").arg(line.trimmed());
    const QByteArray quoted = line.mid(open + 1, close - open - 1).toUtf8();
    QByteArray bytes;
    for (qsizetype i = 0; i < quoted.size(); ++i) {
        if (quoted[i] != '\\' || i + 1 >= quoted.size()) {
            bytes += quoted[i];
        } else if (i + 3 < quoted.size() && quoted[i + 1] >= '0' && quoted[i + 1] <= '7') {
            bytes += char(quoted.mid(i + 1, 3).toInt(nullptr, 8));
            i += 3;
        } else {
            bytes += quoted[++i];
        }
    }
    return QString::fromUtf8(bytes);
}

// The name xdotool reports for a window, the other way users' tools read titles.
QString xdotoolName(WId window) {
    QString name =
        run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), QString::number(window)});
    if (name.endsWith(QLatin1Char('\n')))
        name.chop(1);
    return name;
}

enum class Kind { MainWindow, Warning, Question, Result, Notice, Deletion, About };

} // namespace

Q_DECLARE_METATYPE(Kind)

class TitleBarTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void titleAsHeld_data();
    void titleAsHeld();
    void theProgramsOwnWindows();

private:
    std::unique_ptr<EditingApp> m_app;
};

void TitleBarTest::initTestCase() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("title bars are read from an X server: run under the xcb platform (Xvfb)");
    for (const char* tool : {"xprop", "xdotool"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    // What the program's entry does before any window exists.
    applyApplicationIdentity();
    m_app = std::make_unique<EditingApp>();
    m_app->addRecord(QStringLiteral("Hangya"));
    m_app->app.mainWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_app->app.mainWindow.get()));
}

void TitleBarTest::cleanupTestCase() {
    m_app.reset();
}

void TitleBarTest::titleAsHeld_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("caption");
    QTest::newRow("main window") << Kind::MainWindow << QStringLiteral("Kartotex - MySQL:");
    QTest::newRow("warning box") << Kind::Warning << QStringLiteral("Figyelem:");
    QTest::newRow("question box") << Kind::Question << QStringLiteral("Figyelem:");
    QTest::newRow("result box") << Kind::Result << QStringLiteral("Eljárás:");
    QTest::newRow("plain notice") << Kind::Notice << QStringLiteral("Kartotex");
    QTest::newRow("deletion form") << Kind::Deletion << QStringLiteral("Adatrekord törlése:");
    QTest::newRow("about box") << Kind::About << QStringLiteral(" Névjegy:");
}

void TitleBarTest::titleAsHeld() {
    QFETCH(Kind, kind);
    QFETCH(QString, caption);

    QString held, named;
    const auto read = [&](QWidget* window) {
        QVERIFY(QTest::qWaitForWindowExposed(window));
        held = serverTitle(window->winId());
        named = xdotoolName(window->winId());
    };
    // A message box or a form is read while it is open, then closed.
    QTimer reader;
    reader.setInterval(20);
    QObject::connect(&reader, &QTimer::timeout, &reader, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        reader.stop();
        read(modal);
        modal->close();
    });

    MainWindow* mainWindow = m_app->app.mainWindow.get();
    QtPrompter prompter;
    switch (kind) {
    case Kind::MainWindow:
        read(mainWindow);
        break;
    case Kind::Warning:
        reader.start();
        prompter.warning(QStringLiteral("Nincs tárolt adatrekord !"));
        break;
    case Kind::Question:
        reader.start();
        prompter.question(QStringLiteral("Megpróbáljuk újra ?"));
        break;
    case Kind::Result:
        reader.start();
        prompter.result(QStringLiteral("Adatok tárolása megtörtént !"));
        break;
    case Kind::Notice:
        reader.start();
        prompter.notice(QStringLiteral("Tábla nem nyitható meg !"));
        break;
    case Kind::Deletion:
        reader.start();
        mainWindow->gridDeleteAction->trigger();
        break;
    case Kind::About:
        reader.start();
        mainWindow->menuAboutAction->trigger();
        break;
    }
    QCOMPARE(held, caption);
    QCOMPARE(named, caption);
}

// The program itself, started as a user starts it: its main window and the login dialog in
// front of it carry their captions and nothing else.
void TitleBarTest::theProgramsOwnWindows() {
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../kartotex"));
    QVERIFY2(QFile::exists(program), qPrintable(program));
    // A folder with Data.db as the program ships it.
    WorkingFolder folder;
    folder.createConfigTable();
    QProcess kartotex;
    kartotex.setWorkingDirectory(folder.path());
    kartotex.start(program, {});
    QVERIFY(kartotex.waitForStarted());

    QStringList titles;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        titles.clear();
        const QStringList ids =
            run(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                 QString::number(kartotex.processId())})
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& id : ids)
            titles << serverTitle(id.toULongLong());
        if (titles.contains(QStringLiteral("Belépés:")) &&
            titles.contains(QStringLiteral("Kartotex - MySQL:")))
            break;
        QTest::qWait(200);
    }
    kartotex.kill();
    kartotex.waitForFinished();
    titles.sort();
    QCOMPARE(titles,
             (QStringList{QStringLiteral("Belépés:"), QStringLiteral("Kartotex - MySQL:")}));
}

QTEST_MAIN(TitleBarTest)
#include "tst_titlebars.moc"

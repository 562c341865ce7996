// What a user sees of the program on a desktop, through the window system's own events: the
// date and time as the regional settings write them, the hints of every window in the main
// window's status bar, a double click on the grid, the Enter key in the record browser and the
// deletion form, and the names a screen reader announces for the buttons.
#include "support/EditingApp.h"
#include "support/FixedClock.h"

#include "about/AboutBox.h"
#include "browsing/DeletionForm.h"
#include "browsing/RecordBrowser.h"
#include "platform/DateTimeText.h"
#include "platform/ReportEngine.h"
#include "platform/ReportPreview.h"
#include "statistics/StatisticsWindow.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <memory>

using namespace kx;
using namespace kx::test;

namespace {

const QString kNoRecord = QStringLiteral("Nincs tárolt adatrekord !");

// The windows a row of a table acts in, and the command of the main window that opens each.
enum class Window { Main, Entry, Browser, Deletion, Statistics, About };

// The places that show the current date and time.
enum class DateTimePlace { EntryDate, StatusBarClock, Printout };

// Moves the pointer onto a spot of a widget as the user's mouse would: on X11 the pointer of
// the X server itself moves (xdotool); elsewhere the platform layer receives the move, as it
// would from the window system, and works out what the mouse entered.
void hover(QWidget* widget, QPoint pos = QPoint()) {
    if (pos.isNull())
        pos = widget->rect().center();
    const QPoint global = widget->mapToGlobal(pos);
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                           QString::number(global.x()), QString::number(global.y())});
        QCoreApplication::processEvents();
        return;
    }
    QWindow* window = widget->window()->windowHandle();
    QTest::mouseMove(window, window->mapFromGlobal(global));
}

// A double click of the left button: on X11 the X server's pointer clicks twice; elsewhere the
// platform layer receives two presses and releases in quick succession.
void doubleClick(QWidget* widget, QPoint pos) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QPoint global = widget->mapToGlobal(pos);
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                           QString::number(global.x()), QString::number(global.y()),
                           QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                           QStringLiteral("--delay"), QStringLiteral("40"), QStringLiteral("1")});
        return;
    }
    QWindow* window = widget->window()->windowHandle();
    QTest::mouseDClick(window, Qt::LeftButton, {}, window->mapFromGlobal(widget->mapToGlobal(pos)));
}

// Reads the date and time back the way the user's settings write it; two-digit years count
// from this century.
QDateTime readBack(const QString& text, const QLocale& locale) {
    QDateTime parsed =
        locale.toDateTime(text, locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') +
                                    timeFormatWithoutZone(locale));
    while (parsed.isValid() && parsed.date().year() < 2000)
        parsed = parsed.addYears(100);
    return parsed;
}

} // namespace

Q_DECLARE_METATYPE(Window)
Q_DECLARE_METATYPE(DateTimePlace)

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void dateAndTimeText_data();
    void dateAndTimeText();
    void everyDateTimeReadsTheClock_data();
    void everyDateTimeReadsTheClock();
    void hintsReachTheStatusBar_data();
    void hintsReachTheStatusBar();
    void doubleClickOnTheGrid_data();
    void doubleClickOnTheGrid();
    void enterInAFieldClosesNothing_data();
    void enterInAFieldClosesNothing();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void escapeKey_data();
    void escapeKey();
    void everyButtonHasAName();

private:
    QDialog* dialog(Window window) const;
    // Opens the window with its command of the main window, runs act inside it and closes it.
    bool inside(Window window, const std::function<void(QWidget*)>& act);
    void resetRecords(int count);

    std::unique_ptr<EditingApp> m_app;
    MainWindow* m_mainWindow = nullptr;
};

void DesktopTest::initTestCase() {
    m_app = std::make_unique<EditingApp>();
    m_mainWindow = m_app->app.mainWindow.get();
    // The start-up has run: showing the main window brings no login.
    m_mainWindow->show();
    m_mainWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_mainWindow));
}

void DesktopTest::init() {
    resetRecords(1);
    m_app->prompter().clear();
}

void DesktopTest::cleanup() {
    QLocale::setDefault(QLocale::system());
    QToolTip::hideText();
}

void DesktopTest::cleanupTestCase() {
    m_app.reset();
}

void DesktopTest::resetRecords(int count) {
    m_app->db.exec(QStringLiteral("DELETE FROM tbl_Data"));
    for (int i = 1; i <= count; ++i)
        m_app->addRecord(QStringLiteral("Hangya %1").arg(i), {QStringLiteral("HIV")},
                         {QStringLiteral("'http://example.org/hangya'")});
    m_app->refresh();
    if (count > 0)
        m_app->data().recordQuery.first();
}

QDialog* DesktopTest::dialog(Window window) const {
    switch (window) {
    case Window::Entry:
        return m_app->entryForm;
    case Window::Browser:
        return m_mainWindow->findChild<RecordBrowser*>();
    case Window::Deletion:
        return m_mainWindow->findChild<DeletionForm*>();
    case Window::Statistics:
        return m_mainWindow->findChild<StatisticsWindow*>();
    case Window::About:
        return m_mainWindow->findChild<AboutBox*>();
    case Window::Main:
        break;
    }
    return nullptr;
}

bool DesktopTest::inside(Window window, const std::function<void(QWidget*)>& act) {
    if (window == Window::Main) {
        // Tooltips show in the active window only; a closed dialog need not hand it back.
        m_mainWindow->activateWindow();
        if (!QTest::qWaitForWindowActive(m_mainWindow))
            return false;
        act(m_mainWindow);
        return true;
    }
    QDialog* form = dialog(window);
    const auto wrapped = [&] {
        if (!QTest::qWaitForWindowExposed(form))
            qWarning("%s was not exposed", qPrintable(form->objectName()));
        act(form);
    };
    switch (window) {
    case Window::Entry:
        return insideModal(form, wrapped, [this] { m_mainWindow->gridEntryAction->trigger(); });
    case Window::Browser:
        return insideModal(form, wrapped, [this] { m_mainWindow->gridListAction->trigger(); });
    case Window::Deletion:
        return insideModal(form, wrapped, [this] { m_mainWindow->gridDeleteAction->trigger(); });
    case Window::Statistics:
        return insideModal(form, wrapped,
                           [this] { m_mainWindow->gridStatisticsAction->trigger(); });
    case Window::About:
        return insideModal(form, wrapped, [this] { m_mainWindow->menuAboutAction->trigger(); });
    case Window::Main:
        break;
    }
    return false;
}

// ---- dates and times ----

void DesktopTest::dateAndTimeText_data() {
    QTest::addColumn<QString>("locale");
    QTest::newRow("Hungarian") << QStringLiteral("hu_HU");
    QTest::newRow("German") << QStringLiteral("de_DE");
    QTest::newRow("American") << QStringLiteral("en_US");
    QTest::newRow("C") << QStringLiteral("C");
    QTest::newRow("the desktop's own") << QString(); // LANG of the test run
}

// The entry form's proposal, the clock and the printouts' footers write the regional short
// date, a blank and the time with seconds: whole within the 25 characters of the date field,
// without the zone that the long time format of many locales carries, and readable back as
// the moment it was written.
void DesktopTest::dateAndTimeText() {
    QFETCH(QString, locale);
    QLocale::setDefault(locale.isEmpty() ? QLocale::system() : QLocale(locale));
    const QLocale l;
    const QDateTime now = QDateTime::currentDateTime();
    const QString zone = l.toString(now, QStringLiteral("t"));
    QVERIFY(!zone.isEmpty());

    const auto check = [&](const QString& what, const QString& text, const QDateTime& from,
                           const QDateTime& to) {
        QVERIFY2(text.size() <= 25, qPrintable(what + QStringLiteral(": ") + text));
        QVERIFY2(!text.contains(zone), qPrintable(what + QStringLiteral(": ") + text));
        const QDateTime back = readBack(text, l);
        // Seconds are written, so the moment comes back to the second.
        QVERIFY2(back.isValid() && back >= from.addMSecs(-from.time().msec()) && back <= to,
                 qPrintable(what + QStringLiteral(": ") + text));
    };

    QString proposed;
    QDateTime opened, seen;
    QVERIFY(inside(Window::Entry, [&](QWidget*) {
        seen = QDateTime::currentDateTime();
        proposed = m_app->entryForm->dateEdit->text();
    }));
    opened = seen.addSecs(-5); // the form was shown at most moments before
    check(QStringLiteral("Dátum"), proposed, opened, seen);
    // Nothing was cut to make it fit.
    QVERIFY(proposed.size() < m_app->entryForm->dateEdit->maxLength() ||
            proposed.size() == m_app->entryForm->dateEdit->maxLength());
    QCOMPARE(proposed, dateTimeText(readBack(proposed, l)));

    const QDateTime beforeTick = QDateTime::currentDateTime();
    m_mainWindow->clockTick();
    check(QStringLiteral("óra"), m_mainWindow->statusText(1), beforeTick,
          QDateTime::currentDateTime());

    // A date-time field wide enough for the whole text prints it as it is.
    Report report;
    report.pageFooter().setHeight(10);
    report.pageFooter().addDateTime(QStringLiteral("Ido"), QRectF(0, 0, 150, 5));
    const QDateTime fixed(QDate(2026, 12, 10), QTime(14, 38, 39));
    const FixedClock clock(fixed);
    const QString printed = report.layoutPage(0).find(QStringLiteral("Ido"))->text();
    check(QStringLiteral("nyomtatás"), printed, fixed, fixed);
}

void DesktopTest::everyDateTimeReadsTheClock_data() {
    QTest::addColumn<DateTimePlace>("place");
    QTest::newRow("entry form: Dátum") << DateTimePlace::EntryDate;
    QTest::newRow("status bar clock") << DateTimePlace::StatusBarClock;
    QTest::newRow("printout") << DateTimePlace::Printout;
}

// With the program's clock held at a moment, the entry form's proposal, the status bar's clock
// and a printout's date-time field show exactly that moment's text; held at another moment,
// the next showing, tick or output shows the new one: none keeps a moment it read before.
void DesktopTest::everyDateTimeReadsTheClock() {
    QFETCH(DateTimePlace, place);
    Report report;
    report.pageFooter().setHeight(10);
    report.pageFooter().addDateTime(QStringLiteral("Ido"), QRectF(0, 0, 150, 5));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    for (const QDateTime& moment : {QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58)),
                                    QDateTime(QDate(2031, 2, 3), QTime(4, 5, 6))}) {
        const FixedClock clock(moment);
        const QString expected = dateTimeText(moment);
        switch (place) {
        case DateTimePlace::EntryDate: {
            QString proposed;
            QVERIFY(inside(Window::Entry,
                           [&](QWidget*) { proposed = m_app->entryForm->dateEdit->text(); }));
            QCOMPARE(proposed, expected);
            break;
        }
        case DateTimePlace::StatusBarClock:
            // The main window's own timer writes it.
            QTRY_COMPARE_WITH_TIMEOUT(m_mainWindow->statusText(1), expected, 5000);
            break;
        case DateTimePlace::Printout:
            QVERIFY(report.writePdf(dir.filePath(QStringLiteral("ido.pdf"))));
            QCOMPARE(report.layoutPage(0).find(QStringLiteral("Ido"))->text(), expected);
            break;
        }
    }
}

// ---- hints ----

void DesktopTest::hintsReachTheStatusBar_data() {
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("menu");    // empty: the control is a widget
    QTest::addColumn<QString>("control"); // the widget, or the item of the menu
    QTest::addColumn<QString>("tooltip"); // empty: the control shows no tooltip
    QTest::addColumn<QString>("status");

    const QString none;
    QTest::newRow("toolbar button") << Window::Main << none << "SpeedButton1"
                                    << "Felvétel"
                                    << "Adatok felvétele !";
    QTest::newRow("grid menu") << Window::Main << "PopupMenu1"
                               << "Listzs2" << none << "Adatok áttekintése / listázása !";
    QTest::newRow("entry: file button") << Window::Entry << none << "SpeedButton1"
                                        << "Fájl kiválasztása"
                                        << "Fájl kiválasztása !";
    QTest::newRow("entry: store button")
        << Window::Entry << none << "BitBtn2" << none << "Megadott adatok tárolása !";
    QTest::newRow("entry: photo menu") << Window::Entry << "PopupMenu1"
                                       << "Betlt1"
                                       << "Fotó adatok felvétele !"
                                       << "Fotó adatok felvétele !";
    QTest::newRow("browser: navigator") << Window::Browser << none << "nbNext"
                                        << "Következő rekord !"
                                        << "Következő rekord !";
    QTest::newRow("browser: print") << Window::Browser << none << "SpeedButton1"
                                    << "Nyomtat"
                                    << "Nyomtatás !";
    QTest::newRow("browser: save file") << Window::Browser << none << "SpeedButton4"
                                        << "Tárolt fájl mentése"
                                        << "Tárolt fájl mentése !";
    QTest::newRow("browser: Befejezés") << Window::Browser << none << "BitBtn1"
                                        << "Befejezés !"
                                        << "Befejezés !";
    QTest::newRow("browser: reference") << Window::Browser << none << "DBEdit5"
                                        << "Behívás"
                                        << "Behívás Internet programba !";
    QTest::newRow("browser: photo menu") << Window::Browser << "PopupMenu1"
                                         << "Igaztskzpre1"
                                         << "Fotó igazítása középre !"
                                         << "Fotó igazítása középre !";
    QTest::newRow("deletion: Törlés") << Window::Deletion << none << "BitBtn2"
                                      << "Adatrekord törlése !"
                                      << "Adatrekord törlése !";
    QTest::newRow("deletion: photo menu") << Window::Deletion << "PopupMenu1"
                                          << "Kitlts1"
                                          << "Fotó kitöltése az egész mezőre !"
                                          << "Fotó kitöltése az egész mezőre !";
    QTest::newRow("statistics: Adatgyűjtés") << Window::Statistics << none << "BitBtn2"
                                             << "Adatok összegyűjtése !"
                                             << "Adatok összegyűjtése !";
    QTest::newRow("statistics: Befejezés") << Window::Statistics << none << "BitBtn1"
                                           << "Befejezés !"
                                           << "Befejezés !";
    QTest::newRow("about: MS Info") << Window::About << none << "BitBtn1"
                                    << "Microsoft Rendszerinformáció megjelenítése !"
                                    << "Microsoft Rendszerinformáció megjelenítése !";
    QTest::newRow("about: web address") << Window::About << none << "Label15"
                                        << "Cím behívása böngésző programba !"
                                        << "Cím behívása böngésző programba !";
}

// The mouse over a control, or a menu item highlighted under it, puts the long part of the
// hint into panel 0 of the main window's status bar, from whichever window; the control shows
// the short part as its tooltip.
void DesktopTest::hintsReachTheStatusBar() {
    QFETCH(Window, window);
    QFETCH(QString, menu);
    QFETCH(QString, control);
    QFETCH(QString, tooltip);
    QFETCH(QString, status);

    bool checked = false;
    const bool opened = inside(window, [&](QWidget* top) {
        // The pointer starts on a spot without a hint; what the panel shows comes from the
        // hover below.
        hover(top, QPoint(3, top->height() - 3));
        QVERIFY(m_mainWindow->statusText(0) != status);
        QMenu* popup = nullptr;
        if (menu.isEmpty()) {
            QWidget* target = top->findChild<QWidget*>(control);
            QVERIFY(target);
            hover(target);
        } else {
            popup = top->findChild<QMenu*>(menu);
            QVERIFY(popup);
            QAction* item = popup->findChild<QAction*>(control);
            QVERIFY(item);
            popup->popup(top->mapToGlobal(QPoint(40, 40)));
            QVERIFY(QTest::qWaitForWindowExposed(popup));
            hover(popup, popup->actionGeometry(item).center());
        }
        QTRY_COMPARE(m_mainWindow->statusText(0), status);
        if (!tooltip.isEmpty())
            QTRY_COMPARE(QToolTip::text(), tooltip);
        if (popup)
            popup->close();
        checked = true;
    });
    QVERIFY(opened);
    QVERIFY(checked);
    QCOMPARE(m_app->prompter().shown, QList<Shown>{});
}

// ---- the grid ----

void DesktopTest::doubleClickOnTheGrid_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("onARow");
    QTest::addColumn<QList<Shown>>("windows");
    QTest::addColumn<QStringList>("opened");

    QTest::newRow("empty grid") << 0 << false << QList<Shown>{warningBox(kNoRecord)}
                                << QStringList{};
    QTest::newRow("below the last row")
        << 2 << false << QList<Shown>{} << QStringList{QStringLiteral("Form5")};
    QTest::newRow("on a row") << 2 << true << QList<Shown>{}
                              << QStringList{QStringLiteral("Form5")};
}

// A double click anywhere in the grid runs the grid menu's Listázás: its record check refuses
// an empty grid with the warning, and any record opens the browser.
void DesktopTest::doubleClickOnTheGrid() {
    QFETCH(int, records);
    QFETCH(bool, onARow);
    QFETCH(QList<Shown>, windows);
    QFETCH(QStringList, opened);

    resetRecords(records);
    m_app->prompter().clear();
    QTableView* grid = m_mainWindow->recordGrid;
    QCOMPARE(grid->model()->rowCount(), records);
    const QPoint spot = onARow ? grid->visualRect(grid->model()->index(records - 1, 0)).center()
                               : QPoint(40, grid->viewport()->height() - 10);
    QVERIFY(!grid->indexAt(spot).isValid() || onARow);

    ModalCloser closer;
    doubleClick(grid->viewport(), spot);
    // Each case shows one window: the warning, or the browser.
    QTRY_VERIFY(!closer.opened.isEmpty() || !m_app->prompter().shown.isEmpty());
    QCOMPARE(closer.opened, opened);
    QCOMPARE(m_app->prompter().shown, windows);
}

// ---- the Enter key ----

void DesktopTest::enterInAFieldClosesNothing_data() {
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("movesOn"); // a one-line field hands the focus on

    for (const auto& [window, prefix, memo] : {std::tuple{Window::Browser, "DBEdit", "DBMemo1"},
                                               std::tuple{Window::Deletion, "Edit", "Memo1"}}) {
        const char* name = window == Window::Browser ? "browser" : "deletion";
        for (int i = 1; i <= 8; ++i) {
            const QString field = QLatin1String(prefix) + QString::number(i);
            QTest::addRow("%s: %s", name, qPrintable(field))
                << window << field << int(Qt::Key_Return) << true;
        }
        QTest::addRow("%s: description", name)
            << window << QString::fromLatin1(memo) << int(Qt::Key_Return) << false;
        QTest::addRow("%s: description, keypad Enter", name)
            << window << QString::fromLatin1(memo) << int(Qt::Key_Enter) << false;
    }
}

// Enter in a field of the record browser or the deletion form never closes the window and
// never deletes: no button is the window's default.
void DesktopTest::enterInAFieldClosesNothing() {
    QFETCH(Window, window);
    QFETCH(QString, field);
    QFETCH(int, key);
    QFETCH(bool, movesOn);

    bool stillOpen = false;
    QVERIFY(inside(window, [&](QWidget* top) {
        for (QPushButton* button : top->findChildren<QPushButton*>())
            QVERIFY2(!button->isDefault(), qPrintable(button->objectName()));
        QWidget* target = top->findChild<QWidget*>(field);
        QVERIFY(target);
        target->setFocus(Qt::OtherFocusReason);
        QCOMPARE(top->focusWidget(), target);
        QTest::keyClick(target, Qt::Key(key),
                        key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QCoreApplication::processEvents();
        stillOpen = top->isVisible();
        if (movesOn)
            QVERIFY(top->focusWidget() != target);
    }));
    QVERIFY(stillOpen);
    QCOMPARE(m_app->recordCount(), 1);
    QCOMPARE(m_app->prompter().shown, QList<Shown>{});
}

void DesktopTest::enterPressesTheFocusedButton_data() {
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("recordsLeft");
    QTest::addColumn<QList<Shown>>("windows");

    QTest::newRow("deletion: Törlés")
        << Window::Deletion << "BitBtn2" << true << 0
        << QList<Shown>{resultBox(QStringLiteral("Adatrekord törlése megtörtént !"))};
    QTest::newRow("deletion: Befejezés")
        << Window::Deletion << "BitBtn1" << true << 1 << QList<Shown>{};
    QTest::newRow("browser: Befejezés")
        << Window::Browser << "BitBtn1" << true << 1 << QList<Shown>{};
    QTest::newRow("statistics: Befejezés")
        << Window::Statistics << "BitBtn1" << true << 1 << QList<Shown>{};
    QTest::newRow("about: Rendben") << Window::About << "BitBtn2" << true << 1 << QList<Shown>{};
}

// Enter on a focused button presses that button, as the space bar does.
void DesktopTest::enterPressesTheFocusedButton() {
    QFETCH(Window, window);
    QFETCH(QString, button);
    QFETCH(bool, closes);
    QFETCH(int, recordsLeft);
    QFETCH(QList<Shown>, windows);

    bool open = true;
    QVERIFY(inside(window, [&](QWidget* top) {
        auto* target = top->findChild<QPushButton*>(button);
        QVERIFY(target);
        target->setFocus(Qt::TabFocusReason);
        QTest::keyClick(target, Qt::Key_Return);
        open = top->isVisible();
    }));
    QCOMPARE(!open, closes);
    QCOMPARE(m_app->recordCount(), recordsLeft);
    QCOMPARE(m_app->prompter().shown, windows);
}

// ---- the Escape key ----

void DesktopTest::escapeKey_data() {
    QTest::addColumn<Window>("window");
    QTest::addColumn<bool>("closes");

    QTest::newRow("entry form") << Window::Entry << false;
    QTest::newRow("record browser") << Window::Browser << false;
    QTest::newRow("deletion form") << Window::Deletion << false;
    QTest::newRow("statistics") << Window::Statistics << false;
    QTest::newRow("about box") << Window::About << true;
}

// Escape, pressed wherever the focus is when the window opens, closes only the about box; the
// other windows close only by their buttons and title bar, and nothing is stored or deleted.
void DesktopTest::escapeKey() {
    QFETCH(Window, window);
    QFETCH(bool, closes);

    bool open = true;
    QVERIFY(inside(window, [&](QWidget* top) {
        QWidget* focus = top->focusWidget();
        QTest::keyClick(focus ? focus : top, Qt::Key_Escape);
        QCoreApplication::processEvents();
        open = top->isVisible();
    }));
    QCOMPARE(!open, closes);
    QCOMPARE(m_app->recordCount(), 1);
    QCOMPARE(m_app->prompter().shown, QList<Shown>{});
}

// ---- names for screen readers ----

// Every button of every window, picture-only ones included, has a name that the
// accessibility interface reports.
void DesktopTest::everyButtonHasAName() {
    QList<QWidget*> windows{m_mainWindow};
    for (QDialog* d : m_mainWindow->findChildren<QDialog*>())
        windows << d;
    Report report;
    report.setTitle(QStringLiteral("Tárolt adatok"));
    ReportPreview preview(report, 1);
    windows << &preview;

    QStringList nameless;
    for (QWidget* window : windows)
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            // The select-all corner of a grid and the overflow arrow of a menu bar are parts of
            // those controls, not commands.
            if (qobject_cast<QAbstractItemView*>(button->parentWidget()) ||
                qobject_cast<QMenuBar*>(button->parentWidget()))
                continue;
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button);
            if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
                nameless << window->objectName() + QLatin1Char('/') + button->objectName();
        }
    QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral(", "))));
}

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"

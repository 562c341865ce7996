#include "data/sql/DbError.h"
#include "data/text/TextEncodingError.h"
#include "platform/AppLifetime.h"
#include "platform/Clock.h"
#include "platform/PictureFileDialog.h"
#include "platform/QtPrompter.h"
#include "platform/QtTranslation.h"
#include "platform/ScreenCursor.h"
#include "platform/SecondaryWindow.h"
#include "policy/CommandRunner.h"
#include "tests/support/FixedClock.h"
#include "tests/support/RecordingPrompter.h"

#include <QApplication>
#include <QCursor>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <stdexcept>

using namespace kx;
using namespace kx::test;

using Command = std::function<void()>;
using ModalAction = std::function<void(QWidget*)>;
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(QList<kx::test::Shown>)
Q_DECLARE_METATYPE(kx::CursorShape)
Q_DECLARE_METATYPE(kx::SecondaryWindow::TitleBar)
Q_DECLARE_METATYPE(kx::SecondaryWindow::EscapeKey)

namespace {

// Acts on the next modal window as soon as it is up; modal dialogs block the caller, so the
// action runs from the dialog's own event loop. Gives up (closing nothing) after a few seconds.
void whenModal(const ModalAction& action) {
    auto* timer = new QTimer;
    auto* tries = new int(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            action(modal);
            // A failed check inside the action must not leave the caller blocked.
            if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
                dialog->reject();
        } else if (++*tries < 500) {
            return;
        }
        timer->deleteLater();
        delete tries;
    });
    timer->start(10);
}

void clickButton(QWidget* modal, QMessageBox::StandardButton which) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box);
    QAbstractButton* button = box->button(which);
    QVERIFY(button);
    button->click();
}

void resetCursor() {
    ScreenCursor::set(CursorShape::Default);
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

// A secondary window with two fields; it counts its showings and notes where it stood and
// which control had the focus when each was prepared.
class ProbeWindow : public SecondaryWindow {
public:
    explicit ProbeWindow(TitleBar titleBar = TitleBar::CaptionAndButtons,
                         EscapeKey escape = EscapeKey::DoesNothing)
        : SecondaryWindow(QStringLiteral("Probe"), QStringLiteral("Próba:"), QSize(300, 200),
                          nullptr, titleBar, escape) {
        first = new QLineEdit(this);
        first->setGeometry(10, 10, 200, 21);
        second = new QLineEdit(this);
        second->setGeometry(10, 40, 200, 21);
        setFocusOnShowing(second);
    }
    void prepareShowing() override {
        ++showings;
        posWhenPrepared = pos();
        second->setText(QStringLiteral("showing %1").arg(showings));
    }

    QLineEdit* first;
    QLineEdit* second;
    int showings = 0;
    QPoint posWhenPrepared;
};

// Where a window of that size stands centred on the screen.
QPoint centredPos(const QWidget& window) {
    return QGuiApplication::primaryScreen()->availableGeometry().center() - window.rect().center();
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    void init() {
        resetCursor();
    }
    void cleanup() {
        resetCursor();
    }

    void runCommand_reportsWhatEscapes_data();
    void runCommand_reportsWhatEscapes();
    void runCommand_errorWindowComesWithNormalCursor();
    void runCommand_silentEndLeavesNormalCursor();

    void screenCursor_showsShape_data();
    void screenCursor_showsShape();
    void screenCursor_replacesItsOwnOverrideOnly();

    void appLifetime_endsLoopAfterHandler();

    void qtPrompter_messageWindows_data();
    void qtPrompter_messageWindows();
    void qtPrompter_question_data();
    void qtPrompter_question();
    void qtPrompter_buttonsAreHungarian_data();
    void qtPrompter_buttonsAreHungarian();
    void qtPrompter_fileDialogIsHungarian();
    void qtPrompter_input_data();
    void qtPrompter_input();
    void qtPrompter_saveFileProposesNameWithoutOverwriteQuestion();
    void qtPrompter_openPictureShowsPreview();

    void secondaryWindow_frame_data();
    void secondaryWindow_frame();
    void secondaryWindow_escape_data();
    void secondaryWindow_escape();
    void secondaryWindow_everyShowingIsPreparedAndCentred();

    void clock_runsUnlessFixed();
};

void TestPlatform::runCommand_reportsWhatEscapes_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<bool>("completed");
    QTest::addColumn<QList<Shown>>("windows");

    const TextEncodingError encoding(QStringLiteral("Ár €"), QStringLiteral("€"));

    QTest::newRow("normal end") << Command([] {}) << true << QList<Shown>{};
    QTest::newRow("silent abort") << Command([] { throw SilentAbort(); }) << false
                                  << QList<Shown>{};
    QTest::newRow("database error") << Command([] { throw DbError(QStringLiteral("x")); }) << false
                                    << QList<Shown>{errorReportBox(QStringLiteral("x"))};
    QTest::newRow("database error, accented text")
        << Command([] { throw DbError(QStringLiteral("Árvíztűrő tükörfúrógép"), 1146); }) << false
        << QList<Shown>{errorReportBox(QStringLiteral("Árvíztűrő tükörfúrógép"))};
    QTest::newRow("text Latin-2 cannot store") << Command([encoding] { throw encoding; }) << false
                                               << QList<Shown>{warningBox(encoding.userMessage())};
    QTest::newRow("other standard exception")
        << Command([] { throw std::runtime_error("boom"); }) << false
        << QList<Shown>{errorReportBox(QStringLiteral("boom"))};
    QTest::newRow("anything else")
        << Command([] { throw 42; }) << false
        << QList<Shown>{errorReportBox(QStringLiteral("Ismeretlen hiba"))};
}

void TestPlatform::runCommand_reportsWhatEscapes() {
    QFETCH(Command, command);
    QFETCH(bool, completed);
    QFETCH(QList<Shown>, windows);

    RecordingPrompter prompter;
    bool ran = false;
    QCOMPARE(runCommand(prompter,
                        [&] {
                            ran = true;
                            command();
                        }),
             completed);
    QVERIFY(ran);
    QCOMPARE(prompter.shown, windows);
}

void TestPlatform::runCommand_errorWindowComesWithNormalCursor() {
    // A command that fails while it shows the busy cursor must not leave the hourglass over
    // the error window, nor after it.
    RecordingPrompter prompter;
    QList<CursorShape> whileShown;
    prompter.onShown = [&](const Shown&) { whileShown << ScreenCursor::current(); };

    runCommand(prompter, [] {
        ScreenCursor::set(CursorShape::Busy);
        throw DbError(QStringLiteral("Lock wait timeout exceeded"));
    });
    runCommand(prompter, [] {
        ScreenCursor::set(CursorShape::DbWait);
        throw TextEncodingError(QStringLiteral("€"), QStringLiteral("€"));
    });

    QCOMPARE(prompter.shown.size(), 2);
    QCOMPARE(whileShown, (QList<CursorShape>{CursorShape::Default, CursorShape::Default}));
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestPlatform::runCommand_silentEndLeavesNormalCursor() {
    // A question answered No ends the command silently wherever it stood, with the busy
    // cursor on: the hourglass must not stay over a window that waits for the user.
    RecordingPrompter prompter;
    runCommand(prompter, [] {
        ScreenCursor::set(CursorShape::Busy);
        throw SilentAbort();
    });
    QVERIFY(prompter.shown.isEmpty());
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestPlatform::screenCursor_showsShape_data() {
    QTest::addColumn<CursorShape>("shape");
    QTest::addColumn<bool>("overridden");
    QTest::addColumn<int>("qtShape");

    QTest::newRow("busy") << CursorShape::Busy << true << int(Qt::WaitCursor);
    QTest::newRow("database wait") << CursorShape::DbWait << true << int(Qt::BusyCursor);
    QTest::newRow("default") << CursorShape::Default << false << 0;
}

void TestPlatform::screenCursor_showsShape() {
    QFETCH(CursorShape, shape);
    QFETCH(bool, overridden);
    QFETCH(int, qtShape);

    // From every starting shape, so a change between two waiting cursors is covered too.
    for (CursorShape before : {CursorShape::Default, CursorShape::Busy, CursorShape::DbWait}) {
        ScreenCursor::set(before);
        ScreenCursor::set(shape);
        QCOMPARE(ScreenCursor::current(), shape);
        QCOMPARE(QGuiApplication::overrideCursor() != nullptr, overridden);
        if (overridden)
            QCOMPARE(int(QGuiApplication::overrideCursor()->shape()), qtShape);
        // Back to the default, nothing of ours may stay on Qt's cursor stack.
        ScreenCursor::set(CursorShape::Default);
        QVERIFY(!QGuiApplication::overrideCursor());
    }
}

void TestPlatform::screenCursor_replacesItsOwnOverrideOnly() {
    // Setting the same waiting cursor again, or the other one, replaces it instead of
    // stacking; and a cursor that other code pushed beneath it survives the default.
    QGuiApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
    ScreenCursor::set(CursorShape::Busy);
    ScreenCursor::set(CursorShape::Busy);
    ScreenCursor::set(CursorShape::DbWait);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    ScreenCursor::set(CursorShape::Default);
    ScreenCursor::set(CursorShape::Default);
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
    QGuiApplication::restoreOverrideCursor();
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestPlatform::appLifetime_endsLoopAfterHandler() {
    AppLifetime lifetime;
    QVERIFY(!lifetime.endRequested());
    bool handlerFinished = false;
    bool laterEventRan = false;
    QTimer::singleShot(0, [&] {
        lifetime.requestEnd();
        // The request does not cut the handler short.
        handlerFinished = true;
    });
    // A guard in case the request never ends the loop.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, &guard, [&] {
        laterEventRan = true;
        QCoreApplication::exit(1);
    });
    guard.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(handlerFinished);
    QVERIFY(!laterEventRan);
    QVERIFY(lifetime.endRequested());
}

void TestPlatform::qtPrompter_messageWindows_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("icon");

    QTest::newRow("warning") << "warning"
                             << "Figyelem:" << int(QMessageBox::NoIcon);
    QTest::newRow("result") << "result"
                            << "Eljárás:" << int(QMessageBox::NoIcon);
    QTest::newRow("notice") << "notice"
                            << "Kartotex" << int(QMessageBox::NoIcon);
    QTest::newRow("error report") << "error"
                                  << "Kartotex" << int(QMessageBox::Critical);
}

void TestPlatform::qtPrompter_messageWindows() {
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(int, icon);

    const QString text = QStringLiteral("Adatok tárolása megtörtént !");
    QString seenCaption, seenText;
    int seenIcon = -1;
    QMessageBox::StandardButtons seenButtons;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        seenCaption = box->windowTitle();
        seenText = box->text();
        seenIcon = box->icon();
        seenButtons = box->standardButtons();
        clickButton(modal, QMessageBox::Ok);
    });

    QtPrompter prompter;
    if (kind == QLatin1String("warning"))
        prompter.warning(text);
    else if (kind == QLatin1String("result"))
        prompter.result(text);
    else if (kind == QLatin1String("notice"))
        prompter.notice(text);
    else
        prompter.errorReport(text);

    QCOMPARE(seenCaption, caption);
    QCOMPARE(seenText, text);
    QCOMPARE(seenIcon, icon);
    QCOMPARE(seenButtons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestPlatform::qtPrompter_question_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("no") << int(QMessageBox::No) << false;
}

void TestPlatform::qtPrompter_question() {
    QFETCH(int, answer);
    QFETCH(bool, yes);

    QString seenCaption;
    int seenIcon = -1;
    QMessageBox::StandardButtons seenButtons;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        seenCaption = box->windowTitle();
        seenIcon = box->icon();
        seenButtons = box->standardButtons();
        clickButton(modal, QMessageBox::StandardButton(answer));
    });

    QtPrompter prompter;
    QCOMPARE(prompter.question(QStringLiteral("Megpróbáljuk újra ?")), yes);
    QCOMPARE(seenCaption, QStringLiteral("Figyelem:"));
    QCOMPARE(seenIcon, int(QMessageBox::NoIcon));
    QCOMPARE(seenButtons, QMessageBox::Yes | QMessageBox::No);
}

void TestPlatform::qtPrompter_buttonsAreHungarian_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QList<int>>("buttons");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("question box") << "question" << QList<int>{QMessageBox::Yes, QMessageBox::No}
                                  << QStringList{QStringLiteral("Igen"), QStringLiteral("Nem")};
    QTest::newRow("warning box") << "warning" << QList<int>{QMessageBox::Ok}
                                 << QStringList{QStringLiteral("OK")};
    QTest::newRow("result box") << "result" << QList<int>{QMessageBox::Ok}
                                << QStringList{QStringLiteral("OK")};
}

// Whatever the desktop's language (the tests run under the C locale), the buttons of the
// message windows read as Qt's Hungarian translation has them.
void TestPlatform::qtPrompter_buttonsAreHungarian() {
    QFETCH(QString, kind);
    QFETCH(QList<int>, buttons);
    QFETCH(QStringList, texts);

    QVERIFY(installQtTranslation());
    QStringList seen;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        for (int which : buttons) {
            QAbstractButton* button = box->button(QMessageBox::StandardButton(which));
            QVERIFY(button);
            seen << button->text().remove(QLatin1Char('&'));
        }
        box->reject();
    });
    QtPrompter prompter;
    if (kind == QLatin1String("question"))
        prompter.question(QStringLiteral("Megpróbáljuk újra ?"));
    else if (kind == QLatin1String("warning"))
        prompter.warning(QStringLiteral("Nincs tárolt adatrekord !"));
    else
        prompter.result(QStringLiteral("Adatok tárolása megtörtént !"));
    QCOMPARE(seen, texts);
}

// The file dialogs too: Qt's own labels and buttons in Hungarian.
void TestPlatform::qtPrompter_fileDialogIsHungarian() {
    QVERIFY(installQtTranslation());
    QStringList seen;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        for (const char* name : {"lookInLabel", "fileNameLabel"}) {
            auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
            QVERIFY(label);
            seen << label->text().remove(QLatin1Char('&'));
        }
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        for (QDialogButtonBox::StandardButton which :
             {QDialogButtonBox::Open, QDialogButtonBox::Cancel}) {
            QVERIFY(buttons->button(which));
            seen << buttons->button(which)->text().remove(QLatin1Char('&'));
        }
        dialog->reject();
    });
    QtPrompter prompter;
    prompter.openFile(QStringLiteral("Tárolandó fájlok:"), QDir::tempPath());
    QCOMPARE(seen, (QStringList{QStringLiteral("Keresés itt:"), QStringLiteral("Fájl neve:"),
                                QStringLiteral("Megnyitás"), QStringLiteral("Mégse")}));
}

void TestPlatform::qtPrompter_input_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("expected");
    QTest::newRow("typed and accepted") << "Új típus" << true << QStringLiteral("Új típus");
    QTest::newRow("cancelled") << "Új típus" << false << QString();
    // An emptied field is an answer, not a cancel.
    QTest::newRow("emptied and accepted") << "" << true << QStringLiteral("");
}

void TestPlatform::qtPrompter_input() {
    QFETCH(QString, typed);
    QFETCH(bool, accept);
    QFETCH(QString, expected);

    QString seenCaption, seenPrompt, seenDefault;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        QVERIFY(dialog);
        seenCaption = dialog->windowTitle();
        seenPrompt = dialog->labelText();
        seenDefault = dialog->textValue();
        dialog->setTextValue(typed);
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });

    QtPrompter prompter;
    // A cancel gives an empty text even when the dialog proposed one.
    const QString got =
        prompter.input(QStringLiteral("Típus"), QStringLiteral("Új típus:"), QStringLiteral("abc"));
    QCOMPARE(got, expected);
    QCOMPARE(got.isNull(), !accept);
    QCOMPARE(seenCaption, QStringLiteral("Típus"));
    QCOMPARE(seenPrompt, QStringLiteral("Új típus:"));
    QCOMPARE(seenDefault, QStringLiteral("abc"));
}

void TestPlatform::qtPrompter_saveFileProposesNameWithoutOverwriteQuestion() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString existing = QDir(dir.path()).filePath(QStringLiteral("melléklet.pdf"));
    {
        QFile f(existing);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
    }

    bool confirms = true;
    QString proposed;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        proposed = dialog->selectedFiles().value(0);
        if (confirms)
            dialog->reject(); // accepting would ask about the existing file
        else
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own checks run
    });

    QtPrompter prompter;
    const QString chosen = prompter.saveFile(dir.path(), QStringLiteral("melléklet.pdf"));
    QVERIFY(!confirms);
    QCOMPARE(QFileInfo(proposed).absoluteFilePath(), existing);
    QCOMPARE(QFileInfo(chosen).absoluteFilePath(), existing);
}

// Clicks the entry of that name in a file dialog's list, once the list has read its folder.
static void clickFileEntry(QFileDialog* dialog, const QString& name) {
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QVERIFY(list);
    QModelIndex entry;
    const auto find = [&] {
        QAbstractItemModel* m = list->model();
        for (int r = 0; r < m->rowCount(list->rootIndex()); ++r) {
            const QModelIndex i = m->index(r, 0, list->rootIndex());
            if (i.data().toString() == name)
                entry = i;
        }
        return entry.isValid();
    };
    QTRY_VERIFY2(find(), qPrintable(name));
    list->scrollTo(entry);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(entry).center());
    QTRY_COMPARE(dialog->selectedFiles().value(0), dialog->directory().filePath(name));
}

// "Betölt"'s dialog: Qt's own, with Hungarian filter names and a preview of the selected
// JPEG as "Betölt" would decode it; a file that is not a JPEG image (whatever its name) and
// any other file leave the preview empty.
void TestPlatform::qtPrompter_openPictureShowsPreview() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // 640 x 480, red on the left, blue on the right.
    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 320; ++x)
            picture.setPixel(x, y, qRgb(255, 0, 0));
    const QString photo = dir.filePath(QStringLiteral("fotó.jpg"));
    QVERIFY(QImageWriter(photo, "jpeg").write(picture));
    for (const char* name : {"hamis.jpg", "jegyzet.txt"}) {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("nem kép\n");
    }

    QStringList filters;
    bool nativeAllowed = true;
    QImage shownPhoto;
    QString shownSize;
    bool emptyForFakeJpeg = false, emptyForText = false;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<PictureFileDialog*>(modal);
        QVERIFY(dialog);
        filters = dialog->nameFilters();
        nativeAllowed = !dialog->testOption(QFileDialog::DontUseNativeDialog);
        QLabel* preview = dialog->preview();
        QVERIFY(preview && preview->isVisible());

        clickFileEntry(dialog, QStringLiteral("fotó.jpg"));
        QTRY_VERIFY(!preview->pixmap().isNull());
        shownPhoto = preview->pixmap().toImage();
        shownSize = dialog->pictureSize()->text();

        // Other files show under the second filter only.
        dialog->selectNameFilter(filters.value(1));
        clickFileEntry(dialog, QStringLiteral("jegyzet.txt"));
        QTRY_VERIFY(preview->pixmap().isNull());
        emptyForText = dialog->pictureSize()->text().isEmpty();

        clickFileEntry(dialog, QStringLiteral("fotó.jpg"));
        QTRY_VERIFY(!preview->pixmap().isNull());
        clickFileEntry(dialog, QStringLiteral("hamis.jpg"));
        QTRY_VERIFY(preview->pixmap().isNull());
        emptyForFakeJpeg = dialog->pictureSize()->text().isEmpty();

        clickFileEntry(dialog, QStringLiteral("fotó.jpg"));
        QTRY_VERIFY(!preview->pixmap().isNull());
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own checks run
    });

    QtPrompter prompter;
    const QString chosen = prompter.openPicture(dir.path());
    QVERIFY(!nativeAllowed);
    QCOMPARE(filters.size(), 2);
    QVERIFY2(filters[0].startsWith(QStringLiteral("Képek (")) &&
                 filters[0].contains(QStringLiteral("*.jpg")) &&
                 filters[0].contains(QStringLiteral("*.jpeg")),
             qPrintable(filters[0]));
    QCOMPARE(filters[1], QStringLiteral("Minden fájl (*)"));
    // The photo fitted into the preview with its proportions, red left and blue right.
    QCOMPARE(shownPhoto.size(), QSize(PictureFileDialog::kPreviewSide, 120));
    const QColor left = shownPhoto.pixelColor(20, 60), right = shownPhoto.pixelColor(140, 60);
    QVERIFY2(left.red() > 200 && left.blue() < 60, qPrintable(left.name()));
    QVERIFY2(right.blue() > 200 && right.red() < 60, qPrintable(right.name()));
    QCOMPARE(shownSize, QStringLiteral("640 × 480 képpont"));
    QVERIFY(emptyForFakeJpeg);
    QVERIFY(emptyForText);
    QCOMPARE(QFileInfo(chosen).absoluteFilePath(), QFileInfo(photo).absoluteFilePath());
}

// ---- the secondary windows' base dialog ----

void TestPlatform::secondaryWindow_frame_data() {
    QTest::addColumn<SecondaryWindow::TitleBar>("titleBar");
    QTest::addColumn<bool>("buttons"); // system menu, minimise and close box

    QTest::newRow("caption and buttons") << SecondaryWindow::TitleBar::CaptionAndButtons << true;
    QTest::newRow("caption only") << SecondaryWindow::TitleBar::CaptionOnly << false;
}

// A fixed-size modal dialog in Tahoma 8 pt, never maximised, with the title bar it asks for.
void TestPlatform::secondaryWindow_frame() {
    QFETCH(SecondaryWindow::TitleBar, titleBar);
    QFETCH(bool, buttons);

    ProbeWindow window(titleBar);
    QCOMPARE(window.objectName(), QStringLiteral("Probe"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Próba:"));
    QVERIFY(window.isModal());
    QCOMPARE(window.size(), QSize(300, 200));
    QCOMPARE(window.minimumSize(), QSize(300, 200));
    QCOMPARE(window.maximumSize(), QSize(300, 200));
    QCOMPARE(window.font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(window.font().pointSize(), 8);

    const Qt::WindowFlags flags = window.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint) && flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(flags.testFlag(Qt::WindowSystemMenuHint), buttons);
    QCOMPARE(flags.testFlag(Qt::WindowMinimizeButtonHint), buttons);
    QCOMPARE(flags.testFlag(Qt::WindowCloseButtonHint), buttons);
}

void TestPlatform::secondaryWindow_escape_data() {
    QTest::addColumn<SecondaryWindow::EscapeKey>("escape");
    QTest::addColumn<bool>("closes");

    QTest::newRow("does nothing") << SecondaryWindow::EscapeKey::DoesNothing << false;
    QTest::newRow("closes") << SecondaryWindow::EscapeKey::Closes << true;
}

// Escape pressed in a field reaches the window, which either keeps it open or closes as by its
// close box (rejected).
void TestPlatform::secondaryWindow_escape() {
    QFETCH(SecondaryWindow::EscapeKey, escape);
    QFETCH(bool, closes);

    ProbeWindow window(SecondaryWindow::TitleBar::CaptionAndButtons, escape);
    window.setResult(-1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.focusWidget(), window.second);
    QTest::keyClick(window.second, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QCOMPARE(window.isVisible(), !closes);
    QCOMPARE(window.result(), closes ? int(QDialog::Rejected) : -1);
    // Other keys still reach the fields.
    if (!closes) {
        window.second->clear();
        QTest::keyClicks(window.second, QStringLiteral("x"));
        QCOMPARE(window.second->text(), QStringLiteral("x"));
    }
}

// Each showing is prepared once, centred on the screen before it is prepared, and starts with
// the focus on the chosen control, however the window was left the time before.
void TestPlatform::secondaryWindow_everyShowingIsPreparedAndCentred() {
    ProbeWindow window;
    window.move(0, 0);
    for (int showing = 1; showing <= 2; ++showing) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.showings, showing);
        QCOMPARE(window.posWhenPrepared, centredPos(window));
        QCOMPARE(window.pos(), centredPos(window));
        QCOMPARE(window.second->text(), QStringLiteral("showing %1").arg(showing));
        QCOMPARE(window.focusWidget(), window.second);
        // Left elsewhere, with the focus elsewhere.
        window.first->setFocus();
        window.move(centredPos(window) + QPoint(37, 23));
        QTRY_COMPARE(window.pos(), centredPos(window) + QPoint(37, 23));
        window.hide();
    }
}

// ---- the clock ----

// The clock runs with the system's time until a test fixes it; fixings nest and each gives
// back what was set before it.
void TestPlatform::clock_runsUnlessFixed() {
    const auto running = [] {
        const QDateTime before = QDateTime::currentDateTime();
        const QDateTime now = Clock::now();
        return !Clock::fixed().isValid() && now >= before && now <= QDateTime::currentDateTime() &&
               now.timeSpec() == Qt::LocalTime;
    };
    QVERIFY(running());
    const QDateTime outer(QDate(2001, 2, 3), QTime(4, 5, 6));
    const QDateTime inner(QDate(2039, 12, 31), QTime(23, 59, 59));
    {
        const FixedClock fixedOuter(outer);
        QCOMPARE(Clock::now(), outer);
        QTest::qWait(20);
        QCOMPARE(Clock::now(), outer); // held, not running from there
        {
            const FixedClock fixedInner(inner);
            QCOMPARE(Clock::now(), inner);
        }
        QCOMPARE(Clock::now(), outer);
    }
    QVERIFY(running());
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"

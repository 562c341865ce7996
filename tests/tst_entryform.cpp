// The record entry form: what it refuses, what it stores and how, and what an error in the
// middle of a store leaves behind.
#include "support/EditingApp.h"

#include "data/text/Latin2.h"
#include "data/text/TextEncodingError.h"
#include "editing/AttachedFile.h"
#include "editing/PhotoPanel.h"
#include "platform/ScreenCursor.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace kx;
using namespace kx::test;

namespace {

const QString kPostQuestion = QStringLiteral(
    "Adatok kiírása nem sikerült (másik felhasználó zárolta a táblát) ! Megpróbáljuk újra ?");
const QString kStored = QStringLiteral("Adatok tárolása megtörtént !");
const QString kTitleRequired = QStringLiteral("Legalább a cím megadása kötelező !");
const QString kDuplicate = QStringLiteral("Már szerepel ilyen címmel rekord az adatállományban !");

// The form as the user leaves it before pressing "Tárol".
void type(RecordForm* f, const QString& title, const QString& keywords = QStringLiteral("kulcs")) {
    f->titleEdit->setText(title);
    f->keywordsEdit->setText(keywords);
}

// A file whose full path is exactly length characters long, below base.
QString fileWithPathLength(const QString& base, qsizetype length) {
    QString dir = base;
    // Folders of 200 characters until the rest fits one file name.
    while (length - dir.size() - 1 > 200) {
        dir += QLatin1Char('/') + QString(200, QLatin1Char('d'));
        if (!QDir().mkpath(dir))
            qFatal("cannot create %s", qPrintable(dir));
    }
    const qsizetype nameLength = length - dir.size() - 1;
    if (nameLength < 5)
        qFatal("path too short for the base folder");
    const QString path =
        dir + QLatin1Char('/') + QString(nameLength - 4, QLatin1Char('f')) + QStringLiteral(".txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("tartalom") != 8)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QImage smallPicture() {
    QImage img(10, 8, QImage::Format_RGB32);
    img.fill(QColor(200, 30, 40));
    return img;
}

} // namespace

class EntryFormTest : public QObject {
    Q_OBJECT
private slots:
    void tabOrderAndEnterKey();
    void refusedTitles_data();
    void refusedTitles();
    void acceptedTitles_data();
    void acceptedTitles();
    void storesEveryColumnThroughTheMainWindow();
    void everyFieldButTheTitleEmpty();
    void failedWriteLeavesNoPendingRow_data();
    void failedWriteLeavesNoPendingRow();
    void lockedWriteRetriedAfterRelease();
    void tooLargeFileLeavesNoPendingRow();
    void textLatin2CannotHoldKeepsTyping_data();
    void textLatin2CannotHoldKeepsTyping();
    void discardAndCloseDropTypedData();
    void pathLongerThanTheFileLine_data();
    void pathLongerThanTheFileLine();
    void descriptionLongerThanItsColumn_data();
    void descriptionLongerThanItsColumn();
};

void EntryFormTest::tabOrderAndEnterKey() {
    SharedData data;
    RecordingPrompter prompter;
    EntryForm form(data, prompter);
    // Shown without a record store: only the keyboard is looked at here.
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    // Tab order: Befejezés, Tárol, Elvet, then the fields from Cím to Tárolandó fájl.
    const QList<QWidget*> expected = {form.closeButton,  form.storeButton,     form.discardButton,
                                      form.titleEdit,    form.typeBox,         form.categoryBox,
                                      form.keywordsEdit, form.referenceEdit,   form.recorderEdit,
                                      form.dateEdit,     form.descriptionEdit, form.fileEdit};
    form.closeButton->setFocus();
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected[i]);
    }

    // Enter moves on from every one-line field, the boxes included, but not from Leírás.
    for (QWidget* w :
         {static_cast<QWidget*>(form.titleEdit), static_cast<QWidget*>(form.typeBox),
          static_cast<QWidget*>(form.categoryBox), static_cast<QWidget*>(form.keywordsEdit),
          static_cast<QWidget*>(form.referenceEdit), static_cast<QWidget*>(form.recorderEdit),
          static_cast<QWidget*>(form.dateEdit)}) {
        w->setFocus();
        const qsizetype at = expected.indexOf(w);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), expected[at + 1]);
    }
    form.typeBox->setEditText(QStringLiteral("Könyv"));
    form.typeBox->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(form.typeBox->count(), 0); // Enter adds nothing to the list
    form.descriptionEdit->setFocus();
    QTest::keyClicks(form.descriptionEdit, QStringLiteral("a"));
    QTest::keyClick(form.descriptionEdit, Qt::Key_Return);
    QTest::keyClicks(form.descriptionEdit, QStringLiteral("b"));
    QCOMPARE(QApplication::focusWidget(), form.descriptionEdit);
    QCOMPARE(form.descriptionEdit->toPlainText(), QStringLiteral("a\nb"));

    // The labels name their fields.
    for (QLabel* label : form.findChildren<QLabel*>())
        if (label->text() == QLatin1String("Keresőszavak"))
            QCOMPARE(label->buddy(), form.keywordsEdit);
    QCOMPARE(form.titleEdit->maxLength(), 350);
    QCOMPARE(form.keywordsEdit->maxLength(), 750);
    QCOMPARE(form.recorderEdit->maxLength(), 55);
    QCOMPARE(form.dateEdit->maxLength(), 25);
    form.closeButton->click();
    QVERIFY(!form.isVisible());
}

void EntryFormTest::refusedTitles_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QString() << QString() << kTitleRequired;
    QTest::newRow("blanks only") << QString() << QStringLiteral("   ") << kTitleRequired;
    QTest::newRow("equal to a stored title") << "Almafa"
                                             << "Almafa" << kDuplicate;
    QTest::newRow("beginning of a stored title") << "Almafa"
                                                 << "Alma" << kDuplicate;
}

void EntryFormTest::refusedTitles() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    EditingApp e;
    if (!stored.isEmpty())
        e.addRecord(stored);
    const int before = e.recordCount();
    e.entryForm->prepareShowing();
    type(e.entryForm, typed);
    e.entryForm->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{warningBox(message)});
    QCOMPARE(e.recordCount(), before);
    // Everything typed is kept.
    QCOMPARE(e.entryForm->titleEdit->text(), typed);
    QCOMPARE(e.entryForm->keywordsEdit->text(), QStringLiteral("kulcs"));
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void EntryFormTest::acceptedTitles_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::newRow("a stored title begins it") << "Alma"
                                              << "Almafa";
    QTest::newRow("leading and trailing blanks kept") << "Alma"
                                                      << "  Alma  ";
    QTest::newRow("letter case counts") << "Almafa"
                                        << "almafa";
}

void EntryFormTest::acceptedTitles() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    EditingApp e;
    e.addRecord(stored);
    e.entryForm->prepareShowing();
    type(e.entryForm, typed);
    e.entryForm->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kStored)});
    QCOMPARE(e.recordCount(), 2);
    // Stored byte for byte, blanks and letter case as typed.
    QCOMPARE(e.value(QStringLiteral("SELECT HEX(CIM) FROM tbl_Data ORDER BY AZ DESC LIMIT 1")),
             QString::fromLatin1(latin2::encode(typed).toHex().toUpper()));
    // The grid and the count show it; the form is empty for the next record.
    QCOMPARE(e.data().recordQuery.recordCount(), 2);
    QCOMPARE(e.entryForm->countLabel->text(), QStringLiteral("2"));
    QCOMPARE(e.entryForm->titleEdit->text(), QString());
    QCOMPARE(e.entryForm->keywordsEdit->text(), QString());
    QVERIFY(!e.entryForm->dateEdit->text().isEmpty());
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void EntryFormTest::storesEveryColumnThroughTheMainWindow() {
    EditingApp e;
    QFile file(e.app.folder.path() + QStringLiteral("/jegyzet.Txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("tartalom\0bájtok", 15);
    file.close();

    QByteArray photoBytes;
    QString labelAfterStore;
    QStringList shownAfterFirstStore;
    const bool opened = insideModal(
        e.entryForm,
        [&] {
            EntryForm* f = e.entryForm;
            f->titleEdit->setText(QStringLiteral("Árvíztűrő tükörfúrógép"));
            f->typeBox->setEditText(QStringLiteral("Könyv"));
            f->categoryBox->setEditText(QStringLiteral("Regény"));
            f->keywordsEdit->setText(QStringLiteral("víz, fúró"));
            f->referenceEdit->setText(QStringLiteral("https://pelda.hu/a'b\\c"));
            f->recorderEdit->setText(QStringLiteral("Kiss Éva"));
            f->dateEdit->setText(QStringLiteral("valamikor tavaly"));
            f->descriptionEdit->setPlainText(QStringLiteral("első sor\nmásodik\u00a0sor"));
            f->photo->placeSource(smallPicture(), 24);
            photoBytes = f->photo->photoBytes();
            e.prompter().answerFiles({file.fileName()});
            f->chooseFileButton->click();
            f->storeButton->click();
            shownAfterFirstStore = e.prompter().texts();
            labelAfterStore = f->countLabel->text();
            f->storeButton->click(); // the form has been cleared
            f->closeButton->click();
        },
        [&] { e.app.mainWindow->menuEntryAction->trigger(); });
    QVERIFY(opened);
    QCOMPARE(e.prompter().shown,
             (QList<Shown>{{QStringLiteral("openFile"), QStringLiteral("Tárolandó fájlok:"),
                            QStringLiteral("")},
                           resultBox(kStored),
                           warningBox(kTitleRequired)}));
    QCOMPARE(labelAfterStore, QStringLiteral("1"));

    const QString row = QStringLiteral("FROM tbl_Data WHERE AZ = (SELECT MAX(AZ) FROM tbl_Data)");
    QCOMPARE(e.value(QStringLiteral("SELECT CIM ") + row),
             QStringLiteral("Árvíztűrő tükörfúrógép"));
    QCOMPARE(e.value(QStringLiteral("SELECT TIP ") + row), QStringLiteral("Könyv"));
    QCOMPARE(e.value(QStringLiteral("SELECT KAT ") + row), QStringLiteral("Regény"));
    QCOMPARE(e.value(QStringLiteral("SELECT KSZO ") + row), QStringLiteral("víz, fúró"));
    QCOMPARE(e.value(QStringLiteral("SELECT HIV ") + row),
             QStringLiteral("https://pelda.hu/a'b\\c"));
    QCOMPARE(e.value(QStringLiteral("SELECT FELVEV ") + row), QStringLiteral("Kiss Éva"));
    QCOMPARE(e.value(QStringLiteral("SELECT DATUM ") + row), QStringLiteral("valamikor tavaly"));
    QCOMPARE(e.value(QStringLiteral("SELECT LEIRAS ") + row),
             QStringLiteral("első sor\r\nmásodik\u00a0sor"));
    QVERIFY(photoBytes.startsWith("BM"));
    QCOMPARE(e.value(QStringLiteral("SELECT HEX(FOTO) ") + row),
             QString::fromLatin1(photoBytes.toHex().toUpper()));
    QCOMPARE(e.value(QStringLiteral("SELECT FNEV ") + row), QStringLiteral("jegyzet.Txt"));
    QCOMPARE(e.value(QStringLiteral("SELECT FTIP ") + row), QStringLiteral("TEXT"));
    QCOMPARE(e.value(QStringLiteral("SELECT FMER ") + row), QStringLiteral("15"));
    QCOMPARE(e.value(QStringLiteral("SELECT HEX(FILE) ") + row),
             QString::fromLatin1(QByteArray("tartalom\0bájtok", 15).toHex().toUpper()));
    // The typed type and category joined their lists; the grid shows the record.
    QCOMPARE(e.value(QStringLiteral("SELECT GROUP_CONCAT(TIP) FROM tbl_Tip")),
             QStringLiteral("Könyv"));
    QCOMPARE(e.value(QStringLiteral("SELECT GROUP_CONCAT(KAT) FROM tbl_Kat")),
             QStringLiteral("Regény"));
    QCOMPARE(e.data().recordQuery.recordCount(), 1);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void EntryFormTest::everyFieldButTheTitleEmpty() {
    EditingApp e;
    e.entryForm->prepareShowing();
    e.entryForm->titleEdit->setText(QStringLiteral("Csak cím"));
    e.entryForm->dateEdit->clear();
    e.entryForm->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kStored)});
    // Empty texts and an empty photo are values, not NULL; the file columns stay unset.
    QCOMPARE(e.value(QStringLiteral(
                 "SELECT CONCAT_WS('|', TIP = '', KAT = '', KSZO = '', HIV = '', DATUM = '', "
                 "FELVEV = '', LEIRAS = '', LENGTH(FOTO) = 0) FROM tbl_Data")),
             QStringLiteral("1|1|1|1|1|1|1|1"));
    QCOMPARE(
        e.value(QStringLiteral("SELECT CONCAT_WS('|', FNEV IS NULL, FTIP IS NULL, FMER IS NULL, "
                               "FILE IS NULL) FROM tbl_Data")),
        QStringLiteral("1|1|1|1"));
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Tip")), QStringLiteral("0"));
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Kat")), QStringLiteral("0"));
}

void EntryFormTest::failedWriteLeavesNoPendingRow_data() {
    QTest::addColumn<bool>("locked");
    QTest::newRow("value the server refuses") << false;
    QTest::newRow("table locked by another workstation") << true;
}

void EntryFormTest::failedWriteLeavesNoPendingRow() {
    QFETCH(bool, locked);
    EditingApp e;
    e.addRecord(QStringLiteral("Meglévő"));
    e.entryForm->prepareShowing();
    type(e.entryForm, QStringLiteral("Új rekord"), QStringLiteral("félkész"));
    e.entryForm->photo->placeSource(smallPicture(), 24);
    if (locked) {
        e.db.exec(QStringLiteral("START TRANSACTION"));
        e.db.exec(QStringLiteral("SELECT * FROM tbl_Data FOR UPDATE"));
    } else {
        // A rule of the server's own that the form cannot know of.
        e.db.exec(QStringLiteral(
            "ALTER TABLE tbl_Data ADD CONSTRAINT kx_refused CHECK (HIV <> 'tiltott')"));
        e.entryForm->referenceEdit->setText(QStringLiteral("tiltott"));
    }
    e.prompter().answerQuestions({false});
    e.entryForm->storeClicked();
    if (locked)
        e.db.exec(QStringLiteral("ROLLBACK"));

    QCOMPARE(e.prompter().shown.size(), 2);
    QVERIFY2(isHookBox(e.prompter().shown[0]), qPrintable(e.prompter().shown[0].text));
    QCOMPARE(e.prompter().shown[1], questionBox(kPostQuestion));
    QCOMPARE(e.recordCount(), 1);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QCOMPARE(e.data().recordTable.state(), TableState::Browse);
    QCOMPARE(e.entryForm->titleEdit->text(), QStringLiteral("Új rekord"));
    QCOMPARE(e.entryForm->keywordsEdit->text(), QStringLiteral("félkész"));

    // A later write by another operation writes its own row and nothing of the failed one.
    Table& t = e.data().recordTable;
    t.post();
    QCOMPARE(e.recordCount(), 1);
    t.append();
    t.setField(QStringLiteral("CIM"), QStringLiteral("Másik"));
    t.post();
    QCOMPARE(e.recordCount(), 2);
    QCOMPARE(
        e.value(QStringLiteral("SELECT CONCAT_WS('|', KSZO IS NULL, FOTO IS NULL) FROM tbl_Data "
                               "WHERE CIM = 'Másik'")),
        QStringLiteral("1|1"));
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE KSZO = 'félkész'")),
             QStringLiteral("0"));
}

void EntryFormTest::lockedWriteRetriedAfterRelease() {
    EditingApp e;
    e.entryForm->prepareShowing();
    type(e.entryForm, QStringLiteral("Várakozó"));
    e.db.exec(QStringLiteral("START TRANSACTION"));
    e.db.exec(QStringLiteral("SELECT * FROM tbl_Data FOR UPDATE"));
    // The other workstation lets go while the question is on the screen; Yes tries again.
    e.prompter().onShown = [&](const Shown& s) {
        if (s.kind == QLatin1String("question"))
            e.db.exec(QStringLiteral("ROLLBACK"));
    };
    e.prompter().answerQuestions({true});
    e.entryForm->storeClicked();
    QCOMPARE(e.prompter().shown.size(), 3);
    QVERIFY(isHookBox(e.prompter().shown[0]));
    QCOMPARE(e.prompter().shown[1], questionBox(kPostQuestion));
    QCOMPARE(e.prompter().shown[2], resultBox(kStored));
    QCOMPARE(e.value(QStringLiteral("SELECT GROUP_CONCAT(CIM) FROM tbl_Data")),
             QStringLiteral("Várakozó"));
    QCOMPARE(e.entryForm->titleEdit->text(), QString());
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void EntryFormTest::tooLargeFileLeavesNoPendingRow() {
    EditingApp e;
    // A sparse file one byte over what the server takes in one row: refused before the write.
    const quint64 limit = e.data().recordStore.maxAllowedPacket();
    QFile big(e.app.folder.path() + QStringLiteral("/nagy.bin"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(qint64(limit) + 1));
    big.close();

    e.entryForm->prepareShowing();
    type(e.entryForm, QStringLiteral("Nagy fájllal"));
    e.prompter().answerFiles({big.fileName()});
    e.entryForm->chooseFileButton->click();
    e.prompter().clear();
    e.entryForm->storeClicked();
    QCOMPARE(e.prompter().shown.size(), 1);
    QCOMPARE(e.prompter().shown[0].kind, QStringLiteral("error"));
    QCOMPARE(e.recordCount(), 0);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QCOMPARE(e.data().recordTable.state(), TableState::Browse);
    QCOMPARE(e.entryForm->fileEdit->text(), big.fileName());
    QCOMPARE(e.entryForm->titleEdit->text(), QStringLiteral("Nagy fájllal"));
    e.data().recordTable.post(); // nothing is pending
    QCOMPARE(e.recordCount(), 0);
}

void EntryFormTest::textLatin2CannotHoldKeepsTyping_data() {
    QTest::addColumn<QString>("field");
    QTest::newRow("title") << "Edit1";
    QTest::newRow("keywords") << "Edit4";
    QTest::newRow("category") << "ComboBox2";
    QTest::newRow("description") << "Memo1";
}

void EntryFormTest::textLatin2CannotHoldKeepsTyping() {
    QFETCH(QString, field);
    EditingApp e;
    EntryForm* f = e.entryForm;
    f->prepareShowing();
    type(f, QStringLiteral("Ár"));
    const QString text = QStringLiteral("ára 5 €");
    QWidget* w = f->findChild<QWidget*>(field);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* box = qobject_cast<QComboBox*>(w))
        box->setEditText(text);
    else
        qobject_cast<QPlainTextEdit*>(w)->setPlainText(text);
    f->storeClicked();

    QCOMPARE(e.prompter().shown,
             QList<Shown>{warningBox(TextEncodingError(text, QString()).userMessage())});
    QCOMPARE(e.recordCount(), 0);
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Kat")), QStringLiteral("0"));
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QCOMPARE(e.data().recordTable.state(), TableState::Browse);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        QCOMPARE(edit->text(), text);
    else if (auto* box = qobject_cast<QComboBox*>(w))
        QCOMPARE(box->currentText(), text);
    else
        QCOMPARE(qobject_cast<QPlainTextEdit*>(w)->toPlainText(), text);
}

void EntryFormTest::discardAndCloseDropTypedData() {
    EditingApp e;
    e.db.exec(QStringLiteral("INSERT INTO tbl_Tip (TIP) VALUES ('Könyv')"));
    QStringList afterDiscard;
    int itemsAfterDiscard = -1;
    bool opened = insideModal(
        e.entryForm,
        [&] {
            EntryForm* f = e.entryForm;
            type(f, QStringLiteral("Eldobott"));
            f->typeBox->setEditText(QStringLiteral("Könyv"));
            f->descriptionEdit->setPlainText(QStringLiteral("szöveg"));
            f->photo->placeSource(smallPicture(), 24);
            f->discardButton->click();
            afterDiscard = {f->titleEdit->text(), f->keywordsEdit->text(),
                            f->typeBox->currentText(), f->descriptionEdit->toPlainText(),
                            f->photoCaption->text()};
            itemsAfterDiscard = f->typeBox->count();
            QVERIFY(f->photo->isEmpty());
            QVERIFY(!f->dateEdit->text().isEmpty());
            type(f, QStringLiteral("Bezárással eldobott"));
            f->closeButton->click();
        },
        [&] { e.app.mainWindow->menuEntryAction->trigger(); });
    QVERIFY(opened);
    QCOMPARE(afterDiscard, (QStringList{QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                                        QStringLiteral(""), QStringLiteral("Fotó")}));
    QCOMPARE(itemsAfterDiscard, 1); // the list stays
    // The next showing starts empty; nothing was asked or stored.
    QString titleAtNextShowing = QStringLiteral("?");
    opened = insideModal(
        e.entryForm, [&] { titleAtNextShowing = e.entryForm->titleEdit->text(); },
        [&] { e.app.mainWindow->gridEntryAction->trigger(); });
    QVERIFY(opened);
    QCOMPARE(titleAtNextShowing, QString());
    QCOMPARE(e.prompter().shown, QList<Shown>{});
    QCOMPARE(e.recordCount(), 0);
}

void EntryFormTest::pathLongerThanTheFileLine_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("attached");
    QTest::newRow("500 characters, as many as the line holds") << 500 << true;
    QTest::newRow("501 characters") << 501 << false;
}

void EntryFormTest::pathLongerThanTheFileLine() {
    QFETCH(int, length);
    QFETCH(bool, attached);
    EditingApp e;
    const QString path = fileWithPathLength(e.app.folder.path(), length);
    QCOMPARE(path.size(), length);
    e.entryForm->prepareShowing();
    type(e.entryForm, QStringLiteral("Hosszú úttal"));
    e.prompter().answerFiles({path});
    e.entryForm->chooseFileButton->click();
    QCOMPARE(e.entryForm->fileEdit->text(), attached ? path : QString());
    e.entryForm->storeClicked();

    const Shown chooser{QStringLiteral("openFile"), QStringLiteral("Tárolandó fájlok:"),
                        QStringLiteral("")};
    const QString fnev =
        e.value(QStringLiteral("SELECT CONCAT_WS('|', FNEV, FMER, FILE) FROM tbl_Data"));
    if (attached) {
        QCOMPARE(e.prompter().shown, (QList<Shown>{chooser, resultBox(kStored)}));
        QCOMPARE(fnev, QFileInfo(path).fileName() + QStringLiteral("|8|tartalom"));
        return;
    }
    // Told at once; the line was never cut to a path that names no file, and the record is
    // stored without one.
    QCOMPARE(e.prompter().shown,
             (QList<Shown>{chooser,
                           warningBox(QStringLiteral("A kiválasztott fájl elérési útja hosszabb "
                                                     "500 karakternél, a fájl nem csatolható !")),
                           resultBox(kStored)}));
    QCOMPARE(e.recordCount(), 1);
    QCOMPARE(
        e.value(QStringLiteral("SELECT CONCAT_WS('|', FNEV IS NULL, FILE IS NULL) FROM tbl_Data")),
        QStringLiteral("1|1"));
}

void EntryFormTest::descriptionLongerThanItsColumn_data() {
    QTest::addColumn<bool>("modification");
    QTest::addColumn<QString>("text"); // as typed into Leírás, lines apart by LF
    QTest::addColumn<bool>("fits");
    const QString x = QStringLiteral("x");
    // Lines of two letters: with LF between them the text takes 3 * lines - 1 characters,
    // stored with CR LF it takes one more per break.
    const auto lines = [](int count) {
        QStringList l;
        for (int i = 0; i < count; ++i)
            l << QStringLiteral("xx");
        return l.join(QLatin1Char('\n'));
    };
    QTest::newRow("entry, just fits") << false << x.repeated(65535) << true;
    QTest::newRow("entry, one byte over") << false << x.repeated(65536) << false;
    QTest::newRow("modification, just fits") << true << x.repeated(65535) << true;
    QTest::newRow("modification, one byte over") << true << x.repeated(65536) << false;
    // 21,000 breaks: 62,999 characters with LF, 83,998 bytes with CR LF.
    QTest::newRow("entry, over only with CR LF") << false << lines(21000) << false;
    QTest::newRow("modification, over only with CR LF") << true << lines(21000) << false;
    // 16,384 lines and one letter more: 65,535 bytes with CR LF exactly.
    QTest::newRow("entry, with CR LF just fits")
        << false << lines(16384) + QStringLiteral("x") << true;
    QTest::newRow("modification, with CR LF one over")
        << true << lines(16384) + QStringLiteral("xx") << false;
    // One byte each in Latin-2, two in UTF-8.
    const QString o = QString(QChar(0x0151)); // ő
    QTest::newRow("entry, accented, just fits") << false << o.repeated(65535) << true;
    QTest::newRow("modification, accented, just fits") << true << o.repeated(65535) << true;
    QTest::newRow("entry, accented, one byte over") << false << o.repeated(65536) << false;
}

void EntryFormTest::descriptionLongerThanItsColumn() {
    QFETCH(bool, modification);
    QFETCH(QString, text);
    QFETCH(bool, fits);
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Meglévő"), {QStringLiteral("LEIRAS")},
                                   {QStringLiteral("'eredeti'")});
    RecordForm* form = modification ? static_cast<RecordForm*>(e.modificationForm) : e.entryForm;
    if (modification) {
        e.openForModification(QStringLiteral("Meglévő"));
    } else {
        e.entryForm->prepareShowing();
        e.entryForm->titleEdit->setText(QStringLiteral("Új"));
    }
    form->keywordsEdit->setText(QStringLiteral("gépelt"));
    form->descriptionEdit->setPlainText(text);
    form->storeClicked();

    QString stored = text;
    stored.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (fits) {
        QCOMPARE(e.prompter().shown,
                 QList<Shown>{resultBox(modification ? QStringLiteral("Adatok módosítása "
                                                                      "megtörtént !")
                                                     : kStored)});
        QCOMPARE(e.value(QStringLiteral("SELECT CONCAT(LENGTH(LEIRAS), ' ', MD5(LEIRAS)) FROM "
                                        "tbl_Data WHERE KSZO = 'gépelt'")),
                 QStringLiteral("%1 %2")
                     .arg(latin2::encode(stored).size())
                     .arg(QString::fromLatin1(
                         QCryptographicHash::hash(latin2::encode(stored), QCryptographicHash::Md5)
                             .toHex())));
        return;
    }
    // Refused before anything is written: no lock question, no row, the text kept.
    QCOMPARE(e.prompter().shown,
             QList<Shown>{warningBox(QStringLiteral("A leírás legfeljebb 65535 karakter hosszú "
                                                    "lehet (minden sortörés 2 karakternek "
                                                    "számít) !"))});
    QCOMPARE(form->descriptionEdit->toPlainText(), text);
    QCOMPARE(form->keywordsEdit->text(), QStringLiteral("gépelt"));
    QCOMPARE(e.recordCount(), 1);
    QCOMPARE(e.value(QStringLiteral("SELECT CONCAT(KSZO IS NULL, LEIRAS) FROM tbl_Data WHERE AZ "
                                    "= %1")
                         .arg(key)),
             QStringLiteral("1eredeti"));
    QCOMPARE(e.data().recordTable.state(), TableState::Browse);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);

    // Shortened, the same form stores what it keeps.
    form->descriptionEdit->setPlainText(text.left(1000));
    form->storeClicked();
    QCOMPARE(e.prompter().shown.last().kind, QStringLiteral("result"));
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE KSZO = 'gépelt'")),
             QStringLiteral("1"));
}

QTEST_MAIN(EntryFormTest)
#include "tst_entryform.moc"

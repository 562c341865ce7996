// The record entry form: what it refuses, what it stores and how, and what an error in the
// middle of a store leaves behind.
#include "support/EditingApp.h"

#include "data/Latin2.h"
#include "editing/AttachedFile.h"
#include "editing/PhotoPanel.h"
#include "platform/ScreenCursor.h"

#include <QApplication>
#include <QComboBox>
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

bool isHookBox(const Shown& s) {
    return s.kind == QLatin1String("warning") &&
           s.text.startsWith(QStringLiteral("Adatbázis csatlakozási hiba -> "));
}

// The form as the user leaves it before pressing "Tárol".
void type(RecordForm* f, const QString& title, const QString& keywords = QStringLiteral("kulcs")) {
    f->Edit1->setText(title);
    f->Edit4->setText(keywords);
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
};

void EntryFormTest::tabOrderAndEnterKey() {
    SharedData data;
    RecordingPrompter prompter;
    TForm2 form(data, prompter);
    // Shown without a record store: only the keyboard is looked at here.
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    // Tab order: Befejezés, Tárol, Elvet, then the fields from Cím to Tárolandó fájl.
    const QList<QWidget*> expected = {form.BitBtn1,   form.BitBtn2,   form.BitBtn3, form.Edit1,
                                      form.ComboBox1, form.ComboBox2, form.Edit4,   form.Edit5,
                                      form.Edit6,     form.Edit7,     form.Memo1,   form.Edit2};
    form.BitBtn1->setFocus();
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected[i]);
    }

    // Enter moves on from every one-line field, the boxes included, but not from Leírás.
    for (QWidget* w : {static_cast<QWidget*>(form.Edit1), static_cast<QWidget*>(form.ComboBox1),
                       static_cast<QWidget*>(form.ComboBox2), static_cast<QWidget*>(form.Edit4),
                       static_cast<QWidget*>(form.Edit5), static_cast<QWidget*>(form.Edit6),
                       static_cast<QWidget*>(form.Edit7)}) {
        w->setFocus();
        const qsizetype at = expected.indexOf(w);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), expected[at + 1]);
    }
    form.ComboBox1->setEditText(QStringLiteral("Könyv"));
    form.ComboBox1->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(form.ComboBox1->count(), 0); // Enter adds nothing to the list
    form.Memo1->setFocus();
    QTest::keyClicks(form.Memo1, QStringLiteral("a"));
    QTest::keyClick(form.Memo1, Qt::Key_Return);
    QTest::keyClicks(form.Memo1, QStringLiteral("b"));
    QCOMPARE(QApplication::focusWidget(), form.Memo1);
    QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("a\nb"));

    // The labels name their fields.
    for (QLabel* label : form.findChildren<QLabel*>())
        if (label->text() == QLatin1String("Keresőszavak"))
            QCOMPARE(label->buddy(), form.Edit4);
    QCOMPARE(form.Edit1->maxLength(), 350);
    QCOMPARE(form.Edit4->maxLength(), 750);
    QCOMPARE(form.Edit6->maxLength(), 55);
    QCOMPARE(form.Edit7->maxLength(), 25);
    form.BitBtn1->click();
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
    e.form2->FormShow();
    type(e.form2, typed);
    e.form2->BitBtn2Click();
    QCOMPARE(e.prompter().shown, QList<Shown>{warningBox(message)});
    QCOMPARE(e.recordCount(), before);
    // Everything typed is kept.
    QCOMPARE(e.form2->Edit1->text(), typed);
    QCOMPARE(e.form2->Edit4->text(), QStringLiteral("kulcs"));
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
    e.form2->FormShow();
    type(e.form2, typed);
    e.form2->BitBtn2Click();
    QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kStored)});
    QCOMPARE(e.recordCount(), 2);
    // Stored byte for byte, blanks and letter case as typed.
    QCOMPARE(e.value(QStringLiteral("SELECT HEX(CIM) FROM tbl_Data ORDER BY AZ DESC LIMIT 1")),
             QString::fromLatin1(latin2::encode(typed).toHex().toUpper()));
    // The grid and the count show it; the form is empty for the next record.
    QCOMPARE(e.data().FDQuery1.recordCount(), 2);
    QCOMPARE(e.form2->Label2->text(), QStringLiteral("2"));
    QCOMPARE(e.form2->Edit1->text(), QString());
    QCOMPARE(e.form2->Edit4->text(), QString());
    QVERIFY(!e.form2->Edit7->text().isEmpty());
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
        e.form2,
        [&] {
            TForm2* f = e.form2;
            f->Edit1->setText(QStringLiteral("Árvíztűrő tükörfúrógép"));
            f->ComboBox1->setEditText(QStringLiteral("Könyv"));
            f->ComboBox2->setEditText(QStringLiteral("Regény"));
            f->Edit4->setText(QStringLiteral("víz, fúró"));
            f->Edit5->setText(QStringLiteral("https://pelda.hu/a'b\\c"));
            f->Edit6->setText(QStringLiteral("Kiss Éva"));
            f->Edit7->setText(QStringLiteral("valamikor tavaly"));
            f->Memo1->setPlainText(QStringLiteral("első sor\nmásodik\u00a0sor"));
            f->photo->placeSource(smallPicture(), 24);
            photoBytes = f->photo->photoBytes();
            e.prompter().answerFiles({file.fileName()});
            f->SpeedButton1->click();
            f->BitBtn2->click();
            shownAfterFirstStore = e.prompter().texts();
            labelAfterStore = f->Label2->text();
            f->BitBtn2->click(); // the form has been cleared
            f->BitBtn1->click();
        },
        [&] { e.app.form1->Lexikon1Click(); });
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
    QCOMPARE(e.data().FDQuery1.recordCount(), 1);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void EntryFormTest::everyFieldButTheTitleEmpty() {
    EditingApp e;
    e.form2->FormShow();
    e.form2->Edit1->setText(QStringLiteral("Csak cím"));
    e.form2->Edit7->clear();
    e.form2->BitBtn2Click();
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
    e.form2->FormShow();
    type(e.form2, QStringLiteral("Új rekord"), QStringLiteral("félkész"));
    e.form2->photo->placeSource(smallPicture(), 24);
    if (locked) {
        e.db.exec(QStringLiteral("START TRANSACTION"));
        e.db.exec(QStringLiteral("SELECT * FROM tbl_Data FOR UPDATE"));
    } else {
        // A rule of the server's own that the form cannot know of.
        e.db.exec(QStringLiteral(
            "ALTER TABLE tbl_Data ADD CONSTRAINT kx_refused CHECK (HIV <> 'tiltott')"));
        e.form2->Edit5->setText(QStringLiteral("tiltott"));
    }
    e.prompter().answerQuestions({false});
    e.form2->BitBtn2Click();
    if (locked)
        e.db.exec(QStringLiteral("ROLLBACK"));

    QCOMPARE(e.prompter().shown.size(), 2);
    QVERIFY2(isHookBox(e.prompter().shown[0]), qPrintable(e.prompter().shown[0].text));
    QCOMPARE(e.prompter().shown[1], questionBox(kPostQuestion));
    QCOMPARE(e.recordCount(), 1);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QCOMPARE(e.data().FDTable1.state(), TableState::Browse);
    QCOMPARE(e.form2->Edit1->text(), QStringLiteral("Új rekord"));
    QCOMPARE(e.form2->Edit4->text(), QStringLiteral("félkész"));

    // A later write by another operation writes its own row and nothing of the failed one.
    Table& t = e.data().FDTable1;
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
    e.form2->FormShow();
    type(e.form2, QStringLiteral("Várakozó"));
    e.db.exec(QStringLiteral("START TRANSACTION"));
    e.db.exec(QStringLiteral("SELECT * FROM tbl_Data FOR UPDATE"));
    // The other workstation lets go while the question is on the screen; Yes tries again.
    e.prompter().onShown = [&](const Shown& s) {
        if (s.kind == QLatin1String("question"))
            e.db.exec(QStringLiteral("ROLLBACK"));
    };
    e.prompter().answerQuestions({true});
    e.form2->BitBtn2Click();
    QCOMPARE(e.prompter().shown.size(), 3);
    QVERIFY(isHookBox(e.prompter().shown[0]));
    QCOMPARE(e.prompter().shown[1], questionBox(kPostQuestion));
    QCOMPARE(e.prompter().shown[2], resultBox(kStored));
    QCOMPARE(e.value(QStringLiteral("SELECT GROUP_CONCAT(CIM) FROM tbl_Data")),
             QStringLiteral("Várakozó"));
    QCOMPARE(e.form2->Edit1->text(), QString());
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void EntryFormTest::tooLargeFileLeavesNoPendingRow() {
    EditingApp e;
    // A sparse file one byte over what the server takes in one row: refused before the write.
    const quint64 limit = e.data().FDConnection1.maxAllowedPacket();
    QFile big(e.app.folder.path() + QStringLiteral("/nagy.bin"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(qint64(limit) + 1));
    big.close();

    e.form2->FormShow();
    type(e.form2, QStringLiteral("Nagy fájllal"));
    e.prompter().answerFiles({big.fileName()});
    e.form2->SpeedButton1->click();
    e.prompter().clear();
    e.form2->BitBtn2Click();
    QCOMPARE(e.prompter().shown.size(), 1);
    QCOMPARE(e.prompter().shown[0].kind, QStringLiteral("error"));
    QCOMPARE(e.recordCount(), 0);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QCOMPARE(e.data().FDTable1.state(), TableState::Browse);
    QCOMPARE(e.form2->Edit2->text(), big.fileName());
    QCOMPARE(e.form2->Edit1->text(), QStringLiteral("Nagy fájllal"));
    e.data().FDTable1.post(); // nothing is pending
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
    TForm2* f = e.form2;
    f->FormShow();
    type(f, QStringLiteral("Ár"));
    const QString text = QStringLiteral("ára 5 €");
    QWidget* w = f->findChild<QWidget*>(field);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
    else if (auto* box = qobject_cast<QComboBox*>(w))
        box->setEditText(text);
    else
        qobject_cast<QPlainTextEdit*>(w)->setPlainText(text);
    f->BitBtn2Click();

    QCOMPARE(e.prompter().shown,
             QList<Shown>{warningBox(TextEncodingError(text, QString()).userMessage())});
    QCOMPARE(e.recordCount(), 0);
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Kat")), QStringLiteral("0"));
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QCOMPARE(e.data().FDTable1.state(), TableState::Browse);
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
        e.form2,
        [&] {
            TForm2* f = e.form2;
            type(f, QStringLiteral("Eldobott"));
            f->ComboBox1->setEditText(QStringLiteral("Könyv"));
            f->Memo1->setPlainText(QStringLiteral("szöveg"));
            f->photo->placeSource(smallPicture(), 24);
            f->BitBtn3->click();
            afterDiscard = {f->Edit1->text(), f->Edit4->text(), f->ComboBox1->currentText(),
                            f->Memo1->toPlainText(), f->Label11->text()};
            itemsAfterDiscard = f->ComboBox1->count();
            QVERIFY(f->photo->isEmpty());
            QVERIFY(!f->Edit7->text().isEmpty());
            type(f, QStringLiteral("Bezárással eldobott"));
            f->BitBtn1->click();
        },
        [&] { e.app.form1->Lexikon1Click(); });
    QVERIFY(opened);
    QCOMPARE(afterDiscard, (QStringList{QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                                        QStringLiteral(""), QStringLiteral("Fotó")}));
    QCOMPARE(itemsAfterDiscard, 1); // the list stays
    // The next showing starts empty; nothing was asked or stored.
    QString titleAtNextShowing = QStringLiteral("?");
    opened = insideModal(
        e.form2, [&] { titleAtNextShowing = e.form2->Edit1->text(); },
        [&] { e.app.form1->Felvtel1Click(); });
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
    e.form2->FormShow();
    type(e.form2, QStringLiteral("Hosszú úttal"));
    e.prompter().answerFiles({path});
    e.form2->SpeedButton1->click();
    QCOMPARE(e.form2->Edit2->text(), attached ? path : QString());
    e.form2->BitBtn2Click();

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

QTEST_MAIN(EntryFormTest)
#include "tst_entryform.moc"

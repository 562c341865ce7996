// The record modification form: it opens on the grid's record, writes onto that record and
// no other, tests a changed title only, keeps the stored file, and restores on "Elvet".
#include "support/EditingApp.h"
#include "support/HandMadePictures.h"
#include "support/PictureBytes.h"

#include "data/text/Latin2.h"
#include "data/text/TextEncodingError.h"
#include "editing/AttachedFile.h"
#include "editing/PhotoPanel.h"
#include "platform/ScreenCursor.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace kx;
using namespace kx::test;

namespace {

const QString kModified = QStringLiteral("Adatok módosítása megtörtént !");
const QString kNotFound = QStringLiteral("Nem található az eredeti adatrekord !");
const QString kDuplicate = QStringLiteral("Már szerepel ilyen címmel rekord az adatállományban !");

QImage picture() {
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(QColor(10, 120, 200));
    return img;
}

// Four by two pixels in each depth; none of them is what the BMP writer would make of it.
QByteArray bmp32() {
    QByteArray px;
    for (int i = 0; i < 8; ++i)
        put32(px, 0x00C87814u + quint32(i)); // B, G, R, unused
    return handBmp({.width = 4, .height = 2, .bits = 32, .pixels = px});
}
QByteArray bmp16() {
    QByteArray masks;
    for (quint32 m : {0xF800u, 0x07E0u, 0x001Fu})
        put32(masks, m);
    QByteArray px;
    for (int i = 0; i < 8; ++i)
        put16(px, quint16(0xF800 | (i << 5))); // red with some green, 5-6-5
    return handBmp(
        {.width = 4, .height = 2, .bits = 16, .compression = 3, .masks = masks, .pixels = px});
}
QByteArray threeColourPalette() {
    QByteArray palette;
    for (quint32 c : {0x00FF0000u, 0x0000FF00u, 0x000000FFu})
        put32(palette, c);
    return palette;
}
QByteArray bmp8() {
    return handBmp({.width = 4,
                    .height = 2,
                    .bits = 8,
                    .palette = threeColourPalette(),
                    .pixels = QByteArray("\x00\x01\x02\x01\x02\x01\x00\x00", 8),
                    .colours = 3});
}
QByteArray bmpRle8() {
    // Per row: four pixels of colour 1, end of line; then end of bitmap.
    const QByteArray rle("\x04\x01\x00\x00\x04\x02\x00\x00\x00\x01", 10);
    return handBmp({.width = 4,
                    .height = 2,
                    .bits = 8,
                    .compression = 1, // RLE8
                    .palette = threeColourPalette(),
                    .pixels = rle,
                    .colours = 3});
}

// One column of the record with this key.
QString column(EditingApp& e, qint64 key, const QString& expr) {
    return e.value(QStringLiteral("SELECT %1 FROM tbl_Data WHERE AZ = %2").arg(expr).arg(key));
}

} // namespace

class ModifyFormTest : public QObject {
    Q_OBJECT
private slots:
    void opensOnTheGridRecord();
    void unchangedStoreKeepsTitleAndFile();
    void titleTest_data();
    void titleTest();
    void refusedThenCorrected();
    void discardRestoresValuesAndPhoto();
    void newFileReplacesAllFourColumns();
    void formOpenedWithoutItsRecordNeverWrites();
    void writesOntoOpenedRecordWhereverTheTableStands();
    void failedEditOrWriteLeavesNothingPending_data();
    void failedEditOrWriteLeavesNothingPending();
    void textLatin2CannotHoldKeepsTyping();
    void unchangedPhotoKeepsItsBytes_data();
    void unchangedPhotoKeepsItsBytes();
    void photoThatCannotBeShownStillOpens();
    void discardReadsTheOpenedRecordByKey_data();
    void discardReadsTheOpenedRecordByKey();
    void discardAfterRenameElsewhere();
};

void ModifyFormTest::opensOnTheGridRecord() {
    EditingApp e;
    e.db.exec(QStringLiteral("INSERT INTO tbl_Tip (TIP) VALUES ('Könyv'), ('Film')"));
    e.addRecord(QStringLiteral("Első"), {QStringLiteral("KSZO")}, {QStringLiteral("'nem ez'")});
    const QByteArray bmp = bmpOf(picture());
    e.addRecord(QStringLiteral("Második"),
                {QStringLiteral("TIP"), QStringLiteral("KAT"), QStringLiteral("KSZO"),
                 QStringLiteral("HIV"), QStringLiteral("DATUM"), QStringLiteral("FELVEV"),
                 QStringLiteral("LEIRAS"), QStringLiteral("FOTO"), QStringLiteral("FNEV")},
                {QStringLiteral("'Film'"), QStringLiteral("'Dráma'"), QStringLiteral("'kulcs'"),
                 QStringLiteral("'www.pelda.hu'"), QStringLiteral("'2001.02.03 4:05:06'"),
                 QStringLiteral("'Nagy Ödön'"), QStringLiteral("'egy\\nkettő\\r\\nhárom'"),
                 hexLiteral(bmp), QStringLiteral("'régi.txt'")});
    e.selectInGrid(QStringLiteral("Második"));

    QStringList seen;
    QStringList items;
    QImage shownPicture;
    const bool opened = insideModal(
        e.modificationForm,
        [&] {
            ModificationForm* f = e.modificationForm;
            seen = {f->windowTitle(),          f->titleEdit->text(),
                    f->typeBox->currentText(), f->categoryBox->currentText(),
                    f->keywordsEdit->text(),   f->referenceEdit->text(),
                    f->dateEdit->text(),       f->recorderEdit->text(),
                    f->fileEdit->text(),       f->descriptionEdit->toPlainText(),
                    f->photoCaption->text(),   f->countLabel->text()};
            for (int i = 0; i < f->typeBox->count(); ++i)
                items << f->typeBox->itemText(i);
            shownPicture = f->photo->picture();
            f->closeButton->click();
        },
        [&] { e.app.mainWindow->menuModifyAction->trigger(); });
    QVERIFY(opened);
    QCOMPARE(e.prompter().shown, QList<Shown>{});
    QCOMPARE(seen, (QStringList{QStringLiteral("Adatok módosítása:"), QStringLiteral("Második"),
                                QStringLiteral("Film"), QStringLiteral("Dráma"),
                                QStringLiteral("kulcs"), QStringLiteral("www.pelda.hu"),
                                QStringLiteral("2001.02.03 4:05:06"), QStringLiteral("Nagy Ödön"),
                                QStringLiteral("régi.txt"), QStringLiteral("egy\nkettő\nhárom"),
                                QStringLiteral("Fotó"), QStringLiteral("2")}));
    QCOMPARE(items, (QStringList{QStringLiteral("Könyv"), QStringLiteral("Film")}));
    QCOMPARE(shownPicture.size(), QSize(20, 10));
    QCOMPARE(shownPicture.pixelColor(3, 3), QColor(10, 120, 200));
}

void ModifyFormTest::unchangedStoreKeepsTitleAndFile() {
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Alma"),
                                   {QStringLiteral("FNEV"), QStringLiteral("FTIP"),
                                    QStringLiteral("FMER"), QStringLiteral("FILE")},
                                   {QStringLiteral("'a.txt'"), QStringLiteral("'TEXT'"),
                                    QStringLiteral("3"), QStringLiteral("'xyz'")});
    // A file of the stored name in the working folder is never read.
    QFile local(e.app.folder.path() + QStringLiteral("/a.txt"));
    QVERIFY(local.open(QIODevice::WriteOnly));
    local.write("helyi tartalom");
    local.close();
    e.selectInGrid(QStringLiteral("Alma"));

    bool visibleAfterStore = true;
    const bool opened = insideModal(
        e.modificationForm,
        [&] {
            // Another workstation renames the record meanwhile: the store asks first, and
            // when told to go on, an unchanged title is not written, so the other's title
            // stays.
            e.db.exec(
                QStringLiteral("UPDATE tbl_Data SET CIM = 'Alma (máshol)' WHERE AZ = %1").arg(key));
            e.prompter().answerQuestions({true});
            e.modificationForm->keywordsEdit->setText(QStringLiteral("új kulcs"));
            e.modificationForm->storeButton->click();
            visibleAfterStore = e.modificationForm->isVisible();
        },
        [&] { e.app.mainWindow->modifyButton->click(); });
    QVERIFY(opened);
    QCOMPARE(e.prompter().shown,
             (QList<Shown>{questionBox(QStringLiteral("Az adatrekordot időközben egy másik "
                                                      "felhasználó módosította ! Felülírjuk ?")),
                           resultBox(kModified)}));
    QVERIFY(!visibleAfterStore);
    QCOMPARE(column(e, key, QStringLiteral("CIM")), QStringLiteral("Alma (máshol)"));
    QCOMPARE(column(e, key, QStringLiteral("KSZO")), QStringLiteral("új kulcs"));
    QCOMPARE(column(e, key, QStringLiteral("CONCAT_WS('|', FNEV, FTIP, FMER, FILE)")),
             QStringLiteral("a.txt|TEXT|3|xyz"));
    QCOMPARE(e.recordCount(), 1);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void ModifyFormTest::titleTest_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    // The opened record is "Alma"; "ALMA" and "Körtefa" are stored besides.
    QTest::newRow("letter case only, onto another title") << "ALMA" << false;
    QTest::newRow("letter case only, free") << "ALMa" << true;
    QTest::newRow("equal to another title") << "Körtefa" << false;
    QTest::newRow("beginning of another title") << "Körte" << true;
    QTest::newRow("trailing blank added") << "Alma " << true;
}

void ModifyFormTest::titleTest() {
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    EditingApp e;
    const qint64 opened = e.addRecord(QStringLiteral("Alma"));
    const qint64 upper =
        e.addRecord(QStringLiteral("ALMA"), {QStringLiteral("KSZO")}, {QStringLiteral("'nagy'")});
    const qint64 pear = e.addRecord(QStringLiteral("Körtefa"), {QStringLiteral("KSZO")},
                                    {QStringLiteral("'körte'")});
    e.openForModification(QStringLiteral("Alma"));
    QCOMPARE(e.modificationForm->openedKey(), opened);
    e.modificationForm->titleEdit->setText(typed);
    e.modificationForm->keywordsEdit->setText(QStringLiteral("módosított"));
    e.modificationForm->storeClicked();

    if (accepted) {
        QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kModified)});
        QCOMPARE(column(e, opened, QStringLiteral("HEX(CIM)")),
                 QString::fromLatin1(latin2::encode(typed).toHex().toUpper()));
        QCOMPARE(column(e, opened, QStringLiteral("KSZO")), QStringLiteral("módosított"));
    } else {
        QCOMPARE(e.prompter().shown, QList<Shown>{warningBox(kDuplicate)});
        QCOMPARE(column(e, opened, QStringLiteral("CIM")), QStringLiteral("Alma"));
        QCOMPARE(column(e, opened, QStringLiteral("KSZO IS NULL")), QStringLiteral("1"));
        QCOMPARE(e.modificationForm->titleEdit->text(), typed);
        // The test leaves the record table on the opened record.
        QCOMPARE(e.data().recordTable.currentKey(), opened);
    }
    QCOMPARE(column(e, upper, QStringLiteral("CONCAT(CIM, '|', KSZO)")),
             QStringLiteral("ALMA|nagy"));
    QCOMPARE(column(e, pear, QStringLiteral("CONCAT(CIM, '|', KSZO)")),
             QStringLiteral("Körtefa|körte"));
    QCOMPARE(e.recordCount(), 3);
}

void ModifyFormTest::refusedThenCorrected() {
    EditingApp e;
    const qint64 opened = e.addRecord(QStringLiteral("Alma"));
    const qint64 pear = e.addRecord(QStringLiteral("Körtefa"), {QStringLiteral("KSZO")},
                                    {QStringLiteral("'körte'")});
    e.openForModification(QStringLiteral("Alma"));
    e.modificationForm->keywordsEdit->setText(QStringLiteral("javított"));
    e.modificationForm->titleEdit->setText(QStringLiteral("Körtefa"));
    e.modificationForm->storeClicked();
    e.modificationForm->titleEdit->setText(QStringLiteral("Körte"));
    e.modificationForm->storeClicked();
    QCOMPARE(e.prompter().shown, (QList<Shown>{warningBox(kDuplicate), resultBox(kModified)}));
    QCOMPARE(column(e, opened, QStringLiteral("CONCAT(CIM, '|', KSZO)")),
             QStringLiteral("Körte|javított"));
    QCOMPARE(column(e, pear, QStringLiteral("CONCAT(CIM, '|', KSZO)")),
             QStringLiteral("Körtefa|körte"));
}

void ModifyFormTest::discardRestoresValuesAndPhoto() {
    EditingApp e;
    const QByteArray bmp = bmpOf(picture());
    const qint64 key =
        e.addRecord(QStringLiteral("Fényképes"),
                    {QStringLiteral("KSZO"), QStringLiteral("LEIRAS"), QStringLiteral("FOTO"),
                     QStringLiteral("FNEV"), QStringLiteral("FILE")},
                    {QStringLiteral("'eredeti'"), QStringLiteral("'sor1\\r\\nsor2'"),
                     hexLiteral(bmp), QStringLiteral("'kép.bmp'"), QStringLiteral("'tárolt'")});
    QFile other(e.app.folder.path() + QStringLiteral("/másik.txt"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("nem kell");
    other.close();

    e.openForModification(QStringLiteral("Fényképes"));
    ModificationForm* f = e.modificationForm;
    f->titleEdit->setText(QStringLiteral("Átírt cím"));
    f->keywordsEdit->setText(QStringLiteral("átírt"));
    f->descriptionEdit->setPlainText(QStringLiteral("más"));
    f->photo->clear();
    e.prompter().answerFiles({other.fileName()});
    f->chooseFileButton->click();
    f->discardClicked();

    QCOMPARE(f->titleEdit->text(), QStringLiteral("Fényképes"));
    QCOMPARE(f->keywordsEdit->text(), QStringLiteral("eredeti"));
    QCOMPARE(f->descriptionEdit->toPlainText(), QStringLiteral("sor1\nsor2"));
    QCOMPARE(f->fileEdit->text(), QStringLiteral("kép.bmp"));
    QVERIFY(!f->fileField->chosenInThisOpening());
    QVERIFY(!f->photo->isEmpty());
    QCOMPARE(f->photo->picture().pixelColor(5, 5), QColor(10, 120, 200));
    QCOMPARE(f->openingTitle(), QStringLiteral("Fényképes"));
    QCOMPARE(e.prompter().shown,
             (QList<Shown>{{QStringLiteral("openFile"), QStringLiteral("Tárolandó fájlok:"),
                            QStringLiteral("")}}));

    // Storing now writes the stored values back; the discarded file choice is gone.
    f->storeClicked();
    QCOMPARE(e.prompter().shown.last(), resultBox(kModified));
    QCOMPARE(column(e, key, QStringLiteral("CONCAT_WS('|', CIM, KSZO, FNEV, FILE)")),
             QStringLiteral("Fényképes|eredeti|kép.bmp|tárolt"));
    QCOMPARE(column(e, key, QStringLiteral("LEIRAS")), QStringLiteral("sor1\r\nsor2"));
    QCOMPARE(column(e, key, QStringLiteral("LEFT(FOTO, 2)")), QStringLiteral("BM"));
}

void ModifyFormTest::newFileReplacesAllFourColumns() {
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Fájlos"),
                                   {QStringLiteral("FNEV"), QStringLiteral("FTIP"),
                                    QStringLiteral("FMER"), QStringLiteral("FILE")},
                                   {QStringLiteral("'régi.doc'"), QStringLiteral("'MS Word'"),
                                    QStringLiteral("4"), QStringLiteral("'régi'")});
    QFile fresh(e.app.folder.path() + QStringLiteral("/új.PDF"));
    QVERIFY(fresh.open(QIODevice::WriteOnly));
    fresh.write("pdfadat");
    fresh.close();
    e.openForModification(QStringLiteral("Fájlos"));
    QCOMPARE(e.modificationForm->fileEdit->text(), QStringLiteral("régi.doc"));
    e.prompter().answerFiles({fresh.fileName()});
    e.modificationForm->chooseFileButton->click();
    e.modificationForm->storeClicked();
    QCOMPARE(e.prompter().shown.last(), resultBox(kModified));
    QCOMPARE(column(e, key, QStringLiteral("CONCAT_WS('|', FNEV, FTIP, FMER, FILE)")),
             QStringLiteral("új.PDF|Adobe Acrobat|7|pdfadat"));
}

void ModifyFormTest::formOpenedWithoutItsRecordNeverWrites() {
    EditingApp e;
    const qint64 gone = e.addRecord(QStringLiteral("Eltűnő"));
    const qint64 other =
        e.addRecord(QStringLiteral("Másik"), {QStringLiteral("KSZO")}, {QStringLiteral("'marad'")});
    // The grid still shows the record another workstation has just deleted; the record table
    // stands on another record.
    e.selectInGrid(QStringLiteral("Eltűnő"));
    QVERIFY(e.data().recordTable.locate(QStringLiteral("CIM"), QStringLiteral("Másik"), false));
    e.db.exec(QStringLiteral("DELETE FROM tbl_Data WHERE AZ = %1").arg(gone));

    e.modificationForm->titleEdit->setText(QStringLiteral("Előző nyitásból"));
    e.modificationForm->prepareShowing();
    QCOMPARE(e.prompter().shown, QList<Shown>{warningBox(kNotFound)});
    QCOMPARE(e.modificationForm->titleEdit->text(), QStringLiteral("Előző nyitásból"));

    e.modificationForm->keywordsEdit->setText(QStringLiteral("felülírná"));
    e.modificationForm->storeClicked();
    QCOMPARE(e.prompter().shown, (QList<Shown>{warningBox(kNotFound), warningBox(kNotFound)}));
    QCOMPARE(column(e, other, QStringLiteral("CONCAT(CIM, '|', KSZO)")),
             QStringLiteral("Másik|marad"));
    QCOMPARE(e.recordCount(), 1);
}

void ModifyFormTest::writesOntoOpenedRecordWhereverTheTableStands() {
    EditingApp e;
    const qint64 opened = e.addRecord(QStringLiteral("Nyitott"));
    const qint64 other =
        e.addRecord(QStringLiteral("Másik"), {QStringLiteral("KSZO")}, {QStringLiteral("'marad'")});
    e.openForModification(QStringLiteral("Nyitott"));
    // Something else moves the record table before "Tárol".
    QVERIFY(e.data().recordTable.locate(QStringLiteral("CIM"), QStringLiteral("Másik"), false));
    e.modificationForm->keywordsEdit->setText(QStringLiteral("ide"));
    e.modificationForm->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kModified)});
    QCOMPARE(column(e, opened, QStringLiteral("CONCAT(CIM, '|', KSZO)")),
             QStringLiteral("Nyitott|ide"));
    QCOMPARE(column(e, other, QStringLiteral("CONCAT(CIM, '|', KSZO)")),
             QStringLiteral("Másik|marad"));
}

void ModifyFormTest::failedEditOrWriteLeavesNothingPending_data() {
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("question");
    QTest::newRow("value the server refuses")
        << false
        << "Adatok kiírása nem sikerült (másik felhasználó zárolta a táblát) ! Megpróbáljuk "
           "újra ?";
    QTest::newRow("record locked by another workstation")
        << true << "Adatrekord nem szerkeszthető (másik felhasználó zárolta) ! Megpróbáljuk újra ?";
}

void ModifyFormTest::failedEditOrWriteLeavesNothingPending() {
    QFETCH(bool, locked);
    QFETCH(QString, question);
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Zárolt"), {QStringLiteral("KSZO")},
                                   {QStringLiteral("'eredeti'")});
    e.openForModification(QStringLiteral("Zárolt"));
    e.modificationForm->keywordsEdit->setText(QStringLiteral("félkész"));
    if (locked) {
        e.db.exec(QStringLiteral("START TRANSACTION"));
        e.db.exec(QStringLiteral("SELECT * FROM tbl_Data WHERE AZ = %1 FOR UPDATE").arg(key));
    } else {
        // A rule of the server's own that the form cannot know of.
        e.db.exec(QStringLiteral(
            "ALTER TABLE tbl_Data ADD CONSTRAINT kx_refused CHECK (HIV <> 'tiltott')"));
        e.modificationForm->referenceEdit->setText(QStringLiteral("tiltott"));
    }
    e.modificationForm->categoryBox->setEditText(
        QStringLiteral("új kategória")); // never added on failure
    e.prompter().answerQuestions({false});
    e.modificationForm->storeClicked();
    if (locked)
        e.db.exec(QStringLiteral("ROLLBACK"));

    QCOMPARE(e.prompter().shown.size(), 2);
    QVERIFY2(isHookBox(e.prompter().shown[0]), qPrintable(e.prompter().shown[0].text));
    QCOMPARE(e.prompter().shown[1], questionBox(question));
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QCOMPARE(e.data().recordTable.state(), TableState::Browse);
    QCOMPARE(e.modificationForm->keywordsEdit->text(), QStringLiteral("félkész"));
    // Nothing of the failed store is written later by another operation.
    e.data().recordTable.post();
    QCOMPARE(column(e, key, QStringLiteral("KSZO")), QStringLiteral("eredeti"));
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Kat")), QStringLiteral("0"));
}

void ModifyFormTest::textLatin2CannotHoldKeepsTyping() {
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Árazott"), {QStringLiteral("KSZO")},
                                   {QStringLiteral("'eredeti'")});
    e.openForModification(QStringLiteral("Árazott"));
    e.modificationForm->keywordsEdit->setText(QStringLiteral("10 €"));
    e.modificationForm->storeClicked();
    QCOMPARE(
        e.prompter().shown,
        QList<Shown>{warningBox(TextEncodingError(QStringLiteral("€"), QString()).userMessage())});
    QCOMPARE(e.modificationForm->keywordsEdit->text(), QStringLiteral("10 €"));
    QCOMPARE(column(e, key, QStringLiteral("KSZO")), QStringLiteral("eredeti"));
    QCOMPARE(e.data().recordTable.state(), TableState::Browse);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    // Corrected, the same opening stores.
    e.modificationForm->keywordsEdit->setText(QStringLiteral("10 Ft"));
    e.modificationForm->storeClicked();
    QCOMPARE(e.prompter().shown.last(), resultBox(kModified));
    QCOMPARE(column(e, key, QStringLiteral("KSZO")), QStringLiteral("10 Ft"));
}

void ModifyFormTest::unchangedPhotoKeepsItsBytes_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("change"); // what the user does to the photo in this opening
    QTest::newRow("32-bit") << bmp32() << "";
    QTest::newRow("16-bit bit fields") << bmp16() << "";
    QTest::newRow("8-bit, three colours") << bmp8() << "";
    QTest::newRow("8-bit RLE") << bmpRle8() << "";
    QTest::newRow("8-bit RLE, discarded changes") << bmpRle8() << "discard";
    QTest::newRow("32-bit, removed") << bmp32() << "remove";
    QTest::newRow("32-bit, replaced") << bmp32() << "place";
}

void ModifyFormTest::unchangedPhotoKeepsItsBytes() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, change);
    EditingApp e;
    const qint64 key =
        e.addRecord(QStringLiteral("Fotós"), {QStringLiteral("FOTO")}, {hexLiteral(stored)});
    e.openForModification(QStringLiteral("Fotós"));
    ModificationForm* f = e.modificationForm;
    // Each picture is one the box can show.
    QCOMPARE(f->photo->picture().size(), QSize(4, 2));
    f->keywordsEdit->setText(QStringLiteral("fotó marad"));
    if (change == QLatin1String("discard")) {
        f->photo->placeSource(picture(), 24);
        f->discardClicked();
        f->keywordsEdit->setText(QStringLiteral("fotó marad"));
    } else if (change == QLatin1String("remove")) {
        f->photo->clearAction->trigger();
    } else if (change == QLatin1String("place")) {
        f->photo->placeSource(picture(), 24);
    }
    f->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kModified)});
    QCOMPARE(column(e, key, QStringLiteral("KSZO")), QStringLiteral("fotó marad"));

    const QByteArray now =
        QByteArray::fromHex(column(e, key, QStringLiteral("HEX(FOTO)")).toLatin1());
    if (change == QLatin1String("remove")) {
        QCOMPARE(column(e, key, QStringLiteral("OCTET_LENGTH(FOTO)")), QStringLiteral("0"));
    } else if (change == QLatin1String("place")) {
        QCOMPARE(now, bmpOf(picture()));
    } else {
        QCOMPARE(now.toHex(), stored.toHex());
    }
}

void ModifyFormTest::photoThatCannotBeShownStillOpens() {
    EditingApp e;
    // Begins like a BMP file, but its headers are cut short.
    const QByteArray stored = QByteArray("BM\x10\x00\x00\x00", 6) + "nem kép, csak bájtok";
    const qint64 key =
        e.addRecord(QStringLiteral("Sérült fotó"), {QStringLiteral("KSZO"), QStringLiteral("FOTO")},
                    {QStringLiteral("'régi'"), hexLiteral(stored)});
    const Shown told = warningBox(QStringLiteral("A tárolt fotó nem jeleníthető meg !"));

    e.openForModification(QStringLiteral("Sérült fotó"));
    ModificationForm* f = e.modificationForm;
    QCOMPARE(e.prompter().shown, QList<Shown>{told});
    QCOMPARE(f->openedKey(), key);
    QCOMPARE(f->keywordsEdit->text(), QStringLiteral("régi"));
    QVERIFY(f->photo->isEmpty());
    QCOMPARE(f->photoCaption->text(), QStringLiteral("Fotó"));

    // Told once in an opening: "Elvet" reads the same photo again without a word.
    f->keywordsEdit->setText(QStringLiteral("elvetett"));
    f->discardClicked();
    QCOMPARE(f->keywordsEdit->text(), QStringLiteral("régi"));
    f->keywordsEdit->setText(QStringLiteral("új"));
    f->storeClicked();
    QCOMPARE(e.prompter().shown, (QList<Shown>{told, resultBox(kModified)}));
    QCOMPARE(column(e, key, QStringLiteral("KSZO")), QStringLiteral("új"));
    QCOMPARE(column(e, key, QStringLiteral("HEX(FOTO)")),
             QString::fromLatin1(stored.toHex().toUpper()));

    // The next opening tells it again.
    e.openForModification(QStringLiteral("Sérült fotó"));
    QCOMPARE(e.prompter().shown, (QList<Shown>{told, resultBox(kModified), told}));
}

void ModifyFormTest::discardReadsTheOpenedRecordByKey_data() {
    QTest::addColumn<bool>("deleted");
    QTest::newRow("changed out of the search") << false;
    QTest::newRow("deleted") << true;
}

void ModifyFormTest::discardReadsTheOpenedRecordByKey() {
    QFETCH(bool, deleted);
    EditingApp e;
    const qint64 opened =
        e.addRecord(QStringLiteral("Alma"), {QStringLiteral("TIP"), QStringLiteral("KSZO")},
                    {QStringLiteral("'Gyümölcs'"), QStringLiteral("'keresett alma'")});
    const qint64 other =
        e.addRecord(QStringLiteral("Barack"), {QStringLiteral("TIP"), QStringLiteral("KSZO")},
                    {QStringLiteral("'Csonthéjas'"), QStringLiteral("'keresett barack'")});
    e.addRecord(QStringLiteral("Cseresznye"), {QStringLiteral("KSZO")},
                {QStringLiteral("'nem illik'")});
    // The grid shows an active search.
    e.prompter().answerInputs({QStringLiteral("keresett")});
    e.app.mainWindow->gridSearchAction->trigger();
    QCOMPARE(e.data().recordQuery.recordCount(), 2);
    e.prompter().clear();
    e.openForModification(QStringLiteral("Alma"));
    ModificationForm* f = e.modificationForm;
    QCOMPARE(f->openedKey(), opened);
    f->keywordsEdit->setText(QStringLiteral("begépelt"));

    // Another workstation, on a connection of its own, takes the record out of the search.
    if (deleted)
        e.db.exec(QStringLiteral("DELETE FROM tbl_Data WHERE AZ = %1").arg(opened));
    else
        e.db.exec(QStringLiteral("UPDATE tbl_Data SET KSZO = 'máshol' WHERE AZ = %1").arg(opened));
    f->discardClicked();

    if (deleted) {
        // As if the form had opened without its record: nothing loaded, nothing written.
        QCOMPARE(e.prompter().shown, QList<Shown>{warningBox(kNotFound)});
        QCOMPARE(f->titleEdit->text(), QStringLiteral("Alma"));
        QCOMPARE(f->keywordsEdit->text(), QStringLiteral("begépelt"));
        f->storeClicked();
        QCOMPARE(e.prompter().shown, (QList<Shown>{warningBox(kNotFound), warningBox(kNotFound)}));
        QCOMPARE(e.recordCount(), 2);
    } else {
        QCOMPARE(e.prompter().shown, QList<Shown>{});
        QCOMPARE(f->titleEdit->text(), QStringLiteral("Alma"));
        QCOMPARE(f->typeBox->currentText(), QStringLiteral("Gyümölcs"));
        QCOMPARE(f->keywordsEdit->text(), QStringLiteral("máshol"));
        f->storeClicked();
        QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kModified)});
        QCOMPARE(column(e, opened, QStringLiteral("CONCAT_WS('|', CIM, TIP, KSZO)")),
                 QStringLiteral("Alma|Gyümölcs|máshol"));
    }
    QCOMPARE(column(e, other, QStringLiteral("CONCAT_WS('|', CIM, TIP, KSZO)")),
             QStringLiteral("Barack|Csonthéjas|keresett barack"));
}

// Another workstation renames the opened record; "Elvet" shows its new title. Storing it puts
// no other record's title on the opened one: it is stored, not refused as a duplicate of itself.
void ModifyFormTest::discardAfterRenameElsewhere() {
    EditingApp e;
    const qint64 opened = e.addRecord(QStringLiteral("Alma"));
    e.addRecord(QStringLiteral("Barack"));
    e.openForModification(QStringLiteral("Alma"));
    ModificationForm* f = e.modificationForm;
    QCOMPARE(f->openedKey(), opened);
    e.db.exec(QStringLiteral("UPDATE tbl_Data SET CIM = 'Alma fája' WHERE AZ = %1").arg(opened));
    f->discardClicked();
    QCOMPARE(f->titleEdit->text(), QStringLiteral("Alma fája"));
    f->keywordsEdit->setText(QStringLiteral("gyümölcsfa"));
    f->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kModified)});
    QCOMPARE(column(e, opened, QStringLiteral("CONCAT_WS('|', CIM, KSZO)")),
             QStringLiteral("Alma fája|gyümölcsfa"));
    QCOMPARE(e.recordCount(), 2);

    // A rename onto the other record's title is still refused.
    e.openForModification(QStringLiteral("Alma fája"));
    e.prompter().clear();
    f->titleEdit->setText(QStringLiteral("Barack"));
    f->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{warningBox(QStringLiteral(
                                     "Már szerepel ilyen címmel rekord az adatállományban !"))});
}

QTEST_MAIN(ModifyFormTest)
#include "tst_modifyform.moc"

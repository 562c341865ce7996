// The record modification form: it opens on the grid's record, writes onto that record and
// no other, tests a changed title only, keeps the stored file, and restores on "Elvet".
#include "support/EditingApp.h"

#include "data/Latin2.h"
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

bool isHookBox(const Shown& s) {
    return s.kind == QLatin1String("warning") &&
           s.text.startsWith(QStringLiteral("Adatbázis csatlakozási hiba -> "));
}

QByteArray bmpOf(const QImage& img) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "BMP");
    return bytes;
}

QImage picture() {
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(QColor(10, 120, 200));
    return img;
}

QString hexLiteral(const QByteArray& bytes) {
    return QStringLiteral("X'%1'").arg(QString::fromLatin1(bytes.toHex()));
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
};

void ModifyFormTest::opensOnTheGridRecord() {
    EditingApp e;
    e.db.exec("INSERT INTO tbl_Tip (TIP) VALUES ('Könyv'), ('Film')");
    e.addRecord(QStringLiteral("Első"), {"KSZO"}, {"'nem ez'"});
    const QByteArray bmp = bmpOf(picture());
    e.addRecord(QStringLiteral("Második"),
                {"TIP", "KAT", "KSZO", "HIV", "DATUM", "FELVEV", "LEIRAS", "FOTO", "FNEV"},
                {"'Film'", "'Dráma'", "'kulcs'", "'www.pelda.hu'", "'2001.02.03 4:05:06'",
                 "'Nagy Ödön'", "'egy\\nkettő\\r\\nhárom'", hexLiteral(bmp), "'régi.txt'"});
    e.selectInGrid(QStringLiteral("Második"));

    QStringList seen;
    QStringList items;
    QImage shownPicture;
    const bool opened = insideModal(
        e.form3,
        [&] {
            TForm3* f = e.form3;
            seen = {f->windowTitle(),
                    f->Edit1->text(),
                    f->ComboBox1->currentText(),
                    f->ComboBox2->currentText(),
                    f->Edit4->text(),
                    f->Edit5->text(),
                    f->Edit7->text(),
                    f->Edit6->text(),
                    f->Edit2->text(),
                    f->Memo1->toPlainText(),
                    f->Label11->text(),
                    f->Label2->text()};
            for (int i = 0; i < f->ComboBox1->count(); ++i)
                items << f->ComboBox1->itemText(i);
            shownPicture = f->photo->picture();
            f->BitBtn1->click();
        },
        [&] { e.app.form1->Keress1Click(); });
    QVERIFY(opened);
    QCOMPARE(e.prompter().shown, QList<Shown>{});
    QCOMPARE(seen, (QStringList{"Adatok módosítása:", "Második", "Film", "Dráma", "kulcs",
                                "www.pelda.hu", "2001.02.03 4:05:06", "Nagy Ödön", "régi.txt",
                                "egy\nkettő\nhárom", "Fotó", "2"}));
    QCOMPARE(items, (QStringList{"Könyv", "Film"}));
    QCOMPARE(shownPicture.size(), QSize(20, 10));
    QCOMPARE(shownPicture.pixelColor(3, 3), QColor(10, 120, 200));
}

void ModifyFormTest::unchangedStoreKeepsTitleAndFile() {
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Alma"), {"FNEV", "FTIP", "FMER", "FILE"},
                                   {"'a.txt'", "'TEXT'", "3", "'xyz'"});
    // A file of the stored name in the working folder is never read.
    QFile local(e.app.folder.path() + "/a.txt");
    QVERIFY(local.open(QIODevice::WriteOnly));
    local.write("helyi tartalom");
    local.close();
    e.selectInGrid(QStringLiteral("Alma"));

    bool visibleAfterStore = true;
    const bool opened = insideModal(
        e.form3,
        [&] {
            // Another workstation renames the record meanwhile: the store asks first, and
            // when told to go on, an unchanged title is not written, so the other's title
            // stays.
            e.db.exec(
                QStringLiteral("UPDATE tbl_Data SET CIM = 'Alma (máshol)' WHERE AZ = %1").arg(key));
            e.prompter().answerQuestions({true});
            e.form3->Edit4->setText(QStringLiteral("új kulcs"));
            e.form3->BitBtn2->click();
            visibleAfterStore = e.form3->isVisible();
        },
        [&] { e.app.form1->SpeedButton2Click(); });
    QVERIFY(opened);
    QCOMPARE(e.prompter().shown,
             (QList<Shown>{questionBox(QStringLiteral("Az adatrekordot időközben egy másik "
                                                      "felhasználó módosította ! Felülírjuk ?")),
                           resultBox(kModified)}));
    QVERIFY(!visibleAfterStore);
    QCOMPARE(column(e, key, "CIM"), QStringLiteral("Alma (máshol)"));
    QCOMPARE(column(e, key, "KSZO"), QStringLiteral("új kulcs"));
    QCOMPARE(column(e, key, "CONCAT_WS('|', FNEV, FTIP, FMER, FILE)"),
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
    const qint64 upper = e.addRecord(QStringLiteral("ALMA"), {"KSZO"}, {"'nagy'"});
    const qint64 pear = e.addRecord(QStringLiteral("Körtefa"), {"KSZO"}, {"'körte'"});
    e.openForModification(QStringLiteral("Alma"));
    QCOMPARE(e.form3->openedKey(), opened);
    e.form3->Edit1->setText(typed);
    e.form3->Edit4->setText(QStringLiteral("módosított"));
    e.form3->BitBtn2Click();

    if (accepted) {
        QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kModified)});
        QCOMPARE(column(e, opened, "HEX(CIM)"),
                 QString::fromLatin1(latin2::encode(typed).toHex().toUpper()));
        QCOMPARE(column(e, opened, "KSZO"), QStringLiteral("módosított"));
    } else {
        QCOMPARE(e.prompter().shown, QList<Shown>{warningBox(kDuplicate)});
        QCOMPARE(column(e, opened, "CIM"), QStringLiteral("Alma"));
        QCOMPARE(column(e, opened, "KSZO IS NULL"), QStringLiteral("1"));
        QCOMPARE(e.form3->Edit1->text(), typed);
        // The test leaves the record table on the opened record.
        QCOMPARE(e.data().FDTable1.currentKey(), opened);
    }
    QCOMPARE(column(e, upper, "CONCAT(CIM, '|', KSZO)"), QStringLiteral("ALMA|nagy"));
    QCOMPARE(column(e, pear, "CONCAT(CIM, '|', KSZO)"), QStringLiteral("Körtefa|körte"));
    QCOMPARE(e.recordCount(), 3);
}

void ModifyFormTest::refusedThenCorrected() {
    EditingApp e;
    const qint64 opened = e.addRecord(QStringLiteral("Alma"));
    const qint64 pear = e.addRecord(QStringLiteral("Körtefa"), {"KSZO"}, {"'körte'"});
    e.openForModification(QStringLiteral("Alma"));
    e.form3->Edit4->setText(QStringLiteral("javított"));
    e.form3->Edit1->setText(QStringLiteral("Körtefa"));
    e.form3->BitBtn2Click();
    e.form3->Edit1->setText(QStringLiteral("Körte"));
    e.form3->BitBtn2Click();
    QCOMPARE(e.prompter().shown, (QList<Shown>{warningBox(kDuplicate), resultBox(kModified)}));
    QCOMPARE(column(e, opened, "CONCAT(CIM, '|', KSZO)"), QStringLiteral("Körte|javított"));
    QCOMPARE(column(e, pear, "CONCAT(CIM, '|', KSZO)"), QStringLiteral("Körtefa|körte"));
}

void ModifyFormTest::discardRestoresValuesAndPhoto() {
    EditingApp e;
    const QByteArray bmp = bmpOf(picture());
    const qint64 key =
        e.addRecord(QStringLiteral("Fényképes"), {"KSZO", "LEIRAS", "FOTO", "FNEV", "FILE"},
                    {"'eredeti'", "'sor1\\r\\nsor2'", hexLiteral(bmp), "'kép.bmp'", "'tárolt'"});
    QFile other(e.app.folder.path() + "/másik.txt");
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("nem kell");
    other.close();

    e.openForModification(QStringLiteral("Fényképes"));
    TForm3* f = e.form3;
    f->Edit1->setText(QStringLiteral("Átírt cím"));
    f->Edit4->setText(QStringLiteral("átírt"));
    f->Memo1->setPlainText(QStringLiteral("más"));
    f->photo->clear();
    e.prompter().answerFiles({other.fileName()});
    f->SpeedButton1->click();
    f->BitBtn3Click();

    QCOMPARE(f->Edit1->text(), QStringLiteral("Fényképes"));
    QCOMPARE(f->Edit4->text(), QStringLiteral("eredeti"));
    QCOMPARE(f->Memo1->toPlainText(), QStringLiteral("sor1\nsor2"));
    QCOMPARE(f->Edit2->text(), QStringLiteral("kép.bmp"));
    QVERIFY(!f->fileField->chosenInThisOpening());
    QVERIFY(!f->photo->isEmpty());
    QCOMPARE(f->photo->picture().pixelColor(5, 5), QColor(10, 120, 200));
    QCOMPARE(f->openingTitle(), QStringLiteral("Fényképes"));
    QCOMPARE(e.prompter().shown, (QList<Shown>{{"openFile", "Tárolandó fájlok:", ""}}));

    // Storing now writes the stored values back; the discarded file choice is gone.
    f->BitBtn2Click();
    QCOMPARE(e.prompter().shown.last(), resultBox(kModified));
    QCOMPARE(column(e, key, "CONCAT_WS('|', CIM, KSZO, FNEV, FILE)"),
             QStringLiteral("Fényképes|eredeti|kép.bmp|tárolt"));
    QCOMPARE(column(e, key, "LEIRAS"), QStringLiteral("sor1\r\nsor2"));
    QCOMPARE(column(e, key, "LEFT(FOTO, 2)"), QStringLiteral("BM"));
}

void ModifyFormTest::newFileReplacesAllFourColumns() {
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Fájlos"), {"FNEV", "FTIP", "FMER", "FILE"},
                                   {"'régi.doc'", "'MS Word'", "4", "'régi'"});
    QFile fresh(e.app.folder.path() + "/új.PDF");
    QVERIFY(fresh.open(QIODevice::WriteOnly));
    fresh.write("pdfadat");
    fresh.close();
    e.openForModification(QStringLiteral("Fájlos"));
    QCOMPARE(e.form3->Edit2->text(), QStringLiteral("régi.doc"));
    e.prompter().answerFiles({fresh.fileName()});
    e.form3->SpeedButton1->click();
    e.form3->BitBtn2Click();
    QCOMPARE(e.prompter().shown.last(), resultBox(kModified));
    QCOMPARE(column(e, key, "CONCAT_WS('|', FNEV, FTIP, FMER, FILE)"),
             QStringLiteral("új.PDF|Adobe Acrobat|7|pdfadat"));
}

void ModifyFormTest::formOpenedWithoutItsRecordNeverWrites() {
    EditingApp e;
    const qint64 gone = e.addRecord(QStringLiteral("Eltűnő"));
    const qint64 other = e.addRecord(QStringLiteral("Másik"), {"KSZO"}, {"'marad'"});
    // The grid still shows the record another workstation has just deleted; the record table
    // stands on another record.
    e.selectInGrid(QStringLiteral("Eltűnő"));
    QVERIFY(e.data().FDTable1.locate(QStringLiteral("CIM"), QStringLiteral("Másik"), false));
    e.db.exec(QStringLiteral("DELETE FROM tbl_Data WHERE AZ = %1").arg(gone));

    e.form3->Edit1->setText(QStringLiteral("Előző nyitásból"));
    e.form3->FormShow();
    QCOMPARE(e.prompter().shown, QList<Shown>{warningBox(kNotFound)});
    QCOMPARE(e.form3->Edit1->text(), QStringLiteral("Előző nyitásból"));

    e.form3->Edit4->setText(QStringLiteral("felülírná"));
    e.form3->BitBtn2Click();
    QCOMPARE(e.prompter().shown, (QList<Shown>{warningBox(kNotFound), warningBox(kNotFound)}));
    QCOMPARE(column(e, other, "CONCAT(CIM, '|', KSZO)"), QStringLiteral("Másik|marad"));
    QCOMPARE(e.recordCount(), 1);
}

void ModifyFormTest::writesOntoOpenedRecordWhereverTheTableStands() {
    EditingApp e;
    const qint64 opened = e.addRecord(QStringLiteral("Nyitott"));
    const qint64 other = e.addRecord(QStringLiteral("Másik"), {"KSZO"}, {"'marad'"});
    e.openForModification(QStringLiteral("Nyitott"));
    // Something else moves the record table before "Tárol".
    QVERIFY(e.data().FDTable1.locate(QStringLiteral("CIM"), QStringLiteral("Másik"), false));
    e.form3->Edit4->setText(QStringLiteral("ide"));
    e.form3->BitBtn2Click();
    QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(kModified)});
    QCOMPARE(column(e, opened, "CONCAT(CIM, '|', KSZO)"), QStringLiteral("Nyitott|ide"));
    QCOMPARE(column(e, other, "CONCAT(CIM, '|', KSZO)"), QStringLiteral("Másik|marad"));
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
    const qint64 key = e.addRecord(QStringLiteral("Zárolt"), {"KSZO"}, {"'eredeti'"});
    e.openForModification(QStringLiteral("Zárolt"));
    e.form3->Edit4->setText(QStringLiteral("félkész"));
    if (locked) {
        e.db.exec("START TRANSACTION");
        e.db.exec(QStringLiteral("SELECT * FROM tbl_Data WHERE AZ = %1 FOR UPDATE").arg(key));
    } else {
        e.form3->ComboBox2->setEditText(QString(151, QLatin1Char('k'))); // KAT holds 150
    }
    e.prompter().answerQuestions({false});
    e.form3->BitBtn2Click();
    if (locked)
        e.db.exec("ROLLBACK");

    QCOMPARE(e.prompter().shown.size(), 2);
    QVERIFY2(isHookBox(e.prompter().shown[0]), qPrintable(e.prompter().shown[0].text));
    QCOMPARE(e.prompter().shown[1], questionBox(question));
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QCOMPARE(e.data().FDTable1.state(), TableState::Browse);
    QCOMPARE(e.form3->Edit4->text(), QStringLiteral("félkész"));
    // Nothing of the failed store is written later by another operation.
    e.data().FDTable1.post();
    QCOMPARE(column(e, key, "KSZO"), QStringLiteral("eredeti"));
    QCOMPARE(e.value("SELECT COUNT(*) FROM tbl_Kat"), QStringLiteral("0"));
}

void ModifyFormTest::textLatin2CannotHoldKeepsTyping() {
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Árazott"), {"KSZO"}, {"'eredeti'"});
    e.openForModification(QStringLiteral("Árazott"));
    e.form3->Edit4->setText(QStringLiteral("10 €"));
    e.form3->BitBtn2Click();
    QCOMPARE(
        e.prompter().shown,
        QList<Shown>{warningBox(TextEncodingError(QStringLiteral("€"), QString()).userMessage())});
    QCOMPARE(e.form3->Edit4->text(), QStringLiteral("10 €"));
    QCOMPARE(column(e, key, "KSZO"), QStringLiteral("eredeti"));
    QCOMPARE(e.data().FDTable1.state(), TableState::Browse);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    // Corrected, the same opening stores.
    e.form3->Edit4->setText(QStringLiteral("10 Ft"));
    e.form3->BitBtn2Click();
    QCOMPARE(e.prompter().shown.last(), resultBox(kModified));
    QCOMPARE(column(e, key, "KSZO"), QStringLiteral("10 Ft"));
}

QTEST_MAIN(ModifyFormTest)
#include "tst_modifyform.moc"

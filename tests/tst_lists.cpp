// The type and category suggestion lists of both editing forms: filling them from tbl_Tip and
// tbl_Kat, and adding a typed value by each form's match rule.
#include "support/EditingApp.h"

#include "data/text/Latin2.h"
#include "platform/ScreenCursor.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace kx;
using namespace kx::test;

namespace {

const QString kStored = QStringLiteral("Adatok tárolása megtörtént !");
const QString kModified = QStringLiteral("Adatok módosítása megtörtént !");

QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QString hex(const QString& text) {
    return QString::fromLatin1(latin2::encode(text).toHex().toUpper());
}

} // namespace

class ListsTest : public QObject {
    Q_OBJECT
private slots:
    void fillTakesRowsInKeyOrder();
    void matchRules_data();
    void matchRules();
    void addedValueIsAtTheEndAtOnce();
    void failedLookupCountsAsNoMatch();
    void textLongerThanItsColumn_data();
    void textLongerThanItsColumn();
};

void ListsTest::fillTakesRowsInKeyOrder() {
    EditingApp e;
    e.db.exec(QStringLiteral(
        "INSERT INTO tbl_Tip (TIP) VALUES ('Zeta'), ('Alfa'), ('Zeta'), (' szóköz ')"));
    e.addRecord(QStringLiteral("Rekord"), {QStringLiteral("TIP"), QStringLiteral("KAT")},
                {QStringLiteral("'Saját'"), QStringLiteral("'Egyedi'")});
    const QStringList expected{QStringLiteral("Zeta"), QStringLiteral("Alfa"),
                               QStringLiteral("Zeta"), QStringLiteral(" szóköz ")};

    // Each showing rebuilds the lists: as stored, in AZ order, duplicates kept.
    e.entryForm->prepareShowing();
    e.entryForm->prepareShowing();
    QCOMPARE(items(e.entryForm->typeBox), expected);
    QCOMPARE(e.entryForm->categoryBox->count(), 0);
    QCOMPARE(e.entryForm->typeBox->currentText(), QString());

    // The modification form keeps the record's own values in the boxes.
    e.openForModification(QStringLiteral("Rekord"));
    e.openForModification(QStringLiteral("Rekord"));
    QCOMPARE(items(e.modificationForm->typeBox), expected);
    QCOMPARE(e.modificationForm->typeBox->currentText(), QStringLiteral("Saját"));
    QCOMPARE(e.modificationForm->categoryBox->currentText(), QStringLiteral("Egyedi"));
    QCOMPARE(e.modificationForm->categoryBox->count(), 0);
    QCOMPARE(e.prompter().shown, QList<Shown>{});
}

void ListsTest::matchRules_data() {
    QTest::addColumn<bool>("entry"); // entry form, else modification form
    QTest::addColumn<bool>("type");  // type box, else category box
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("added");
    QTest::newRow("entry, type, beginning of a stored one") << true << true << "Könyv"
                                                            << "Köny" << false;
    QTest::newRow("entry, category, beginning of a stored one") << true << false << "Regény"
                                                                << "Reg" << false;
    QTest::newRow("entry, type, a stored one begins it") << true << true << "Könyv"
                                                         << "Könyvek" << true;
    QTest::newRow("entry, category, letter case differs") << true << false << "Regény"
                                                          << "regény" << true;
    QTest::newRow("entry, type, blanks only") << true << true << "Könyv"
                                              << "   " << false;
    QTest::newRow("modification, type, beginning of a stored one") << false << true << "Könyv"
                                                                   << "Köny" << false;
    QTest::newRow("modification, category, beginning of a stored one") << false << false << "Regény"
                                                                       << "Reg" << true;
    QTest::newRow("modification, category, equal") << false << false << "Regény"
                                                   << "Regény" << false;
    QTest::newRow("modification, category, surrounding blanks kept") << false << false << "Regény"
                                                                     << " Regény " << true;
}

void ListsTest::matchRules() {
    QFETCH(bool, entry);
    QFETCH(bool, type);
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, added);
    EditingApp e;
    const QString table = type ? QStringLiteral("tbl_Tip") : QStringLiteral("tbl_Kat");
    const QString col = type ? QStringLiteral("TIP") : QStringLiteral("KAT");
    e.db.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES ('%3')").arg(table, col, stored));

    RecordForm* form = entry ? static_cast<RecordForm*>(e.entryForm) : e.modificationForm;
    if (entry) {
        e.entryForm->prepareShowing();
        e.entryForm->titleEdit->setText(QStringLiteral("Rekord"));
    } else {
        e.addRecord(QStringLiteral("Rekord"));
        e.openForModification(QStringLiteral("Rekord"));
    }
    QComboBox* box = type ? form->typeBox : form->categoryBox;
    box->setEditText(typed);
    form->storeClicked();
    QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(entry ? kStored : kModified)});

    // The record keeps the typed value whatever the list does.
    QCOMPARE(e.value(QStringLiteral("SELECT HEX(%1) FROM tbl_Data").arg(col)), hex(typed));
    const QStringList rows =
        e.value(QStringLiteral("SELECT GROUP_CONCAT(HEX(%1) ORDER BY AZ) FROM %2").arg(col, table))
            .split(QLatin1Char(','));
    const QStringList expectedRows =
        added ? QStringList{hex(stored), hex(typed)} : QStringList{hex(stored)};
    QCOMPARE(rows, expectedRows);
    // Added at the end of the box's list at once, without a refill.
    const QStringList expectedItems = added ? QStringList{stored, typed} : QStringList{stored};
    QCOMPARE(items(box), expectedItems);
}

void ListsTest::addedValueIsAtTheEndAtOnce() {
    EditingApp e;
    e.db.exec(QStringLiteral("INSERT INTO tbl_Tip (TIP) VALUES ('Régi')"));
    e.entryForm->prepareShowing();
    for (const QString& t : {QStringLiteral("Első új"), QStringLiteral("Második új")}) {
        e.entryForm->titleEdit->setText(t);
        e.entryForm->typeBox->setEditText(t);
        e.entryForm->storeClicked();
        // The form is cleared for the next record; the list keeps what was added.
        QCOMPARE(e.entryForm->typeBox->currentText(), QString());
    }
    QCOMPARE(items(e.entryForm->typeBox),
             (QStringList{QStringLiteral("Régi"), QStringLiteral("Első új"),
                          QStringLiteral("Második új")}));
    QCOMPARE(e.prompter().shown, (QList<Shown>{resultBox(kStored), resultBox(kStored)}));

    // The modification form picks them up at its next showing.
    e.openForModification(QStringLiteral("Első új"));
    QCOMPARE(items(e.modificationForm->typeBox),
             (QStringList{QStringLiteral("Régi"), QStringLiteral("Első új"),
                          QStringLiteral("Második új")}));
    QCOMPARE(e.modificationForm->typeBox->currentText(), QStringLiteral("Első új"));
}

void ListsTest::failedLookupCountsAsNoMatch() {
    EditingApp e;
    e.entryForm->prepareShowing();
    // The type table goes away behind the open form: the lookup fails and is shown, then the
    // value is added as if it were new, and that write fails too. The record stays stored.
    e.db.exec(QStringLiteral("RENAME TABLE tbl_Tip TO tbl_Tip_el"));
    e.entryForm->titleEdit->setText(QStringLiteral("Rekord"));
    e.entryForm->typeBox->setEditText(QStringLiteral("Típus"));
    e.entryForm->categoryBox->setEditText(QStringLiteral("Kategória"));
    e.prompter().answerQuestions({false});
    e.entryForm->storeClicked();
    e.db.exec(QStringLiteral("RENAME TABLE tbl_Tip_el TO tbl_Tip"));

    const QList<Shown>& shown = e.prompter().shown;
    QCOMPARE(shown.size(), 4);
    QVERIFY2(isHookBox(shown[0]), qPrintable(shown[0].text));
    QCOMPARE(shown[1], warningBox(QStringLiteral("Hiba történt !!!")));
    QVERIFY2(isHookBox(shown[2]), qPrintable(shown[2].text));
    QCOMPARE(shown[3],
             questionBox(QStringLiteral("Adatok kiírása nem sikerült (másik felhasználó zárolta a "
                                        "táblát) ! Megpróbáljuk újra ?")));
    QCOMPARE(e.recordCount(), 1);
    // No is the end of the store: no category, no clearing.
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Kat")), QStringLiteral("0"));
    QCOMPARE(e.entryForm->titleEdit->text(), QStringLiteral("Rekord"));
    QCOMPARE(e.data().typeTable.state(), TableState::Browse);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void ListsTest::textLongerThanItsColumn_data() {
    QTest::addColumn<bool>("modification");
    QTest::addColumn<bool>("category");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("refusal"); // empty: stored
    const QString typeTooLong = QStringLiteral("A típus legfeljebb 150 karakter hosszú lehet !");
    const QString categoryTooLong =
        QStringLiteral("A kategória legfeljebb 150 karakter hosszú lehet !");
    const QString over = QString(151, QLatin1Char('x'));
    // One byte each in the Latin-2 column, two in UTF-8.
    const QString accentedFull = QString(150, QChar(0x0151)); // ő
    QTest::newRow("entry, type of 151") << false << false << over << typeTooLong;
    QTest::newRow("entry, category of 151") << false << true << over << categoryTooLong;
    QTest::newRow("modification, type of 151") << true << false << over << typeTooLong;
    QTest::newRow("modification, category of 151") << true << true << over << categoryTooLong;
    QTest::newRow("entry, type of 150 accented") << false << false << accentedFull << QString();
    QTest::newRow("modification, category of 150 accented")
        << true << true << accentedFull << QString();
}

void ListsTest::textLongerThanItsColumn() {
    QFETCH(bool, modification);
    QFETCH(bool, category);
    QFETCH(QString, text);
    QFETCH(QString, refusal);
    EditingApp e;
    const qint64 key = e.addRecord(QStringLiteral("Meglévő"), {QStringLiteral("KSZO")},
                                   {QStringLiteral("'eredeti'")});
    RecordForm* form = modification ? static_cast<RecordForm*>(e.modificationForm) : e.entryForm;
    if (modification) {
        e.openForModification(QStringLiteral("Meglévő"));
    } else {
        e.entryForm->prepareShowing();
        e.entryForm->titleEdit->setText(QStringLiteral("Új"));
    }
    form->keywordsEdit->setText(QStringLiteral("gépelt"));
    QComboBox* box = category ? form->categoryBox : form->typeBox;
    box->setEditText(text);
    form->storeClicked();

    const QString column = category ? QStringLiteral("KAT") : QStringLiteral("TIP");
    const QString listTable = category ? QStringLiteral("tbl_Kat") : QStringLiteral("tbl_Tip");
    if (refusal.isEmpty()) {
        QCOMPARE(e.prompter().shown, QList<Shown>{resultBox(modification ? kModified : kStored)});
        QCOMPARE(
            e.value(
                QStringLiteral("SELECT HEX(%1) FROM tbl_Data WHERE KSZO = 'gépelt'").arg(column)),
            hex(text));
        QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM ") + listTable), QStringLiteral("1"));
        return;
    }
    // Refused before anything is written: no lock question, no row, no list value.
    QCOMPARE(e.prompter().shown, QList<Shown>{warningBox(refusal)});
    QCOMPARE(box->currentText(), text);
    QCOMPARE(form->keywordsEdit->text(), QStringLiteral("gépelt"));
    QCOMPARE(e.recordCount(), 1);
    QCOMPARE(e.value(QStringLiteral("SELECT KSZO FROM tbl_Data WHERE AZ = %1").arg(key)),
             QStringLiteral("eredeti"));
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Tip")), QStringLiteral("0"));
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Kat")), QStringLiteral("0"));
    QCOMPARE(e.data().recordTable.state(), TableState::Browse);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);

    // Shortened, the same form stores what it keeps.
    box->setEditText(text.left(150));
    form->storeClicked();
    QCOMPARE(e.prompter().shown.last(), resultBox(modification ? kModified : kStored));
    QCOMPARE(e.value(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE KSZO = 'gépelt' AND "
                                    "%1 = REPEAT('x', 150)")
                         .arg(column)),
             QStringLiteral("1"));
}

QTEST_MAIN(ListsTest)
#include "tst_lists.moc"

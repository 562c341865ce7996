// The deletion form: it shows the record the main window found, deletes exactly that record on
// "Törlés" and nothing else, meets a refused delete with the retry question, and refills itself
// on every showing.
#include "support/EditingApp.h"
#include "support/PictureBytes.h"

#include "browsing/DeletionForm.h"
#include "browsing/PhotoView.h"
#include "platform/ScreenCursor.h"

#include <QAction>
#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace kx;
using namespace kx::test;

namespace {

const QString kDeleted = QStringLiteral("Adatrekord törlése megtörtént !");
const QString kNotFound = QStringLiteral("Nem található az adatrekord !");
const QString kLocked =
    QStringLiteral("Adatrekord nem törölhető (másik felhasználó zárolta) ! Megpróbáljuk újra ?");

struct Deleting : EditingApp {
    Deleting() {
        deletionForm = app.mainWindow->findChild<DeletionForm*>();
        if (!deletionForm)
            qFatal("the deletion form was not created");
    }
    // Runs the grid menu's Törlés on the grid's current row and acts inside the form.
    bool inside(const std::function<void()>& act) {
        return insideModal(deletionForm, act,
                           [this] { app.mainWindow->gridDeleteAction->trigger(); });
    }
    // Makes the row with this key the grid's current row.
    void selectKey(qint64 key) {
        Query& q = data().recordQuery;
        for (q.first(); !q.eof(); q.next())
            if (q.asString(QStringLiteral("AZ")).toLongLong() == key)
                return;
        qFatal("no row with key %lld", key);
    }
    bool exists(qint64 key) {
        return value(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE AZ = %1").arg(key)) ==
               QLatin1String("1");
    }
    QStringList fields() const {
        DeletionForm* f = deletionForm;
        return {f->titleEdit->text(),
                f->typeEdit->text(),
                f->categoryEdit->text(),
                f->keywordsEdit->text(),
                f->referenceEdit->text(),
                f->recorderEdit->text(),
                f->dateEdit->text(),
                f->fileNameEdit->text(),
                f->descriptionEdit->toPlainText(),
                QString::number(f->photo->isEmpty())};
    }
    DeletionForm* deletionForm = nullptr;
};

} // namespace

class DeleteFormTest : public QObject {
    Q_OBJECT
private slots:
    void showsAndDeletesTheGridRecord();
    void toolbarCommandDeletesToo();
    void sameTitleTakesTheFirstInKeyOrder();
    void recordChangedElsewhere_data();
    void recordChangedElsewhere();
    void refusedDeleteAnsweredNo();
    void refusedDeleteRetried();
    void counterCountsTheWholeTable();
    void eachShowingRefills();
};

void DeleteFormTest::showsAndDeletesTheGridRecord() {
    Deleting d;
    const qint64 first = d.addRecord(QStringLiteral("Alma"));
    const qint64 shown = d.addRecord(
        QStringLiteral("Banán"),
        {QStringLiteral("TIP"), QStringLiteral("KAT"), QStringLiteral("KSZO"),
         QStringLiteral("HIV"), QStringLiteral("DATUM"), QStringLiteral("FELVEV"),
         QStringLiteral("LEIRAS"), QStringLiteral("FOTO"), QStringLiteral("FNEV"),
         QStringLiteral("FILE")},
        {QStringLiteral("'Gyümölcs'"), QStringLiteral("'Sárga'"), QStringLiteral("'hajlott'"),
         QStringLiteral("'www.banan.hu'"), QStringLiteral("'2001.02.03 4:05:06'"),
         QStringLiteral("'Őri Ödön'"), QStringLiteral("'egy\\r\\nkettő'"),
         hexLiteral(bmpOf(QSize(12, 8), QColor(1, 2, 3))), QStringLiteral("'b.txt'"),
         QStringLiteral("'tartalom'")});
    const qint64 last = d.addRecord(QStringLiteral("Citrom"));
    d.selectInGrid(QStringLiteral("Banán"));

    QStringList seen, atResult;
    QImage picture;
    bool visibleAfter = true;
    d.prompter().onShown = [&](const Shown&) {
        atResult = d.fields();
        atResult << d.deletionForm->countLabel->text();
    };
    QVERIFY(d.inside([&] {
        seen = d.fields();
        seen << d.deletionForm->windowTitle() << d.deletionForm->countLabel->text();
        picture = d.deletionForm->photo->picture();
        d.deletionForm->deleteButton->click();
        visibleAfter = d.deletionForm->isVisible();
    }));
    QCOMPARE(seen, (QStringList{QStringLiteral("Banán"), QStringLiteral("Gyümölcs"),
                                QStringLiteral("Sárga"), QStringLiteral("hajlott"),
                                QStringLiteral("www.banan.hu"), QStringLiteral("Őri Ödön"),
                                QStringLiteral("2001.02.03 4:05:06"), QStringLiteral("b.txt"),
                                QStringLiteral("egy\nkettő"), QStringLiteral("0"),
                                QStringLiteral("Adatrekord törlése:"), QStringLiteral("3")}));
    QCOMPARE(picture.size(), QSize(12, 8));
    QCOMPARE(picture.pixelColor(2, 2), QColor(1, 2, 3));
    // At the message the counter shows one record fewer and the fields are empty.
    QCOMPARE(atResult, (QStringList{QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                                    QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                                    QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                                    QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(d.prompter().shown, QList<Shown>{resultBox(kDeleted)});
    QVERIFY(!visibleAfter);
    QVERIFY(!d.exists(shown));
    QVERIFY(d.exists(first));
    QVERIFY(d.exists(last));
    // The grid was read again.
    QCOMPARE(d.app.mainWindow->recordGrid->model()->rowCount(), 2);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void DeleteFormTest::toolbarCommandDeletesToo() {
    Deleting d;
    d.addRecord(QStringLiteral("Marad"));
    const qint64 gone = d.addRecord(QStringLiteral("Törlendő"));
    d.selectInGrid(QStringLiteral("Törlendő"));
    QVERIFY(insideModal(
        d.deletionForm, [&] { d.deletionForm->deleteButton->click(); },
        [&] { d.app.mainWindow->deleteButton->click(); }));
    QCOMPARE(d.prompter().shown, QList<Shown>{resultBox(kDeleted)});
    QVERIFY(!d.exists(gone));
    QCOMPARE(d.recordCount(), 1);
}

void DeleteFormTest::sameTitleTakesTheFirstInKeyOrder() {
    Deleting d;
    const qint64 first =
        d.addRecord(QStringLiteral("Ikrek"), {QStringLiteral("KSZO")}, {QStringLiteral("'első'")});
    const qint64 second = d.addRecord(QStringLiteral("Ikrek"), {QStringLiteral("KSZO")},
                                      {QStringLiteral("'második'")});
    d.selectKey(second);
    QString keywords;
    QVERIFY(d.inside([&] {
        keywords = d.deletionForm->keywordsEdit->text();
        d.deletionForm->deleteButton->click();
    }));
    QCOMPARE(keywords, QStringLiteral("első"));
    QCOMPARE(d.prompter().shown, QList<Shown>{resultBox(kDeleted)});
    QVERIFY(!d.exists(first));
    QVERIFY(d.exists(second));
}

void DeleteFormTest::recordChangedElsewhere_data() {
    QTest::addColumn<QString>("meanwhile"); // %1: the shown record's key
    QTest::newRow("deleted") << "DELETE FROM tbl_Data WHERE AZ = %1";
    // Another record of the same title is not the record shown: it is never deleted instead.
    QTest::newRow("deleted, another of the same title stored")
        << "DELETE FROM tbl_Data WHERE AZ = %1; INSERT INTO tbl_Data (CIM) VALUES ('Cél')";
    QTest::newRow("renamed") << "UPDATE tbl_Data SET CIM = 'Cél (új)' WHERE AZ = %1";
    QTest::newRow("letter case changed") << "UPDATE tbl_Data SET CIM = 'CÉL' WHERE AZ = %1";
}

void DeleteFormTest::recordChangedElsewhere() {
    QFETCH(QString, meanwhile);
    Deleting d;
    const qint64 target = d.addRecord(QStringLiteral("Cél"));
    d.addRecord(QStringLiteral("Más"));
    d.selectInGrid(QStringLiteral("Cél"));
    bool stillOpen = false;
    QString title;
    QVERIFY(d.inside([&] {
        for (const QString& sql : meanwhile.arg(target).split(QStringLiteral("; ")))
            d.db.exec(sql);
        d.deletionForm->deleteButton->click();
        stillOpen = d.deletionForm->isVisible();
        title = d.deletionForm->titleEdit->text();
    }));
    QCOMPARE(d.prompter().shown, QList<Shown>{warningBox(kNotFound)});
    QVERIFY(stillOpen);
    QCOMPARE(title, QStringLiteral("Cél"));
    const int remaining = meanwhile.startsWith(QStringLiteral("DELETE")) &&
                                  !meanwhile.contains(QStringLiteral("INSERT"))
                              ? 1
                              : 2;
    QCOMPARE(d.recordCount(), remaining);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void DeleteFormTest::refusedDeleteAnsweredNo() {
    Deleting d;
    const qint64 key = d.addRecord(QStringLiteral("Zárolt"), {QStringLiteral("KSZO")},
                                   {QStringLiteral("'kulcs'")});
    d.selectInGrid(QStringLiteral("Zárolt"));
    d.prompter().answerQuestions({false});
    bool stillOpen = false;
    QStringList after;
    QVERIFY(d.inside([&] {
        d.db.exec(QStringLiteral("START TRANSACTION"));
        d.db.exec(QStringLiteral("SELECT * FROM tbl_Data WHERE AZ = %1 FOR UPDATE").arg(key));
        d.deletionForm->deleteButton->click();
        d.db.exec(QStringLiteral("ROLLBACK"));
        stillOpen = d.deletionForm->isVisible();
        after << d.deletionForm->titleEdit->text() << d.deletionForm->keywordsEdit->text()
              << d.deletionForm->countLabel->text();
    }));
    const QList<Shown>& shown = d.prompter().shown;
    QCOMPARE(shown.size(), 2);
    QVERIFY2(isHookBox(shown[0]), qPrintable(shown[0].text));
    QCOMPARE(shown[1], questionBox(kLocked));
    QVERIFY(stillOpen);
    QCOMPARE(after,
             (QStringList{QStringLiteral("Zárolt"), QStringLiteral("kulcs"), QStringLiteral("1")}));
    QVERIFY(d.exists(key));
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void DeleteFormTest::refusedDeleteRetried() {
    Deleting d;
    const qint64 key = d.addRecord(QStringLiteral("Zárolt"));
    const qint64 other = d.addRecord(QStringLiteral("Szabad"));
    d.selectInGrid(QStringLiteral("Zárolt"));
    // The other workstation lets go while the question is on the screen.
    d.prompter().onShown = [&](const Shown& s) {
        if (s.kind == QLatin1String("question"))
            d.db.exec(QStringLiteral("ROLLBACK"));
    };
    d.prompter().answerQuestions({true});
    QVERIFY(d.inside([&] {
        d.db.exec(QStringLiteral("START TRANSACTION"));
        d.db.exec(QStringLiteral("SELECT * FROM tbl_Data WHERE AZ = %1 FOR UPDATE").arg(key));
        d.deletionForm->deleteButton->click();
    }));
    const QList<Shown>& shown = d.prompter().shown;
    QCOMPARE(shown.size(), 3);
    QVERIFY(isHookBox(shown[0]));
    QCOMPARE(shown[1], questionBox(kLocked));
    QCOMPARE(shown[2], resultBox(kDeleted));
    QVERIFY(!d.exists(key));
    QVERIFY(d.exists(other));
}

void DeleteFormTest::counterCountsTheWholeTable() {
    Deleting d;
    d.addRecord(QStringLiteral("Alma"));
    d.addRecord(QStringLiteral("Almás pite"));
    d.addRecord(QStringLiteral("Kenyér"));
    d.prompter().answerInputs({QStringLiteral("kenyér")});
    d.app.mainWindow->searchButton->click(); // the grid now shows one hit
    d.prompter().clear();
    QString counter, title;
    QVERIFY(d.inside([&] {
        counter = d.deletionForm->countLabel->text();
        title = d.deletionForm->titleEdit->text();
    }));
    QCOMPARE(counter, QStringLiteral("3"));
    QCOMPARE(title, QStringLiteral("Kenyér"));
    QCOMPARE(d.prompter().shown, QList<Shown>{});
}

void DeleteFormTest::eachShowingRefills() {
    Deleting d;
    d.addRecord(QStringLiteral("Fényképes"),
                {QStringLiteral("FOTO"), QStringLiteral("FNEV"), QStringLiteral("FILE"),
                 QStringLiteral("LEIRAS")},
                {hexLiteral(bmpOf(QSize(5, 5), Qt::green)), QStringLiteral("'kép.txt'"),
                 QStringLiteral("'x'"), QStringLiteral("'leírás'")});
    d.addRecord(QStringLiteral("Üres"));
    d.selectInGrid(QStringLiteral("Fényképes"));
    QList<bool> modes;
    QVERIFY(d.inside([&] {
        d.deletionForm->photo->centreAction->trigger();
        d.deletionForm->photo->stretchAction->trigger();
        modes << d.deletionForm->photo->centred() << d.deletionForm->photo->stretched();
    }));
    d.selectInGrid(QStringLiteral("Üres"));
    QStringList seen;
    QVERIFY(d.inside([&] {
        seen = d.fields();
        modes << d.deletionForm->photo->centred() << d.deletionForm->photo->stretched()
              << d.deletionForm->photo->centreAction->isChecked()
              << d.deletionForm->photo->stretchAction->isChecked();
    }));
    // Nothing of the first record remains: no photo, no file line, no description.
    QCOMPARE(seen, (QStringList{QStringLiteral("Üres"), QStringLiteral(""), QStringLiteral(""),
                                QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                                QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                                QStringLiteral("1")}));
    QCOMPARE(modes, (QList<bool>{true, true, false, false, true, true}));
    QCOMPARE(d.prompter().shown, QList<Shown>{});
}

QTEST_MAIN(DeleteFormTest)
#include "tst_deleteform.moc"

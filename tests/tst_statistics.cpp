// The statistics window: the eighteen figures on small record sets with known answers, the
// tag that keeps each showing's rows apart in the shared tbl_Tmp, the rows' removal on
// closing, and what a refused or failed collection leaves.
#include "platform/ScreenCursor.h"
#include "policy/ErrorPolicy.h"
#include "statistics/ResultGridModel.h"
#include "statistics/StatisticsWindow.h"
#include "support/TestApp.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <mysql.h>

using namespace kx;
using namespace kx::test;

namespace {

const QStringList labels = {
    QStringLiteral("Tárolt adatrekordok száma"),
    QStringLiteral("Típusok száma"),
    QStringLiteral("Leggyakoribb típus"),
    QStringLiteral("Legritkább típus"),
    QStringLiteral("Kategóriák száma"),
    QStringLiteral("Leggyakoribb kategória"),
    QStringLiteral("Legritkább kategória"),
    QStringLiteral("Felvevők száma"),
    QStringLiteral("Leggyakoribb felvevő"),
    QStringLiteral("Legritkább felvevő"),
    QStringLiteral("Rekordok száma, melyekhez fájlok lettek csatolva"),
    QStringLiteral("Fájl típusok száma"),
    QStringLiteral("Leggyakoribb fájl típus"),
    QStringLiteral("Legritkább fájl típus"),
    QStringLiteral("Rekordok száma, melyeknél a csatolt fájl > 100 Kbyte"),
    QStringLiteral("Rekordok száma, melyeknél a csatolt fájl > 1 Mbyte"),
    QStringLiteral("Rekordok száma, melyekhez fotó lett tárolva"),
    QStringLiteral("Rekordok száma, melyekhez fotó nem lett tárolva"),
};

const QString writeRefused = QStringLiteral(
    "Adatok kiírása nem sikerült (másik felhasználó zárolta a táblát) ! Megpróbáljuk újra ?");
const QString lockTimeout =
    QStringLiteral("Lock wait timeout exceeded; try restarting transaction");

// "label|value" for each expected row.
QStringList expectedRows(const QStringList& values) {
    QStringList out;
    for (qsizetype i = 0; i < values.size(); ++i)
        out << labels[i] + QLatin1Char('|') + values[i];
    return out;
}

QStringList gridRows(StatisticsWindow* form) {
    QStringList out;
    QAbstractItemModel* m = form->resultGrid->model();
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, 0).data().toString() + QLatin1Char('|') +
                   m->index(r, 1).data().toString();
    return out;
}

// A workstation of its own on the same record store: its own connection and data sets.
struct OtherWorkstation {
    explicit OtherWorkstation(const ConnectionParams& p) {
        attachErrorHandlers(data, prompter);
        data.recordStore.setParams(p);
        data.recordStore.open();
        data.recordQuery.open();
        for (Table* t :
             {&data.recordTable, &data.typeTable, &data.categoryTable, &data.resultTable})
            t->open();
        form = std::make_unique<StatisticsWindow>(data, prompter);
    }
    SharedData data;
    RecordingPrompter prompter;
    std::unique_ptr<StatisticsWindow> form;
};

struct Started {
    Started() {
        db.exec(QStringLiteral("SET SESSION group_concat_max_len = 1000000"));
        db.exec(QStringLiteral(
            "SET SESSION lock_wait_timeout = 5")); // a schema change never waits long
        app.startUp(db.params());
        QCOMPARE(app.prompter.shown, QList<Shown>{});
        statisticsWindow = app.mainWindow->findChild<StatisticsWindow*>();
        QVERIFY(statisticsWindow);
    }
    void addRecords(const QStringList& tuples) {
        if (!tuples.isEmpty())
            db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, TIP, KAT, FELVEV, FNEV, FTIP, FMER, "
                                   "FOTO) VALUES ") +
                    tuples.join(QLatin1Char(',')));
    }
    // The rows that carry a tag, as stored on the server, in key order.
    QStringList storedRows(qint64 tag) {
        const QString all = db.scalar(QStringLiteral("SELECT GROUP_CONCAT(CONCAT(SZOV, '|', NUM) "
                                                     "ORDER BY AZ SEPARATOR '\\n') FROM tbl_Tmp "
                                                     "WHERE SZUR = %1")
                                          .arg(tag));
        return all.isEmpty() ? QStringList() : all.split(QLatin1Char('\n'));
    }
    int tmpRows() {
        return db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Tmp")).toInt();
    }
    qint64 tag() {
        return statisticsWindow->resultRows().tag();
    }
    TestDatabase db;
    TestApp app;
    StatisticsWindow* statisticsWindow = nullptr;
};

} // namespace

class StatisticsTest : public QObject {
    Q_OBJECT
private slots:
    void figures_data();
    void figures();
    void windowLayout();
    void openedFromMainWindowWithRecords();
    void collectsOnceNewShowingNewTag();
    void twoWorkstationsAtOnceStayApart();
    void takenTagIsDrawnAgainWhateverWasShown();
    void closingWithoutCollectingDeletesNothing();
    void closingRemovesOnlyOwnRows_data();
    void closingRemovesOnlyOwnRows();
    void refusedWriteAnsweredNoKeepsRowsUntilClose();
    void refusedWriteRetriedWritesEachRowOnce();
    void failedGroupingLeavesSpareQueryUsable();
    void recordPassReadsNoBlobsAndFewStatements();
};

void StatisticsTest::figures_data() {
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QStringList>("values");

    // Equal counts are avoided where an order of ties would decide the answer.
    QTest::newRow("mixed")
        << QStringList{QStringLiteral(
                           "('A', 'Cikk', 'Tech', 'Anna', 'a.pdf', 'PDF', 100000, NULL)"),
                       QStringLiteral("('B', 'Cikk', 'Tech', 'Anna', 'a.pdf', 'PDF', 100001, 'x')"),
                       QStringLiteral(
                           "('C', 'Könyv', 'Tech', 'Béla', 'b.doc', 'PDF', 1000001, 'x')"),
                       QStringLiteral("('D', 'Cikk', '', NULL, NULL, NULL, NULL, NULL)"),
                       QStringLiteral("('E', '', 'Zene', 'Anna', '', '', 1000000, '')")}
        << QStringList{QStringLiteral("5"), QStringLiteral("2"), QStringLiteral("Cikk  -  3"),
                       QStringLiteral("Könyv  -  1"), QStringLiteral("2"),
                       QStringLiteral("Tech  -  3"), QStringLiteral("Zene  -  1"),
                       QStringLiteral("2"), QStringLiteral("Anna  -  3"),
                       QStringLiteral("Béla  -  1"),
                       // the same file name twice counts once
                       QStringLiteral("2"),
                       // the empty file type is a group, NULL is not
                       QStringLiteral("2"), QStringLiteral("PDF  -  3"), QStringLiteral("  -  1"),
                       // exactly 100000 counts in neither, 1000000 only
                       // in the first, just over 1000000 in both
                       QStringLiteral("3"), QStringLiteral("1"),
                       // zero bytes, as the forms store QStringLiteral("no photo"), count as no
                       // photo like NULL
                       QStringLiteral("2"), QStringLiteral("3")};

    QStringList sameType;
    for (int i = 1; i <= 5; ++i)
        sameType << QStringLiteral("('R%1', 'Cikk', NULL, NULL, NULL, NULL, NULL, NULL)").arg(i);
    QTest::newRow("one type, nothing else")
        << sameType
        << QStringList{
               QStringLiteral("5"),          QStringLiteral("1"),      QStringLiteral("Cikk  -  5"),
               QStringLiteral("Cikk  -  5"), QStringLiteral("0"),      QStringLiteral("  -  0"),
               QStringLiteral("  -  0"),     QStringLiteral("0"),      QStringLiteral("  -  0"),
               QStringLiteral("  -  0"),     QStringLiteral("0"),      QStringLiteral("0"),
               QStringLiteral("  -  0"),     QStringLiteral("  -  0"), QStringLiteral("0"),
               QStringLiteral("0"),          QStringLiteral("0"),      QStringLiteral("5")};

    // A 150-character type is cut to fit the 100 characters of the value; apostrophes and
    // backslashes travel as they are.
    const QString cut = QString(94, QLatin1Char('x')) + QStringLiteral("  -  2");
    QTest::newRow("long and odd texts")
        << QStringList{QStringLiteral(
                           "('L1', REPEAT('x', 150), 'O''Br\\\\ien', 'Ödön', 'f''1', 'A\\\\B', 5, "
                           "NULL)"),
                       QStringLiteral(
                           "('L2', REPEAT('x', 150), 'O''Br\\\\ien', 'Ödön', 'f''1', 'A\\\\B', 5, "
                           "NULL)")}
        << QStringList{QStringLiteral("2"),
                       QStringLiteral("1"),
                       cut,
                       cut,
                       QStringLiteral("1"),
                       QStringLiteral("O'Br\\ien  -  2"),
                       QStringLiteral("O'Br\\ien  -  2"),
                       QStringLiteral("1"),
                       QStringLiteral("Ödön  -  2"),
                       QStringLiteral("Ödön  -  2"),
                       QStringLiteral("1"),
                       QStringLiteral("1"),
                       QStringLiteral("A\\B  -  2"),
                       QStringLiteral("A\\B  -  2"),
                       QStringLiteral("0"),
                       QStringLiteral("0"),
                       QStringLiteral("0"),
                       QStringLiteral("2")};
}

void StatisticsTest::figures() {
    QFETCH(QStringList, records);
    QFETCH(QStringList, values);
    Started s;
    s.addRecords(records);
    s.statisticsWindow->show();
    QVERIFY(s.statisticsWindow->collectButton->isEnabled());
    QCOMPARE(s.statisticsWindow->rowCountLabel->text(), QStringLiteral("0"));
    s.statisticsWindow->collectButton->click();

    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
    QCOMPARE(gridRows(s.statisticsWindow), expectedRows(values));
    QCOMPARE(s.storedRows(s.tag()), expectedRows(values));
    QCOMPARE(s.statisticsWindow->rowCountLabel->text(), QStringLiteral("18"));
    QVERIFY(!s.statisticsWindow->collectButton->isEnabled());
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    s.statisticsWindow->close();
}

void StatisticsTest::windowLayout() {
    TestApp app;
    auto* form = app.mainWindow->findChild<StatisticsWindow*>();
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QStringLiteral("Statisztikai adatok:"));
    QCOMPARE(form->size(), QSize(645, 520));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QCOMPARE(form->collectButton->text(), QStringLiteral("Adatgyűjtés"));
    QCOMPARE(form->collectButton->statusTip(), QStringLiteral("Adatok összegyűjtése !"));
    QCOMPARE(form->closeButton->text(), QStringLiteral("Befejezés"));
    QCOMPARE(form->closeButton->statusTip(), QStringLiteral("Befejezés !"));
    QCOMPARE(form->rowCountCaption->text(), QStringLiteral("Sorok száma"));
    QVERIFY(form->collectButton->x() < form->rowCountCaption->x() &&
            form->rowCountCaption->x() < form->closeButton->x());

    QAbstractItemModel* m = form->resultGrid->model();
    QCOMPARE(m->columnCount(), 2);
    QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Azonosító"));
    QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Érték"));
    QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    QCOMPARE(form->resultGrid->columnWidth(0), 370);
    QCOMPARE(form->resultGrid->columnWidth(1), 215);
    QVERIFY(!form->resultGrid->horizontalHeader()->sectionsClickable());
    QCOMPARE(form->resultGrid->editTriggers(), QAbstractItemView::NoEditTriggers);

    // Created with the other windows, after the about box and before the login dialog.
    const QObjectList children = app.mainWindow->children();
    const auto at = [&children](const char* name) {
        for (qsizetype i = 0; i < children.size(); ++i)
            if (children[i]->objectName() == QLatin1String(name))
                return i;
        return qsizetype(-1);
    };
    QVERIFY(at("AboutBox") >= 0);
    QVERIFY(at("AboutBox") < at("Form6"));
    QVERIFY(at("Form6") < at("Form125"));
}

void StatisticsTest::openedFromMainWindowWithRecords() {
    Started s;
    s.addRecords({QStringLiteral("('A', 'Cikk', NULL, NULL, NULL, NULL, NULL, NULL)")});
    ModalCloser closer;
    s.app.mainWindow->menuStatisticsAction->trigger();
    QCOMPARE(closer.opened, QStringList{QStringLiteral("Form6")});
    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
    QCOMPARE(s.tmpRows(), 0);
}

void StatisticsTest::collectsOnceNewShowingNewTag() {
    Started s;
    s.addRecords({QStringLiteral("('A', 'Cikk', NULL, NULL, NULL, NULL, NULL, NULL)")});
    s.statisticsWindow->show();
    const qint64 first = s.tag();
    QVERIFY(first >= 0 && first < 1310065408);
    s.statisticsWindow->collectButton->click();
    s.statisticsWindow->collectButton->click(); // disabled: nothing happens
    QTest::mouseClick(s.statisticsWindow->collectButton, Qt::LeftButton);
    QCOMPARE(s.storedRows(first).size(), 18);
    QCOMPARE(s.tmpRows(), 18);
    s.statisticsWindow->close();
    QCOMPARE(s.tmpRows(), 0);

    s.statisticsWindow->show();
    QVERIFY(s.tag() != first);
    QVERIFY(s.statisticsWindow->collectButton->isEnabled());
    QCOMPARE(gridRows(s.statisticsWindow), QStringList{});
    QCOMPARE(s.statisticsWindow->rowCountLabel->text(), QStringLiteral("0"));
    s.statisticsWindow->collectButton->click();
    QCOMPARE(gridRows(s.statisticsWindow).size(), 18);
    QCOMPARE(s.tmpRows(), 18);
    s.statisticsWindow->close();
    QCOMPARE(s.tmpRows(), 0);
    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
}

void StatisticsTest::twoWorkstationsAtOnceStayApart() {
    Started s;
    s.addRecords({QStringLiteral("('A', 'Cikk', 'Tech', NULL, NULL, NULL, NULL, NULL)"),
                  QStringLiteral("('B', 'Könyv', 'Tech', NULL, NULL, NULL, NULL, NULL)"),
                  QStringLiteral("('C', 'Cikk', 'Tech', NULL, NULL, NULL, NULL, NULL)")});
    // A row that an earlier showing somewhere left behind.
    s.db.exec(QStringLiteral("INSERT INTO tbl_Tmp (SZOV, NUM, SZUR) VALUES ('Idegen', '1', 4242)"));
    // On a cluster the other workstation works through another node.
    OtherWorkstation other(s.db.otherWorkstation());
    StatisticsWindow* formB = other.form.get();

    s.statisticsWindow->show();
    formB->show();
    QVERIFY(s.tag() != formB->resultRows().tag());
    // The other workstation collects while this one is half-way: the rows of both are
    // written into tbl_Tmp in turns.
    bool started = false;
    connect(s.statisticsWindow->resultModel, &QAbstractItemModel::modelReset, formB, [&] {
        if (!started && s.statisticsWindow->resultModel->rowCount() == 9) {
            started = true;
            formB->collectButton->click();
        }
    });
    s.statisticsWindow->collectButton->click();
    QVERIFY(started);

    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
    QCOMPARE(other.prompter.shown, QList<Shown>{});
    QCOMPARE(s.tmpRows(), 37);
    const QStringList rowsA = gridRows(s.statisticsWindow);
    const QStringList rowsB = gridRows(formB);
    QCOMPARE(rowsA.size(), 18);
    QCOMPARE(rowsA, rowsB);
    QCOMPARE(rowsA.first(), labels.first() + QStringLiteral("|3"));
    QCOMPARE(s.storedRows(s.tag()), rowsA);
    QCOMPARE(s.storedRows(formB->resultRows().tag()), rowsB);

    const qint64 tagB = formB->resultRows().tag();
    s.statisticsWindow->close();
    QCOMPARE(s.tmpRows(), 19);
    QCOMPARE(s.storedRows(tagB), rowsB);
    formB->resultModel->reload();
    QCOMPARE(gridRows(formB), rowsB);
    formB->close();
    QCOMPARE(s.storedRows(4242), QStringList{QStringLiteral("Idegen|1")});
    QCOMPARE(s.tmpRows(), 1);
}

void StatisticsTest::takenTagIsDrawnAgainWhateverWasShown() {
    Started s;
    s.db.exec(QStringLiteral("INSERT INTO tbl_Tmp (SZOV, NUM, SZUR) VALUES ('Idegen', '1', 5)"));
    QList<quint32> draws{7, 5, 9};
    s.statisticsWindow->resultRows().setTagSource([&draws] { return draws.takeFirst(); });
    s.statisticsWindow->show();
    QCOMPARE(s.tag(), qint64(7));
    s.statisticsWindow->close();
    // The table still shows tag 7 when 5 is drawn; 5 is taken all the same.
    s.statisticsWindow->show();
    QCOMPARE(s.tag(), qint64(9));
    QCOMPARE(gridRows(s.statisticsWindow), QStringList{});
    s.statisticsWindow->close();
    QCOMPARE(s.storedRows(5), QStringList{QStringLiteral("Idegen|1")});
}

void StatisticsTest::closingWithoutCollectingDeletesNothing() {
    Started s;
    s.db.exec(
        QStringLiteral("INSERT INTO tbl_Tmp (SZOV, NUM, SZUR) VALUES ('a', '1', 1), ('b', '2', 2), "
                       "('c', '3', NULL)"));
    s.statisticsWindow->show();
    QCOMPARE(gridRows(s.statisticsWindow), QStringList{});
    s.statisticsWindow->close();
    QVERIFY(!s.statisticsWindow->isVisible());
    QCOMPARE(s.tmpRows(), 3);
    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
}

void StatisticsTest::closingRemovesOnlyOwnRows_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("Befejezés") << "button";
    QTest::newRow("close box") << "close";
    QTest::newRow("reject") << "reject";
}

void StatisticsTest::closingRemovesOnlyOwnRows() {
    QFETCH(QString, way);
    Started s;
    s.addRecords({QStringLiteral("('A', 'Cikk', NULL, NULL, NULL, NULL, NULL, NULL)")});
    s.db.exec(QStringLiteral("INSERT INTO tbl_Tmp (SZOV, NUM, SZUR) VALUES ('Idegen', '1', 77)"));
    s.statisticsWindow->show();
    s.statisticsWindow->collectButton->click();
    QCOMPARE(s.tmpRows(), 19);
    // Escape does not close the window.
    QTest::keyClick(s.statisticsWindow, Qt::Key_Escape);
    QVERIFY(s.statisticsWindow->isVisible());

    if (way == QStringLiteral("button"))
        s.statisticsWindow->closeButton->click();
    else if (way == QStringLiteral("close"))
        s.statisticsWindow->close();
    else
        s.statisticsWindow->reject();
    QVERIFY(!s.statisticsWindow->isVisible());
    QCOMPARE(s.tmpRows(), 1);
    QCOMPARE(s.storedRows(77), QStringList{QStringLiteral("Idegen|1")});
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
}

void StatisticsTest::refusedWriteAnsweredNoKeepsRowsUntilClose() {
    Started s;
    s.addRecords({QStringLiteral("('A', 'Cikk', NULL, NULL, NULL, NULL, NULL, NULL)")});
    s.statisticsWindow->show();
    // Another workstation locks tbl_Tmp once five rows are written.
    bool locked = false;
    connect(s.statisticsWindow->resultModel, &QAbstractItemModel::modelReset, s.statisticsWindow,
            [&] {
                if (!locked && s.statisticsWindow->resultModel->rowCount() == 5) {
                    locked = true;
                    s.db.exec(QStringLiteral("START TRANSACTION"));
                    s.db.exec(QStringLiteral("SELECT * FROM tbl_Tmp WHERE AZ > 0 FOR UPDATE"));
                }
            });
    s.statisticsWindow->collectButton->click(); // the question is answered No
    QVERIFY(locked);
    QCOMPARE(s.app.prompter.shown, (QList<Shown>{hookBox(lockTimeout), questionBox(writeRefused)}));
    QCOMPARE(gridRows(s.statisticsWindow),
             expectedRows({QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("Cikk  -  1"),
                           QStringLiteral("Cikk  -  1"), QStringLiteral("0")}));
    QCOMPARE(s.statisticsWindow->rowCountLabel->text(), QStringLiteral("5"));
    QVERIFY(!s.statisticsWindow->collectButton->isEnabled());
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
    s.db.exec(QStringLiteral("ROLLBACK"));

    QCOMPARE(s.storedRows(s.tag()).size(), 5);
    s.statisticsWindow->close();
    QCOMPARE(s.tmpRows(), 0);
}

void StatisticsTest::refusedWriteRetriedWritesEachRowOnce() {
    Started s;
    s.addRecords({QStringLiteral("('A', 'Cikk', NULL, NULL, NULL, NULL, NULL, NULL)")});
    s.db.exec(QStringLiteral("START TRANSACTION"));
    s.db.exec(QStringLiteral("SELECT * FROM tbl_Tmp FOR UPDATE"));
    s.app.prompter.answerQuestions({true});
    s.app.prompter.onShown = [&s](const Shown& shown) {
        if (shown.kind == QStringLiteral("question"))
            s.db.exec(QStringLiteral("ROLLBACK")); // the lock goes before the retry
    };
    s.statisticsWindow->show();
    s.statisticsWindow->collectButton->click();
    QCOMPARE(s.app.prompter.shown, (QList<Shown>{hookBox(lockTimeout), questionBox(writeRefused)}));
    QCOMPARE(gridRows(s.statisticsWindow).size(), 18);
    QCOMPARE(s.storedRows(s.tag()), gridRows(s.statisticsWindow));
    s.statisticsWindow->close();
    QCOMPARE(s.tmpRows(), 0);
}

void StatisticsTest::failedGroupingLeavesSpareQueryUsable() {
    Started s;
    s.addRecords({QStringLiteral("('A', 'Cikk', NULL, NULL, 'a', 'PDF', NULL, NULL)")});
    s.statisticsWindow->show();
    // The file-type column disappears while the collection runs.
    connect(s.statisticsWindow->resultModel, &QAbstractItemModel::modelReset, s.statisticsWindow,
            [&] {
                if (s.statisticsWindow->resultModel->rowCount() == 11)
                    s.db.exec(
                        QStringLiteral("ALTER TABLE tbl_Data CHANGE FTIP FTIPX VARCHAR(25) NULL"));
            });
    s.statisticsWindow->collectButton->click();
    QCOMPARE(s.app.prompter.shown.size(), 2);
    const QString message = s.app.prompter.shown[1].text;
    QVERIFY(message.contains(QStringLiteral("FTIP")));
    QCOMPARE(s.app.prompter.shown, (QList<Shown>{hookBox(message), errorReportBox(message)}));
    QCOMPARE(gridRows(s.statisticsWindow).size(), 11);
    QCOMPARE(s.statisticsWindow->rowCountLabel->text(), QStringLiteral("11"));
    QVERIFY(!s.statisticsWindow->collectButton->isEnabled());
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);

    // The spare query keeps no filter of the statistics: other statements still run on it.
    Query& q = s.app.data().probeQuery;
    QVERIFY(!q.isOpen());
    q.setSql(QStringLiteral("select 1 as X"));
    q.open();
    QCOMPARE(q.recordCount(), 1);
    q.close();

    s.statisticsWindow->close();
    QCOMPARE(s.tmpRows(), 0);
}

void StatisticsTest::recordPassReadsNoBlobsAndFewStatements() {
    Started s;
    s.db.exec(QStringLiteral(
        "INSERT INTO tbl_Data (CIM, FOTO, FMER) SELECT CONCAT('r', seq), IF(seq % 2 = 0, "
        "'x', NULL), seq * 1000 FROM seq_1_to_1200"));
    s.db.exec(QStringLiteral(
        "INSERT INTO tbl_Data (CIM, FOTO, FILE, FMER) VALUES ('big1', REPEAT('p', 3000000), "
        "REPEAT('f', 3000000), 3000000), ('big2', REPEAT('p', 3000000), REPEAT('f', "
        "3000000), 3000000)"));
    MariaConnection& conn = s.app.data().recordStore;
    const auto status = [&conn](const char* name) {
        return conn
            .scalar(QStringLiteral("SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS "
                                   "WHERE VARIABLE_NAME = '%1'")
                        .arg(QLatin1String(name)))
            .toLongLong();
    };
    s.statisticsWindow->show();
    const qint64 bytesBefore = status("BYTES_SENT");
    const qint64 statementsBefore = status("QUESTIONS");
    s.statisticsWindow->collectButton->click();
    const qint64 bytes = status("BYTES_SENT") - bytesBefore;
    const qint64 statements = status("QUESTIONS") - statementsBefore;
    QCOMPARE(s.app.prompter.shown, QList<Shown>{});
    const QStringList rows = gridRows(s.statisticsWindow);
    QCOMPARE(rows.mid(14),
             expectedRows({QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                           QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                           QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                           QStringLiteral(""), QStringLiteral(""), QStringLiteral(""),
                           QStringLiteral(""), QStringLiteral(""), QStringLiteral("1102"),
                           QStringLiteral("202"), QStringLiteral("602"), QStringLiteral("600")})
                 .mid(14));
    // One photo alone is 3 MB; the whole collection moves far less.
    QVERIFY2(bytes < 1000000, qPrintable(QString::number(bytes)));
    // A few statements per page of rows, not one per record.
    QVERIFY2(statements < 300, qPrintable(QString::number(statements)));
    s.statisticsWindow->close();
}

QTEST_MAIN(StatisticsTest)
#include "tst_statistics.moc"

// Two workstations on one record store: a store or a delete never goes over what the other
// workstation changed since the record was shown without the question, a lock still brings the
// retry question, and with nothing changed nothing looks different. The other workstation is a
// real second connection (and, once, a second copy of the program).
#include "support/EditingApp.h"
#include "support/PictureBytes.h"

#include "browsing/DeletionForm.h"
#include "data/text/Latin2.h"
#include "platform/ScreenCursor.h"

#include <QBuffer>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <mysql.h>

using namespace kx;
using namespace kx::test;

namespace {

const QString kOverwrite =
    QStringLiteral("Az adatrekordot időközben egy másik felhasználó módosította ! Felülírjuk ?");
const QString kDeleteAnyway = QStringLiteral(
    "Az adatrekordot időközben egy másik felhasználó módosította ! Mégis töröljük ?");
const QString kModified = QStringLiteral("Adatok módosítása megtörtént !");
const QString kDeleted = QStringLiteral("Adatrekord törlése megtörtént !");
const QString kOriginalNotFound = QStringLiteral("Nem található az eredeti adatrekord !");
const QString kNotFound = QStringLiteral("Nem található az adatrekord !");
const QString kEditLocked = QStringLiteral(
    "Adatrekord nem szerkeszthető (másik felhasználó zárolta) ! Megpróbáljuk újra ?");
const QString kDeleteLocked =
    QStringLiteral("Adatrekord nem törölhető (másik felhasználó zárolta) ! Megpróbáljuk újra ?");
const QString kLockTimeout =
    QStringLiteral("Lock wait timeout exceeded; try restarting transaction");

// The shown record: every kind of column holds something.
const QStringList kColumns{QStringLiteral("KSZO"), QStringLiteral("LEIRAS"), QStringLiteral("FOTO"),
                           QStringLiteral("FNEV"), QStringLiteral("FTIP"),   QStringLiteral("FMER"),
                           QStringLiteral("FILE")};
QStringList shownValues() {
    return {QStringLiteral("'eredeti'"),
            QStringLiteral("'leírás'"),
            hexLiteral(bmpOf(QSize(8, 6), Qt::red)),
            QStringLiteral("'a.txt'"),
            QStringLiteral("'TEXT'"),
            QStringLiteral("8"),
            QStringLiteral("'tartalom'")};
}

// The other workstation: a connection of its own to the same record store.
class OtherWorkstation {
public:
    explicit OtherWorkstation(const ConnectionParams& p) : m_mysql(mysql_init(nullptr)) {
        mysql_options(m_mysql, MYSQL_SET_CHARSET_NAME, "latin2");
        if (!mysql_real_connect(m_mysql, p.server.toUtf8().constData(), p.user.toUtf8().constData(),
                                p.password.toUtf8().constData(), p.database.toUtf8().constData(),
                                p.port.toUInt(), nullptr, 0))
            qFatal("other workstation: %s", mysql_error(m_mysql));
    }
    ~OtherWorkstation() {
        mysql_close(m_mysql);
    }
    // Statements separated by "; ". Returns the server's message of the first that fails.
    QString tryExec(const QString& sql) {
        for (const QString& one : sql.split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
            const QByteArray bytes = latin2::encode(one);
            if (mysql_real_query(m_mysql, bytes.constData(), bytes.size()))
                return QString::fromUtf8(mysql_error(m_mysql));
            if (MYSQL_RES* r = mysql_store_result(m_mysql))
                mysql_free_result(r);
        }
        return QString();
    }
    void exec(const QString& sql) {
        const QString error = tryExec(sql);
        if (!error.isEmpty())
            qFatal("other workstation: %s\n%s", qPrintable(error), qPrintable(sql));
    }
    // Runs sql in a transaction left open: its locks stay until the first question of the
    // program's user, when the transaction is committed.
    void holdUntilAsked(const QString& sql, RecordingPrompter& prompter) {
        exec(QStringLiteral("START TRANSACTION; ") + sql);
        prompter.onShown = [this, &prompter](const Shown& s) {
            if (s.kind != QLatin1String("question"))
                return;
            prompter.onShown = nullptr;
            exec(QStringLiteral("COMMIT"));
        };
    }

private:
    MYSQL* m_mysql;
};

// The window codes of the tables below.
QList<Shown> windows(const QStringList& codes, const QString& changedQuestion,
                     const QString& lockQuestion, const QString& done, const QString& notFound) {
    QList<Shown> out;
    for (const QString& c : codes) {
        if (c == QLatin1String("changed"))
            out << questionBox(changedQuestion);
        else if (c == QLatin1String("hook"))
            out << hookBox(kLockTimeout);
        else if (c == QLatin1String("retry"))
            out << questionBox(lockQuestion);
        else if (c == QLatin1String("done"))
            out << resultBox(done);
        else if (c == QLatin1String("notFound"))
            out << warningBox(notFound);
        else
            qFatal("unknown window code %s", qPrintable(c));
    }
    return out;
}

struct TwoWorkstations : EditingApp {
    TwoWorkstations() : other(db.params()) {
        deletionForm = app.mainWindow->findChild<DeletionForm*>();
        if (!deletionForm)
            qFatal("the deletion form was not created");
        key = addRecord(QStringLiteral("Közös"), kColumns, shownValues());
        addRecord(QStringLiteral("Másik"), {QStringLiteral("KSZO")}, {QStringLiteral("'marad'")});
        selectInGrid(QStringLiteral("Közös"));
        if (!data().recordTable.locate(QStringLiteral("CIM"), QStringLiteral("Közös"), false))
            qFatal("the shared record is missing");
    }
    QString stored(const QString& expr) {
        return value(QStringLiteral("SELECT %1 FROM tbl_Data WHERE AZ = %2").arg(expr).arg(key));
    }
    OtherWorkstation other;
    DeletionForm* deletionForm = nullptr;
    qint64 key = -1;
};

// The rows both forms share; written: what "check" gives after a write or delete that went on.
void addCommonRows(const QString& written) {
    // meanwhile: what the other workstation stores (%1: the key) after the form showed the
    // record; held: the same, but left locked until the first question.
    const QString photo =
        QStringLiteral("FOTO = %1").arg(hexLiteral(bmpOf(QSize(8, 6), Qt::green)));
    QTest::newRow("nothing changed")
        << ""
        << "" << QList<bool>{} << QStringList{QStringLiteral("done")} << "KSZO" << written;
    QTest::newRow("stored again with the same values")
        << "UPDATE tbl_Data SET KSZO = 'eredeti', FOTO = FOTO, FILE = FILE WHERE AZ = %1"
        << "" << QList<bool>{} << QStringList{QStringLiteral("done")} << "KSZO" << written;
    QTest::newRow("keywords changed, No")
        << "UPDATE tbl_Data SET KSZO = 'máshol írt' WHERE AZ = %1"
        << "" << QList<bool>{false} << QStringList{QStringLiteral("changed")} << "KSZO"
        << "máshol írt";
    QTest::newRow("keywords changed, Yes")
        << "UPDATE tbl_Data SET KSZO = 'máshol írt' WHERE AZ = %1"
        << "" << QList<bool>{true} << QStringList{QStringLiteral("changed"), QStringLiteral("done")}
        << "KSZO" << written;
    // The store's collation holds these equal; the other workstation's bytes count.
    QTest::newRow("keywords: letter case only")
        << "UPDATE tbl_Data SET KSZO = 'Eredeti' WHERE AZ = %1"
        << "" << QList<bool>{false} << QStringList{QStringLiteral("changed")} << "KSZO"
        << "Eredeti";
    QTest::newRow("description: trailing blank only")
        << "UPDATE tbl_Data SET LEIRAS = 'leírás ' WHERE AZ = %1"
        << "" << QList<bool>{false} << QStringList{QStringLiteral("changed")}
        << "CONCAT('[', LEIRAS, ']')"
        << "[leírás ]";
    QTest::newRow("only the photo, same size")
        << QStringLiteral("UPDATE tbl_Data SET ") + photo + QStringLiteral(" WHERE AZ = %1") << ""
        << QList<bool>{false} << QStringList{QStringLiteral("changed")} << photo << "1";
    QTest::newRow("only the file, same size")
        << "UPDATE tbl_Data SET FILE = 'TARTALOM' WHERE AZ = %1"
        << "" << QList<bool>{false} << QStringList{QStringLiteral("changed")}
        << "FILE = BINARY 'TARTALOM'"
        << "1";
    QTest::newRow("locked, released unchanged")
        << ""
        << "SELECT * FROM tbl_Data WHERE AZ = %1 FOR UPDATE" << QList<bool>{true}
        << QStringList{QStringLiteral("hook"), QStringLiteral("retry"), QStringLiteral("done")}
        << "KSZO" << written;
    QTest::newRow("locked, released changed")
        << ""
        << "UPDATE tbl_Data SET KSZO = 'máshol írt' WHERE AZ = %1" << QList<bool>{true, false}
        << QStringList{QStringLiteral("hook"), QStringLiteral("retry"), QStringLiteral("changed")}
        << "KSZO"
        << "máshol írt";
}

} // namespace

class ConcurrentChangeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void storeOverAnotherChange_data();
    void storeOverAnotherChange();
    void deleteOverAnotherChange_data();
    void deleteOverAnotherChange();
    void twoProgramsOneRecord();
    void questionHoldsNoLock();
    void lockWaitIsShortOnADefaultServer();
};

void ConcurrentChangeTest::initTestCase() {
    // The lock tests mean something only where the server's own wait is long.
    TestDatabase db;
    QVERIFY2(db.scalar(QStringLiteral("SELECT @@GLOBAL.innodb_lock_wait_timeout")).toInt() >= 50,
             "the test server must keep the default lock wait (50 s)");
}

void ConcurrentChangeTest::storeOverAnotherChange_data() {
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("held");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("check"); // an expression on the stored record
    QTest::addColumn<QString>("expected");
    addCommonRows(QStringLiteral("itt írt"));
    QTest::newRow("description changed, Yes writes the shown one back")
        << "UPDATE tbl_Data SET LEIRAS = 'máshol' WHERE AZ = %1"
        << "" << QList<bool>{true} << QStringList{QStringLiteral("changed"), QStringLiteral("done")}
        << "LEIRAS"
        << "leírás";
    QTest::newRow("deleted") << "DELETE FROM tbl_Data WHERE AZ = %1"
                             << "" << QList<bool>{} << QStringList{QStringLiteral("notFound")}
                             << "COUNT(*)"
                             << "0";
}

// The form shows the record, the other workstation acts, then "Tárol" with a changed keyword.
void ConcurrentChangeTest::storeOverAnotherChange() {
    QFETCH(QString, meanwhile);
    QFETCH(QString, held);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, shown);
    QFETCH(QString, check);
    QFETCH(QString, expected);
    TwoWorkstations w;
    ModificationForm* f = w.modificationForm;
    f->prepareShowing();
    QCOMPARE(w.prompter().shown, QList<Shown>{});
    f->keywordsEdit->setText(QStringLiteral("itt írt"));
    if (!meanwhile.isEmpty())
        w.other.exec(meanwhile.arg(w.key));
    if (!held.isEmpty())
        w.other.holdUntilAsked(held.arg(w.key), w.prompter());
    w.prompter().answerQuestions(answers);
    f->storeClicked();

    const QList<Shown> want = windows(shown, kOverwrite, kEditLocked, kModified, kOriginalNotFound);
    QCOMPARE(w.prompter().shown, want);
    QCOMPARE(w.stored(check), expected);
    const bool written = shown.endsWith(QStringLiteral("done"));
    if (!written) // the form stays as it was, with everything typed
        QCOMPARE(f->keywordsEdit->text(), QStringLiteral("itt írt"));
    if (written)
        QCOMPARE(w.stored(QStringLiteral("CONCAT_WS('|', CIM, KSZO, FNEV, FILE)")),
                 QStringLiteral("Közös|itt írt|a.txt|tartalom"));
    QCOMPARE(
        w.value(QStringLiteral("SELECT CONCAT(CIM, '|', KSZO) FROM tbl_Data WHERE CIM = 'Másik'")),
        QStringLiteral("Másik|marad"));
    QCOMPARE(w.data().recordTable.state(), TableState::Browse);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

void ConcurrentChangeTest::deleteOverAnotherChange_data() {
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("held");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("expected");
    addCommonRows(QString());
    QTest::newRow("deleted") << "DELETE FROM tbl_Data WHERE AZ = %1"
                             << "" << QList<bool>{} << QStringList{QStringLiteral("notFound")}
                             << "COUNT(*)"
                             << "0";
}

// The deletion form shows the record, the other workstation acts, then "Törlés".
void ConcurrentChangeTest::deleteOverAnotherChange() {
    QFETCH(QString, meanwhile);
    QFETCH(QString, held);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, shown);
    QFETCH(QString, check);
    QFETCH(QString, expected);
    TwoWorkstations w;
    DeletionForm* f = w.deletionForm;
    f->prepareShowing();
    QCOMPARE(w.prompter().shown, QList<Shown>{});
    if (!meanwhile.isEmpty())
        w.other.exec(meanwhile.arg(w.key));
    if (!held.isEmpty())
        w.other.holdUntilAsked(held.arg(w.key), w.prompter());
    w.prompter().answerQuestions(answers);
    f->deleteClicked();

    QCOMPARE(w.prompter().shown, windows(shown, kDeleteAnyway, kDeleteLocked, kDeleted, kNotFound));
    const bool deleted = shown.endsWith(QStringLiteral("done"));
    const QString count = w.stored(QStringLiteral("COUNT(*)"));
    QCOMPARE(count,
             QString::fromLatin1(deleted || check == QStringLiteral("COUNT(*)") ? "0" : "1"));
    if (!deleted) {
        QCOMPARE(w.stored(check), expected);
        QCOMPARE(f->titleEdit->text(), QStringLiteral("Közös")); // still shown
    }
    QCOMPARE(w.recordCount(), deleted || check == QStringLiteral("COUNT(*)") ? 1 : 2);
    QCOMPARE(ScreenCursor::current(), CursorShape::Default);
}

// Two copies of the program on one record store: the second stores a new description while the
// first has the record open; the first's store then asks, and No leaves the second's work.
void ConcurrentChangeTest::twoProgramsOneRecord() {
    TwoWorkstations w;
    TestApp second;
    second.startUp(w.db.params());
    QCOMPARE(second.prompter.shown, QList<Shown>{});
    auto* secondForm = second.mainWindow->findChild<ModificationForm*>();
    QVERIFY(secondForm);

    w.modificationForm->prepareShowing();
    w.modificationForm->keywordsEdit->setText(QStringLiteral("első kulcsa"));

    // The second program opens the same record, writes its description and stores.
    SharedData& sd = second.data();
    for (sd.recordQuery.first();
         !sd.recordQuery.eof() &&
         sd.recordQuery.asString(QStringLiteral("CIM")) != QStringLiteral("Közös");
         sd.recordQuery.next()) {
    }
    QVERIFY(sd.recordTable.locate(QStringLiteral("CIM"), QStringLiteral("Közös"), false));
    secondForm->prepareShowing();
    secondForm->descriptionEdit->setPlainText(QStringLiteral("a második leírása"));
    secondForm->storeClicked();
    QCOMPARE(second.prompter.shown, QList<Shown>{resultBox(kModified)});

    w.prompter().answerQuestions({false});
    w.modificationForm->storeClicked();
    QCOMPARE(w.prompter().shown, QList<Shown>{questionBox(kOverwrite)});
    QCOMPARE(w.stored(QStringLiteral("CONCAT(KSZO, '|', LEIRAS)")),
             QStringLiteral("eredeti|a második leírása"));

    // Asked again, the first goes on: the form's values, as it showed them, are written.
    w.prompter().answerQuestions({true});
    w.modificationForm->storeClicked();
    QCOMPARE(w.prompter().shown, (QList<Shown>{questionBox(kOverwrite), questionBox(kOverwrite),
                                               resultBox(kModified)}));
    QCOMPARE(w.stored(QStringLiteral("CONCAT(KSZO, '|', LEIRAS)")),
             QStringLiteral("első kulcsa|leírás"));
}

// While the question waits for the user, the record is not locked: the other workstation
// writes it again meanwhile, and that change is asked about in its turn.
void ConcurrentChangeTest::questionHoldsNoLock() {
    TwoWorkstations w;
    w.modificationForm->prepareShowing();
    w.modificationForm->keywordsEdit->setText(QStringLiteral("itt írt"));
    w.other.exec(
        QStringLiteral("UPDATE tbl_Data SET KSZO = 'máshol írt' WHERE AZ = %1").arg(w.key));
    QString duringQuestion = QStringLiteral("not asked");
    w.prompter().onShown = [&](const Shown&) {
        w.prompter().onShown = nullptr;
        duringQuestion = w.other.tryExec(
            QStringLiteral("SET SESSION innodb_lock_wait_timeout = 1; UPDATE tbl_Data SET LEIRAS = "
                           "'közben' WHERE AZ = %1")
                .arg(w.key));
    };
    w.prompter().answerQuestions({true, true});
    w.modificationForm->storeClicked();
    QCOMPARE(duringQuestion, QString());
    QCOMPARE(w.prompter().shown, (QList<Shown>{questionBox(kOverwrite), questionBox(kOverwrite),
                                               resultBox(kModified)}));
    QCOMPARE(w.stored(QStringLiteral("CONCAT(KSZO, '|', LEIRAS)")),
             QStringLiteral("itt írt|leírás"));
}

// The server's own lock wait is left at its default (50 s). A lock the other workstation
// holds ends by itself after 20 s; had the program waited the server's time, it would get the
// row then and never ask. It asks, because it gives up after its own few seconds.
void ConcurrentChangeTest::lockWaitIsShortOnADefaultServer() {
    TwoWorkstations w;
    w.modificationForm->prepareShowing();
    w.modificationForm->keywordsEdit->setText(QStringLiteral("itt írt"));
    {
        OtherWorkstation holder(w.db.params());
        holder.exec(QStringLiteral("SET SESSION idle_transaction_timeout = 20; START "
                                   "TRANSACTION; SELECT * FROM tbl_Data WHERE AZ = %1 FOR UPDATE")
                        .arg(w.key));
        w.prompter().answerQuestions({false});
        w.modificationForm->storeClicked();
    }
    QCOMPARE(w.prompter().shown, (QList<Shown>{hookBox(kLockTimeout), questionBox(kEditLocked)}));
    QCOMPARE(w.stored(QStringLiteral("KSZO")), QStringLiteral("eredeti"));
}

QTEST_MAIN(ConcurrentChangeTest)
#include "tst_concurrentchange.moc"

// The attached file of the editing forms: the type label by extension, the file button and
// its dialog, and the four columns written on a real record store row, the content byte for
// byte (an empty file as zero bytes, not NULL), links followed to their target, and files
// too large for the server refused before anything is written.

#include "data/sql/MariaConnection.h"
#include "data/table/Table.h"
#include "editing/AttachedFile.h"
#include "support/EditingApp.h"
#include "support/TestServer.h"
#include "tests/support/RecordingPrompter.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <stdexcept>

using namespace kx;
using namespace kx::test;

static void initIcons() {
    Q_INIT_RESOURCE(icons);
}

namespace {

// The dialog's title and start path, besides the recorded window.
class StartRecordingPrompter : public RecordingPrompter {
public:
    QString openFile(const QString& title, const QString& startPath) override {
        starts << startPath;
        return RecordingPrompter::openFile(title, startPath);
    }
    QStringList starts;
};

QString writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray randomBytes(qsizetype n) {
    QByteArray bytes(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

// The program's connection and record table on a fresh test database.
struct Store {
    Store() {
        conn.setParams(db.params());
        conn.open();
        table.open();
    }
    // Appends a row titled title, attaches path and writes it.
    void store(const QString& title, const QString& path) {
        table.append();
        table.setField(QStringLiteral("CIM"), title);
        attachFile(table, path, conn.maxAllowedPacket());
        table.post();
    }
    bool goTo(const QString& title) {
        return table.locate(QStringLiteral("CIM"), title, false);
    }
    QByteArray storedFile() {
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        table.saveBlobTo(QStringLiteral("FILE"), buffer);
        return out;
    }
    TestDatabase db;
    MariaConnection conn;
    Table table{conn, QStringLiteral("tbl_Data")};
};

} // namespace

class TstAttachedFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fileTypeLabel_data();
    void fileTypeLabel();
    void fileButton();
    void storedByteForByte_data();
    void storedByteForByte();
    void pathsThatNameNoFileAreSkipped_data();
    void pathsThatNameNoFileAreSkipped();
    void tooLargeForTheServerIsRefusedFirst();
    void sizeCountLimit();
    void fileChangedBeforeItIsStored_data();
    void fileChangedBeforeItIsStored();
};

void TstAttachedFile::initTestCase() {
    initIcons();
}

void TstAttachedFile::fileTypeLabel_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("label");
    const auto row = [](const char* name, const char* label) {
        QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(label);
    };
    row("report.docx", "MS Word");
    row("/home/anna/Levél.DOC", "MS Word");
    row("a.xls", "MS Excel");
    row("a.XlSx", "MS Excel");
    row("a.ppt", "MS PowerPoint");
    row("a.pptx", "MS PowerPoint");
    row("a.pdf", "Adobe Acrobat");
    row("a.rtf", "Rich Text");
    row("a.txt", "TEXT");
    row("a.jpg", "Jpeg kép");
    row("a.bmp", "Bmp kép");
    row("a.tif", "Tif kép");
    row("a.png", "PNG kép");
    row("a.htm", "HTML lap");
    row("index.HTML", "HTML lap");
    row("posta.msg", "Üzenet");
    row("unit1.pas", "Delphi / Pascal fájl");
    row("p.dpr", "Delphi / Pascal project");
    row("p.DPROJ", "Delphi / Pascal project");
    row("a.xml", "XML fájl");
    row("a.zip", "Zip tömörítvény");
    row("photo.jpeg", "Egyéb");
    row("scan.tiff", "Egyéb");
    row("macro.docm", "Egyéb");
    row("README", "Egyéb");
    row("/tmp/v1.2/README", "Egyéb");
    row("/tmp/docs.pdf/notes", "Egyéb");
    row("archive.tar.zip", "Zip tömörítvény");
    row("zip.tar", "Egyéb");
    row("a.txt.bak", "Egyéb");
    row("trailing.", "Egyéb");
    row(".txt", "TEXT");
    row("a. txt", "Egyéb");
    row("a.tXt ", "Egyéb");
    row("a.PDF", "Adobe Acrobat");
    row("a.xlſ", "Egyéb"); // the long s is no s, though Unicode capitals make it one
}

void TstAttachedFile::fileTypeLabel() {
    QFETCH(QString, name);
    QFETCH(QString, label);
    QCOMPARE(kx::fileTypeLabel(name), label);
}

void TstAttachedFile::fileButton() {
    StartRecordingPrompter prompter;
    AttachedFileField field(prompter);
    QVERIFY(field.fileEdit->isReadOnly());
    QCOMPARE(field.fileEdit->maxLength(), 500);
    QCOMPARE(field.chooseFileButton->toolTip(), QStringLiteral("Fájl kiválasztása"));
    QCOMPARE(field.chooseFileButton->statusTip(), QStringLiteral("Fájl kiválasztása !"));
    QVERIFY(!field.chooseFileButton->icon().isNull());

    // The modification form shows the stored name; it is not a choice.
    field.reset(QStringLiteral("régi.pdf"));
    QCOMPARE(field.path(), QStringLiteral("régi.pdf"));
    QVERIFY(!field.chosenInThisOpening());

    prompter.answerFiles({QStringLiteral("/nincs/ilyen/fájl.txt")});
    QTest::mouseClick(field.chooseFileButton, Qt::LeftButton);
    // A path that names no file is still taken; the store ignores it later.
    QCOMPARE(field.path(), QStringLiteral("/nincs/ilyen/fájl.txt"));
    QVERIFY(field.chosenInThisOpening());

    field.chooseFileClicked(); // cancelled: the line stays
    QCOMPARE(field.path(), QStringLiteral("/nincs/ilyen/fájl.txt"));
    QVERIFY(field.chosenInThisOpening());

    // A new opening clears the line and the choice, but the dialog still starts at the file
    // chosen last.
    field.reset();
    QVERIFY(field.path().isEmpty());
    QVERIFY(!field.chosenInThisOpening());
    field.chooseFileClicked();
    QCOMPARE(prompter.starts, QStringList({QString(), QStringLiteral("/nincs/ilyen/fájl.txt"),
                                           QStringLiteral("/nincs/ilyen/fájl.txt")}));
    const Shown dialog{QStringLiteral("openFile"), QStringLiteral("Tárolandó fájlok:"), {}};
    QCOMPARE(prompter.shown, QList<Shown>({dialog, dialog, dialog}));
}

void TstAttachedFile::storedByteForByte_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("label");
    QTest::newRow("empty file") << QStringLiteral("üres.txt") << QByteArray() << "TEXT";
    QTest::newRow("binary, lower-case extension")
        << QStringLiteral("jelentés.docx") << randomBytes(3 * 1024 * 1024 + 17) << "MS Word";
    QTest::newRow("no extension") << QStringLiteral("README") << QByteArray("a\0b\r\n\\'", 7)
                                  << "Egyéb";
}

void TstAttachedFile::storedByteForByte() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, label);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("mappa.pdf")));
    const QString path = writeFile(dir.filePath(QStringLiteral("mappa.pdf/") + name), content);
    // A read-only file can be attached.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    Store s;
    s.store(QStringLiteral("rekord"), path);
    QVERIFY(s.goTo(QStringLiteral("rekord")));
    QCOMPARE(s.table.asString(QStringLiteral("FNEV")), name); // never a folder
    QCOMPARE(s.table.asString(QStringLiteral("FTIP")), label);
    QCOMPARE(s.table.asString(QStringLiteral("FMER")), QString::number(content.size()));
    QVERIFY(!s.table.isNull(QStringLiteral("FILE")));
    QCOMPARE(s.storedFile(), content);
    QCOMPARE(s.db.scalar(QStringLiteral("SELECT COALESCE(LENGTH(`FILE`), -1) FROM tbl_Data")),
             QString::number(content.size()));
}

void TstAttachedFile::pathsThatNameNoFileAreSkipped_data() {
    QTest::addColumn<QString>("path"); // relative to a folder holding data.txt
    QTest::addColumn<bool>("attached");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("missing") << QStringLiteral("nincs.txt") << false;
    QTest::newRow("folder") << QStringLiteral("mappa.txt") << false;
    QTest::newRow("dangling link") << QStringLiteral("törött.txt") << false;
    QTest::newRow("link to a file") << QStringLiteral("hivatkozás.pdf") << true;
    QTest::newRow("through a linked folder") << QStringLiteral("mappalink/data.txt") << true;
}

void TstAttachedFile::pathsThatNameNoFileAreSkipped() {
    QFETCH(QString, path);
    QFETCH(bool, attached);
    QTemporaryDir dir;
    const QDir d(dir.path());
    const QByteArray content("tartalom\n");
    writeFile(d.filePath(QStringLiteral("data.txt")), content);
    QVERIFY(d.mkdir(QStringLiteral("mappa.txt")));
    QVERIFY(QFile::link(d.filePath(QStringLiteral("eltűnt.txt")),
                        d.filePath(QStringLiteral("törött.txt"))));
    QVERIFY(QFile::link(d.filePath(QStringLiteral("data.txt")),
                        d.filePath(QStringLiteral("hivatkozás.pdf"))));
    QVERIFY(QFile::link(d.path(), d.filePath(QStringLiteral("mappalink"))));

    Store s;
    s.store(QStringLiteral("rekord"), path.isEmpty() ? path : d.filePath(path));
    QVERIFY(s.goTo(QStringLiteral("rekord")));
    const QStringList columns{QStringLiteral("FNEV"), QStringLiteral("FTIP"),
                              QStringLiteral("FMER"), QStringLiteral("FILE")};
    for (const QString& c : columns)
        QCOMPARE(s.table.isNull(c), !attached);
    if (attached) {
        // The name is the link's own; the content is its target's.
        QCOMPARE(s.table.asString(QStringLiteral("FNEV")), QFileInfo(path).fileName());
        QCOMPARE(s.table.asString(QStringLiteral("FTIP")), kx::fileTypeLabel(path));
        QCOMPARE(s.storedFile(), content);
    }
}

void TstAttachedFile::tooLargeForTheServerIsRefusedFirst() {
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath(QStringLiteral("nagy.zip")), randomBytes(200000));
    Store s;
    s.table.append();
    s.table.setField(QStringLiteral("CIM"), QStringLiteral("nagy"));
    try {
        attachFile(s.table, path, 100000);
        QFAIL("not refused");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("A fájl mérete (200 000 bájt) meghaladja az "
                                "adatbázis-kiszolgáló által egy rekordban fogadott méretet "
                                "(100 000 bájt) !"));
    }
    // Nothing of the file was set on the row: what the caller writes has no file columns.
    s.table.post();
    QCOMPARE(s.db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data WHERE FNEV IS NULL AND "
                                        "FTIP IS NULL AND FMER IS NULL AND `FILE` IS NULL")),
             QStringLiteral("1"));
    QCOMPARE(s.db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("1"));

    // Cancelled by the caller instead, nothing is written at all.
    s.table.append();
    s.table.setField(QStringLiteral("CIM"), QStringLiteral("nagy 2"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, attachFile(s.table, path, 100000));
    s.table.cancel();
    QCOMPARE(s.db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")), QStringLiteral("1"));

    // Within the limit the same file goes in.
    s.store(QStringLiteral("elfér"), path);
    QCOMPARE(s.db.scalar(QStringLiteral("SELECT LENGTH(`FILE`) FROM tbl_Data WHERE CIM = 'elfér'")),
             QStringLiteral("200000"));
}

void TstAttachedFile::sizeCountLimit() {
    // Sparse files: the size is what counts, not the blocks behind it.
    QTemporaryDir dir;
    const QString largest = dir.filePath(QStringLiteral("legnagyobb.bin"));
    const QString beyond = dir.filePath(QStringLiteral("túl.bin"));
    for (const auto& [path, size] : {std::pair{largest, 2147483647LL}, {beyond, 2147483648LL}}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(size));
    }
    Store s;
    const quint64 roomy = 8ULL << 30;
    s.table.append();
    attachFile(s.table, largest, roomy); // accepted; never written here
    s.table.cancel();
    s.table.append();
    try {
        attachFile(s.table, beyond, roomy);
        QFAIL("not refused");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("A fájl túl nagy a tároláshoz (legfeljebb 2 147 483 647 bájt) !"));
    }
    s.table.cancel();
}

namespace {
// When the chosen file changes on its way into the row.
enum class Change {
    BeforeStore,   // between choosing it and "Tárol"
    DuringSending, // while its pieces go out under the progress window
    WhileAsked,    // while the question after a refused write is open; Yes tries again
};
} // namespace

void TstAttachedFile::fileChangedBeforeItIsStored_data() {
    QTest::addColumn<bool>("modification");
    QTest::addColumn<int>("change");
    QTest::addColumn<qint64>("before");
    QTest::addColumn<qint64>("after");
    // Over the size that brings the progress window, whose steps come with the pieces sent.
    const qint64 big = 12 * 1024 * 1024 + 7;
    const auto row = [](const char* name, bool modification, Change change, qint64 before,
                        qint64 after) {
        QTest::newRow(name) << modification << int(change) << before << after;
    };
    row("entry, grows before the store", false, Change::BeforeStore, 1000, 5000);
    row("modification, shrinks before the store", true, Change::BeforeStore, 5000, 1000);
    row("entry, grows while sent", false, Change::DuringSending, big, big + 3 * 1024 * 1024);
    row("entry, shrinks while sent", false, Change::DuringSending, big, 3 * 1024 * 1024 + 1);
    row("modification, grows while sent", true, Change::DuringSending, big, big + 1000);
    row("modification, shrinks while sent", true, Change::DuringSending, big, 2 * 1024 * 1024);
    row("entry, grows while asked", false, Change::WhileAsked, 1000, 70000);
    row("entry, shrinks while asked", false, Change::WhileAsked, 70000, 10);
    row("modification, grows while asked", true, Change::WhileAsked, 1000, 70000);
    row("modification, emptied while asked", true, Change::WhileAsked, 70000, 0);
}

void TstAttachedFile::fileChangedBeforeItIsStored() {
    QFETCH(bool, modification);
    QFETCH(int, change);
    QFETCH(qint64, before);
    QFETCH(qint64, after);
    EditingApp e;
    const QString path = e.app.folder.path() + QStringLiteral("/változó.bin");
    const QByteArray first = randomBytes(qMin<qint64>(before, 4096))
                                 .repeated(int(before / qMin<qint64>(before, 4096)) + 1)
                                 .left(before);
    writeFile(path, first);
    // The new content: the same first bytes where it is shorter (it was cut), others after.
    const QByteArray second = first.left(after) + QByteArray(qMax<qint64>(0, after - before), 'z');
    bool changed = false;
    const auto changeFile = [&] {
        if (changed)
            return;
        changed = true;
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(after));
        if (after > before) {
            QVERIFY(f.seek(before));
            QCOMPARE(f.write(second.mid(before)), after - before);
        }
    };

    RecordForm* form = modification ? static_cast<RecordForm*>(e.modificationForm) : e.entryForm;
    if (modification) {
        e.addRecord(QStringLiteral("Rekord"),
                    {QStringLiteral("FNEV"), QStringLiteral("FMER"), QStringLiteral("FILE")},
                    {QStringLiteral("'régi.bin'"), QStringLiteral("3"), QStringLiteral("'abc'")});
        e.openForModification(QStringLiteral("Rekord"));
    } else {
        e.entryForm->prepareShowing();
        e.entryForm->titleEdit->setText(QStringLiteral("Rekord"));
    }
    e.prompter().answerFiles({path});
    form->chooseFileButton->click();
    e.prompter().clear();

    switch (Change(change)) {
    case Change::BeforeStore:
        changeFile();
        break;
    case Change::DuringSending:
        e.prompter().onProgressStep = [&](qint64) { changeFile(); };
        break;
    case Change::WhileAsked:
        // A rule of the server's own refuses the first write; it is lifted, and the file
        // changed, while the question is open.
        e.db.exec(QStringLiteral(
            "ALTER TABLE tbl_Data ADD CONSTRAINT kx_refused CHECK (HIV <> 'tiltott')"));
        form->referenceEdit->setText(QStringLiteral("tiltott"));
        e.prompter().answerQuestions({true});
        e.prompter().onShown = [&](const Shown& s) {
            if (s.kind != QLatin1String("question"))
                return;
            e.db.exec(QStringLiteral("ALTER TABLE tbl_Data DROP CONSTRAINT kx_refused"));
            changeFile();
        };
        break;
    }
    form->storeClicked();

    QVERIFY(changed);
    QCOMPARE(e.prompter().shown.last(),
             resultBox(modification ? QStringLiteral("Adatok módosítása megtörtént !")
                                    : QStringLiteral("Adatok tárolása megtörtént !")));
    if (Change(change) == Change::WhileAsked)
        QCOMPARE(e.prompter().shown.size(), 3); // the hook's box, the question, the result
    else
        QCOMPARE(e.prompter().shown.size(), 1);
    QCOMPARE(e.recordCount(), 1);
    // The row describes what it holds, and holds the file as it was at the write.
    QCOMPARE(e.value(QStringLiteral("SELECT CONCAT_WS('|', FNEV, FMER, LENGTH(`FILE`), "
                                    "MD5(`FILE`)) FROM tbl_Data")),
             QStringLiteral("változó.bin|%1|%1|%2")
                 .arg(after)
                 .arg(QString::fromLatin1(
                     QCryptographicHash::hash(second, QCryptographicHash::Md5).toHex())));
}

QTEST_MAIN(TstAttachedFile)
#include "tst_attachedfile.moc"

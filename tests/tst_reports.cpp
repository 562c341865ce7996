// The two printouts and the banded report engine under them: pages and band positions laid
// out without a window, the texts the labels print, the values of one record written in by
// the program, the record query walked one page per record, the modal preview, and PDF files
// written through the printer.

#include "browsing/RecordListReport.h"
#include "browsing/RecordSheetReport.h"
#include "platform/DateTimeText.h"
#include "platform/ReportDataSource.h"
#include "platform/ReportEngine.h"
#include "platform/ReportPreview.h"
#include "tests/support/EditingApp.h"
#include "tests/support/FixedClock.h"
#include "tests/support/OutputFiles.h"
#include "tests/support/PictureBytes.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <stdexcept>

using namespace kx;
using namespace kx::test;

namespace {

constexpr double kTolerance = 0.01; // millimetres

bool near(double a, double b) {
    return qAbs(a - b) < kTolerance;
}

QString rectText(const QRectF& r) {
    return QStringLiteral("(%1, %2, %3 x %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QImage solid(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

QString sqlText(QString text) {
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString lines(const ReportPage& page, const QString& name) {
    const PlacedElement* e = page.find(name);
    return e ? e->text() : QStringLiteral("<missing %1>").arg(name);
}

// Runs act inside the next modal preview, then closes it if act left it open. Returns whether
// the preview was shown at all.
bool insidePreview(const std::function<void(ReportPreview&)>& act,
                   const std::function<void()>& open) {
    bool seen = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
        auto* preview = qobject_cast<ReportPreview*>(QApplication::activeModalWidget());
        if (!preview)
            return;
        timer.stop();
        seen = true;
        act(*preview);
        if (preview->isVisible())
            preview->reject();
    });
    timer.start();
    open();
    timer.stop();
    return seen;
}

// A data source that fails on reading, as a lost connection would.
class FailingSource : public ReportDataSource {
public:
    int recordCount() override {
        return 3;
    }
    void moveTo(int) override {}
    QString text(const QString&) override {
        throw std::runtime_error("a kapcsolat megszakadt");
    }
    QByteArray bytes(const QString&) override {
        return QByteArray();
    }
};

} // namespace

class TstReports : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void createdWithTheOtherWindows();
    void bands_data();
    void bands();
    void elements_data();
    void elements();
    void footerFields();

    void singleRecordValues();
    void singleRecordWithoutFileOrPhoto();
    void secondRecordKeepsNothingOfTheFirst();
    void photoOfAnotherKindPrintsAsNone_data();
    void photoOfAnotherKindPrintsAsNone();
    void longValuesAreCutNotGrown();

    void listIsOnePagePerRecord();
    void listShowsOnlyTheHitsOfASearch();
    void emptyListIsStillOnePage();
    void longListIsLaidOutPageByPage();

    void pagePaintsThroughTheSameLayout();
    void pdf_data();
    void pdf();
    void previewOfTheList();
    void previewOfOneRecord();
    void errorWhilePreviewingReachesTheCaller();

private:
    SharedData& data() {
        return m_app->data();
    }
    RecordSheetReport* report54() {
        return m_app->app.mainWindow->findChild<RecordSheetReport*>();
    }
    RecordListReport* report55() {
        return m_app->app.mainWindow->findChild<RecordListReport*>();
    }
    void addSampleRecords();
    ReportPage singlePage(const QString& title);
    ReportPage listPage(int index);

    const QDateTime m_when{QDate(2024, 3, 15), QTime(14, 5, 9)};
    // The printouts' date-time fields show m_when throughout.
    FixedClock m_clock{m_when};
    std::unique_ptr<EditingApp> m_app;
    QTemporaryDir m_dir;
};

void TstReports::initTestCase() {
    m_app = std::make_unique<EditingApp>();
    QVERIFY(report54());
    QVERIFY(report55());
}

void TstReports::init() {
    m_app->prompter().clear();
    m_app->db.exec(QStringLiteral("DELETE FROM tbl_Data"));
    data().recordQuery.close();
    data().recordQuery.setSql(SharedData::initialRecordSql());
    data().recordQuery.open();
}

void TstReports::cleanupTestCase() {
    m_app.reset();
}

// Three records: a full one with a photo and a stored file, one without either, one more.
void TstReports::addSampleRecords() {
    m_app->addRecord(
        QStringLiteral("Árvíztűrő tükörfúrógép"),
        {QStringLiteral("TIP"), QStringLiteral("KAT"), QStringLiteral("KSZO"),
         QStringLiteral("HIV"), QStringLiteral("FELVEV"), QStringLiteral("DATUM"),
         QStringLiteral("LEIRAS"), QStringLiteral("FOTO"), QStringLiteral("FNEV"),
         QStringLiteral("FTIP"), QStringLiteral("FMER"), QStringLiteral("FILE")},
        {sqlText(QStringLiteral("Gép")), sqlText(QStringLiteral("Műszaki")),
         sqlText(QStringLiteral("fúró tükör")), sqlText(QStringLiteral("https://example.org/gep")),
         sqlText(QStringLiteral("Kovács Éva")), sqlText(QStringLiteral("2024.03.01 10:00:00")),
         sqlText(QStringLiteral("Első sor\r\nMásodik sor")),
         hexLiteral(bmpOf(solid(QSize(120, 80), Qt::red))), sqlText(QStringLiteral("leiras.pdf")),
         sqlText(QStringLiteral("PDF dokumentum")), QStringLiteral("12345"),
         QStringLiteral("0x255044462D")});
    m_app->addRecord(QStringLiteral("Csak cím"), {QStringLiteral("TIP")},
                     {sqlText(QStringLiteral("Jegyzet"))});
    m_app->addRecord(QStringLiteral("Bagoly"), {QStringLiteral("KAT")},
                     {sqlText(QStringLiteral("Állat"))});
}

ReportPage TstReports::singlePage(const QString& title) {
    m_app->selectInGrid(title);
    report54()->fill(RecordSheetReport::currentRecord(data()));
    return report54()->report().layoutPage(0);
}

ReportPage TstReports::listPage(int index) {
    ReportPage page;
    report55()->withRecords([&](Report& r) { page = r.layoutPage(index); });
    return page;
}

void TstReports::createdWithTheOtherWindows() {
    // The fixed order of creation shows in the order of the main window's children.
    QStringList order;
    for (QObject* child : m_app->app.mainWindow->children())
        order
            << QString::fromLatin1(child->metaObject()->className()).remove(QStringLiteral("kx::"));
    const int at54 = order.indexOf(QStringLiteral("RecordSheetReport"));
    const int at55 = order.indexOf(QStringLiteral("RecordListReport"));
    QVERIFY2(at54 >= 0 && at55 > at54, qPrintable(order.join(QLatin1Char(' '))));
    const QStringList before54{QStringLiteral("EntryForm"), QStringLiteral("ModificationForm"),
                               QStringLiteral("DeletionForm")};
    for (const QString& name : before54)
        if (order.contains(name))
            QVERIFY2(order.indexOf(name) < at54, qPrintable(name));
    if (order.contains(QStringLiteral("RecordBrowser"))) {
        QVERIFY(order.indexOf(QStringLiteral("RecordBrowser")) > at54);
        QVERIFY(order.indexOf(QStringLiteral("RecordBrowser")) < at55);
    }
    QVERIFY(order.indexOf(QStringLiteral("LoginDialog")) > at55);
}

void TstReports::bands_data() {
    QTest::addColumn<bool>("list");
    QTest::addColumn<double>("detailHeight");
    QTest::newRow("single record") << false << 249.8;
    QTest::newRow("record list") << true << 250.8;
}

void TstReports::bands() {
    QFETCH(bool, list);
    QFETCH(double, detailHeight);
    addSampleRecords();
    const ReportPage page = list ? listPage(1) : singlePage(QStringLiteral("Bagoly"));
    QCOMPARE(page.bands.size(), 3);
    // Header at the top margin, the detail right under it, the footer on the bottom margin.
    const QRectF expected[] = {QRectF(10, 10, 190, 14.6), QRectF(10, 24.6, 190, detailHeight),
                               QRectF(10, 297 - 10 - 10.6, 190, 10.6)};
    const ReportBandKind kinds[] = {ReportBandKind::PageHeader, ReportBandKind::Detail,
                                    ReportBandKind::PageFooter};
    for (int i = 0; i < 3; ++i) {
        const PlacedBand& band = page.bands[i];
        QCOMPARE(band.kind, kinds[i]);
        QVERIFY2(near(band.rect.x(), expected[i].x()) && near(band.rect.y(), expected[i].y()) &&
                     near(band.rect.width(), expected[i].width()) &&
                     near(band.rect.height(), expected[i].height()),
                 qPrintable(rectText(band.rect)));
        QCOMPARE(band.topRule, band.kind == ReportBandKind::PageFooter);
    }
    QCOMPARE(page.bands[1].record, list ? 1 : -1);
    QCOMPARE(list ? report55()->report().detailsPerPage() : report54()->report().detailsPerPage(),
             1);
}

void TstReports::elements_data() {
    QTest::addColumn<bool>("list");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRectF>("rect"); // on the paper; width 0: as wide as its text
    QTest::addColumn<QString>("text");

    // Band positions plus the 10 mm margin: header at 10, detail at 24.6, footer at 276.4.
    auto row = [](bool list, const char* name, QRectF rect, const QString& text) {
        QTest::addRow("%s %s", list ? "list" : "single", name)
            << list << QString::fromLatin1(name) << rect << text;
    };
    row(false, "QRLabel1", QRectF(12.6, 12.1, 184.4, 6.6), QStringLiteral("Tárolt adatok"));
    row(false, "QRLabel2", QRectF(14.5, 28.8, 0, 4.5), QStringLiteral("Cím:"));
    row(false, "QRLabel3", QRectF(14.2, 34.9, 0, 4.5), QStringLiteral("Típus:"));
    row(false, "QRLabel4", QRectF(104.7, 34.9, 0, 4.5), QStringLiteral("Kategória:"));
    row(false, "QRLabel5", QRectF(14.5, 41.0, 0, 4.5), QStringLiteral("Kereső szavak:"));
    row(false, "QRLabel6", QRectF(14.5, 47.1, 0, 4.5), QStringLiteral("Hivatkozás:"));
    row(false, "QRLabel7", QRectF(14.5, 53.2, 0, 4.5), QStringLiteral("Felvevő:"));
    row(false, "QRLabel8", QRectF(134.6, 53.2, 0, 4.5), QStringLiteral("Dátum:"));
    row(false, "QRLabel9", QRectF(14.5, 64.8, 0, 4.5), QStringLiteral("Leírás:"));
    row(false, "QRLabel10", QRectF(14.2, 185.5, 0, 4.5), QStringLiteral("Fotó:"));
    row(false, "QRLabel11", QRectF(14.5, 252.1, 0, 4.5), QStringLiteral("Tárolt fájl:"));
    row(false, "QRLabel12", QRectF(14.5, 258.2, 0, 4.5), QStringLiteral("Tárolt fájl típusa:"));
    row(false, "QRLabel13", QRectF(14.5, 264.3, 0, 4.5), QStringLiteral("Tárolt fájl mérete:"));
    row(false, "QRLabel14", QRectF(39.9, 28.8, 156.6, 4.5), QStringLiteral("Bagoly"));
    row(false, "QRLabel16", QRectF(122.2, 34.9, 74.3, 4.5), QStringLiteral("Állat"));
    row(false, "QRLabel20", QRectF(147.6, 53.2, 48.9, 4.5), QString());
    row(false, "QRMemo1", QRectF(19.8, 73.0, 176.7, 108.5), QString());
    row(false, "QRImage1", QRectF(29.1, 185.5, 167.5, 59.5), QString());
    row(false, "QRLabel21", QRectF(43.9, 252.1, 152.7, 4.5), QString());
    row(false, "QRLabel23", QRectF(43.9, 264.3, 152.7, 4.5), QStringLiteral("0"));

    row(true, "QRLabel1", QRectF(12.6, 12.1, 184.4, 6.6), QStringLiteral("Tárolt Adatok Listája"));
    row(true, "QRLabel2", QRectF(14.5, 28.8, 0, 4.5), QStringLiteral("Cím:"));
    row(true, "QRLabel4", QRectF(103.7, 34.9, 0, 4.5), QStringLiteral("Kategória:"));
    row(true, "QRLabel5", QRectF(14.5, 41.0, 0, 4.5), QStringLiteral("Keresőszavak:"));
    row(true, "QRLabel8", QRectF(103.7, 53.2, 0, 4.5), QStringLiteral("Dátum:"));
    row(true, "QRLabel11", QRectF(14.2, 253.2, 0, 4.5), QStringLiteral("Tárolt fájl:"));
    row(true, "QRLabel13", QRectF(14.2, 265.4, 0, 4.5), QStringLiteral("Tárolt fájl mérete:"));
    row(true, "QRDBText1", QRectF(38.8, 28.8, 157.7, 4.5), QStringLiteral("Bagoly"));
    row(true, "QRDBText3", QRectF(121.1, 34.9, 75.4, 4.5), QStringLiteral("Állat"));
    row(true, "QRDBText6", QRectF(38.8, 53.2, 63.2, 4.5), QString());
    row(true, "QRDBMemo1", QRectF(24.8, 75.4, 171.7, 106.1), QString());
    row(true, "QRDBImage1", QRectF(24.8, 185.5, 171.7, 61.6), QString());
    row(true, "QRDBText8", QRectF(44.1, 253.2, 152.4, 4.5), QString());
    // Without a stored file the list prints no size at all, the single record a zero.
    row(true, "QRDBText10", QRectF(44.1, 265.4, 152.4, 4.5), QString());
}

void TstReports::elements() {
    QFETCH(bool, list);
    QFETCH(QString, name);
    QFETCH(QRectF, rect);
    QFETCH(QString, text);
    addSampleRecords();
    m_app->selectInGrid(QStringLiteral("Bagoly"));
    const ReportPage page =
        list ? listPage(data().recordQuery.currentRow()) : singlePage(QStringLiteral("Bagoly"));
    const PlacedElement* e = page.find(name);
    QVERIFY2(e, qPrintable(name));
    QVERIFY2(near(e->rect.x(), rect.x()) && near(e->rect.y(), rect.y()) &&
                 near(e->rect.height(), rect.height()) &&
                 (rect.width() == 0 || near(e->rect.width(), rect.width())),
             qPrintable(rectText(e->rect)));
    QCOMPARE(e->text(), text);
    if (rect.width() == 0) // a caption keeps to one line, however long
        QCOMPARE(e->lines.size(), 1);
}

void TstReports::footerFields() {
    addSampleRecords();
    const ReportPage page = listPage(2);
    const QString when = dateTimeText(m_when);
    const PlacedElement* time = page.find(QStringLiteral("QRSysData1"));
    QVERIFY(time);
    // The field is 36.2 mm wide: what prints is the first line of the date and time.
    QVERIFY2(!time->lines.isEmpty() && when.startsWith(time->lines.first().text),
             qPrintable(time->text() + QStringLiteral(" / ") + when));
    QVERIFY(near(time->rect.y(), 276.4 + 1.9));
    QCOMPARE(lines(page, QStringLiteral("QRLabel30")), QStringLiteral("Kartotex"));
    QCOMPARE(lines(page, QStringLiteral("QRSysData2")), QStringLiteral("3"));
    QCOMPARE(lines(page, QStringLiteral("QRLabel31")), QStringLiteral(". oldal"));
    // The number ends where ". oldal" begins, so the two read "3. oldal".
    const PlacedElement* number = page.find(QStringLiteral("QRSysData2"));
    const PlacedElement* suffix = page.find(QStringLiteral("QRLabel31"));
    QVERIFY(suffix->lines.first().origin.x() - number->rect.right() < 1.0);
    QVERIFY(number->lines.first().origin.x() > number->rect.left() + 10); // right-aligned
    QVERIFY(qAbs(number->lines.first().origin.y() - suffix->lines.first().origin.y()) < 0.3);
    const PlacedElement* web = page.find(QStringLiteral("QRLabel32"));
    QVERIFY(web && !web->text().isEmpty() && web->font.underline());
    QVERIFY(near(web->rect.y(), 276.4 + 6.1));
    QVERIFY(web->rect.bottom() <= 297 - 10 + kTolerance);
    // The name is centred in its box.
    const PlacedElement* name = page.find(QStringLiteral("QRLabel30"));
    const double leftGap = name->lines.first().origin.x() - name->rect.left();
    QVERIFY(leftGap > 40 && leftGap < 57);
}

void TstReports::singleRecordValues() {
    addSampleRecords();
    const ReportPage page = singlePage(QStringLiteral("Árvíztűrő tükörfúrógép"));
    QCOMPARE(report54()->report().pageCount(), 1);
    const QStringList names{QStringLiteral("QRLabel14"), QStringLiteral("QRLabel15"),
                            QStringLiteral("QRLabel16"), QStringLiteral("QRLabel17"),
                            QStringLiteral("QRLabel18"), QStringLiteral("QRLabel19"),
                            QStringLiteral("QRLabel20"), QStringLiteral("QRLabel21"),
                            QStringLiteral("QRLabel22"), QStringLiteral("QRLabel23")};
    const QStringList expected{QStringLiteral("Árvíztűrő tükörfúrógép"),
                               QStringLiteral("Gép"),
                               QStringLiteral("Műszaki"),
                               QStringLiteral("fúró tükör"),
                               QStringLiteral("https://example.org/gep"),
                               QStringLiteral("Kovács Éva"),
                               QStringLiteral("2024.03.01 10:00:00"),
                               QStringLiteral("leiras.pdf"),
                               QStringLiteral("PDF dokumentum"),
                               QStringLiteral("12345")};
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(lines(page, names[i]), expected[i]);
    // The description keeps its line breaks.
    QCOMPARE(lines(page, QStringLiteral("QRMemo1")), QStringLiteral("Első sor\nMásodik sor"));
    // The title is bold, the other values regular.
    QVERIFY(page.find(QStringLiteral("QRLabel14"))->font.bold());
    QVERIFY(!page.find(QStringLiteral("QRLabel15"))->font.bold());

    // The photo keeps its size (120 x 80 screen pixels) and sits in the middle of its box.
    const PlacedElement* photo = page.find(QStringLiteral("QRImage1"));
    QVERIFY(photo && !photo->picture.isNull());
    QCOMPARE(photo->picture.size(), QSize(120, 80));
    QVERIFY(near(photo->pictureRect.width(), 120 * 25.4 / 96));
    QVERIFY(near(photo->pictureRect.height(), 80 * 25.4 / 96));
    QVERIFY(near(photo->pictureRect.center().x(), photo->rect.center().x()));
    QVERIFY(near(photo->pictureRect.center().y(), photo->rect.center().y()));
}

void TstReports::singleRecordWithoutFileOrPhoto() {
    addSampleRecords();
    const ReportPage page = singlePage(QStringLiteral("Csak cím"));
    QCOMPARE(lines(page, QStringLiteral("QRLabel14")), QStringLiteral("Csak cím"));
    QCOMPARE(lines(page, QStringLiteral("QRLabel21")), QString());
    QCOMPARE(lines(page, QStringLiteral("QRLabel22")), QString());
    QCOMPARE(lines(page, QStringLiteral("QRLabel23")), QStringLiteral("0"));
    QVERIFY(page.find(QStringLiteral("QRImage1"))->picture.isNull());
    QCOMPARE(lines(page, QStringLiteral("QRLabel10")), QStringLiteral("Fotó:"));
}

void TstReports::secondRecordKeepsNothingOfTheFirst() {
    addSampleRecords();
    singlePage(QStringLiteral("Árvíztűrő tükörfúrógép"));
    const ReportPage page = singlePage(QStringLiteral("Bagoly"));
    for (const char* name : {"QRLabel15", "QRLabel17", "QRLabel18", "QRLabel19", "QRLabel20",
                             "QRLabel21", "QRLabel22", "QRMemo1"})
        QCOMPARE(lines(page, QString::fromLatin1(name)), QString());
    QCOMPARE(lines(page, QStringLiteral("QRLabel16")), QStringLiteral("Állat"));
    QCOMPARE(lines(page, QStringLiteral("QRLabel23")), QStringLiteral("0"));
    QVERIFY(page.find(QStringLiteral("QRImage1"))->picture.isNull());
}

void TstReports::photoOfAnotherKindPrintsAsNone_data() {
    QTest::addColumn<QByteArray>("photo");
    QTest::addColumn<bool>("printed");
    const QImage red = solid(QSize(30, 20), Qt::red);
    const auto encoded = [&](const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        red.save(&buffer, format);
        return bytes;
    };
    // FOTO written by another client: pictures that Qt's other readers would decode.
    QTest::newRow("PNG") << encoded("PNG") << false;
    QTest::newRow("JPEG") << encoded("JPG") << false;
    QTest::newRow("GIF") << QByteArray::fromHex("47494638396101000100800000ff000000000021f904"
                                                "01000000002c00000000010001000002024401003b")
                         << false;
    QTest::newRow("BMP") << encoded("BMP") << true;
    QTest::newRow("BMP header only") << encoded("BMP").left(54) << false;
}

// Whatever else FOTO holds prints as no photo in both printouts; only a BMP is drawn.
void TstReports::photoOfAnotherKindPrintsAsNone() {
    QFETCH(QByteArray, photo);
    QFETCH(bool, printed);
    if (qstrcmp(QTest::currentDataTag(), "BMP header only") != 0)
        QVERIFY2(!QImage::fromData(photo).isNull(), "the fixture is a picture Qt can decode");
    m_app->addRecord(QStringLiteral("Más kép"), {QStringLiteral("FOTO")}, {hexLiteral(photo)});
    const ReportPage single = singlePage(QStringLiteral("Más kép"));
    QCOMPARE(!single.find(QStringLiteral("QRImage1"))->picture.isNull(), printed);
    const ReportPage listed = listPage(0);
    QCOMPARE(lines(listed, QStringLiteral("QRDBText1")), QStringLiteral("Más kép"));
    QCOMPARE(!listed.find(QStringLiteral("QRDBImage1"))->picture.isNull(), printed);
    QVERIFY(m_app->prompter().shown.isEmpty());
}

void TstReports::longValuesAreCutNotGrown() {
    QStringList words;
    for (int i = 0; i < 40; ++i)
        words << QStringLiteral("szó%1").arg(i);
    const QString title = words.join(QLatin1Char(' '));
    QStringList paragraphs;
    for (int i = 0; i < 80; ++i)
        paragraphs << QStringLiteral("%1. bekezdés").arg(i + 1);
    // A reference without spaces is one word, however long: hyphens and slashes do not break.
    const QString reference = QStringLiteral("https://example.org/") +
                              QStringLiteral("hosszu-utvonal-resz/").repeated(12);
    m_app->addRecord(title, {QStringLiteral("LEIRAS"), QStringLiteral("HIV")},
                     {sqlText(paragraphs.join(QStringLiteral("\n"))), sqlText(reference)});
    const ReportPage page = singlePage(title);
    QCOMPARE(report54()->report().pageCount(), 1);

    // The title prints its first line only, broken at a space.
    const PlacedElement* shown = page.find(QStringLiteral("QRLabel14"));
    QCOMPARE(shown->lines.size(), 1);
    const QString first = shown->lines.first().text;
    QVERIFY(first.size() < title.size());
    QVERIFY(title.startsWith(first + QLatin1Char(' ')));

    QCOMPARE(lines(page, QStringLiteral("QRLabel18")), reference);

    // The description stops at the bottom of its box.
    const PlacedElement* memo = page.find(QStringLiteral("QRMemo1"));
    QVERIFY(memo->lines.size() > 10 && memo->lines.size() < 80);
    QCOMPARE(memo->lines.first().text, QStringLiteral("1. bekezdés"));
    QCOMPARE(memo->lines.last().text, QStringLiteral("%1. bekezdés").arg(memo->lines.size()));
    QVERIFY(memo->lines.last().origin.y() < memo->rect.bottom());
}

void TstReports::listIsOnePagePerRecord() {
    addSampleRecords();
    const QStringList titles{QStringLiteral("Árvíztűrő tükörfúrógép"), QStringLiteral("Bagoly"),
                             QStringLiteral("Csak cím")};
    QStringList printed;
    int pages = 0;
    QList<bool> photos;
    QStringList sizes, numbers;
    report55()->withRecords([&](Report& r) {
        pages = r.pageCount();
        for (int i = 0; i < pages; ++i) {
            const ReportPage page = r.layoutPage(i);
            printed << lines(page, QStringLiteral("QRDBText1"));
            numbers << lines(page, QStringLiteral("QRSysData2"));
            sizes << lines(page, QStringLiteral("QRDBText10"));
            photos << !page.find(QStringLiteral("QRDBImage1"))->picture.isNull();
            QCOMPARE(page.bands[1].record, i);
        }
    });
    QCOMPARE(pages, 3);
    // In the query's order (by title, as the collation orders Hungarian letters).
    QStringList queryOrder;
    Query& q = data().recordQuery;
    for (int row = 0; row < q.recordCount(); ++row)
        queryOrder << q.textAt(row, q.columnIndex(QStringLiteral("CIM")));
    QCOMPARE(printed, queryOrder);
    QCOMPARE(QSet<QString>(printed.begin(), printed.end()),
             QSet<QString>(titles.begin(), titles.end()));
    QCOMPARE(numbers, QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    const int full = printed.indexOf(titles[0]);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(photos[i], i == full);
        QCOMPARE(sizes[i], i == full ? QStringLiteral("12345") : QString());
    }
    const ReportPage fullPage = listPage(full);
    QCOMPARE(lines(fullPage, QStringLiteral("QRDBText4")), QStringLiteral("fúró tükör"));
    QCOMPARE(lines(fullPage, QStringLiteral("QRDBMemo1")), QStringLiteral("Első sor\nMásodik sor"));
    QCOMPARE(lines(fullPage, QStringLiteral("QRDBText9")), QStringLiteral("PDF dokumentum"));
}

void TstReports::listShowsOnlyTheHitsOfASearch() {
    addSampleRecords();
    Query& q = data().recordQuery;
    q.close();
    q.setSql(QStringLiteral("Select * FROM tbl_Data WHERE CIM like '%b%' order by CIM"));
    q.open();
    QStringList printed;
    report55()->withRecords([&](Report& r) {
        for (int i = 0; i < r.pageCount(); ++i)
            printed << lines(r.layoutPage(i), QStringLiteral("QRDBText1"));
    });
    QCOMPARE(printed, QStringList({QStringLiteral("Bagoly")}));
}

void TstReports::emptyListIsStillOnePage() {
    addSampleRecords();
    Query& q = data().recordQuery;
    q.close();
    q.setSql(QStringLiteral("Select * FROM tbl_Data WHERE CIM like '%nincs ilyen%' order by CIM"));
    q.open();
    QCOMPARE(q.recordCount(), 0);
    int pages = 0;
    ReportPage page;
    report55()->withRecords([&](Report& r) {
        pages = r.pageCount();
        page = r.layoutPage(0);
    });
    QCOMPARE(pages, 1);
    QCOMPARE(page.bands.size(), 3);
    QCOMPARE(page.bands[1].record, -1);
    QCOMPARE(lines(page, QStringLiteral("QRLabel1")), QStringLiteral("Tárolt Adatok Listája"));
    QCOMPARE(lines(page, QStringLiteral("QRLabel2")), QStringLiteral("Cím:"));
    QCOMPARE(lines(page, QStringLiteral("QRLabel13")), QStringLiteral("Tárolt fájl mérete:"));
    for (int i = 1; i <= 10; ++i)
        QCOMPARE(lines(page, QStringLiteral("QRDBText%1").arg(i)), QString());
    QVERIFY(page.find(QStringLiteral("QRDBImage1"))->picture.isNull());
    QCOMPARE(lines(page, QStringLiteral("QRSysData2")), QStringLiteral("1"));
}

void TstReports::longListIsLaidOutPageByPage() {
    // 50,000 records: the page of any record is laid out on its own, without the others.
    m_app->db.exec(QStringLiteral("INSERT INTO tbl_Data (CIM, TIP) SELECT CONCAT('Rekord ', "
                                  "LPAD(seq, 5, '0')), 'T' FROM seq_1_to_50000"));
    m_app->addRecord(QStringLiteral("Rekord 25000 fotóval"), {QStringLiteral("FOTO")},
                     {hexLiteral(bmpOf(solid(QSize(30, 20), Qt::blue)))});
    Query& q = data().recordQuery;
    QCOMPARE(q.recordCount(), 50001);
    report55()->withRecords([&](Report& r) {
        QCOMPARE(r.pageCount(), 50001);
        const ReportPage last = r.layoutPage(50000);
        QCOMPARE(lines(last, QStringLiteral("QRDBText1")), QStringLiteral("Rekord 50000"));
        QCOMPARE(lines(last, QStringLiteral("QRSysData2")), QStringLiteral("50001"));
        const ReportPage middle = r.layoutPage(25000);
        QCOMPARE(lines(middle, QStringLiteral("QRDBText1")),
                 QStringLiteral("Rekord 25000 fotóval"));
        QVERIFY(!middle.find(QStringLiteral("QRDBImage1"))->picture.isNull());
        QVERIFY(r.layoutPage(24999).find(QStringLiteral("QRDBImage1"))->picture.isNull());
    });
}

void TstReports::pagePaintsThroughTheSameLayout() {
    m_app->addRecord(QStringLiteral("Piros"), {QStringLiteral("FOTO")},
                     {hexLiteral(bmpOf(solid(QSize(200, 150), Qt::red)))});
    const ReportPage page = singlePage(QStringLiteral("Piros"));
    // 100 dots per inch: a millimetre is 3.94 pixels.
    const double dpi = 100;
    QImage sheet(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    {
        QPainter painter(&sheet);
        Report::scaleToMillimetres(painter, dpi);
        Report::paint(page, painter);
    }
    auto pixel = [&](QPointF mm) {
        return QColor(sheet.pixel(qRound(mm.x() / 25.4 * dpi), qRound(mm.y() / 25.4 * dpi)));
    };
    const PlacedElement* photo = page.find(QStringLiteral("QRImage1"));
    QCOMPARE(pixel(photo->pictureRect.center()), QColor(Qt::red));
    QCOMPARE(pixel(photo->rect.topLeft() + QPointF(1, 1)), QColor(Qt::white));
    // The rule along the footer's top edge.
    QVERIFY(pixel(QPointF(100, 276.4)).lightness() < 128);
    QCOMPARE(pixel(QPointF(100, 274.0)), QColor(Qt::white));
    // The title prints dark pixels inside its box and nothing above the header.
    const PlacedElement* title = page.find(QStringLiteral("QRLabel1"));
    int dark = 0;
    for (double x = title->rect.left(); x < title->rect.right(); x += 0.25)
        for (double y = title->rect.top(); y < title->rect.bottom(); y += 0.25)
            dark += pixel(QPointF(x, y)).lightness() < 100;
    QVERIFY(dark > 50);
    for (double x = 0; x < 210; x += 1)
        QCOMPARE(pixel(QPointF(x, 5)), QColor(Qt::white));
}

void TstReports::pdf_data() {
    QTest::addColumn<bool>("list");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("single record") << false << 1
                                   << QStringList{QStringLiteral("Tárolt adatok"),
                                                  QStringLiteral("Kereső szavak:"),
                                                  QStringLiteral("Árvíztűrő tükörfúrógép"),
                                                  QStringLiteral("Kovács Éva"),
                                                  QStringLiteral("Második sor"),
                                                  QStringLiteral("Tárolt fájl mérete:"),
                                                  QStringLiteral("12345"),
                                                  QStringLiteral("Kartotex")};
    QTest::newRow("record list") << true << 3
                                 << QStringList{QStringLiteral("Tárolt Adatok Listája"),
                                                QStringLiteral("Keresőszavak:"),
                                                QStringLiteral("Árvíztűrő tükörfúrógép"),
                                                QStringLiteral("Bagoly"),
                                                QStringLiteral("Csak cím"),
                                                QStringLiteral("Állat")};
}

void TstReports::pdf() {
    QFETCH(bool, list);
    QFETCH(int, pages);
    QFETCH(QStringList, texts);
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
             "pdftotext (poppler-utils) is needed to read the PDF files back");
    addSampleRecords();
    const QString path =
        m_dir.filePath(list ? QStringLiteral("lista.pdf") : QStringLiteral("adatlap.pdf"));
    if (list) {
        report55()->withRecords([&](Report& r) { r.writePdf(path); });
        // The walk ends on the last record.
        QCOMPARE(data().recordQuery.currentRow(), 2);
    } else {
        m_app->selectInGrid(QStringLiteral("Árvíztűrő tükörfúrógép"));
        report54()->fill(RecordSheetReport::currentRecord(data()));
        report54()->report().writePdf(path);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(5) == "%PDF-");
    QCOMPARE(pdfPages(path), pages);
    const QString text = pdfText(path).simplified();
    for (const QString& expected : texts)
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" in: ") + text));
    // Every page carries its number before ". oldal", in order.
    QStringList numbers;
    static const QRegularExpression pageNumber(QStringLiteral("(\\d+) ?\\. oldal"));
    for (const QRegularExpressionMatch& m : pageNumber.globalMatch(text))
        numbers << m.captured(1);
    QStringList expectedNumbers;
    for (int i = 1; i <= pages; ++i)
        expectedNumbers << QString::number(i);
    QCOMPARE(numbers, expectedNumbers);
}

void TstReports::previewOfTheList() {
    addSampleRecords();
    data().recordQuery.first();
    int currentChanges = 0;
    QObject listener;
    QObject::connect(&data().recordQuery, &DataSetBase::currentChanged, &listener,
                     [&] { ++currentChanges; });
    const QString saved = m_dir.filePath(QStringLiteral("elonezet.pdf"));
    const QString printed = m_dir.filePath(QStringLiteral("nyomtato.pdf"));
    const bool shown = insidePreview(
        [&](ReportPreview& preview) {
            QCOMPARE(preview.pageCount(), 3);
            QCOMPARE(preview.pageIndex(), 0);
            QVERIFY(!(preview.windowState() & Qt::WindowMaximized));
            // The whole page is in view.
            QVERIFY(preview.wholePage());
            QVERIFY(preview.pageViewSize().width() <= preview.viewportSize().width());
            QVERIFY(preview.pageViewSize().height() <= preview.viewportSize().height());
            QVERIFY(!preview.PriorButton->isEnabled());
            preview.NextButton->click();
            QCOMPARE(preview.pageIndex(), 1);
            preview.LastButton->click();
            QCOMPARE(preview.pageIndex(), 2);
            QVERIFY(!preview.NextButton->isEnabled());
            preview.grab(); // paints the page on show
            preview.askPdfPath = [&] { return saved; };
            preview.SaveButton->click();
            preview.askPrinter = [&](QPrinter& printer) {
                // The printer comes set up for one copy of every page, without duplex.
                if (printer.copyCount() != 1 || printer.printRange() != QPrinter::AllPages ||
                    printer.duplex() != QPrinter::DuplexNone)
                    return false;
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(printed);
                return true;
            };
            preview.PrintButton->click();
            QVERIFY(preview.isVisible());
            preview.CloseButton->click();
        },
        [&] { report55()->preview(); });
    QVERIFY(shown);
    QVERIFY(m_app->prompter().shown.isEmpty());
    QCOMPARE(pdfPages(saved), 3);
    QCOMPARE(pdfPages(printed), 3);
    // The query stands on its last record, and the windows following it heard of it once.
    QCOMPARE(data().recordQuery.currentRow(), 2);
    QCOMPARE(currentChanges, 1);
}

void TstReports::previewOfOneRecord() {
    addSampleRecords();
    m_app->selectInGrid(QStringLiteral("Csak cím"));
    const int row = data().recordQuery.currentRow();
    QString title;
    const bool shown = insidePreview(
        [&](ReportPreview& preview) {
            QCOMPARE(preview.pageCount(), 1);
            QVERIFY(!preview.NextButton->isEnabled());
            title = lines(report54()->report().layoutPage(0), QStringLiteral("QRLabel14"));
        },
        [&] { report54()->preview(); });
    QVERIFY(shown);
    QCOMPARE(title, QStringLiteral("Csak cím"));
    QCOMPARE(data().recordQuery.currentRow(), row); // the single record moves nothing
}

void TstReports::errorWhilePreviewingReachesTheCaller() {
    Report report;
    report.detail().setHeight(100);
    report.detail().addFieldText(QStringLiteral("Mezo"), QRectF(0, 0, 50, 5),
                                 QStringLiteral("CIM"));
    FailingSource source;
    report.setDataSource(&source);
    QString caught;
    bool shown = false;
    QTimer timer; // in case the preview stays open, which it must not
    timer.setInterval(2000);
    QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            shown = true;
            w->close();
        }
    });
    timer.start();
    try {
        report.preview();
    } catch (const std::runtime_error& e) {
        caught = QString::fromUtf8(e.what());
    }
    timer.stop();
    QCOMPARE(caught, QStringLiteral("a kapcsolat megszakadt"));
    QVERIFY(!shown);
}

QTEST_MAIN(TstReports)
#include "tst_reports.moc"

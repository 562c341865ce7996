// The photo box of the editing forms: pictures reduced as they arrive (with a half rounded to
// the even side), the depth caption, JPEG files decoded by libjpeg with its own error text,
// clipboard pictures, the BMP image kept in FOTO, and menu marks that may disagree with the
// box's switches.

#include "editing/PhotoPanel.h"
#include "platform/AreaReducer.h"
#include "platform/JpegDecoder.h"
#include "tests/support/HandMadePictures.h"
#include "tests/support/RecordingPrompter.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QImageWriter>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <stdexcept>

using namespace kx;
using namespace kx::test;

namespace {

// A picture whose left half is red and right half blue, so a reduced copy shows whether the
// whole source was drawn into it.
QImage twoColours(QSize size, QImage::Format format = QImage::Format_RGB888) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    return image.convertToFormat(format);
}

// A greyscale picture, dark on the left and light on the right.
QImage greyPicture(QSize size) {
    QImage image(size, QImage::Format_Grayscale8);
    image.fill(200);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), QColor(30, 30, 30));
    return image;
}

QString writeJpeg(const QTemporaryDir& dir, const QString& name, const QImage& image) {
    const QString path = dir.filePath(name);
    if (!image.save(path, "JPG", 95))
        qFatal("cannot write test JPEG");
    return path;
}

QByteArray jpegBytes(const QImage& image, bool progressive) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        qFatal("cannot write test JPEG");
    return bytes;
}

// A 16 x 16 colour JPEG written by libjpeg itself, for the codings Qt's writer does not
// offer: arithmetic coding, and progressive scans with it.
QByteArray redBlueJpeg(bool arithmetic, bool progressive) {
    LibjpegCoding coding;
    coding.arithmetic = arithmetic;
    coding.progressive = progressive;
    return libjpegBytes(coding, [](int, unsigned char* row) {
        for (int x = 0; x < 16; ++x) { // red on the left, blue on the right
            row[x * 3] = x < 8 ? 255 : 0;
            row[x * 3 + 1] = 0;
            row[x * 3 + 2] = x < 8 ? 0 : 255;
        }
    });
}

// A progressive JPEG whose last scan comes again and again: a file of many scans.
QByteArray withRepeatedLastScan(const QByteArray& jpeg, int times) {
    const qsizetype lastScan = jpeg.lastIndexOf(QByteArray("\xFF\xDA", 2));
    const qsizetype end = jpeg.lastIndexOf(QByteArray("\xFF\xD9", 2));
    if (lastScan < 0 || end < lastScan)
        qFatal("no scan in test JPEG");
    return jpeg.left(end) + jpeg.mid(lastScan, end - lastScan).repeated(times) + jpeg.mid(end);
}

// Sizes for the decoder that ask for a picture much smaller than the box's reduced copy.
QSize tinyTarget(QSize) {
    return {30, 20};
}

// The size of the picture at 1/8, which the decoder holds as it is.
QSize eighthTarget(QSize own) {
    return {(own.width() + 7) / 8, (own.height() + 7) / 8};
}

// The largest difference of any colour channel between two pictures of the same size.
int largestDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            largest = qMax(largest, qMax(qAbs(qRed(p) - qRed(q)), qMax(qAbs(qGreen(p) - qGreen(q)),
                                                                       qAbs(qBlue(p) - qBlue(q)))));
        }
    return largest;
}

// A picture with detail everywhere: colour ramps crossed by thin lines.
QImage detailed(QSize size) {
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            const bool grid = x % 37 < 2 || y % 53 < 3;
            line[x * 3] = uchar(grid ? 20 : x * 255 / size.width());
            line[x * 3 + 1] = uchar(grid ? 20 : y * 255 / size.height());
            line[x * 3 + 2] = uchar((x + y) % 256);
        }
    }
    return image;
}

// A BMP file image written by hand with the given info header (see BmpParts).
QByteArray bmpFile(int header, int width, int height, int bits, int compression,
                   const QByteArray& masks, const QByteArray& palette, const QByteArray& pixels) {
    return handBmp({header, width, height, bits, compression, masks, palette, pixels, 0});
}

int bmpBitCount(const QByteArray& bmp) {
    return bmp.size() < 30 ? -1 : qFromLittleEndian<quint16>(bmp.constData() + 28);
}

bool nearColour(QRgb a, QColor b) {
    return qAbs(qRed(a) - b.red()) < 40 && qAbs(qGreen(a) - b.green()) < 40 &&
           qAbs(qBlue(a) - b.blue()) < 40;
}

// The form around the box: its caption label and a recording prompter.
struct Box {
    RecordingPrompter prompter;
    QLabel caption;
    PhotoPanel panel{prompter, &caption};
};

} // namespace

class TstPhoto : public QObject {
    Q_OBJECT
private slots:
    void menuItems();
    void fitting_data();
    void fitting();
    void reducedCopyHoldsTheWholeSource();
    void loadJpeg_data();
    void loadJpeg();
    void loadCancelledChangesNothing();
    void jpegDecodedAtTheSmallestCoveringScale_data();
    void jpegDecodedAtTheSmallestCoveringScale();
    void hugeJpeg_data();
    void hugeJpeg();
    void wholeDecodingIsBounded();
    void hugeJpegIsReducedWhileDecoding_data();
    void hugeJpegIsReducedWhileDecoding();
    void reducedRowsShowWhatTheBoxShowed();
    void areaReduction_data();
    void areaReduction();
    void costlyJpeg_data();
    void costlyJpeg();
    void notAJpegIsRefused_data();
    void notAJpegIsRefused();
    void depthCaptions_data();
    void depthCaptions();
    void bmpCaptions_data();
    void bmpCaptions();
    void photoBytes_data();
    void photoBytes();
    void emptyBoxAndEmptyPhoto();
    void unreadablePhotoEmptiesTheBoxAndIsKept();
    void marksAndSwitches_data();
    void marksAndSwitches();
    void switchesOnlyChangeTheDisplay();
    void paste_data();
    void paste();
    void pasteWithoutPictureDoesNothing();
};

void TstPhoto::menuItems() {
    Box b;
    QCOMPARE(b.caption.text(), QStringLiteral("Fotó"));
    QCOMPARE(b.panel.size(), QSize(301, 209));
    QCOMPARE(b.panel.image->size(), QSize(286, 193));
    QCOMPARE(b.panel.image->contextMenuPolicy(), Qt::CustomContextMenu);

    QStringList items;
    for (QAction* a : b.panel.photoMenu->actions())
        items << (a->isSeparator()
                      ? QStringLiteral("%1 -").arg(a->objectName())
                      : QStringLiteral("%1 %2 | %3 | %4")
                            .arg(a->objectName(), a->text(), a->statusTip())
                            .arg(a->isCheckable()
                                     ? (a->isChecked() ? QStringLiteral("x") : QStringLiteral("o"))
                                     : QStringLiteral("-")));
    QCOMPARE(items,
             QStringList({
                 QStringLiteral("Betlt1 Betölt | Fotó adatok felvétele ! | -"),
                 QStringLiteral("Vglaprl1 Vágólapról | Kép másolása vágólapról ! | -"),
                 QStringLiteral("rl1 Töröl | Fotó törlése ! | -"),
                 QStringLiteral("N1 -"),
                 QStringLiteral("Igaztskzpre1 Igazítás középre | Fotó igazítása középre ! | o"),
                 QStringLiteral("Kitlts1 Kitöltés | Fotó kitöltése az egész mezőre ! | o"),
             }));
}

void TstPhoto::fitting_data() {
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("placed");
    QTest::addColumn<bool>("stretched");
    QTest::newRow("292x292 kept") << QSize(292, 292) << QSize(292, 292) << false;
    QTest::newRow("292x10 kept") << QSize(292, 10) << QSize(292, 10) << false;
    QTest::newRow("293x100") << QSize(293, 100) << QSize(193, 66) << true;
    QTest::newRow("400x600") << QSize(400, 600) << QSize(129, 193) << true;
    QTest::newRow("2000x1500") << QSize(2000, 1500) << QSize(193, 145) << true;
    QTest::newRow("1000x1000") << QSize(1000, 1000) << QSize(193, 193) << true;
    QTest::newRow("386x772 half to even down") << QSize(386, 772) << QSize(96, 193) << true;
    QTest::newRow("500x250 half to even down") << QSize(500, 250) << QSize(193, 96) << true;
    QTest::newRow("386x195 half to even up") << QSize(386, 195) << QSize(193, 98) << true;
    QTest::newRow("5000x2 at least a pixel") << QSize(5000, 2) << QSize(193, 1) << true;
}

void TstPhoto::fitting() {
    QFETCH(QSize, source);
    QFETCH(QSize, placed);
    QFETCH(bool, stretched);
    QCOMPARE(PhotoPanel::fittedSize(source), placed);

    Box b;
    // The switch starts opposite to what the fitting steps must leave.
    b.panel.setStretched(!stretched);
    b.panel.placeSource(twoColours(source), 24);
    QCOMPARE(b.panel.picture().size(), placed);
    QCOMPARE(b.panel.stretched(), stretched);
    QCOMPARE(b.panel.image->hasScaledContents(), stretched);
    QVERIFY(!b.panel.stretchAction->isChecked()); // the mark is the user's alone
    // The caption still describes the source.
    QCOMPARE(b.caption.text(), QStringLiteral("Fotó :  24 bit - true color"));
}

void TstPhoto::reducedCopyHoldsTheWholeSource() {
    Box b;
    b.panel.placeSource(twoColours({2000, 1500}), 24);
    const QImage copy = b.panel.picture();
    QCOMPARE(copy.size(), QSize(193, 145));
    QVERIFY(nearColour(copy.pixel(2, 72), Qt::red));
    QVERIFY(nearColour(copy.pixel(190, 72), Qt::blue));
    QVERIFY(nearColour(copy.pixel(90, 2), Qt::red));
    QVERIFY(nearColour(copy.pixel(103, 142), Qt::blue));
}

void TstPhoto::loadJpeg_data() {
    QTest::addColumn<QImage>("source");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("placed");
    QTest::addColumn<int>("storedBits");
    QTest::newRow("colour, reduced")
        << twoColours({400, 600}, QImage::Format_RGB32)
        << QStringLiteral("Fotó :  24 bit - true color") << QSize(129, 193) << 24;
    QTest::newRow("colour, kept") << twoColours({120, 80}, QImage::Format_RGB32)
                                  << QStringLiteral("Fotó :  24 bit - true color") << QSize(120, 80)
                                  << 24;
    QTest::newRow("grey, kept") << greyPicture({200, 100})
                                << QStringLiteral("Fotó :  8 bit - 256 szín") << QSize(200, 100)
                                << 8;
    QTest::newRow("grey, reduced")
        << greyPicture({600, 300}) << QStringLiteral("Fotó :  8 bit - 256 szín") << QSize(193, 96)
        << 8;
}

void TstPhoto::loadJpeg() {
    QFETCH(QImage, source);
    QFETCH(QString, caption);
    QFETCH(QSize, placed);
    QFETCH(int, storedBits);
    QTemporaryDir dir;
    const QString path = writeJpeg(dir, QStringLiteral("kép.jpg"), source);

    Box b;
    b.prompter.answerFiles({path});
    b.panel.loadAction->trigger(); // chosen from the menu
    QCOMPARE(b.prompter.shown, QList<Shown>({{QStringLiteral("openPicture"), {}, {}}}));
    QCOMPARE(b.caption.text(), caption);
    QCOMPARE(b.panel.picture().size(), placed);
    const QImage shown = b.panel.picture();
    QVERIFY(nearColour(shown.pixel(1, placed.height() / 2),
                       storedBits == 8 ? QColor(30, 30, 30) : QColor(Qt::red)));
    QCOMPARE(bmpBitCount(b.panel.photoBytes()), storedBits);
}

void TstPhoto::loadCancelledChangesNothing() {
    QTemporaryDir dir;
    Box b;
    b.prompter.answerFiles({writeJpeg(dir, QStringLiteral("a.jpg"), greyPicture({50, 40}))});
    b.panel.loadTriggered();
    const QImage before = b.panel.picture();
    b.panel.loadTriggered(); // no scripted answer: the dialog is cancelled
    QCOMPARE(b.panel.picture(), before);
    QCOMPARE(b.caption.text(), QStringLiteral("Fotó :  8 bit - 256 szín"));
    QCOMPARE(b.prompter.shown.size(), 2);
}

void TstPhoto::jpegDecodedAtTheSmallestCoveringScale_data() {
    QTest::addColumn<QSize>("own");
    QTest::addColumn<QSize>("decoded"); // at the smallest n/8 that covers the placed size
    QTest::addColumn<QSize>("placed");
    QTest::addColumn<bool>("stretched");
    QTest::newRow("2000x1500 at 1/8")
        << QSize(2000, 1500) << QSize(250, 188) << QSize(193, 145) << true;
    QTest::newRow("400x600 at 3/8")
        << QSize(400, 600) << QSize(150, 225) << QSize(129, 193) << true;
    QTest::newRow("386x772 at 2/8, exactly the height")
        << QSize(386, 772) << QSize(97, 193) << QSize(96, 193) << true;
    QTest::newRow("1544x100 at 1/8, exactly the width")
        << QSize(1544, 100) << QSize(193, 13) << QSize(193, 12) << true;
    QTest::newRow("293x100 at 6/8") << QSize(293, 100) << QSize(220, 75) << QSize(193, 66) << true;
    QTest::newRow("292x292 whole")
        << QSize(292, 292) << QSize(292, 292) << QSize(292, 292) << false;
}

// A large JPEG is decoded only as large as its reduced copy needs, and the copy is the one
// its own size gives, with stretching on even when the decoded size is already the copy's.
void TstPhoto::jpegDecodedAtTheSmallestCoveringScale() {
    QFETCH(QSize, own);
    QFETCH(QSize, decoded);
    QFETCH(QSize, placed);
    QFETCH(bool, stretched);
    QTemporaryDir dir;
    const QString path = writeJpeg(dir, QStringLiteral("nagy.jpg"), twoColours(own));

    const JpegPicture picture = decodeJpegFile(path, &PhotoPanel::fittedSize);
    QCOMPARE(picture.size, own);
    QCOMPARE(picture.image.size(), decoded);

    Box b;
    b.panel.setStretched(!stretched);
    b.prompter.answerFiles({path});
    b.panel.loadAction->trigger();
    QCOMPARE(b.prompter.shown, QList<Shown>({{QStringLiteral("openPicture"), {}, {}}}));
    QCOMPARE(b.panel.picture().size(), placed);
    QCOMPARE(b.panel.stretched(), stretched);
    QCOMPARE(b.caption.text(), QStringLiteral("Fotó :  24 bit - true color"));
    const QImage shown = b.panel.picture();
    const int y = placed.height() / 2;
    QVERIFY(nearColour(shown.pixel(1, y), Qt::red));
    QVERIFY(nearColour(shown.pixel(placed.width() - 2, y), Qt::blue));
}

void TstPhoto::hugeJpeg_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("refusal"); // the warning; empty when the picture is placed
    const QImage small = twoColours({48, 32});
    const QString tooLarge = QStringLiteral("A kép túl nagy (20000 × 20000 képpont), nem "
                                            "tölthető be !");
    // Even at 1/8 (2500 x 2500) many times the box: reduced while it is decoded.
    QTest::newRow("baseline declaring 20000x20000")
        << withDeclaredSize(jpegBytes(small, false), {20000, 20000}) << QString();
    // A file of several scans keeps the coefficients of its whole size.
    QTest::newRow("progressive declaring 20000x20000")
        << withDeclaredSize(jpegBytes(small, true), {20000, 20000}) << tooLarge;
    QTest::newRow("progressive declaring 4000x4000")
        << withDeclaredSize(jpegBytes(small, true), {4000, 4000}) << QString();
}

// A declared size is refused with a plain warning when decoding it would hold more than the
// bound; the box and its caption stay as they were.
void TstPhoto::hugeJpeg() {
    QFETCH(QByteArray, file);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString good = writeJpeg(dir, QStringLiteral("jó.jpg"), greyPicture({60, 40}));
    const QString huge = dir.filePath(QStringLiteral("óriás.jpg"));
    QFile f(huge);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();

    Box b;
    b.prompter.answerFiles({good, huge});
    b.panel.loadAction->trigger();
    const QImage before = b.panel.picture();
    b.panel.loadAction->trigger();
    const Shown dialog{QStringLiteral("openPicture"), {}, {}};
    if (refusal.isEmpty()) {
        QCOMPARE(b.prompter.shown, QList<Shown>({dialog, dialog}));
        QCOMPARE(b.panel.picture().size(), QSize(193, 193));
        QVERIFY(b.panel.stretched());
        QCOMPARE(b.caption.text(), QStringLiteral("Fotó :  24 bit - true color"));
    } else {
        QCOMPARE(b.prompter.shown, QList<Shown>({dialog, dialog, warningBox(refusal)}));
        QCOMPARE(b.panel.picture(), before);
        QCOMPARE(b.caption.text(), QStringLiteral("Fotó :  8 bit - 256 szín"));
    }
}

// Without a target the picture is decoded whole, and the bound holds for that too.
void TstPhoto::wholeDecodingIsBounded() {
    const QByteArray file = withDeclaredSize(jpegBytes(twoColours({48, 32}), false), {12000, 9000});
    try {
        decodeJpegData(file);
        QFAIL("decoded");
    } catch (const PictureTooLargeError& e) {
        QCOMPARE(e.userMessage(),
                 QStringLiteral("A kép túl nagy (12000 × 9000 képpont), nem tölthető be !"));
    }
    // The same file decoded for the box is reduced to the box's copy as it is decoded (at 1/8
    // it would still be 1500 x 1125 pixels).
    const JpegPicture picture = decodeJpegData(file, &PhotoPanel::fittedSize);
    QCOMPARE(picture.size, QSize(12000, 9000));
    QCOMPARE(picture.image.size(), QSize(193, 145));
}

void TstPhoto::hugeJpegIsReducedWhileDecoding_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("own");
    QTest::addColumn<QSize>("placed");
    QTest::addColumn<QString>("caption");
    const QByteArray colour = jpegBytes(twoColours({48, 32}), false);
    const QString colourCaption = QStringLiteral("Fotó :  24 bit - true color");
    // At 1/8 these would still be 8188 x 8188 and 8188 x 125 pixels.
    QTest::newRow("65500x65500") << withDeclaredSize(colour, {65500, 65500}) << QSize(65500, 65500)
                                 << QSize(193, 193) << colourCaption;
    QTest::newRow("65500x1000") << withDeclaredSize(colour, {65500, 1000}) << QSize(65500, 1000)
                                << QSize(193, 3) << colourCaption;
    QTest::newRow("grey 30000x20000")
        << withDeclaredSize(jpegBytes(greyPicture({48, 32}), false), {30000, 20000})
        << QSize(30000, 20000) << QSize(193, 129) << QStringLiteral("Fotó :  8 bit - 256 szín");
}

// A picture that even at 1/8 is many times the box is reduced row by row as it is decoded:
// the decoder gives the box's reduced copy itself, never the picture at 1/8.
void TstPhoto::hugeJpegIsReducedWhileDecoding() {
    QFETCH(QByteArray, file);
    QFETCH(QSize, own);
    QFETCH(QSize, placed);
    QFETCH(QString, caption);
    const JpegPicture picture = decodeJpegData(file, &PhotoPanel::fittedSize);
    QCOMPARE(picture.size, own);
    QCOMPARE(picture.image.size(), placed);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("óriás.jpg"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    Box b;
    b.prompter.answerFiles({path});
    b.panel.loadAction->trigger();
    QCOMPARE(b.prompter.shown, QList<Shown>({{QStringLiteral("openPicture"), {}, {}}}));
    QCOMPARE(b.panel.picture().size(), placed);
    QVERIFY(b.panel.stretched());
    QCOMPARE(b.caption.text(), caption);
}

// The rows reduced while decoding make the picture the box made of the picture held at 1/8
// (Qt's smooth scaling), and a photo that is not huge is still held and scaled as before.
void TstPhoto::reducedRowsShowWhatTheBoxShowed() {
    QTemporaryDir dir;
    const QString path = writeJpeg(dir, QStringLiteral("fénykép.jpg"), detailed({2000, 1500}));
    const QImage held = decodeJpegFile(path, &eighthTarget).image;
    QCOMPARE(held.size(), QSize(250, 188));

    // A target far below 1/8 is reduced to while decoding.
    const QImage reduced = decodeJpegFile(path, &tinyTarget).image;
    QCOMPARE(reduced.size(), QSize(30, 20));
    const QImage scaled = held.scaled(30, 20, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const int difference = largestDifference(reduced, scaled);
    QVERIFY2(difference <= 3, qPrintable(QStringLiteral("differs by %1").arg(difference)));

    // The box's copy of this photo: decoded at 1/8 and scaled by Qt, exactly as before.
    Box b;
    b.panel.loadPicture(path);
    QCOMPARE(b.panel.picture().size(), QSize(193, 145));
    QCOMPARE(b.panel.picture(),
             held.scaled(193, 145, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void TstPhoto::areaReduction_data() {
    QTest::addColumn<QSize>("from");
    QTest::addColumn<bool>("grey");
    QTest::addColumn<QByteArray>("source"); // rows one after the other, unpadded
    QTest::addColumn<QSize>("to");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("same size") << QSize(2, 2) << true << QByteArray::fromHex("0A141E28")
                               << QSize(2, 2) << QByteArray::fromHex("0A141E28");
    QTest::newRow("4x4 into 2x2, whole blocks")
        << QSize(4, 4) << true << QByteArray::fromHex("000A141E28323C46505A646E78828C96")
        << QSize(2, 2) << QByteArray::fromHex("192D697D");
    // 0 and half of 90 over 1.5 pixels; half of 90 and 180 over 1.5 pixels.
    QTest::newRow("3 into 2, a pixel shared")
        << QSize(3, 1) << true << QByteArray::fromHex("005AB4") << QSize(2, 1)
        << QByteArray::fromHex("1E96");
    QTest::newRow("5 into 2 rows, a row shared")
        << QSize(1, 5) << true << QByteArray::fromHex("0A141E2832") << QSize(1, 2)
        << QByteArray::fromHex("122A");
    // Each channel on its own; a half is rounded up.
    QTest::newRow("colour") << QSize(2, 1) << false << QByteArray::fromHex("FF00000000FF")
                            << QSize(1, 1) << QByteArray::fromHex("800080");
}

void TstPhoto::areaReduction() {
    QFETCH(QSize, from);
    QFETCH(bool, grey);
    QFETCH(QByteArray, source);
    QFETCH(QSize, to);
    QFETCH(QByteArray, expected);
    const int channels = grey ? 1 : 3;
    QImage into(to, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    AreaReducer reducer(from, &into);
    for (int y = 0; y < from.height(); ++y)
        reducer.addRow(reinterpret_cast<const uchar*>(source.constData()) +
                       y * from.width() * channels);
    QByteArray result;
    for (int y = 0; y < to.height(); ++y)
        result +=
            QByteArray(reinterpret_cast<const char*>(into.constScanLine(y)), to.width() * channels);
    QCOMPARE(result.toHex(), expected.toHex());
}

void TstPhoto::costlyJpeg_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("placed"); // invalid when refused
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("error"); // the default error report's text
    const QByteArray arithmetic = redBlueJpeg(true, false);
    const QByteArray arithmeticProgressive = redBlueJpeg(true, true);
    const QSize refused;
    // A few hundred bytes whose decoding would take the arithmetic decoder half a minute.
    QTest::newRow("arithmetic declaring 65500x65500")
        << withDeclaredSize(arithmetic, {65500, 65500}) << refused
        << QStringLiteral("A kép túl nagy (65500 × 65500 képpont), nem tölthető be !") << QString();
    QTest::newRow("arithmetic") << arithmetic << QSize(16, 16) << QString() << QString();
    QTest::newRow("arithmetic declaring 4000x4000")
        << withDeclaredSize(arithmetic, {4000, 4000}) << QSize(193, 193) << QString() << QString();
    QTest::newRow("arithmetic progressive")
        << arithmeticProgressive << QSize(16, 16) << QString() << QString();
    QTest::newRow("arithmetic progressive declaring 2000x2000")
        << withDeclaredSize(arithmeticProgressive, {2000, 2000}) << QSize(193, 193) << QString()
        << QString();
    // Each scan over the whole picture again: the work, not the memory, is too much.
    QTest::newRow("arithmetic progressive 3900x3900, its last scan 200 times")
        << withRepeatedLastScan(withDeclaredSize(arithmeticProgressive, {3900, 3900}), 200)
        << refused << QStringLiteral("A kép túl nagy (3900 × 3900 képpont), nem tölthető be !")
        << QString();
    const QByteArray progressive = redBlueJpeg(false, true);
    QTest::newRow("progressive, its last scan 1000 times")
        << withRepeatedLastScan(progressive, 1000) << refused << QString()
        << QStringLiteral("A kép több mint 1000 menetben kódolt, nem tölthető be !");
    QTest::newRow("progressive, its last scan 500 times")
        << withRepeatedLastScan(progressive, 500) << QSize(16, 16) << QString() << QString();
}

// Pictures whose decoding would cost far more work than their size in bytes suggests are
// refused before the work is done, with the decoder's own text through the usual windows;
// the same codings at sizes within the bound are shown.
void TstPhoto::costlyJpeg() {
    QFETCH(QByteArray, file);
    QFETCH(QSize, placed);
    QFETCH(QString, warning);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString good = writeJpeg(dir, QStringLiteral("jó.jpg"), greyPicture({60, 40}));
    const QString costly = dir.filePath(QStringLiteral("drága.jpg"));
    QFile f(costly);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();

    Box b;
    b.prompter.answerFiles({good, costly});
    b.panel.loadAction->trigger();
    const QImage before = b.panel.picture();
    b.panel.loadAction->trigger();
    const Shown dialog{QStringLiteral("openPicture"), {}, {}};
    if (placed.isValid()) {
        QCOMPARE(b.prompter.shown, QList<Shown>({dialog, dialog}));
        QCOMPARE(b.panel.picture().size(), placed);
        QCOMPARE(b.caption.text(), QStringLiteral("Fotó :  24 bit - true color"));
        if (placed == QSize(16, 16)) { // decoded as written: red on the left, blue on the right
            QVERIFY(nearColour(b.panel.picture().pixel(2, 8), Qt::red));
            QVERIFY(nearColour(b.panel.picture().pixel(13, 8), Qt::blue));
        }
        return;
    }
    QCOMPARE(b.prompter.shown,
             QList<Shown>({dialog, dialog,
                           warning.isEmpty() ? errorReportBox(error) : warningBox(warning)}));
    QCOMPARE(b.panel.picture(), before);
    QCOMPARE(b.caption.text(), QStringLiteral("Fotó :  8 bit - 256 szín"));
}

void TstPhoto::notAJpegIsRefused_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    twoColours({30, 30}).save(&buffer, "PNG");
    QTest::newRow("PNG named .jpg")
        << png << QStringLiteral("Not a JPEG file: starts with 0x89 0x50");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("Empty input file");
}

void TstPhoto::notAJpegIsRefused() {
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString good = writeJpeg(dir, QStringLiteral("good.jpg"), twoColours({60, 40}));
    const QString bad = dir.filePath(QStringLiteral("bad.jpg"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();

    Box b;
    b.prompter.answerFiles({good, bad, bad});
    b.panel.loadTriggered();
    const QImage before = b.panel.picture();

    // Called directly, the decoder's own text travels up...
    try {
        b.panel.loadTriggered();
        QFAIL("no error");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
    // ...and chosen from the menu it reaches the default error report.
    b.panel.loadAction->trigger();
    QCOMPARE(b.prompter.shown.last(), errorReportBox(message));
    QCOMPARE(b.prompter.shown.size(), 4);
    // The box keeps its previous picture and caption.
    QCOMPARE(b.panel.picture(), before);
    QCOMPARE(b.caption.text(), QStringLiteral("Fotó :  24 bit - true color"));
}

void TstPhoto::depthCaptions_data() {
    QTest::addColumn<int>("depth");
    QTest::addColumn<QString>("caption");
    QTest::newRow("1") << 1 << QStringLiteral("Fotó :  1 bit - Fekete / fehér");
    QTest::newRow("4") << 4 << QStringLiteral("Fotó :  4 bit - 16 szín");
    QTest::newRow("8") << 8 << QStringLiteral("Fotó :  8 bit - 256 szín");
    QTest::newRow("15") << 15 << QStringLiteral("Fotó :  15 bit - RGB compressio");
    QTest::newRow("16") << 16 << QStringLiteral("Fotó :  16 bit - bitfield compressio");
    QTest::newRow("24") << 24 << QStringLiteral("Fotó :  24 bit - true color");
    QTest::newRow("32") << 32 << QStringLiteral("Fotó :  32 bit - true color - RGB compressio");
    QTest::newRow("device") << 0 << QStringLiteral("Fotó");
    QTest::newRow("other") << 48 << QStringLiteral("Fotó");
}

void TstPhoto::depthCaptions() {
    QFETCH(int, depth);
    QFETCH(QString, caption);
    Box b;
    b.caption.setText(QStringLiteral("x"));
    b.panel.placeSource(twoColours({10, 10}), depth);
    QCOMPARE(b.caption.text(), caption);
}

void TstPhoto::bmpCaptions_data() {
    QTest::addColumn<QByteArray>("bmp");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("caption");
    const QByteArray none;
    const QByteArray mask565 = QByteArray::fromHex("00F80000E00700001F000000");
    const QByteArray mask555 = QByteArray::fromHex("007C0000E00300001F000000");
    const QByteArray rgb24 = QByteArray::fromHex("0000FFFF00000000FF00FFFFFF000000");
    QTest::newRow("1 bit") << bmpFile(40, 8, 2, 1, 0, none, greyPalette(2, 4),
                                      QByteArray::fromHex("F0000000AA000000"))
                           << QSize(8, 2) << QStringLiteral("Fotó :  1 bit - Fekete / fehér");
    QTest::newRow("4 bit, run-length coded")
        << bmpFile(40, 6, 2, 4, 2, none, greyPalette(16, 4),
                   QByteArray::fromHex("0612000006340001"))
        << QSize(6, 2) << QStringLiteral("Fotó :  4 bit - 16 szín");
    QTest::newRow("8 bit") << bmpFile(40, 4, 2, 8, 0, none, greyPalette(256, 4),
                                      QByteArray::fromHex("00408020FFC08060"))
                           << QSize(4, 2) << QStringLiteral("Fotó :  8 bit - 256 szín");
    QTest::newRow("8 bit, run-length coded")
        << bmpFile(40, 4, 2, 8, 1, none, greyPalette(256, 4),
                   QByteArray::fromHex("0401000004FF0001"))
        << QSize(4, 2) << QStringLiteral("Fotó :  8 bit - 256 szín");
    QTest::newRow("16 bit uncompressed, 5-5-5")
        << bmpFile(40, 2, 2, 16, 0, none, none, QByteArray::fromHex("007CE0031F00FF7F"))
        << QSize(2, 2) << QStringLiteral("Fotó :  15 bit - RGB compressio");
    QTest::newRow("16 bit fields, 5-6-5")
        << bmpFile(40, 2, 2, 16, 3, mask565, none, QByteArray::fromHex("00F8E0071F00FFFF"))
        << QSize(2, 2) << QStringLiteral("Fotó :  16 bit - bitfield compressio");
    QTest::newRow("16 bit fields, 5-6-5, fifth header")
        << bmpFile(124, 2, 2, 16, 3, mask565, none, QByteArray::fromHex("00F8E0071F00FFFF"))
        << QSize(2, 2) << QStringLiteral("Fotó :  16 bit - bitfield compressio");
    QTest::newRow("16 bit fields, 5-5-5")
        << bmpFile(40, 2, 2, 16, 3, mask555, none, QByteArray::fromHex("007CE0031F00FF7F"))
        << QSize(2, 2) << QStringLiteral("Fotó");
    QTest::newRow("24 bit") << bmpFile(40, 2, 2, 24, 0, none, none, rgb24) << QSize(2, 2)
                            << QStringLiteral("Fotó :  24 bit - true color");
    QTest::newRow("32 bit uncompressed")
        << bmpFile(40, 2, 2, 32, 0, none, none,
                   QByteArray::fromHex("0000FF0000FF0000FF000000FFFFFF00"))
        << QSize(2, 2) << QStringLiteral("Fotó :  32 bit - true color - RGB compressio");
    QTest::newRow("32 bit fields")
        << bmpFile(40, 2, 2, 32, 3, QByteArray::fromHex("0000FF0000FF0000FF000000"), none,
                   QByteArray::fromHex("0000FF0000FF0000FF000000FFFFFF00"))
        << QSize(2, 2) << QStringLiteral("Fotó");
    QTest::newRow("OS/2 header, 1 bit")
        << bmpFile(12, 8, 2, 1, 0, none, greyPalette(2, 3), QByteArray::fromHex("F0000000AA000000"))
        << QSize(8, 2) << QStringLiteral("Fotó :  1 bit - Fekete / fehér");
    QTest::newRow("OS/2 header, 8 bit")
        << bmpFile(12, 4, 2, 8, 0, none, greyPalette(256, 3),
                   QByteArray::fromHex("00408020FFC08060"))
        << QSize(4, 2) << QStringLiteral("Fotó :  8 bit - 256 szín");
    QTest::newRow("OS/2 header, 24 bit")
        << bmpFile(12, 2, 2, 24, 0, none, none, rgb24) << QSize(2, 2)
        << QStringLiteral("Fotó :  24 bit - true color");
}

// A bitmap pasted as BMP bytes is named by its colour depth, which its bit count gives together
// with its compression, in every header kind; the bytes themselves are what is placed.
void TstPhoto::bmpCaptions() {
    QFETCH(QByteArray, bmp);
    QFETCH(QSize, size);
    QFETCH(QString, caption);
    auto* data = new QMimeData;
    data->setImageData(twoColours({50, 50}, QImage::Format_ARGB32));
    data->setData(QStringLiteral("image/bmp"), bmp);
    QGuiApplication::clipboard()->setMimeData(data);

    Box b;
    b.panel.pasteAction->trigger();
    QCOMPARE(b.panel.picture().size(), size);
    QCOMPARE(b.caption.text(), caption);
    QVERIFY(b.prompter.shown.isEmpty());
}

void TstPhoto::photoBytes_data() {
    QTest::addColumn<QImage>("source");
    QTest::addColumn<int>("bits");
    QTest::newRow("colour kept") << twoColours({120, 70}) << 24;
    QTest::newRow("colour reduced") << twoColours({900, 300}) << 24;
    QTest::newRow("32-bit kept") << twoColours({64, 64}, QImage::Format_RGB32) << 24;
    QTest::newRow("grey") << greyPicture({100, 30}) << 8;
}

void TstPhoto::photoBytes() {
    QFETCH(QImage, source);
    QFETCH(int, bits);
    Box b;
    b.panel.placeSource(source, 24);
    const QByteArray bmp = b.panel.photoBytes();
    QVERIFY(bmp.startsWith("BM"));
    QCOMPARE(qFromLittleEndian<quint32>(bmp.constData() + 2), quint32(bmp.size()));
    QCOMPARE(bmpBitCount(bmp), bits);

    // What the modification form reads back is the same picture, whatever the switches say.
    Box other;
    other.caption.setText(QStringLiteral("Fotó"));
    other.panel.readPhoto(bmp);
    QCOMPARE(other.caption.text(), QStringLiteral("Fotó"));
    QCOMPARE(other.panel.picture().size(), b.panel.picture().size());
    const QImage a = b.panel.picture().convertToFormat(QImage::Format_RGB32);
    const QImage c = other.panel.picture().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(c, a);
}

void TstPhoto::emptyBoxAndEmptyPhoto() {
    Box b;
    QVERIFY(b.panel.isEmpty());
    QVERIFY(b.panel.photoBytes().isEmpty());

    b.panel.placeSource(twoColours({20, 20}), 24);
    QVERIFY(!b.panel.photoBytes().isEmpty());
    b.panel.readPhoto(QByteArray()); // an empty FOTO: no error, the box is empty
    QVERIFY(b.panel.isEmpty());
    QVERIFY(b.panel.picture().isNull());
    QVERIFY(b.panel.photoBytes().isEmpty());

    b.panel.placeSource(twoColours({20, 20}), 24);
    b.panel.clearAction->trigger(); // "Töröl"
    QVERIFY(b.panel.isEmpty());
    QVERIFY(b.panel.image->pixmap().isNull());
}

void TstPhoto::unreadablePhotoEmptiesTheBoxAndIsKept() {
    Box b;
    b.panel.placeSource(twoColours({20, 20}), 24);
    // Nothing of the earlier picture stays; the stored bytes go back as they came.
    QVERIFY(!b.panel.readPhoto("not a bitmap at all"));
    QVERIFY(b.panel.isEmpty());
    QCOMPARE(b.panel.photoBytes(), QByteArray("not a bitmap at all"));
    QVERIFY(b.prompter.shown.isEmpty());
    // Removing it is a change of this opening like any other.
    b.panel.clearAction->trigger();
    QVERIFY(b.panel.photoBytes().isEmpty());
}

void TstPhoto::marksAndSwitches_data() {
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("menu") << true;
    QTest::newRow("handler") << false;
}

void TstPhoto::marksAndSwitches() {
    QFETCH(bool, fromMenu);
    Box b;
    PhotoPanel& p = b.panel;
    const auto chooseFill = [&] { fromMenu ? p.stretchAction->trigger() : p.stretchTriggered(); };
    const auto chooseCentre = [&] { fromMenu ? p.centreAction->trigger() : p.centreTriggered(); };

    chooseFill();
    QVERIFY(p.stretchAction->isChecked());
    QVERIFY(p.stretched());

    // A small picture switches stretching off; the item stays marked.
    p.placeSource(twoColours({100, 80}), 24);
    QVERIFY(!p.stretched());
    QVERIFY(p.stretchAction->isChecked());
    // Choosing the item removes the mark; stretching stays off.
    chooseFill();
    QVERIFY(!p.stretchAction->isChecked());
    QVERIFY(!p.stretched());
    // Choosing it again marks it and stretches the picture.
    chooseFill();
    QVERIFY(p.stretchAction->isChecked());
    QVERIFY(p.stretched());
    QVERIFY(p.image->hasScaledContents());

    // Centring the same way; a form's showing sets the switches and leaves the marks.
    chooseCentre();
    QVERIFY(p.centreAction->isChecked());
    QVERIFY(p.centred());
    p.setCentred(false);
    p.setStretched(false);
    QVERIFY(p.centreAction->isChecked());
    QVERIFY(p.stretchAction->isChecked());
    chooseCentre();
    QVERIFY(!p.centreAction->isChecked());
    QVERIFY(!p.centred());
    QVERIFY(!p.stretched());
}

void TstPhoto::switchesOnlyChangeTheDisplay() {
    Box b;
    PhotoPanel& p = b.panel;
    p.placeSource(twoColours({2000, 1000}), 24);
    const QImage held = p.picture();
    const QByteArray bmp = p.photoBytes();
    p.setCentred(true);
    QVERIFY(p.image->alignment() == Qt::AlignCenter);
    p.setStretched(false);
    p.setCentred(false);
    QVERIFY(p.image->alignment() == (Qt::AlignLeft | Qt::AlignTop));
    QVERIFY(!p.image->hasScaledContents());
    QCOMPARE(p.picture(), held);
    QCOMPARE(p.photoBytes(), bmp);
}

void TstPhoto::paste_data() {
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QByteArray>("bmp"); // offered beside the image, when not empty
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("placed");
    QTest::newRow("24-bit, reduced")
        << twoColours({500, 250}) << QByteArray() << QStringLiteral("Fotó :  24 bit - true color")
        << QSize(193, 96);
    QTest::newRow("32-bit, kept") << twoColours({200, 150}, QImage::Format_ARGB32) << QByteArray()
                                  << QStringLiteral("Fotó :  32 bit - true color - RGB compressio")
                                  << QSize(200, 150);
    QByteArray indexed;
    QBuffer buffer(&indexed);
    buffer.open(QIODevice::WriteOnly);
    twoColours({40, 30}).convertToFormat(QImage::Format_Indexed8).save(&buffer, "BMP");
    // Qt writes a palette of two colours as a 4-bit BMP.
    QTest::newRow("BMP data names its bit count")
        << twoColours({40, 30}, QImage::Format_RGB32) << indexed
        << QStringLiteral("Fotó :  4 bit - 16 szín") << QSize(40, 30);
    // Picture and caption come from the same BMP bytes, whatever the platform's picture is.
    QTest::newRow("BMP data is the picture placed")
        << twoColours({50, 50}, QImage::Format_RGB32) << indexed
        << QStringLiteral("Fotó :  4 bit - 16 szín") << QSize(40, 30);
    QByteArray png;
    QBuffer pngBuffer(&png);
    pngBuffer.open(QIODevice::WriteOnly);
    twoColours({40, 30}).save(&pngBuffer, "PNG");
    // Bytes offered as BMP that are no BMP are not decoded as anything else.
    QTest::newRow("BMP data that is no BMP")
        << twoColours({60, 20}, QImage::Format_RGB32) << png
        << QStringLiteral("Fotó :  32 bit - true color - RGB compressio") << QSize(60, 20);
}

void TstPhoto::paste() {
    QFETCH(QImage, image);
    QFETCH(QByteArray, bmp);
    QFETCH(QString, caption);
    QFETCH(QSize, placed);
    auto* data = new QMimeData;
    data->setImageData(image);
    if (!bmp.isEmpty())
        data->setData(QStringLiteral("image/bmp"), bmp);
    QGuiApplication::clipboard()->setMimeData(data);

    Box b;
    b.panel.pasteAction->trigger();
    QCOMPARE(b.caption.text(), caption);
    QCOMPARE(b.panel.picture().size(), placed);
    QVERIFY(nearColour(b.panel.picture().pixel(1, 1), Qt::red));
    QVERIFY(b.prompter.shown.isEmpty());
}

void TstPhoto::pasteWithoutPictureDoesNothing() {
    Box b;
    b.panel.placeSource(twoColours({30, 20}), 24);
    const QImage before = b.panel.picture();
    QGuiApplication::clipboard()->setText(QStringLiteral("csak szöveg"));
    b.panel.pasteTriggered();
    QCOMPARE(b.panel.picture(), before);
    QCOMPARE(b.caption.text(), QStringLiteral("Fotó :  24 bit - true color"));
    QGuiApplication::clipboard()->clear();
    b.panel.pasteAction->trigger();
    QCOMPARE(b.panel.picture(), before);
    QVERIFY(b.prompter.shown.isEmpty());
}

QTEST_MAIN(TstPhoto)
#include "tst_photo.moc"

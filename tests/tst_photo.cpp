// The photo box of the editing forms: pictures reduced as they arrive (with a half rounded to
// the even side), the depth caption, JPEG files decoded by libjpeg with its own error text,
// clipboard pictures, the BMP image kept in FOTO, and menu marks that may disagree with the
// box's switches.

#include "editing/PhotoPanel.h"
#include "platform/JpegDecoder.h"
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

// A JPEG whose frame header declares another size than its data holds, as a damaged or
// hostile file may: the decoder believes the header and fills in what the data lacks.
QByteArray declaringSize(QByteArray jpeg, QSize declared) {
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = uchar(jpeg[i + 1]);
        if (uchar(jpeg[i]) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
            qToBigEndian<quint16>(quint16(declared.height()), jpeg.data() + i + 5);
            qToBigEndian<quint16>(quint16(declared.width()), jpeg.data() + i + 7);
            return jpeg;
        }
    }
    qFatal("no frame header in test JPEG");
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
    void notAJpegIsRefused_data();
    void notAJpegIsRefused();
    void depthCaptions_data();
    void depthCaptions();
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
    QCOMPARE(b.panel.photoImage->size(), QSize(286, 193));
    QCOMPARE(b.panel.photoImage->contextMenuPolicy(), Qt::CustomContextMenu);

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
    QCOMPARE(b.panel.photoImage->hasScaledContents(), stretched);
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
    // Held whole only at 1/8: 2500 x 2500 pixels.
    QTest::newRow("baseline declaring 20000x20000")
        << declaringSize(jpegBytes(small, false), {20000, 20000}) << QString();
    // A file of several scans keeps the coefficients of its whole size.
    QTest::newRow("progressive declaring 20000x20000")
        << declaringSize(jpegBytes(small, true), {20000, 20000}) << tooLarge;
    QTest::newRow("progressive declaring 4000x4000")
        << declaringSize(jpegBytes(small, true), {4000, 4000}) << QString();
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
    const QByteArray file = declaringSize(jpegBytes(twoColours({48, 32}), false), {12000, 9000});
    try {
        decodeJpegData(file);
        QFAIL("decoded");
    } catch (const PictureTooLargeError& e) {
        QCOMPARE(e.userMessage(),
                 QStringLiteral("A kép túl nagy (12000 × 9000 képpont), nem tölthető be !"));
    }
    // The same file decoded for the box needs 1500 x 1125 pixels.
    const JpegPicture picture = decodeJpegData(file, &PhotoPanel::fittedSize);
    QCOMPARE(picture.size, QSize(12000, 9000));
    QCOMPARE(picture.image.size(), QSize(1500, 1125));
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
    QVERIFY(b.panel.photoImage->pixmap().isNull());
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
    QVERIFY(p.photoImage->hasScaledContents());

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
    QVERIFY(p.photoImage->alignment() == Qt::AlignCenter);
    p.setStretched(false);
    p.setCentred(false);
    QVERIFY(p.photoImage->alignment() == (Qt::AlignLeft | Qt::AlignTop));
    QVERIFY(!p.photoImage->hasScaledContents());
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

#include "PhotoPanel.h"

#include "platform/ClipboardPicture.h"
#include "platform/Hints.h"
#include "platform/JpegDecoder.h"
#include "platform/Prompter.h"
#include "policy/CommandRunner.h"

#include <QBuffer>
#include <QLabel>
#include <QMenu>
#include <stdexcept>

namespace kx {

namespace {

constexpr int kFrameWidth = 301;
constexpr int kFrameHeight = 209;
constexpr int kBoxWidth = 286;
constexpr int kBoxHeight = 193;
constexpr int kKeepLimit = 292; // larger pictures are reduced as they arrive
constexpr int kReducedSide = 193;

// part * 193 / whole, rounded to the nearest whole number with a half going to the even
// neighbour. Done in whole numbers, so no half is lost to floating point.
int scaledSide(qint64 part, qint64 whole) {
    const qint64 product = part * kReducedSide;
    qint64 q = product / whole;
    const qint64 twiceRest = 2 * (product % whole);
    if (twiceRest > whole || (twiceRest == whole && q % 2 != 0))
        ++q;
    return int(q);
}

QAction* addItem(QMenu* menu, const char* name, const QString& caption, const QString& hint) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    setHint(action, hint);
    return action;
}

} // namespace

PhotoPanel::PhotoPanel(Prompter& prompter, QLabel* caption, QWidget* parent)
    : QFrame(parent), m_prompter(prompter), m_caption(caption) {
    setFixedSize(kFrameWidth, kFrameHeight);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    QPalette cream = palette();
    cream.setColor(QPalette::Window, QColor(0xFF, 0xFB, 0xF0));
    setPalette(cream);
    setAutoFillBackground(true);

    photoImage = new PictureBox(this);
    photoImage->setObjectName(QStringLiteral("Image1"));
    photoImage->setGeometry((kFrameWidth - kBoxWidth) / 2, (kFrameHeight - kBoxHeight) / 2,
                            kBoxWidth, kBoxHeight);

    photoMenu = new QMenu(this);
    photoMenu->setObjectName(QStringLiteral("PopupMenu1"));
    loadAction = addItem(photoMenu, "Betlt1", QStringLiteral("Betölt"),
                         QStringLiteral("Fotó adatok felvétele !"));
    pasteAction = addItem(photoMenu, "Vglaprl1", QStringLiteral("Vágólapról"),
                          QStringLiteral("Kép másolása vágólapról !"));
    clearAction =
        addItem(photoMenu, "rl1", QStringLiteral("Töröl"), QStringLiteral("Fotó törlése !"));
    photoMenu->addSeparator()->setObjectName(QStringLiteral("N1"));
    const PictureBox::SwitchItems switches = photoImage->addSwitchItems(photoMenu);
    centreAction = switches.centre;
    stretchAction = switches.fill;

    photoImage->setPopupMenu(photoMenu);

    // The menu is wired here, each choice as a command of its own: a file that cannot be
    // decoded ends in the default error report, never in the event loop.
    const auto command = [this](void (PhotoPanel::*handler)()) {
        return [this, handler] { runCommand(m_prompter, [this, handler] { (this->*handler)(); }); };
    };
    connect(loadAction, &QAction::triggered, this, command(&PhotoPanel::loadTriggered));
    connect(pasteAction, &QAction::triggered, this, command(&PhotoPanel::pasteTriggered));
    connect(clearAction, &QAction::triggered, this, command(&PhotoPanel::clearTriggered));

    if (m_caption)
        m_caption->setText(QStringLiteral("Fotó"));
}

bool PhotoPanel::isEmpty() const {
    return photoImage->isEmpty();
}

QImage PhotoPanel::picture() const {
    return photoImage->picture();
}

bool PhotoPanel::centred() const {
    return photoImage->centred();
}

bool PhotoPanel::stretched() const {
    return photoImage->stretched();
}

void PhotoPanel::setCentred(bool on) {
    photoImage->setCentred(on);
}

void PhotoPanel::setStretched(bool on) {
    photoImage->setStretched(on);
}

void PhotoPanel::clear() {
    photoImage->setPicture(QImage());
    forgetStoredPhoto();
}

void PhotoPanel::forgetStoredPhoto() {
    m_storedPhoto.clear();
    m_keepStored = false;
}

QSize PhotoPanel::fittedSize(QSize source) {
    const int w = source.width();
    const int h = source.height();
    if (w <= kKeepLimit && h <= kKeepLimit)
        return source;
    // A picture cannot be narrower than one pixel, however long its other side.
    if (h > w)
        return {qMax(1, scaledSide(w, h)), kReducedSide};
    if (w > h)
        return {kReducedSide, qMax(1, scaledSide(h, w))};
    return {kReducedSide, kReducedSide};
}

QString PhotoPanel::depthCaption(int depth) {
    switch (depth) {
    case 1:
        return QStringLiteral("Fotó :  1 bit - Fekete / fehér");
    case 4:
        return QStringLiteral("Fotó :  4 bit - 16 szín");
    case 8:
        return QStringLiteral("Fotó :  8 bit - 256 szín");
    case 15:
        return QStringLiteral("Fotó :  15 bit - RGB compressio");
    case 16:
        return QStringLiteral("Fotó :  16 bit - bitfield compressio");
    case 24:
        return QStringLiteral("Fotó :  24 bit - true color");
    case 32:
        return QStringLiteral("Fotó :  32 bit - true color - RGB compressio");
    default:
        return QStringLiteral("Fotó");
    }
}

void PhotoPanel::placeSource(const QImage& source, int depth, QSize own) {
    forgetStoredPhoto();
    if (m_caption)
        m_caption->setText(depthCaption(depth));
    if (!own.isValid())
        own = source.size();
    const QSize fitted = fittedSize(own);
    if (fitted == own && fitted == source.size()) {
        photoImage->setStretched(false);
        photoImage->setPicture(source);
    } else {
        // The reduced copy is 24-bit colour, or 8-bit grey for a grey source.
        const bool grey = source.format() == QImage::Format_Grayscale8 ||
                          source.format() == QImage::Format_Grayscale16;
        photoImage->setStretched(true);
        photoImage->setPicture(
            source.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888));
    }
}

QByteArray PhotoPanel::photoBytes() const {
    if (m_keepStored)
        return m_storedPhoto;
    if (photoImage->isEmpty())
        return QByteArray();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!photoImage->picture().save(&buffer, "BMP"))
        throw std::runtime_error("A fotó nem írható BMP képként !");
    return bytes;
}

bool PhotoPanel::readPhoto(const QByteArray& bmp) {
    bool shown = true;
    try {
        photoImage->readBmp(bmp);
    } catch (const std::runtime_error&) {
        photoImage->setPicture(QImage());
        shown = false;
    }
    m_storedPhoto = bmp;
    m_keepStored = true;
    return shown;
}

void PhotoPanel::loadTriggered() {
    const QString path = m_prompter.openPicture(m_lastPicture);
    if (path.isEmpty())
        return;
    m_lastPicture = path;
    loadPicture(path);
}

void PhotoPanel::loadPicture(const QString& path) {
    // Decoded before anything changes: a file that is no JPEG, or one too large, leaves box
    // and caption as they were. Only the size the box needs is decoded.
    JpegPicture decoded;
    try {
        decoded = decodeJpegFile(path, &PhotoPanel::fittedSize);
    } catch (const PictureTooLargeError& e) {
        m_prompter.warning(e.userMessage());
        return;
    }
    placeSource(decoded.image, decoded.depth, decoded.size);
}

void PhotoPanel::pasteTriggered() {
    if (!clipboardHasPicture())
        return;
    const ClipboardPicture pasted = clipboardPicture();
    if (pasted.image.isNull())
        return;
    placeSource(pasted.image, pasted.depth);
}

void PhotoPanel::clearTriggered() {
    clear();
}

// Chosen from code: the item toggles its own mark, then the switch follows the new mark.
void PhotoPanel::centreTriggered() {
    photoImage->chooseCentre();
}

void PhotoPanel::stretchTriggered() {
    photoImage->chooseFill();
}

} // namespace kx

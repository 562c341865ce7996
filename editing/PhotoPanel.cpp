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

// Puts an item into menu in front of before.
QAction* insertItem(QMenu* menu, QAction* before, const char* name, const QString& caption,
                    const QString& hint) {
    auto* action = new QAction(caption, menu);
    action->setObjectName(QString::fromLatin1(name));
    setHint(action, hint);
    menu->insertAction(before, action);
    return action;
}

} // namespace

PhotoPanel::PhotoPanel(Prompter& prompter, QLabel* caption, QWidget* parent)
    : PhotoFrame(QStringLiteral("Image1"), QSize(kBoxWidth, kBoxHeight), true,
                 QSize(kFrameWidth, kFrameHeight), parent),
      m_prompter(prompter), m_caption(caption) {
    // The editing items come first, above the frame's two switches.
    loadAction = insertItem(photoMenu, centreAction, "Betlt1", QStringLiteral("Betölt"),
                            QStringLiteral("Fotó adatok felvétele !"));
    pasteAction = insertItem(photoMenu, centreAction, "Vglaprl1", QStringLiteral("Vágólapról"),
                             QStringLiteral("Kép másolása vágólapról !"));
    clearAction = insertItem(photoMenu, centreAction, "rl1", QStringLiteral("Töröl"),
                             QStringLiteral("Fotó törlése !"));
    photoMenu->insertSeparator(centreAction)->setObjectName(QStringLiteral("N1"));

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

void PhotoPanel::clear() {
    image->setPicture(QImage());
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
        image->setStretched(false);
        image->setPicture(source);
    } else {
        // The reduced copy is 24-bit colour, or 8-bit grey for a grey source.
        const bool grey = source.format() == QImage::Format_Grayscale8 ||
                          source.format() == QImage::Format_Grayscale16;
        image->setStretched(true);
        image->setPicture(
            source.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888));
    }
}

QByteArray PhotoPanel::photoBytes() const {
    if (m_keepStored)
        return m_storedPhoto;
    if (image->isEmpty())
        return QByteArray();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image->picture().save(&buffer, "BMP"))
        throw std::runtime_error("A fotó nem írható BMP képként !");
    return bytes;
}

bool PhotoPanel::readPhoto(const QByteArray& bmp) {
    bool shown = true;
    try {
        image->readBmp(bmp);
    } catch (const std::runtime_error&) {
        image->setPicture(QImage());
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

} // namespace kx

#pragma once

#include "platform/PhotoFrame.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

class QAction;
class QLabel;

namespace kx {

class Prompter;

// The photo box of both editing forms: a 286 x 193 picture box in a cream frame, its popup
// menu (load a JPEG, paste from the clipboard, remove, then the frame's centre and fill) and
// the caption label above it, which names the colour depth of a loaded picture.
class PhotoPanel : public PhotoFrame {
    Q_OBJECT
public:
    // caption is the form's Label11; the panel sets its text.
    PhotoPanel(Prompter& prompter, QLabel* caption, QWidget* parent = nullptr);

    // The frame's image is Image1; its menu adds to the frame's own:
    QAction* loadAction;  // Betlt1, "Betölt"
    QAction* pasteAction; // Vglaprl1, "Vágólapról"
    QAction* clearAction; // rl1, "Töröl"

    // Removes the picture and forgets any stored photo read in; the caption is the form's
    // business.
    void clear();

    // The fitting steps for a newly loaded or pasted picture; depth is the source's colour
    // depth in bits (0 when device-dependent or unknown). own is the picture's own size when
    // source was decoded smaller (a JPEG decoded at a reduced scale); the fitting follows it.
    void placeSource(const QImage& source, int depth, QSize own = QSize());
    // Loads the JPEG file at path, decoded no larger than the box needs, and places it. A
    // picture too large to decode is refused with a warning and changes nothing; other
    // decoder errors are thrown (see decodeJpegFile).
    void loadPicture(const QString& path);
    // FOTO: a complete BMP file image of the picture, or zero bytes when the box is empty.
    // While the box holds the stored photo read in by readPhoto() (nothing loaded, pasted or
    // removed since), these are the stored bytes themselves, unchanged.
    QByteArray photoBytes() const;
    // Reads FOTO back and keeps its bytes for an unchanged store; empty bytes leave the box
    // empty. Bytes that are not a BMP image leave the box empty too and return false: the
    // record stays usable, and its photo is kept as stored.
    bool readPhoto(const QByteArray& bmp);

    static QSize fittedSize(QSize source); // the size a source is placed at
    static QString depthCaption(int depth);

public slots:
    void loadTriggered();
    void pasteTriggered();
    void clearTriggered();

private:
    void forgetStoredPhoto();

    Prompter& m_prompter;
    QLabel* m_caption;
    QString m_lastPicture; // the picture dialog starts at the file last loaded
    // The stored photo as read, written back byte for byte until the picture is replaced or
    // removed: encoding it again would change its depth or compression.
    QByteArray m_storedPhoto;
    bool m_keepStored = false;
};

} // namespace kx

#pragma once

#include "platform/PictureBox.h"

#include <QFrame>
#include <QImage>
#include <QSize>

class QAction;
class QMenu;

namespace kx {

// The photo of a record window: a picture box, bare or in a cream-coloured sunken frame, and
// its right-click menu, which ends with "Igazítás középre" and "Kitöltés". Their check marks
// toggle on every choice and switch the centred and the stretched drawing; the marks belong
// to the menu and survive a new showing of the window, the drawing is reset by the window.
class PhotoFrame : public QFrame {
    Q_OBJECT
public:
    // box: the size of the picture. framed: the picture sits in the middle of a frame of
    // frameSize; otherwise the frame is the picture alone.
    PhotoFrame(const QString& imageName, QSize box, bool framed, QSize frameSize,
               QWidget* parent = nullptr);

    PictureBox* image;      // the picture itself
    QMenu* photoMenu;       // PopupMenu1, its right-click menu
    QAction* centreAction;  // Igaztskzpre1, "Igazítás középre"
    QAction* stretchAction; // Kitlts1, "Kitöltés"

    bool isEmpty() const;
    QImage picture() const; // null when empty
    bool centred() const;   // how the picture is drawn now (not the menu marks)
    bool stretched() const;
    void setCentred(bool on);
    void setStretched(bool on);

public slots:
    // Chosen from code: the item toggles its own mark, then the drawing follows the new mark.
    void centreTriggered();
    void stretchTriggered();
};

} // namespace kx

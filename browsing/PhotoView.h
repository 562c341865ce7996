#pragma once

#include "platform/PictureBox.h"

#include <QByteArray>
#include <QFrame>
#include <QImage>
#include <QSize>

class QAction;
class QMenu;

namespace kx {

// A read-only photo of a record with the photo menu of the browsing windows: "Igazítás
// középre" and "Kitöltés", whose check marks toggle on every choice and switch the centred and
// the stretched drawing. The marks belong to the menu and survive a new showing of the window;
// the drawing is reset by the window.
class PhotoView : public QFrame {
    Q_OBJECT
public:
    // box: the size of the picture. framed: the picture sits in a cream-coloured sunken frame
    // of frameSize; otherwise the view is the picture alone.
    PhotoView(const QString& imageName, QSize box, bool framed, QSize frameSize,
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

    // FOTO as stored: the byte image of a BMP file; zero bytes show nothing. Throws
    // std::runtime_error on bytes that are not a BMP image, leaving the view empty.
    void readPhoto(const QByteArray& bmp);
    void clear();

public slots:
    void centreTriggered(); // toggles the mark, then draws by it
    void stretchTriggered();
};

} // namespace kx

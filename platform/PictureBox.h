#pragma once

#include <QByteArray>
#include <QImage>
#include <QLabel>

class QAction;
class QMenu;

namespace kx {

// A box that shows one picture with two drawing switches: centred (the picture's middle on the
// box's middle, otherwise it starts at the top left) and stretched (the picture fills the box
// without keeping its proportions). What does not fit is cut at the box's edges.
class PictureBox : public QLabel {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The two checkable items of a photo menu that work the switches.
    struct SwitchItems {
        QAction* centre;
        QAction* fill;
    };

    bool isEmpty() const;
    QImage picture() const; // null when empty
    bool centred() const;   // how the picture is drawn now (not the menu marks)
    bool stretched() const;
    void setCentred(bool on);
    void setStretched(bool on);
    void setPicture(const QImage& picture); // a null image empties the box

    // The byte image of a BMP file; zero bytes empty the box. Throws std::runtime_error on
    // bytes that are not a BMP image, leaving the box as it was.
    void readBmp(const QByteArray& bmp);

    // Pops menu up where the box is right-clicked.
    void setPopupMenu(QMenu* menu);
    // Adds "Igazítás középre" and "Kitöltés" to menu, in this order, as checkable items whose
    // marks switch the drawing of this box. The marks belong to the menu.
    SwitchItems addSwitchItems(QMenu* menu);
    // A choice of an item made from code: the item toggles its mark, then the box follows it.
    void chooseCentre();
    void chooseFill();

private:
    void showPicture();
    QImage m_picture;
    bool m_centred = false;
    bool m_stretched = false;
    SwitchItems m_items{nullptr, nullptr};
};

} // namespace kx

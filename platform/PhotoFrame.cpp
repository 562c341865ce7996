#include "PhotoFrame.h"

#include <QMenu>

namespace kx {

PhotoFrame::PhotoFrame(const QString& imageName, QSize box, bool framed, QSize frameSize,
                       QWidget* parent)
    : QFrame(parent) {
    image = new PictureBox(this);
    image->setObjectName(imageName);
    if (framed) {
        setFixedSize(frameSize);
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
        QPalette cream = palette();
        cream.setColor(QPalette::Window, QColor(0xFF, 0xFB, 0xF0));
        setPalette(cream);
        setAutoFillBackground(true);
        image->setGeometry((frameSize.width() - box.width()) / 2,
                           (frameSize.height() - box.height()) / 2, box.width(), box.height());
    } else {
        setFixedSize(box);
        image->setGeometry(0, 0, box.width(), box.height());
    }

    photoMenu = new QMenu(this);
    photoMenu->setObjectName(QStringLiteral("PopupMenu1"));
    const PictureBox::SwitchItems items = image->addSwitchItems(photoMenu);
    centreAction = items.centre;
    stretchAction = items.fill;
    image->setPopupMenu(photoMenu);
}

bool PhotoFrame::isEmpty() const {
    return image->isEmpty();
}

QImage PhotoFrame::picture() const {
    return image->picture();
}

bool PhotoFrame::centred() const {
    return image->centred();
}

bool PhotoFrame::stretched() const {
    return image->stretched();
}

void PhotoFrame::setCentred(bool on) {
    image->setCentred(on);
}

void PhotoFrame::setStretched(bool on) {
    image->setStretched(on);
}

void PhotoFrame::centreTriggered() {
    image->chooseCentre();
}

void PhotoFrame::stretchTriggered() {
    image->chooseFill();
}

} // namespace kx

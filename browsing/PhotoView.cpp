#include "PhotoView.h"

#include "platform/PictureBox.h"

#include <QMenu>

namespace kx {

PhotoView::PhotoView(const QString& imageName, QSize box, bool framed, QSize frameSize,
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

bool PhotoView::isEmpty() const {
    return image->isEmpty();
}

QImage PhotoView::picture() const {
    return image->picture();
}

bool PhotoView::centred() const {
    return image->centred();
}

bool PhotoView::stretched() const {
    return image->stretched();
}

void PhotoView::setCentred(bool on) {
    image->setCentred(on);
}

void PhotoView::setStretched(bool on) {
    image->setStretched(on);
}

// The view is emptied first, so that unreadable bytes leave nothing of the last record.
void PhotoView::readPhoto(const QByteArray& bmp) {
    image->setPicture(QImage());
    image->readBmp(bmp);
}

void PhotoView::clear() {
    image->setPicture(QImage());
}

void PhotoView::centreTriggered() {
    image->chooseCentre();
}

void PhotoView::stretchTriggered() {
    image->chooseFill();
}

} // namespace kx

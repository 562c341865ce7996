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

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    const PictureBox::SwitchItems items = image->addSwitchItems(PopupMenu1);
    Igaztskzpre1 = items.centre;
    Kitlts1 = items.fill;
    image->setPopupMenu(PopupMenu1);
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

void PhotoView::Igaztskzpre1Click() {
    image->chooseCentre();
}

void PhotoView::Kitlts1Click() {
    image->chooseFill();
}

} // namespace kx

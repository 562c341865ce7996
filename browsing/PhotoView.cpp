#include "PhotoView.h"

namespace kx {

// The view is emptied first, so that unreadable bytes leave nothing of the last record.
void PhotoView::readPhoto(const QByteArray& bmp) {
    image->setPicture(QImage());
    image->readBmp(bmp);
}

void PhotoView::clear() {
    image->setPicture(QImage());
}

} // namespace kx

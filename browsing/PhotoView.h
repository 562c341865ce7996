#pragma once

#include "platform/PhotoFrame.h"

#include <QByteArray>

namespace kx {

// The read-only photo of a record in the browsing windows; its menu holds only the two
// drawing switches.
class PhotoView : public PhotoFrame {
    Q_OBJECT
public:
    using PhotoFrame::PhotoFrame;

    // FOTO as stored: the byte image of a BMP file; zero bytes show nothing. Throws
    // std::runtime_error on bytes that are not a BMP image, leaving the view empty.
    void readPhoto(const QByteArray& bmp);
    void clear();
};

} // namespace kx

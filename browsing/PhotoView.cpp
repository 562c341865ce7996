#include "PhotoView.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <stdexcept>

namespace kx {

PhotoView::PhotoView(const QString& imageName, QSize box, bool framed, QSize frameSize,
                     QWidget* parent)
    : QFrame(parent) {
    image = new QLabel(this);
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
    image->setContextMenuPolicy(Qt::CustomContextMenu);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Igaztskzpre1 = PopupMenu1->addAction(QStringLiteral("Igazítás középre"));
    Igaztskzpre1->setObjectName(QStringLiteral("Igaztskzpre1"));
    Igaztskzpre1->setStatusTip(QStringLiteral("Fotó igazítása középre !"));
    Igaztskzpre1->setCheckable(true);
    Kitlts1 = PopupMenu1->addAction(QStringLiteral("Kitöltés"));
    Kitlts1->setObjectName(QStringLiteral("Kitlts1"));
    Kitlts1->setStatusTip(QStringLiteral("Fotó kitöltése az egész mezőre !"));
    Kitlts1->setCheckable(true);

    connect(image, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(image->mapToGlobal(at)); });
    // A checkable action has toggled its own mark by the time it reports the choice.
    connect(Igaztskzpre1, &QAction::triggered, this,
            [this] { setCentred(Igaztskzpre1->isChecked()); });
    connect(Kitlts1, &QAction::triggered, this, [this] { setStretched(Kitlts1->isChecked()); });
    showPicture();
}

bool PhotoView::isEmpty() const {
    return m_picture.isNull();
}

QImage PhotoView::picture() const {
    return m_picture;
}

bool PhotoView::centred() const {
    return m_centred;
}

bool PhotoView::stretched() const {
    return m_stretched;
}

void PhotoView::setCentred(bool on) {
    m_centred = on;
    showPicture();
}

void PhotoView::setStretched(bool on) {
    m_stretched = on;
    showPicture();
}

void PhotoView::readPhoto(const QByteArray& bmp) {
    m_picture = QImage();
    if (!bmp.isEmpty() && !m_picture.loadFromData(bmp, "BMP")) {
        showPicture();
        throw std::runtime_error("A tárolt fotó nem olvasható BMP képként !");
    }
    showPicture();
}

void PhotoView::clear() {
    m_picture = QImage();
    showPicture();
}

void PhotoView::Igaztskzpre1Click() {
    Igaztskzpre1->setChecked(!Igaztskzpre1->isChecked());
    setCentred(Igaztskzpre1->isChecked());
}

void PhotoView::Kitlts1Click() {
    Kitlts1->setChecked(!Kitlts1->isChecked());
    setStretched(Kitlts1->isChecked());
}

// Stretched fills the picture's area without keeping proportions; centred puts the photo's
// middle on the area's middle, otherwise it starts at the top left. What does not fit is cut.
void PhotoView::showPicture() {
    image->setScaledContents(m_stretched);
    image->setAlignment(m_centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    if (m_picture.isNull())
        image->clear();
    else
        image->setPixmap(QPixmap::fromImage(m_picture));
}

} // namespace kx

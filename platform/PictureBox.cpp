#include "PictureBox.h"

#include "Hints.h"
#include "StoredBmp.h"

#include <QAction>
#include <QMenu>
#include <QPixmap>
#include <stdexcept>

namespace kx {

namespace {

QAction* addSwitchItem(QMenu* menu, const char* name, const QString& caption, const QString& hint) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    setHint(item, hint);
    item->setCheckable(true);
    return item;
}

} // namespace

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
    showPicture();
}

bool PictureBox::isEmpty() const {
    return m_picture.isNull();
}

QImage PictureBox::picture() const {
    return m_picture;
}

bool PictureBox::centred() const {
    return m_centred;
}

bool PictureBox::stretched() const {
    return m_stretched;
}

void PictureBox::setCentred(bool on) {
    m_centred = on;
    showPicture();
}

void PictureBox::setStretched(bool on) {
    m_stretched = on;
    showPicture();
}

void PictureBox::setPicture(const QImage& picture) {
    m_picture = picture;
    showPicture();
}

void PictureBox::readBmp(const QByteArray& bmp) {
    if (bmp.isEmpty()) {
        setPicture(QImage());
        return;
    }
    const QImage image = readBmpImage(bmp);
    if (image.isNull())
        throw std::runtime_error("A tárolt fotó nem olvasható BMP képként !");
    setPicture(image);
}

void PictureBox::setPopupMenu(QMenu* menu) {
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, menu,
            [this, menu](const QPoint& at) { menu->popup(mapToGlobal(at)); });
}

PictureBox::SwitchItems PictureBox::addSwitchItems(QMenu* menu) {
    m_items.centre = addSwitchItem(menu, "Igaztskzpre1", QStringLiteral("Igazítás középre"),
                                   QStringLiteral("Fotó igazítása középre !"));
    m_items.fill = addSwitchItem(menu, "Kitlts1", QStringLiteral("Kitöltés"),
                                 QStringLiteral("Fotó kitöltése az egész mezőre !"));
    // A checkable item has toggled its mark by the time it reports the choice; the switch
    // follows the new mark.
    QAction* centre = m_items.centre;
    QAction* fill = m_items.fill;
    connect(centre, &QAction::triggered, this, [this, centre] { setCentred(centre->isChecked()); });
    connect(fill, &QAction::triggered, this, [this, fill] { setStretched(fill->isChecked()); });
    return m_items;
}

void PictureBox::chooseCentre() {
    m_items.centre->setChecked(!m_items.centre->isChecked());
    setCentred(m_items.centre->isChecked());
}

void PictureBox::chooseFill() {
    m_items.fill->setChecked(!m_items.fill->isChecked());
    setStretched(m_items.fill->isChecked());
}

void PictureBox::showPicture() {
    setScaledContents(m_stretched);
    setAlignment(m_centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    if (m_picture.isNull())
        clear();
    else
        setPixmap(QPixmap::fromImage(m_picture));
}

} // namespace kx

#include "PictureFileDialog.h"

#include "JpegDecoder.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QVBoxLayout>

namespace kx {

namespace {

// The size a picture is needed at in the preview: its own size fitted into the preview's
// square with its proportions kept, never enlarged, at least one pixel each way.
QSize previewTarget(QSize own) {
    const QSize box(PictureFileDialog::kPreviewSide, PictureFileDialog::kPreviewSide);
    if (own.width() <= box.width() && own.height() <= box.height())
        return own;
    const QSize fitted = own.scaled(box, Qt::KeepAspectRatio);
    return {qMax(1, fitted.width()), qMax(1, fitted.height())};
}

} // namespace

QString PictureFileDialog::filter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return QStringLiteral("Képek (%1);;Minden fájl (*)").arg(patterns.join(QLatin1Char(' ')));
}

PictureFileDialog::PictureFileDialog(QWidget* parent, const QString& startPath)
    : QFileDialog(parent, QString(), startPath, filter()) {
    setObjectName(QStringLiteral("OpenPictureDialog1"));
    // The desktop's own dialog could not hold the preview.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);

    auto* pane = new QWidget(this);
    pane->setObjectName(QStringLiteral("PreviewPane"));
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(QStringLiteral("Előnézet"), pane);
    m_preview = new QLabel(pane);
    m_preview->setObjectName(QStringLiteral("PicturePreview"));
    m_preview->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_preview->setAlignment(Qt::AlignCenter);
    // Room for the picture inside the frame.
    const int frame = 2 * m_preview->frameWidth();
    m_preview->setFixedSize(kPreviewSide + frame, kPreviewSide + frame);
    m_size = new QLabel(pane);
    m_size->setObjectName(QStringLiteral("PictureSize"));
    m_size->setAlignment(Qt::AlignCenter);
    column->addWidget(title);
    column->addWidget(m_preview);
    column->addWidget(m_size);
    column->addStretch();
    // Qt's dialog lays out its controls in a grid: the pane goes right of the file list.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(pane, 1, 3);

    connect(this, &QFileDialog::currentChanged, this, &PictureFileDialog::showPreview);
    // A file to start with is selected before the list has been read: show it at once.
    if (QFileInfo(startPath).isFile())
        showPreview(startPath);
}

void PictureFileDialog::showPreview(const QString& path) {
    m_preview->clear();
    m_size->clear();
    if (!QFileInfo(path).isFile())
        return;
    JpegPicture picture;
    try {
        picture = decodeJpegFile(path, &previewTarget);
    } catch (...) {
        return; // no JPEG image, or none that "Betölt" would take: nothing to show
    }
    if (picture.image.isNull())
        return;
    const QImage shown =
        picture.image.size() == previewTarget(picture.size)
            ? picture.image
            : picture.image.scaled(previewTarget(picture.size), Qt::IgnoreAspectRatio,
                                   Qt::SmoothTransformation);
    m_preview->setPixmap(QPixmap::fromImage(shown));
    m_size->setText(
        QStringLiteral("%1 × %2 képpont").arg(picture.size.width()).arg(picture.size.height()));
}

} // namespace kx

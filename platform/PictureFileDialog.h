#pragma once

#include <QFileDialog>

class QLabel;

namespace kx {

// The file-open dialog of "Betölt": Qt's own file dialog (never the desktop's, so that it
// can hold a pane of its own and reads Hungarian with the rest of the program) with a
// preview beside the list. The preview shows the selected file as "Betölt" would load it:
// decoded as a JPEG image by the program's bounded decoder, at no more than the preview's
// size, with the picture's own size below it. A file that is no JPEG image, a folder, or a
// picture too large to load leaves the preview empty.
class PictureFileDialog : public QFileDialog {
    Q_OBJECT
public:
    // startPath: a folder, or a file in the folder to start in, which is then selected.
    PictureFileDialog(QWidget* parent, const QString& startPath);

    // "Képek (*.bmp *.jpeg *.jpg ...);;Minden fájl (*)": the picture types Qt can read.
    static QString filter();
    static constexpr int kPreviewSide = 160;

    QLabel* preview() const {
        return m_preview;
    }
    QLabel* pictureSize() const {
        return m_size;
    }

private:
    void showPreview(const QString& path);

    QLabel* m_preview;
    QLabel* m_size;
};

} // namespace kx

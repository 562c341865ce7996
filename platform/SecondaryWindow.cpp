#include "SecondaryWindow.h"

#include "FormStyle.h"

#include <QKeyEvent>
#include <QShowEvent>

namespace kx {

namespace {

Qt::WindowFlags titleBarFlags(SecondaryWindow::TitleBar titleBar) {
    const Qt::WindowFlags caption = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (titleBar == SecondaryWindow::TitleBar::CaptionOnly)
        return caption;
    return caption | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
           Qt::WindowCloseButtonHint;
}

} // namespace

SecondaryWindow::SecondaryWindow(const QString& objectName, const QString& caption,
                                 QSize clientSize, QWidget* parent, TitleBar titleBar,
                                 EscapeKey escape)
    : QDialog(parent, titleBarFlags(titleBar)), m_escape(escape) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setModal(true);
    applyDialogLook(this, clientSize.width(), clientSize.height());
}

void SecondaryWindow::setFocusOnShowing(QWidget* control) {
    m_focusOnShowing = control;
}

void SecondaryWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A spontaneous show is the window coming back from minimised: nothing is reset then.
    if (!event->spontaneous()) {
        centreOnScreen(this);
        prepareShowing();
        if (m_focusOnShowing)
            m_focusOnShowing->setFocus();
    }
}

void SecondaryWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_escape == EscapeKey::DoesNothing) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kx

#pragma once

#include <QDialog>
#include <QPointer>

namespace kx {

// The base dialog of every secondary window (the editing forms, the browser and the deletion
// form, the statistics window, the about box, the login dialog): a modal dialog of fixed size
// in the common look (platform/FormStyle), centred on the screen at each showing, where
// prepareShowing() resets what it shows and Escape closes nothing unless the window says so.
class SecondaryWindow : public QDialog {
    Q_OBJECT
public:
    // What the title bar holds besides the caption: the system menu, the minimise button and
    // the close box, or nothing.
    enum class TitleBar { CaptionAndButtons, CaptionOnly };
    // What Escape does: nothing (only the window's own buttons and its title bar close it), or
    // close the window like the close box.
    enum class EscapeKey { DoesNothing, Closes };

public slots:
    // Resets what the window shows; runs at every showing, once the window is centred.
    virtual void prepareShowing() = 0;

protected:
    SecondaryWindow(const QString& objectName, const QString& caption, QSize clientSize,
                    QWidget* parent, TitleBar titleBar = TitleBar::CaptionAndButtons,
                    EscapeKey escape = EscapeKey::DoesNothing);

    // The control that takes the focus at every showing, after prepareShowing().
    void setFocusOnShowing(QWidget* control);

    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    EscapeKey m_escape;
    QPointer<QWidget> m_focusOnShowing;
};

} // namespace kx

#pragma once

#include <QObject>

class QAction;
class QWidget;

namespace kx {

// Puts a hint on a control: the part before "|" is its tooltip, the part after it the long
// hint of the main window's status bar; a hint without "|" serves as both. A button that shows
// only a picture takes the short part as its accessible name, so that a screen reader can
// announce it. An empty hint removes both.
void setHint(QWidget* control, const QString& hint);
// The same for a menu item; its menu shows item tooltips.
void setHint(QAction* item, const QString& hint);

// Carries the long hints of every window of the program to one status line. Qt hands a hint
// (a status-tip event) only up to the window that holds the control, so the hints of dialogs
// and popup menus would never leave them; this filter on the application takes each one that
// arises outside the receiver's window and delivers it to the receiver instead.
class StatusHintRouter : public QObject {
public:
    explicit StatusHintRouter(QWidget* receiver);
    ~StatusHintRouter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_receiver;
};

} // namespace kx

#pragma once

class QWidget;
class QLabel;

namespace kx {

// The look shared by the secondary windows: fixed size, Tahoma 8 pt, labels in navy and
// values in blue, centred on the screen.
void applyDialogLook(QWidget* window, int clientWidth, int clientHeight);
void styleFieldLabel(QLabel* label);
void styleValue(QWidget* field);
void centreOnScreen(QWidget* window);

// Enter in a one-line field (or a check box) moves the focus to the next control instead of
// pressing the dialog's default button.
void moveFocusOnEnter(QWidget* field);

} // namespace kx

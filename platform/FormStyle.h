#pragma once

class QDialog;
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

// Enter in the dialog presses only a focused push or tool button, and only that one: no button
// is the dialog's default, so Enter in a field that does not use the key (a read-only text, a
// grid) closes nothing and runs no command.
void enterPressesOnlyFocusedButton(QDialog* dialog);

} // namespace kx

#pragma once

#include <functional>

class QWidget;

namespace kx {

// Runs action on every double click of the left mouse button anywhere in the widget, also
// where it shows nothing (an empty grid, the room below a grid's last row), which the item
// views' own signal leaves out. The widget goes on to handle the click as before.
void onDoubleClick(QWidget* widget, std::function<void()> action);

} // namespace kx

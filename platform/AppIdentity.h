#pragma once

#include <QList>

class QIcon;

namespace kx {

// Names the application for the desktop. Only the application name is set: under X11 the
// toolkit appends " — " and the display name to every title it hands the window system, and
// the windows' captions must reach the title bars exactly as the program writes them.
void applyApplicationIdentity();

// The program's picture, a flying dove in light blue on a transparent ground, in every size
// the program carries (16 to 256 pixels, from the program's resources). The main window
// wears it, and the windows it opens take it from there; the about box shows it too.
QIcon programIcon();
// The sizes it comes in, in pixels each way.
QList<int> programIconSizes();

} // namespace kx

#pragma once

namespace kx {

// Names the application for the desktop. Only the application name is set: under X11 the
// toolkit appends " — " and the display name to every title it hands the window system, and
// the windows' captions must reach the title bars exactly as the program writes them.
void applyApplicationIdentity();

} // namespace kx

#pragma once

namespace kx {

// Puts Qt's own Hungarian texts (the buttons of message boxes, the file and print dialogs)
// into the running application, whatever the desktop's language: the program speaks
// Hungarian throughout. Loaded once however often it is called; false when Qt's translation
// is not installed, and Qt's own texts then stay English.
bool installQtTranslation();

} // namespace kx

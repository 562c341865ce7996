#pragma once

#include <functional>

namespace kx {

class Prompter;

// Every handler runs through here, so no exception reaches Qt's event loop: a silent abort
// is swallowed, text Latin-2 cannot store becomes a warning, anything else the default error
// report with the error's message. Returns true when the command ran to its end.
bool runCommand(Prompter& prompter, const std::function<void()>& command);

} // namespace kx

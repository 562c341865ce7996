#pragma once

#include <QString>
#include <functional>

namespace kx {

class Prompter;

// Every handler runs through here, so no exception reaches Qt's event loop: a silent abort
// is swallowed, text Latin-2 cannot store becomes a warning, anything else the default error
// report with the error's message; a command that does not run to its end leaves the normal
// cursor, set before any of these windows. Returns true when the command ran to its end.
//
// When the outermost command ends with a transaction still open on one of the program's
// connections, the transaction is rolled back (nothing may ride along in it into a later
// COMMIT, and no row may stay locked for other workstations) and the default error report
// says so.
bool runCommand(Prompter& prompter, const std::function<void()>& command);

// Runs after every outermost command, after the check above (tests look at the server).
void setCommandEndObserver(std::function<void()> observer);

// The text of the report of a transaction left open.
QString leftTransactionText();

} // namespace kx

#pragma once

#include <QStringList>

namespace kx {

// The statements that make a new session of the main connection what the program's
// statements expect, whatever the server's own defaults are. Run in this order after every
// connect and every reconnect, so a connection that comes back behaves as the first one did.
// One statement per setting; a setting's reason stands beside it.
QStringList sessionSettingStatements();

} // namespace kx

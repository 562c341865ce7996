#pragma once

#include <QString>
#include <functional>

namespace kx {

class Prompter;

// Runs a lookup that must not escape: a database error becomes the warning box (normally
// "Hiba történt !!!") and counts as not found. Any other error goes on to the caller.
bool guardedLookup(Prompter& prompter, const std::function<bool()>& lookup,
                   const QString& message = QStringLiteral("Hiba történt !!!"));

} // namespace kx

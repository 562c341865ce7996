#pragma once

namespace kx {

class Prompter;
struct SharedData;

// Attaches the connection error hook to the main connection and the three locking-error
// handlers to every table, the settings table included.
void attachErrorHandlers(SharedData& data, Prompter& prompter);

} // namespace kx

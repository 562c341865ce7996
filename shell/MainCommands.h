#pragma once

#include <QLatin1StringView>
#include <vector>

namespace kx {

// The steps the main window's record commands are made of, in the order a command takes
// them. A check or a locate that fails ends the command there (it has said why).
enum class CommandStep {
    Refresh,       // the record table and the record query read again
    Check,         // "Nincs tárolt adatrekord !" when the grid shows no record
    Locate,        // the record table onto the grid's current title
    MenuSearch,    // asks for a phrase and searches the record's text columns
    ToolbarSearch, // the same, and also the stored file's name and type
    Open,          // opens the command's window
};

// The window a command opens at its Open step.
enum class CommandWindow { None, Entry, Modification, Deletion, Browser, Statistics, About };

// One entry point of a command: the object name of the menu item, the toolbar button or the
// grid whose use runs it, the steps in order, and the window it opens.
struct MainCommand {
    QLatin1StringView entryPoint;
    std::vector<CommandStep> steps;
    CommandWindow window = CommandWindow::None;
};

// Every record command of the main window, one row per entry point. The menu runs the
// refresh first; the toolbar checks first and refreshes after; the grid's menu works on what
// the grid shows, without a refresh.
const std::vector<MainCommand>& mainCommands();

} // namespace kx

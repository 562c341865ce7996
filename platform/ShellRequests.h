#pragma once

#include <QString>
#include <QStringList>

namespace kx {

// What the program asks of the desktop shell: to "open" an address in the user's own
// program (browser, mail program), and to start another program. The results are not
// looked at. Windows hold a reference to one of these, so tests can put a recording one
// in its place.
class ShellRequests {
public:
    virtual ~ShellRequests();

    // A web address or a mailto: address, given to the user's default program.
    virtual void open(const QString& address);
    // A program started on its own, without arguments; the program does not wait for it.
    virtual void start(const QString& program);
    // The first of the named programs found on the search path (links followed), as a full
    // path; empty when none is there.
    virtual QString findProgram(const QStringList& names) const;
};

// The real shell, for the program's whole run.
ShellRequests& desktopShell();

} // namespace kx

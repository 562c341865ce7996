#pragma once

#include <QString>
#include <memory>

namespace kx {

class Progress;

// Every window the program shows on its own goes through one Prompter: the five kinds of
// message window, the one-line input dialog and the file dialogs. The real one shows Qt
// dialogs; tests inject a recording one with scripted answers.
class Prompter {
public:
    virtual ~Prompter();

    virtual void warning(const QString& text) = 0;     // "Figyelem:", OK
    virtual bool question(const QString& text) = 0;    // "Figyelem:", Yes/No; true on Yes
    virtual void result(const QString& text) = 0;      // "Eljárás:", OK
    virtual void notice(const QString& text) = 0;      // application title, OK
    virtual void errorReport(const QString& text) = 0; // application title, OK, error icon

    // One-line input; returns the typed text, or a null text when cancelled (an accepted empty
    // field gives an empty text that is not null, so callers can tell the two apart).
    virtual QString input(const QString& caption, const QString& prompt,
                          const QString& defaultText) = 0;
    // File dialogs; an empty result means cancelled.
    virtual QString openFile(const QString& title, const QString& startPath) = 0;
    virtual QString openPicture(const QString& startPath) = 0;
    virtual QString saveFile(const QString& folder, const QString& proposedName) = 0;

    // Long work (total in the work's own units): a window with text, how far the work is and
    // a "Mégse" button, shown once the work has run for half a second. The default shows
    // nothing and never cancels.
    virtual std::unique_ptr<Progress> progress(const QString& text, qint64 total);
};

QString applicationTitle(); // "Kartotex"

} // namespace kx

#include "CommandRunner.h"

#include "Prompter.h"
#include "ScreenCursor.h"
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "data/text/TextEncodingError.h"

#include <exception>

namespace kx {

namespace {

int depth = 0; // commands run inside a command (a form's showing inside the menu's command)
std::function<void()> endObserver;

// A last line of defence behind the owners of the transactions: none may outlive a command.
bool rollBackLeftTransactions() {
    bool any = false;
    for (MariaConnection* conn : MariaConnection::openedOnThisThread()) {
        if (!conn->inTransaction())
            continue;
        conn->rollbackQuietly();
        any = true;
    }
    return any;
}

bool runGuarded(Prompter& prompter, const std::function<void()>& command);

} // namespace

void setCommandEndObserver(std::function<void()> observer) {
    endObserver = std::move(observer);
}

QString leftTransactionText() {
    return QStringLiteral(
        "A művelet befejezetlen adatbázis-tranzakciót hagyott maga után; a benne végzett "
        "változásokat visszavontuk.");
}

bool runCommand(Prompter& prompter, const std::function<void()>& command) {
    ++depth;
    const bool ran = runGuarded(prompter, command);
    if (--depth > 0)
        return ran;
    if (rollBackLeftTransactions()) {
        ScreenCursor::set(CursorShape::Default);
        prompter.errorReport(leftTransactionText());
    }
    if (endObserver)
        endObserver();
    return ran;
}

namespace {

bool runGuarded(Prompter& prompter, const std::function<void()>& command) {
    // A failed command may have left the busy cursor on; the window comes with the normal one.
    const auto report = [&prompter](const QString& text) {
        ScreenCursor::set(CursorShape::Default);
        prompter.errorReport(text);
    };
    try {
        command();
        return true;
    } catch (const SilentAbort&) {
        // Whoever aborted has already said what there was to say and reset the cursor.
    } catch (const TextEncodingError& e) {
        ScreenCursor::set(CursorShape::Default);
        prompter.warning(e.userMessage());
    } catch (const DbError& e) {
        report(e.message());
    } catch (const std::exception& e) {
        report(QString::fromUtf8(e.what()));
    } catch (...) {
        report(QStringLiteral("Ismeretlen hiba"));
    }
    return false;
}

} // namespace

} // namespace kx

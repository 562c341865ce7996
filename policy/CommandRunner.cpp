#include "CommandRunner.h"

#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "data/text/TextEncodingError.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"

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

// What a command that ends early shows: nothing after a silent abort (whoever aborted has
// said what there was to say), a warning for text Latin-2 cannot store, the default error
// report for anything else. Whatever ended it, the normal cursor comes back first.
bool runGuarded(Prompter& prompter, const std::function<void()>& command) {
    std::function<void()> ending;
    const auto report = [&prompter, &ending](const QString& text) {
        ending = [&prompter, text] { prompter.errorReport(text); };
    };
    try {
        command();
        return true;
    } catch (const SilentAbort&) {
    } catch (const TextEncodingError& e) {
        ending = [&prompter, text = e.userMessage()] { prompter.warning(text); };
    } catch (const DbError& e) {
        report(e.message());
    } catch (const std::exception& e) {
        report(QString::fromUtf8(e.what()));
    } catch (...) {
        report(QStringLiteral("Ismeretlen hiba"));
    }
    ScreenCursor::set(CursorShape::Default);
    if (ending)
        ending();
    return false;
}

} // namespace

} // namespace kx

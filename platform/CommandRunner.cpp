#include "CommandRunner.h"

#include "Prompter.h"
#include "ScreenCursor.h"
#include "data/DbError.h"

#include <exception>

namespace kx {

bool runCommand(Prompter& prompter, const std::function<void()>& command) {
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

} // namespace kx

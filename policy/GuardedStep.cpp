#include "GuardedStep.h"

#include "data/sql/DbError.h"
#include "platform/Prompter.h"

namespace kx {

bool guardedLookup(Prompter& prompter, const std::function<bool()>& lookup,
                   const QString& message) {
    try {
        return lookup();
    } catch (const DbError&) {
        prompter.warning(message);
        return false;
    }
}

} // namespace kx

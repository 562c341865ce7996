#include "data/sql/SessionSettings.h"

namespace kx {

QStringList sessionSettingStatements() {
    return {
        // A fixed statement mode: the literal and like-pattern rules (backslash escapes),
        // apostrophe-quoted strings, unpadded values and the grouped counts then mean the same
        // on every server, whatever mode its administrator chose (NO_BACKSLASH_ESCAPES,
        // ANSI_QUOTES, PAD_CHAR_TO_FULL_LENGTH, PIPES_AS_CONCAT, EMPTY_STRING_IS_NULL, ORACLE,
        // ...). Strict: a value too long for its column is refused, never cut silently.
        QStringLiteral("SET SESSION sql_mode = "
                       "'STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_ENGINE_SUBSTITUTION'"),
        // How long a statement waits for a row or table lock that another workstation holds
        // before it fails and the retry question appears. The window does not answer while it
        // waits, so the program sets its own short wait rather than the server's (50 s by
        // default): a few seconds, below the desktop's check that marks a window as not
        // responding.
        QStringLiteral("SET SESSION innodb_lock_wait_timeout = 3"),
    };
}

} // namespace kx

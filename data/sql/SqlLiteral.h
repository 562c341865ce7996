#pragma once

#include <QString>

namespace kx {

// Makes text an SQL string literal: enclosed in apostrophes, apostrophes doubled, and
// backslashes (and NUL) escaped, because the server reads a backslash inside a literal as an
// escape character. Whatever the text holds, it cannot end the literal or add to a statement.
// "%" and "_" are left alone, so they still work as wildcards in a like pattern.
QString sqlLiteral(const QString& text);

// True for a bare identifier the server takes unquoted: ASCII letters and digits, "_", "$"
// and the letters beyond ASCII that Latin-2 holds; not all digits.
bool isBareIdentifier(const QString& name);

} // namespace kx

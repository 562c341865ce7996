#pragma once

#include <QString>

namespace kx {

// The length of text as a Latin-2 column counts it: one byte a character. A text Latin-2
// cannot hold is counted in its composed form; the store refuses it on its own.
qsizetype storedLength(const QString& text);

} // namespace kx

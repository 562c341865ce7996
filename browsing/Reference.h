#pragma once

#include <QString>

namespace kx {

// What a record's reference (HIV) is to the browser: a web address to open, a term to search
// the records for, or nothing.
enum class ReferenceKind { WebAddress, SearchTerm, Blank };

// A web address is longer than 7 characters and begins with exactly "http://" or "https:/"
// (letter case counts); other text that is not blank is a search term.
ReferenceKind referenceKind(const QString& reference);

// The reference field's hint for each kind, "short|long"; empty for a blank reference.
QString referenceHint(ReferenceKind kind);

} // namespace kx

#pragma once

#include "data/sql/DbError.h"

#include <QByteArray>
#include <optional>
#include <vector>

typedef struct st_mysql MYSQL;

namespace kx {

// The answer to a statement whose answer is small by nature (session settings, a variable,
// a probe): read row by row as it arrives, never held whole, and given up past a bound, so
// that a server that keeps sending cannot make the program's memory grow with it.
struct SmallAnswer {
    static constexpr qsizetype kMaxRows = 1000;
    static constexpr qsizetype kMaxBytes = 1024 * 1024;

    std::vector<std::optional<QByteArray>> firstRow; // empty when no row came
    std::optional<DbError> error;                    // the read failed, or broke the bound
    // The answer went past the bound and was not read to its end: the connection is in the
    // middle of an answer and must be closed, never used again.
    bool abandoned = false;

    // Reads the answer to the statement just sent on mysql (none for a statement without
    // rows).
    static SmallAnswer read(MYSQL* mysql);
    // The error of an answer past the bound, in the user's words.
    static DbError tooLarge();
};

} // namespace kx

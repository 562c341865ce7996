#pragma once

#include <QString>
#include <stdexcept>

namespace kx {

// The one family of failures of the record store and the settings store. Carries the
// server's (or SQLite's) own message text, which the error hook and the default error report
// show unchanged.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message, unsigned code = 0);
    QString message() const;
    unsigned code() const;

private:
    unsigned m_code;
};

// Ends the current command without any window. Not a DbError: guards never catch it.
class SilentAbort {};

} // namespace kx

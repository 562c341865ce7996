#pragma once

#include <QString>
#include <stdexcept>

namespace kx {

// Text that Latin-2 cannot store. Raised before anything is sent, so it is never mistaken
// for a lock and nothing typed is lost: the command ends with a clear warning.
class TextEncodingError : public std::runtime_error {
public:
    TextEncodingError(const QString& text, const QString& offending);
    QString offending() const;
    QString userMessage() const;

private:
    QString m_offending;
};

} // namespace kx

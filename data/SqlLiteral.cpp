#include "SqlLiteral.h"

namespace kx {

QString sqlLiteral(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('\'');
    for (QChar c : text) {
        if (c == QLatin1Char('\''))
            out += QLatin1String("''");
        else if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c.unicode() == 0)
            out += QLatin1String("\\0");
        else
            out += c;
    }
    out += QLatin1Char('\'');
    return out;
}

bool isBareIdentifier(const QString& name) {
    if (name.isEmpty())
        return false;
    bool allDigits = true;
    for (QChar c : name) {
        const bool ascii = c.unicode() < 128;
        if (!(ascii && (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'))))
            return false;
        if (!c.isDigit())
            allDigits = false;
    }
    return !allDigits;
}

} // namespace kx

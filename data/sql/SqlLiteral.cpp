#include "data/sql/SqlLiteral.h"

#include "data/text/Latin2.h"

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
        // ASCII letters and digits, "_" and "$", and the letters beyond ASCII that Latin-2
        // holds ("é", "ő", "Ł"): all of them the server takes in a name without quotes. No
        // blank, quote, backtick, semicolon, slash, sign or control character can pass.
        const bool ascii = c.unicode() < 128;
        const bool asciiWord =
            ascii && (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'));
        // The server's Latin-2 table does not count "Đ" and "ß" as name characters, nor the
        // caron "ˇ" (a modifier, not a letter of a word): those stay refused.
        const bool wordLetter =
            c.category() == QChar::Letter_Uppercase || c.category() == QChar::Letter_Lowercase;
        const bool latin2Letter = !ascii && wordLetter && c != QChar(0x0110) &&
                                  c != QChar(0x00DF) && latin2::canEncode(QString(c));
        if (!asciiWord && !latin2Letter)
            return false;
        if (!c.isDigit())
            allDigits = false;
    }
    return !allDigits;
}

} // namespace kx

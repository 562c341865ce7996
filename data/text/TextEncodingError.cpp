#include "data/text/TextEncodingError.h"

#include "data/text/Latin2.h"

#include <QStringList>

namespace kx {

namespace {

// A character shown between Hungarian quotes; invisible ones as their code so the user can
// find them in the text.
QString showable(const QString& ch) {
    const char32_t cp = ch.size() == 2 ? QChar::surrogateToUcs4(ch.at(0), ch.at(1))
                                       : char32_t(ch.isEmpty() ? 0 : ch.at(0).unicode());
    const auto cat = QChar::category(cp);
    const bool invisible = cat == QChar::Other_Control || cat == QChar::Other_Format ||
                           cat == QChar::Separator_Space || cat == QChar::Separator_Line ||
                           cat == QChar::Separator_Paragraph || cat == QChar::Other_Surrogate ||
                           cat == QChar::Other_NotAssigned || cat == QChar::Other_PrivateUse ||
                           cat == QChar::Mark_NonSpacing || cat == QChar::Mark_Enclosing;
    if (invisible)
        return QStringLiteral("U+%1").arg(uint(cp), 4, 16, QLatin1Char('0')).toUpper();
    return ch;
}

// Splits text into characters, keeping surrogate pairs together.
QStringList characters(const QString& text) {
    QStringList out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() &&
            text.at(i + 1).isLowSurrogate()) {
            out << text.mid(i, 2);
            ++i;
        } else {
            out << text.mid(i, 1);
        }
    }
    return out;
}

QString encodingMessage(const QString& offending) {
    const QStringList chars = characters(offending);
    QStringList quoted;
    for (const QString& ch : chars)
        quoted << QStringLiteral("„%1”").arg(showable(ch));
    const QString list = quoted.join(QStringLiteral(", "));
    if (chars.size() > 1)
        return QStringLiteral("A szöveg olyan karaktereket tartalmaz, amelyeket az adatbázis "
                              "(Latin-2) nem tud tárolni: %1. Kérem, javítsa !")
            .arg(list);
    return QStringLiteral("A szöveg olyan karaktert tartalmaz, amelyet az adatbázis (Latin-2) "
                          "nem tud tárolni: %1. Kérem, javítsa !")
        .arg(list);
}

} // namespace

TextEncodingError::TextEncodingError(const QString& text, const QString& offending)
    : std::runtime_error(
          encodingMessage(offending.isEmpty() ? latin2::unrepresentable(text) : offending)
              .toUtf8()
              .toStdString()),
      m_offending(offending.isEmpty() ? latin2::unrepresentable(text) : offending) {}

QString TextEncodingError::offending() const {
    return m_offending;
}

QString TextEncodingError::userMessage() const {
    return encodingMessage(m_offending);
}

} // namespace kx

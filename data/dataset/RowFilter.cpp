#include "data/dataset/RowFilter.h"

#include "data/sql/DbError.h"

#include <QRegularExpression>

namespace kx {

RowFilter RowFilter::parse(const QString& text) {
    RowFilter f;
    if (text.trimmed().isEmpty())
        return f;
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*(\w+)\s*(<=|>=|<>|=|<|>)\s*(.*?)\s*$)"),
        QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+(\.\d*)?|\.\d+)$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        throw DbError(QStringLiteral("A szűrő nem értelmezhető: %1").arg(text));
    f.field = m.captured(1);
    f.op = m.captured(2);
    const QString literal = m.captured(3);
    if (number.match(literal).hasMatch()) {
        f.numeric = true;
        f.value = literal;
        return f;
    }
    // An SQL string literal: enclosed in apostrophes, an apostrophe inside is doubled.
    bool valid = literal.size() >= 2 && literal.startsWith(QLatin1Char('\'')) &&
                 literal.endsWith(QLatin1Char('\''));
    QString value;
    for (qsizetype i = 1; valid && i < literal.size() - 1; ++i) {
        const QChar c = literal.at(i);
        if (c == QLatin1Char('\'')) {
            if (i + 1 < literal.size() - 1 && literal.at(i + 1) == QLatin1Char('\''))
                ++i;
            else
                valid = false;
        }
        value += c;
    }
    if (!valid)
        throw DbError(QStringLiteral("A szűrő nem értelmezhető: %1").arg(text));
    f.value = value;
    return f;
}

} // namespace kx

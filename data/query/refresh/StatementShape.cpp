#include "data/query/refresh/StatementShape.h"

#include <QRegularExpression>

namespace kx {

namespace {

// "select * from <table>" followed by nothing, or by a clause: the only shape whose `*` the
// layer narrows. Anything else (joins, aliases, explicit lists) runs exactly as written.
const QRegularExpression& selectStarPattern() {
    static const QRegularExpression re(
        QStringLiteral(
            R"(^\s*select\s+(\*)\s+from\s+(\w+)(?=\s*$|\s*;|\s+(?:where|order|group|having|limit)\b))"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

// The text outside quotes: every quoted part ('…', "…", `…`, with their doubled quotes and
// backslash escapes) becomes one blank. Empty when a quote is left open.
QString withoutQuoted(const QString& sql) {
    QString out;
    out.reserve(sql.size());
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (c != QLatin1Char('\'') && c != QLatin1Char('"') && c != QLatin1Char('`')) {
            out += c;
            continue;
        }
        bool closed = false;
        for (++i; i < sql.size(); ++i) {
            if (sql.at(i) == QLatin1Char('\\') && c != QLatin1Char('`')) {
                ++i;
            } else if (sql.at(i) == c) {
                if (i + 1 < sql.size() && sql.at(i + 1) == c) {
                    ++i;
                } else {
                    closed = true;
                    break;
                }
            }
        }
        if (!closed)
            return QString();
        out += QLatin1Char(' ');
    }
    return out;
}

// Plain words of a statement over one table whose rows depend on that table alone.
bool isPlainWord(const QString& word) {
    static const QStringList words{
        QStringLiteral("select"), QStringLiteral("from"),    QStringLiteral("where"),
        QStringLiteral("order"),  QStringLiteral("by"),      QStringLiteral("asc"),
        QStringLiteral("desc"),   QStringLiteral("like"),    QStringLiteral("or"),
        QStringLiteral("and"),    QStringLiteral("not"),     QStringLiteral("is"),
        QStringLiteral("null"),   QStringLiteral("in"),      QStringLiteral("between"),
        QStringLiteral("escape"), QStringLiteral("binary"),  QStringLiteral("true"),
        QStringLiteral("false"),  QStringLiteral("collate"), QStringLiteral("xor")};
    return words.contains(word, Qt::CaseInsensitive);
}

bool dependsOnTableAlone(const QString& bare, const QString& table, const QStringList& columns) {
    // Variables, placeholders and comments are not plain.
    static const QRegularExpression other(QStringLiteral(R"([@?#{}\[\]]|--|/\*)"));
    if (other.match(bare).hasMatch())
        return false;
    static const QRegularExpression word(QStringLiteral(R"([A-Za-z_][A-Za-z0-9_$]*|\d+\.?\d*)"));
    qsizetype selects = 0;
    for (auto it = word.globalMatch(bare); it.hasNext();) {
        const QString w = it.next().captured(0);
        if (w.front().isDigit())
            continue;
        if (w.compare(QLatin1String("select"), Qt::CaseInsensitive) == 0)
            ++selects;
        if (isPlainWord(w) || w.compare(table, Qt::CaseSensitive) == 0 ||
            columns.contains(w, Qt::CaseInsensitive))
            continue;
        return false; // a function, another table, a clause that changes the rows
    }
    return selects == 1;
}

} // namespace

QString StatementShape::tableOf(const QString& sql) {
    const auto m = selectStarPattern().match(sql);
    return m.hasMatch() ? m.captured(2) : QString();
}

StatementShape StatementShape::parse(const QString& sql, const QStringList& columns) {
    StatementShape s;
    const auto m = selectStarPattern().match(sql);
    if (!m.hasMatch())
        return s;
    s.table = m.captured(2);
    s.starBegin = m.capturedStart(1);
    s.starEnd = m.capturedEnd(1);
    const QString bare = withoutQuoted(sql);
    if (bare.isEmpty() || columns.isEmpty())
        return s;
    s.readsTableOnly = dependsOnTableAlone(bare, s.table, columns);
    if (!s.readsTableOnly)
        return s;
    static const QRegularExpression order(
        QStringLiteral(R"(\border\s+by\s+(\w+)(?:\s+(asc|desc))?\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto o = order.match(bare);
        o.hasMatch() && columns.contains(o.captured(1), Qt::CaseInsensitive)) {
        s.orderColumn = o.captured(1);
        s.descending = o.captured(2).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
    }
    return s;
}

QString StatementShape::withColumns(const QString& sql, const QString& list) const {
    return sql.left(starBegin) + list + sql.mid(starEnd);
}

} // namespace kx

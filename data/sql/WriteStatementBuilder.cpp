#include "data/sql/WriteStatementBuilder.h"

#include <QVariant>

namespace kx {

ValueKind valueKind(const QVariant& value) {
    if (value.isNull())
        return ValueKind::Null;
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        return ValueKind::Bytes;
    case QMetaType::Double:
    case QMetaType::Float:
        return ValueKind::Real;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Long:
    case QMetaType::Short:
        return ValueKind::Integer;
    default:
        return ValueKind::Text;
    }
}

WriteStatementBuilder::WriteStatementBuilder(Dialect dialect) : m_dialect(dialect) {}

QString WriteStatementBuilder::quote(const QString& name) const {
    const QChar mark = m_dialect == Dialect::MariaDb ? QLatin1Char('`') : QLatin1Char('"');
    QString n = name;
    n.replace(mark, QString(2, mark));
    return mark + n + mark;
}

QString WriteStatementBuilder::quotedList(const QStringList& columns, const QString& suffix) const {
    QStringList parts;
    for (const QString& c : columns)
        parts << quote(c) + suffix;
    return parts.join(QLatin1Char(','));
}

QString WriteStatementBuilder::insert(const QString& table, const QStringList& columns) const {
    if (columns.isEmpty() && m_dialect == Dialect::Sqlite)
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quote(table));
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quote(table), quotedList(columns, QString()), marks.join(QLatin1Char(',')));
}

QString WriteStatementBuilder::update(const QString& table, const QStringList& columns,
                                      const QString& key) const {
    return QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
        .arg(quote(table), quotedList(columns, QStringLiteral(" = ?")), quote(key));
}

} // namespace kx

#include "data/query/QueryPlanner.h"

#include "data/query/refresh/RowDelta.h"
#include "data/query/refresh/StatementShape.h"
#include "data/sql/MariaConnection.h"
#include "data/sql/MariaStatement.h"

#include <algorithm>

namespace kx {

namespace {

// Tables of this many rows (by the server's estimate) are read whole along with the first
// screen of a statement instead of after it.
constexpr qint64 kReadAlongFrom = 5000;

QString q(const QString& name) {
    return MariaStatement::quoteIdentifier(name);
}

} // namespace

QString QueryPlan::firstScreenStatement() const {
    QString limited = statement.trimmed();
    while (limited.endsWith(QLatin1Char(';')))
        limited.chop(1);
    return limited + QStringLiteral(" LIMIT %1").arg(firstScreen);
}

QueryPlanner::QueryPlanner(MariaConnection& conn) : m_conn(conn) {}

QueryPlanner::~QueryPlanner() = default;

QueryPlan QueryPlanner::plan(const QString& clientSort, bool clientFilter) {
    QueryPlan plan;
    plan.statement = m_sql;
    plan.keyField = m_keyField;
    const QString table = StatementShape::tableOf(m_sql);
    if (!table.isEmpty() && !m_keyField.isEmpty() && !m_deferredFields.isEmpty())
        narrow(plan, table);
    const bool firstScreen = m_firstScreen > 0 && plan.probeable && !clientFilter &&
                             (clientSort.isEmpty() || plan.shape.findColumn(clientSort) < 0);
    if (firstScreen) {
        plan.firstScreen = m_firstScreen;
        plan.readAlong = plan.verified.rows.value_or(0) >= kReadAlongFrom;
    }
    return plan;
}

RefreshStep QueryPlanner::refreshStep(const QueryPlan& plan, const RowSet& rows) {
    RefreshStep step;
    if (!plan.probeable || rows.table.isEmpty())
        return step;
    step.now = probeTable(rows.table);
    if (TableChangeProbe::unchangedSince(plan.verified, step.now)) {
        step.kind = RefreshStep::Kind::Unchanged;
        return step;
    }
    if (!plan.order)
        return step;
    if (step.now.created != plan.verified.created) { // made anew: its columns may differ too
        forgetTable(rows.table);
        return step;
    }
    step.kind = RefreshStep::Kind::ByChanges;
    step.maxChanges = std::max(1000, int(rows.order.size()) / 20);
    return step;
}

void QueryPlanner::forgetTable(const QString& table) {
    m_tableColumns.remove(table);
    m_orders.clear();
}

bool QueryPlanner::isDeferredName(const QString& name) const {
    return m_deferredFields.contains(name, Qt::CaseInsensitive);
}

// Narrows the statement when its table has the key column and a deferred one. Only the `*`
// is replaced: the rest of the statement stays as the caller wrote it.
void QueryPlanner::narrow(QueryPlan& plan, const QString& table) {
    const std::vector<ResultColumn> cols = learnTable(table);
    bool hasKey = false, hasDeferred = false;
    QStringList names;
    for (const ResultColumn& c : cols) {
        if (c.name.compare(m_keyField, Qt::CaseInsensitive) == 0 && !isDeferredName(c.name))
            hasKey = true;
        if (isDeferredName(c.name))
            hasDeferred = true;
        names << c.name;
    }
    if (!hasKey || !hasDeferred)
        return;
    const StatementShape shape = StatementShape::parse(m_sql, names);
    RowSet& rows = plan.shape;
    QStringList visible;
    int slot = 0;
    for (ResultColumn c : cols) {
        c.deferred = isDeferredName(c.name);
        if (!c.deferred) {
            visible << q(c.name);
            c.slot = slot++;
        }
        if (c.name.compare(m_keyField, Qt::CaseInsensitive) == 0)
            rows.keyColumn = int(rows.columns.size());
        rows.columns.push_back(c);
    }
    rows.table = table;
    rows.store = RowStore(slot);
    plan.probeable = shape.readsTableOnly;
    if (plan.probeable && !shape.orderColumn.isEmpty())
        plan.order = orderOf(rows, shape.orderColumn, shape.descending);
    QString list = visible.join(QStringLiteral(", "));
    if (plan.order) // each row with its digest, by which a refresh tells what changed
        list += QStringLiteral(", ") + RowDelta::digestExpression(visible) +
                QStringLiteral(" AS ") + RowDelta::digestAlias();
    plan.statement = shape.withColumns(m_sql, list);
    if (plan.probeable) // before the rows: a change after this is seen next time
        plan.verified = probeTable(table);
}

const std::vector<ResultColumn>& QueryPlanner::learnTable(const QString& table) {
    forgetAllOfOtherSession();       // a new connection may see another schema
    const QString& cacheKey = table; // table names are case-sensitive on most servers
    if (const auto it = m_tableColumns.constFind(cacheKey); it != m_tableColumns.constEnd())
        return *it;
    MariaStatement columnsProbe(m_conn, QStringLiteral("select * from ") + q(table) +
                                            QStringLiteral(" limit 0"));
    columnsProbe.executeText();
    std::vector<ResultColumn> cols;
    for (const MariaStatement::Column& c : columnsProbe.columns())
        cols.push_back(resultColumnOf(c));
    columnsProbe.finish();
    forgetAllOfOtherSession(); // the probe made the connection again
    return *m_tableColumns.insert(cacheKey, std::move(cols));
}

void QueryPlanner::forgetAllOfOtherSession() {
    if (m_learntSession == m_conn.session())
        return;
    m_tableColumns.clear();
    m_orders.clear();
    m_learntSession = m_conn.session();
}

std::optional<StatementOrder> QueryPlanner::orderOf(const RowSet& shape, const QString& column,
                                                    bool descending) {
    const QString orderKey = shape.table + QLatin1Char('\n') + column.toUpper() +
                             (descending ? QStringLiteral(" desc") : QString());
    auto it = m_orders.find(orderKey);
    if (it == m_orders.end())
        it = m_orders.insert(orderKey, StatementOrder::learn(m_conn, shape, column, descending));
    return *it;
}

TableChangeProbe::Stamp QueryPlanner::probeTable(const QString& table) {
    if (!m_probe || m_probe->table() != table)
        m_probe = std::make_unique<TableChangeProbe>(m_conn, table);
    return m_probe->read();
}

} // namespace kx

#pragma once

#include "data/query/refresh/StatementOrder.h"
#include "data/query/refresh/TableChangeProbe.h"
#include "data/rows/RowSet.h"

#include <QHash>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace kx {

class MariaConnection;

// How a statement is read: the text sent, the shape of its rows, and what a refresh of them
// may rely on. Kept with the rows in hand for as long as they are.
struct QueryPlan {
    // As run: for a "select * ..." of a table with the key column, the `*` replaced by the
    // columns that are not deferred, and the digest of each row when it has one; else the
    // statement as written.
    QString statement;
    // No rows. For a narrowed statement its columns (deferred ones included), table and key
    // column; else empty, and the result's own columns are taken.
    RowSet shape;
    QString keyField; // names the key among a result's own columns
    // The table's change time tells whether the rows changed (the rows depend on it alone).
    bool probeable = false;
    std::optional<StatementOrder> order; // set when changed rows can be put in place
    TableChangeProbe::Stamp verified;    // taken before the rows were read
    // Rows read at once, the rest then read on the reading worker's connection; 0: the whole
    // result at once.
    int firstScreen = 0;
    bool readAlong = false; // the worker starts before the first screen (a large table)

    bool narrowed() const {
        return !shape.table.isEmpty();
    }
    bool digested() const {
        return order.has_value();
    }
    // The columns the server's answer to statement has.
    int resultColumns() const {
        return shape.store.width() + (digested() ? 1 : 0);
    }
    QString firstScreenStatement() const; // statement, limited to the first screen
};

// What a refresh of the rows in hand costs.
struct RefreshStep {
    enum class Kind {
        Unchanged, // the server says the table is surely unchanged: nothing is read
        ByChanges, // only the rows whose key or digest differ are read (see RowDelta)
        Whole,     // the statement is read again
    };
    Kind kind = Kind::Whole;
    TableChangeProbe::Stamp now; // the table's stamp, taken before any row is compared
    int maxChanges = 0;          // ByChanges: more differing rows than this read it whole
};

// Plans the reading of a query's statement: which columns travel with the rows and which
// stay on the server until asked for, whether the first rows come at once and the rest
// later, and how a refresh finds what changed. What it learns of a table (its columns, the
// order of a column) is kept for the connection's session.
class QueryPlanner {
public:
    explicit QueryPlanner(MariaConnection& conn);
    ~QueryPlanner();
    QueryPlanner(const QueryPlanner&) = delete;
    QueryPlanner& operator=(const QueryPlanner&) = delete;

    void setSql(const QString& sql) {
        m_sql = sql;
    }
    QString sql() const {
        return m_sql;
    }
    void setKeyField(const QString& field) {
        m_keyField = field;
    }
    void setDeferredFields(const QStringList& fields) {
        m_deferredFields = fields;
    }
    void setFirstScreen(int rows) {
        m_firstScreen = rows;
    }

    // The plan of the statement now; asks the server about the table when it is not known
    // yet, and for its change stamp. A first screen only when the rows come in the
    // statement's own order and all of them are shown: no client sort on one of the result's
    // columns (clientSort), no local filter in force (clientFilter).
    QueryPlan plan(const QString& clientSort, bool clientFilter);
    // How to refresh rows read by plan; asks the server for the table's stamp.
    RefreshStep refreshStep(const QueryPlan& plan, const RowSet& rows);
    // The table may have changed: what is known of it is learnt again next time.
    void forgetTable(const QString& table);

private:
    bool isDeferredName(const QString& name) const;
    void narrow(QueryPlan& plan, const QString& table);
    const std::vector<ResultColumn>& learnTable(const QString& table);
    void forgetAllOfOtherSession();
    std::optional<StatementOrder> orderOf(const RowSet& shape, const QString& column,
                                          bool descending);
    TableChangeProbe::Stamp probeTable(const QString& table);

    MariaConnection& m_conn;
    QString m_sql;
    QString m_keyField;
    QStringList m_deferredFields;
    int m_firstScreen = 0;
    // Column lists of tables, and the orders of their columns (by table, column and
    // direction), learnt once per session of the connection.
    QHash<QString, std::vector<ResultColumn>> m_tableColumns;
    QHash<QString, std::optional<StatementOrder>> m_orders;
    quint64 m_learntSession = 0;
    std::unique_ptr<TableChangeProbe> m_probe; // of the table last read
};

} // namespace kx

#pragma once

#include <QString>
#include <array>
#include <optional>

namespace kx {

class MariaConnection;
struct RowSet;

// The order of a statement's rows by one column ("order by <column> [asc|desc]") as the server
// sorts them, for placing the rows a refresh brings among the ones the client holds: numbers
// by value, text by the column's collation (its weight of every character, learnt from the
// server once), NULL first (last when descending). Equal values go by key.
class StatementOrder {
public:
    // nullopt when the client cannot compare as the server does: a character set of more
    // than one byte a character, or a server that cannot tell the weights.
    static std::optional<StatementOrder> learn(MariaConnection& conn, const RowSet& rows,
                                               const QString& column, bool descending);
    // Whether stored row a comes before stored row b.
    bool before(const RowSet& rows, int a, int b) const;

private:
    bool learnWeights(MariaConnection& conn, const QString& charset, const QString& collation);
    int compareValues(const RowSet& rows, int a, int b) const;
    int m_column = -1;
    bool m_numeric = false;
    bool m_descending = false;
    bool m_padSpace = true; // trailing blanks do not count
    std::array<unsigned char, 256> m_weights{};
};

} // namespace kx

#pragma once

#include <QString>

namespace kx {

// A simple local row filter: "<field> <op> <literal>", op one of = <> < > <= >=, the literal
// a number or an SQL string literal ('' for the empty string). Empty text: no filter.
struct RowFilter {
    QString field;
    QString op;
    QString value;
    bool numeric = false;
    bool isEmpty() const {
        return field.isEmpty();
    }
    static RowFilter parse(const QString& text); // throws DbError on text it cannot read
};

} // namespace kx

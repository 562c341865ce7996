#pragma once

#include <QString>

namespace kx {

// A column of a query's result as the client keeps it.
struct ResultColumn {
    QString name;
    bool numeric = false;
    bool binary = false;
    bool deferred = false;  // not fetched with the rows; read by key for the current row
    int slot = -1;          // index among the stored cells of a row; -1 when deferred
    unsigned collation = 0; // the server's collation number of the values
};

} // namespace kx

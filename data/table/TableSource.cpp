#include "data/table/TableSource.h"

#include "data/sql/MariaConnection.h"

namespace kx {

void TableSource::failRowNotFound() const {
    conn.fail(QStringLiteral(
        "Az adatrekord nem található, vagy másik felhasználó időközben módosította."));
}

} // namespace kx

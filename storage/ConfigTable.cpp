#include "ConfigTable.h"

#include "data/sql/DbError.h"
#include "data/sql/SqliteConnection.h"

#include <QFile>
#include <QFileInfo>

namespace kx {

QByteArray ConfigTable::declaration() {
    QFile file(QStringLiteral(":/storage/ConfigTable.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("A beállítási tábla leírása hiányzik a programból."));
    return file.readAll();
}

void ConfigTable::addToNewFile(SqliteConnection& connection) {
    if (QFileInfo(connection.database()).isSymLink() || !connection.holdsNothing())
        return;
    connection.execute(declaration());
}

} // namespace kx

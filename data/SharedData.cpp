#include "SharedData.h"

namespace kx {

SharedData::SharedData()
    : recordQuery(recordStore), probeQuery(recordStore),
      recordTable(recordStore, QStringLiteral("tbl_Data")),
      typeTable(recordStore, QStringLiteral("tbl_Tip")),
      categoryTable(recordStore, QStringLiteral("tbl_Kat")),
      resultTable(recordStore, QStringLiteral("tbl_Tmp")),
      configTable(settingsDb, QStringLiteral("tbl_Config")), scriptRunner(recordStore) {
    recordQuery.setSql(initialRecordSql());
    // The grid never shows these; they are read for the current record when asked for.
    const QStringList deferred{QStringLiteral("KSZO"), QStringLiteral("LEIRAS"),
                               QStringLiteral("FOTO"), QStringLiteral("FILE")};
    // A record whose write lost its connection is recognised by its exact title.
    recordTable.setNewRowIdentity({QStringLiteral("CIM")});
    recordQuery.setKeyField(QStringLiteral("AZ"));
    recordQuery.setDeferredFields(deferred);
    probeQuery.setKeyField(QStringLiteral("AZ"));
    probeQuery.setDeferredFields(deferred);
}

QString SharedData::initialRecordSql() {
    return QStringLiteral("Select * from tbl_Data order by CIM");
}

} // namespace kx

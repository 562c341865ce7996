#include "data/records/SharedData.h"

#include "data/records/Columns.h"

namespace kx {

SharedData::SharedData()
    : recordQuery(recordStore), probeQuery(recordStore),
      recordTable(recordStore, QStringLiteral("tbl_Data")),
      typeTable(recordStore, QStringLiteral("tbl_Tip")),
      categoryTable(recordStore, QStringLiteral("tbl_Kat")),
      resultTable(recordStore, QStringLiteral("tbl_Tmp")),
      configTable(settingsDb, QStringLiteral("tbl_Config")), scriptRunner(recordStore),
      records(recordTable, recordQuery) {
    recordQuery.setSql(initialRecordSql());
    // The grid never shows these; they are read for the current record when asked for.
    const QStringList deferred{column::keywords, column::description, column::photo, column::file};
    // A record whose write lost its connection is recognised by its exact title.
    recordTable.setNewRowIdentity({column::title});
    recordQuery.setKeyField(column::key);
    recordQuery.setDeferredFields(deferred);
    probeQuery.setKeyField(column::key);
    probeQuery.setDeferredFields(deferred);
    // A few screens of the grid at once; a longer result follows while the grid shows them.
    recordQuery.setFirstScreen(200);
}

QString SharedData::initialRecordSql() {
    return QStringLiteral("Select * from tbl_Data order by CIM");
}

} // namespace kx

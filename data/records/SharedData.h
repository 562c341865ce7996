#pragma once

#include "data/query/Query.h"
#include "data/records/RecordService.h"
#include "data/sql/MariaConnection.h"
#include "data/sql/ScriptRunner.h"
#include "data/sql/SqliteConnection.h"
#include "data/table/SqliteTable.h"
#include "data/table/Table.h"

namespace kx {

// The connections and data sets of the whole run. The main window owns the one instance and
// hands it to every window it creates; no window has a connection of its own.
struct SharedData {
    SharedData();
    SharedData(const SharedData&) = delete;
    SharedData& operator=(const SharedData&) = delete;

    MariaConnection recordStore; // the record store
    SqliteConnection settingsDb; // Data.db
    Query recordQuery;       // the record query behind the grid, the browser and the list printout
    Query probeQuery;        // spare statement object: probes and grouped counts
    Table recordTable;       // tbl_Data
    Table typeTable;         // tbl_Tip
    Table categoryTable;     // tbl_Kat
    Table resultTable;       // tbl_Tmp
    SqliteTable configTable; // tbl_Config of Data.db
    ScriptRunner scriptRunner;
    // The steps every window takes on the record table and the record query.
    RecordService records;

    static QString initialRecordSql(); // "Select * from tbl_Data order by CIM"
};

} // namespace kx

#pragma once

#include "MariaConnection.h"
#include "Query.h"
#include "ScriptRunner.h"
#include "SqliteConnection.h"
#include "SqliteTable.h"
#include "Table.h"

namespace kx {

// The connections and data sets of the whole run. The main window owns the one instance and
// hands it to every window it creates; no window has a connection of its own.
struct SharedData {
    SharedData();
    SharedData(const SharedData&) = delete;
    SharedData& operator=(const SharedData&) = delete;

    MariaConnection FDConnection1;  // the record store
    SqliteConnection FDConnection2; // Data.db
    Query FDQuery1;       // the record query behind the grid, the browser and the list printout
    Query FDQuery2;       // spare statement object: probes and grouped counts
    Table FDTable1;       // tbl_Data
    Table FDTable2;       // tbl_Tip
    Table FDTable3;       // tbl_Kat
    Table FDTable4;       // tbl_Tmp
    SqliteTable FDTable6; // tbl_Config of Data.db
    ScriptRunner FDScript1;

    static QString initialRecordSql(); // "Select * from tbl_Data order by CIM"
};

} // namespace kx

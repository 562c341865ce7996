#pragma once

#include <QString>

namespace kx {

// The statements of the record search. The answer is searched for as a phrase that any of
// the text columns contains; "%" and "_" in it still work as wildcards.
enum class SearchColumns {
    Menu,
    Toolbar
}; // the toolbar also searches the stored file's name and type

QString allRecordsStatement(); // "Select * FROM tbl_Data order by CIM"
QString searchStatement(const QString& answer, SearchColumns columns);

} // namespace kx

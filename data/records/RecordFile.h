#pragma once

#include <QString>

namespace kx {

class TableBase;

// The type label of a file name by its extension ("MS Word", ..., "Egyéb").
QString fileTypeLabel(const QString& fileName);

// Sets FNEV, FTIP, FMER and FILE on the row being filled in table from the file at path; the
// content is streamed when the row is written, never held in memory. Does nothing for an empty
// path or one that names no existing file. A file that cannot be read, of 2 GiB or more, or
// larger than the server takes in one row (maxRowBytes) throws std::runtime_error with a plain
// Hungarian message before anything is written.
void attachFile(TableBase& table, const QString& path, quint64 maxRowBytes);

} // namespace kx

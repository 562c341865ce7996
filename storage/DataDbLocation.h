#pragma once

#include <QString>

namespace kx {

// Where this workstation's Data.db is kept.
//
// The program looks for it in the folder it is started in. Started from the desktop menu
// that folder is the home folder or "/", which may not be writable; then the file lives in
// the platform's settings folder instead (~/.config/Kartotex on Linux).
class DataDbLocation {
public:
    // The path of Data.db: in workDir when Data.db is there (a link too, even a dangling one)
    // or workDir is a writable folder, else in configDir, which is made when missing. A
    // Data.db that does not exist yet is made as a copy of `shipped` when the program comes
    // with one; without it the settings connection creates the file empty when it opens.
    // Neither ever creates a file through a symbolic link. Nothing here fails: a folder or
    // copy that cannot be made leaves the path as it is, and the settings connection's open
    // then reports the failure.
    static QString choose(const QString& workDir, const QString& configDir, const QString& shipped);

    // The Data.db with an empty tbl_Config that the installed program comes with
    // (<prefix>/share/kartotex/Data.db beside <prefix>/bin/kartotex).
    static QString shippedCopy();

    // choose() for this process: its current directory and the platform's settings folder.
    static QString forThisProcess();

private:
    static bool isThere(const QString& path);
};

} // namespace kx

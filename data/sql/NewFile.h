#pragma once

#include <QByteArray>
#include <QString>

namespace kx {

// Makes a file that is not there yet, and never through a symbolic link: a link standing at
// the name, even one whose target does not exist, counts as something already there. So
// whoever can write into the folder cannot have the program create a file elsewhere.
class NewFile {
public:
    enum class Outcome {
        Created,      // made with `content`, readable and writable by the user
        AlreadyThere, // a file, folder or link to one is at the name; left untouched
        DanglingLink, // a symbolic link whose target does not exist; nothing made
        Failed        // the folder is missing or not writable, or the writing failed
    };

    static Outcome create(const QString& path, const QByteArray& content = QByteArray());

    // Whether path names a symbolic link whose target does not exist.
    static bool isDanglingLink(const QString& path);
};

} // namespace kx

#include "ShellRequests.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace kx {

ShellRequests::~ShellRequests() = default;

void ShellRequests::open(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

void ShellRequests::start(const QString& program) {
    QProcess::startDetached(program, {});
}

QString ShellRequests::findProgram(const QStringList& names) const {
    for (const QString& name : names) {
        const QString path = QStandardPaths::findExecutable(name);
        // A link counts by what it points at: a dangling one is no program.
        if (!path.isEmpty() && QFileInfo(path).exists())
            return path;
    }
    return {};
}

ShellRequests& desktopShell() {
    static ShellRequests shell;
    return shell;
}

} // namespace kx

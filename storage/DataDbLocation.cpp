#include "DataDbLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace kx {

namespace {
const QString fileName = QStringLiteral("Data.db");
} // namespace

QString DataDbLocation::choose(const QString& workDir, const QString& configDir,
                               const QString& shipped) {
    const QFileInfo work(workDir);
    QString target = QDir(workDir).filePath(fileName);
    const bool useWorkDir =
        !workDir.isEmpty() && (QFileInfo::exists(target) || (work.isDir() && work.isWritable()));
    if (!useWorkDir) {
        target = QDir(configDir).filePath(fileName);
        if (!QFileInfo::exists(target))
            QDir().mkpath(configDir);
    }
    if (!QFileInfo::exists(target) && !shipped.isEmpty() && QFileInfo::exists(shipped)) {
        // The copy keeps the shipped file's mode; the user must be able to write the settings.
        if (QFile::copy(shipped, target))
            QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner |
                                              QFile::ReadOwner);
    }
    return target;
}

QString DataDbLocation::shippedCopy() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("../share/kartotex/") + fileName);
}

QString DataDbLocation::forThisProcess() {
    return choose(QDir::currentPath(),
                  QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                  shippedCopy());
}

} // namespace kx

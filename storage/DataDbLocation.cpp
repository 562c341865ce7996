#include "DataDbLocation.h"

#include "data/sql/NewFile.h"

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
        !workDir.isEmpty() && (isThere(target) || (work.isDir() && work.isWritable()));
    if (!useWorkDir) {
        target = QDir(configDir).filePath(fileName);
        if (!isThere(target))
            QDir().mkpath(configDir);
    }
    if (!isThere(target) && !shipped.isEmpty()) {
        // Made afresh, readable and writable by the user whatever the shipped file's mode,
        // and never through a link at the name.
        QFile source(shipped);
        if (source.open(QIODevice::ReadOnly))
            NewFile::create(target, source.readAll());
    }
    return target;
}

bool DataDbLocation::isThere(const QString& path) {
    // A symbolic link counts even when its target is gone: it is reported, not replaced.
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
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

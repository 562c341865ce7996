#include "AppIdentity.h"

#include "Prompter.h"

#include <QGuiApplication>
#include <QIcon>

namespace kx {

void applyApplicationIdentity() {
    QGuiApplication::setApplicationName(applicationTitle());
}

QList<int> programIconSizes() {
    return {16, 32, 48, 64, 128, 256};
}

QIcon programIcon() {
    QIcon icon;
    for (int size : programIconSizes())
        icon.addFile(QStringLiteral(":/icons/kartotex/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace kx

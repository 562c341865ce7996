#include "AppIdentity.h"

#include "Prompter.h"

#include <QGuiApplication>

namespace kx {

void applyApplicationIdentity() {
    QGuiApplication::setApplicationName(applicationTitle());
}

} // namespace kx

#include "AppLifetime.h"

#include <QApplication>
#include <QTimer>

namespace kx {

AppLifetime::~AppLifetime() = default;

void AppLifetime::requestEnd() {
    m_requested = true;
    if (!QCoreApplication::instance())
        return;
    // Leaving the event loop at once would also close every modal window that the running
    // handler still shows (the start-up's notices after "Befejezés"). So the loop is left
    // only once control is back in it and no modal window is open.
    auto* check = new QTimer(QCoreApplication::instance());
    check->setInterval(50);
    QObject::connect(check, &QTimer::timeout, check, [check] {
        if (QApplication::activeModalWidget())
            return;
        check->stop();
        check->deleteLater();
        QCoreApplication::exit(0);
    });
    check->start();
}

} // namespace kx

#include "platform/AppIdentity.h"
#include "platform/AppLifetime.h"
#include "platform/QtPrompter.h"
#include "platform/QtTranslation.h"
#include "shell/MainWindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kx::applyApplicationIdentity();
    kx::installQtTranslation();

    kx::QtPrompter prompter;
    kx::AppLifetime lifetime;
    kx::MainWindow mainWindow(prompter, lifetime);
    mainWindow.show();
    return app.exec();
}

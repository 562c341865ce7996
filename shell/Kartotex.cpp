#include "platform/AppIdentity.h"
#include "platform/AppLifetime.h"
#include "platform/QtPrompter.h"
#include "shell/Unit1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kx::applyApplicationIdentity();

    kx::QtPrompter prompter;
    kx::AppLifetime lifetime;
    kx::TForm1 form1(prompter, lifetime);
    form1.createForms();
    form1.show();
    return app.exec();
}

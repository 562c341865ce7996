#include "TestApp.h"

#include "platform/QtTranslation.h"
#include "policy/CommandRunner.h"

#include <QTest>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace kx::test {

TestApp::TestApp(bool withConfigTable) {
    // No command may leave a transaction open on any of the program's connections.
    setCommandEndObserver([] {
        for (MariaConnection* c : MariaConnection::openedOnThisThread())
            if (c->askInTransaction().value_or(false))
                QTest::qFail("a command left a transaction open", __FILE__, __LINE__);
    });
    installQtTranslation(); // Qt's own texts in Hungarian, as the program has them
    if (withConfigTable)
        folder.createConfigTable();
    mainWindow = std::make_unique<MainWindow>(prompter, lifetime);
    loginDialog = mainWindow->loginDialog();
    mainWindow->data().settingsDb.setDatabase(folder.dataDb());
}

TestApp::~TestApp() {
    setCommandEndObserver(nullptr);
    mainWindow.reset();
}

ModalCloser::ModalCloser() {
    auto* timer = new QTimer(this);
    timer->setInterval(5);
    connect(timer, &QTimer::timeout, this, [this] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            opened << w->objectName();
            w->close();
        }
    });
    timer->start();
}

void TestApp::startUp(const ConnectionParams& p) {
    // Answers the login dialog as soon as the start-up shows it.
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, loginDialog, [this, p, &answer] {
        if (QApplication::activeModalWidget() != loginDialog)
            return;
        answer.stop();
        fillLogin(p);
        loginDialog->loginButton->click();
    });
    answer.start();
    mainWindow->runStartUp();
}

void TestApp::fillLogin(const ConnectionParams& p) {
    loginDialog->serverEdit->setText(p.server);
    loginDialog->portEdit->setText(p.port);
    loginDialog->databaseEdit->setText(p.database);
    loginDialog->userEdit->setText(p.user);
    loginDialog->passwordEdit->setText(p.password);
}

void TestApp::login(const ConnectionParams& p) {
    loginDialog->prepareShowing();
    fillLogin(p);
    loginDialog->loginClicked();
}

} // namespace kx::test

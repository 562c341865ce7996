#pragma once

#include "RecordingPrompter.h"
#include "TestServer.h"
#include "platform/AppLifetime.h"
#include "shell/MainWindow.h"
#include "storage/LoginDialog.h"

#include <memory>

namespace kx::test {

// Records the request to end the program instead of leaving the event loop.
class RecordingLifetime : public AppLifetime {
public:
    void requestEnd() override {
        m_requested = true;
    }
};

// The main window with its windows created, a private working folder with Data.db as the
// program ships it, and the recording prompter.
// Closes whatever modal window opens next and remembers its object name, so that a command
// that opens a form can be run to its end in a test.
class ModalCloser : public QObject {
public:
    ModalCloser();
    QStringList opened;
};

struct TestApp {
    explicit TestApp(bool withConfigTable = true);
    ~TestApp();

    // Fills the login dialog for the given database on the test server.
    void fillLogin(const ConnectionParams& p);
    // Runs the login dialog's showing and "Belépés" with the given settings.
    void login(const ConnectionParams& p);
    // The whole start-up: the login dialog answered with p, then the record query and the
    // four tables opened.
    void startUp(const ConnectionParams& p);

    WorkingFolder folder;
    RecordingPrompter prompter;
    RecordingLifetime lifetime;
    std::unique_ptr<MainWindow> mainWindow;
    LoginDialog* loginDialog = nullptr;
    SharedData& data() {
        return mainWindow->data();
    }
};

} // namespace kx::test

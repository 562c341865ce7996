#pragma once

#include "Provisioning.h"
#include "SettingsStore.h"
#include "platform/SecondaryWindow.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kx {

class AppLifetime;
class DbError;
class Prompter;
struct SharedData;

// The login dialog: server, port, database, user and password; remembers all but the
// password, connects, has the record store provisioned and closes itself.
class LoginDialog : public SecondaryWindow {
    Q_OBJECT
public:
    LoginDialog(SharedData& shared, Prompter& prompter, AppLifetime& lifetime,
                QWidget* parent = nullptr);

    // Controls; the comment gives each one's object name.
    QLineEdit* serverEdit;    // Edit1, "Szerver"
    QLineEdit* portEdit;      // Edit2, "Port"
    QLineEdit* databaseEdit;  // Edit3, "Adatbázis"
    QLineEdit* userEdit;      // Edit4, "Felhasználó név"
    QLineEdit* passwordEdit;  // Edit5, "Jelszó"
    QCheckBox* rememberBox;   // CheckBox1, "Megadottak megjegyzése"
    QPushButton* loginButton; // BitBtn1, "Belépés"
    QPushButton* quitButton;  // BitBtn2, "Befejezés"

public slots:
    void prepareShowing() override;
    void loginClicked();
    void quitClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void login();
    void readSettings();
    void rememberSettings();
    void settingsUnusable(const QString& message, const DbError& error);
    bool connectMain(const QString& database, const QString& failure);

    SharedData& m_data;
    Prompter& m_prompter;
    AppLifetime& m_lifetime;
    SettingsStore m_settings;
    Provisioning m_provisioning;
    bool m_closing = false;
    bool m_settingsUnusable = false; // said once; nothing more is read or remembered this run
};

} // namespace kx

#pragma once

#include "Provisioning.h"
#include "SettingsStore.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kx {

class AppLifetime;
class Prompter;
struct SharedData;

// The login dialog: server, port, database, user and password; remembers all but the
// password, connects, has the record store provisioned and closes itself.
class TForm125 : public QDialog {
    Q_OBJECT
public:
    TForm125(SharedData& shared, Prompter& prompter, AppLifetime& lifetime,
             QWidget* parent = nullptr);

    QLineEdit* Edit1; // Szerver
    QLineEdit* Edit2; // Port
    QLineEdit* Edit3; // Adatbázis
    QLineEdit* Edit4; // Felhasználó név
    QLineEdit* Edit5; // Jelszó
    QCheckBox* CheckBox1;
    QPushButton* BitBtn1; // Belépés
    QPushButton* BitBtn2; // Befejezés

public slots:
    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void login();
    bool connectMain(const QString& database, const QString& failure);

    SharedData& m_data;
    Prompter& m_prompter;
    AppLifetime& m_lifetime;
    SettingsStore m_settings;
    Provisioning m_provisioning;
    bool m_closing = false;
};

} // namespace kx

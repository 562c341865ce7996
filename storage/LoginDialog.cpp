#include "LoginDialog.h"

#include "data/records/SharedData.h"
#include "data/sql/DbError.h"
#include "platform/AppLifetime.h"
#include "platform/FormStyle.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"
#include "policy/CommandRunner.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace kx {

namespace {

QLineEdit* addField(QWidget* parent, const char* name, const QString& caption, int top, int limit) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(24, top, 225, 14);
    styleFieldLabel(label);
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(24, top + 16, 225, 21);
    edit->setMaxLength(limit);
    edit->setAccessibleName(caption);
    styleValue(edit);
    label->setBuddy(edit);
    moveFocusOnEnter(edit);
    return edit;
}

void addBar(QWidget* parent, int top) {
    auto* bar = new QFrame(parent);
    bar->setFrameShape(QFrame::HLine);
    bar->setFrameShadow(QFrame::Sunken);
    bar->setGeometry(16, top, 241, 4);
}

} // namespace

LoginDialog::LoginDialog(SharedData& shared, Prompter& prompter, AppLifetime& lifetime,
                         QWidget* parent)
    : SecondaryWindow(QStringLiteral("Form125"), QStringLiteral("Belépés:"), QSize(273, 376),
                      parent, TitleBar::CaptionOnly),
      m_data(shared), m_prompter(prompter), m_lifetime(lifetime),
      m_settings(shared.settingsDb, shared.configTable),
      m_provisioning(shared.probeQuery, shared.scriptRunner, prompter) {

    serverEdit = addField(this, "Edit1", QStringLiteral("Szerver"), 12, 30);
    portEdit = addField(this, "Edit2", QStringLiteral("Port"), 56, 15);
    databaseEdit = addField(this, "Edit3", QStringLiteral("Adatbázis"), 100, 30);
    addBar(this, 146);
    userEdit = addField(this, "Edit4", QStringLiteral("Felhasználó név"), 156, 30);
    passwordEdit = addField(this, "Edit5", QStringLiteral("Jelszó"), 200, 30);
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    addBar(this, 246);

    rememberBox = new QCheckBox(QStringLiteral("Megadottak megjegyzése"), this);
    rememberBox->setObjectName(QStringLiteral("CheckBox1"));
    rememberBox->setGeometry(24, 258, 225, 20);
    moveFocusOnEnter(rememberBox);

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setGeometry(0, 320, 273, 56);
    loginButton = new QPushButton(QStringLiteral("Belépés"), panel);
    loginButton->setObjectName(QStringLiteral("BitBtn1"));
    loginButton->setGeometry(16, 14, 105, 28);
    quitButton = new QPushButton(QStringLiteral("Befejezés"), panel);
    quitButton->setObjectName(QStringLiteral("BitBtn2"));
    quitButton->setGeometry(152, 14, 105, 28);

    setTabOrder(serverEdit, portEdit);
    setTabOrder(portEdit, databaseEdit);
    setTabOrder(databaseEdit, userEdit);
    setTabOrder(userEdit, passwordEdit);
    setTabOrder(passwordEdit, rememberBox);
    setTabOrder(rememberBox, loginButton);
    setTabOrder(loginButton, quitButton);

    connect(loginButton, &QPushButton::clicked, this, &LoginDialog::loginClicked);
    connect(quitButton, &QPushButton::clicked, this, &LoginDialog::quitClicked);
    // Enter on "Belépés" (or "Befejezés") presses it; elsewhere it only moves the focus.
    enterPressesOnlyFocusedButton(this);
    setFocusOnShowing(serverEdit);
}

void LoginDialog::showEvent(QShowEvent* event) {
    // A new showing closes only by its two buttons again.
    if (!event->spontaneous())
        m_closing = false;
    SecondaryWindow::showEvent(event);
}

void LoginDialog::prepareShowing() {
    for (QLineEdit* e : {serverEdit, portEdit, databaseEdit, userEdit, passwordEdit})
        e->clear();
    rememberBox->setChecked(true);
    runCommand(m_prompter, [this] { readSettings(); });
}

// Data.db only saves typing: a file that cannot be read or written is named to the user once
// and then left alone for the rest of the run, and the login goes on without it. A damaged
// file is not replaced: it may be another program's or still wanted, and once the user has
// removed it the next start makes a new one.
void LoginDialog::readSettings() {
    if (m_settingsUnusable)
        return;
    try {
        const RememberedSettings s = m_settings.read();
        serverEdit->setText(s.server);
        portEdit->setText(s.port);
        databaseEdit->setText(s.database);
        userEdit->setText(s.user);
    } catch (const DbError& e) {
        settingsUnusable(QStringLiteral("A(z) „%1” beállításfájl nem használható (%2), a belépési "
                                        "beállítások nem jegyezhetők meg !"),
                         e);
    }
}

void LoginDialog::rememberSettings() {
    if (m_settingsUnusable)
        return;
    try {
        m_settings.remember(
            {serverEdit->text(), portEdit->text(), databaseEdit->text(), userEdit->text()});
    } catch (const DbError& e) {
        settingsUnusable(QStringLiteral("A(z) „%1” beállításfájl nem írható (%2), a belépési "
                                        "beállítások nem jegyezhetők meg !"),
                         e);
    }
}

void LoginDialog::settingsUnusable(const QString& message, const DbError& error) {
    m_settingsUnusable = true;
    m_prompter.warning(message.arg(QDir::toNativeSeparators(m_settings.path()), error.message()));
}

void LoginDialog::loginClicked() {
    runCommand(m_prompter, [this] { login(); });
}

void LoginDialog::quitClicked() {
    m_lifetime.requestEnd();
    m_closing = true;
    done(QDialog::Rejected);
}

void LoginDialog::login() {
    // Only a field with no character at all counts as empty: blanks are content.
    const std::pair<QLineEdit*, const char*> required[] = {
        {serverEdit, "Szerver azonosító nincs megadva !"},
        {portEdit, "Port azonosító nincs megadva !"},
        {databaseEdit, "Adatbázis név nincs megadva !"},
        {userEdit, "Felhasználó név nincs megadva !"},
        {passwordEdit, "Jelszó nincs megadva !"}};
    for (const auto& [edit, message] : required) {
        if (edit->text().isEmpty()) {
            m_prompter.warning(QString::fromUtf8(message));
            return;
        }
    }

    MariaConnection& connection = m_data.recordStore;
    connection.close();
    if (rememberBox->isChecked())
        rememberSettings();

    if (!connectMain(QString(), QStringLiteral("Nem lehet kapcsolódni a szerverhez !")))
        return;
    if (!m_provisioning.checkDatabase(databaseEdit->text()))
        return;
    connection.close();
    if (!connectMain(databaseEdit->text(),
                     QStringLiteral("Nem lehet kapcsolódni az adatbázishoz !")))
        return;
    if (!m_provisioning.checkTables(databaseEdit->text()))
        return;
    m_closing = true;
    accept();
}

namespace {

// False when the connection fails; the hook has shown why, with the wait cursor still on.
bool openUnderWaitCursor(MariaConnection& connection) {
    const DbWaitCursor wait;
    try {
        connection.open();
        return true;
    } catch (const DbError&) {
        return false;
    }
}

} // namespace

// Each attempt uses the fields as they are now; a failed connect has already been shown by
// the connection's error hook, the caller's own message follows.
bool LoginDialog::connectMain(const QString& database, const QString& failure) {
    MariaConnection& connection = m_data.recordStore;
    connection.setParams(
        {serverEdit->text(), portEdit->text(), database, userEdit->text(), passwordEdit->text()});
    if (openUnderWaitCursor(connection))
        return true;
    m_prompter.warning(failure);
    return false;
}

void LoginDialog::closeEvent(QCloseEvent* event) {
    if (!m_closing)
        event->ignore();
}

void LoginDialog::reject() {
    if (m_closing)
        QDialog::reject();
}

} // namespace kx

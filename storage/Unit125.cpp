#include "Unit125.h"

#include "data/SharedData.h"
#include "platform/AppLifetime.h"
#include "platform/CommandRunner.h"
#include "platform/FormStyle.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

TForm125::TForm125(SharedData& shared, Prompter& prompter, AppLifetime& lifetime, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_data(shared),
      m_prompter(prompter), m_lifetime(lifetime), m_settings(shared.FDConnection2, shared.FDTable6),
      m_provisioning(shared.FDQuery2, shared.FDScript1, prompter) {
    setObjectName(QStringLiteral("Form125"));
    setWindowTitle(QStringLiteral("Belépés:"));
    setModal(true);
    applyDialogLook(this, 273, 376);

    Edit1 = addField(this, "Edit1", QStringLiteral("Szerver"), 12, 30);
    Edit2 = addField(this, "Edit2", QStringLiteral("Port"), 56, 15);
    Edit3 = addField(this, "Edit3", QStringLiteral("Adatbázis"), 100, 30);
    addBar(this, 146);
    Edit4 = addField(this, "Edit4", QStringLiteral("Felhasználó név"), 156, 30);
    Edit5 = addField(this, "Edit5", QStringLiteral("Jelszó"), 200, 30);
    Edit5->setEchoMode(QLineEdit::Password);
    Edit5->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    addBar(this, 246);

    CheckBox1 = new QCheckBox(QStringLiteral("Megadottak megjegyzése"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(24, 258, 225, 20);
    moveFocusOnEnter(CheckBox1);

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setGeometry(0, 320, 273, 56);
    BitBtn1 = new QPushButton(QStringLiteral("Belépés"), panel);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(16, 14, 105, 28);
    BitBtn2 = new QPushButton(QStringLiteral("Befejezés"), panel);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(152, 14, 105, 28);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Edit4);
    setTabOrder(Edit4, Edit5);
    setTabOrder(Edit5, CheckBox1);
    setTabOrder(CheckBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm125::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm125::BitBtn2Click);
    // Enter on "Belépés" (or "Befejezés") presses it; elsewhere it only moves the focus.
    enterPressesOnlyFocusedButton(this);
}

void TForm125::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        m_closing = false;
        centreOnScreen(this);
        FormShow();
        Edit1->setFocus();
    }
}

void TForm125::FormShow() {
    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4, Edit5})
        e->clear();
    CheckBox1->setChecked(true);
    runCommand(m_prompter, [this] {
        const RememberedSettings s = m_settings.read();
        Edit1->setText(s.server);
        Edit2->setText(s.port);
        Edit3->setText(s.database);
        Edit4->setText(s.user);
    });
}

void TForm125::BitBtn1Click() {
    runCommand(m_prompter, [this] { login(); });
}

void TForm125::BitBtn2Click() {
    m_lifetime.requestEnd();
    m_closing = true;
    done(QDialog::Rejected);
}

void TForm125::login() {
    // Only a field with no character at all counts as empty: blanks are content.
    const std::pair<QLineEdit*, const char*> required[] = {
        {Edit1, "Szerver azonosító nincs megadva !"},
        {Edit2, "Port azonosító nincs megadva !"},
        {Edit3, "Adatbázis név nincs megadva !"},
        {Edit4, "Felhasználó név nincs megadva !"},
        {Edit5, "Jelszó nincs megadva !"}};
    for (const auto& [edit, message] : required) {
        if (edit->text().isEmpty()) {
            m_prompter.warning(QString::fromUtf8(message));
            return;
        }
    }

    MariaConnection& connection = m_data.FDConnection1;
    connection.close();
    if (CheckBox1->isChecked())
        m_settings.remember({Edit1->text(), Edit2->text(), Edit3->text(), Edit4->text()});

    if (!connectMain(QString(), QStringLiteral("Nem lehet kapcsolódni a szerverhez !")))
        return;
    if (!m_provisioning.checkDatabase(Edit3->text()))
        return;
    connection.close();
    if (!connectMain(Edit3->text(), QStringLiteral("Nem lehet kapcsolódni az adatbázishoz !")))
        return;
    if (!m_provisioning.checkTables(Edit3->text()))
        return;
    ScreenCursor::set(CursorShape::Default);
    m_closing = true;
    accept();
}

// Each attempt uses the fields as they are now; a failed connect has already been shown by
// the connection's error hook, the caller's own message follows.
bool TForm125::connectMain(const QString& database, const QString& failure) {
    MariaConnection& connection = m_data.FDConnection1;
    connection.setParams({Edit1->text(), Edit2->text(), database, Edit4->text(), Edit5->text()});
    ScreenCursor::set(CursorShape::DbWait);
    try {
        connection.open();
    } catch (const DbError&) {
        ScreenCursor::set(CursorShape::Default);
        m_prompter.warning(failure);
        return false;
    }
    ScreenCursor::set(CursorShape::Default);
    return true;
}

void TForm125::keyPressEvent(QKeyEvent* event) {
    // The dialog has no way out but its two buttons: Escape does nothing.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm125::closeEvent(QCloseEvent* event) {
    if (!m_closing)
        event->ignore();
}

void TForm125::reject() {
    if (m_closing)
        QDialog::reject();
}

} // namespace kx

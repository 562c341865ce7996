#include "AttachedFile.h"

#include "platform/FormStyle.h"
#include "platform/Hints.h"
#include "platform/Prompter.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QToolButton>

namespace kx {

AttachedFileField::AttachedFileField(Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_prompter(prompter) {
    fileEdit = new QLineEdit(this);
    fileEdit->setObjectName(QStringLiteral("Edit2"));
    fileEdit->setReadOnly(true);
    fileEdit->setMaxLength(500);
    moveFocusOnEnter(fileEdit);

    chooseFileButton = new QToolButton(this);
    chooseFileButton->setObjectName(QStringLiteral("SpeedButton1"));
    chooseFileButton->setIcon(QIcon(QStringLiteral(":/icons/document-open.png")));
    setHint(chooseFileButton, QStringLiteral("Fájl kiválasztása|Fájl kiválasztása !"));
    chooseFileButton->setFixedSize(23, 22);
    chooseFileButton->setFocusPolicy(Qt::NoFocus); // a speed button never takes the focus
    chooseFileButton->setAutoRaise(true);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(fileEdit);
    row->addWidget(chooseFileButton);

    // Choosing a file cannot fail: the dialog only hands back a path.
    connect(chooseFileButton, &QToolButton::clicked, this, &AttachedFileField::chooseFileClicked);
}

void AttachedFileField::reset(const QString& shown) {
    fileEdit->setText(shown);
    m_chosen = false;
}

QString AttachedFileField::path() const {
    return fileEdit->text();
}

bool AttachedFileField::chosenInThisOpening() const {
    return m_chosen;
}

void AttachedFileField::chooseFileClicked() {
    const QString chosen = m_prompter.openFile(QStringLiteral("Tárolandó fájlok:"), m_lastChosen);
    if (chosen.isEmpty())
        return;
    // The line holds 500 characters and would cut a longer path to one that names no file:
    // the record would then be stored without it under a success message. Such a choice is
    // refused here and the line keeps what it showed, which is what the store attaches.
    if (chosen.size() > fileEdit->maxLength()) {
        m_prompter.warning(QStringLiteral("A kiválasztott fájl elérési útja hosszabb %1 "
                                          "karakternél, a fájl nem csatolható !")
                               .arg(fileEdit->maxLength()));
        return;
    }
    fileEdit->setText(chosen);
    m_lastChosen = chosen;
    m_chosen = true;
}

} // namespace kx

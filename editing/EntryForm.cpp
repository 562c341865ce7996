#include "EntryForm.h"

#include "PhotoPanel.h"
#include "TypeCategoryLists.h"
#include "data/records/SharedData.h"
#include "platform/Clock.h"
#include "platform/DateTimeText.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"
#include "platform/TypedText.h"
#include "policy/CommandRunner.h"
#include "policy/GuardedStep.h"

#include <QLabel>
#include <QLineEdit>

namespace kx {

namespace {
// The current local date and time as the program writes it everywhere.
QString nowText() {
    return dateTimeText(Clock::now());
}
} // namespace

EntryForm::EntryForm(SharedData& shared, Prompter& prompter, QWidget* parent)
    : RecordForm(shared, prompter, QStringLiteral("Form2"), QStringLiteral("Adatok felvétele:"),
                 ListMatch::Prefix, parent) {}

void EntryForm::prepareShowing() {
    runCommand(m_prompter, [this] {
        photo->setStretched(false);
        photo->setCentred(false);
        clearForm();
        m_lists->fill();
    });
}

void EntryForm::clearForm() {
    emptyFields();
    dateEdit->setText(nowText());
    showRecordCount();
    photoCaption->setText(QStringLiteral("Fotó"));
}

void EntryForm::storeClicked() {
    runCommand(m_prompter, [this] { store(); });
}

void EntryForm::discardClicked() {
    // Nothing is read from the server; the lists and the photo switches stay.
    runCommand(m_prompter, [this] { clearForm(); });
}

void EntryForm::store() {
    if (trimBlanks(titleEdit->text()).isEmpty()) {
        m_prompter.warning(QStringLiteral("Legalább a cím megadása kötelező !"));
        return;
    }
    if (!m_lists->typedTextsFit() || !descriptionFits())
        return; // the form keeps what was typed
    refreshRecords();

    // A stored title that begins with the new one counts as taken; a failed lookup has been
    // shown and counts as free.
    const RecordFields typed = typedFields();
    const bool taken = guardedLookup(
        m_prompter,
        [&] {
            return m_data.records.titleTaken(typed.title, RecordService::TitleMatch::Beginning);
        },
        QStringLiteral("Hiba történt 1 !!!"));
    if (taken) {
        m_prompter.warning(QStringLiteral("Már szerepel ilyen címmel rekord az adatállományban !"));
        return;
    }

    {
        BusyCursor busy;
        const RecordService::Questions questions{
            .retryLocked = {},
            .retryRefused = [this] { return m_errors.retryRefusedWrite(); },
            .goOverChange = {},
        };
        m_data.records.insert(typed, questions, fileProgress());
        m_data.records.refresh();
    }

    m_lists->addTyped();
    // The new record count, the emptied fields and a fresh Dátum for the next record.
    clearForm();
    m_prompter.result(QStringLiteral("Adatok tárolása megtörtént !"));
}

} // namespace kx

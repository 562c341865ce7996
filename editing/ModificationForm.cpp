#include "ModificationForm.h"

#include "AttachedFile.h"
#include "PhotoPanel.h"
#include "TypeCategoryLists.h"
#include "data/records/SharedData.h"
#include "platform/Prompter.h"
#include "platform/TypedText.h"
#include "policy/CommandRunner.h"
#include "policy/GuardedStep.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace kx {

ModificationForm::ModificationForm(SharedData& shared, Prompter& prompter, QWidget* parent)
    : RecordForm(shared, prompter, QStringLiteral("Form3"), QStringLiteral("Adatok módosítása:"),
                 ListMatch::Exact, parent),
      m_shownRow(m_data.records) {}

void ModificationForm::prepareShowing() {
    // Until the record is found and loaded whole, "Tárol" has no row to write onto.
    m_openedKey = -1;
    m_toldPhotoUnreadable = false;
    m_shownRow.forget();
    runCommand(m_prompter, [this] {
        if (!findRecord())
            return; // the fields keep whatever they held
        photo->setStretched(false);
        photo->setCentred(false);
        m_shownRow.remember();
        const bool photoShown = loadRecord();
        m_openingTitle = m_data.records.currentTitle();
        m_openedKey = m_data.records.currentKey();
        m_lists->fill();
        if (!photoShown)
            tellPhotoUnreadable();
    });
}

void ModificationForm::storeClicked() {
    runCommand(m_prompter, [this] { store(); });
}

void ModificationForm::discardClicked() {
    // The opening title, the lists and the photo switches stay as they are.
    runCommand(m_prompter, [this] {
        refreshRecords();
        // The opened record again, by its key: the record query's current row may be another
        // record by now (the opened one may have left an active search), and loading that one
        // would let "Tárol" write its values onto the opened record.
        bool lookedUp = false;
        const bool found = m_openedKey >= 0 && guardedLookup(m_prompter, [&] {
                               const bool there = m_data.records.locateByKey(m_openedKey);
                               lookedUp = true;
                               return there;
                           });
        if (!found) {
            // Deleted meanwhile: from now on the form is one opened without its record. A
            // failed lookup (already shown) proves nothing and keeps the key.
            if (lookedUp)
                m_openedKey = -1;
            warnNotFound();
            return;
        }
        m_shownRow.remember();
        if (!loadRecord())
            tellPhotoUnreadable();
    });
}

void ModificationForm::warnNotFound() {
    m_prompter.warning(QStringLiteral("Nem található az eredeti adatrekord !"));
}

// Once per opening: "Elvet" reads the same photo again and need not say it twice.
void ModificationForm::tellPhotoUnreadable() {
    if (m_toldPhotoUnreadable)
        return;
    m_toldPhotoUnreadable = true;
    m_prompter.warning(QStringLiteral("A tárolt fotó nem jeleníthető meg !"));
}

// The record whose title is that of the record query's current row: the whole value, exact.
bool ModificationForm::findRecord() {
    const bool found = guardedLookup(m_prompter, [this] { return m_data.records.locateByTitle(); });
    if (!found)
        warnNotFound();
    return found;
}

bool ModificationForm::loadRecord() {
    emptyFields();
    showRecordCount();
    photoCaption->setText(QStringLiteral("Fotó"));
    const RecordFields stored = m_data.records.currentRecord();
    titleEdit->setText(stored.title);
    typeBox->setEditText(stored.type);
    categoryBox->setEditText(stored.category);
    keywordsEdit->setText(stored.keywords);
    referenceEdit->setText(stored.reference);
    dateEdit->setText(stored.date);
    recorderEdit->setText(stored.recorder);
    // The bare stored name: shown, never read as a path.
    fileField->reset(stored.fileName);
    setMemoText(descriptionEdit, stored.description);
    // A photo that cannot be shown leaves the box empty and is kept as stored.
    return photo->readPhoto(stored.photo);
}

void ModificationForm::store() {
    if (m_openedKey < 0) {
        // The showing found no record: there is nothing this form may write onto.
        warnNotFound();
        return;
    }
    const QString title = titleEdit->text();
    if (trimBlanks(title).isEmpty()) {
        m_prompter.warning(QStringLiteral("Legalább a cím megadása kötelező !"));
        return;
    }
    if (!m_lists->typedTextsFit() || !descriptionFits())
        return; // the form keeps what was typed

    // Letter case counts: a change of case alone is a new title and is tested.
    const bool renamed = title != m_openingTitle;
    if (renamed) {
        refreshRecords();
        // The opened record itself may carry the title by now: another workstation renamed
        // it, and "Elvet" showed its new title. That is no other record of the same title.
        const bool taken = guardedLookup(m_prompter, [&] {
            return m_data.records.titleTaken(title, RecordService::TitleMatch::Whole, m_openedKey);
        });
        if (taken) {
            m_data.records.locateByKey(m_openedKey);
            m_prompter.warning(
                QStringLiteral("Már szerepel ilyen címmel rekord az adatállományban !"));
            return;
        }
    }

    refreshRecords();
    const auto titleChange =
        renamed ? RecordService::TitleChange::Write : RecordService::TitleChange::Keep;
    // Every failure on the way shows the connection's warning first (ErrorPolicy).
    const RecordService::Questions questions{
        .retryLocked = [this] { return m_errors.retryLockedRecord(); },
        .retryRefused = [this] { return m_errors.retryRefusedWrite(); },
        .goOverChange = [this] { return m_errors.overwriteChangedRecord(); },
    };
    if (!m_data.records.update(m_shownRow, m_openedKey, typedFields(), titleChange, questions,
                               fileProgress())) {
        warnNotFound(); // removed meanwhile by another workstation
        return;
    }
    refreshRecords();

    m_lists->addTyped(); // a refused row of a list asks ErrorPolicy::retryRefusedWrite
    showRecordCount();
    m_prompter.result(QStringLiteral("Adatok módosítása megtörtént !"));
    done(QDialog::Accepted);
}

} // namespace kx

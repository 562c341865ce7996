#include "DeletionForm.h"

#include "PhotoView.h"
#include "data/records/SharedData.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"
#include "policy/CommandRunner.h"
#include "policy/GuardedStep.h"
#include "policy/RecordRefresh.h"

#include <QIcon>
#include <QPushButton>

namespace kx {

namespace {

const RecordView::Names& deletionNames() {
    static const RecordView::Names names{
        {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit8"},
        "Memo1",
        "Image1"};
    return names;
}

} // namespace

DeletionForm::DeletionForm(SharedData& shared, Prompter& prompter, QWidget* parent)
    : RecordView(prompter, QStringLiteral("Form4"), QStringLiteral("Adatrekord törlése:"),
                 deletionNames(), true, parent),
      m_data(shared), m_errors(prompter), m_shownRow(shared.records) {
    deleteButton =
        addStripButton("BitBtn2", QStringLiteral("Törlés"), QStringLiteral("Adatrekord törlése !"),
                       QIcon(QStringLiteral(":/icons/edit-delete.png")), 8);
    connect(deleteButton, &QPushButton::clicked, this, &DeletionForm::deleteClicked);
    setTabOrder(deleteButton, closeButton);
}

void DeletionForm::prepareShowing() {
    // Until a record is shown there is nothing this opening may delete.
    m_shownKey = -1;
    m_shownTitle.clear();
    m_shownRow.forget();
    runCommand(m_prompter, [this] {
        photo->setCentred(false);
        photo->setStretched(false);
        emptyFields();
        showCount(m_data.records.storedCount());
        const qint64 key = m_data.records.currentKey();
        if (key < 0)
            return;
        const QString title = m_data.records.currentTitle();
        m_shownRow.remember();
        showRecord(m_data.recordTable);
        // Only a record that was shown whole may be deleted by this opening.
        m_shownTitle = title;
        m_shownKey = key;
    });
}

void DeletionForm::deleteClicked() {
    runCommand(m_prompter, [this] { deleteShownRecord(); });
}

// The record shown, found again by its key; it counts only while it still has the title
// shown (whole value, letter case and blanks included). Another record of the same title is
// never taken for it.
bool DeletionForm::findShownRecord() {
    if (m_shownKey < 0)
        return false;
    return guardedLookup(m_prompter, [&] {
        return m_data.records.locateByKey(m_shownKey) &&
               m_data.records.currentTitle() == m_shownTitle;
    });
}

void DeletionForm::deleteShownRecord() {
    refreshUnderBusyCursor(m_data.records);
    if (!findShownRecord()) {
        m_prompter.warning(QStringLiteral("Nem található az adatrekord !"));
        return;
    }
    // A refused delete asks whether to try again; No ends the command here, silently, with
    // the record still shown and the form open. The record was found just now: remove()
    // cannot miss it.
    const RecordService::Questions questions{
        .retryLocked = {},
        .retryRefused = [this] { return m_errors.retryRefusedDelete(); },
        .goOverChange = [this] { return m_errors.deleteChangedRecord(); },
    };
    {
        const BusyCursor busy;
        m_data.records.remove(m_shownRow, m_shownKey, questions);
        m_shownKey = -1;
        m_data.records.refresh();
        showCount(m_data.records.storedCount());
        emptyFields();
    }
    m_prompter.result(QStringLiteral("Adatrekord törlése megtörtént !"));
    done(QDialog::Accepted);
}

} // namespace kx

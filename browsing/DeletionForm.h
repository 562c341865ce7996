#pragma once

#include "RecordView.h"
#include "data/records/ShownRecord.h"
#include "policy/ErrorPolicy.h"

class QLineEdit;
class QPlainTextEdit;

namespace kx {

struct SharedData;

// The deletion form "Adatrekord törlése:". It shows, read-only, the record on which the main
// window has positioned the record table recordTable, and deletes that record on "Törlés" without
// asking. Only the record shown is ever deleted: if it is gone, or another workstation has
// given it another title, the form reports it as not found.
class DeletionForm : public RecordView {
    Q_OBJECT
public:
    DeletionForm(SharedData& shared, Prompter& prompter, QWidget* parent = nullptr);

    QPushButton* deleteButton; // BitBtn2, "Törlés"

    // The key of the record shown; -1 when the showing found none.
    qint64 shownKey() const {
        return m_shownKey;
    }

public slots:
    void prepareShowing() override;
    void deleteClicked(); // "Törlés"

private:
    bool findShownRecord();
    void deleteShownRecord();

    SharedData& m_data;
    ErrorPolicy m_errors;
    qint64 m_shownKey = -1;
    QString m_shownTitle;
    // The record as the form showed it: deleting it after another workstation changed it
    // needs the user's yes.
    ShownRecord m_shownRow;
};

} // namespace kx

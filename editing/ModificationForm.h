#pragma once

#include "RecordForm.h"
#include "data/records/ShownRecord.h"

namespace kx {

// The record modification form "Adatok módosítása:": opens on the record recordTable stands on
// (the main window has positioned it) and writes the changes back onto that row and no other;
// a successful store closes it.
class ModificationForm : public RecordForm {
    Q_OBJECT
public:
    ModificationForm(SharedData& shared, Prompter& prompter, QWidget* parent = nullptr);

    // The record of this opening: its key (-1 when the showing did not find it) and its title
    // as read at the showing.
    qint64 openedKey() const {
        return m_openedKey;
    }
    QString openingTitle() const {
        return m_openingTitle;
    }

public slots:
    void prepareShowing() override;
    void storeClicked() override;   // "Tárol"
    void discardClicked() override; // "Elvet"

private:
    bool findRecord();
    bool loadRecord(); // false: the stored photo cannot be shown
    void store();
    void warnNotFound();
    void tellPhotoUnreadable();

    qint64 m_openedKey = -1;
    QString m_openingTitle;
    bool m_toldPhotoUnreadable = false;
    // The record as the form showed it: a store asks before it goes over another
    // workstation's change.
    ShownRecord m_shownRow;
};

} // namespace kx

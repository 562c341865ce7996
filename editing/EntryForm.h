#pragma once

#include "RecordForm.h"

namespace kx {

// The record entry form "Adatok felvétele:": the user types a new record and stores it into
// tbl_Data through recordTable; after each store the form stays open, cleared for the next one.
class EntryForm : public RecordForm {
    Q_OBJECT
public:
    EntryForm(SharedData& shared, Prompter& prompter, QWidget* parent = nullptr);

public slots:
    void prepareShowing() override;
    void storeClicked() override;   // "Tárol"
    void discardClicked() override; // "Elvet"

private:
    void clearForm(); // the showing's steps 2 to 6
    void store();
};

} // namespace kx

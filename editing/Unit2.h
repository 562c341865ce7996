#pragma once

#include "RecordForm.h"

namespace kx {

// The record entry form "Adatok felvétele:": the user types a new record and stores it into
// tbl_Data through FDTable1; after each store the form stays open, cleared for the next one.
class TForm2 : public RecordForm {
    Q_OBJECT
public:
    TForm2(SharedData& shared, Prompter& prompter, QWidget* parent = nullptr);

public slots:
    void FormShow() override;
    void BitBtn2Click() override; // "Tárol"
    void BitBtn3Click() override; // "Elvet"

private:
    void clearForm(); // the showing's steps 2 to 6
    void store();
};

} // namespace kx

#pragma once

#include "TestApp.h"
#include "editing/EntryForm.h"
#include "editing/ModificationForm.h"

#include <QDialog>
#include <functional>

namespace kx::test {

// A record store of its own and the program started on it (logged in, the record query and
// the four tables open), with the two editing forms at hand.
struct EditingApp {
    EditingApp();

    TestDatabase db;
    TestApp app;
    EntryForm* entryForm = nullptr;
    ModificationForm* modificationForm = nullptr;

    SharedData& data() {
        return app.data();
    }
    RecordingPrompter& prompter() {
        return app.prompter;
    }
    // Adds a record on the admin connection with the given column values (texts as SQL
    // literals or expressions, e.g. "'abc'" or "NULL") and reads the data sets again.
    qint64 addRecord(const QString& title, const QStringList& columns = {},
                     const QStringList& values = {});
    void refresh();
    // Makes the record with this title the record query's current row (the grid's row).
    void selectInGrid(const QString& title);
    // Positions recordTable as the main window does and shows the modification form.
    void openForModification(const QString& title);
    // One value read on the admin connection.
    QString value(const QString& sql) {
        return db.scalar(sql);
    }
    int recordCount();
};

// Runs command (which opens form modally) and, inside the open form, act; the form is closed
// afterwards if act left it open. Returns false when the form never opened.
bool insideModal(QDialog* form, const std::function<void()>& act,
                 const std::function<void()>& command);

} // namespace kx::test

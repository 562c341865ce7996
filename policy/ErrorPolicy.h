#pragma once

namespace kx {

class DbError;
class Prompter;
struct SharedData;

// Which failure of the record store and the settings store brings which window, and what
// then happens. Every failure of the record store's connection shows its warning first;
// a refused write, edit or delete then asks whether to try again (Yes tries at once, No ends
// the command silently); a record that another workstation changed since it was shown asks
// before it is written over or deleted. The windows ask through here; the questions of a
// record's store or delete are handed to the record service for that one call, so a store
// names every question it may ask. A command that ends on a No, or on any failure, gets the
// normal cursor back from the command runner, before any window it ends with.
class ErrorPolicy {
public:
    explicit ErrorPolicy(Prompter& prompter);

    // Wires the policy into the shared data: the connection's warning and the tables' own
    // retry questions (the settings table asks only after another copy's lock).
    void attachTo(SharedData& data) const;

    // The questions; each answers true to go on.
    bool retryLockedRecord() const; // "Adatrekord nem szerkeszthető (...) ! Megpróbáljuk újra ?"
    bool retryRefusedWrite() const; // "Adatok kiírása nem sikerült (...) ! Megpróbáljuk újra ?"
    bool retryRefusedDelete() const; // "Adatrekord nem törölhető (...) ! Megpróbáljuk újra ?"
    bool overwriteChangedRecord() const; // "Az adatrekordot időközben (...) ! Felülírjuk ?"
    bool deleteChangedRecord() const; // "Az adatrekordot időközben (...) ! Mégis töröljük ?"
    // The warning every failure of the record store's connection shows first.
    void showConnectionFailure(const DbError& error) const;

private:
    Prompter& m_prompter;
};

// The policy of the whole run, attached to the shared data once at the start.
void attachErrorHandlers(SharedData& data, Prompter& prompter);

} // namespace kx

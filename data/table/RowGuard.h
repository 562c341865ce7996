#pragma once

#include <QtGlobal>

namespace kx {

// A check that a change of an existing row (the post of an edited row, or a delete) runs
// first, in the same transaction as the change, on the row read with a lock by its key.
class RowGuard {
public:
    enum class Verdict {
        Write,   // the row is as expected: the change goes on
        Changed, // the row differs from what was expected
        Gone     // no row has the key any more
    };
    virtual ~RowGuard() = default;
    // Inside the transaction, the row locked.
    virtual Verdict check(qint64 key) = 0;
    // After a Changed verdict, with the transaction rolled back (no lock is held while this
    // runs, since it may wait for the user): true to make the change over the row as it is
    // now stored, which the next check then expects; false ends the change unwritten.
    virtual bool overwrite() = 0;
    // After the change, inside its transaction and before its COMMIT: what the row holds
    // now is this program's own change, which a later check must not take for another
    // workstation's (the COMMIT's answer may be lost, and the retry then finds it).
    virtual void changeMade(qint64 key) = 0;
    // The COMMIT of that change succeeded: the row as changed is what is expected from now.
    virtual void changeCommitted() = 0;
};

} // namespace kx

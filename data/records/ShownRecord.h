#pragma once

#include "data/table/ShownRowGuard.h"

#include <functional>

namespace kx {

class RecordService;

// A record as a window showed it, kept so that the window's later store or delete of that
// record through the record service never goes over what another workstation stored
// meanwhile unless the user agrees (see ShownRowGuard). The question comes with each change.
class ShownRecord {
public:
    explicit ShownRecord(RecordService& records);

    // Remembers the record the record table stands on. Called before the window reads the
    // values it shows: a change that comes in between is then asked about, never missed.
    void remember();
    void forget();

private:
    friend class RecordService;
    // Runs change with the check on; goOver is asked when the record differs from what was
    // shown, and true lets the change go over the record as it is now stored.
    void change(const std::function<bool()>& goOver, const std::function<void()>& change);

    std::function<bool()> m_goOver; // the question of the change under way
    ShownRowGuard m_guard;
};

} // namespace kx

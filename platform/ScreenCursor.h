#pragma once

namespace kx {

// The one screen cursor of the program, as a global setting: the busy cursor while data is
// read or written, the database wait cursor while the login connects, probes and creates.
enum class CursorShape { Default, Busy, DbWait };

class ScreenCursor {
public:
    static void set(CursorShape shape);
    static CursorShape current();
};

// The busy cursor for as long as a block of work runs, the normal one again when it ends,
// also when it ends with an error.
class BusyCursor {
public:
    BusyCursor() {
        ScreenCursor::set(CursorShape::Busy);
    }
    ~BusyCursor() {
        ScreenCursor::set(CursorShape::Default);
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace kx

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

// A cursor for as long as a block of work runs, the normal one again when it ends, also when
// it ends with an error: no window has to set the normal cursor back by hand.
class CursorScope {
public:
    explicit CursorScope(CursorShape shape);
    ~CursorScope();
    CursorScope(const CursorScope&) = delete;
    CursorScope& operator=(const CursorScope&) = delete;
};

// The busy cursor while data is read or written.
class BusyCursor : public CursorScope {
public:
    BusyCursor() : CursorScope(CursorShape::Busy) {}
};

// The database wait cursor while the login connects, probes and creates.
class DbWaitCursor : public CursorScope {
public:
    DbWaitCursor() : CursorScope(CursorShape::DbWait) {}
};

} // namespace kx

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

} // namespace kx

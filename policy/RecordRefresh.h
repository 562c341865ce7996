#pragma once

namespace kx {

class RecordService;

// The record table and then the record query read again from the server under the busy
// cursor, the normal one back afterwards, also after a failure: what a window does before it
// looks a record up, and after it has changed one.
void refreshUnderBusyCursor(RecordService& records);

} // namespace kx

#include "RecordRefresh.h"

#include "data/RecordService.h"
#include "platform/ScreenCursor.h"

namespace kx {

void refreshUnderBusyCursor(RecordService& records) {
    const BusyCursor busy;
    records.refresh();
}

} // namespace kx

#include "RecordRefresh.h"

#include "data/records/RecordService.h"
#include "platform/ScreenCursor.h"

namespace kx {

void refreshUnderBusyCursor(RecordService& records) {
    const BusyCursor busy;
    records.refresh();
}

} // namespace kx

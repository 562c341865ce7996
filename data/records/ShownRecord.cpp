#include "data/records/ShownRecord.h"

#include "data/records/RecordService.h"

namespace kx {

ShownRecord::ShownRecord(RecordService& records)
    : m_guard(records.m_table, [this] { return m_goOver && m_goOver(); }) {}

void ShownRecord::remember() {
    m_guard.remember();
}

void ShownRecord::forget() {
    m_guard.forget();
}

void ShownRecord::change(const std::function<bool()>& goOver, const std::function<void()>& change) {
    m_goOver = goOver;
    try {
        m_guard.run(change);
    } catch (...) {
        m_goOver = nullptr;
        throw;
    }
    m_goOver = nullptr;
}

} // namespace kx

#pragma once

#include <sys/resource.h>

namespace kx::test {

// While it lives, no file of this process may grow past limit bytes: a write beyond it goes
// out in part, up to the limit, and then fails with EFBIG ("File too large"), as writes do on
// a disk that fills up. Needs no privileges and touches no other process (the test server).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
};

} // namespace kx::test

#include "FileSizeLimit.h"

#include <csignal>

namespace kx::test {

FileSizeLimit::FileSizeLimit(rlim_t limit) {
    // A write past the limit fails with EFBIG instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &m_old);
    rlimit now = m_old;
    now.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &now);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_old);
}

} // namespace kx::test

// Holds the largest file size the process may write, like a disk that is full
// (tests run as root, where permissions do not refuse a write). The caller
// ignores SIGXFSZ so a refused write fails instead of ending the process.
#pragma once

#include <sys/resource.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

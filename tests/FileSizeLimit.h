#pragma once

// No file of this process may grow past a size while this lives: a write beyond it fails
// with EFBIG (the signal the system would send instead is ignored meanwhile), as on a
// full disk.

#include <QtGlobal>

#include <csignal>
#include <sys/resource.h>

namespace testing {

class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = rlim_t(bytes);
        m_ok = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace testing

// Counts the files written into a hive's folder, to tell how many times a
// call wrote the hive: a temporary file written and renamed into place is two.
#pragma once

#include "tests/support/TestEnv.h"

#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

class CWriteCounter {
public:
    explicit CWriteCounter(const CScopedPlatformFiles& files)
    {
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(m_fd, files.Dir().Path().c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~CWriteCounter() { close(m_fd); }
    CWriteCounter(const CWriteCounter&) = delete;
    CWriteCounter& operator=(const CWriteCounter&) = delete;

    // Files closed after writing or renamed into the folder since the last
    // call, the hive's lock file left out.
    int Take()
    {
        int nEvents = 0;
        alignas(inotify_event) char buf[4096];
        for (;;) {
            const ssize_t n = read(m_fd, buf, sizeof(buf));
            if (n <= 0)
                return nEvents;
            for (ssize_t nPos = 0; nPos < n;) {
                const auto* pEvent = reinterpret_cast<const inotify_event*>(buf + nPos);
                if (pEvent->len && std::strcmp(pEvent->name, "registry.reg.lock") != 0)
                    ++nEvents;
                nPos += static_cast<ssize_t>(sizeof(inotify_event) + pEvent->len);
            }
        }
    }

private:
    int m_fd;
};

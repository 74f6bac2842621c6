// The eventfd that wakes the user-interface thread.
#include "framework/posix/Waker.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

BOOL CAfxWaker::Open()
{
    if (m_fd.load() >= 0)
        return TRUE;
    m_uiThread = std::this_thread::get_id();
    // Published last: another thread that sees the descriptor sees the thread too.
    m_fd.store(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    return m_fd.load() >= 0 ? TRUE : FALSE;
}

BOOL CAfxWaker::WakeFromOtherThread()
{
    const int fd = m_fd.load();
    if (fd < 0 || OnUiThread())
        return FALSE;
    const std::uint64_t nOne = 1;
    [[maybe_unused]] ssize_t n = ::write(fd, &nOne, sizeof(nOne));
    return TRUE;
}

int CAfxWaker::TakeWakes()
{
    std::uint64_t nCount = 0;
    if (::read(m_fd.load(), &nCount, sizeof(nCount)) != static_cast<ssize_t>(sizeof(nCount)))
        return 0;
    return static_cast<int>(std::min<std::uint64_t>(nCount, 1 << 30));
}

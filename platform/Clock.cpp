// The clock the program reads, the system's or a test's, and what is built
// on it; the system's own clock is one file per system (PosixClock.cpp,
// win32/Clock.cpp).
#include "platform/Clock.h"

#include <atomic>
#include <ctime>

namespace {

std::atomic<IClock*> s_pClock{nullptr};

}  // namespace

IClock& Clock()
{
    if (IClock* pClock = s_pClock.load())
        return *pClock;
    return SystemClock();
}

void SetClock(IClock* pClock) { s_pClock.store(pClock); }

DWORD GetTickCount() { return Clock().GetTickCount(); }

void Sleep(DWORD dwMilliseconds) { Clock().Sleep(dwMilliseconds); }

CString FormatLocalTime(const char* pszFormat)
{
    IClock& clock = Clock();
    const std::tm tmNow = clock.LocalTime(clock.Time());
    char szText[128];
    const size_t nLength = std::strftime(szText, sizeof(szText), pszFormat, &tmNow);
    return CString(szText, nLength);
}

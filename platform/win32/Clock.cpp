// The clock on Windows: GetTickCount, Sleep and the C runtime's local time.
#include "platform/Clock.h"
#include "platform/win32/shim/Win32System.h"

#include <atomic>
#include <cstring>

namespace {

class CSystemClock : public IClock {
public:
    DWORD GetTickCount() override { return static_cast<DWORD>(w32sys::TickCount()); }
    std::time_t Time() override { return std::time(nullptr); }
    std::tm LocalTime(std::time_t t) override
    {
        std::tm tmOut{};
        w32sys::LocalTime(t, tmOut);
        return tmOut;
    }
    void Sleep(DWORD dwMilliseconds) override { w32sys::Sleep(dwMilliseconds); }
};

std::atomic<IClock*> s_pClock{nullptr};

}  // namespace

IClock& Clock()
{
    if (IClock* pClock = s_pClock.load())
        return *pClock;
    // Never destroyed, like every global of the platform.
    static auto* s_pSystemClock = new CSystemClock;
    return *s_pSystemClock;
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

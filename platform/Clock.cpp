#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

class CSystemClock : public IClock {
public:
    DWORD GetTickCount() override
    {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<DWORD>(ms.count());  // wraps like the real tick count
    }
    std::time_t Time() override { return std::time(nullptr); }
    std::tm LocalTime(std::time_t t) override
    {
        std::tm tmOut{};
        localtime_r(&t, &tmOut);
        return tmOut;
    }
    void Sleep(DWORD dwMilliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds)); }
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

// The system's clock on Windows: GetTickCount, Sleep and the C runtime's local time.
#include "platform/Clock.h"
#include "platform/win32/shim/Win32System.h"


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

}  // namespace

IClock& SystemClock()
{
    // Never destroyed, like every global of the platform.
    static auto* s_pSystemClock = new CSystemClock;
    return *s_pSystemClock;
}

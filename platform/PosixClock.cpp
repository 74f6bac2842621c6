// The system's clock on Linux: a steady millisecond count, the C library's
// local time, and the thread's own sleep.
#include "platform/Clock.h"

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

}  // namespace

IClock& SystemClock()
{
    // Never destroyed, like every global of the platform.
    static auto* s_pSystemClock = new CSystemClock;
    return *s_pSystemClock;
}

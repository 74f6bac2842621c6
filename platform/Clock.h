// The clock: millisecond tick count, calendar time, local time, sleeping.
// Tests install a clock of their own to set the time.
#pragma once

#include "framework/AfxTypes.h"

#include <ctime>

class IClock {
public:
    virtual ~IClock() = default;
    virtual DWORD GetTickCount() = 0;        // ms since an arbitrary start; wraps after 49.7 days
    virtual std::time_t Time() = 0;          // calendar time, seconds
    virtual std::tm LocalTime(std::time_t t) = 0;
    virtual void Sleep(DWORD dwMilliseconds) = 0;
};

IClock& Clock();
// The system's own clock, whatever SetClock installed.
IClock& SystemClock();
// Installs pClock as the clock (null restores the system clock).
void SetClock(IClock* pClock);

DWORD GetTickCount();
void Sleep(DWORD dwMilliseconds);
// The current local time formatted with strftime's pszFormat ("%H:%M:%S").
CString FormatLocalTime(const char* pszFormat);

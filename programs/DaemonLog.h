// What prodletd writes: one line on standard output, with the local time, for
// each status text the window would show, each change of the tray icon and,
// at most once a minute, the tooltip's countdown. It also tells its owner
// when a probe has ended and when the engine has stopped after a failure.
#pragma once

#include "framework/console/ConsolePort.h"

#include <cstdio>
#include <functional>

class CDaemonLog : public IConsoleListener {
public:
    explicit CDaemonLog(std::FILE* pOut) : m_pOut(pOut) {}

    // From here on the engine runs: a stop is a failure, not the stopped
    // icon of a program that was never started.
    void Arm() { m_bArmed = TRUE; }
    BOOL BoxShown() const { return m_bBoxShown; }

    // The icon went from probing back to idle: the reply came, or the probe
    // was counted as a failure.
    std::function<void()> m_fnProbeEnded;
    // The icon shows stopped: the engine stopped after a failure.
    std::function<void()> m_fnStopped;

    void OnControlText(UINT nTemplateId, int nCtrlId, const CString& strText) override;
    void OnTrayIcon(HICON hIcon) override;
    void OnTrayTip(const CString& strTip) override;
    void OnMessageBox(const CString& strText) override;

    // Writes "<YYYY-MM-DD HH:MM:SS> strText" as one line.
    void Line(const CString& strText);

    // A tooltip that only counts on (its digits change) is written at most
    // once in this many milliseconds; any other change at once.
    static constexpr DWORD kTipIntervalMs = 60000;

private:
    std::FILE* m_pOut;
    BOOL m_bArmed = FALSE;
    BOOL m_bBoxShown = FALSE;
    UINT m_nIcon = 0;  // resource id of the icon shown; 0 before the first
    CString m_strTipShape;  // the last written tooltip without digits and blanks
    DWORD m_dwTipTick = 0;  // when it was written
};

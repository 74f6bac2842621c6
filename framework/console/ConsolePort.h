// The console backend of the framework: no display and no toolkit. Windows
// and controls are plain objects that keep their text and state, one poll
// loop runs timers, descriptors and the queue, message boxes go to standard
// error, and what the program shows is reported to a listener.
#pragma once

#include "framework/Port.h"

// What the program shows, as it changes. Every call comes on the
// user-interface thread, after the change.
class IConsoleListener {
public:
    virtual ~IConsoleListener() = default;
    // A control's text changed: nTemplateId names the form or dialog it sits
    // in (0 for none), nCtrlId the control (-1 for none).
    virtual void OnControlText(UINT nTemplateId, int nCtrlId, const CString& strText) = 0;
    // The icon of the notification area shows another image.
    virtual void OnTrayIcon(HICON hIcon) = 0;
    virtual void OnTrayTip(const CString& strTip) = 0;
    // A message box was shown, that is written to standard error.
    virtual void OnMessageBox(const CString& strText) = 0;
};

CAfxPort& AfxConsolePort();

// Null for none. The listener must outlive its use.
void AfxConsoleSetListener(IConsoleListener* pListener);
// Put before the first line of every message box on standard error
// ("prodletd: "); the program's file name unless set.
void AfxConsoleSetProgramName(const CString& strName);

// The settings --once works on: a private copy of the settings file, so that
// one probe changes nothing. The engine stores the interval and the host list
// after every connect, and a first run imports the seed file; all of that
// goes into the copy, which goes at the end. The real file stays byte for
// byte as it was, and is not created when there was none.
#pragma once

#include "framework/AfxTypes.h"

class COnceSettings {
public:
    COnceSettings() = default;
    ~COnceSettings();  // removes the copy
    COnceSettings(const COnceSettings&) = delete;
    COnceSettings& operator=(const COnceSettings&) = delete;

    // Copies the settings file (as PRODLET_HIVE or the usual place names it)
    // into a private directory and points PRODLET_HIVE at the copy; when the
    // program's key is not there yet, imports the seed file into the copy as
    // a first run would; and turns Ignore Connection Failures off in the
    // copy, so that a failed probe is reported rather than tried again with
    // the next host. FALSE, with the reason, when the copy cannot be made.
    BOOL Prepare(CString& strError);

    const CString& CopyPath() const { return m_strCopy; }

private:
    CString m_strDir;
    CString m_strCopy;
};

// Drives a CProdletView the way the platform would: a frame to live in, a
// private hive, a hand-set clock, a scripted network, and recorders for the
// message boxes and notification-area calls it makes.
#pragma once

#include "engine/ProdletView.h"
#include "framework/Resources.h"
#include "framework/Shell.h"
#include "framework/Testing.h"
#include "settings/RegistrySettings.h"
#include "tests/engine/ScriptedWinsock.h"
#include "tests/engine/ViewTestPeer.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct RecordedBox {
    std::string strCaption;
    std::string strText;
    UINT nType;
};

struct RecordedTrayCall {
    DWORD dwMessage;
    UINT uFlags;
    UINT uID;
    std::string strTip;
    HICON hIcon;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Stores a setting before the view is made.
    void Store(const char* pszName, const std::string& strValue);
    std::string Stored(const char* pszName, const char* pszDefault = "<missing>");

    // Constructs the view and runs its initial update inside a frame.
    CProdletView& MakeView();
    void TearDownView();
    CProdletView& View() { return *m_pView; }

    // Presses Start and answers the local look-up with strLocal (and, for a
    // host name, its look-up with strHostAddr), so the countdown runs.
    void StartCounting(const std::string& strLocal = "10.1.2.3", const std::string& strHostAddr = "192.0.2.10");
    void Tick(int nTimes = 1);
    std::string Status() { return Item(IDC_STATUS).GetWindowText(); }
    std::string CountdownText() { return Item(IDC_COUNTDOWN).GetWindowText(); }
    PROBE_COUNTS Counts() const { return m_pView->GetCounts(); }
    int Failures() const
    {
        PROBE_COUNTS c = m_pView->GetCounts();
        return c.nDnsFailures + c.nHttpFailures + c.nSocketFailures;
    }

    // The view's controls, found as the dialog code finds them.
    CWnd& Item(int nID);
    CButton& StartButton() { return Control<CButton>(IDC_START); }
    CComboBox& HostBox() { return Control<CComboBox>(IDC_HOSTNAMES); }
    CEdit& OftenEdit() { return Control<CEdit>(IDC_OFTEN); }
    CWnd& NextLabel() { return Item(IDC_NEXT_LABEL); }
    template <class T>
    T& Control(int nID)
    {
        T* pControl = dynamic_cast<T*>(&Item(nID));
        if (pControl == nullptr)
            throw std::runtime_error("control " + std::to_string(nID) + " is not of the expected class");
        return *pControl;
    }
    // Presses Start as a user does.
    void PressStart() { m_pView->SendMessage(WM_COMMAND, IDC_START, 0); }
    // Types strText into the interval field and presses Start, answering the
    // local look-up if it is asked: with a dotted-quad host the interval is
    // applied (or rejected) at once.
    void TypeIntervalAndStart(const std::string& strText);
    // The socket the last probe opened on the scripted network.
    SOCKET ProbeSocket() const { return m_net.m_lastSocket; }
    HICON LastIcon() const;
    std::string LastTip() const;

    CScopedPlatformFiles m_files;
    CFakeClock m_clock;
    CScriptedWinsock m_net;
    std::unique_ptr<CRegistrySettings> m_pSettings;
    std::vector<RecordedBox> m_boxes;
    std::vector<RecordedTrayCall> m_tray;
    BOOL m_bTrayAvailable = TRUE;
    CFrameWnd* m_pFrame = nullptr;
    CProdletView* m_pView = nullptr;
};

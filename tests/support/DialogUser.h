// What the user of a modal dialog does, for tests. CModalDriver acts at a
// dialog while it is open: the actions are handed to the user-interface
// thread before the dialog is run, and the dialog's modal loop runs them once
// it shows. Actions that leave the dialog open make it end with kLeftOpen, so
// a fault fails the test instead of hanging it.
// Header only, for test binaries that link the framework.
#pragma once

#include "framework/Testing.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CModalDriver {
public:
    static constexpr int kLeftOpen = -2;

    // Declare the driver after the dialog, so that it goes first.
    CModalDriver(CDialog& dlg, std::function<void()> fnActions) : m_pState(std::make_shared<State>())
    {
        std::shared_ptr<State> pState = m_pState;
        CDialog* pDlg = &dlg;
        AfxRunOnUiThread([pState, pDlg, fn = std::move(fnActions)] {
            if (pState->bGone)
                return;
            pState->bRan = true;
            pState->bWasOpen = pDlg->IsWindowVisible();
            if (!pState->bWasOpen)
                return;
            fn();
            if (pDlg->IsWindowVisible()) {
                pState->bLeftOpen = true;
                pDlg->EndDialog(kLeftOpen);
            }
        });
    }

    ~CModalDriver()
    {
        // The actions must never run against a dialog object that has gone.
        if (!m_pState->bRan)
            AfxPumpUntil([this] { return m_pState->bRan; }, 10000);
        m_pState->bGone = true;
        EXPECT_TRUE(m_pState->bWasOpen) << "the dialog was not open when its user acted";
        EXPECT_FALSE(m_pState->bLeftOpen) << "the dialog was still open after its user acted";
    }

    CModalDriver(const CModalDriver&) = delete;
    CModalDriver& operator=(const CModalDriver&) = delete;

private:
    struct State {
        bool bRan = false;
        bool bWasOpen = false;
        bool bLeftOpen = false;
        bool bGone = false;
    };
    std::shared_ptr<State> m_pState;
};

inline void ClickItem(CWnd& dlg, int nID) { AfxClickForTesting(dlg.GetDlgItem(nID)); }

// The order a drag of one list entry from nFrom to nTo leaves behind, made
// with the list's own operations. The mouse drag itself is the framework drag
// list box's and is driven end to end; the program sees only the new order.
inline void MoveListEntry(CListBox& list, int nFrom, int nTo)
{
    std::vector<std::string> entries;
    for (int i = 0; i < list.GetCount(); ++i) {
        CString str;
        list.GetText(i, str);
        entries.push_back(str);
    }
    const std::string strMoved = entries.at(nFrom);
    entries.erase(entries.begin() + nFrom);
    entries.insert(entries.begin() + nTo, strMoved);
    list.ResetContent();
    for (const std::string& str : entries)
        list.AddString(str);
}

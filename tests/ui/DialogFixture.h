// The program's dialogs on their own: the program's resources, a private
// hive as the settings store, and for Edit Names a main window whose view
// holds the host-name list the dialog copies.
#pragma once

#include "framework/Resources.h"
#include "framework/Testing.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "settings/RegistrySettings.h"
#include "tests/support/DialogUser.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A main frame whose active view is the program's form, its host-name
    // list filled with entries.
    void MakeMainView(const std::vector<std::string>& entries);
    CComboBox& ViewNames() { return m_cbViewNames; }

    void Store(const char* pszName, const std::string& strValue);
    std::string Stored(const char* pszName, const char* pszDefault = "<missing>");

    static std::vector<std::string> Entries(const CListBox& list);

    CScopedPlatformFiles m_files;
    std::unique_ptr<CRegistrySettings> m_pSettings;
    CWinApp m_app;
    CFrameWnd* m_pFrame = nullptr;
    CFormView* m_pView = nullptr;
    CComboBox m_cbViewNames;
};

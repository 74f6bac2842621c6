// The application object: the one settings store, start-up and exit.
#pragma once

#include "framework/WinApp.h"
#include "settings/RegistrySettings.h"

#include <memory>

class CProdletApp : public CWinApp {
public:
    CProdletApp();
    ~CProdletApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // The one settings store, from the first step of start-up to the exit step.
    std::unique_ptr<CRegistrySettings> m_pSettings;
    BOOL m_bMailLinkVisited = FALSE;
    BOOL m_bWebLinkVisited = FALSE;

    DECLARE_MESSAGE_MAP()
};

// Where the program keeps its settings below HKEY_LOCAL_MACHINE.
CString ProdletBaseKeyPath(const CString& strAppName);

#include "programs/OnceSettings.h"

#include "app/ProdletApp.h"
#include "framework/Resources.h"
#include "platform/Registry.h"
#include "res/resource.h"
#include "settings/RegistrySettings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

COnceSettings::~COnceSettings()
{
    if (m_strDir.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(m_strDir, ec);
}

BOOL COnceSettings::Prepare(CString& strError)
{
    namespace fs = std::filesystem;
    const CString strReal = RegGetHivePath();

    const char* pszTmp = std::getenv("TMPDIR");
    CString strTemplate = CString(pszTmp && *pszTmp ? pszTmp : "/tmp") + "/prodletd-once-XXXXXX";
    if (mkdtemp(strTemplate.data()) == nullptr) {
        strError = "cannot make a directory for a copy of the settings: " + CString(std::strerror(errno));
        return FALSE;
    }
    m_strDir = strTemplate;
    m_strCopy = m_strDir + "/registry.reg";

    std::error_code ec;
    if (fs::exists(strReal, ec)) {
        // One read of a file that writers replace whole: a consistent copy.
        fs::copy_file(strReal, m_strCopy, ec);
        if (ec) {
            strError = "cannot copy the settings " + strReal + ": " + ec.message();
            return FALSE;
        }
    }
    setenv("PRODLET_HIVE", m_strCopy.c_str(), 1);

    // The steps of the application's start-up that may write: done here on
    // the copy, so that start-up then finds the key and imports nothing.
    AfxSetResources(&ProdletResources());
    CString strAppName;
    AfxLoadString(AFX_IDS_APP_TITLE, strAppName);
    CRegistrySettings settings;
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    if (settings.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, ProdletBaseKeyPath(strAppName).c_str())) {
        if (dwDisposition == REG_CREATED_NEW_KEY)
            settings.ImportIniFile(hKey);
        RegCloseKey(hKey);
    }
    if (!settings.WriteInt("Settings", "Ignore", 0)) {
        strError = "cannot write the copy of the settings " + m_strCopy;
        return FALSE;
    }
    return TRUE;
}

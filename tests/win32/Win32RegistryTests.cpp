// The registry on Windows: our Reg... calls on the real advapi32 keys (below
// a private tree of HKEY_CURRENT_USER, see RegRedirectForTesting), their
// transactions, and the fallback to HKEY_CURRENT_USER for a user who may not
// write below HKEY_LOCAL_MACHINE; and the settings store on top of it.
#include "platform/Registry.h"
#include "platform/win32/RegistryTesting.h"
#include "settings/RegistrySettings.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr const char* kBase = "Software\\Quorvane Software\\Prodlet";

CString Query(HKEY hRoot, const char* pszKey, const char* pszName, LONG* plResult = nullptr)
{
    HKEY hKey = 0;
    LONG lResult = RegOpenKeyExA(hRoot, pszKey, 0, KEY_READ, &hKey);
    CString strValue;
    if (lResult == ERROR_SUCCESS) {
        char szBuf[256] = {};
        DWORD cb = sizeof(szBuf), dwType = 0;
        lResult = RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(szBuf), &cb);
        if (lResult == ERROR_SUCCESS)
            strValue = szBuf;
        RegCloseKey(hKey);
    }
    if (plResult)
        *plResult = lResult;
    return strValue;
}

LONG Set(HKEY hKey, const char* pszName, const char* pszText)
{
    return RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszText),
                          static_cast<DWORD>(std::strlen(pszText) + 1));
}

class Win32RegistryTest : public testing::Test {
protected:
    CScopedPlatformFiles m_files;
};

TEST_F(Win32RegistryTest, KeysAndValuesReachTheRealRegistry)
{
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\A\\B", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey,
                              &dwDisposition),
              ERROR_SUCCESS);
    EXPECT_EQ(dwDisposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(Set(hKey, "Often", "25"), ERROR_SUCCESS);
    // A key opened for writing cannot read, as on Windows.
    char szBuf[8];
    DWORD cb = sizeof(szBuf);
    EXPECT_EQ(RegQueryValueExA(hKey, "Often", nullptr, nullptr, reinterpret_cast<BYTE*>(szBuf), &cb),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(hKey), ERROR_INVALID_HANDLE);

    EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "software\\a\\b", "OFTEN"), "25");  // names fold case
    LONG lResult = 0;
    Query(HKEY_LOCAL_MACHINE, "Software\\A\\B", "Missing", &lResult);
    EXPECT_EQ(lResult, ERROR_FILE_NOT_FOUND);
    Query(HKEY_LOCAL_MACHINE, "Software\\A\\Missing", "Often", &lResult);
    EXPECT_EQ(lResult, ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\A\\B", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey,
                              &dwDisposition),
              ERROR_SUCCESS);
    EXPECT_EQ(dwDisposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(hKey);
    // What a hive file would show, from the real keys.
    EXPECT_NE(m_files.HiveText().find("[HKEY_LOCAL_MACHINE\\Software\\A\\B]\n\"Often\"=\"25\""), std::string::npos);
    EXPECT_FALSE(RegUsesCurrentUser());
}

TEST_F(Win32RegistryTest, SizesAndBuffersAsWindowsAnswersThem)
{
    HKEY hKey = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\S", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &hKey,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(Set(hKey, "Text", "hello"), ERROR_SUCCESS);
    DWORD cb = 0, dwType = 0;
    EXPECT_EQ(RegQueryValueExA(hKey, "Text", nullptr, &dwType, nullptr, &cb), ERROR_SUCCESS);
    EXPECT_EQ(cb, 6u);
    EXPECT_EQ(dwType, REG_SZ);
    char szSmall[3] = {};
    cb = sizeof(szSmall);
    EXPECT_EQ(RegQueryValueExA(hKey, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(szSmall), &cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 6u);
    // Only REG_SZ is written; control characters make no key name.
    const DWORD dwValue = 7;
    EXPECT_EQ(RegSetValueExA(hKey, "N", 0, 4, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue)),
              ERROR_INVALID_PARAMETER);
    HKEY hBad = 0;
    EXPECT_EQ(RegCreateKeyExA(hKey, "bad\nname", 0, nullptr, 0, KEY_WRITE, nullptr, &hBad, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(hKey);
}

TEST_F(Win32RegistryTest, ATransactionWritesNothingUntilItsCommit)
{
    const HANDLE hTransaction = CreateTransaction();
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_EQ(RegCreateKeyTransactedA(HKEY_LOCAL_MACHINE, kBase, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey,
                                      &dwDisposition, hTransaction, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(dwDisposition, REG_CREATED_NEW_KEY);
    HKEY hSection = 0;
    ASSERT_EQ(RegCreateKeyExA(hKey, "Settings", 0, nullptr, 0, KEY_WRITE, nullptr, &hSection, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(Set(hSection, "Often", "9"), ERROR_SUCCESS);
    LONG lResult = 0;
    Query(HKEY_LOCAL_MACHINE, kBase, "", &lResult);
    EXPECT_EQ(lResult, ERROR_FILE_NOT_FOUND);  // not even the key, yet

    ASSERT_TRUE(CommitTransaction(hTransaction));
    EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "Software\\Quorvane Software\\Prodlet\\Settings", "Often"), "9");
    // Its keys are done with.
    EXPECT_EQ(Set(hSection, "Often", "10"), ERROR_TRANSACTION_NOT_ACTIVE);
    EXPECT_FALSE(CommitTransaction(hTransaction));
    RegCloseKey(hSection);
    RegCloseKey(hKey);
    EXPECT_TRUE(CloseHandle(hTransaction));

    // Closed without a commit: no trace.
    const HANDLE hDropped = CreateTransaction();
    ASSERT_EQ(RegCreateKeyTransactedA(HKEY_LOCAL_MACHINE, "Software\\Dropped", 0, nullptr, 0, KEY_WRITE, nullptr,
                                      &hKey, nullptr, hDropped, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(hKey);
    EXPECT_TRUE(CloseHandle(hDropped));
    Query(HKEY_LOCAL_MACHINE, "Software\\Dropped", "", &lResult);
    EXPECT_EQ(lResult, ERROR_FILE_NOT_FOUND);
}

// A standard user may read HKEY_LOCAL_MACHINE but not write below it (Wine
// lets everyone, hence the seam).
TEST_F(Win32RegistryTest, AUserWhoCannotWriteTheMachineKeysKeepsSettingsBelowTheirOwn)
{
    RegFailMachineWritesForTesting(TRUE);
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kBase, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, &dwDisposition),
              ERROR_SUCCESS);
    EXPECT_TRUE(RegUsesCurrentUser());
    EXPECT_EQ(dwDisposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(Set(hKey, "Often", "12"), ERROR_SUCCESS);
    RegCloseKey(hKey);
    // Reads go there too for the rest of the run.
    EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, kBase, "Often"), "12");
    EXPECT_NE(RegExportForTesting(TRUE).find("[HKEY_CURRENT_USER\\Software\\Quorvane Software\\Prodlet]\n\"Often\"=\"12\""),
              std::string::npos);
    EXPECT_EQ(RegExportForTesting(FALSE).find("Often"), std::string::npos);
    EXPECT_EQ(RegGetHivePath(), "HKEY_CURRENT_USER");
}

TEST_F(Win32RegistryTest, TheMachineKeysStayWhereTheyCanBeWritten)
{
    CRegistrySettings settings;
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_TRUE(settings.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, kBase));
    RegCloseKey(hKey);
    EXPECT_TRUE(settings.WriteInt("Settings", "Often", 5));
    EXPECT_FALSE(RegUsesCurrentUser());
    EXPECT_NE(RegExportForTesting(FALSE).find("\"Often\"=\"5\""), std::string::npos);
}

TEST_F(Win32RegistryTest, TheStoreImportsTheSeedBelowTheUsersKeysWhenTheMachinesAreClosed)
{
    m_files.Dir().Write("Prodlet.INI", "[Settings]\r\nOften=17\r\n[HostNames]\r\nCount=1\r\nHost0=example.org\r\n");
    RegFailMachineWritesForTesting(TRUE);
    {
        CRegistrySettings settings;
        HKEY hKey = 0;
        DWORD dwDisposition = 0;
        ASSERT_TRUE(settings.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, kBase));
        EXPECT_EQ(dwDisposition, REG_CREATED_NEW_KEY);
        settings.ImportIniFile(hKey);
        RegCloseKey(hKey);
        EXPECT_EQ(settings.ReadInt("Settings", "Often", 25), 17);
        EXPECT_EQ(settings.ReadString("HostNames", "Host0", ""), "example.org");
        EXPECT_TRUE(settings.WriteInt("Settings", "Often", 30));
        EXPECT_EQ(settings.ReadInt("Settings", "Often", 25), 30);
    }
    EXPECT_TRUE(RegUsesCurrentUser());
    EXPECT_NE(RegExportForTesting(TRUE).find("\"Often\"=\"30\""), std::string::npos);
    EXPECT_EQ(RegExportForTesting(FALSE).find("Often"), std::string::npos);

    // The next run finds its key there and imports nothing again.
    CRegistrySettings settings;
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_TRUE(settings.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, kBase));
    EXPECT_EQ(dwDisposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(hKey);
}

TEST_F(Win32RegistryTest, TheSeedFileIsLookedForInTheWindowsDirectory)
{
    char szDir[260] = {};
    const UINT nLength = GetWindowsDirectoryA(szDir, sizeof(szDir));
    EXPECT_EQ(CString(szDir, nLength), m_files.WinDir());
    EXPECT_EQ(GetWindowsDirectoryA(szDir, 2), m_files.WinDir().size() + 1);

    SetWindowsDirectoryForTesting("");
    EXPECT_GT(GetWindowsDirectoryA(szDir, sizeof(szDir)), 2u);  // the system's own (C:\windows under Wine)
    EXPECT_EQ(szDir[1], ':');
}

}  // namespace

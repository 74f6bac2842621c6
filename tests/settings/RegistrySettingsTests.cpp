#include "settings/RegistrySettings.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstdlib>
#include <filesystem>

namespace {

const char s_szBase[] = "Software\\Quorvane Software\\Prodlet";
const char s_szSettings[] = "Software\\Quorvane Software\\Prodlet\\Settings";

// The value's text as the registry has it, or "<missing>".
CString Raw(const CString& strPath, const char* pszName)
{
    HKEY hKey = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, strPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "<no key>";
    char szBuf[2048];
    DWORD cb = sizeof(szBuf);
    const LONG lResult = RegQueryValueExA(hKey, pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(szBuf), &cb);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? CString(szBuf, cb - 1) : CString("<missing>");
}

BOOL KeyExists(const CString& strPath)
{
    HKEY hKey = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, strPath.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return FALSE;
    RegCloseKey(hKey);
    return TRUE;
}

class SettingsStore : public testing::Test {
protected:
    // What application start-up does: make the base key, import on its first run.
    DWORD StartUp()
    {
        HKEY hKey = 0;
        DWORD dwDisposition = 0;
        if (!m_store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase))
            return 0;
        if (dwDisposition == REG_CREATED_NEW_KEY)
            m_store.ImportIniFile(hKey);
        RegCloseKey(hKey);
        return dwDisposition;
    }
    void WriteIni(const CString& strText) { m_files.Dir().Write("Prodlet.INI", strText); }

    CScopedPlatformFiles m_files;
    CRegistrySettings m_store;
};

}  // namespace

TEST_F(SettingsStore, FirstRunCreatesTheBaseKeyAndImportsLaterRunsDoNot)
{
    WriteIni("[Settings]\nOften=7\n");
    EXPECT_EQ(StartUp(), REG_CREATED_NEW_KEY);
    EXPECT_EQ(m_store.GetBasePath(), s_szBase);
    EXPECT_EQ(m_store.ReadString("Settings", "Often", "25"), "7");

    WriteIni("[Settings]\nOften=9\nDebug=1\n");
    CRegistrySettings second;
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_TRUE(second.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase));
    EXPECT_EQ(dwDisposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(hKey);
    EXPECT_EQ(StartUp(), REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(m_store.ReadString("Settings", "Often", "25"), "7");
    EXPECT_EQ(m_store.ReadInt("Settings", "Debug", 0), 0);
}

TEST_F(SettingsStore, UnwritableHiveKeepsTheBaseAndFallsBackToDefaults)
{
    m_files.Dir().Write("plain", "not a directory");
    setenv("PRODLET_HIVE", m_files.Dir().File("plain/registry.reg").c_str(), 1);
    WriteIni("[Settings]\nOften=7\n");
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    EXPECT_FALSE(m_store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase));
    EXPECT_EQ(m_store.GetBasePath(), s_szBase);
    EXPECT_FALSE(m_store.WriteInt("Settings", "Ignore", 0));
    EXPECT_FALSE(m_store.WriteString("Settings", "Often", "5"));
    EXPECT_EQ(m_store.ReadInt("Settings", "Ignore", 1), 1);
    EXPECT_EQ(m_store.ReadString("Settings", "Often", "25"), "25");
}

TEST_F(SettingsStore, IntegersAreStoredAsDecimalTextAndReadLikeScanf)
{
    StartUp();
    EXPECT_TRUE(m_store.WriteInt("Settings", "n", -5));
    EXPECT_EQ(Raw(s_szSettings, "n"), "-5");
    EXPECT_EQ(m_store.ReadInt("Settings", "n", 0), -5);
    EXPECT_TRUE(m_store.WriteInt("Settings", "min", INT_MIN));
    EXPECT_EQ(m_store.ReadInt("Settings", "min", 0), INT_MIN);

    const struct {
        const char* pszText;
        int nExpected;
    } cases[] = {
        {" 12abc", 12}, {"\t+7", 7},   {"\n-3 4", -3}, {"007", 7},      {"abc", 99},
        {"", 99},       {"-", 99},     {"- 1", 99},    {"0x10", 0},     {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(m_store.WriteString("Settings", "t", c.pszText));
        EXPECT_EQ(m_store.ReadInt("Settings", "t", 99), c.nExpected) << '"' << c.pszText << '"';
    }
}

TEST_F(SettingsStore, NumbersIgnoreTheProcessLocale)
{
    const std::string strOld = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "no de_DE.UTF-8 locale installed";
    StartUp();
    EXPECT_TRUE(m_store.WriteInt("Settings", "n", -1234567));
    EXPECT_EQ(Raw(s_szSettings, "n"), "-1234567");
    EXPECT_EQ(m_store.ReadInt("Settings", "n", 0), -1234567);
    EXPECT_TRUE(m_store.WriteString("Settings", "t", " 12abc"));
    EXPECT_EQ(m_store.ReadInt("Settings", "t", 0), 12);
    std::setlocale(LC_ALL, strOld.c_str());
}

TEST_F(SettingsStore, TextsOf260CharactersOrMoreReadAsMissing)
{
    StartUp();
    const CString str259(259, 'x');
    EXPECT_TRUE(m_store.WriteString("Settings", "s", str259.c_str()));
    EXPECT_EQ(m_store.ReadString("Settings", "s", "dflt"), str259);
    EXPECT_TRUE(m_store.WriteString("Settings", "s", (str259 + "y").c_str()));
    EXPECT_EQ(Raw(s_szSettings, "s"), str259 + "y");
    EXPECT_EQ(m_store.ReadString("Settings", "s", "dflt"), "dflt");
    EXPECT_TRUE(m_store.WriteString("Settings", "n", ("4" + CString(259, '0')).c_str()));
    EXPECT_EQ(m_store.ReadInt("Settings", "n", 8), 8);
}

TEST_F(SettingsStore, ValuesOfOtherTypesReadAsMissing)
{
    m_files.Dir().Write("registry.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Quorvane Software\\Prodlet\\"
                                        "Settings]\n\"Ignore\"=dword:00000000\n\"Often\"=hex:35,00\n");
    EXPECT_EQ(StartUp(), REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(m_store.ReadInt("Settings", "Ignore", 1), 1);
    EXPECT_EQ(m_store.ReadString("Settings", "Often", "25"), "25");
}

TEST_F(SettingsStore, ReadsCreateNothing)
{
    EXPECT_EQ(m_store.ReadInt("Settings", "Ignore", 1), 1);
    EXPECT_FALSE(std::filesystem::exists(m_files.HivePath()));
    StartUp();
    const CString strHive = m_files.HiveText();
    EXPECT_EQ(m_store.ReadInt("Settings", "Ignore", 1), 1);
    EXPECT_EQ(m_store.ReadString("Other", "x", "d"), "d");
    EXPECT_EQ(m_files.HiveText(), strHive);
    EXPECT_FALSE(KeyExists(s_szSettings));
}

TEST_F(SettingsStore, IniSectionAndValueLinesFollowTheirRules)
{
    WriteIni("Often=1\n"
             "[  Settings  ]\n"
             "Often = 5\n"
             "=default text\n"
             "; note=x\n"
             "; only a comment\n"
             "[a]b]\n"
             "x [y]\n"
             "\t ComboName0=a.example \r\n"
             "Debug=1\n"
             "Empty=\n"
             "[]\n"
             "Top=yes\n");
    EXPECT_EQ(StartUp(), REG_CREATED_NEW_KEY);

    EXPECT_EQ(Raw(s_szSettings, "Often "), " 5");
    EXPECT_EQ(Raw(s_szSettings, "Often"), "<missing>");
    EXPECT_EQ(Raw(s_szSettings, ""), "default text");
    EXPECT_EQ(Raw(s_szSettings, "; note"), "x");
    EXPECT_EQ(Raw(s_szSettings, "ComboName0"), "a.example");
    EXPECT_EQ(Raw(s_szSettings, "Empty"), "");
    EXPECT_EQ(m_store.ReadInt("Settings", "Debug", 0), 1);
    EXPECT_EQ(Raw(s_szBase, "Top"), "yes");
    EXPECT_EQ(Raw(s_szBase, "Often"), "<missing>");
    EXPECT_FALSE(KeyExists(CString(s_szBase) + "\\a]b"));
    EXPECT_FALSE(KeyExists(CString(s_szBase) + "\\a"));
    EXPECT_FALSE(KeyExists(CString(s_szBase) + "\\y"));
    EXPECT_FALSE(KeyExists(CString(s_szBase) + "\\  Settings  "));
    EXPECT_EQ(m_files.HiveText().find("Settings  "), CString::npos);
}

TEST_F(SettingsStore, IniLinesLongerThan519CharactersArePieces)
{
    const CString strFirst = "a=" + CString(517, 'b');  // exactly one piece
    WriteIni("[Settings]\n" + strFirst + "c=" + CString(10, 'd') + "\n" + "e=" + CString(600, 'f') + "\n");
    StartUp();
    EXPECT_EQ(Raw(s_szSettings, "a"), CString(517, 'b'));
    EXPECT_EQ(Raw(s_szSettings, "c"), CString(10, 'd'));
    EXPECT_EQ(Raw(s_szSettings, "e"), CString(517, 'f'));  // the rest has no "=" and is dropped
    EXPECT_EQ(Raw(s_szSettings, ""), "<missing>");  // a piece cut one later would start "=ddd..."
}

TEST_F(SettingsStore, MissingIniFileImportsNothing)
{
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_TRUE(m_store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase));
    const CString strHive = m_files.HiveText();
    m_store.ImportIniFile(hKey);
    RegCloseKey(hKey);
    EXPECT_EQ(m_files.HiveText(), strHive);
}

TEST_F(SettingsStore, ImportStopsAtASectionThatCannotBeCreated)
{
    WriteIni("[S]\nx=1\n[bad\x01name]\ny=2\n[T]\nz=3\n");
    StartUp();
    EXPECT_EQ(Raw(CString(s_szBase) + "\\S", "x"), "1");
    EXPECT_EQ(Raw(CString(s_szBase) + "\\S", "y"), "<missing>");
    EXPECT_FALSE(KeyExists(CString(s_szBase) + "\\T"));
}

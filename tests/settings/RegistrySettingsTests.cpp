#include "settings/RegistrySettings.h"
#include "tests/settings/SettingsFixture.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstdlib>
#include <filesystem>


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

TEST_F(SettingsStore, TextsOfAnyLengthReadWhole)
{
    StartUp();
    for (size_t nLength : {259u, 260u, 261u, 4000u, 100000u}) {
        const CString strText(nLength, 'x');
        EXPECT_TRUE(m_store.WriteString("Settings", "s", strText.c_str()));
        EXPECT_EQ(m_store.ReadString("Settings", "s", "dflt"), strText) << nLength;
    }
    // A number padded past the old buffer reads as a number, held at the largest int.
    EXPECT_TRUE(m_store.WriteString("Settings", "n", ("4" + CString(259, '0')).c_str()));
    EXPECT_EQ(m_store.ReadInt("Settings", "n", 8), INT_MAX);
    EXPECT_TRUE(m_store.WriteString("Settings", "n", (CString(300, ' ') + "17").c_str()));
    EXPECT_EQ(m_store.ReadInt("Settings", "n", 8), 17);
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

TEST_F(SettingsStore, IniLinesOfAnyLengthAreOneLine)
{
    // Lines whose 520th character starts what would read as a line of its own.
    const CString strLong = "Long=" + CString(514, 'x');
    const CString strNote = "Note=" + CString(514, 'y');
    WriteIni("[Settings]\n" + strLong + "[Other]\n" + "Ignore=0\n" + strNote + "Debug=1\n" + "Huge=" +
             CString(100000, 'z') + "\n");
    StartUp();
    EXPECT_EQ(Raw(s_szSettings, "Long"), CString(514, 'x') + "[Other]");
    EXPECT_EQ(Raw(s_szSettings, "Ignore"), "0");
    EXPECT_FALSE(KeyExists(CString(s_szBase) + "\\Other"));
    EXPECT_EQ(Raw(s_szSettings, "Note"), CString(514, 'y') + "Debug=1");
    EXPECT_EQ(Raw(s_szSettings, "Debug"), "<missing>");
    EXPECT_EQ(m_store.ReadString("Settings", "Huge", ""), CString(100000, 'z'));
}

TEST_F(SettingsStore, MissingIniFileImportsNothing)
{
    EXPECT_EQ(StartUp(), REG_CREATED_NEW_KEY);
    EXPECT_EQ(m_files.HiveText(), "REGEDIT4\n\n"
                                  "[HKEY_LOCAL_MACHINE\\Software]\n\n"
                                  "[HKEY_LOCAL_MACHINE\\Software\\Quorvane Software]\n\n"
                                  "[HKEY_LOCAL_MACHINE\\Software\\Quorvane Software\\Prodlet]\n\n");
}

TEST_F(SettingsStore, ImportStopsAtASectionThatCannotBeCreated)
{
    WriteIni("[S]\nx=1\n[bad\x01name]\ny=2\n[T]\nz=3\n");
    StartUp();
    EXPECT_EQ(Raw(CString(s_szBase) + "\\S", "x"), "1");
    EXPECT_EQ(Raw(CString(s_szBase) + "\\S", "y"), "<missing>");
    EXPECT_FALSE(KeyExists(CString(s_szBase) + "\\T"));
}

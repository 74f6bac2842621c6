#include "platform/HiveFile.h"
#include "platform/Registry.h"
#include "tests/platform/RegistryHelpers.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class CEnvGuard {
public:
    explicit CEnvGuard(const char* pszName) : m_pszName(pszName)
    {
        const char* psz = std::getenv(pszName);
        m_bHad = psz != nullptr;
        m_strOld = psz ? psz : "";
    }
    ~CEnvGuard()
    {
        if (m_bHad)
            setenv(m_pszName, m_strOld.c_str(), 1);
        else
            unsetenv(m_pszName);
    }

private:
    const char* m_pszName;
    std::string m_strOld;
    bool m_bHad;
};

}  // namespace

TEST(RegistryKeys, CreateMakesMissingKeysAndReportsOnlyTheFinalOneAsNew)
{
    CScopedPlatformFiles files;
    DWORD dwDisposition = 0;
    RegCloseKey(Create("Software\\Maker\\App", &dwDisposition));
    EXPECT_EQ(dwDisposition, REG_CREATED_NEW_KEY);
    RegCloseKey(Create("software\\MAKER\\app", &dwDisposition));
    EXPECT_EQ(dwDisposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(Create("Software\\Maker", &dwDisposition));
    EXPECT_EQ(dwDisposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(Create("Software\\maker\\App\\Settings", &dwDisposition));
    EXPECT_EQ(dwDisposition, REG_CREATED_NEW_KEY);

    // Empty keys are kept, in the case they were created in.
    EXPECT_EQ(files.HiveText(),
              "REGEDIT4\n\n"
              "[HKEY_LOCAL_MACHINE\\Software]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Maker]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Maker\\App]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Maker\\App\\Settings]\n\n");

    HKEY hKey = 0;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\maker\\app", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    RegCloseKey(hKey);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Other", 0, KEY_READ, &hKey), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hKey, 0);

    // An empty subkey opens the key itself again.
    const HKEY hApp = Create("Software\\Maker\\App");
    HKEY hSame = 0;
    EXPECT_EQ(RegCreateKeyExA(hApp, "", 0, nullptr, 0, KEY_WRITE, nullptr, &hSame, &dwDisposition), ERROR_SUCCESS);
    EXPECT_EQ(dwDisposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(SetText(hSame, "v", "1"), ERROR_SUCCESS);
    EXPECT_EQ(Read("Software\\Maker\\App", "v"), "1");
    RegCloseKey(hSame);
    RegCloseKey(hApp);
}

TEST(RegistryKeys, HandlesAndAccessAreChecked)
{
    CScopedPlatformFiles files;
    CString strText;
    EXPECT_EQ(QueryText(0, "x", strText), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetText(0x1234567, "x", "y"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(0x1234567), ERROR_INVALID_HANDLE);

    const HKEY hWrite = Create("A");
    EXPECT_EQ(RegCloseKey(hWrite), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(hWrite), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetText(hWrite, "x", "y"), ERROR_INVALID_HANDLE);
    HKEY hSub = 0;
    EXPECT_EQ(RegOpenKeyExA(hWrite, "", 0, KEY_READ, &hSub), ERROR_INVALID_HANDLE);

    HKEY hRead = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, &hRead), ERROR_SUCCESS);
    const CString strBefore = files.HiveText();
    EXPECT_EQ(SetText(hRead, "x", "y"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(hRead, "B", 0, nullptr, 0, KEY_WRITE, nullptr, &hSub, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(files.HiveText(), strBefore);
    RegCloseKey(hRead);

    // Only text values are stored, and a key name must fit on its line.
    const HKEY hKey = Create("A");
    const DWORD dwValue = 1;
    EXPECT_EQ(RegSetValueExA(hKey, "d", 0, 4, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue)),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(hKey, "line\nbreak", 0, nullptr, 0, KEY_WRITE, nullptr, &hSub, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(files.HiveText(), strBefore);
    RegCloseKey(hKey);
}

TEST(RegistryValues, QueryReportsSizesAndSetStopsAtTheFirstNul)
{
    CScopedPlatformFiles files;
    const HKEY hKey = Create("K");
    EXPECT_EQ(SetText(hKey, "Name", "hello"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(hKey, "cut", 0, REG_SZ, reinterpret_cast<const BYTE*>("ab\0cd"), 6), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(hKey, "short", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcdef"), 3), ERROR_SUCCESS);
    EXPECT_EQ(SetText(hKey, nullptr, "unnamed"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(hKey, "NAME", "again"), ERROR_SUCCESS);  // same value, its first spelling kept
    RegCloseKey(hKey);

    EXPECT_EQ(files.HiveText(),
              "REGEDIT4\n\n"
              "[HKEY_LOCAL_MACHINE\\K]\n"
              "\"Name\"=\"again\"\n"
              "\"cut\"=\"ab\"\n"
              "\"short\"=\"abc\"\n"
              "@=\"unnamed\"\n\n");
    EXPECT_EQ(Read("k", ""), "unnamed");
    EXPECT_EQ(Read("K", "name"), "again");

    HKEY hRead = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, &hRead), ERROR_SUCCESS);
    DWORD cb = 0;
    EXPECT_EQ(RegQueryValueExA(hRead, "Name", nullptr, nullptr, nullptr, &cb), ERROR_SUCCESS);
    EXPECT_EQ(cb, 6u);
    char szBuf[8] = "zzzzzzz";
    cb = 5;
    EXPECT_EQ(RegQueryValueExA(hRead, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(szBuf), &cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 6u);
    cb = 6;
    EXPECT_EQ(RegQueryValueExA(hRead, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(szBuf), &cb), ERROR_SUCCESS);
    EXPECT_STREQ(szBuf, "again");
    EXPECT_EQ(RegQueryValueExA(hRead, "none", nullptr, nullptr, reinterpret_cast<BYTE*>(szBuf), &cb),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(hRead);
}

TEST(HiveFormat, AwkwardTextsRoundTripWithoutBreakingLines)
{
    CScopedPlatformFiles files;
    const CString texts[] = {
        "C:\\temp\\",    "say \"hi\"",       "two\nlines",     "crlf\r\n", "literal \\n not a break",
        "\\x41",         "bell\x07 del\x7F", "tab\there",      "",         "[HKEY_LOCAL_MACHINE\\Fake]",
        "\"x\"=\"y\"",   "; not a comment",  "  padded  ",     "\n",       "ümlaut",
    };
    const HKEY hKey = Create("Software\\Odd \"Key\" ]name[");
    int nIndex = 0;
    for (const CString& strText : texts) {
        const CString strName = "n" + std::to_string(nIndex++) + strText;
        EXPECT_EQ(SetText(hKey, strName.c_str(), strText), ERROR_SUCCESS);
    }
    RegCloseKey(hKey);

    // Header and blank, the parent key and blank, the key line, one line per value, blank.
    const CString strHive = files.HiveText();
    EXPECT_EQ(std::count(strHive.begin(), strHive.end(), '\n'), 6 + static_cast<long>(std::size(texts)));
    CHiveFile hive;
    EXPECT_EQ(hive.Parse(strHive), 0);
    EXPECT_EQ(hive.Format(), strHive);

    nIndex = 0;
    for (const CString& strText : texts) {
        const CString strName = "n" + std::to_string(nIndex++) + strText;
        EXPECT_EQ(Read("Software\\Odd \"Key\" ]name[", strName.c_str()), strText) << strName;
    }
}

TEST(HiveFormat, HandEditedFileIsReadAndItsOtherTypesKept)
{
    CScopedPlatformFiles files;
    files.Dir().Write("registry.reg",
                      "\xEF\xBB\xBF"
                      "REGEDIT4\r\n"
                      "; settings written by hand\r\n"
                      "   [hkey_local_machine\\Software\\Maker\\App]   \r\n"
                      "  \"Often\" = \"30\"\r\n"
                      "# another comment\r\n"
                      "\"Path\"=\"C:\\windows\\system\"\r\n"
                      "\"Flag\"=dword:00000001\r\n"
                      "\"Blob\"=hex:41,42,\\\r\n"
                      "  43,44\r\n"
                      "@=\"top\"\r\n"
                      "this line means nothing\r\n"
                      "[HKEY_CURRENT_USER\\Elsewhere]\r\n"
                      "\"Lost\"=\"1\"\r\n"
                      "[HKEY_LOCAL_MACHINE\\Software\\Maker\\App\\Deep\\Er]\r\n"
                      "\"d\"=\"e\"\r\n");

    EXPECT_EQ(Read("SOFTWARE\\maker\\APP", "often"), "30");
    EXPECT_EQ(Read("Software\\Maker\\App", "Path"), "C:\\windows\\system");
    EXPECT_EQ(Read("Software\\Maker\\App", ""), "top");
    EXPECT_EQ(Read("Software\\Maker\\App", "Flag"), "<missing>");
    EXPECT_EQ(Read("Software\\Maker\\App", "Blob"), "<missing>");
    EXPECT_EQ(Read("Elsewhere", "Lost"), "<no key>");
    EXPECT_EQ(Read("Software\\Maker\\App\\Deep\\Er", "d"), "e");
    // A key named only as part of a longer one exists, as after regedit's import.
    EXPECT_EQ(Read("Software\\Maker\\App\\Deep", "x"), "<missing>");

    EXPECT_TRUE(Write("software\\maker\\app", "New", "1"));
    EXPECT_EQ(files.HiveText(),
              "REGEDIT4\n\n"
              "[HKEY_LOCAL_MACHINE\\Software]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Maker]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Maker\\App]\n"
              "\"Often\"=\"30\"\n"
              "\"Path\"=\"C:\\\\windows\\\\system\"\n"
              "\"Flag\"=dword:00000001\n"
              "\"Blob\"=hex:41,42,43,44\n"
              "@=\"top\"\n"
              "\"New\"=\"1\"\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Maker\\App\\Deep]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Maker\\App\\Deep\\Er]\n"
              "\"d\"=\"e\"\n\n");
    EXPECT_EQ(Read("Software\\Maker\\App", "Flag"), "<missing>");

    // A text value replaces the other type under the same name.
    EXPECT_TRUE(Write("Software\\Maker\\App", "FLAG", "2"));
    EXPECT_EQ(Read("Software\\Maker\\App", "Flag"), "2");
}

TEST(HiveFormat, ReadsSeeWhatAnotherInstanceWrote)
{
    CScopedPlatformFiles files;
    EXPECT_TRUE(Write("K", "v", "old"));
    HKEY hKey = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    // Edited in place, as a text editor might: the size tells it changed.
    files.Dir().Write("registry.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"new\"\n");
    CString strText;
    EXPECT_EQ(QueryText(hKey, "v", strText), ERROR_SUCCESS);
    EXPECT_EQ(strText, "new");
    RegCloseKey(hKey);
}

TEST(HiveRecovery, HiveCutAtEveryByteIsReadAndRepairedByTheNextWrite)
{
    CScopedPlatformFiles files;
    EXPECT_TRUE(Write("Software\\Maker\\App\\Settings", "Often", "25"));
    EXPECT_TRUE(Write("Software\\Maker\\App\\Settings", "Quoted", "a \"b\" \\c\nd"));
    EXPECT_TRUE(Write("Software\\Maker\\App\\Settings", "", "unnamed"));
    EXPECT_TRUE(Write("Software\\Maker\\Other", "x", "y"));
    const CString strFull = files.HiveText() + "[HKEY_LOCAL_MACHINE\\Hand]\n\"Flag\"=dword:00000001\n\n";

    for (size_t nCut = 0; nCut <= strFull.size(); ++nCut) {
        SCOPED_TRACE("cut at " + std::to_string(nCut));
        ReplaceHiveFile(files, strFull.substr(0, nCut));
        const CString strOften = Read("Software\\Maker\\App\\Settings", "Often");
        EXPECT_TRUE(strOften == "25" || strOften == "<missing>" || strOften == "<no key>") << strOften;
        Read("Software\\Maker\\App\\Settings", "Quoted");
        Read("Software\\Maker\\Other", "x");

        ASSERT_TRUE(Write("Software\\Maker\\App\\Settings", "Written", "after cut"));
        const CString strRepaired = files.HiveText();
        CHiveFile hive;
        EXPECT_EQ(hive.Parse(strRepaired), 0);
        EXPECT_EQ(hive.Format(), strRepaired);
        EXPECT_EQ(Read("Software\\Maker\\App\\Settings", "Written"), "after cut");
        if (nCut == strFull.size()) {
            EXPECT_EQ(Read("Software\\Maker\\App\\Settings", "Quoted"), "a \"b\" \\c\nd");
            EXPECT_EQ(Read("Software\\Maker\\Other", "x"), "y");
            EXPECT_NE(strRepaired.find("\"Flag\"=dword:00000001\n"), CString::npos);
        }
    }
}

TEST(HiveRecovery, GarbageAndUnwritableHivesFailWithoutCrashing)
{
    CScopedPlatformFiles files;
    files.Dir().Write("registry.reg", CString("\x00\xff[\n\"\"\"=\\\n@@@=\x01\n[HKEY_LOCAL_MACHINE\\", 26));
    EXPECT_EQ(Read("", "x"), "<missing>");
    EXPECT_TRUE(Write("A", "x", "1"));
    CHiveFile hive;
    EXPECT_EQ(hive.Parse(files.HiveText()), 0);

    // The hive is a directory, or lies below a plain file: writes fail, reads find nothing.
    std::filesystem::create_directory(files.Dir().File("dir.reg"));
    setenv("PRODLET_HIVE", files.Dir().File("dir.reg").c_str(), 1);
    HKEY hKey = 0;
    EXPECT_NE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "A", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(Read("A", "x"), "<no key>");

    setenv("PRODLET_HIVE", files.Dir().File("registry.reg/sub/registry.reg").c_str(), 1);
    EXPECT_NE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "A", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(SetText(HKEY_LOCAL_MACHINE, "x", "1"), ERROR_WRITE_FAULT);
}

TEST(HiveWrite, LeavesOnlyTheHiveAndItsLockBehind)
{
    CScopedPlatformFiles files;
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(Write("K", ("v" + std::to_string(i)).c_str(), "x"));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(files.Dir().Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST(HiveWrite, TwoProcessesWritingAtOnceLoseNothing)
{
    CScopedPlatformFiles files;
    const int nPerChild = 200;
    pid_t pids[2];
    for (int nChild = 0; nChild < 2; ++nChild) {
        pids[nChild] = fork();
        ASSERT_GE(pids[nChild], 0);
        if (pids[nChild] == 0) {
            int nFailures = 0;
            for (int i = 0; i < nPerChild; ++i) {
                const CString strName = "c" + std::to_string(nChild) + "v" + std::to_string(i);
                HKEY hKey = 0;
                if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Shared", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey,
                                    nullptr) != ERROR_SUCCESS ||
                    SetText(hKey, strName.c_str(), strName) != ERROR_SUCCESS)
                    ++nFailures;
                RegCloseKey(hKey);
            }
            _exit(nFailures ? 1 : 0);
        }
    }
    for (pid_t pid : pids) {
        int nStatus = 0;
        ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
    }
    int nFound = 0;
    for (int nChild = 0; nChild < 2; ++nChild)
        for (int i = 0; i < nPerChild; ++i) {
            const CString strName = "c" + std::to_string(nChild) + "v" + std::to_string(i);
            nFound += Read("Shared", strName.c_str()) == strName;
        }
    EXPECT_EQ(nFound, 2 * nPerChild);
}

TEST(HivePlace, EnvironmentChoosesTheFileAndTheWindowsDirectory)
{
    CScopedPlatformFiles files;
    CEnvGuard xdg("XDG_CONFIG_HOME"), home("HOME");
    EXPECT_EQ(RegGetHivePath(), files.HivePath());

    unsetenv("PRODLET_HIVE");
    setenv("XDG_CONFIG_HOME", files.Dir().File("xdg").c_str(), 1);
    EXPECT_EQ(RegGetHivePath(), files.Dir().File("xdg/prodlet/registry.reg"));
    EXPECT_TRUE(Write("K", "v", "1"));  // makes the directories on the way
    EXPECT_NE(files.Dir().Read("xdg/prodlet/registry.reg").find("\"v\"=\"1\""), CString::npos);

    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", files.Dir().File("home").c_str(), 1);
    EXPECT_EQ(RegGetHivePath(), files.Dir().File("home/.config/prodlet/registry.reg"));

    char szDir[260];
    EXPECT_EQ(GetWindowsDirectoryA(szDir, sizeof(szDir)), files.WinDir().size());
    EXPECT_EQ(CString(szDir), files.WinDir());
    EXPECT_EQ(GetWindowsDirectoryA(szDir, 3), files.WinDir().size() + 1);
    CEnvGuard windir("PRODLET_WINDIR");
    unsetenv("PRODLET_WINDIR");
    EXPECT_EQ(GetWindowsDirectoryA(szDir, sizeof(szDir)), 4u);
    EXPECT_STREQ(szDir, "/etc");
}

// How the store writes: the first-run import all or nothing, several values
// as one write, and the first failed write of a run told to the user once.
#include "settings/RegistrySettings.h"
#include "tests/platform/WriteCounter.h"
#include "tests/settings/SettingsFixture.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Reports = std::vector<std::pair<CString, CString>>;

// The state letter of a process in /proc/PID/stat: 'S' while it waits in a read.
char ProcessState(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string strStat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t nParen = strStat.rfind(')');
    return nParen != std::string::npos && nParen + 2 < strStat.size() ? strStat[nParen + 2] : '?';
}

// Runs fn in a child process; TRUE if it returned TRUE.
template <typename Fn>
BOOL InChild(Fn fn)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(fn() ? 0 : 1);
    int nStatus = 0;
    return pid > 0 && waitpid(pid, &nStatus, 0) == pid && WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}

}  // namespace

TEST_F(SettingsStore, AnImportKilledHalfWayIsDoneWholeByTheNextStart)
{
    // The seed file is a pipe, so the import can be caught between two lines.
    const CString strIni = m_files.Dir().File("Prodlet.INI");
    ASSERT_EQ(mkfifo(strIni.c_str(), 0600), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        StartUp();
        _exit(0);
    }
    const int fd = open(strIni.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const CString strFirst = "[Settings]\nOften=7\nComboName0=a.test\n";
    ASSERT_EQ(write(fd, strFirst.data(), strFirst.size()), static_cast<ssize_t>(strFirst.size()));
    // Wait until the import has taken those lines and waits for the next one.
    BOOL bWaiting = FALSE;
    for (int i = 0; i < 3000 && !bWaiting; ++i) {
        int nUnread = -1;
        bWaiting = ioctl(fd, FIONREAD, &nUnread) == 0 && nUnread == 0 && ProcessState(pid) == 'S';
        if (!bWaiting)
            usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(fd);
    ASSERT_TRUE(bWaiting);

    unlink(strIni.c_str());
    WriteIni(strFirst + "ComboName1=b.test\nComboNameSel=1\n");
    EXPECT_EQ(StartUp(), REG_CREATED_NEW_KEY);
    EXPECT_EQ(m_store.ReadString("Settings", "Often", "25"), "7");
    EXPECT_EQ(m_store.ReadString("Settings", "ComboName0", ""), "a.test");
    EXPECT_EQ(m_store.ReadString("Settings", "ComboName1", ""), "b.test");
    EXPECT_EQ(m_store.ReadInt("Settings", "ComboNameSel", 0), 1);
}

TEST_F(SettingsStore, TheImportIsOneWriteWithItsBaseKey)
{
    CString strIni = "[Settings]\nOften=7\n";
    for (int i = 0; i < 500; ++i)
        strIni += "ComboName" + std::to_string(i) + "=host" + std::to_string(i) + ".test\n";
    WriteIni(strIni);
    CWriteCounter writes(m_files);
    EXPECT_EQ(StartUp(), REG_CREATED_NEW_KEY);
    EXPECT_EQ(writes.Take(), 2);  // one temporary file, renamed into place
    EXPECT_EQ(m_store.ReadString("Settings", "ComboName499", ""), "host499.test");
}

TEST_F(SettingsStore, ANewBaseKeyWithoutAnImportIsWrittenAtTheStoresNextUse)
{
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    {
        CRegistrySettings store;
        ASSERT_TRUE(store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, "Software\\First"));
        EXPECT_EQ(dwDisposition, REG_CREATED_NEW_KEY);
        RegCloseKey(hKey);
        EXPECT_FALSE(KeyExists("Software\\First"));
        EXPECT_EQ(store.ReadInt("Settings", "x", 3), 3);
        EXPECT_TRUE(KeyExists("Software\\First"));

        ASSERT_TRUE(store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, "Software\\Second"));
        EXPECT_EQ(dwDisposition, REG_CREATED_NEW_KEY);
        RegCloseKey(hKey);
    }
    EXPECT_TRUE(KeyExists("Software\\Second"));
    ASSERT_TRUE(m_store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, "Software\\Second"));
    EXPECT_EQ(dwDisposition, REG_OPENED_EXISTING_KEY);
    // An existing key comes back as a plain key that writes at once.
    EXPECT_EQ(RegSetValueExA(hKey, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), ERROR_SUCCESS);
    EXPECT_EQ(Raw("Software\\Second", "v"), "1");
    RegCloseKey(hKey);
}

TEST_F(SettingsStore, WriteStringsStoresWhatSingleWritesWouldWithOneWriteOrNone)
{
    StartUp();
    EXPECT_TRUE(m_store.WriteString("Settings", "Often", "25"));
    std::vector<std::pair<CString, CString>> values = {{"Often", "30"}};
    for (int i = 0; i < 300; ++i)
        values.emplace_back("ComboName" + std::to_string(i), "host" + std::to_string(i) + ".test");
    values.emplace_back("COMBONAME7", "seven.test");  // the same value again, in other letters
    values.emplace_back("ComboNameSel", "7");

    CWriteCounter writes(m_files);
    EXPECT_TRUE(m_store.WriteStrings("Settings", values));
    EXPECT_EQ(writes.Take(), 2);
    EXPECT_TRUE(m_store.WriteStrings("Settings", values));
    EXPECT_EQ(writes.Take(), 0);
    const CString strBatch = m_files.HiveText();

    // The same values one by one, into a hive of their own.
    CScopedPlatformFiles other;
    CRegistrySettings single;
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_TRUE(single.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase));
    single.ImportIniFile(hKey);
    RegCloseKey(hKey);
    EXPECT_TRUE(single.WriteString("Settings", "Often", "25"));
    for (const auto& [strName, strText] : values)
        EXPECT_TRUE(single.WriteString("Settings", strName.c_str(), strText.c_str()));
    EXPECT_EQ(other.HiveText(), strBatch);
    EXPECT_EQ(m_store.ReadString("Settings", "ComboName7", ""), "seven.test");
}

TEST_F(SettingsStore, TheFirstFailedWriteIsReportedOnceWithTheFileAndTheReason)
{
    Reports reports;
    SetSettingsFailureReporter([&](const CString& strFile, const CString& strReason) {
        reports.emplace_back(strFile, strReason);
    });
    StartUp();
    EXPECT_TRUE(m_store.WriteInt("Settings", "Ignore", 1));
    EXPECT_TRUE(reports.empty());

    // A folder where the file should be.
    std::filesystem::remove(m_files.HivePath());
    std::filesystem::create_directory(m_files.HivePath());
    EXPECT_FALSE(m_store.WriteInt("Settings", "Ignore", 0));
    EXPECT_FALSE(m_store.WriteStrings("Settings", {{"Often", "5"}}));
    EXPECT_FALSE(m_store.WriteString("Settings", "Often", "5"));
    EXPECT_EQ(m_store.ReadInt("Settings", "Ignore", 7), 7);  // a failed read is not a failed write
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].first, m_files.HivePath());
    EXPECT_EQ(reports[0].second, std::strerror(EISDIR));
    EXPECT_EQ(SettingsFailureText("/x/registry.reg", "Is a directory"),
              "Prodlet: Cannot save settings to /x/registry.reg: Is a directory");

    // A start that cannot make its base key is a failed write too.
    SetSettingsFailureReporter([&](const CString& strFile, const CString& strReason) {
        reports.emplace_back(strFile, strReason);
    });
    CRegistrySettings second;
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    EXPECT_FALSE(second.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase));
    EXPECT_EQ(reports.size(), 2u);
    SetSettingsFailureReporter(nullptr);
}

TEST_F(SettingsStore, WithoutAReporterAFailureIsOneLineOnStandardError)
{
    SetSettingsFailureReporter(nullptr);
    m_files.Dir().Write("plain", "not a folder");
    const CString strHive = m_files.Dir().File("plain/registry.reg");
    setenv("PRODLET_HIVE", strHive.c_str(), 1);

    const CString strLog = m_files.Dir().File("stderr.txt");
    std::fflush(stderr);
    const int fdSaved = dup(2);
    const int fdLog = open(strLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fdLog, 2);
    close(fdLog);
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    const BOOL bCreated = m_store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase);
    const BOOL bWritten = m_store.WriteInt("Settings", "Ignore", 0);
    std::fflush(stderr);
    dup2(fdSaved, 2);
    close(fdSaved);

    EXPECT_FALSE(bCreated);
    EXPECT_FALSE(bWritten);
    EXPECT_EQ(m_files.Dir().Read("stderr.txt"),
              "Prodlet: Cannot save settings to " + strHive + ": " + std::strerror(ENOTDIR) + "\n");
}

TEST_F(SettingsStore, AWriteThatRunsOutOfSpaceKeepsTheOldFileAndIsReported)
{
    StartUp();
    EXPECT_TRUE(m_store.WriteString("Settings", "Often", "25"));
    const CString strBefore = m_files.HiveText();
    WriteIni("[Settings]\nOften=9\nComboName0=" + CString(2000, 'a') + "\n");

    // A file size limit stands in for a full disk: the write fails part way.
    EXPECT_TRUE(InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{strBefore.size() + 100, strBefore.size() + 100};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return FALSE;
        Reports reports;
        SetSettingsFailureReporter([&](const CString& strFile, const CString& strReason) {
            reports.emplace_back(strFile, strReason);
        });
        BOOL bOk = !m_store.WriteString("Settings", "Big", CString(1000, 'b').c_str());
        bOk = bOk && !m_store.WriteString("Settings", "Big", CString(1001, 'b').c_str());
        bOk = bOk && reports.size() == 1 && reports[0].first == m_files.HivePath() &&
              reports[0].second == std::strerror(EFBIG);

        // So does a first-run import into a new hive.
        setenv("PRODLET_HIVE", m_files.Dir().File("fresh.reg").c_str(), 1);
        SetSettingsFailureReporter([&](const CString& strFile, const CString& strReason) {
            reports.emplace_back(strFile, strReason);
        });
        CRegistrySettings fresh;
        HKEY hKey = 0;
        DWORD dwDisposition = 0;
        bOk = bOk && fresh.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase) &&
              dwDisposition == REG_CREATED_NEW_KEY;
        fresh.ImportIniFile(hKey);
        RegCloseKey(hKey);
        bOk = bOk && reports.size() == 2 && reports[1].first == m_files.Dir().File("fresh.reg");
        SetSettingsFailureReporter(nullptr);
        return bOk;
    }));
    EXPECT_EQ(m_files.HiveText(), strBefore);
    EXPECT_FALSE(std::filesystem::exists(m_files.Dir().File("fresh.reg")));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_files.Dir().Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Prodlet.INI", "fresh.reg.lock", "registry.reg", "registry.reg.lock"}));
}

// The hive kept in memory between calls: what another process writes is
// still seen, writes that change nothing touch no file, an unreadable hive is
// never replaced, leftovers of killed writers go, and transactions write once.
#include "platform/HiveFile.h"
#include "platform/Registry.h"
#include "tests/platform/RegistryHelpers.h"
#include "tests/platform/WriteCounter.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

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

std::vector<std::string> DirNames(const std::string& strDir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(strDir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(HiveCache, AnotherProcessWritingBetweenTwoCallsIsSeen)
{
    CScopedPlatformFiles files;
    EXPECT_TRUE(Write("K", "v", "aaa"));
    HKEY hKey = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    CString strText;
    EXPECT_EQ(QueryText(hKey, "v", strText), ERROR_SUCCESS);
    EXPECT_EQ(strText, "aaa");
    // Values of one length, written in quick succession: only the file's
    // identity tells them apart, and the file system hands freed inode numbers
    // straight to new files.
    for (const char* pszNext : {"bbb", "ccc", "ddd", "eee", "fff", "ggg", "hhh", "iii"}) {
        ASSERT_TRUE(InChild([&] { return Write("K", "v", pszNext); }));
        EXPECT_EQ(QueryText(hKey, "v", strText), ERROR_SUCCESS);
        EXPECT_EQ(strText, pszNext);
    }
    // Two of theirs between two of ours.
    ASSERT_TRUE(InChild([&] { return Write("K", "v", "jjj") && Write("K", "v", "kkk"); }));
    EXPECT_EQ(QueryText(hKey, "v", strText), ERROR_SUCCESS);
    EXPECT_EQ(strText, "kkk");
    // And a write of ours after theirs keeps their other values.
    ASSERT_TRUE(InChild([&] { return Write("K", "theirs", "1"); }));
    EXPECT_TRUE(Write("K", "ours", "2"));
    EXPECT_EQ(Read("K", "theirs"), "1");
    EXPECT_EQ(Read("K", "v"), "kkk");
    RegCloseKey(hKey);
}

TEST(HiveCache, WritesThatChangeNothingTouchNoFile)
{
    CScopedPlatformFiles files;
    EXPECT_TRUE(Write("Software\\Maker", "v", "1"));
    EXPECT_TRUE(Write("Software\\Maker", "w", ""));
    struct stat stBefore;
    ASSERT_EQ(stat(files.HivePath().c_str(), &stBefore), 0);
    CWriteCounter writes(files);

    EXPECT_TRUE(Write("Software\\Maker", "v", "1"));
    EXPECT_TRUE(Write("software\\MAKER", "V", "1"));  // names ignore case
    EXPECT_TRUE(Write("Software\\Maker", "w", ""));
    DWORD dwDisposition = 0;
    RegCloseKey(Create("Software\\Maker", &dwDisposition));
    EXPECT_EQ(dwDisposition, REG_OPENED_EXISTING_KEY);
    const HANDLE hTransaction = CreateTransaction();
    HKEY hKey = 0;
    ASSERT_EQ(RegCreateKeyTransactedA(HKEY_LOCAL_MACHINE, "Software\\Maker", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey,
                                      nullptr, hTransaction, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(SetText(hKey, "v", "changed for a moment"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(hKey, "v", "1"), ERROR_SUCCESS);
    EXPECT_TRUE(CommitTransaction(hTransaction));
    CloseHandle(hTransaction);
    RegCloseKey(hKey);

    struct stat stAfter;
    ASSERT_EQ(stat(files.HivePath().c_str(), &stAfter), 0);
    EXPECT_EQ(stAfter.st_ino, stBefore.st_ino);
    EXPECT_EQ(stAfter.st_mtim.tv_sec, stBefore.st_mtim.tv_sec);
    EXPECT_EQ(stAfter.st_mtim.tv_nsec, stBefore.st_mtim.tv_nsec);
    EXPECT_EQ(writes.Take(), 0);

    // A change is still on disk, as one new file, when the call returns.
    EXPECT_TRUE(Write("Software\\Maker", "v", "2"));
    EXPECT_EQ(writes.Take(), 2);  // the temporary file written, then renamed into place
    EXPECT_NE(files.HiveText().find("\"v\"=\"2\""), CString::npos);
}

// A hive that exists but cannot be read is the user's settings all the same.
TEST(HiveRecovery, AHiveThatCannotBeReadIsNeverOverwritten)
{
    CScopedPlatformFiles files;
    const CString strHive = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"keep\"=\"me\"\n\n";
    files.Dir().Write("registry.reg", strHive);
    ASSERT_EQ(chmod(files.HivePath().c_str(), 0600), 0);
    // The reader below is not the owner: as root, a child that gives its rights away.
    ASSERT_EQ(chmod(files.Dir().Path().c_str(), 0777), 0);
    const BOOL bRoot = geteuid() == 0;
    if (!bRoot) {
        ASSERT_EQ(chmod(files.HivePath().c_str(), 0), 0);
    }

    EXPECT_TRUE(InChild([&] {
        if (bRoot && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            return FALSE;
        BOOL bOk = Read("K", "keep") == "<no key>";  // reads give their defaults
        HKEY hKey = 0;
        bOk = bOk && RegCreateKeyExA(HKEY_LOCAL_MACHINE, "K", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) ==
                         ERROR_ACCESS_DENIED;
        bOk = bOk && SetText(HKEY_LOCAL_MACHINE, "top", "x") == ERROR_ACCESS_DENIED;
        CString strFile, strReason;
        bOk = bOk && RegGetLastFileError(strFile, strReason) && strFile == files.HivePath() &&
              strReason == std::strerror(EACCES);
        return bOk;
    }));
    chmod(files.HivePath().c_str(), 0600);
    EXPECT_EQ(files.HiveText(), strHive);
    EXPECT_EQ(DirNames(files.Dir().Path()), (std::vector<std::string>{"registry.reg"}));
}

TEST(HiveRecovery, AFolderOrPipeInTheHivesPlaceFailsAtOnce)
{
    CScopedPlatformFiles files;
    ASSERT_EQ(mkfifo(files.HivePath().c_str(), 0600), 0);
    // Nobody writes to the pipe: a blocking open would never return.
    EXPECT_EQ(Read("K", "v"), "<no key>");
    EXPECT_EQ(SetText(HKEY_LOCAL_MACHINE, "v", "1"), ERROR_READ_FAULT);
    CString strFile, strReason;
    EXPECT_TRUE(RegGetLastFileError(strFile, strReason));
    EXPECT_EQ(strFile, files.HivePath());

    unlink(files.HivePath().c_str());
    std::filesystem::create_directory(files.HivePath());
    EXPECT_EQ(SetText(HKEY_LOCAL_MACHINE, "v", "1"), ERROR_READ_FAULT);
    EXPECT_TRUE(RegGetLastFileError(strFile, strReason));
    EXPECT_EQ(strReason, std::strerror(EISDIR));
    EXPECT_TRUE(std::filesystem::is_directory(files.HivePath()));

    // A call that succeeds clears the reason.
    rmdir(files.HivePath().c_str());
    EXPECT_TRUE(Write("K", "v", "1"));
    EXPECT_FALSE(RegGetLastFileError(strFile, strReason));
}

TEST(HiveWrite, LeftoversOfKilledWritersAreRemovedUnderTheLock)
{
    CScopedPlatformFiles files;
    EXPECT_TRUE(Write("K", "v", "1"));
    for (const char* pszName : {"registry.reg.a1B2c3", "registry.reg.ZZZZZZ", "registry.reg.000000"})
        files.Dir().Write(pszName, files.HiveText());
    // Not the writer's names: kept.
    for (const char* pszName : {"registry.reg.backup1", "registry.reg.bak", "registry.reg.a1-b2c", "other.reg.a1B2c3"})
        files.Dir().Write(pszName, "mine");
    std::filesystem::create_directory(files.Dir().File("registry.reg.dir123"));

    // Leftovers go at the first key a process creates or opens for writing,
    // as at start-up, even if it never writes: a fresh process here.
    EXPECT_TRUE(InChild([&] {
        HKEY hKey = 0;
        DWORD dwDisposition = 0;
        const BOOL bOk = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "K", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey,
                                         &dwDisposition) == ERROR_SUCCESS &&
                         dwDisposition == REG_OPENED_EXISTING_KEY;
        RegCloseKey(hKey);
        return bOk;
    }));
    EXPECT_EQ(DirNames(files.Dir().Path()),
              (std::vector<std::string>{"other.reg.a1B2c3", "registry.reg", "registry.reg.a1-b2c",
                                        "registry.reg.backup1", "registry.reg.bak", "registry.reg.dir123",
                                        "registry.reg.lock"}));
    EXPECT_EQ(Read("K", "v"), "1");
}

TEST(HiveTransaction, ChangesReachTheFileTogetherAtTheCommit)
{
    CScopedPlatformFiles files;
    EXPECT_TRUE(Write("Base", "before", "1"));
    CWriteCounter writes(files);

    const HANDLE hTransaction = CreateTransaction();
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_EQ(RegCreateKeyTransactedA(HKEY_LOCAL_MACHINE, "Base\\New", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey,
                                      &dwDisposition, hTransaction, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(dwDisposition, REG_CREATED_NEW_KEY);
    HKEY hSub = 0;
    ASSERT_EQ(RegCreateKeyExA(hKey, "Sub", 0, nullptr, 0, KEY_WRITE | KEY_READ, nullptr, &hSub, &dwDisposition),
              ERROR_SUCCESS);
    EXPECT_EQ(dwDisposition, REG_CREATED_NEW_KEY);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(SetText(hSub, ("v" + std::to_string(i)).c_str(), std::to_string(i)), ERROR_SUCCESS);
    EXPECT_EQ(SetText(hSub, "V7", "seven"), ERROR_SUCCESS);

    // The transaction sees its own changes; nobody else sees any yet.
    CString strText;
    EXPECT_EQ(QueryText(hSub, "v7", strText), ERROR_SUCCESS);
    EXPECT_EQ(strText, "seven");
    EXPECT_EQ(Read("Base\\New", "x"), "<no key>");
    EXPECT_EQ(writes.Take(), 0);
    // A plain write meanwhile is not lost by the commit.
    EXPECT_TRUE(Write("Base", "meanwhile", "2"));
    writes.Take();

    EXPECT_TRUE(CommitTransaction(hTransaction));
    EXPECT_EQ(writes.Take(), 2);  // one temporary file, one rename
    EXPECT_EQ(Read("Base\\New\\Sub", "v7"), "seven");
    EXPECT_EQ(Read("Base\\New\\Sub", "v99"), "99");
    EXPECT_EQ(Read("Base", "meanwhile"), "2");
    EXPECT_EQ(Read("Base", "before"), "1");
    // Values in the order they were first set, as plain writes would have left them.
    const CString strHive = files.HiveText();
    EXPECT_LT(strHive.find("\"v0\"=\"0\""), strHive.find("\"v7\"=\"seven\""));
    EXPECT_LT(strHive.find("\"v7\"=\"seven\""), strHive.find("\"v99\"=\"99\""));

    // Its keys are done with.
    EXPECT_EQ(SetText(hSub, "late", "x"), ERROR_TRANSACTION_NOT_ACTIVE);
    EXPECT_EQ(QueryText(hSub, "v7", strText), ERROR_TRANSACTION_NOT_ACTIVE);
    EXPECT_FALSE(CommitTransaction(hTransaction));
    EXPECT_TRUE(CloseHandle(hTransaction));
    EXPECT_FALSE(CloseHandle(hTransaction));
    RegCloseKey(hSub);
    RegCloseKey(hKey);
}

TEST(HiveTransaction, ATransactionClosedOrKilledBeforeItsCommitLeavesNoTrace)
{
    CScopedPlatformFiles files;
    EXPECT_TRUE(Write("Base", "v", "1"));
    const CString strHive = files.HiveText();

    const HANDLE hTransaction = CreateTransaction();
    HKEY hKey = 0;
    ASSERT_EQ(RegCreateKeyTransactedA(HKEY_LOCAL_MACHINE, "Base\\New", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey,
                                      nullptr, hTransaction, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(SetText(hKey, "x", "1"), ERROR_SUCCESS);
    EXPECT_TRUE(CloseHandle(hTransaction));
    EXPECT_EQ(SetText(hKey, "y", "1"), ERROR_TRANSACTION_NOT_ACTIVE);
    RegCloseKey(hKey);

    EXPECT_TRUE(InChild([] {
        const HANDLE hChild = CreateTransaction();
        HKEY hNew = 0;
        RegCreateKeyTransactedA(HKEY_LOCAL_MACHINE, "Base\\Child", 0, nullptr, 0, KEY_WRITE, nullptr, &hNew, nullptr,
                                hChild, nullptr);
        SetText(hNew, "x", "1");
        return TRUE;  // ends without a commit, as a killed process would
    }));
    EXPECT_EQ(files.HiveText(), strHive);
    EXPECT_EQ(Read("Base\\New", "x"), "<no key>");
    EXPECT_EQ(Read("Base\\Child", "x"), "<no key>");
    EXPECT_EQ(RegCreateKeyTransactedA(HKEY_LOCAL_MACHINE, "Base", 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr,
                                      0, nullptr),
              ERROR_TRANSACTION_NOT_ACTIVE);
}

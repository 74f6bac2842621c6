// The one-copy rule's parts: the lock that a killed process leaves free, the
// runtime folder that must be ours alone, and the socket on which the
// running copy answers, served from the real framework's loop.
#include "framework/WinApp.h"
#include "platform/InstanceChannel.h"
#include "platform/InstanceLock.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <vector>

namespace {

constexpr int kWaitMs = 30000;

// Sets XDG_RUNTIME_DIR for the life of the object.
class CScopedRuntimeDir {
public:
    explicit CScopedRuntimeDir(const std::string& strValue)
    {
        if (const char* psz = std::getenv("XDG_RUNTIME_DIR")) {
            m_bHad = true;
            m_strOld = psz;
        }
        setenv("XDG_RUNTIME_DIR", strValue.c_str(), 1);
    }
    ~CScopedRuntimeDir()
    {
        if (m_bHad)
            setenv("XDG_RUNTIME_DIR", m_strOld.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }

private:
    bool m_bHad = false;
    std::string m_strOld;
};

// Asks on another thread while this one runs the loop that serves.
CString AskWhileServing(const CString& strPath, const CString& strRequest, int nTimeoutMs = kWaitMs)
{
    auto answer = std::async(std::launch::async,
                             [=] { return AskRunningInstance(strPath, strRequest, nTimeoutMs); });
    AfxPumpUntil([&answer] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                 kWaitMs + 5000);
    return answer.get();
}

bool IsSocketFile(const std::string& strPath)
{
    struct stat st {};
    return lstat(strPath.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

TEST(InstanceLock, OneHolderAtATimeAndReleasedWithItsHolder)
{
    CTempDir dir;
    const CString strPath = dir.File("display.lock");
    CString strError;
    CInstanceLock first;
    ASSERT_EQ(first.Acquire(strPath, strError), CInstanceLock::Result::Acquired) << strError;
    {
        // A second open of the file is a second claimant, even in one process.
        CInstanceLock second;
        EXPECT_EQ(second.Acquire(strPath, strError), CInstanceLock::Result::Held);
        EXPECT_FALSE(second.IsHeld());
    }
    first.Release();
    CInstanceLock third;
    EXPECT_EQ(third.Acquire(strPath, strError), CInstanceLock::Result::Acquired);
    struct stat st {};
    ASSERT_EQ(stat(strPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(InstanceLock, AHolderKilledOutrightLeavesTheLockFree)
{
    CTempDir dir;
    const CString strPath = dir.File("display.lock");
    CForkedHolder holder([&] {
        CString strError;
        auto* pLock = new CInstanceLock;  // the child holds it until it is killed
        return pLock->Acquire(strPath, strError) == CInstanceLock::Result::Acquired;
    });
    ASSERT_TRUE(holder.Took());
    CString strError;
    CInstanceLock lock;
    EXPECT_EQ(lock.Acquire(strPath, strError), CInstanceLock::Result::Held);
    ASSERT_TRUE(holder.KillOutright());
    // The file is still there; without a holder it stops no one.
    EXPECT_EQ(access(strPath.c_str(), F_OK), 0);
    EXPECT_EQ(lock.Acquire(strPath, strError), CInstanceLock::Result::Acquired) << strError;
}

TEST(InstanceLock, ALinkInTheLocksPlaceIsRefusedAndItsTargetLeftAlone)
{
    CTempDir dir;
    ASSERT_EQ(symlink(dir.File("elsewhere").c_str(), dir.File("display.lock").c_str()), 0);
    CString strError;
    CInstanceLock lock;
    EXPECT_EQ(lock.Acquire(dir.File("display.lock"), strError), CInstanceLock::Result::Failed);
    EXPECT_NE(strError.find("display.lock"), CString::npos) << strError;
    EXPECT_NE(access(dir.File("elsewhere").c_str(), F_OK), 0);
}

TEST(InstanceRuntimeDir, APrivateFolderInTheRuntimeDirectoryAndNoOtherKind)
{
    CTempDir dir;
    CScopedRuntimeDir runtime(dir.Path());
    CString strError;
    const CString strDir = InstanceRuntimeDir(strError);
    ASSERT_EQ(strDir, dir.File("prodlet")) << strError;
    struct stat st {};
    ASSERT_EQ(lstat(strDir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(InstanceRuntimeDir(strError), strDir);  // there already: taken as it is

    // Open to others, a socket in it could be swapped for someone else's.
    ASSERT_EQ(chmod(strDir.c_str(), 0777), 0);
    strError.clear();
    EXPECT_EQ(InstanceRuntimeDir(strError), "");
    EXPECT_NE(strError.find("others may write"), CString::npos) << strError;

    // A link in its place is not followed.
    ASSERT_EQ(rmdir(strDir.c_str()), 0);
    ASSERT_EQ(mkdir(dir.File("real").c_str(), 0700), 0);
    ASSERT_EQ(symlink(dir.File("real").c_str(), strDir.c_str()), 0);
    strError.clear();
    EXPECT_EQ(InstanceRuntimeDir(strError), "");
    EXPECT_NE(strError.find("not a folder"), CString::npos) << strError;
}

TEST(InstanceFileName, SafeShortAndDistinct)
{
    EXPECT_EQ(InstanceFileName("x11::0"), "x11--0");
    EXPECT_EQ(InstanceFileName("wayland:/run/user/1000/wayland-1"), "wayland-_run_user_1000_wayland-1");
    EXPECT_EQ(InstanceFileName("a b*c"), "a_b_c");
    EXPECT_EQ(InstanceFileName(".."), "_..");
    EXPECT_EQ(InstanceFileName(""), "_");
    const CString strLongA = "wayland:/" + CString(200, 'a') + "/one/" + CString(50, 'z');
    const CString strLongB = "wayland:/" + CString(200, 'a') + "/two/" + CString(50, 'z');
    const CString strNameA = InstanceFileName(strLongA);
    EXPECT_LE(strNameA.size(), 48u);
    EXPECT_NE(strNameA, InstanceFileName(strLongB));
    EXPECT_EQ(strNameA, InstanceFileName(strLongA));
    EXPECT_EQ(strNameA.find('/'), CString::npos);
}

TEST(SettingsLockPath, OneFileOneLockHoweverItIsNamed)
{
    CTempDir dir;
    CString strError;
    const CString strLock = SettingsLockPath(dir.File("conf/prodlet/registry.reg"), strError);
    // The folder is made, as the first write would make it.
    EXPECT_EQ(access(dir.File("conf/prodlet").c_str(), F_OK), 0);
    char szReal[PATH_MAX];
    ASSERT_NE(realpath(dir.File("conf/prodlet").c_str(), szReal), nullptr);
    EXPECT_EQ(strLock, CString(szReal) + "/registry.reg.prodletd.lock");
    EXPECT_EQ(SettingsLockPath(dir.File("conf/prodlet/../prodlet/registry.reg"), strError), strLock);
    ASSERT_EQ(symlink(dir.File("conf").c_str(), dir.File("alias").c_str()), 0);
    EXPECT_EQ(SettingsLockPath(dir.File("alias/prodlet/registry.reg"), strError), strLock);
    // A link to the file is the file.
    dir.Write("conf/prodlet/registry.reg", "REGEDIT4\n");
    ASSERT_EQ(symlink(dir.File("conf/prodlet/registry.reg").c_str(), dir.File("link.reg").c_str()), 0);
    EXPECT_EQ(SettingsLockPath(dir.File("link.reg"), strError), strLock);
    // A different file, a different lock.
    EXPECT_NE(SettingsLockPath(dir.File("conf/prodlet/other.reg"), strError), strLock);
}

TEST(InstanceServer, ReplacesALeftoverSocketAndAnswersWhatTheHandlerSays)
{
    CTempDir dir;
    const CString strPath = dir.File("display.socket");
    // What a killed copy leaves: a socket file no one listens on.
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", strPath.c_str());
        ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)), 0);
        close(fd);
    }
    ASSERT_TRUE(IsSocketFile(strPath));
    CString strError;
    CInstanceServer server;
    ASSERT_TRUE(server.Listen(strPath, strError)) << strError;
    std::vector<CString> requests;
    server.Serve([&requests](const CString& strRequest) {
        requests.push_back(strRequest);
        return "seen " + strRequest;
    });
    EXPECT_EQ(AskWhileServing(strPath, "restore"), "seen restore");
    EXPECT_EQ(AskWhileServing(strPath, "again"), "seen again");
    EXPECT_EQ(requests, (std::vector<CString>{"restore", "again"}));
    server.Stop();
    EXPECT_FALSE(IsSocketFile(strPath));
}

TEST(InstanceServer, AskersWaitWhileTheRunningCopyIsStartingAndUntilItServes)
{
    CTempDir dir;
    const CString strPath = dir.File("display.socket");
    CString strError;
    CInstanceServer server;
    ASSERT_TRUE(server.Listen(strPath, strError)) << strError;
    // A request sent before Serve waits in the queue, not lost.
    auto answer = std::async(std::launch::async, [&] { return AskRunningInstance(strPath, "restore", kWaitMs); });
    int nCalls = 0;
    server.Serve([&nCalls](const CString&) { return ++nCalls < 3 ? CString(kInstanceAnswerWait) : CString("ok"); });
    AfxPumpUntil([&answer] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                 kWaitMs + 5000);
    EXPECT_EQ(answer.get(), "ok");
    EXPECT_EQ(nCalls, 3);
}

TEST(InstanceServer, NoOneListeningGivesNoAnswer)
{
    CTempDir dir;
    EXPECT_EQ(AskRunningInstance(dir.File("none.socket"), "restore", 300), "");
    // A path too long for a socket address cannot be served either.
    CString strError;
    CInstanceServer server;
    EXPECT_FALSE(server.Listen(dir.File(CString(200, 'x')), strError));
    EXPECT_NE(strError.find("too long"), CString::npos) << strError;
}

TEST(InstanceServer, AConnectionThatSaysNothingDoesNotHoldUpTheNext)
{
    CTempDir dir;
    const CString strPath = dir.File("display.socket");
    CString strError;
    CInstanceServer server;
    ASSERT_TRUE(server.Listen(strPath, strError)) << strError;
    server.Serve([](const CString&) { return CString("ok"); });
    const int fdSilent = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", strPath.c_str());
    ASSERT_EQ(connect(fdSilent, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(send(fdSilent, "rest", 4, 0), 4);  // half a request, and then nothing
    EXPECT_EQ(AskWhileServing(strPath, "restore"), "ok");
    close(fdSilent);
}

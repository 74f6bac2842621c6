#include "tests/support/TestEnv.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

CTempDir::CTempDir()
{
    const char* pszTmp = std::getenv("TMPDIR");
    std::string strTemplate = std::string(pszTmp && *pszTmp ? pszTmp : "/tmp") + "/prodlet-test-XXXXXX";
    if (!mkdtemp(strTemplate.data()))
        throw std::runtime_error("mkdtemp failed");
    m_strPath = strTemplate;
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_strPath, ec);
}

void CTempDir::Write(const std::string& strName, const std::string& strText) const
{
    std::ofstream out(File(strName), std::ios::binary | std::ios::trunc);
    out << strText;
}

std::string CTempDir::Read(const std::string& strName) const
{
    std::ifstream in(File(strName), std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

static void SaveEnv(const char* pszName, std::string& strOld, bool& bHad)
{
    const char* psz = std::getenv(pszName);
    bHad = psz != nullptr;
    strOld = psz ? psz : "";
}

static void RestoreEnv(const char* pszName, const std::string& strOld, bool bHad)
{
    if (bHad)
        setenv(pszName, strOld.c_str(), 1);
    else
        unsetenv(pszName);
}

CScopedPlatformFiles::CScopedPlatformFiles()
{
    SaveEnv("PRODLET_HIVE", m_strOldHive, m_bHadHive);
    SaveEnv("PRODLET_WINDIR", m_strOldWinDir, m_bHadWinDir);
    setenv("PRODLET_HIVE", HivePath().c_str(), 1);
    setenv("PRODLET_WINDIR", WinDir().c_str(), 1);
}

CScopedPlatformFiles::~CScopedPlatformFiles()
{
    RestoreEnv("PRODLET_HIVE", m_strOldHive, m_bHadHive);
    RestoreEnv("PRODLET_WINDIR", m_strOldWinDir, m_bHadWinDir);
}

std::string CScopedPlatformFiles::HiveText() const { return m_dir.Read("registry.reg"); }

CFakeClock::CFakeClock() { SetClock(this); }

CFakeClock::~CFakeClock() { SetClock(nullptr); }

std::tm CFakeClock::LocalTime(std::time_t t)
{
    std::tm tmOut{};
    gmtime_r(&t, &tmOut);
    return tmOut;
}

void CFakeClock::Advance(DWORD dwMilliseconds)
{
    m_dwTick += dwMilliseconds;
    m_time += dwMilliseconds / 1000;
}

CCapturedStderr::CCapturedStderr()
{
    std::fflush(stderr);
    m_pFile = std::tmpfile();
    if (!m_pFile)
        throw std::runtime_error("tmpfile failed");
    m_fdSaved = ::dup(STDERR_FILENO);
    ::dup2(::fileno(m_pFile), STDERR_FILENO);
}

CForkedHolder::CForkedHolder(const std::function<bool()>& fnTake)
{
    int aPipe[2];
    if (pipe(aPipe) != 0)
        return;
    m_pid = fork();
    if (m_pid == 0) {
        const char ch = fnTake() ? 'y' : 'n';
        if (write(aPipe[1], &ch, 1) != 1)
            _exit(2);
        for (;;)
            pause();
    }
    close(aPipe[1]);
    char ch = 0;
    m_bTook = m_pid > 0 && read(aPipe[0], &ch, 1) == 1 && ch == 'y';
    close(aPipe[0]);
}

CForkedHolder::~CForkedHolder() { KillOutright(); }

bool CForkedHolder::KillOutright()
{
    if (m_pid <= 0)
        return false;
    kill(m_pid, SIGKILL);
    int nStatus = 0;
    const bool bReaped = waitpid(m_pid, &nStatus, 0) == m_pid;
    m_pid = -1;
    return bReaped && WIFSIGNALED(nStatus) && WTERMSIG(nStatus) == SIGKILL;
}

CCapturedStderr::~CCapturedStderr()
{
    Restore();
    std::fclose(m_pFile);
}

void CCapturedStderr::Restore()
{
    if (m_fdSaved < 0)
        return;
    std::fflush(stderr);
    ::dup2(m_fdSaved, STDERR_FILENO);
    ::close(m_fdSaved);
    m_fdSaved = -1;
}

std::string CCapturedStderr::Text()
{
    Restore();
    std::string str;
    std::rewind(m_pFile);
    char buf[256];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), m_pFile)) > 0)
        str.append(buf, n);
    return str;
}

int CountOpenDescriptors()
{
    int n = 0;
    if (DIR* pDir = ::opendir("/proc/self/fd")) {
        while (::readdir(pDir))
            ++n;
        ::closedir(pDir);
    }
    return n;
}

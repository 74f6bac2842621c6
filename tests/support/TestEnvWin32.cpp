// The test support of TestEnv.h on Windows: temporary folders, and a private
// registry tree and Windows directory in place of the hive file.
#include "tests/support/TestEnv.h"

#include "platform/win32/RegistryTesting.h"

#include <io.h>
#include <process.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

CTempDir::CTempDir()
{
    static std::atomic<int> s_nNext{0};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int nTry = 0; nTry < 100; ++nTry) {
        const std::filesystem::path path =
            base / ("prodlet-test-" + std::to_string(_getpid()) + "-" + std::to_string(s_nNext++));
        std::error_code ec;
        if (std::filesystem::create_directory(path, ec)) {
            m_strPath = path.generic_string();
            return;
        }
    }
    throw std::runtime_error("no temporary folder");
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

// The registry tree of one scope: below HKCU, never the machine's own keys.
static std::string NextRegistryKey()
{
    static std::atomic<int> s_nNext{0};
    return "Software\\ProdletTests\\" + std::to_string(_getpid()) + "-" + std::to_string(s_nNext++);
}

CScopedPlatformFiles::CScopedPlatformFiles()
{
    RegRedirectForTesting(NextRegistryKey());
    RegDeleteRedirectedTreeForTesting();
    SetWindowsDirectoryForTesting(WinDir());
}

CScopedPlatformFiles::~CScopedPlatformFiles()
{
    RegDeleteRedirectedTreeForTesting();
    // Whatever runs after the scope writes below a tree of its own too.
    RegRedirectForTesting(NextRegistryKey());
    SetWindowsDirectoryForTesting(m_dir.Path() + "/gone");
}

std::string CScopedPlatformFiles::HiveText() const { return RegExportForTesting(RegUsesCurrentUser()); }

CFakeClock::CFakeClock() { SetClock(this); }

CFakeClock::~CFakeClock() { SetClock(nullptr); }

std::tm CFakeClock::LocalTime(std::time_t t)
{
    std::tm tmOut{};
    gmtime_s(&tmOut, &t);
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
    m_fdSaved = ::_dup(2);
    ::_dup2(::_fileno(m_pFile), 2);
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
    ::_dup2(m_fdSaved, 2);
    ::_close(m_fdSaved);
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

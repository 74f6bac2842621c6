// Test support shared by every test folder: temporary directories, a private
// hive and Windows directory, and a clock that tests set by hand.
#pragma once

#include "platform/Clock.h"

#include <cstdio>
#include <functional>
#include <string>
#include <sys/types.h>

// A fresh directory below $TMPDIR (or /tmp), removed with all it holds.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::string File(const std::string& strName) const { return m_strPath + "/" + strName; }
    // Writes strText to the file strName inside the directory.
    void Write(const std::string& strName, const std::string& strText) const;
    std::string Read(const std::string& strName) const;  // empty if missing

private:
    std::string m_strPath;
};

// Points PRODLET_HIVE and PRODLET_WINDIR into a temporary directory for the
// lifetime of the object and puts the previous values back afterwards.
class CScopedPlatformFiles {
public:
    CScopedPlatformFiles();
    ~CScopedPlatformFiles();

    const CTempDir& Dir() const { return m_dir; }
    std::string HivePath() const { return m_dir.File("registry.reg"); }
    std::string WinDir() const { return m_dir.Path(); }
    // The settings as the hive file holds them (on Windows: the registry
    // tree in the same export format).
    std::string HiveText() const;

private:
    CTempDir m_dir;
    std::string m_strOldHive, m_strOldWinDir;
    bool m_bHadHive = false, m_bHadWinDir = false;
};

// A second process that takes something (a lock, a display) and holds it
// until it is killed: fnTake runs in a child, which then waits. The child is
// killed when the object goes, so a failed check never leaves it behind.
class CForkedHolder {
public:
    explicit CForkedHolder(const std::function<bool()>& fnTake);
    ~CForkedHolder();
    CForkedHolder(const CForkedHolder&) = delete;
    CForkedHolder& operator=(const CForkedHolder&) = delete;

    bool Took() const { return m_bTook; }  // fnTake said it had it
    // SIGKILL, as a crash or the out-of-memory killer would end it; true
    // once the child is reaped having died of it.
    bool KillOutright();

private:
    pid_t m_pid = -1;
    bool m_bTook = false;
};

// Takes what is written to standard error while it lives (Text() ends the
// capture early and returns it).
class CCapturedStderr {
public:
    CCapturedStderr();
    ~CCapturedStderr();
    CCapturedStderr(const CCapturedStderr&) = delete;
    CCapturedStderr& operator=(const CCapturedStderr&) = delete;
    std::string Text();

private:
    void Restore();
    int m_fdSaved = -1;
    std::FILE* m_pFile = nullptr;
};

// How many descriptors the process has open now (leak checks).
int CountOpenDescriptors();

// A clock that moves only when told; installed for its lifetime.
class CFakeClock : public IClock {
public:
    CFakeClock();
    ~CFakeClock() override;

    DWORD GetTickCount() override { return m_dwTick; }
    std::time_t Time() override { return m_time; }
    std::tm LocalTime(std::time_t t) override;
    void Sleep(DWORD dwMilliseconds) override { m_dwSlept += dwMilliseconds; }

    void Advance(DWORD dwMilliseconds);

    DWORD m_dwTick = 1000;
    std::time_t m_time = 3600 * 10 + 60 * 20 + 30;  // shows as 10:20:30 (UTC)
    DWORD m_dwSlept = 0;
};

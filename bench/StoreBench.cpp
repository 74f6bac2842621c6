// Times the settings store with host lists of 100, 1,000 and 10,000 entries,
// doing what the program does with them: the first-run import of a seed file
// that holds the list, the reads of start-up (the five flags, the interval,
// the list until its first empty entry, the selection), the save after a
// successful probe with nothing new and with one host appended, and one
// changed value (an option) written on the hive that holds the list.
//
// usage: store_bench [FOLDER]   (default: a new folder below $TMPDIR or /tmp)
// The hive is written with the store's own fsync, so the folder's file
// system counts; the figures are medians of several runs, in milliseconds.
#include "settings/RegistrySettings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

const char s_szBase[] = "Software\\Quorvane Software\\Prodlet";
const char s_szSection[] = "Settings";

double Milliseconds(const std::function<void()>& fn)
{
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string HostName(int i) { return "host" + std::to_string(i) + ".example.net"; }

void WriteSeedFile(const std::string& strDir, int nHosts)
{
    std::ofstream out(strDir + "/Prodlet.INI", std::ios::binary | std::ios::trunc);
    out << "[Settings]\r\nOften=25\r\nIgnore=1\r\nAutoStart=1\r\nRandomName=0\r\nRandomTime=0\r\n";
    for (int i = 0; i < nHosts; ++i)
        out << "ComboName" << i << "=" << HostName(i) << "\r\n";
    out << "ComboNameSel=0\r\n";
}

// A copy of the hive renamed over it: the same text in a file the store has
// not seen, as at the program's start.
void ReplaceWithCopy(const std::string& strHive)
{
    std::filesystem::copy_file(strHive, strHive + ".copy", std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(strHive + ".copy", strHive);
}

// Start-up's reads: the view's flags, the interval, then LoadHostNames.
int LoadAsAtStart(CRegistrySettings& store)
{
    for (const char* pszFlag : {"Ignore", "RandomName", "RandomTime", "AutoStart", "Debug"})
        store.ReadInt(s_szSection, pszFlag, 0);
    store.ReadString(s_szSection, "Often", "25");
    int nCount = 0;
    while (!store.ReadString(s_szSection, ("ComboName" + std::to_string(nCount)).c_str(), "").empty())
        ++nCount;
    store.ReadInt(s_szSection, "ComboNameSel", 0);
    return nCount;
}

// What SaveHostNames stores after a successful probe of list entry nSel.
std::vector<std::pair<CString, CString>> SaveValues(int nHosts, int nSel)
{
    std::vector<std::pair<CString, CString>> values;
    values.emplace_back("Often", "25");
    for (int i = 0; i < nHosts; ++i)
        values.emplace_back("ComboName" + std::to_string(i), HostName(i));
    values.emplace_back("ComboNameSel", std::to_string(nSel));
    return values;
}

struct FIGURES {
    double dImport, dLoad, dSaveSame, dSaveAppend, dOneValue;
};

FIGURES Measure(const std::string& strDir, int nHosts)
{
    const std::string strHive = strDir + "/registry.reg";
    WriteSeedFile(strDir, nHosts);
    FIGURES figures{};

    std::vector<double> times;
    for (int nRun = 0; nRun < 3; ++nRun) {
        std::filesystem::remove(strHive);
        times.push_back(Milliseconds([&] {
            CRegistrySettings store;
            HKEY hKey = 0;
            DWORD dwDisposition = 0;
            if (store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase) &&
                dwDisposition == REG_CREATED_NEW_KEY)
                store.ImportIniFile(hKey);
            RegCloseKey(hKey);
        }));
    }
    figures.dImport = Median(times);

    CRegistrySettings store;
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase);
    RegCloseKey(hKey);
    times.clear();
    for (int nRun = 0; nRun < 5; ++nRun) {
        ReplaceWithCopy(strHive);
        int nLoaded = 0;
        times.push_back(Milliseconds([&] { nLoaded = LoadAsAtStart(store); }));
        if (nLoaded != nHosts) {
            std::fprintf(stderr, "store_bench: loaded %d of %d entries\n", nLoaded, nHosts);
            std::exit(1);
        }
    }
    figures.dLoad = Median(times);

    times.clear();
    for (int nRun = 0; nRun < 5; ++nRun)
        times.push_back(Milliseconds([&] { store.WriteStrings(s_szSection, SaveValues(nHosts, 0)); }));
    figures.dSaveSame = Median(times);

    // Each run appends one more host, as new names joining the list would.
    times.clear();
    for (int nRun = 0; nRun < 5; ++nRun) {
        const int nNow = nHosts + nRun + 1;
        times.push_back(Milliseconds([&] { store.WriteStrings(s_szSection, SaveValues(nNow, nNow - 1)); }));
    }
    figures.dSaveAppend = Median(times);

    times.clear();
    for (int nRun = 0; nRun < 9; ++nRun)
        times.push_back(Milliseconds([&] { store.WriteInt(s_szSection, "RandomTime", nRun % 2 ? 0 : 1); }));
    figures.dOneValue = Median(times);
    return figures;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string strDir;
    if (argc > 1) {
        strDir = argv[1];
    } else {
        const char* pszTmp = std::getenv("TMPDIR");
        std::string strTemplate = std::string(pszTmp && *pszTmp ? pszTmp : "/tmp") + "/prodlet-bench-XXXXXX";
        if (!mkdtemp(strTemplate.data())) {
            std::perror("store_bench: mkdtemp");
            return 1;
        }
        strDir = strTemplate;
    }
    setenv("PRODLET_HIVE", (strDir + "/registry.reg").c_str(), 1);
    setenv("PRODLET_WINDIR", strDir.c_str(), 1);
    struct statfs fs {};
    statfs(strDir.c_str(), &fs);
    std::printf("store_bench: hive in %s (file system type 0x%lx), medians in ms\n", strDir.c_str(),
                static_cast<unsigned long>(fs.f_type));
    std::printf("%8s %10s %10s %15s %15s %16s\n", "entries", "import", "load", "save unchanged", "save +1 host",
                "one value write");
    for (int nHosts : {100, 1000, 10000}) {
        const FIGURES f = Measure(strDir, nHosts);
        std::printf("%8d %10.2f %10.2f %15.2f %15.2f %16.2f\n", nHosts, f.dImport, f.dLoad, f.dSaveSame,
                    f.dSaveAppend, f.dOneValue);
        std::fflush(stdout);
    }
    if (argc <= 1)
        std::filesystem::remove_all(strDir);
    return 0;
}

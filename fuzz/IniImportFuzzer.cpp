// The first-run import through the real store, on any seed file: after
// CreateBaseKey and ImportIniFile in a fresh folder, the hive file is well
// formed (it parses without a bad line and is written back byte for byte),
// it holds exactly the keys and values that the seed file's lines call for,
// read by the rules of the import as stated, and a second start imports
// nothing.
#include "platform/HiveFile.h"
#include "platform/Registry.h"
#include "settings/RegistrySettings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

const char s_szBase[] = "Software\\Quorvane Software\\Prodlet";
std::string s_strDir;

[[noreturn]] void Fail(const std::string& strWhat)
{
    std::fprintf(stderr, "import property broken: %s\n", strWhat.c_str());
    std::abort();
}

bool IsWhite(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f'; }

std::string TrimWhite(const std::string& str)
{
    size_t nBegin = 0, nEnd = str.size();
    while (nBegin < nEnd && IsWhite(str[nBegin]))
        ++nBegin;
    while (nEnd > nBegin && IsWhite(str[nEnd - 1]))
        --nEnd;
    return str.substr(nBegin, nEnd - nBegin);
}

bool HasControlChar(const std::string& str)
{
    for (char ch : str)
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t')
            return true;
    return false;
}

// What the import should leave: folded key paths, and folded (path, name) -> text.
struct MODEL {
    std::set<std::string> keys;
    std::map<std::pair<std::string, std::string>, std::string> values;
    std::vector<std::pair<std::string, std::string>> reads;  // section as written, name
};

void AddKey(MODEL& model, const std::string& strPath)
{
    const std::string strFolded = CHiveFile::Fold(strPath);
    for (size_t nPos = 0; nPos != std::string::npos;) {
        nPos = strFolded.find('\\', nPos + 1);
        model.keys.insert(strFolded.substr(0, nPos));
    }
}

MODEL Expect(const std::string& strIni)
{
    MODEL model;
    AddKey(model, s_szBase);
    std::string strSectionPath, strSection;
    bool bInSection = false;
    size_t nStart = 0;
    while (nStart < strIni.size()) {
        size_t nEnd = strIni.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = strIni.size();
        std::string strLine = strIni.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        strLine = TrimWhite(strLine.substr(0, strLine.find('\0')));
        if (!strLine.empty() && strLine.front() == '[' && strLine.back() == ']' &&
            strLine.find(']') == strLine.size() - 1) {
            strSection = TrimWhite(strLine.substr(1, strLine.size() - 2));
            if (HasControlChar(strSection))
                break;  // the key cannot be made: the import ends
            strSectionPath = CHiveFile::NormalizePath(std::string(s_szBase) + "\\" + strSection);
            AddKey(model, strSectionPath);
            bInSection = true;
            continue;
        }
        const size_t nEquals = strLine.find('=');
        if (nEquals == std::string::npos || !bInSection)
            continue;
        const std::string strName = strLine.substr(0, nEquals);
        model.values[{CHiveFile::Fold(strSectionPath), CHiveFile::Fold(strName)}] = strLine.substr(nEquals + 1);
        if (model.reads.size() < 64)
            model.reads.emplace_back(strSection, strName);
    }
    return model;
}

std::string ReadFile(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    // Memory-backed when there is such a place: the store syncs every write.
    const char* pszTmp = std::getenv("TMPDIR");
    std::string strTemplate = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : (pszTmp ? pszTmp : "/tmp");
    strTemplate += "/prodlet-fuzz-XXXXXX";
    if (!mkdtemp(strTemplate.data()))
        Fail("no temporary folder");
    s_strDir = strTemplate;
    setenv("PRODLET_HIVE", (s_strDir + "/registry.reg").c_str(), 1);
    setenv("PRODLET_WINDIR", s_strDir.c_str(), 1);
    std::atexit([] { std::filesystem::remove_all(s_strDir); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string strIni(reinterpret_cast<const char*>(pData), nSize);
    const std::string strHivePath = s_strDir + "/registry.reg";
    std::filesystem::remove(strHivePath);
    std::ofstream(s_strDir + "/Prodlet.INI", std::ios::binary) << strIni;

    CRegistrySettings store;
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    if (!store.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase) ||
        dwDisposition != REG_CREATED_NEW_KEY)
        Fail("a fresh folder gives no new base key");
    store.ImportIniFile(hKey);
    RegCloseKey(hKey);

    const std::string strHive = ReadFile(strHivePath);
    CHiveFile hive;
    if (hive.Parse(strHive) != 0)
        Fail("the imported hive has lines the parser cannot read");
    if (hive.Format() != strHive)
        Fail("the imported hive is not written back byte for byte");

    const MODEL model = Expect(strIni);
    std::set<std::string> keys;
    std::map<std::pair<std::string, std::string>, std::string> values;
    for (const CHiveFile::KEY& key : hive.Keys()) {
        keys.insert(CHiveFile::Fold(key.strPath));
        for (const CHiveFile::VALUE& value : key.values) {
            if (!value.bText)
                Fail("the import stored a value that is not text");
            values[{CHiveFile::Fold(key.strPath), CHiveFile::Fold(value.strName)}] = value.strData;
        }
    }
    if (keys != model.keys)
        Fail("the keys differ from the seed file's sections");
    if (values != model.values)
        Fail("the values differ from the seed file's lines");
    for (const auto& [strSection, strName] : model.reads) {
        const auto it = model.values.find(
            {CHiveFile::Fold(CHiveFile::NormalizePath(std::string(s_szBase) + "\\" + strSection)),
             CHiveFile::Fold(strName)});
        if (store.ReadString(strSection.c_str(), strName.c_str(), "\x01missing") != it->second)
            Fail("the store reads a value otherwise than it stored it");
    }

    CRegistrySettings second;
    if (!second.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, s_szBase) ||
        dwDisposition != REG_OPENED_EXISTING_KEY)
        Fail("a second start finds no base key");
    RegCloseKey(hKey);
    if (ReadFile(strHivePath) != strHive)
        Fail("a second start changed the hive");
    return 0;
}

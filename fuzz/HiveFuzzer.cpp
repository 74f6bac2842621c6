// The hive parser and writer on any input: what is parsed, written and
// parsed again holds the same keys and values, the written text has no line
// the parser cannot understand, and writing it again gives the same bytes.
#include "platform/HiveFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string Dump(const CHiveFile& hive)
{
    std::string str;
    for (const CHiveFile::KEY& key : hive.Keys()) {
        if (key.strPath.empty() && key.values.empty())
            continue;  // the root key is written only when it holds values
        str += "[" + key.strPath + "]\n";
        for (const CHiveFile::VALUE& value : key.values)
            str += value.strName + (value.bText ? "\n text \n" : "\n raw \n") + value.strData + "\n";
    }
    return str;
}

[[noreturn]] void Fail(const char* pszWhat, const std::string& strFirst, const std::string& strSecond)
{
    std::fprintf(stderr, "hive property broken: %s\n--- first\n%s\n--- second\n%s\n", pszWhat, strFirst.c_str(),
                 strSecond.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    CHiveFile first;
    first.Parse(std::string_view(reinterpret_cast<const char*>(pData), nSize));
    const CString strOnce = first.Format();

    CHiveFile second;
    if (second.Parse(strOnce) != 0)
        Fail("the written hive has lines the parser cannot read", strOnce, "");
    if (Dump(second) != Dump(first))
        Fail("parsing the written hive gives other values", Dump(first), Dump(second));
    const CString strTwice = second.Format();
    if (strTwice != strOnce)
        Fail("a second write differs from the first", strOnce, strTwice);

    // Every value is found again under its own names.
    for (const CHiveFile::KEY& key : first.Keys()) {
        if (!second.KeyExists(key.strPath) && !(key.strPath.empty() && key.values.empty()))
            Fail("a key is lost", key.strPath, "");
        for (const CHiveFile::VALUE& value : key.values) {
            const CHiveFile::VALUE* pFound = second.FindValue(key.strPath, value.strName);
            if (!pFound || pFound->bText != value.bText || pFound->strData != value.strData)
                Fail("a value is not found again", key.strPath, value.strName);
        }
    }
    return 0;
}

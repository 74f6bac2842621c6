// The hive file's text in memory: keys below HKEY_LOCAL_MACHINE with their
// values, read from and written back in the registry export format.
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Quorvane Software\Prodlet\Settings]
//   @="unnamed value"
//   "Often"="25"
//
// Inside quotes \\ and \" are escaped as regedit does; so that any text
// survives a line-based file, a line feed is written \n, a carriage return
// \r and other control characters \xHH. Values of other types written by hand
// (dword:, hex:, ...) are kept as their raw text and written back so that
// they read the same again; so is a value line that is neither (text after a
// closing quote). Comments (; or #) are read past but not kept.
//
// Keys and values are found through an index of their case-folded names, so
// parsing a file and every look-up cost time in proportion to what they touch,
// however many values a key holds.
#pragma once

#include "framework/AfxTypes.h"

#include <string_view>
#include <unordered_map>
#include <vector>

class CHiveFile {
public:
    struct VALUE {
        CString strName;  // "" is the key's unnamed value
        BOOL bText;       // REG_SZ; otherwise strData is the raw text after "="
        CString strData;
    };
    struct KEY {
        CString strPath;  // below HKEY_LOCAL_MACHINE, no leading or trailing "\"; "" is the root
        std::vector<VALUE> values;
        std::unordered_map<CString, size_t> index;  // folded name -> position in values
    };

    // Reads what can be understood of strText; returns the number of lines
    // that could not be (a well-formed file gives 0).
    int Parse(std::string_view strText);
    CString Format() const;

    // A key exists when it was named in the file or lies above one that was.
    BOOL KeyExists(const CString& strPath) const;
    // Adds the key and every missing key above it; TRUE if the key was new.
    BOOL CreateKey(const CString& strPath);
    const VALUE* FindValue(const CString& strPath, const CString& strName) const;
    // Stores a text value, creating the key if needed; TRUE if anything changed.
    BOOL SetTextValue(const CString& strPath, const CString& strName, const CString& strText);
    // TRUE if SetTextValue with these arguments would change nothing.
    BOOL HasTextValue(const CString& strPath, const CString& strName, const CString& strText) const;

    const std::vector<KEY>& Keys() const { return m_keys; }

    // "a\\b\" -> "a\b": empty components dropped.
    static CString NormalizePath(const CString& strPath);
    static BOOL EqualNoCase(const CString& str1, const CString& str2);
    // The form names are compared in: ASCII letters upper-cased.
    static CString Fold(std::string_view str);

private:
    KEY* FindKey(const CString& strPath);
    const KEY* FindKey(const CString& strPath) const;
    KEY& AddKey(const CString& strPath);
    // The key, made with every missing key above it; bNew if it was made.
    KEY& ObtainKey(const CString& strPath, BOOL& bNew);
    void StoreValue(KEY& key, VALUE&& value);

    std::vector<KEY> m_keys;
    std::unordered_map<CString, size_t> m_keyIndex;  // folded path -> position in m_keys
};

// The hive file's text: parsing it, finding and changing keys and values,
// and writing it back (HiveFile.h); no file is touched here.
#include "platform/HiveFile.h"

namespace {

const char s_szRoot[] = "HKEY_LOCAL_MACHINE";

// Plain ASCII folding: key and value names compare as on Windows, and the
// process locale must not change which names are equal.
char FoldCase(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }

BOOL IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\v' || ch == '\f'; }

std::string_view Trim(std::string_view str)
{
    while (!str.empty() && IsBlank(str.front()))
        str.remove_prefix(1);
    while (!str.empty() && IsBlank(str.back()))
        str.remove_suffix(1);
    return str;
}

std::vector<CString> SplitPath(std::string_view strPath)
{
    std::vector<CString> parts;
    size_t nStart = 0;
    while (nStart <= strPath.size()) {
        size_t nEnd = strPath.find('\\', nStart);
        if (nEnd == std::string_view::npos)
            nEnd = strPath.size();
        if (nEnd > nStart)
            parts.emplace_back(strPath.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return parts;
}

BOOL HasControlChar(std::string_view str)
{
    for (char ch : str)
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t')
            return TRUE;
    return FALSE;
}

void AppendQuoted(CString& strOut, const CString& str)
{
    static const char s_szHex[] = "0123456789ABCDEF";
    strOut += '"';
    for (char ch : str) {
        const unsigned char uch = static_cast<unsigned char>(ch);
        if (ch == '\\' || ch == '"') {
            strOut += '\\';
            strOut += ch;
        } else if (ch == '\n') {
            strOut += "\\n";
        } else if (ch == '\r') {
            strOut += "\\r";
        } else if ((uch < 0x20 && ch != '\t') || uch == 0x7F) {
            strOut += "\\x";
            strOut += s_szHex[uch >> 4];
            strOut += s_szHex[uch & 0xF];
        } else {
            strOut += ch;
        }
    }
    strOut += '"';
}

int HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    ch = FoldCase(ch);
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at str[nPos] == '"'; on success nPos is just
// past the closing quote. An unknown escape keeps its backslash, so a
// hand-written path like "C:\temp" still reads as written.
BOOL Unquote(std::string_view str, size_t& nPos, CString& strOut)
{
    strOut.clear();
    for (size_t i = nPos + 1; i < str.size(); ++i) {
        const char ch = str[i];
        if (ch == '"') {
            nPos = i + 1;
            return TRUE;
        }
        if (ch != '\\' || i + 1 >= str.size()) {
            strOut += ch;
            continue;
        }
        const char chNext = str[i + 1];
        if (chNext == '\\' || chNext == '"') {
            strOut += chNext;
            ++i;
        } else if (chNext == 'n') {
            strOut += '\n';
            ++i;
        } else if (chNext == 'r') {
            strOut += '\r';
            ++i;
        } else if (chNext == 't') {
            strOut += '\t';
            ++i;
        } else if (chNext == 'x' && i + 3 < str.size() && HexDigit(str[i + 2]) >= 0 && HexDigit(str[i + 3]) >= 0) {
            strOut += static_cast<char>(HexDigit(str[i + 2]) * 16 + HexDigit(str[i + 3]));
            i += 3;
        } else {
            strOut += ch;
        }
    }
    return FALSE;
}

// The text ends at its first NUL, as a REG_SZ does.
void CutAtNul(CString& str)
{
    const size_t nNul = str.find('\0');
    if (nNul != CString::npos)
        str.resize(nNul);
}

}  // namespace

CString CHiveFile::Fold(std::string_view str)
{
    CString strFolded(str);
    for (char& ch : strFolded)
        ch = FoldCase(ch);
    return strFolded;
}

BOOL CHiveFile::EqualNoCase(const CString& str1, const CString& str2)
{
    if (str1.size() != str2.size())
        return FALSE;
    for (size_t i = 0; i < str1.size(); ++i)
        if (FoldCase(str1[i]) != FoldCase(str2[i]))
            return FALSE;
    return TRUE;
}

CString CHiveFile::NormalizePath(const CString& strPath)
{
    CString str;
    for (const CString& strPart : SplitPath(strPath)) {
        if (!str.empty())
            str += '\\';
        str += strPart;
    }
    return str;
}

int CHiveFile::Parse(std::string_view strText)
{
    m_keys.clear();
    m_keyIndex.clear();
    if (strText.substr(0, 3) == "\xEF\xBB\xBF")
        strText.remove_prefix(3);
    std::vector<std::string_view> lines;
    for (size_t nStart = 0; nStart < strText.size();) {
        size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string_view::npos)
            nEnd = strText.size();
        lines.push_back(Trim(strText.substr(nStart, nEnd - nStart)));
        nStart = nEnd + 1;
    }

    int nBad = 0;
    KEY* pKey = nullptr;  // null: values that follow belong to no key of ours
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view strLine = lines[i];
        if (strLine.empty() || strLine[0] == ';' || strLine[0] == '#' || strLine == "REGEDIT4" ||
            strLine.substr(0, 31) == "Windows Registry Editor Version")
            continue;

        if (strLine[0] == '[') {
            pKey = nullptr;
            const std::string_view strInner = strLine.size() >= 2 && strLine.back() == ']'
                                                  ? strLine.substr(1, strLine.size() - 2)
                                                  : std::string_view();
            const size_t nSlash = strInner.find('\\');
            const CString strRoot(strInner.substr(0, nSlash));
            const CString strPath =
                nSlash == std::string_view::npos ? CString() : NormalizePath(CString(strInner.substr(nSlash + 1)));
            if (!EqualNoCase(strRoot, s_szRoot) || HasControlChar(strPath)) {
                ++nBad;
                continue;
            }
            BOOL bNew = FALSE;
            pKey = &ObtainKey(strPath, bNew);
            continue;
        }

        if (strLine[0] != '"' && strLine[0] != '@') {
            ++nBad;
            continue;
        }
        VALUE value{CString(), TRUE, CString()};
        size_t nPos = strLine[0] == '"' ? 0 : 1;
        if (nPos == 0 && !Unquote(strLine, nPos, value.strName)) {
            ++nBad;
            continue;
        }
        CutAtNul(value.strName);
        while (nPos < strLine.size() && IsBlank(strLine[nPos]))
            ++nPos;
        if (nPos >= strLine.size() || strLine[nPos] != '=') {
            ++nBad;
            continue;
        }
        ++nPos;
        while (nPos < strLine.size() && IsBlank(strLine[nPos]))
            ++nPos;
        BOOL bText = FALSE;
        if (nPos < strLine.size() && strLine[nPos] == '"') {
            size_t nEnd = nPos;
            if (!Unquote(strLine, nEnd, value.strData)) {
                ++nBad;  // cut off in the middle: nothing worth keeping
                continue;
            }
            // Anything after the closing quote makes it some other kind of
            // line; it is kept as raw text below rather than dropped unseen.
            bText = nEnd == strLine.size();
            if (bText)
                CutAtNul(value.strData);
        }
        if (!bText) {
            // Another type, perhaps continued over several lines with a
            // trailing backslash: kept as one line of raw text.
            value.bText = FALSE;
            // The joined text is trimmed at each step, so the data never
            // ends in a backslash that would continue it when written back.
            CString strRaw(Trim(strLine.substr(nPos)));
            while (!strRaw.empty() && strRaw.back() == '\\') {
                strRaw.pop_back();
                if (i + 1 < lines.size())
                    strRaw += lines[++i];
                strRaw = CString(Trim(strRaw));
            }
            value.strData = std::move(strRaw);
            if (value.strData.empty() || HasControlChar(value.strData)) {
                ++nBad;
                continue;
            }
        }
        if (!pKey) {
            ++nBad;
            continue;
        }
        StoreValue(*pKey, std::move(value));
    }
    return nBad;
}

CString CHiveFile::Format() const
{
    size_t nSize = 16;
    for (const KEY& key : m_keys) {
        nSize += key.strPath.size() + 32;
        for (const VALUE& value : key.values)
            nSize += value.strName.size() + value.strData.size() + 8;
    }
    CString strText;
    strText.reserve(nSize + nSize / 8);
    strText += "REGEDIT4\n\n";
    for (const KEY& key : m_keys) {
        if (key.strPath.empty() && key.values.empty())
            continue;
        strText += "[";
        strText += s_szRoot;
        if (!key.strPath.empty()) {
            strText += '\\';
            strText += key.strPath;
        }
        strText += "]\n";
        for (const VALUE& value : key.values) {
            if (value.strName.empty())
                strText += '@';
            else
                AppendQuoted(strText, value.strName);
            strText += '=';
            if (value.bText) {
                AppendQuoted(strText, value.strData);
            } else {
                // Raw text that begins with a quote would read as a text
                // value on the name's line; on a continuation line it stays raw.
                if (value.strData[0] == '"')
                    strText += "\\\n  ";
                strText += value.strData;
            }
            strText += '\n';
        }
        strText += '\n';
    }
    return strText;
}

CHiveFile::KEY* CHiveFile::FindKey(const CString& strPath)
{
    const auto it = m_keyIndex.find(Fold(strPath));
    return it == m_keyIndex.end() ? nullptr : &m_keys[it->second];
}

const CHiveFile::KEY* CHiveFile::FindKey(const CString& strPath) const
{
    const auto it = m_keyIndex.find(Fold(strPath));
    return it == m_keyIndex.end() ? nullptr : &m_keys[it->second];
}

CHiveFile::KEY& CHiveFile::AddKey(const CString& strPath)
{
    m_keyIndex.emplace(Fold(strPath), m_keys.size());
    m_keys.push_back(KEY{strPath, {}, {}});
    return m_keys.back();
}

// Every key above an existing one exists too, so the case of a new key's
// upper parts comes from the keys already there, one level at a time.
CHiveFile::KEY& CHiveFile::ObtainKey(const CString& strPath, BOOL& bNew)
{
    bNew = FALSE;
    const std::vector<CString> parts = SplitPath(strPath);
    if (parts.empty()) {
        if (KEY* pRoot = FindKey(CString()))
            return *pRoot;
        return AddKey(CString());
    }
    CString strPrefix, strFolded;
    size_t nKey = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) {
            strPrefix += '\\';
            strFolded += '\\';
        }
        strFolded += Fold(parts[i]);
        const auto it = m_keyIndex.find(strFolded);
        if (it != m_keyIndex.end()) {
            nKey = it->second;
            strPrefix = m_keys[nKey].strPath;
        } else {
            strPrefix += parts[i];
            nKey = m_keys.size();
            AddKey(strPrefix);
            bNew = i + 1 == parts.size();
        }
    }
    return m_keys[nKey];
}

BOOL CHiveFile::KeyExists(const CString& strPath) const
{
    return strPath.empty() || FindKey(strPath) != nullptr;
}

BOOL CHiveFile::CreateKey(const CString& strPath)
{
    BOOL bNew = FALSE;
    ObtainKey(strPath, bNew);
    return bNew;
}

void CHiveFile::StoreValue(KEY& key, VALUE&& value)
{
    const auto [it, bInserted] = key.index.emplace(Fold(value.strName), key.values.size());
    if (bInserted) {
        key.values.push_back(std::move(value));
        return;
    }
    // A name seen again (in any case): the later data wins, the first spelling stays.
    VALUE& old = key.values[it->second];
    old.bText = value.bText;
    old.strData = std::move(value.strData);
}

const CHiveFile::VALUE* CHiveFile::FindValue(const CString& strPath, const CString& strName) const
{
    const KEY* pKey = FindKey(strPath);
    if (!pKey)
        return nullptr;
    const auto it = pKey->index.find(Fold(strName));
    return it == pKey->index.end() ? nullptr : &pKey->values[it->second];
}

BOOL CHiveFile::HasTextValue(const CString& strPath, const CString& strName, const CString& strText) const
{
    const VALUE* pValue = FindValue(strPath, strName);
    return pValue && pValue->bText && pValue->strData == strText;
}

BOOL CHiveFile::SetTextValue(const CString& strPath, const CString& strName, const CString& strText)
{
    const BOOL bHadKey = FindKey(strPath) != nullptr;
    BOOL bNew = FALSE;
    KEY& key = ObtainKey(strPath, bNew);
    const auto it = key.index.find(Fold(strName));
    if (it != key.index.end()) {
        VALUE& value = key.values[it->second];
        if (value.bText && value.strData == strText)
            return !bHadKey;
        value.bText = TRUE;
        value.strData = strText;
        return TRUE;
    }
    StoreValue(key, VALUE{strName, TRUE, strText});
    return TRUE;
}

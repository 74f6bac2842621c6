#include "platform/HiveFile.h"

#include <cstdio>

namespace {

const char s_szRoot[] = "HKEY_LOCAL_MACHINE";

// Plain ASCII folding: key and value names compare as on Windows, and the
// process locale must not change which names are equal.
char FoldCase(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }

BOOL IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\v' || ch == '\f'; }

CString Trim(const CString& str)
{
    size_t nBegin = 0, nEnd = str.size();
    while (nBegin < nEnd && IsBlank(str[nBegin]))
        ++nBegin;
    while (nEnd > nBegin && IsBlank(str[nEnd - 1]))
        --nEnd;
    return str.substr(nBegin, nEnd - nBegin);
}

std::vector<CString> SplitPath(const CString& strPath)
{
    std::vector<CString> parts;
    size_t nStart = 0;
    while (nStart <= strPath.size()) {
        size_t nEnd = strPath.find('\\', nStart);
        if (nEnd == CString::npos)
            nEnd = strPath.size();
        if (nEnd > nStart)
            parts.push_back(strPath.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return parts;
}

CString JoinPath(const std::vector<CString>& parts, size_t nCount)
{
    CString str;
    for (size_t i = 0; i < nCount && i < parts.size(); ++i) {
        if (i)
            str += '\\';
        str += parts[i];
    }
    return str;
}

BOOL HasControlChar(const CString& str)
{
    for (char ch : str)
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t')
            return TRUE;
    return FALSE;
}

CString Quote(const CString& str)
{
    CString strOut = "\"";
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
            char szHex[8];
            std::snprintf(szHex, sizeof(szHex), "\\x%02X", uch);
            strOut += szHex;
        } else {
            strOut += ch;
        }
    }
    return strOut + "\"";
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
BOOL Unquote(const CString& str, size_t& nPos, CString& strOut)
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
CString CutAtNul(const CString& str)
{
    const size_t nNul = str.find('\0');
    return nNul == CString::npos ? str : str.substr(0, nNul);
}

}  // namespace

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
    const std::vector<CString> parts = SplitPath(strPath);
    return JoinPath(parts, parts.size());
}

int CHiveFile::Parse(const CString& strText)
{
    m_keys.clear();
    std::vector<CString> lines;
    size_t nStart = strText.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (nStart < strText.size()) {
        size_t nEnd = strText.find('\n', nStart);
        if (nEnd == CString::npos)
            nEnd = strText.size();
        lines.push_back(Trim(strText.substr(nStart, nEnd - nStart)));
        nStart = nEnd + 1;
    }

    int nBad = 0;
    KEY* pKey = nullptr;  // null: values that follow belong to no key of ours
    for (size_t i = 0; i < lines.size(); ++i) {
        const CString& strLine = lines[i];
        if (strLine.empty() || strLine[0] == ';' || strLine[0] == '#' || strLine == "REGEDIT4" ||
            strLine.compare(0, 31, "Windows Registry Editor Version") == 0)
            continue;

        if (strLine[0] == '[') {
            pKey = nullptr;
            const CString strInner = strLine.size() >= 2 && strLine.back() == ']'
                                         ? strLine.substr(1, strLine.size() - 2)
                                         : CString();
            const size_t nSlash = strInner.find('\\');
            const CString strRoot = strInner.substr(0, nSlash);
            const CString strPath = nSlash == CString::npos ? CString() : NormalizePath(strInner.substr(nSlash + 1));
            if (!EqualNoCase(strRoot, s_szRoot) || HasControlChar(strPath)) {
                ++nBad;
                continue;
            }
            CreateKey(strPath);
            pKey = FindKey(strPath);
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
        value.strName = CutAtNul(value.strName);
        while (nPos < strLine.size() && IsBlank(strLine[nPos]))
            ++nPos;
        if (nPos >= strLine.size() || strLine[nPos] != '=') {
            ++nBad;
            continue;
        }
        ++nPos;
        while (nPos < strLine.size() && IsBlank(strLine[nPos]))
            ++nPos;
        if (nPos < strLine.size() && strLine[nPos] == '"') {
            if (!Unquote(strLine, nPos, value.strData)) {
                ++nBad;
                continue;
            }
            value.strData = CutAtNul(value.strData);
        } else {
            // Another type, perhaps continued over several lines with a
            // trailing backslash: kept as one line of raw text.
            value.bText = FALSE;
            CString strRaw = strLine.substr(nPos);
            while (!strRaw.empty() && strRaw.back() == '\\') {
                strRaw.pop_back();
                if (i + 1 < lines.size())
                    strRaw += lines[++i];
            }
            value.strData = Trim(strRaw);
            if (value.strData.empty() || HasControlChar(value.strData)) {
                ++nBad;
                continue;
            }
        }
        if (!pKey) {
            ++nBad;
            continue;
        }
        BOOL bFound = FALSE;
        for (VALUE& old : pKey->values)
            if (EqualNoCase(old.strName, value.strName)) {
                old.bText = value.bText;
                old.strData = value.strData;
                bFound = TRUE;
            }
        if (!bFound)
            pKey->values.push_back(value);
    }
    return nBad;
}

CString CHiveFile::Format() const
{
    CString strText = "REGEDIT4\n\n";
    for (const KEY& key : m_keys) {
        if (key.strPath.empty() && key.values.empty())
            continue;
        strText += "[";
        strText += s_szRoot;
        if (!key.strPath.empty())
            strText += "\\" + key.strPath;
        strText += "]\n";
        for (const VALUE& value : key.values) {
            strText += value.strName.empty() ? CString("@") : Quote(value.strName);
            strText += "=";
            strText += value.bText ? Quote(value.strData) : value.strData;
            strText += "\n";
        }
        strText += "\n";
    }
    return strText;
}

CHiveFile::KEY* CHiveFile::FindKey(const CString& strPath)
{
    for (KEY& key : m_keys)
        if (EqualNoCase(key.strPath, strPath))
            return &key;
    return nullptr;
}

const CHiveFile::KEY* CHiveFile::FindKey(const CString& strPath) const
{
    for (const KEY& key : m_keys)
        if (EqualNoCase(key.strPath, strPath))
            return &key;
    return nullptr;
}

CHiveFile::KEY& CHiveFile::AddKey(const CString& strPath)
{
    m_keys.push_back(KEY{strPath, {}});
    return m_keys.back();
}

BOOL CHiveFile::KeyExists(const CString& strPath) const
{
    if (strPath.empty())
        return TRUE;
    for (const KEY& key : m_keys)
        if (EqualNoCase(key.strPath.substr(0, strPath.size()), strPath) &&
            (key.strPath.size() == strPath.size() || key.strPath[strPath.size()] == '\\'))
            return TRUE;
    return FALSE;
}

// Keys above a new one keep the case they were first written in.
CString CHiveFile::ExistingCase(const CString& strPath) const
{
    std::vector<CString> parts = SplitPath(strPath);
    size_t nSettled = 0;
    for (const KEY& key : m_keys) {
        const std::vector<CString> keyParts = SplitPath(key.strPath);
        size_t n = 0;
        while (n < parts.size() && n < keyParts.size() && EqualNoCase(parts[n], keyParts[n]))
            ++n;
        if (n > nSettled) {
            for (size_t i = 0; i < n; ++i)
                parts[i] = keyParts[i];
            nSettled = n;
        }
    }
    return JoinPath(parts, parts.size());
}

BOOL CHiveFile::CreateKey(const CString& strPath)
{
    const BOOL bExisted = KeyExists(strPath);
    const std::vector<CString> parts = SplitPath(ExistingCase(strPath));
    if (parts.empty() && !FindKey(CString()))
        AddKey(CString());
    for (size_t n = 1; n <= parts.size(); ++n) {
        const CString strPrefix = JoinPath(parts, n);
        if (!FindKey(strPrefix))
            AddKey(strPrefix);
    }
    return !bExisted;
}

const CHiveFile::VALUE* CHiveFile::FindValue(const CString& strPath, const CString& strName) const
{
    const KEY* pKey = FindKey(strPath);
    if (!pKey)
        return nullptr;
    for (const VALUE& value : pKey->values)
        if (EqualNoCase(value.strName, strName))
            return &value;
    return nullptr;
}

BOOL CHiveFile::SetTextValue(const CString& strPath, const CString& strName, const CString& strText)
{
    BOOL bChanged = FALSE;
    if (!FindKey(strPath)) {
        CreateKey(strPath);
        bChanged = TRUE;
    }
    KEY* pKey = FindKey(strPath);
    for (VALUE& value : pKey->values)
        if (EqualNoCase(value.strName, strName)) {
            if (value.bText && value.strData == strText)
                return bChanged;
            value.bText = TRUE;
            value.strData = strText;
            return TRUE;
        }
    pKey->values.push_back(VALUE{strName, TRUE, strText});
    return TRUE;
}

// printf-style formatting into a CString of any length.
#include "framework/AfxTypes.h"

#include <cstdarg>
#include <cstdio>

CString AfxFormat(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list argsCopy;
    va_copy(argsCopy, args);
    const int nLength = std::vsnprintf(nullptr, 0, pszFormat, args);
    va_end(args);
    CString str;
    if (nLength > 0) {
        str.resize(static_cast<std::size_t>(nLength));
        std::vsnprintf(str.data(), str.size() + 1, pszFormat, argsCopy);
    }
    va_end(argsCopy);
    return str;
}

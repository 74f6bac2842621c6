// The registry: keys and REG_SZ values below HKEY_LOCAL_MACHINE, kept in one
// text hive file in the registry export format (REGEDIT4).
//
// The hive lives at $PRODLET_HIVE, else $XDG_CONFIG_HOME/prodlet/registry.reg,
// else ~/.config/prodlet/registry.reg. Every call opens, acts and closes: a
// read sees what another running instance wrote, and a write is a
// read-modify-write under an exclusive lock on the hive, written to a
// temporary file and renamed into place. A hive that is missing, unreadable
// or garbled reads as empty (what can be recovered of it is kept); the next
// write leaves a well-formed file.
//
// Only REG_SZ values are written. A value of another type in a hand-edited
// hive is kept when the file is rewritten but reads as missing
// (ERROR_FILE_NOT_FOUND): the program never stores one and has no use for it.
#pragma once

#include "framework/AfxTypes.h"

#include <cstdint>

using LONG = std::int32_t;
using HKEY = std::intptr_t;  // a predefined root or an open key; 0 is no key

constexpr HKEY HKEY_LOCAL_MACHINE = static_cast<HKEY>(0x80000002);

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_WRITE_FAULT = 29;  // the hive file could not be written
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_SET_VALUE = 0x0002;
constexpr DWORD KEY_CREATE_SUB_KEY = 0x0004;
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_WRITE = 0x20006;

// Creates (with all missing keys on the way) or opens hKey\lpSubKey.
// *lpdwDisposition tells REG_CREATED_NEW_KEY from REG_OPENED_EXISTING_KEY.
// Creating needs KEY_CREATE_SUB_KEY on hKey; an empty lpSubKey opens hKey's
// own key again. Key names with control characters are refused
// (ERROR_INVALID_PARAMETER): they could not be written as a key line.
LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass, DWORD dwOptions,
                     DWORD samDesired, void* lpSecurityAttributes, HKEY* phkResult, DWORD* lpdwDisposition);
// Opens an existing key; ERROR_FILE_NOT_FOUND if it does not exist.
LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, DWORD samDesired, HKEY* phkResult);
// Copies a value's data (REG_SZ: the text and its NUL) into lpData.
// lpValueName null or empty is the key's unnamed value. ERROR_MORE_DATA if
// *lpcbData is too small (the needed size is put there); lpData may be null
// to ask the size only.
LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);
// Stores a value; for REG_SZ cbData counts the NUL, and the text ends at the
// first NUL within cbData. Any other type: ERROR_INVALID_PARAMETER. Needs
// KEY_SET_VALUE on hKey (a key opened with KEY_READ: ERROR_ACCESS_DENIED).
LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
LONG RegCloseKey(HKEY hKey);

// Where the hive file is, by the rule above.
CString RegGetHivePath();

// The Windows directory: $PRODLET_WINDIR, else /etc. Returns the length
// copied (without NUL), or the size needed if uSize is too small.
UINT GetWindowsDirectoryA(char* lpBuffer, UINT uSize);

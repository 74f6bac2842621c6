// The registry: keys and REG_SZ values below HKEY_LOCAL_MACHINE, kept in one
// text hive file in the registry export format (REGEDIT4).
//
// The hive lives at $PRODLET_HIVE, else $XDG_CONFIG_HOME/prodlet/registry.reg,
// else ~/.config/prodlet/registry.reg. Every call sees the file as it is on
// disk now: a read sees what another running instance wrote, and a write is a
// read-modify-write under an exclusive lock on the hive, written to a
// temporary file and renamed into place. The parsed hive is kept in memory
// and reused while the file is unchanged (same device, inode, size and
// modification time; the file last read is held open, so its inode number
// cannot pass to a newer file), so a call costs one stat() unless the file
// changed. (An edit in place that keeps the size, within one tick of the file
// system's clock, would go unseen; the program itself never writes in place.)
// A write that would change nothing touches no file.
//
// A hive that is missing reads as empty, and a garbled one as what can be
// recovered of it; the next write leaves a well-formed file. A hive that
// exists but cannot be read (no permission, an I/O error, too many open
// files, a directory in its place) is never overwritten: reads and writes
// fail, and RegGetLastFileError tells why. Files named like the writer's
// temporary files (the hive's name, a dot and six letters or digits) are
// leftovers of writers that were killed; the first key a process creates or
// opens for writing (as at start-up) has them removed under the lock.
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
constexpr LONG ERROR_READ_FAULT = 30;   // the hive file exists but could not be read
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_TRANSACTION_NOT_ACTIVE = 6701;

using HANDLE = std::uintptr_t;  // as in platform/Winsock.h

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

// Transactions, after the Windows transaction manager's calls: keys created
// with a transaction, and keys created or opened below them, see and change a
// private view of the hive (the file as it is, plus the transaction's own
// changes); nothing reaches the file until CommitTransaction, which writes all
// changes at once, under the lock and in the order they were made, or nothing
// when they change nothing. A transaction that is closed without a commit, or
// whose process dies first, leaves no trace. After the commit the
// transaction's keys refuse further calls (ERROR_TRANSACTION_NOT_ACTIVE).
HANDLE CreateTransaction();
// FALSE if the hive could not be written (RegGetLastFileError tells why) or
// the transaction is no longer active.
BOOL CommitTransaction(HANDLE hTransaction);
// Ends a transaction; what it did not commit is dropped.
BOOL CloseHandle(HANDLE hObject);
LONG RegCreateKeyTransactedA(HKEY hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass, DWORD dwOptions,
                             DWORD samDesired, void* lpSecurityAttributes, HKEY* phkResult, DWORD* lpdwDisposition,
                             HANDLE hTransaction, void* pExtendedParameter);

// When the last registry call of this thread failed on the hive file itself:
// which file, and the system's reason ("Permission denied"). FALSE when that
// call succeeded or failed for another reason (a bad handle, say).
BOOL RegGetLastFileError(CString& strFile, CString& strReason);

// Where the hive file is, by the rule above.
CString RegGetHivePath();

// The Windows directory: $PRODLET_WINDIR, else /etc. Returns the length
// copied (without NUL), or the size needed if uSize is too small.
UINT GetWindowsDirectoryA(char* lpBuffer, UINT uSize);

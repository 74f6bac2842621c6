// What tests may do to the Windows registry store: keep it away from the
// machine's real keys, make writes below HKEY_LOCAL_MACHINE fail as they do
// for a standard user (Wine lets everyone write there), read it back, and set
// the Windows directory.
#pragma once

#include "framework/AfxTypes.h"

// Both roots, HKEY_LOCAL_MACHINE and the HKEY_CURRENT_USER fallback, below
// HKEY_CURRENT_USER\<strKey>\Machine and \User; empty gives the real roots
// back. Also forgets the fallback and the failing writes.
void RegRedirectForTesting(const CString& strKeyBelowCurrentUser);
// Creating or opening for writing below HKEY_LOCAL_MACHINE is refused
// (ERROR_ACCESS_DENIED), as for a standard user.
void RegFailMachineWritesForTesting(BOOL bFail);
// TRUE once the run went over to HKEY_CURRENT_USER.
BOOL RegUsesCurrentUser();
// Removes the redirected tree.
void RegDeleteRedirectedTreeForTesting();
// One root's keys and REG_SZ values in the export format ("[HKEY_...]" and
// "Name"="text" lines), as a hive file shows them.
CString RegExportForTesting(BOOL bUser);
// GetWindowsDirectoryA answers this folder (empty: the real one).
void SetWindowsDirectoryForTesting(const CString& strDir);

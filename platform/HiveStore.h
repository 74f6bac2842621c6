// The hive file on disk, for the registry calls of Registry.cpp, which make
// every call here under their own mutex: the parsed hive of the file last
// read or written, kept while that file is unchanged; the read-modify-write
// under the lock file, written to a temporary file renamed into place; the
// removal of what killed writers left behind; and each thread's last file
// error. The file's format is HiveFile's; the rules are those of Registry.h.
#pragma once

#include "platform/HiveFile.h"
#include "platform/Registry.h"

#include <functional>

// The hive as the file holds it now, parsed again only if the file changed;
// a missing file is an empty hive. Null if the file exists but cannot be read
// (lResult says why).
CHiveFile* HiveCurrent(const CString& strHive, LONG& lResult);

// Read-modify-write under the exclusive lock: fnChange changes the hive in
// memory and returns TRUE when it changed anything, and only then is the file
// replaced. The leftovers of killed writers go first.
LONG HiveModify(const CString& strHive, const std::function<BOOL(CHiveFile&)>& fnChange);

// At a process's first key creation in the hive: the leftovers of killed
// writers go, under the lock if there are any.
void HiveRemoveLeftovers(const CString& strHive);

// The hive's folder exists or was made; else the file error.
LONG HiveMakeFolder(const CString& strHive);

// The hive in memory is dropped: after a failure that may have left it half
// changed, it is read from the file again.
void HiveForget();

// A registry call starts: no file error on this thread yet.
void HiveClearFileError();

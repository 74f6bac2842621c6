// The engine keeps all its values in the section "Settings" of the
// application's settings store.
#pragma once

#include "settings/RegistrySettings.h"

#include <utility>
#include <vector>

inline constexpr const char* kSettingsSection = "Settings";

inline int ReadSettingInt(const char* pszName, int nDefault)
{
    CRegistrySettings* pStore = GetAppSettings();
    return pStore ? pStore->ReadInt(kSettingsSection, pszName, nDefault) : nDefault;
}

inline CString ReadSettingString(const char* pszName, const char* pszDefault)
{
    CRegistrySettings* pStore = GetAppSettings();
    return pStore ? pStore->ReadString(kSettingsSection, pszName, pszDefault) : CString(pszDefault);
}

inline BOOL WriteSettingInt(const char* pszName, int nValue)
{
    CRegistrySettings* pStore = GetAppSettings();
    return pStore ? pStore->WriteInt(kSettingsSection, pszName, nValue) : FALSE;
}

inline BOOL WriteSettingString(const char* pszName, const CString& strValue)
{
    CRegistrySettings* pStore = GetAppSettings();
    return pStore ? pStore->WriteString(kSettingsSection, pszName, strValue.c_str()) : FALSE;
}

// Several values at once: one write of the settings file, or none if nothing changed.
inline BOOL WriteSettingStrings(const std::vector<std::pair<CString, CString>>& values)
{
    CRegistrySettings* pStore = GetAppSettings();
    return pStore ? pStore->WriteStrings(kSettingsSection, values) : FALSE;
}

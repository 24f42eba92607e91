// The two per-user settings, kept under HKCU\Software\Quorvik\Swivo.
#include "settings/store.h"
#include "platform/registry.h"

SETTINGS Settings = {1, 17};

static const WCHAR SettingsKey[] = L"Software\\Quorvik\\Swivo";

// The first four bytes of the value, whatever its type; a shorter value counts
// its missing bytes as zero. A value that cannot be read gives the default.
static LONG ReadSettingValue(HKEY key, const WCHAR *name, LONG defaultValue)
{
    static REGISTRY_VALUE value;
    if (!ReadRegistryValue(key, name, &value))
        return defaultValue;
    const BYTE *data = value.Data;
    return (LONG)(data[0] | (data[1] << 8) | (data[2] << 16) | ((DWORD)data[3] << 24));
}

void LoadSettings(void)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    Settings.ActiveKey = ReadSettingValue(key, L"ActiveKey", 17);
    Settings.EnableKeys = ReadSettingValue(key, L"EnableKeys", 1);
    RegCloseKey(key);
}

void SaveSettings(void)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, L"ActiveKey", 0, REG_DWORD, (const BYTE *)&Settings.ActiveKey, sizeof(LONG));
    RegSetValueExW(key, L"EnableKeys", 0, REG_DWORD, (const BYTE *)&Settings.EnableKeys, sizeof(LONG));
    RegCloseKey(key);
}

// The per-user settings, kept under HKCU\Software\Quorvik\Swivo.
#include "settings/store.h"
#include "platform/registry.h"

#include <commctrl.h>

SETTINGS Settings = {1, 17, {0, 0, 0}};

static const WCHAR SettingsKey[] = L"Software\\Quorvik\\Swivo";
static const WCHAR *const CombinationValues[COMBINATION_COUNT] = {L"HotkeyAll", L"HotkeyVideo", L"HotkeyAudio"};

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

BOOL IsUsableCombination(LONG combination)
{
    LONG key = combination & 0xFF, modifiers = (combination >> 8) & 0xFF;
    return !(combination & ~0xFFFF) && key &&
           !(modifiers & ~(HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_EXT)) &&
           (modifiers & (HOTKEYF_CONTROL | HOTKEYF_ALT));
}

void LoadSettings(void)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    Settings.ActiveKey = ReadSettingValue(key, L"ActiveKey", 17);
    Settings.EnableKeys = ReadSettingValue(key, L"EnableKeys", 1);
    for (int i = 0; i < COMBINATION_COUNT; ++i)
    {
        LONG combination = ReadSettingValue(key, CombinationValues[i], 0);
        Settings.Combinations[i] = IsUsableCombination(combination) ? combination : 0;
    }
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
    for (int i = 0; i < COMBINATION_COUNT; ++i)
        RegSetValueExW(key, CombinationValues[i], 0, REG_DWORD, (const BYTE *)&Settings.Combinations[i], sizeof(LONG));
    RegCloseKey(key);
}

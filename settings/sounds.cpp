// The Windows device connect and disconnect sounds: silenced by emptying the
// sound of the user's scheme, with the former sound kept in "Old" so that it
// can be given back.
#include "settings/sounds.h"
#include "app/app.h"
#include "platform/registry.h"

static const WCHAR ConnectCurrent[] = L"AppEvents\\Schemes\\Apps\\.Default\\DeviceConnect\\.Current";
static const WCHAR ConnectDefault[] = L"AppEvents\\Schemes\\Apps\\.Default\\DeviceConnect\\.Default";
static const WCHAR DisconnectCurrent[] = L"AppEvents\\Schemes\\Apps\\.Default\\DeviceDisconnect\\.Current";
static const WCHAR DisconnectDefault[] = L"AppEvents\\Schemes\\Apps\\.Default\\DeviceDisconnect\\.Default";

// No sound at all: no data, or a string whose first character ends it.
static BOOL IsEmptySound(const REGISTRY_VALUE *value)
{
    return value->Size < sizeof(WCHAR) || *(const WCHAR *)value->Data == 0;
}

int ConnectionSoundsEnabled(void)
{
    if (!IsWindowsXPOrLater())
        return 0;
    static const WCHAR *const CurrentKeys[] = {ConnectCurrent, DisconnectCurrent};
    static REGISTRY_VALUE value;
    int count = 2;
    for (const WCHAR *path : CurrentKeys)
    {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        if (ReadRegistryValue(key, NULL, &value) && value.Size == 0)
            --count;
        RegCloseKey(key);
    }
    return count != 0;
}

void EnableEventSound(const WCHAR *currentPath, const WCHAR *defaultPath, int enable)
{
    // Off the stack: two values of 2 KB each.
    static REGISTRY_VALUE current, source;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, currentPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (!ReadRegistryValue(key, NULL, &current))
    {
        RegCloseKey(key);
        return;
    }
    if (!enable)
    {
        // An empty sound is never saved: it would overwrite the user's own
        // sound kept in "Old" by an earlier silencing.
        if (!IsEmptySound(&current))
            RegSetValueExW(key, L"Old", 0, current.Type, current.Data, current.Size);
        RegSetValueExW(key, NULL, 0, current.Type, NULL, 0);
    }
    else
    {
        BOOL found = ReadRegistryValue(key, L"Old", &source) && !IsEmptySound(&source);
        if (!found)
        {
            HKEY defaultKey;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, defaultPath, 0, KEY_READ, &defaultKey) == ERROR_SUCCESS)
            {
                found = ReadRegistryValue(defaultKey, NULL, &source);
                RegCloseKey(defaultKey);
            }
        }
        // With no sound to give back, the event stays as it is.
        if (found)
            RegSetValueExW(key, NULL, 0, source.Type, source.Data, source.Size);
    }
    RegCloseKey(key);
}

void EnableConnectionSounds(int enable)
{
    EnableEventSound(ConnectCurrent, ConnectDefault, enable);
    EnableEventSound(DisconnectCurrent, DisconnectDefault, enable);
}

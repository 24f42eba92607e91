// The user's own key combinations, one per command: registered with the
// system for the main window, so they need no hook and see no other key.
// The system keeps them across the lock screen and sleep.
#include "platform/lookup.h"
#include "platform/text.h"
#include "hotkey/hotkey.h"
#include "app/app.h"
#include "device/device.h"
#include "settings/store.h"
#include "resource.h"

#include <commctrl.h>

#ifndef MOD_NOREPEAT
#define MOD_NOREPEAT 0x4000
#endif
#define COMBINATION_RELEASE_POLL_MS 50

BOOL CombinationTaken[COMBINATION_COUNT];

static const SwitchCommand CombinationCommands[COMBINATION_COUNT] = {SWITCH_ALL, SWITCH_VIDEO, SWITCH_AUDIO};
// The tray menu's items of the same commands, whose texts name them.
const UINT CombinationMenuItems[COMBINATION_COUNT] = {IDM_SWITCH_ALL, IDM_SWITCH_VIDEO, IDM_SWITCH_AUDIO};
static int HeldCombination = -1;  // switched, and its key not yet released

// The identifier of combination i with RegisterHotKey.
static int CombinationId(int i) { return i + 1; }

static UINT ModifiersOf(LONG combination)
{
    BYTE flags = HIBYTE(LOWORD(combination));
    return (flags & HOTKEYF_CONTROL ? MOD_CONTROL : 0) | (flags & HOTKEYF_ALT ? MOD_ALT : 0) |
           (flags & HOTKEYF_SHIFT ? MOD_SHIFT : 0);
}

void RegisterCombinations(void)
{
    // Windows 7 and later can leave out a held key's repeats themselves.
    BOOL noRepeat = OsVersion.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                    (OsVersion.dwMajorVersion > 6 || (OsVersion.dwMajorVersion == 6 && OsVersion.dwMinorVersion >= 1));
    for (int i = 0; i < COMBINATION_COUNT; ++i)
    {
        UnregisterHotKey(MainWindow, CombinationId(i));
        CombinationTaken[i] = FALSE;
        LONG combination = Settings.Combinations[i];
        if (!combination)
            continue;
        UINT modifiers = ModifiersOf(combination), vk = LOBYTE(combination);
        BOOL registered = (noRepeat && RegisterHotKey(MainWindow, CombinationId(i), modifiers | MOD_NOREPEAT, vk)) ||
                          RegisterHotKey(MainWindow, CombinationId(i), modifiers, vk);
        // Held by another program: kept all the same, and tried at each start.
        CombinationTaken[i] = !registered;
    }
}

void UnregisterCombinations(void)
{
    for (int i = 0; i < COMBINATION_COUNT; ++i)
        UnregisterHotKey(MainWindow, CombinationId(i));
    KillTimer(MainWindow, COMBINATION_TIMER_ID);
}

void OnCombinationHotkey(WPARAM id)
{
    int i = (int)id - 1;
    if (i < 0 || i >= COMBINATION_COUNT)
        return;
    // A combination held down switches once, also where the system repeats
    // it: a second switch would move the desk straight back.
    if (HeldCombination == i)
        return;
    HeldCombination = i;
    SetTimer(MainWindow, COMBINATION_TIMER_ID, COMBINATION_RELEASE_POLL_MS, NULL);
    SendSwitchCommand(CombinationCommands[i]);
}

// Runs only while a combination's key is held.
void OnCombinationTimer(void)
{
    if (HeldCombination >= 0 && GetAsyncKeyState(LOBYTE(Settings.Combinations[HeldCombination])) & 0x8000)
        return;
    HeldCombination = -1;
    KillTimer(MainWindow, COMBINATION_TIMER_ID);
}

// The system's name of a key ("Ctrl", "F9"), in the keyboard layout's
// language. Windows 9x has no wide form.
static void AppendKeyName(UINT vk, BOOL extended, WCHAR *text, int capacity)
{
    size_t used = TextLength(text);
    if ((int)used + 1 >= capacity)
        return;
    LONG key = (LONG)(MapVirtualKeyA(vk, 0) << 16) | (extended ? 1L << 24 : 0);
    typedef int(WINAPI * KeyNameFunction)(LONG, LPWSTR, int);
    auto keyName = (KeyNameFunction)(void *)LoadedModuleFunction("user32.dll", "GetKeyNameTextW");
    if (keyName && OsVersion.dwPlatformId == VER_PLATFORM_WIN32_NT)
    {
        if (keyName(key, text + used, capacity - (int)used) <= 0)
            text[used] = 0;
        return;
    }
    char narrow[64];
    int length = GetKeyNameTextA(key, narrow, sizeof(narrow));
    if (length <= 0 || !MultiByteToWideChar(CP_ACP, 0, narrow, -1, text + used, capacity - (int)used))
        text[used] = 0;
}

void CombinationText(LONG combination, WCHAR *text, int capacity)
{
    if (capacity <= 0)
        return;
    text[0] = 0;
    if (!combination)
        return;
    BYTE flags = HIBYTE(LOWORD(combination));
    const struct
    {
        BYTE flag;
        UINT vk;
    } modifiers[] = {{HOTKEYF_CONTROL, VK_CONTROL}, {HOTKEYF_ALT, VK_MENU}, {HOTKEYF_SHIFT, VK_SHIFT}};
    for (const auto &modifier : modifiers)
    {
        if (!(flags & modifier.flag))
            continue;
        AppendKeyName(modifier.vk, FALSE, text, capacity);
        size_t used = TextLength(text);
        CopyText(text + used, L"+", capacity - used);
    }
    AppendKeyName(LOBYTE(combination), (flags & HOTKEYF_EXT) != 0, text, capacity);
}

// Starting and stopping the hook library as the settings say.
#include "hotkey/hotkey.h"
#include "settings/store.h"

static HWND HookWindow;

// Besides Shift and Control, the key pressed twice counts only when tapped.
static DWORD TapKeyOf(LONG activeKey) { return activeKey == -1 ? 0 : (DWORD)activeKey; }

void StartHotkeyHook(HWND window)
{
    HookWindow = window;
    if (!Settings.EnableKeys)
        return;
    SetHookTapKey(TapKeyOf(Settings.ActiveKey));
    StartHook(window);
}

void StopHotkeyHook(void) { StopHook(); }

void RestartHotkeyHook(void)
{
    StopHook();
    StartHotkeyHook(HookWindow);
}

// StartHook does nothing while the hook runs, StopHook nothing while it does not.
void ApplyHotkeySettings(void)
{
    if (!Settings.EnableKeys)
    {
        StopHook();
        return;
    }
    SetHookTapKey(TapKeyOf(Settings.ActiveKey));
    StartHook(HookWindow);
}

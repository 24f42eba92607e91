// The hotkey sequence detector: a key pressed twice (or Control, Control,
// Shift) within the sequence window switches everything; with ALT held, video
// and input only, once ALT is let go.
#include "hotkey/hotkey.h"
#include "device/device.h"
#include "settings/store.h"

HOTKEY_SEQUENCE HotkeySequence = {0, 0, NO_TIMER, NO_TIMER};

static BOOL IsKeyDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

static BOOL IsAltDown(void) { return IsKeyDown(VK_RMENU) || IsKeyDown(VK_LMENU); }

static void Cancel(void)
{
    HotkeySequence.Step = 0;
    HotkeySequence.VideoOnly = 0;
}

void StartSequenceTimer(void)
{
    StopSequenceTimer();
    HotkeySequence.WindowTimerId = SetTimer(NULL, 0, SEQUENCE_WINDOW_MS, HotkeyTimerProc);
}

void StopSequenceTimer(void)
{
    if (HotkeySequence.WindowTimerId != NO_TIMER)
        KillTimer(NULL, HotkeySequence.WindowTimerId);
    HotkeySequence.WindowTimerId = NO_TIMER;
}

static void StopAltTimer(void)
{
    if (HotkeySequence.AltTimerId != NO_TIMER)
        KillTimer(NULL, HotkeySequence.AltTimerId);
    HotkeySequence.AltTimerId = NO_TIMER;
}

void StopHotkeyTimers(void)
{
    StopSequenceTimer();
    StopAltTimer();
}

// While ALT is held no timed reset happens; the ALT timer looks again.
static void BeginAltWait(void)
{
    StopSequenceTimer();
    StopAltTimer();
    HotkeySequence.AltTimerId = SetTimer(NULL, 0, ALT_WAIT_MS, HotkeyTimerProc);
}

static void SwitchVideo(void)
{
    OutputDebugStringW(L"VIDSW!!!\n");
    SendSwitchCommand(SWITCH_VIDEO);
    HotkeySequence.VideoOnly = 0;
    // The other host must not see an ALT that is held here: let go of one.
    BYTE held = IsKeyDown(VK_LMENU) ? VK_LMENU : IsKeyDown(VK_RMENU) ? VK_RMENU : 0;
    if (held)
        keybd_event(held, 0, KEYEVENTF_KEYUP, 0);
}

static void Complete(void)
{
    if (IsAltDown())
    {
        BeginAltWait();
        return;
    }
    HotkeySequence.Step = 0;
    if (HotkeySequence.VideoOnly)
    {
        SwitchVideo();
        return;
    }
    OutputDebugStringW(L"SWITCH!!!\n");
    SendSwitchCommand(SWITCH_ALL);
}

void HandleHookKey(DWORD vk)
{
    if (!Settings.EnableKeys)
        return;
    LONG key = Settings.ActiveKey;
    BOOL twice = key != -1;
    switch (HotkeySequence.Step)
    {
    case 0:
        if ((twice && vk == (DWORD)key) || (!twice && vk == VK_CONTROL))
        {
            StartSequenceTimer();
            HotkeySequence.Step = 1;
        }
        else
        {
            HotkeySequence.Step = 0;
        }
        break;
    case 1:
        if (twice)
        {
            if (vk == (DWORD)key)
                Complete();
        }
        else if (vk == VK_CONTROL)
        {
            StartSequenceTimer();
            HotkeySequence.Step = 2;
        }
        else
        {
            Cancel();
        }
        break;
    case 2:
        if (vk == VK_SHIFT)
        {
            HotkeySequence.Step = 3;
            Complete();
        }
        else if (vk != VK_MENU)
        {
            Cancel();
        }
        break;
    case 3:
        if (vk >= VK_SHIFT && vk <= VK_MENU)
        {
            if (IsAltDown())
            {
                BeginAltWait();
            }
            else
            {
                HotkeySequence.VideoOnly = 1;
                HotkeySequence.Step = 0;
                SwitchVideo();
            }
        }
        else
        {
            Cancel();
        }
        break;
    default:
        Cancel();
        break;
    }
}

void HandleHookAlt(LPARAM altHeld) { HotkeySequence.VideoOnly = altHeld != 0; }

VOID CALLBACK HotkeyTimerProc(HWND, UINT, UINT_PTR timerId, DWORD)
{
    if (timerId == HotkeySequence.WindowTimerId)
        HotkeySequence.Step = 0;
    if (timerId != HotkeySequence.AltTimerId)
        return;
    StopAltTimer();
    if (HotkeySequence.Step == 2)
    {
        HandleHookKey(VK_SHIFT);
    }
    else if (HotkeySequence.Step == 1)
    {
        HotkeySequence.VideoOnly = 1;
        HandleHookKey((DWORD)Settings.ActiveKey);
    }
}

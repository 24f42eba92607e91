// The hotkey sequence detector: a key pressed twice (or Control, Control,
// Shift) within the sequence window switches everything; with ALT held, video
// and input only, once ALT is let go. The window is measured by the
// keystrokes' own times, so keystrokes that waited in the queue while this
// thread was busy are judged as they were typed.
#include "hotkey/hotkey.h"
#include "device/device.h"
#include "settings/store.h"

HOTKEY_SEQUENCE HotkeySequence = {0, 0, FALSE, 0, NO_TIMER};

static BOOL IsKeyDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

static BOOL IsAltDown(void) { return IsKeyDown(VK_RMENU) || IsKeyDown(VK_LMENU); }

static void Cancel(void)
{
    HotkeySequence.Step = 0;
    HotkeySequence.VideoOnly = 0;
}

static void OpenSequenceWindow(DWORD time)
{
    HotkeySequence.WindowOpen = TRUE;
    HotkeySequence.WindowStart = time;
}

static void StopAltTimer(void)
{
    if (HotkeySequence.AltTimerId != NO_TIMER)
        KillTimer(NULL, HotkeySequence.AltTimerId);
    HotkeySequence.AltTimerId = NO_TIMER;
}

void StopHotkeyTimers(void) { StopAltTimer(); }

// While ALT is held no timed reset happens; the ALT timer looks again.
static void BeginAltWait(void)
{
    HotkeySequence.WindowOpen = FALSE;
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

void HandleHookKey(DWORD vk, DWORD time)
{
    if (!Settings.EnableKeys)
        return;
    // Past the window, the sequence was over before this keystroke. Time
    // stamps wrap after 49.7 days; one from before the window's start is
    // taken as late too.
    if (HotkeySequence.WindowOpen && time - HotkeySequence.WindowStart > SEQUENCE_WINDOW_MS)
    {
        HotkeySequence.WindowOpen = FALSE;
        HotkeySequence.Step = 0;
    }
    LONG key = Settings.ActiveKey;
    BOOL twice = key != -1;
    switch (HotkeySequence.Step)
    {
    case 0:
        if ((twice && vk == (DWORD)key) || (!twice && vk == VK_CONTROL))
        {
            OpenSequenceWindow(time);
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
            OpenSequenceWindow(time);
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

// The ALT timer's keystroke takes the current time.
VOID CALLBACK HotkeyTimerProc(HWND, UINT, UINT_PTR timerId, DWORD)
{
    if (timerId != HotkeySequence.AltTimerId)
        return;
    StopAltTimer();
    if (HotkeySequence.Step == 2)
    {
        HandleHookKey(VK_SHIFT, GetTickCount());
    }
    else if (HotkeySequence.Step == 1)
    {
        HotkeySequence.VideoOnly = 1;
        HandleHookKey((DWORD)Settings.ActiveKey, GetTickCount());
    }
}

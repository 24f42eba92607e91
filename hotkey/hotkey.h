// Hotkey switching: the keyboard-hook library's interface and the sequence
// detector that turns its keystrokes into switch commands.
#pragma once
#include <windows.h>
#include "tessarohook/TessaroHook.h"

// The hook library (TessaroHook.dll). It posts WM_HOOKKEY and WM_HOOKALT to
// the window given to StartHook.
extern "C" {
__declspec(dllimport) BOOL WINAPI StartHook(HWND window);
__declspec(dllimport) BOOL WINAPI StopHook(void);
}

#define SEQUENCE_WINDOW_MS 500
#define ALT_WAIT_MS 513
#define NO_TIMER ((UINT_PTR)-1)

struct HOTKEY_SEQUENCE
{
    BYTE Step;              // 0 idle, 1 first key seen, 2 two Controls, 3 done with ALT held
    LONG VideoOnly;         // the next completed sequence switches video and input only
    UINT_PTR WindowTimerId; // the sequence-window timer, or NO_TIMER
    UINT_PTR AltTimerId;    // the ALT timer, or NO_TIMER
};
extern HOTKEY_SEQUENCE HotkeySequence;

void HandleHookKey(DWORD vk);
void HandleHookAlt(LPARAM altHeld);
VOID CALLBACK HotkeyTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
void StartSequenceTimer(void);
void StopSequenceTimer(void);
void StopHotkeyTimers(void);

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
__declspec(dllimport) void WINAPI SetHookTapKey(DWORD vk);
}

#define SEQUENCE_WINDOW_MS 500
#define ALT_WAIT_MS 513
#define NO_TIMER ((UINT_PTR)-1)

struct HOTKEY_SEQUENCE
{
    BYTE Step;           // 0 idle, 1 first key seen, 2 two Controls, 3 done with ALT held
    LONG VideoOnly;      // the next completed sequence switches video and input only
    BOOL WindowOpen;     // a sequence window runs (none during an ALT wait)
    DWORD WindowStart;   // event time of the keystroke that last opened it
    UINT_PTR AltTimerId; // the ALT timer, or NO_TIMER
};
extern HOTKEY_SEQUENCE HotkeySequence;

// time: the keystroke's event time, as the hook library gives it.
void HandleHookKey(DWORD vk, DWORD time);
void HandleHookAlt(LPARAM altHeld);
VOID CALLBACK HotkeyTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
void StopHotkeyTimers(void);

// The hook runs only while hotkey switching is on, so that with it off no
// keystroke of the user passes through this program.
void StartHotkeyHook(HWND window);
void StopHotkeyHook(void);
// After unlock and resume: the system may have dropped the hook.
void RestartHotkeyHook(void);
// After Options' OK: starts or stops the hook as the settings now say.
void ApplyHotkeySettings(void);

// The user's own key combinations (RegisterHotKey on the main window): at
// start-up and after Options' OK as the settings say; whether another
// program holds each one.
#define COMBINATION_TIMER_ID 4
extern BOOL CombinationTaken[];
// The tray menu's item of each combination's command.
extern const UINT CombinationMenuItems[];
void RegisterCombinations(void);
void UnregisterCombinations(void);
void OnCombinationHotkey(WPARAM id);
void OnCombinationTimer(void);
// The menu form of a combination ("Ctrl+Alt+F9"), with the system's key names.
void CombinationText(LONG combination, WCHAR *text, int capacity);

// Sign-in sessions and power: Windows drops low-level keyboard hooks across
// the lock screen and sleep without a word, so the hook is put back at once
// when the session is unlocked or reconnected and when the machine resumes,
// if hotkey switching is on.
#include "platform/lookup.h"
#include "app/app.h"
#include "device/device.h"
#include "hotkey/hotkey.h"

#define SESSION_CONSOLE_CONNECT 0x1
#define SESSION_UNLOCK 0x8
#define NOTIFY_FOR_THIS_SESSION 0
// At sign-in on Windows XP the terminal service may not be ready yet.
#define SESSION_RETRY_MS 5000
#define SESSION_RETRIES 24

typedef BOOL(WINAPI *RegisterSessionFunction)(HWND, DWORD);
typedef BOOL(WINAPI *UnregisterSessionFunction)(HWND);

static HMODULE SessionLibrary;
static BOOL SessionRegistered;
static UINT SessionRetriesLeft;

// 1 when registered, or when it never can be (no wtsapi32 before Windows XP).
static int TryRegisterSession(void)
{
    auto registerSession =
        (RegisterSessionFunction)(void *)ModuleFunction(SessionLibrary, "WTSRegisterSessionNotification");
    if (!registerSession)
        return 1;
    SessionRegistered = registerSession(MainWindow, NOTIFY_FOR_THIS_SESSION);
    return SessionRegistered;
}

void StartSessionWatch(void)
{
    SessionLibrary = LoadSystemLibrary("wtsapi32.dll");
    if (!TryRegisterSession())
    {
        SessionRetriesLeft = SESSION_RETRIES;
        SetTimer(MainWindow, SESSION_TIMER_ID, SESSION_RETRY_MS, NULL);
    }
}

void OnSessionTimer(void)
{
    if (TryRegisterSession() || --SessionRetriesLeft == 0)
        KillTimer(MainWindow, SESSION_TIMER_ID);
}

void StopSessionWatch(void)
{
    KillTimer(MainWindow, SESSION_TIMER_ID);
    auto unregisterSession =
        (UnregisterSessionFunction)(void *)ModuleFunction(SessionLibrary, "WTSUnRegisterSessionNotification");
    if (SessionRegistered && unregisterSession)
        unregisterSession(MainWindow);
    SessionRegistered = FALSE;
    if (SessionLibrary)
        FreeLibrary(SessionLibrary);
    SessionLibrary = NULL;
}

void OnSessionChange(WPARAM event)
{
    if (event == SESSION_UNLOCK || event == SESSION_CONSOLE_CONNECT)
        RestartHotkeyHook();
}

void OnPowerBroadcast(WPARAM event)
{
    // Sent on every resume, also one that no user started: react to it alone.
    if (event != PBT_APMRESUMEAUTOMATIC)
        return;
    RestartHotkeyHook();
    // The switch may have been unplugged or the mute changed while asleep.
    ScheduleSwitchRefresh();
}

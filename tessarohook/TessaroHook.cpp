// TessaroHook.dll: watches the keyboard for ORNAX.exe and posts what it sees
// to the window given to StartHook: WM_HOOKKEY per key press (generic codes
// for Shift, Control and ALT; no auto-repeat; the release of ALT counts as an
// ALT keystroke) and WM_HOOKALT when ALT goes down (1) and up (0).
//
// The low-level hook runs on a thread of its own, so typing never waits for
// the program's user-interface thread, which blocks while it talks to the
// switch. A hook that the system dropped (a late callback after sleep or
// under load) is put back, and an ALT whose release was never seen (screen
// locked, another desktop) is given up as soon as the system says it is up.
#include <windows.h>
#include "platform/lookup.h"
#include "tessarohook/TessaroHook.h"

// Messages of the hook thread to itself.
#define WM_CHECKALTUP (WM_APP + 1)
#define WM_DROPHOOK   (WM_APP + 2) // the test build's: drop the hook as the system does

#define WATCHDOG_MS 2000
#define ALT_UP_POLL_MS 10
#define ALT_UP_POLLS 50 // half a second at most
#define START_WAIT_MS 5000
#define STOP_WAIT_MS 5000

typedef BOOL(WINAPI *GetLastInputInfoFunction)(PLASTINPUTINFO);

static HINSTANCE LibraryInstance;
static HWND TargetWindow;
static HANDLE HookThread;
static volatile LONG HookThreadId;
static HHOOK KeyboardHook;
static GetLastInputInfoFunction ReadLastInput; // missing before Windows 2000
static DWORD LastEventTime;                     // of the last event the hook saw
static DWORD LastReinstallInput;                // the input time that made the last re-install
static UINT_PTR WatchdogTimer;
static UINT_PTR AltUpTimer;
// Each key is up (KeyDown 0) or down (KeyDown 1); an ALT key has a third
// state, released (KeyDown 1 and AltUpPolls > 0), between its release event
// and the report of that release. Who moves a key:
// - OnKeyDown (a press, in the hook callback): up -> down, reporting the key,
//   and WM_HOOKALT 1 when it is the first ALT down.
// - OnKeyUp (a release, in the hook callback): down -> up; an ALT goes
//   down -> released instead and the hook thread is asked to check it.
// - CheckAltUps (on that request, then every ALT_UP_POLL_MS while any ALT is
//   released): released -> up once the system's state shows the key up, or
//   after ALT_UP_POLLS checks, reporting the ALT keystroke, and WM_HOOKALT 0
//   when no ALT is left down.
// - ForgetMissedReleases (on any press): down -> up, without a report of the
//   key, when the system's state shows it up (its release was never seen);
//   WM_HOOKALT 0 when that was the last ALT. Released ALTs are left alone.
// HookThreadProc starts every key up.
static BYTE KeyDown[256];    // keys whose press was reported and release not seen
static BYTE AltUpPolls[256]; // per ALT key: checks left while its release waits to be reported

static BOOL IsSystemKeyDown(DWORD vk) { return (GetAsyncKeyState((int)vk) & 0x8000) != 0; }

static BOOL IsAltKey(DWORD vk) { return vk == VK_LMENU || vk == VK_RMENU || vk == VK_MENU; }

static BOOL AnyAltBelievedDown(void) { return KeyDown[VK_LMENU] || KeyDown[VK_RMENU] || KeyDown[VK_MENU]; }

static DWORD GenericKey(DWORD vk)
{
    switch (vk)
    {
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        return vk;
    }
}

static void Report(UINT message, WPARAM wParam, LPARAM lParam) { PostMessageW(TargetWindow, message, wParam, lParam); }

// A release that was never seen leaves a key believed down; the system's
// state, which the hook sees as it was before this event, tells the truth.
static void ForgetMissedReleases(DWORD vk)
{
    BOOL altBefore = AnyAltBelievedDown();
    for (DWORD key = 1; key < 256; ++key)
        if (KeyDown[key] && key != vk && !AltUpPolls[key] && !IsSystemKeyDown(key))
            KeyDown[key] = 0;
    if (altBefore && !AnyAltBelievedDown())
        Report(WM_HOOKALT, 0, 0);
}

static void OnKeyDown(DWORD vk)
{
    ForgetMissedReleases(vk);
    // Auto-repeat: the key is already down, as this hook and the system agree.
    if (KeyDown[vk] && IsSystemKeyDown(vk))
        return;
    BOOL altBefore = AnyAltBelievedDown();
    KeyDown[vk] = 1;
    if (IsAltKey(vk) && !altBefore)
        Report(WM_HOOKALT, 0, 1);
    Report(WM_HOOKKEY, GenericKey(vk), 0);
}

static VOID CALLBACK AltUpTimerProc(HWND, UINT, UINT_PTR, DWORD);

// An ALT release is reported once the system's state shows the key up, so
// that the program sees it released; inside the callback the state is still
// the one before the event.
static void CheckAltUps(void)
{
    static const BYTE AltKeys[] = {VK_MENU, VK_LMENU, VK_RMENU};
    BOOL pending = FALSE;
    for (BYTE vk : AltKeys)
    {
        if (!AltUpPolls[vk])
            continue;
        if (IsSystemKeyDown(vk) && --AltUpPolls[vk] > 0)
        {
            pending = TRUE;
            continue;
        }
        AltUpPolls[vk] = 0;
        KeyDown[vk] = 0;
        if (!AnyAltBelievedDown())
            Report(WM_HOOKALT, 0, 0);
        Report(WM_HOOKKEY, VK_MENU, 0);
    }
    if (pending && !AltUpTimer)
        AltUpTimer = SetTimer(NULL, 0, ALT_UP_POLL_MS, AltUpTimerProc);
    else if (!pending && AltUpTimer)
        KillTimer(NULL, AltUpTimer), AltUpTimer = 0;
}

static VOID CALLBACK AltUpTimerProc(HWND, UINT, UINT_PTR, DWORD) { CheckAltUps(); }

static void OnKeyUp(DWORD vk)
{
    if (!KeyDown[vk])
        return;
    if (IsAltKey(vk))
    {
        AltUpPolls[vk] = ALT_UP_POLLS;
        PostThreadMessageW((DWORD)HookThreadId, WM_CHECKALTUP, 0, 0);
        return;
    }
    KeyDown[vk] = 0;
}

static LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION)
    {
        const KBDLLHOOKSTRUCT *event = (const KBDLLHOOKSTRUCT *)lParam;
        DWORD vk = event->vkCode & 0xFF;
        LastEventTime = event->time;
        if (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN)
            OnKeyDown(vk);
        else if (wParam == WM_KEYUP || wParam == WM_SYSKEYUP)
            OnKeyUp(vk);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

static void InstallHook(void)
{
    HHOOK old = KeyboardHook;
    KeyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, LibraryInstance, 0);
    if (old)
        UnhookWindowsHookEx(old);
}

// The system drops a low-level hook without a word. Input that it saw after
// the last event this hook did means the hook may be gone: put it back. Mouse
// input counts too, so at worst the hook is re-installed once a check.
static VOID CALLBACK WatchdogProc(HWND, UINT, UINT_PTR, DWORD)
{
    LASTINPUTINFO input;
    input.cbSize = sizeof(input);
    if (!ReadLastInput || !ReadLastInput(&input))
        return;
    if (input.dwTime == LastReinstallInput || (LONG)(input.dwTime - LastEventTime) <= 0)
        return;
    LastReinstallInput = input.dwTime;
    InstallHook();
}

#ifdef TESSAROHOOK_TEST
// Tests only: remove the hook as the system does, without telling anyone.
extern "C" __declspec(dllexport) void WINAPI DropHookForTest(void)
{
    PostThreadMessageW((DWORD)HookThreadId, WM_DROPHOOK, 0, 0);
}

// The same from another process: setting the named event "TessaroHookDrop"
// drops the hook of whichever process runs this build.
static HANDLE DropEvent;
static VOID CALLBACK DropPollProc(HWND, UINT, UINT_PTR, DWORD)
{
    if (DropEvent && WaitForSingleObject(DropEvent, 0) == WAIT_OBJECT_0)
        DropHookForTest();
}
#endif

// The thread owns the handle of the ready event that it is given, and
// StartHook its own: each closes its handle, so a late signal never reaches
// a handle that was closed and perhaps reused.
static DWORD WINAPI HookThreadProc(LPVOID readyEvent)
{
    InterlockedExchange(&HookThreadId, (LONG)GetCurrentThreadId());
    MSG message;
    PeekMessageW(&message, NULL, 0, 0, PM_NOREMOVE); // the thread's queue exists from here
    ZeroMemory(KeyDown, sizeof(KeyDown));
    ZeroMemory(AltUpPolls, sizeof(AltUpPolls));
    LastEventTime = GetTickCount();
    LastReinstallInput = 0;
    InstallHook();
    WatchdogTimer = SetTimer(NULL, 0, WATCHDOG_MS, WatchdogProc);
#ifdef TESSAROHOOK_TEST
    if (!DropEvent)
        DropEvent = CreateEventW(NULL, FALSE, FALSE, L"TessaroHookDrop");
    UINT_PTR dropTimer = SetTimer(NULL, 0, 50, DropPollProc);
#endif
    SetEvent((HANDLE)readyEvent);
    CloseHandle((HANDLE)readyEvent);
    while (GetMessageW(&message, NULL, 0, 0) > 0)
    {
        if (message.hwnd == NULL && message.message == WM_CHECKALTUP)
            CheckAltUps();
#ifdef TESSAROHOOK_TEST
        else if (message.hwnd == NULL && message.message == WM_DROPHOOK && KeyboardHook)
            UnhookWindowsHookEx(KeyboardHook), KeyboardHook = NULL;
#endif
        else
            DispatchMessageW(&message);
    }
    KillTimer(NULL, WatchdogTimer);
#ifdef TESSAROHOOK_TEST
    KillTimer(NULL, dropTimer);
#endif
    if (AltUpTimer)
        KillTimer(NULL, AltUpTimer), AltUpTimer = 0;
    if (KeyboardHook)
        UnhookWindowsHookEx(KeyboardHook);
    KeyboardHook = NULL;
    return 0;
}

extern "C" BOOL WINAPI StartHook(HWND window)
{
    if (HookThread)
        return FALSE;
    TargetWindow = window;
    ReadLastInput = (GetLastInputInfoFunction)(void *)LoadedModuleFunction("user32.dll", "GetLastInputInfo");
    HANDLE ready = CreateEventW(NULL, TRUE, FALSE, NULL), threadsReady = NULL;
    HANDLE process = GetCurrentProcess();
    if (!ready || !DuplicateHandle(process, ready, process, &threadsReady, 0, FALSE, DUPLICATE_SAME_ACCESS))
    {
        if (ready)
            CloseHandle(ready);
        return FALSE;
    }
    DWORD threadId;  // Windows 9x needs a place for it
    HookThread = CreateThread(NULL, 0, HookThreadProc, threadsReady, 0, &threadId);
    if (HookThread)
    {
        InterlockedCompareExchange(&HookThreadId, (LONG)threadId, 0);
        WaitForSingleObject(ready, START_WAIT_MS);
    }
    else
        CloseHandle(threadsReady);
    CloseHandle(ready);
    return HookThread != NULL && KeyboardHook != NULL;
}

extern "C" BOOL WINAPI StopHook(void)
{
    if (!HookThread)
        return FALSE;
    PostThreadMessageW((DWORD)HookThreadId, WM_QUIT, 0, 0);
    WaitForSingleObject(HookThread, STOP_WAIT_MS);
    CloseHandle(HookThread);
    HookThread = NULL;
    InterlockedExchange(&HookThreadId, 0);
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        LibraryInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

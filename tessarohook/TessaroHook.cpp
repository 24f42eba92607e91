// TessaroHook.dll: watches the keyboard for ORNAX.exe and posts what it sees
// to the window given to StartHook, each WM_HOOKKEY with the event's own time:
// - Shift, Control and the tap key (SetHookTapKey) count only when tapped:
//   pressed and released with no other key pressed and no mouse button going
//   down in between, reported at the release. A press that is part of a
//   chord (Ctrl+A, Ctrl+click, Shift+letter) is never reported. An ALT held
//   since before the tap does not make it a chord.
// - ALT is reported at its press and at its release (once the system shows
//   it up), with WM_HOOKALT 1 when the first ALT goes down and 0 when the
//   last goes up.
// - Every other key is reported at its press. Auto-repeat never counts.
// - The Left Control that Windows sends ahead of AltGr's Right ALT is no key.
//
// Where the system has one, a low-level hook runs on a thread of its own, so
// typing never waits for the program's user-interface thread. Windows drops
// such a hook without a word (a late callback after sleep or under load):
// raw keyboard input on the same thread is the independent witness, and
// keys that it reports and the hook never saw put the hook back at once.
// Nothing runs while nothing is typed.
//
// Windows 95, 98 and ME have no low-level hook: there a system-wide keyboard
// hook and mouse hook run inside every process that reads input, and keep
// their state in a data section that every mapping of this library shares.
#include <windows.h>
#include "platform/lookup.h"
#include "tessarohook/TessaroHook.h"

// Messages of the hook thread to itself.
#define WM_CHECKALTUP (WM_APP + 1)
#define WM_DROPHOOK   (WM_APP + 2) // the test build's: drop the hook as the system does

#define ALT_UP_POLL_MS 10
#define ALT_UP_POLLS 50 // half a second at most
#define START_WAIT_MS 5000
#define STOP_WAIT_MS 5000
// A hook put back that still sees nothing (a window it may not watch) is not
// put back again sooner than this, however many keys raw input reports.
#define REINSTALL_BACKOFF_MS 5000
// The scan code that marks the Left Control sent ahead of AltGr.
#define ALTGR_CONTROL_SCAN 0x21D
#define RAW_WINDOW_CLASS "TessaroHookRawInput"
#ifndef WM_MOUSEHWHEEL
#define WM_MOUSEHWHEEL 0x020E
#endif

typedef BOOL(WINAPI *RegisterRawInputFunction)(PCRAWINPUTDEVICE, UINT, UINT);

// What the key procedures keep. The low-level hook keeps it in OwnState, on
// its thread alone; the system-wide hooks of Windows 9x in SharedState.
struct HOOK_STATE
{
    HWND Target;       // the window given to StartHook
    DWORD TapKeyCode;  // the generic code that counts only when tapped, besides Shift and Control; 0 none
    HHOOK Keyboard;
    HHOOK Mouse;       // the system-wide mouse hook of Windows 9x
    DWORD Tap;         // the specific code of the key whose tap is under way, or 0
    LONG TapSpoiled;   // another key or a mouse button went down since the tap began
    LONG KeysHeld;     // how many keys KeyDown holds
    BYTE KeyDown[256]; // keys whose press was seen and release not
};

#define SHARED __attribute__((section(".shared"), shared))
static HOOK_STATE SharedState SHARED = {NULL, 0, NULL, NULL, 0, 0, 0, {0}};
static HOOK_STATE OwnState;

enum HOOK_MODE
{
    NO_HOOK,
    LOW_LEVEL_HOOK,
    SYSTEM_WIDE_HOOK,
};

static HINSTANCE LibraryInstance;
static HWND TargetWindow;
static DWORD TapKeyCode;
static HANDLE HookThread;
static volatile LONG HookThreadId;
static HOOK_MODE HookMode;
// The low-level hook's thread alone touches what follows.
static HHOOK MouseWatch;        // a low-level mouse hook, only while a tap is under way
static UINT_PTR AltUpTimer;
static BYTE AltUpPolls[256];    // per ALT key: checks left while its release waits to be reported
static DWORD AltUpTimes[256];   // per ALT key: the time of that release
static HWND RawWindow;
static RegisterRawInputFunction RegisterRawInput;
static DWORD LastHookTime;      // of the last event the hook saw
static BOOL UnseenRawKey;       // raw input reported a key that the hook has not seen (yet)
static BOOL AwaitingHook;       // put back, and no event seen since
static DWORD ReinstallTime;
static DWORD ControlPressTime;  // of a Left Control press that was the last event, or 0

#ifdef TESSAROHOOK_TEST
// Tests only: what the hook does, readable from any process.
struct HOOK_TEST_STATE
{
    LONG Hooked;   // a keyboard hook is installed now
    LONG Installs; // keyboard hooks installed since the block was made
    LONG Mode;     // HOOK_MODE of the last start
};
static HOOK_TEST_STATE *TestState;
static volatile LONG Blind; // the hook is called for no key, as beside an elevated window
static BOOL RawWitnessOff;  // dropped as across the lock screen: raw input puts nothing back
static void RecordHook(BOOL hooked)
{
    if (!TestState)
        return;
    InterlockedExchange(&TestState->Hooked, hooked);
    if (hooked)
        InterlockedIncrement(&TestState->Installs);
    InterlockedExchange(&TestState->Mode, HookMode);
}
#else
static void RecordHook(BOOL) {}
#endif

static BOOL IsSystemKeyDown(DWORD vk) { return (GetAsyncKeyState((int)vk) & 0x8000) != 0; }

static BOOL IsAltKey(DWORD vk) { return vk == VK_LMENU || vk == VK_RMENU || vk == VK_MENU; }

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

static BOOL IsTapKey(const HOOK_STATE *s, DWORD vk)
{
    DWORD generic = GenericKey(vk);
    return generic == VK_SHIFT || generic == VK_CONTROL || (s->TapKeyCode && generic == s->TapKeyCode);
}

static BOOL AnyAltBelievedDown(const HOOK_STATE *s)
{
    return s->KeyDown[VK_LMENU] || s->KeyDown[VK_RMENU] || s->KeyDown[VK_MENU];
}

static void SetKeyDown(HOOK_STATE *s, DWORD vk, BYTE down)
{
    if (s->KeyDown[vk] == down)
        return;
    s->KeyDown[vk] = down;
    s->KeysHeld += down ? 1 : -1;
    if (!down && s->Tap == vk)
        s->Tap = 0;
}

static void Report(const HOOK_STATE *s, UINT message, WPARAM wParam, LPARAM lParam)
{
    PostMessageA(s->Target, message, wParam, lParam);
}

// A release that was never seen leaves a key believed down; the system's
// state tells the truth (of other keys than this event's). An ALT whose
// release waits to be reported is left alone.
static void ForgetMissedReleases(HOOK_STATE *s, DWORD vk)
{
    if (!s->KeysHeld)
        return;
    BOOL altBefore = AnyAltBelievedDown(s);
    for (DWORD key = 1; key < 256; ++key)
        if (s->KeyDown[key] && key != vk && !AltUpPolls[key] && !IsSystemKeyDown(key))
            SetKeyDown(s, key, 0);
    if (altBefore && !AnyAltBelievedDown(s))
        Report(s, WM_HOOKALT, 0, 0);
}

static void OnKeyDown(HOOK_STATE *s, DWORD vk, BOOL repeat, DWORD time)
{
    ForgetMissedReleases(s, vk);
    if (s->KeyDown[vk] && repeat)
        return;
    // Keys held besides ALT: a press among them is part of a chord.
    LONG othersHeld = s->KeysHeld - s->KeyDown[vk] - s->KeyDown[VK_LMENU] - s->KeyDown[VK_RMENU] - s->KeyDown[VK_MENU];
    BOOL altBefore = AnyAltBelievedDown(s);
    if (s->Tap && s->Tap != vk)
        s->TapSpoiled = TRUE;
    SetKeyDown(s, vk, 1);
    if (IsAltKey(vk))
    {
        if (!altBefore)
            Report(s, WM_HOOKALT, 0, 1);
        Report(s, WM_HOOKKEY, VK_MENU, (LPARAM)time);
    }
    else if (IsTapKey(s, vk))
    {
        // A press whose release was never seen begins the tap again.
        if (othersHeld == 0 && (!s->Tap || s->Tap == vk))
        {
            s->Tap = vk;
            s->TapSpoiled = FALSE;
        }
    }
    else
    {
        Report(s, WM_HOOKKEY, vk, (LPARAM)time);
    }
}

// The release of an ALT, once the system's state shows it up.
static void ReportAltUp(HOOK_STATE *s, DWORD vk, DWORD time)
{
    SetKeyDown(s, vk, 0);
    if (!AnyAltBelievedDown(s))
        Report(s, WM_HOOKALT, 0, 0);
    Report(s, WM_HOOKKEY, VK_MENU, (LPARAM)time);
}

// Any release but an ALT's.
static void OnKeyUp(HOOK_STATE *s, DWORD vk, DWORD time)
{
    BOOL tapped = s->Tap == vk && !s->TapSpoiled;
    SetKeyDown(s, vk, 0);
    if (tapped)
        Report(s, WM_HOOKKEY, GenericKey(vk), (LPARAM)time);
}

static BOOL IsMouseChord(WPARAM message)
{
    switch (message)
    {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONDBLCLK:
    case WM_NCXBUTTONDOWN:
    case WM_NCXBUTTONDBLCLK:
    case WM_MOUSEWHEEL: // Control with the wheel zooms: a chord as much as a click
    case WM_MOUSEHWHEEL:
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- the low-level hook (Windows NT 4 SP3, 2000 and later) ------------------

static LRESULT CALLBACK LowLevelMouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && IsMouseChord(wParam))
        OwnState.TapSpoiled = TRUE;
    return CallNextHookEx(MouseWatch, code, wParam, lParam);
}

// The mouse is watched only while a tap is under way.
static void SyncMouseWatch(void)
{
    if (OwnState.Tap && !OwnState.TapSpoiled && !MouseWatch)
        MouseWatch = SetWindowsHookExA(WH_MOUSE_LL, LowLevelMouseProc, LibraryInstance, 0);
    else if ((!OwnState.Tap || OwnState.TapSpoiled) && MouseWatch)
        UnhookWindowsHookEx(MouseWatch), MouseWatch = NULL;
}

static VOID CALLBACK AltUpTimerProc(HWND, UINT, UINT_PTR, DWORD);

// Inside the callback the system's state is still the one before the event:
// an ALT release is reported once the state shows the key up, so that the
// program sees it released.
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
        ReportAltUp(&OwnState, vk, AltUpTimes[vk]);
    }
    if (pending && !AltUpTimer)
        AltUpTimer = SetTimer(NULL, 0, ALT_UP_POLL_MS, AltUpTimerProc);
    else if (!pending && AltUpTimer)
        KillTimer(NULL, AltUpTimer), AltUpTimer = 0;
}

static VOID CALLBACK AltUpTimerProc(HWND, UINT, UINT_PTR, DWORD) { CheckAltUps(); }

static LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
#ifdef TESSAROHOOK_TEST
    if (Blind)
        return CallNextHookEx(OwnState.Keyboard, code, wParam, lParam);
#endif
    if (code == HC_ACTION)
    {
        const KBDLLHOOKSTRUCT *event = (const KBDLLHOOKSTRUCT *)lParam;
        DWORD vk = event->vkCode & 0xFF;
        LastHookTime = event->time;
        UnseenRawKey = FALSE;
        AwaitingHook = FALSE;
        BOOL down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
        DWORD controlPress = ControlPressTime;
        ControlPressTime = 0;
        if (vk == VK_LCONTROL && event->scanCode == ALTGR_CONTROL_SCAN)
            ; // AltGr's Control
        else if (down)
        {
            // AltGr's Control where its scan code was lost on the way (Wine
            // keeps 8 bits of it): a Right ALT with the very same time.
            if (vk == VK_RMENU && controlPress && controlPress == event->time)
                SetKeyDown(&OwnState, VK_LCONTROL, 0);
            OnKeyDown(&OwnState, vk, IsSystemKeyDown(vk), event->time);
            if (vk == VK_LCONTROL)
                ControlPressTime = event->time ? event->time : 1;
        }
        else if (!OwnState.KeyDown[vk])
            ;
        else if (IsAltKey(vk))
        {
            AltUpPolls[vk] = ALT_UP_POLLS;
            AltUpTimes[vk] = event->time;
            PostThreadMessageA((DWORD)HookThreadId, WM_CHECKALTUP, 0, 0);
        }
        else
            OnKeyUp(&OwnState, vk, event->time);
        SyncMouseWatch();
    }
    return CallNextHookEx(OwnState.Keyboard, code, wParam, lParam);
}

static void InstallLowLevelHook(void)
{
    HHOOK old = OwnState.Keyboard;
    OwnState.Keyboard = SetWindowsHookExA(WH_KEYBOARD_LL, LowLevelKeyboardProc, LibraryInstance, 0);
    if (old)
        UnhookWindowsHookEx(old);
    RecordHook(OwnState.Keyboard != NULL);
}

// Raw input reports every key to this thread's window with the time the hook
// gets for the same event, sometimes just before the hook's call for it,
// mostly just after. Two keys in a row that it reports and the hook has not
// seen mean the hook is gone: put it back, then not again before it has
// seen a key or the back-off has passed, so a place the hook may not watch
// never makes a loop of re-installs.
static void OnRawKey(DWORD time)
{
#ifdef TESSAROHOOK_TEST
    if (RawWitnessOff)
        return;
#endif
    if ((LONG)(time - LastHookTime) <= 0)
        return;
    if (!UnseenRawKey)
    {
        UnseenRawKey = TRUE;
        return;
    }
    if (AwaitingHook && time - ReinstallTime < REINSTALL_BACKOFF_MS)
        return;
    AwaitingHook = TRUE;
    ReinstallTime = time;
    InstallLowLevelHook();
}

static LRESULT CALLBACK RawWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INPUT)
        OnRawKey((DWORD)GetMessageTime());
    return DefWindowProcA(window, message, wParam, lParam);
}

static void SetRawKeyboardTarget(DWORD flags, HWND window)
{
    RAWINPUTDEVICE device = {1, 6, flags, window}; // generic desktop page, keyboard
    if (!RegisterRawInput(&device, 1, sizeof(device)) && window)
        DestroyWindow(RawWindow), RawWindow = NULL;
}

// Raw input came with Windows XP; without it the hook is put back only at
// unlock and resume.
static void StartRawWatch(void)
{
    RegisterRawInput = (RegisterRawInputFunction)(void *)LoadedModuleFunction("user32.dll", "RegisterRawInputDevices");
    if (!RegisterRawInput)
        return;
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = RawWindowProc;
    windowClass.hInstance = LibraryInstance;
    windowClass.lpszClassName = RAW_WINDOW_CLASS;
    RegisterClassA(&windowClass);
    RawWindow = CreateWindowExA(0, RAW_WINDOW_CLASS, "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, LibraryInstance, NULL);
    if (RawWindow)
        SetRawKeyboardTarget(RIDEV_INPUTSINK, RawWindow);
}

static void StopRawWatch(void)
{
    if (RawWindow)
    {
        SetRawKeyboardTarget(RIDEV_REMOVE, NULL);
        DestroyWindow(RawWindow);
        RawWindow = NULL;
    }
    UnregisterClassA(RAW_WINDOW_CLASS, LibraryInstance);
}

// ---- the system-wide hooks (Windows 95, 98 and ME) ---------------------------

// The time of the key message being read; the tick count if the system
// gives none that makes sense.
static DWORD MessageTime(void)
{
    DWORD now = GetTickCount(), time = (DWORD)GetMessageTime();
    return now - time < 10000 ? time : now;
}

static LRESULT CALLBACK SharedKeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    // HC_NOREMOVE is a look at a message that is read again later.
    if (code == HC_ACTION)
    {
        HOOK_STATE *s = &SharedState;
        DWORD vk = (DWORD)wParam & 0xFF, time = MessageTime();
        BOOL up = (lParam & 0x80000000) != 0, wasDown = (lParam & 0x40000000) != 0;
        if (!up)
            OnKeyDown(s, vk, wasDown, time);
        else if (!s->KeyDown[vk])
            ;
        else if (IsAltKey(vk))
            ReportAltUp(s, vk, time); // the system's state already shows it up here
        else
            OnKeyUp(s, vk, time);
    }
    return CallNextHookEx(SharedState.Keyboard, code, wParam, lParam);
}

static LRESULT CALLBACK SharedMouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && SharedState.Tap && IsMouseChord(wParam))
        SharedState.TapSpoiled = TRUE;
    return CallNextHookEx(SharedState.Mouse, code, wParam, lParam);
}

static void RemoveSystemWideHooks(void)
{
    if (SharedState.Keyboard)
        UnhookWindowsHookEx(SharedState.Keyboard);
    if (SharedState.Mouse)
        UnhookWindowsHookEx(SharedState.Mouse);
    SharedState.Keyboard = SharedState.Mouse = NULL;
    SharedState.Target = NULL;
}

static void InstallSystemWideHooks(void)
{
    SharedState.Target = TargetWindow;
    SharedState.TapKeyCode = TapKeyCode;
    SharedState.Tap = 0;
    SharedState.KeysHeld = 0;
    ZeroMemory(SharedState.KeyDown, sizeof(SharedState.KeyDown));
    SharedState.Mouse = SetWindowsHookExA(WH_MOUSE, SharedMouseProc, LibraryInstance, 0);
    SharedState.Keyboard = SetWindowsHookExA(WH_KEYBOARD, SharedKeyboardProc, LibraryInstance, 0);
    if (!SharedState.Keyboard)
        RemoveSystemWideHooks();
    RecordHook(SharedState.Keyboard != NULL);
}

// ---- the hook thread --------------------------------------------------------

#ifdef TESSAROHOOK_TEST
// Tests only: remove the hook as the system does, without telling anyone.
extern "C" __declspec(dllexport) void WINAPI DropHookForTest(void)
{
    PostThreadMessageA((DWORD)HookThreadId, WM_DROPHOOK, 0, 0);
}

// Tests only: the hook is called for no key while blind is non-zero, as a
// normal program's hook beside an elevated window, while raw input may see.
extern "C" __declspec(dllexport) void WINAPI SetHookBlindForTest(LONG blind) { InterlockedExchange(&Blind, blind); }

// The same from another process: setting the named event "TessaroHookDrop"
// drops the hook of whichever process runs this build as across the lock
// screen, where raw input sees no key either, so that only StartHook puts it
// back. The watch lasts from StartHook to StopHook, so it never outlives the
// library.
static HANDLE TestWatch, TestWatchEnd;
static DWORD WINAPI DropWatchProc(LPVOID drop)
{
    HANDLE events[2] = {(HANDLE)drop, TestWatchEnd};
    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0)
        PostThreadMessageA((DWORD)HookThreadId, WM_DROPHOOK, 1, 0);
    CloseHandle((HANDLE)drop);
    return 0;
}

static void StartTestWatch(void)
{
    if (!TestState)
    {
        HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(HOOK_TEST_STATE),
                                            "TessaroHookTestState");
        if (mapping)
            TestState = (HOOK_TEST_STATE *)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    }
    HANDLE drop = CreateEventA(NULL, FALSE, FALSE, "TessaroHookDrop");
    TestWatchEnd = CreateEventA(NULL, TRUE, FALSE, NULL);
    DWORD id;
    if (drop && TestWatchEnd)
        TestWatch = CreateThread(NULL, 0, DropWatchProc, drop, 0, &id);
}

static void StopTestWatch(void)
{
    if (TestWatch)
    {
        SetEvent(TestWatchEnd);
        WaitForSingleObject(TestWatch, STOP_WAIT_MS);
        CloseHandle(TestWatch);
        TestWatch = NULL;
    }
    if (TestWatchEnd)
        CloseHandle(TestWatchEnd), TestWatchEnd = NULL;
}

static BOOL SystemWideHookForced(void)
{
    char value[4];
    return GetEnvironmentVariableA("TESSAROHOOK_SYSTEM_WIDE", value, sizeof(value)) > 0;
}
#else
static void StartTestWatch(void) {}
static void StopTestWatch(void) {}
static BOOL SystemWideHookForced(void) { return FALSE; }
#endif

// The thread owns the handle of the ready event that it is given, and
// StartHook its own: each closes its handle, so a late signal never reaches
// a handle that was closed and perhaps reused.
static DWORD WINAPI HookThreadProc(LPVOID readyEvent)
{
    InterlockedExchange(&HookThreadId, (LONG)GetCurrentThreadId());
    MSG message;
    PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE); // the thread's queue exists from here
    ZeroMemory(&OwnState, sizeof(OwnState));
    ZeroMemory(AltUpPolls, sizeof(AltUpPolls));
    OwnState.Target = TargetWindow;
    OwnState.TapKeyCode = TapKeyCode;
    LastHookTime = GetTickCount();
    UnseenRawKey = FALSE;
    AwaitingHook = FALSE;
    HookMode = NO_HOOK;
#ifdef TESSAROHOOK_TEST
    RawWitnessOff = FALSE;
#endif
    if (!SystemWideHookForced())
    {
        HookMode = LOW_LEVEL_HOOK;
        InstallLowLevelHook();
    }
    if (OwnState.Keyboard)
        StartRawWatch();
    else
    {
        HookMode = SYSTEM_WIDE_HOOK;
        InstallSystemWideHooks();
        if (!SharedState.Keyboard)
            HookMode = NO_HOOK;
    }
    SetEvent((HANDLE)readyEvent);
    CloseHandle((HANDLE)readyEvent);
    while (GetMessageA(&message, NULL, 0, 0) > 0)
    {
        if (message.hwnd == NULL && message.message == WM_CHECKALTUP)
            CheckAltUps();
#ifdef TESSAROHOOK_TEST
        else if (message.hwnd == NULL && message.message == WM_DROPHOOK && OwnState.Keyboard)
        {
            UnhookWindowsHookEx(OwnState.Keyboard), OwnState.Keyboard = NULL, RecordHook(FALSE);
            RawWitnessOff = message.wParam != 0;
        }
#endif
        else
            DispatchMessageA(&message);
    }
    if (AltUpTimer)
        KillTimer(NULL, AltUpTimer), AltUpTimer = 0;
    StopRawWatch();
    if (MouseWatch)
        UnhookWindowsHookEx(MouseWatch), MouseWatch = NULL;
    if (OwnState.Keyboard)
        UnhookWindowsHookEx(OwnState.Keyboard), OwnState.Keyboard = NULL;
    if (HookMode == SYSTEM_WIDE_HOOK)
        RemoveSystemWideHooks();
    RecordHook(FALSE);
    HookMode = NO_HOOK;
    return 0;
}

// The key that counts only when tapped, besides Shift and Control (a generic
// code; 0 for none). It may change while the hook runs.
extern "C" void WINAPI SetHookTapKey(DWORD vk)
{
    TapKeyCode = vk & 0xFF;
    OwnState.TapKeyCode = TapKeyCode;
    if (HookMode == SYSTEM_WIDE_HOOK)
        SharedState.TapKeyCode = TapKeyCode;
}

extern "C" BOOL WINAPI StartHook(HWND window)
{
    if (HookThread)
        return FALSE;
    TargetWindow = window;
    StartTestWatch();
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, NULL), threadsReady = NULL;
    HANDLE process = GetCurrentProcess();
    if (!ready || !DuplicateHandle(process, ready, process, &threadsReady, 0, FALSE, DUPLICATE_SAME_ACCESS))
    {
        if (ready)
            CloseHandle(ready);
        return FALSE;
    }
    DWORD threadId; // Windows 9x needs a place for it
    HookThread = CreateThread(NULL, 0, HookThreadProc, threadsReady, 0, &threadId);
    if (HookThread)
    {
        InterlockedCompareExchange(&HookThreadId, (LONG)threadId, 0);
        WaitForSingleObject(ready, START_WAIT_MS);
    }
    else
        CloseHandle(threadsReady);
    CloseHandle(ready);
    return HookThread != NULL && HookMode != NO_HOOK;
}

extern "C" BOOL WINAPI StopHook(void)
{
    if (!HookThread)
        return FALSE;
    PostThreadMessageA((DWORD)HookThreadId, WM_QUIT, 0, 0);
    WaitForSingleObject(HookThread, STOP_WAIT_MS);
    CloseHandle(HookThread);
    HookThread = NULL;
    InterlockedExchange(&HookThreadId, 0);
    StopTestWatch();
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

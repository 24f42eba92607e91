// Start-up: the single-instance rule, "/x", and bringing up every subsystem
// in a fixed order before the message loop runs.
#include "app/app.h"
#include "audio/audio.h"
#include "device/device.h"
#include "hotkey/hotkey.h"
#include "settings/language.h"
#include "settings/store.h"
#include "resource.h"

#include <commctrl.h>
#include <wchar.h>

int AppExitCode;
WCHAR WindowClassName[APP_STRING_CAPACITY];
WCHAR AppTitle[APP_STRING_CAPACITY];
HINSTANCE AppInstance;
HWND MainWindow;
OSVERSIONINFOW OsVersion;

BOOL IsWindowsXPOrLater(void)
{
    return OsVersion.dwMajorVersion > 5 || (OsVersion.dwMajorVersion == 5 && OsVersion.dwMinorVersion >= 1);
}

BOOL IsWindowsVistaOrLater(void)
{
    return OsVersion.dwPlatformId == VER_PLATFORM_WIN32_NT && OsVersion.dwMajorVersion >= 6;
}

void RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass;
    windowClass.cbSize = sizeof(WNDCLASSEXW);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.hCursor = LoadCursorW(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    windowClass.lpszClassName = WindowClassName;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP_SMALL));
    RegisterClassExW(&windowClass);
}

// One program per sign-in session: a mutex named after the window class,
// in the session's namespace on the NT family (a plain name on Windows 9x,
// which has no namespaces). Two starts at the same moment both pass the
// window check before either has made its window; only one can create this.
// It is kept until the process ends. TRUE when another start holds it. An
// exit request only looks, so that it never keeps a start from running.
static HANDLE TakeInstanceMutex(const char *name, BOOL onlyLook)
{
    return onlyLook ? OpenMutexA(SYNCHRONIZE, FALSE, name) : CreateMutexA(NULL, FALSE, name);
}

static BOOL IsAnotherStartRunning(BOOL onlyLook)
{
    const int prefixLength = 6;  // "Local\"
    char name[APP_STRING_CAPACITY + prefixLength];
    lstrcpyA(name, "Local\\");
    int length = prefixLength;
    for (const WCHAR *c = WindowClassName; *c && length < APP_STRING_CAPACITY; ++c)
        name[length++] = *c < 0x80 ? (char)*c : '_';
    name[length] = 0;
    BOOL nt = OsVersion.dwPlatformId == VER_PLATFORM_WIN32_NT;
    HANDLE mutex = nt ? TakeInstanceMutex(name, onlyLook) : NULL;
    // Windows NT 4 without terminal services knows no namespaces either.
    if (!mutex)
        mutex = TakeInstanceMutex(name + prefixLength, onlyLook);
    if (mutex && (onlyLook || GetLastError() == ERROR_ALREADY_EXISTS))
    {
        CloseHandle(mutex);
        return TRUE;
    }
    return FALSE;
}

// The running copy's window; one that has just started may not have made it
// yet, and "/x" waits a little for it.
static HWND FindRunningWindow(BOOL wait)
{
    HWND running = FindWindowW(WindowClassName, AppTitle);
    for (int tries = 0; !running && wait && tries < 50; ++tries)
    {
        Sleep(100);
        running = FindWindowW(WindowClassName, AppTitle);
    }
    return running;
}

static BOOL IsSameWord(const WCHAR *text, size_t length, const WCHAR *word)
{
    for (size_t i = 0; i < length; ++i, ++word)
    {
        WCHAR c = text[i] >= L'A' && text[i] <= L'Z' ? (WCHAR)(text[i] + (L'a' - L'A')) : text[i];
        if (!*word || c != *word)
            return FALSE;
    }
    return *word == 0;
}

// "/all", "/video", "/audio" or "/status", in any case, as a word after the
// program's own path: the command it asks for, or -1.
static int CommandLineSwitch(const WCHAR *commandLine)
{
    static const struct
    {
        const WCHAR *word;
        SwitchCommand command;
    } words[] = {{L"/all", SWITCH_ALL}, {L"/video", SWITCH_VIDEO}, {L"/audio", SWITCH_AUDIO}, {L"/status", SWITCH_STATUS}};
    const WCHAR *c = commandLine;
    if (*c == L'"')
    {
        for (++c; *c && *c != L'"'; ++c)
            ;
        if (*c)
            ++c;
    }
    while (*c)
    {
        while (*c && *c != L' ' && *c != L'\t')
            ++c;
        while (*c == L' ' || *c == L'\t')
            ++c;
        const WCHAR *word = c;
        while (*c && *c != L' ' && *c != L'\t')
            ++c;
        for (const auto &known : words)
            if (IsSameWord(word, (size_t)(c - word), known.word))
                return known.command;
    }
    return -1;
}

// A start that asks for a command: the running copy sends it, or this start
// does, with no window, tray icon or hook. What became of it is the answer.
static int RunCommandLineSwitch(SwitchCommand command)
{
    HWND running = FindRunningWindow(IsAnotherStartRunning(TRUE));
    if (running)
    {
        // The answer comes after the write, which waits about a second at most.
        DWORD_PTR answer = SWITCH_NOT_TAKEN;
        if (!SendMessageTimeoutA(running, WM_SWITCH_REQUEST, command, 0, SMTO_ABORTIFHUNG, 5000, &answer) ||
            answer > SWITCH_NOT_TAKEN)
            return SWITCH_NOT_TAKEN;
        return (int)answer;
    }
    if (command != SWITCH_STATUS)
        ReadMuteOnce();
    return HandleSwitchRequest(command);
}

int StartInstance(HINSTANCE instance)
{
    const WCHAR *commandLine = GetCommandLineW();
    OsVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    GetVersionExW(&OsVersion);

    // One instance per session: a second start only forwards "/x" or a command.
    BOOL exitRequested = wcsstr(commandLine, L"/x") != NULL;
    int command = exitRequested ? -1 : CommandLineSwitch(commandLine);
    if (command >= 0)
    {
        AppExitCode = RunCommandLineSwitch((SwitchCommand)command);
        return 0;
    }
    BOOL another = IsAnotherStartRunning(exitRequested);
    HWND running = FindRunningWindow(another && exitRequested);
    if (another || running)
    {
        if (exitRequested && running)
            PostMessageW(running, WM_COMMAND, IDM_EXIT, 0);
        return 0;
    }
    if (exitRequested)
        return 0;

    AppInstance = instance;
    // Windows XP draws the dialogs with common controls 6 only after this.
    InitCommonControls();
    LoadSettings();
    MainWindow = CreateWindowExW(0, WindowClassName, AppTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                 NULL, NULL, AppInstance, NULL);
    if (!MainWindow)
        return 0;

    ResourceModule = SelectResourceModule();
    LoadLocalString(IDS_PRODUCT_NAME, AppTitle, APP_STRING_CAPACITY);

    // The same refresh as after a device-tree change; the icon is not there yet.
    RefreshSwitchState();

    OpenMuteMonitor(MainWindow);
    RegisterCombinations();
    AddTrayIcon();
    StartHotkeyHook(MainWindow);
    StartSessionWatch();
    return 1;
}

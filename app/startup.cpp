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

int StartInstance(HINSTANCE instance)
{
    const WCHAR *commandLine = GetCommandLineW();
    OsVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    GetVersionExW(&OsVersion);

    // One instance per desktop: a second start only forwards "/x".
    HWND running = FindWindowW(WindowClassName, AppTitle);
    BOOL exitRequested = wcsstr(commandLine, L"/x") != NULL;
    if (running)
    {
        if (exitRequested)
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
    AddTrayIcon();
    StartHotkeyHook(MainWindow);
    StartSessionWatch();
    return 1;
}

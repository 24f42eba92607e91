// The notification-area icon and its context menu.
#include "platform/lookup.h"
#include "platform/text.h"
#include "app/app.h"
#include "device/device.h"
#include "settings/language.h"
#include "settings/store.h"
#include "hotkey/hotkey.h"
#include "resource.h"

#include <stddef.h>

#include <windowsx.h>

#ifndef NIF_SHOWTIP
#define NIF_SHOWTIP 0x00000080
#endif
#ifndef NOTIFYICON_VERSION_4
#define NOTIFYICON_VERSION_4 4
#endif

NOTIFYICONDATAW TrayIcon;
HICON AttachedIcon;
HICON NotAttachedIcon;
HMENU TrayMenu;
BYTE DoubleClickPending;
UINT TaskbarCreatedMessage;
UINT TrayVersion;

#define TRAY_ICON_ID 1

// Tries of an icon that the shell did not take: every 5 s for three minutes.
#define TRAY_RETRY_MS 5000
#define TRAY_RETRIES 36

static WCHAR NotAttachedTip[APP_STRING_CAPACITY];
static BOOL ShowsAttached;  // what the picture shows
static BOOL TrayShown;      // the shell has the icon
static UINT TrayRetriesLeft;
static BOOL MenuShowing;
static DWORD LastKeySelect;

static HMENU LoadTrayMenu(void)
{
    HMENU menu = LoadLocalMenu(IDR_TRAY_MENU);
    HMENU popup = GetSubMenu(menu, 0);
    if (!popup && ResourceModule != AppInstance)
    {
        // A language library whose menu has no popup: the executable's menu.
        if (menu)
            DestroyMenu(menu);
        popup = GetSubMenu(LoadMenuW(AppInstance, MAKEINTRESOURCEW(IDR_TRAY_MENU)), 0);
    }
    return popup;
}

int TrayIconSize(void)
{
    // Where they exist (Windows 10 1607 on), the size for the taskbar's own
    // scale: a per-monitor aware program's GetSystemMetrics keeps the scale
    // of sign-in.
    typedef UINT(WINAPI * DpiForWindowFunction)(HWND);
    typedef int(WINAPI * MetricsForDpiFunction)(int, UINT);
    auto dpiForWindow = (DpiForWindowFunction)(void *)LoadedModuleFunction("user32.dll", "GetDpiForWindow");
    auto metricsForDpi = (MetricsForDpiFunction)(void *)LoadedModuleFunction("user32.dll", "GetSystemMetricsForDpi");
    HWND taskbar = FindWindowA("Shell_TrayWnd", NULL);
    if (dpiForWindow && metricsForDpi && taskbar)
    {
        UINT dpi = dpiForWindow(taskbar);
        int size = dpi ? metricsForDpi(SM_CXSMICON, dpi) : 0;
        if (size > 0)
            return size;
    }
    int size = GetSystemMetrics(SM_CXSMICON);
    return size > 0 ? size : 16;
}

void LoadTrayIcons(void)
{
    // Windows 9x has no working LoadImageW.
    int size = TrayIconSize();
    HICON oldAttached = AttachedIcon, oldNotAttached = NotAttachedIcon;
    AttachedIcon = (HICON)LoadImageA(AppInstance, MAKEINTRESOURCEA(IDI_ATTACHED), IMAGE_ICON, size, size, 0);
    NotAttachedIcon = (HICON)LoadImageA(AppInstance, MAKEINTRESOURCEA(IDI_NOT_ATTACHED), IMAGE_ICON, size, size, 0);
    TrayIcon.hIcon = ShowsAttached ? AttachedIcon : NotAttachedIcon;
    // The shell copies the icon it is given: once it has the new one (the
    // caller tells it), the old ones can go.
    if (oldAttached)
        DestroyIcon(oldAttached);
    if (oldNotAttached)
        DestroyIcon(oldNotAttached);
}

void ShowSwitchAttached(BOOL attached)
{
    ShowsAttached = attached;
    // The tooltip says what the picture shows, for those who cannot see it.
    TrayIcon.hIcon = attached ? AttachedIcon : NotAttachedIcon;
    CopyText(TrayIcon.szTip, attached ? AppTitle : NotAttachedTip, ARRAYSIZE(TrayIcon.szTip));
    if (TrayIcon.hWnd && TrayShown)
        Shell_NotifyIconW(NIM_MODIFY, &TrayIcon);
}

// Shows the icon, or, when the shell has it already (any program may send
// "TaskbarCreated"), updates it; then asks for the notifications of the
// shell's newer versions, which let the keyboard reach the icon, and keeps
// what the shell agreed to. Without them it reports plain mouse messages.
static BOOL ShowInShell(void)
{
    TrayShown = Shell_NotifyIconW(NIM_ADD, &TrayIcon) || Shell_NotifyIconW(NIM_MODIFY, &TrayIcon);
    if (!TrayShown)
        return FALSE;
    UINT version = IsWindowsVistaOrLater() ? NOTIFYICON_VERSION_4
                   : OsVersion.dwPlatformId == VER_PLATFORM_WIN32_NT && OsVersion.dwMajorVersion == 5
                       ? NOTIFYICON_VERSION
                       : 0;
    TrayVersion = 0;
    if (!version)
        return TRUE;
    TrayIcon.uVersion = version;
    if (Shell_NotifyIconW(NIM_SETVERSION, &TrayIcon))
        TrayVersion = version;
    TrayIcon.uVersion = 0;
    return TRUE;
}

// At sign-in the shell may not be ready yet: Shell_NotifyIcon then fails or
// times out, and the icon is tried again every few seconds for a while.
static void AddToShell(void)
{
    if (ShowInShell())
    {
        KillTimer(MainWindow, TRAY_TIMER_ID);
        return;
    }
    TrayRetriesLeft = TRAY_RETRIES;
    SetTimer(MainWindow, TRAY_TIMER_ID, TRAY_RETRY_MS, NULL);
}

void OnTrayTimer(void)
{
    if (!TrayIcon.hWnd || ShowInShell() || --TrayRetriesLeft == 0)
        KillTimer(MainWindow, TRAY_TIMER_ID);
}

void AddTrayIcon(void)
{
    TrayIcon.cbSize = TRAY_RECORD_SIZE;
    LoadLocalString(IDS_NOT_ATTACHED, NotAttachedTip, APP_STRING_CAPACITY);
    LoadTrayIcons();
    // The picture of the last look at the devices, which start-up has just made.
    ShowSwitchAttached(ShowsAttached);
    TrayIcon.hWnd = MainWindow;
    TrayIcon.uID = TRAY_ICON_ID;
    TrayIcon.uCallbackMessage = WM_TRAYNOTIFY;
    // Version 4 shows no tooltip without NIF_SHOWTIP; older shells never see it.
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | (IsWindowsVistaOrLater() ? NIF_SHOWTIP : 0);

    TrayMenu = LoadTrayMenu();
    SetMenuDefaultItem(TrayMenu, IDM_SWITCH_ALL, FALSE);
    ShowCombinationsInMenu();

    // A restarted shell asks its icons back with this message.
    TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    AddToShell();
}

void RemoveTrayIcon(void)
{
    KillTimer(MainWindow, TRAY_TIMER_ID);
    Shell_NotifyIconW(NIM_DELETE, &TrayIcon);
    TrayIcon.hWnd = NULL;
    TrayShown = FALSE;
}

void OnTaskbarCreated(void)
{
    // Also sent after a change of scale: the icons are loaded at the new size.
    if (!TrayIcon.hWnd)
        return;
    LoadTrayIcons();
    AddToShell();
}

void OnDisplaySettingsChange(void)
{
    if (!TrayIcon.hWnd)
        return;
    LoadTrayIcons();
    if (TrayShown)
        Shell_NotifyIconW(NIM_MODIFY, &TrayIcon);
}

LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam)
{
    // Version 4 puts the event and the icon into lParam and the anchor point
    // (where the icon is, or where the pointer was) into wParam.
    UINT event = (UINT)lParam;
    UINT_PTR icon = wParam;
    POINT anchor;
    const POINT *at = NULL;
    if (TrayVersion >= NOTIFYICON_VERSION_4)
    {
        event = LOWORD(lParam);
        icon = HIWORD(lParam);
        anchor.x = GET_X_LPARAM(wParam);
        anchor.y = GET_Y_LPARAM(wParam);
        at = &anchor;
    }
    if (icon != TRAY_ICON_ID)
        return 0;
    switch (event)
    {
    case WM_CONTEXTMENU:  // a right-click, the menu key or Shift+F10
        ShowTrayMenu(at);
        break;
    case WM_RBUTTONUP:
        // From version 3 on, WM_CONTEXTMENU follows.
        if (TrayVersion == 0)
            ShowTrayMenu(NULL);
        break;
    case NIN_KEYSELECT:
        // Enter or Space; the shell may report one Enter twice.
        if (TrayVersion && GetTickCount() - LastKeySelect >= GetDoubleClickTime())
        {
            LastKeySelect = GetTickCount();
            ShowTrayMenu(at);
        }
        break;
    case WM_LBUTTONDBLCLK:
        DoubleClickPending = 1;
        break;
    case WM_LBUTTONUP:
        // The release that ends a double-click switches everything.
        if (DoubleClickPending)
        {
            SendSwitchCommand(SWITCH_ALL);
            DoubleClickPending = 0;
        }
        break;
    default:
        break;
    }
    return 1;
}

void ShowCombinationsInMenu(void)
{
    if (!TrayMenu)
        return;
    // Windows 9x implements no wide form: there the text goes in narrow.
    typedef BOOL(WINAPI * SetItemFunction)(HMENU, UINT, BOOL, LPCMENUITEMINFOW);
    auto setItem = OsVersion.dwPlatformId == VER_PLATFORM_WIN32_NT
                       ? (SetItemFunction)(void *)LoadedModuleFunction("user32.dll", "SetMenuItemInfoW")
                       : NULL;
    for (int i = 0; i < COMBINATION_COUNT; ++i)
    {
        WCHAR text[APP_STRING_CAPACITY * 2];
        if (!LoadLocalMenuText(CombinationMenuItems[i], text, APP_STRING_CAPACITY))
            continue;
        if (Settings.Combinations[i])
        {
            // After a tab, as Windows menus show their shortcuts.
            size_t used = TextLength(text);
            CopyText(text + used, L"\t", ARRAYSIZE(text) - used);
            CombinationText(Settings.Combinations[i], text + used + 1, (int)(ARRAYSIZE(text) - used - 1));
        }
        MENUITEMINFOW item;
        ZeroMemory(&item, sizeof(item));
        // The record's size before Windows 98 and 2000 added its last field.
        item.cbSize = offsetof(MENUITEMINFOW, hbmpItem);
        item.fMask = MIIM_TYPE;
        item.fType = MFT_STRING;
        item.dwTypeData = text;
        if (setItem)
        {
            setItem(TrayMenu, CombinationMenuItems[i], FALSE, &item);
            continue;
        }
        char narrow[ARRAYSIZE(text) * 2];
        if (!WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof(narrow), NULL, NULL))
            continue;
        item.dwTypeData = (LPWSTR)narrow;
        SetMenuItemInfoA(TrayMenu, CombinationMenuItems[i], FALSE, (LPCMENUITEMINFOA)&item);
    }
}

void ShowTrayMenu(const POINT *anchor)
{
    // One menu at a time: a notice that arrives while it is open is dropped.
    if (MenuShowing)
        return;
    POINT at;
    if (anchor)
        at = *anchor;
    else
        GetCursorPos(&at);
    SetForegroundWindow(MainWindow);
    UINT state = DeviceAttributes.ProductID ? MF_ENABLED : MF_GRAYED;
    EnableMenuItem(TrayMenu, IDM_SWITCH_ALL, MF_BYCOMMAND | state);
    EnableMenuItem(TrayMenu, IDM_SWITCH_AUDIO, MF_BYCOMMAND | state);
    EnableMenuItem(TrayMenu, IDM_SWITCH_VIDEO, MF_BYCOMMAND | state);
    MenuShowing = TRUE;
    UINT command = (UINT)TrackPopupMenu(TrayMenu, TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD,
                                        at.x, at.y, 0, MainWindow, NULL);
    MenuShowing = FALSE;
    PostMessageW(MainWindow, WM_NULL, 0, 0);
    if (command)
        PostMessageW(MainWindow, WM_COMMAND, command, 0);
    else if (TrayVersion)
        Shell_NotifyIconW(NIM_SETFOCUS, &TrayIcon);  // back to the notification area
}

// The notification-area icon and its context menu.
#include "app/app.h"
#include "device/device.h"
#include "settings/settings.h"
#include "resource.h"

NOTIFYICONDATAW TrayIcon;
HICON AttachedIcon;
HICON NotAttachedIcon;
HMENU TrayMenu;
BYTE DoubleClickPending;
UINT TaskbarCreatedMessage;

#define TRAY_ICON_ID 1

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

void AddTrayIcon(void)
{
    TrayIcon.cbSize = TRAY_RECORD_SIZE;
    AttachedIcon = LoadIconW(AppInstance, MAKEINTRESOURCEW(IDI_ATTACHED));
    NotAttachedIcon = LoadIconW(AppInstance, MAKEINTRESOURCEW(IDI_NOT_ATTACHED));

    DWORD reportLength;
    HANDLE device = OpenSwitchDevice(&reportLength);
    if (device != INVALID_HANDLE_VALUE)
    {
        TrayIcon.hIcon = AttachedIcon;
        CloseHandle(device);
    }
    else
    {
        TrayIcon.hIcon = NotAttachedIcon;
    }

    TrayIcon.hWnd = MainWindow;
    TrayIcon.uID = TRAY_ICON_ID;
    TrayIcon.uCallbackMessage = WM_TRAYNOTIFY;
    lstrcpynW(TrayIcon.szTip, AppTitle, ARRAYSIZE(TrayIcon.szTip));
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

    TrayMenu = LoadTrayMenu();
    SetMenuDefaultItem(TrayMenu, IDM_SWITCH_ALL, FALSE);

    // A restarted shell asks its icons back with this message.
    TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    Shell_NotifyIconW(NIM_ADD, &TrayIcon);
}

void RemoveTrayIcon(void)
{
    Shell_NotifyIconW(NIM_DELETE, &TrayIcon);
    TrayIcon.hWnd = NULL;
}

void OnTaskbarCreated(void)
{
    if (TrayIcon.hWnd)
        Shell_NotifyIconW(NIM_ADD, &TrayIcon);
}

LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam)
{
    if (wParam != TRAY_ICON_ID)
        return 0;
    switch (lParam)
    {
    case WM_CONTEXTMENU:
    case WM_RBUTTONUP:
        ShowTrayMenu();
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

void ShowTrayMenu(void)
{
    POINT cursor;
    GetCursorPos(&cursor);
    SetForegroundWindow(MainWindow);
    UINT state = DeviceAttributes.ProductID ? MF_ENABLED : MF_GRAYED;
    EnableMenuItem(TrayMenu, IDM_SWITCH_ALL, MF_BYCOMMAND | state);
    EnableMenuItem(TrayMenu, IDM_SWITCH_AUDIO, MF_BYCOMMAND | state);
    EnableMenuItem(TrayMenu, IDM_SWITCH_VIDEO, MF_BYCOMMAND | state);
    TrackPopupMenu(TrayMenu, TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0, MainWindow, NULL);
    PostMessageW(MainWindow, WM_NULL, 0, 0);
}

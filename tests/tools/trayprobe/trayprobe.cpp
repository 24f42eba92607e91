// trayprobe: the program's own tray icon loading, in a process of its own so
// that it starts at the scale the prefix is set to. Prints
//   SIZE LOADED AFTER FREED
// the notification area's icon size, the width of the attached icon as
// loaded, its width after a "TaskbarCreated" broadcast, and 1 when the icon
// that the broadcast replaced was destroyed; then the process's own small-icon
// size and the taskbar's scale as the system reports it.
#include "app/app.h"
#include "settings/language.h"

#include <stdio.h>

static int IconWidth(HICON icon)
{
    ICONINFO info;
    if (!icon || !GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap;
    int width = GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap) ? bitmap.bmWidth : 0;
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return width;
}

int main()
{
    AppInstance = GetModuleHandleW(NULL);
    ResourceModule = AppInstance;
    lstrcpyW(WindowClassName, L"ORNAXTRAYPROBE");
    lstrcpyW(AppTitle, L"probe");
    RegisterMainWindowClass(AppInstance);
    MainWindow = CreateWindowExW(0, WindowClassName, AppTitle, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, NULL, NULL,
                                 AppInstance, NULL);
    AddTrayIcon();
    int size = TrayIconSize(), loaded = IconWidth(AttachedIcon);
    HICON before = AttachedIcon;
    DWORD_PTR answer;
    SendMessageTimeoutW(HWND_BROADCAST, TaskbarCreatedMessage, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    ICONINFO info;
    int freed = AttachedIcon != before && !GetIconInfo(before, &info);
    // What the system says of the taskbar's scale, where it can say it.
    typedef UINT(WINAPI * DpiForWindowFunction)(HWND);
    auto dpiForWindow = (DpiForWindowFunction)(void *)GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", NULL);
    UINT taskbarDpi = dpiForWindow && taskbar ? dpiForWindow(taskbar) : 0;
    printf("%d %d %d %d %d %u\n", size, loaded, IconWidth(AttachedIcon), freed, GetSystemMetrics(SM_CXSMICON),
           taskbarDpi);
    RemoveTrayIcon();
    DestroyWindow(MainWindow);
    return 0;
}

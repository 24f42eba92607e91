// trayprobe: the program's own tray icon loading, in a process of its own so
// that it starts at the scale the prefix is set to. Prints
//   SIZE LOADED AFTER FREED
// the notification area's icon size, the width of the attached icon as
// loaded, its width after a "TaskbarCreated" broadcast, and 1 when the icon
// that the broadcast replaced was destroyed.
#include "app/app.h"
#include "settings/settings.h"

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
    printf("%d %d %d %d %d\n", size, loaded, IconWidth(AttachedIcon), freed, GetSystemMetrics(SM_CXSMICON));
    RemoveTrayIcon();
    DestroyWindow(MainWindow);
    return 0;
}

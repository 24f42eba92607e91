// Application shell: entry, start-up, the hidden main window and its routing.
#pragma once
#include <windows.h>

// Private window messages (the hook library's are in tessarohook/TessaroHook.h).
#define WM_TRAYNOTIFY 0x832A  // from the shell, for the tray icon
// From a start with "/all", "/video", "/audio" or "/status": wParam the
// command; the answer is what became of it (device/device.h).
#define WM_SWITCH_REQUEST 0x8352

// The process's exit code when start-up ends it at once.
extern int AppExitCode;

// Buffers of loaded strings hold this many UTF-16 units.
#define APP_STRING_CAPACITY 100

extern WCHAR WindowClassName[APP_STRING_CAPACITY];
extern WCHAR AppTitle[APP_STRING_CAPACITY];
extern HINSTANCE AppInstance;
extern HWND MainWindow;
extern OSVERSIONINFOW OsVersion;
// Windows XP or later: version 5.1 on (Windows 9x is 4.x).
BOOL IsWindowsXPOrLater(void);
// Windows Vista or later: the NT family from major version 6 on.
BOOL IsWindowsVistaOrLater(void);

void RegisterMainWindowClass(HINSTANCE instance);

#ifndef WM_WTSSESSION_CHANGE
#define WM_WTSSESSION_CHANGE 0x02B1
#endif

// Session and power notifications, which put the keyboard hook back.
#define SESSION_TIMER_ID 1
void StartSessionWatch(void);
void OnSessionTimer(void);
void StopSessionWatch(void);
void OnSessionChange(WPARAM event);
void OnPowerBroadcast(WPARAM event);
int StartInstance(HINSTANCE instance);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Tray icon and its context menu.
extern NOTIFYICONDATAW TrayIcon;
extern HICON AttachedIcon;
extern HICON NotAttachedIcon;
extern HMENU TrayMenu;
extern BYTE DoubleClickPending;
extern UINT TaskbarCreatedMessage;
// The shell's notification version in force: 0, 3 (NOTIFYICON_VERSION) or 4.
extern UINT TrayVersion;

// The record's size as shells since Windows 2000 accept it: without the GUID
// and balloon-icon fields that later headers add.
#define TRAY_RECORD_SIZE 936

void AddTrayIcon(void);
void RemoveTrayIcon(void);
LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
// At the anchor point, or at the pointer when it is null.
void ShowTrayMenu(const POINT *anchor);
void OnTaskbarCreated(void);
// WM_DISPLAYCHANGE and WM_SETTINGCHANGE: the icons again at the current size.
void OnDisplaySettingsChange(void);
// The notification area's icon size, in pixels.
int TrayIconSize(void);
// Loads both icons at that size, destroying the ones they replace.
void LoadTrayIcons(void);
// The record's picture and tooltip say whether the switch is attached; the
// shell is shown them once it has the icon.
void ShowSwitchAttached(BOOL attached);
// An icon that the shell did not take is tried again on this timer.
#define TRAY_TIMER_ID 3
void OnTrayTimer(void);
// Each switch item shows its key combination after a tab.
void ShowCombinationsInMenu(void);

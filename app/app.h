// Application shell: entry, start-up, the hidden main window and its routing.
#pragma once
#include <windows.h>

// Private window messages.
#define WM_TRAYNOTIFY 0x832A  // from the shell, for the tray icon
#define WM_HOOKKEY    0x8334  // one keystroke seen by the hook library
#define WM_HOOKALT    0x833E  // ALT held (lParam non-zero) or released

// Buffers of loaded strings hold this many UTF-16 units.
#define APP_STRING_CAPACITY 100

extern WCHAR WindowClassName[APP_STRING_CAPACITY];
extern WCHAR AppTitle[APP_STRING_CAPACITY];
extern HINSTANCE AppInstance;
extern HWND MainWindow;
extern OSVERSIONINFOW OsVersion;
// Windows Vista or later: the NT family from major version 6 on.
BOOL IsWindowsVistaOrLater(void);

void RegisterMainWindowClass(HINSTANCE instance);
int StartInstance(HINSTANCE instance);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Tray icon and its context menu.
extern NOTIFYICONDATAW TrayIcon;
extern HICON AttachedIcon;
extern HICON NotAttachedIcon;
extern HMENU TrayMenu;
extern BYTE DoubleClickPending;
extern UINT TaskbarCreatedMessage;

// The record's size as shells since Windows 2000 accept it: without the GUID
// and balloon-icon fields that later headers add.
#define TRAY_RECORD_SIZE 936

void AddTrayIcon(void);
void RemoveTrayIcon(void);
LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
void ShowTrayMenu(void);
void OnTaskbarCreated(void);

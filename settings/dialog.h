// The two modal dialogs, Options and About, of which one at a time is open.
#pragma once
#include <windows.h>

// The dialog open now, or NULL.
extern HWND ShownDialog;
// Opens a dialog of the executable, or brings the one already open to the front.
void ShowDialog(HWND owner, UINT templateId, DLGPROC procedure);

INT_PTR CALLBACK OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

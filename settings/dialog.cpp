// The one dialog box that may be open at a time.
#include "settings/dialog.h"
#include "app/app.h"

HWND ShownDialog;
static DLGPROC ShownProcedure;

// Every dialog runs through here, so that the rule has one owner: the window
// is known from its first message of its own on.
static INT_PTR CALLBACK ShownDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        ShownDialog = dialog;
    return ShownProcedure(dialog, message, wParam, lParam);
}

void ShowDialog(HWND owner, UINT templateId, DLGPROC procedure)
{
    // The tray menu still opens while a dialog is up: a second one would
    // nest, and each would save its own pending choices.
    if (ShownDialog)
    {
        SetForegroundWindow(ShownDialog);
        return;
    }
    ShownProcedure = procedure;
    DialogBoxParamW(AppInstance, MAKEINTRESOURCEW(templateId), owner, ShownDialogProc, 0);
    ShownDialog = NULL;
}

// The one dialog box that may be open at a time.
#include "settings/settings.h"
#include "app/app.h"

HWND OpenDialog;

void ShowDialog(HWND owner, UINT templateId, DLGPROC procedure)
{
    // The tray menu still opens while a dialog is up: a second one would
    // nest, and each would save its own pending choices.
    if (OpenDialog)
    {
        SetForegroundWindow(OpenDialog);
        return;
    }
    DialogBoxParamW(AppInstance, MAKEINTRESOURCEW(templateId), owner, procedure, 0);
    OpenDialog = NULL;
}

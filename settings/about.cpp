// The About dialog: the program's version from its own version record and
// the firmware version of the switch last found.
#include "platform/text.h"
#include "settings/dialog.h"
#include "settings/language.h"
#include "app/app.h"
#include "device/device.h"
#include "resource.h"

#include <stdio.h>

// Formats into a buffer of APP_STRING_CAPACITY units; a text too long is cut.
static void Compose(WCHAR *text, const WCHAR *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    _vsnwprintf(text, APP_STRING_CAPACITY - 1, format, arguments);
    va_end(arguments);
    text[APP_STRING_CAPACITY - 1] = 0;
}

// "Software Version 1.0.2.14", or the label alone without a version record.
static void ComposeSoftwareLine(WCHAR *line, const WCHAR *label)
{
    CopyText(line, label, APP_STRING_CAPACITY);
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    DWORD handle;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (!size)
        return;
    void *block = HeapAlloc(GetProcessHeap(), 0, size);
    if (!block)
        return;
    VS_FIXEDFILEINFO *fixed;
    UINT fixedSize;
    if (GetFileVersionInfoW(path, 0, size, block) && VerQueryValueW(block, L"\\", (void **)&fixed, &fixedSize) &&
        fixedSize >= sizeof(VS_FIXEDFILEINFO))
        Compose(line, L"%s %d.%d.%d.%d", label, HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    HeapFree(GetProcessHeap(), 0, block);
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
    {
        WCHAR software[APP_STRING_CAPACITY] = L"", firmware[APP_STRING_CAPACITY] = L"";
        WCHAR about[APP_STRING_CAPACITY] = L"", line[APP_STRING_CAPACITY];
        LoadLocalString(IDS_SOFTWARE_VERSION, software, APP_STRING_CAPACITY);
        LoadLocalString(IDS_FIRMWARE_VERSION, firmware, APP_STRING_CAPACITY);
        LoadLocalString(IDS_ABOUT, about, APP_STRING_CAPACITY);

        ComposeSoftwareLine(line, software);
        SetWindowTextW(GetDlgItem(dialog, IDC_SOFTWARE_VERSION), line);

        line[0] = 0;
        if (DeviceAttributes.ProductID)
            Compose(line, L"%s %x.%x", firmware, HIBYTE(DeviceAttributes.VersionNumber),
                    LOBYTE(DeviceAttributes.VersionNumber));
        else
            LoadLocalString(IDS_NOT_ATTACHED, line, APP_STRING_CAPACITY);
        SetWindowTextW(GetDlgItem(dialog, IDC_FIRMWARE_VERSION), line);

        Compose(line, L"%s %s", about, AppTitle);
        SetWindowTextW(dialog, line);
        if (LoadLocalString(IDS_OK, line, APP_STRING_CAPACITY))
            SetWindowTextW(GetDlgItem(dialog, IDOK), line);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

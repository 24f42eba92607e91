// Process entry: the two names, the window class, start-up and the message loop.
#include "platform/lookup.h"
#include "app/app.h"
#include "audio/audio.h"
#include "resource.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// Libraries loaded by name, also by the system's own libraries, come from
// the system folder alone, never from the program's folder or the current
// one. Windows 8 and later have it, Vista and 7 with an update.
static void LimitLibrarySearch(void)
{
    typedef BOOL(WINAPI * SearchFunction)(DWORD);
    auto setDefault = (SearchFunction)(void *)LoadedModuleFunction("kernel32.dll", "SetDefaultDllDirectories");
    if (setDefault)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    LimitLibrarySearch();
    LoadStringW(instance, IDS_APP_NAME, AppTitle, APP_STRING_CAPACITY);
    LoadStringW(instance, IDS_APP_NAME, WindowClassName, APP_STRING_CAPACITY);
    RegisterMainWindowClass(instance);
    if (!StartInstance(instance))
        return AppExitCode;

    // No accelerator table is in force: the window is never shown.
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0))
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CloseMuteMonitor();
    return (int)message.wParam;
}

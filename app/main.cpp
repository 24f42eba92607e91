// Process entry: the two names, the window class, start-up and the message loop.
#include "app/app.h"
#include "audio/audio.h"
#include "resource.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    LoadStringW(instance, IDS_APP_NAME, AppTitle, APP_STRING_CAPACITY);
    LoadStringW(instance, IDS_APP_NAME, WindowClassName, APP_STRING_CAPACITY);
    RegisterMainWindowClass(instance);
    if (!StartInstance(instance))
        return 0;

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

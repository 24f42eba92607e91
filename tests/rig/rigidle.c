/* Keeps the rig's Wine desktop alive between tests: Wine closes a virtual
 * desktop, with its taskbar, soon after its last process ends, and the
 * desktop process started next would inherit that test's output pipe.
 * Started detached by rig.sh; ends when its event is set or it is killed. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    (void)instance; (void)previous; (void)commandLine; (void)show;
    HANDLE stop = CreateEventW(NULL, TRUE, FALSE, L"OrnaxRigIdleStop");
    GetDesktopWindow();
    MSG message;
    for (;;)
    {
        DWORD wait = MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0)
            break;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    return 0;
}

/* The floor of start-up under Wine: registers a class, creates a hidden
 * window of its own class ("OrnaxBenchMinimal") and runs a message loop
 * until the window is closed. Nothing else; with "hook" on its command line,
 * an empty low-level keyboard hook besides (the floor of an idle program
 * that watches the keyboard). */
#include <windows.h>
#include <string.h>

static LRESULT CALLBACK EmptyHook(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(NULL, code, wParam, lParam);
}

static LRESULT CALLBACK MinimalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
    {
        PostQuitMessage(0);
        return 0;
    }
    /* WM_CLOSE reaches DefWindowProc, which destroys the window. */
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    (void)previous; (void)show;
    WNDCLASSW windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = MinimalProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"OrnaxBenchMinimal";
    if (!RegisterClassW(&windowClass))
        return 1;
    if (!CreateWindowExW(0, L"OrnaxBenchMinimal", L"OrnaxBenchMinimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                         CW_USEDEFAULT, 0, NULL, NULL, instance, NULL))
        return 1;
    if (strstr(commandLine, "hook"))
        SetWindowsHookExW(WH_KEYBOARD_LL, EmptyHook, instance, 0);
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0)
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

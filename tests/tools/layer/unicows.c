/* A stand-in for the Layer for Unicode, for the binding layer's tests: two
 * of its functions, each answering with a value no system function gives. */
#include <windows.h>

LONG WINAPI StandInRegOpenKeyExW(HKEY key, LPCWSTR name, DWORD options, REGSAM access, PHKEY result)
{
    (void)key, (void)name, (void)options, (void)access, (void)result;
    return 4242;
}

HWND WINAPI StandInCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                                   int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter)
{
    (void)exStyle, (void)className, (void)title, (void)style, (void)x, (void)y, (void)width, (void)height;
    (void)parent, (void)menu, (void)instance, (void)parameter;
    return (HWND)0x4242;
}

/* postcommand ID: posts WM_COMMAND ID to the running ORNAX.exe's window, as
 * its tray menu would; for scripts that take pictures at any display scale. */
#include <windows.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    HWND window = FindWindowW(L"ORNAX", L"ORNAX");
    if (argc < 2 || !window) return 1;
    return PostMessageW(window, WM_COMMAND, (WPARAM)atoi(argv[1]), 0) ? 0 : 1;
}

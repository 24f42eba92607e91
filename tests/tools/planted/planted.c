/* A library planted beside ORNAX.exe under the name of a system library, or
 * of a language library (with that library's resources): when it is loaded
 * as code, its entry point leaves "<its own path>.ran" beside it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
    {
        char path[MAX_PATH + 8];
        DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
        if (length && length < MAX_PATH)
        {
            lstrcatA(path, ".ran");
            HANDLE mark = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (mark != INVALID_HANDLE_VALUE)
                CloseHandle(mark);
        }
    }
    return TRUE;
}

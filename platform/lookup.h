// Functions and libraries that came after the oldest system the program runs
// on: looked up at run time, never imported.
#pragma once
#include <windows.h>

// A function of a module, or NULL (also when the module is NULL).
inline FARPROC ModuleFunction(HMODULE module, const char *name)
{
    return module ? GetProcAddress(module, name) : NULL;
}

// A function of a system module that the process has loaded already
// (kernel32, user32), or NULL.
inline FARPROC LoadedModuleFunction(const char *module, const char *name)
{
    return ModuleFunction(GetModuleHandleA(module), name);
}

// A library of the system folder, loaded by its full path so that no file of
// that name elsewhere on the search path is taken instead; NULL when absent.
inline HMODULE LoadSystemLibrary(const char *name)
{
    char path[MAX_PATH + 32];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || lstrlenA(name) > 30)
        return NULL;
    path[length] = '\\';
    lstrcpyA(path + length + 1, name);
    return LoadLibraryA(path);
}

// Sets a pointer named after a function to that function of a module (NULL
// when either is missing), with the function's own type.
#define LOOK_UP_FUNCTION(pointer, module, function) \
    ((pointer) = (decltype(&::function))(void *)ModuleFunction(module, #function))

// The wide-API binding layer: 41 system functions, bound on their first
// call to the system module's export (Windows NT family) or to the Layer for
// Unicode's (Windows 9x), or else to a stub that fails as they document.
#pragma once
#include <windows.h>

// What the first call of one function needs to bind it.
struct BINDING_THUNK
{
    const char *Module;    // "kernel32.dll"...
    const char *Function;  // "CreateFileW"...
    void **Slot;           // the __imp__ pointer every call goes through
    void **Override;       // its OverrideEntry: null unless set
    void *FailureStub;
    void *Thunk;           // what the slot holds until bound
};

extern "C" const BINDING_THUNK *const BindingThunks[];
extern "C" const BINDING_THUNK *const BindingThunksEnd[];

// 0 not yet known, 1 Windows NT family, 2 Windows 9x.
extern LONG PlatformKind;

struct MODULE_ENTRY
{
    const char *Name;
    HMODULE Handle;
};
// "unicows.dll", then the 17 system modules, then a null name.
extern MODULE_ENTRY ModuleTable[];

typedef HMODULE(WINAPI *LoaderHookFunction)(void);
extern LoaderHookFunction LoaderHook;

void ResolveBinding(const char *module, const char *function, void **slot, void *override, void *failureStub);
HMODULE LoadUnicodeLayer(void);
extern "C" FARPROC WINAPI FindExport(HMODULE module, LPCSTR name);

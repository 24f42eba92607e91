// layerprobe: the binding layer's Windows 9x branch, run for real in a
// process of its own. It takes the 9x road from main on, with the Layer for
// Unicode wherever the test put it, and prints what three bound functions did:
//   layerprobe.exe [override|hook]
// "override" sets RegOpenKeyExW's override entry; "hook" sets the loader hook
// to load %PROBE_LAYER%. Prints "reg=R loaded=L window=W error=E convert=C
// layer=PATH": RegOpenKeyExW's result and whether a layer was loaded for it,
// CreateWindowExW's and its last error, MultiByteToWideChar's, and the layer.
#include "platform/binder.h"

#include <stdio.h>
#include <string.h>

static LONG WINAPI OverrideRegOpen(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) { return 777; }

static HMODULE WINAPI HookLoader(void)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("PROBE_LAYER", path, MAX_PATH);
    return length && length < MAX_PATH ? LoadLibraryA(path) : NULL;
}

int main(int argc, char **argv)
{
    const char *mode = argc > 1 ? argv[1] : "";
    PlatformKind = 2;
    for (const BINDING_THUNK *const *record = BindingThunks; record < BindingThunksEnd; ++record)
    {
        const char *name = (*record)->Function;
        if (!strcmp(name, "RegOpenKeyExW") || !strcmp(name, "CreateWindowExW") || !strcmp(name, "MultiByteToWideChar"))
        {
            *(*record)->Slot = (*record)->Thunk;
            if (!strcmp(mode, "override") && !strcmp(name, "RegOpenKeyExW"))
                *(*record)->Override = (void *)OverrideRegOpen;
        }
    }
    if (!strcmp(mode, "hook"))
        LoaderHook = HookLoader;
    HKEY key;
    LONG reg = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key);
    int loadedForReg = ModuleTable[0].Handle != NULL;
    SetLastError(0);
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    DWORD error = GetLastError();
    WCHAR converted[8];
    int convert = MultiByteToWideChar(CP_ACP, 0, "abc", -1, converted, 8);
    char layer[MAX_PATH] = "-";
    if (ModuleTable[0].Handle)
        GetModuleFileNameA(ModuleTable[0].Handle, layer, MAX_PATH);
    printf("reg=%ld loaded=%d window=%lx error=%lu convert=%d layer=%s\n", reg, loadedForReg,
           (unsigned long)(ULONG_PTR)window, error, convert, layer);
    return 0;
}

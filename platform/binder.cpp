// The wide-API binding layer: resolves each of the 41 late-bound functions on
// its first call. On the NT family it binds the system module's export, on
// Windows 9x the Layer for Unicode's (unicows.dll), and where neither can be
// had the function's failure stub. It calls none of the 41 itself.
#include "platform/binder.h"
#include "platform/lookup.h"

LONG PlatformKind;
LoaderHookFunction LoaderHook;

MODULE_ENTRY ModuleTable[] = {
    {"unicows.dll", NULL},  {"kernel32.dll", NULL}, {"user32.dll", NULL},  {"gdi32.dll", NULL},
    {"advapi32.dll", NULL}, {"shell32.dll", NULL},  {"comdlg32.dll", NULL}, {"version.dll", NULL},
    {"mpr.dll", NULL},      {"rasapi32.dll", NULL}, {"winmm.dll", NULL},   {"winspool.drv", NULL},
    {"avicap32.dll", NULL}, {"secur32.dll", NULL},  {"oleacc.dll", NULL},  {"oledlg.dll", NULL},
    {"sensapi.dll", NULL},  {"msvfw32.dll", NULL},  {NULL, NULL},
};

#define DIRECTORY_CAPACITY 255
#define LAYER_PATH_CAPACITY 261

// Stores a handle into an entry that may already hold one; releases the
// duplicate reference of a loser in a race.
static HMODULE StoreModule(MODULE_ENTRY *entry, HMODULE loaded)
{
    HMODULE previous = (HMODULE)InterlockedCompareExchangePointer((PVOID *)&entry->Handle, loaded, NULL);
    if (previous)
    {
        FreeLibrary(loaded);
        return previous;
    }
    return loaded;
}

static int CompareBytes(const char *a, const char *b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return (int)(unsigned char)*a - (int)(unsigned char)*b;
}

static MODULE_ENTRY *FindModuleEntry(const char *name)
{
    for (MODULE_ENTRY *entry = &ModuleTable[1]; entry->Name; ++entry)
        if (CompareBytes(entry->Name, name) == 0)
            return entry;
    return NULL;
}

// The export of that name: its address, or null. *forwarded tells an export
// that the module forwards to another one (then null as well).
static FARPROC LookUpExport(HMODULE module, LPCSTR name, BOOL *forwarded)
{
    *forwarded = FALSE;
    if (!module || !name)
        return NULL;
    const BYTE *base = (const BYTE *)module;
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return NULL;
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT)
        return NULL;
    const IMAGE_DATA_DIRECTORY *directory = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!directory->VirtualAddress)
        return NULL;
    const IMAGE_EXPORT_DIRECTORY *exports = (const IMAGE_EXPORT_DIRECTORY *)(base + directory->VirtualAddress);
    const DWORD *names = (const DWORD *)(base + exports->AddressOfNames);
    const WORD *ordinals = (const WORD *)(base + exports->AddressOfNameOrdinals);
    const DWORD *functions = (const DWORD *)(base + exports->AddressOfFunctions);
    LONG low = 0, high = (LONG)exports->NumberOfNames - 1;
    while (low <= high)
    {
        LONG middle = low + (high - low) / 2;
        int order = CompareBytes(name, (const char *)(base + names[middle]));
        if (order > 0)
            low = middle + 1;
        else if (order < 0)
            high = middle - 1;
        else
        {
            WORD index = ordinals[middle];
            if (index >= exports->NumberOfFunctions || !functions[index])
                return NULL;
            DWORD address = functions[index];
            if (address >= directory->VirtualAddress && address < directory->VirtualAddress + directory->Size)
            {
                *forwarded = TRUE;
                return NULL;
            }
            return (FARPROC)(base + address);
        }
    }
    return NULL;
}

extern "C" FARPROC WINAPI FindExport(HMODULE module, LPCSTR name)
{
    BOOL forwarded;
    return LookUpExport(module, name, &forwarded);
}

// Current systems export many functions as forwarders to other modules: on
// the NT family the system loader follows them.
typedef struct
{
    USHORT Length, MaximumLength;
    PCHAR Buffer;
} LOADER_NAME;
typedef LONG(WINAPI *LoaderLookUp)(HMODULE, const LOADER_NAME *, ULONG, PVOID *);

static FARPROC FindSystemExport(HMODULE module, LPCSTR name, BOOL followForwarders)
{
    BOOL forwarded;
    FARPROC address = LookUpExport(module, name, &forwarded);
    if (address || !forwarded || !followForwarders)
        return address;
    LoaderLookUp lookUp = (LoaderLookUp)(void *)FindExport(GetModuleHandleA("ntdll.dll"), "LdrGetProcedureAddress");
    if (!lookUp)
        return NULL;
    LOADER_NAME loaderName;
    loaderName.Length = (USHORT)lstrlenA(name);
    loaderName.MaximumLength = (USHORT)(loaderName.Length + 1);
    loaderName.Buffer = (PCHAR)name;
    PVOID found = NULL;
    return lookUp(module, &loaderName, 0, &found) == 0 ? (FARPROC)found : NULL;
}

static void DetectPlatform(void)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel)
        InterlockedCompareExchangePointer((PVOID *)&ModuleTable[1].Handle, kernel, NULL);
    typedef DWORD(WINAPI * AttributesFunction)(LPCWSTR);
    // A forwarder is only possible on the NT family, whose loader then finds it.
    AttributesFunction attributes = (AttributesFunction)(void *)FindSystemExport(kernel, "GetFileAttributesW", TRUE);
    BOOL nt = attributes && attributes(L"???.???") == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_INVALID_NAME;
    PlatformKind = nt ? 1 : 2;
}

// The file's folder: the path without its last separator and what follows.
static void CutToFolder(char *path)
{
    char *end = NULL;
    for (char *c = path; *c; ++c)
        if (*c == '\\' || *c == '/')
            end = c;
    if (end)
        *end = 0;
    if (lstrlenA(path) > DIRECTORY_CAPACITY)
        path[DIRECTORY_CAPACITY] = 0;
}

static BOOL SameFolder(const char *a, const char *b)
{
    return CompareStringA(0x0409, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

// Empties a path that the system call returning length did not give whole.
static void EmptyIfNotWhole(DWORD length, char *path)
{
    if (length == 0 || length >= MAX_PATH)
        path[0] = 0;
}

// A layer that the ordinary search found is refused when the program lies in
// the Windows or system folder and the layer does not.
static BOOL IsLayerFromItsFolder(HMODULE layer)
{
    char system[MAX_PATH], windows[MAX_PATH], library[MAX_PATH], program[MAX_PATH];
    EmptyIfNotWhole(GetSystemDirectoryA(system, MAX_PATH), system);
    EmptyIfNotWhole(GetWindowsDirectoryA(windows, MAX_PATH), windows);
    EmptyIfNotWhole(GetModuleFileNameA(layer, library, MAX_PATH), library);
    EmptyIfNotWhole(GetModuleFileNameA(NULL, program, MAX_PATH), program);
    CutToFolder(library);
    CutToFolder(program);
    if (SameFolder(program, windows) && !SameFolder(library, windows))
        return FALSE;
    if (SameFolder(program, system) && !SameFolder(library, system))
        return FALSE;
    return TRUE;
}

static BOOL Append(char *path, const char *text)
{
    if (lstrlenA(path) + lstrlenA(text) + 1 > LAYER_PATH_CAPACITY)
        return FALSE;
    lstrcatA(path, text);
    return TRUE;
}

// The copy in the common files folder, "...\Microsoft Shared\MSLU\unicows.dll".
static HMODULE LoadSharedLayer(void)
{
    MODULE_ENTRY *advapi = FindModuleEntry("advapi32.dll");
    HMODULE loaded = LoadLibraryA("advapi32.dll");
    if (loaded)
        StoreModule(advapi, loaded);
    if (!advapi->Handle)
        return NULL;
    typedef LONG(WINAPI * OpenFunction)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
    typedef LONG(WINAPI * QueryFunction)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
    typedef LONG(WINAPI * CloseFunction)(HKEY);
    OpenFunction open = (OpenFunction)(void *)FindExport(advapi->Handle, "RegOpenKeyExA");
    QueryFunction query = (QueryFunction)(void *)FindExport(advapi->Handle, "RegQueryValueExA");
    CloseFunction close = (CloseFunction)(void *)FindExport(advapi->Handle, "RegCloseKey");
    HKEY key;
    if (!open || !query || !close ||
        open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE, &key) != 0)
        return NULL;
    HMODULE layer = NULL;
    char path[LAYER_PATH_CAPACITY + 1];
    DWORD size = MAX_PATH;
    ZeroMemory(path, sizeof(path));
    if (query(key, "CommonFilesDir", NULL, NULL, (BYTE *)path, &size) == 0 &&
        Append(path, "\\Microsoft Shared\\MSLU\\") && Append(path, "unicows.dll"))
        layer = LoadLibraryA(path);
    close(key);
    return layer;
}

HMODULE LoadUnicodeLayer(void)
{
    if (LoaderHook)
    {
        HMODULE hooked = LoaderHook();
        if (hooked)
            return hooked;
    }
    HMODULE layer = LoadLibraryA("unicows.dll");
    if (layer)
    {
        if (IsLayerFromItsFolder(layer))
            return layer;
        FreeLibrary(layer);
    }
    return LoadSharedLayer();
}

static void Bind(void **slot, void *address) { InterlockedExchangePointer(slot, address); }

void ResolveBinding(const char *module, const char *function, void **slot, void *override, void *failureStub)
{
    if (PlatformKind == 0)
        DetectPlatform();
    if (PlatformKind == 1)
    {
        MODULE_ENTRY *entry = FindModuleEntry(module);
        FARPROC address = NULL;
        if (entry)
        {
            if (!entry->Handle)
            {
                // From the system folder by full path: version.dll, winmm.dll
                // and others are looked for beside the program first otherwise.
                HMODULE loaded = LoadSystemLibrary(module);
                if (!loaded && lstrcmpA(module, "secur32.dll") == 0)
                    loaded = LoadSystemLibrary("security.dll");
                if (loaded)
                    StoreModule(entry, loaded);
            }
            address = FindSystemExport(entry->Handle, function, TRUE);
        }
        Bind(slot, address ? (void *)address : failureStub);
        return;
    }
    if (override)
    {
        Bind(slot, override);
        return;
    }
    if (!ModuleTable[0].Handle)
    {
        HMODULE layer = LoadUnicodeLayer();
        if (layer)
            StoreModule(&ModuleTable[0], layer);
    }
    FARPROC address = ModuleTable[0].Handle ? FindExport(ModuleTable[0].Handle, function) : NULL;
    Bind(slot, address ? (void *)address : failureStub);
}

extern "C" void BindingThunkEnter(const BINDING_THUNK *thunk)
{
    ResolveBinding(thunk->Module, thunk->Function, thunk->Slot, *thunk->Override, thunk->FailureStub);
}

// The stub of a function that the system implements even without the layer.
extern "C" FARPROC BindingSystemOwn(const BINDING_THUNK *thunk)
{
    return FindSystemExport(GetModuleHandleA(thunk->Module), thunk->Function, PlatformKind == 1);
}

// The wide-API binding layer, linked into this test program: its own calls
// of the 41 functions go through the slots as the program's do.
#include "harness.h"
#include "platform/binder.h"


namespace
{
const BINDING_THUNK *Record(const char *function)
{
    for (const BINDING_THUNK *const *record = BindingThunks; record < BindingThunksEnd; ++record)
        if (!strcmp((*record)->Function, function))
            return *record;
    return nullptr;
}

}

TEST(Binding, TheFirstCallBindsTheSystemsFunctionAndTheNextGoesStraightThere)
{
    const BINDING_THUNK *loadString = Record("LoadStringW");
    ASSERT_NE(loadString, nullptr);
    *loadString->Slot = loadString->Thunk;
    wchar_t text[100] = L"";
    EXPECT_EQ(LoadStringW(GetModuleHandleW(NULL), 109, text, 100), 5);
    EXPECT_STREQ(text, L"ORNAX");
    EXPECT_EQ(PlatformKind, 1);
    void *bound = (void *)GetProcAddress(GetModuleHandleA("user32.dll"), "LoadStringW");
    EXPECT_EQ(*loadString->Slot, bound);
    // A caller that kept the thunk's address goes on to the bound function.
    EXPECT_EQ(((decltype(&LoadStringW))loadString->Thunk)(GetModuleHandleW(NULL), 109, text, 100), 5);
    EXPECT_EQ(*loadString->Slot, bound);
    // All 41, each to the address the system's loader gives.
    int count = 0;
    for (const BINDING_THUNK *const *record = BindingThunks; record < BindingThunksEnd; ++record, ++count)
    {
        const BINDING_THUNK *r = *record;
        *r->Slot = r->Thunk;
        ResolveBinding(r->Module, r->Function, r->Slot, NULL, r->FailureStub);
        EXPECT_EQ(*r->Slot, (void *)GetProcAddress(LoadLibraryA(r->Module), r->Function)) << r->Function;
    }
    EXPECT_EQ(count, 41);
}

TEST(Binding, WhatCannotBeBoundFailsAsTheFunctionDocuments)
{
    void *slot = nullptr;
    const BINDING_THUNK *createFile = Record("CreateFileW"), *regOpen = Record("RegOpenKeyExW");
    ResolveBinding("nosuch.dll", "CreateFileW", &slot, NULL, createFile->FailureStub);
    EXPECT_EQ(slot, createFile->FailureStub);
    ResolveBinding("kernel32.dll", "NoSuchFunctionW", &slot, NULL, regOpen->FailureStub);
    EXPECT_EQ(slot, regOpen->FailureStub);

    SetLastError(0);
    auto create = (decltype(&CreateFileW))createFile->FailureStub;
    EXPECT_EQ(create(L"x", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 120u);
    SetLastError(5);
    HKEY key;
    EXPECT_EQ(((decltype(&RegOpenKeyExW))regOpen->FailureStub)(HKEY_CURRENT_USER, L"x", 0, KEY_READ, &key), 120);
    EXPECT_EQ(GetLastError(), 5u);
    auto getProc = (decltype(&GetProcAddress))Record("GetProcAddress")->FailureStub;
    EXPECT_EQ((void *)getProc(GetModuleHandleA("kernel32.dll"), "Sleep"), (void *)FindExport(GetModuleHandleA("kernel32.dll"), "Sleep"));
}

TEST(Binding, FindExportAgreesWithTheSystemAndForwardersAreFollowed)
{
    int forwarders = 0;
    for (const char *name : {"kernel32.dll", "user32.dll", "advapi32.dll"})
    {
        HMODULE module = GetModuleHandleA(name);
        for (const ModuleExport &e : ExportsOf(module))
        {
            void *expected = e.forwarder || e.empty ? nullptr : (void *)GetProcAddress(module, e.name.c_str());
            EXPECT_EQ((void *)FindExport(module, e.name.c_str()), expected) << name << " " << e.name;
            forwarders += e.forwarder;
        }
        EXPECT_EQ(FindExport(module, "NoSuchExport"), nullptr);
    }
    EXPECT_GT(forwarders, 0) << "Wine forwards many system functions";
    // A forwarder is found through the system loader.
    HMODULE forwarder = LoadLibraryW(L"forwarder.dll");
    ASSERT_NE(forwarder, (HMODULE)NULL);
    EXPECT_EQ(FindExport(forwarder, "Forwarded"), nullptr);
    MODULE_ENTRY *entry = &ModuleTable[17];
    ASSERT_STREQ(entry->Name, "msvfw32.dll");
    HMODULE saved = entry->Handle;
    entry->Handle = forwarder;
    void *slot = nullptr;
    ResolveBinding("msvfw32.dll", "Forwarded", &slot, NULL, (void *)Record("LoadIconW")->FailureStub);
    entry->Handle = saved;
    EXPECT_EQ(slot, (void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount"));
}

TEST(Binding, ShippedFilesImportNoneOfTheLateBoundFunctions)
{
    for (const wchar_t *file : {L"\\ORNAX.exe", L"\\TessaroHook.dll"})
    {
        std::set<std::string> imports = ImportsOf(DistFolder() + file);
        EXPECT_TRUE(imports.count("CloseHandle")) << "no import table read";
        for (const BINDING_THUNK *const *record = BindingThunks; record < BindingThunksEnd; ++record)
            EXPECT_FALSE(imports.count((*record)->Function)) << (*record)->Function;
    }
    // Windows 9x implements almost no wide function of its own: the program
    // imports none besides those its design names as ordinary imports, and
    // the hook library, which runs inside every process there, none at all.
    for (const std::string &name : ImportsOf(DistFolder() + L"\\ORNAX.exe"))
        EXPECT_TRUE(name.back() != 'W' || name == "GetCommandLineW") << name;
    for (const std::string &name : ImportsOf(DistFolder() + L"\\TessaroHook.dll"))
        EXPECT_NE(name.back(), 'W') << name;
}

// Only libraries that Windows always takes from its own folder are imported
// (comctl32 through the manifest), and the hook library: a file of any other
// name beside the program would be loaded in its place.
TEST(Binding, ShippedFilesImportOnlyLibrariesOfTheSystemFolder)
{
    const std::set<std::string> known = {"kernel32.dll", "user32.dll",  "gdi32.dll",   "advapi32.dll",
                                         "shell32.dll",  "msvcrt.dll",  "comctl32.dll"};
    for (const wchar_t *file : {L"\\ORNAX.exe", L"\\TessaroHook.dll"})
    {
        std::set<std::string> modules;
        ImportsOf(DistFolder() + file, &modules);
        EXPECT_TRUE(modules.count("kernel32.dll")) << "no import table read";
        for (const std::string &module : modules)
            EXPECT_TRUE(known.count(module) || (module == "tessarohook.dll" && file[1] == L'O')) << module;
    }
}

// The Windows 9x road, taken by layerprobe.exe in a process of its own, with
// the stand-in layer on the search path, under the common files folder, from a
// loader hook, or nowhere.
TEST(Binding, OnWindows9xTheLayerIsFoundWhereItMayBe)
{
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring layerDir = EnvironmentOf(L"ORNAX_TESTS") + L"\\layer", bare = L"C:\\ornax-probe",
                       common = L"C:\\ornax-common", shared = common + L"\\Microsoft Shared\\MSLU";
    const std::wstring versionKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    std::wstring savedCommon = ReadRegistryString(HKEY_LOCAL_MACHINE, versionKey, L"CommonFilesDir");
    for (const std::wstring &dir : {bare, common, common + L"\\Microsoft Shared", shared})
        CreateDirectoryW(dir.c_str(), NULL);
    ASSERT_TRUE(CopyFileW((layerDir + L"\\unicows.dll").c_str(), (shared + L"\\unicows.dll").c_str(), FALSE));
    // Wine has a unicows.dll of its own, whose stand-in in system32 would hide
    // the one on the search path.
    WriteRegistryString(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\layerprobe.exe\\DllOverrides", L"unicows",
                        L"native");
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring wines = std::wstring(system) + L"\\unicows.dll", away = wines + L".away";
    MoveFileW(wines.c_str(), away.c_str());
    std::string sharedLayer = "layer=C:\\ornax-common\\Microsoft Shared\\MSLU\\unicows.dll";
    std::string pathLayer = "layer=" + std::string(layerDir.begin(), layerDir.end()) + "\\unicows.dll";
    struct Case
    {
        const char *what;
        std::wstring folder, commonFiles;
        bool layerOnPath;
        const wchar_t *mode;
        std::string output;
    } cases[] = {
        {"no layer anywhere", bare, L"C:\\nowhere", false, L"", "reg=120 loaded=0 window=0 error=120 convert=4 layer=-"},
        {"an override", bare, L"C:\\nowhere", false, L"override", "reg=777 loaded=0 window=0 error=120 convert=4 layer=-"},
        {"the loader hook", bare, L"C:\\nowhere", false, L"hook", "reg=4242 loaded=1 window=4242 error=0 convert=4 " + pathLayer},
        {"the ordinary search", bare, L"C:\\nowhere", true, L"", "reg=4242 loaded=1 window=4242 error=0 convert=4 " + pathLayer},
        {"the Windows folder refuses it", windows, common, true, L"", "reg=4242 loaded=1 window=4242 error=0 convert=4 " + sharedLayer},
        {"a common files folder too long", windows, L"C:\\" + std::wstring(240, L'x'), true, L"",
         "reg=120 loaded=0 window=0 error=120 convert=4 layer=-"},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
        WriteRegistryString(HKEY_LOCAL_MACHINE, versionKey, L"CommonFilesDir", c.commonFiles);
        std::wstring probe = c.folder + L"\\layerprobe.exe";
        EXPECT_TRUE(CopyFileW((layerDir + L"\\layerprobe.exe").c_str(), probe.c_str(), FALSE));
        std::vector<std::wstring> environment = {L"PROBE_LAYER=" + layerDir + L"\\unicows.dll"};
        if (c.layerOnPath)
            environment.push_back(L"PATH=" + layerDir + L";" + EnvironmentOf(L"PATH"));
        EXPECT_EQ(RunToOutput(L"\"" + probe + L"\" " + c.mode, environment), c.output + "\r\n");
        DeleteFileW(probe.c_str());
    }
    WriteRegistryString(HKEY_LOCAL_MACHINE, versionKey, L"CommonFilesDir", savedCommon);
    MoveFileW(away.c_str(), wines.c_str());
    DeleteRegistryTree(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\layerprobe.exe");
}

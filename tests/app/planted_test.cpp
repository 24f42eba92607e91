// Libraries planted beside ORNAX.exe, as in a Downloads folder where the zip
// was unpacked: stand-ins named hid.dll, winmm.dll and version.dll, and a
// German language library with code. Wine, like Windows, is told to prefer a
// library beside the program to its own. None of them may be loaded as code,
// while the switch, the mute, About and the German texts all work.
#include "harness.h"
#include "mixersim.h"

#include <tlhelp32.h>

namespace
{
const DWORD Patience = 10000;
const wchar_t *const OverridesKey = L"Software\\Wine\\AppDefaults\\ORNAX.exe\\DllOverrides";
const wchar_t *const AllPlanted[] = {L"hid.dll", L"winmm.dll", L"RES_DE.DLL", L"version.dll"};

// Wine 8's own user32.dll imports version.dll, so its loader takes a planted
// one at process start, before any code of the program runs; Windows' user32
// imports no such library. Under Wine 8 version.dll is left out.
std::vector<const wchar_t *> Planted()
{
    return std::vector<const wchar_t *>(AllPlanted, AllPlanted + (WineMajorVersion() < 10 ? 3 : 4));
}

// Every module file of a process, by full path.
std::vector<std::wstring> ModulePathsOf(DWORD processId)
{
    std::vector<std::wstring> paths;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return paths;
    MODULEENTRY32W entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry))
        paths.push_back(entry.szExePath);
    CloseHandle(snapshot);
    return paths;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t &c : text)
        c = (wchar_t)towlower(c);
    return text;
}
}

class PlantedLibraries : public RigTest
{
  protected:
    ProgramRun run;
    std::wstring folder;

    void SetUp() override
    {
        RigTest::SetUp();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"ornax-planted";
        CreateDirectoryW(folder.c_str(), NULL);
        for (const wchar_t *file : {L"ORNAX.exe", L"TessaroHook.dll"})
            ASSERT_TRUE(CopyFileW((DistFolder() + L"\\" + file).c_str(), (folder + L"\\" + file).c_str(), FALSE));
        for (const wchar_t *file : AllPlanted)
        {
            DeleteFileW((folder + L"\\" + file).c_str());
            DeleteFileW((folder + L"\\" + file + L".ran").c_str());
        }
        for (const wchar_t *file : Planted())
        {
            std::wstring target = folder + L"\\" + file;
            ASSERT_TRUE(CopyFileW((EnvironmentOf(L"PLANTED_DIR") + L"\\" + file).c_str(), target.c_str(), FALSE));
        }
        // The mixers of Windows XP, through the simulated mixer in system32.
        SetProgramWindowsVersion(L"winxp");
        ASSERT_TRUE(UseMixerStandIn(true));
        for (const wchar_t *name : {L"hid", L"winmm", L"version"})
            ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, OverridesKey, name, L"native,builtin"));
    }
    void TearDown() override
    {
        CloseRun(run);
        EndStrayPrograms();
        UseMixerStandIn(false);
        SetProgramWindowsVersion(NULL);
        RigTest::TearDown();
    }
};

TEST_F(PlantedLibraries, NoneIsRunAndEverythingStillWorks)
{
    // A stand-in loaded as code leaves its mark.
    std::wstring sample = EnvironmentOf(L"PLANTED_DIR") + L"\\RES_DE.DLL";
    HMODULE loaded = LoadLibraryW(sample.c_str());
    ASSERT_NE(loaded, (HMODULE)NULL);
    FreeLibrary(loaded);
    EXPECT_TRUE(DeleteFileW((sample + L".ran").c_str()));

    MixerSimReset(1);
    MixerSimOpen()->muted = 1;
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0103));
    run = StartProgram(L"", {}, folder);
    ASSERT_TRUE(run.started);
    HWND window = WaitForProgramWindow(Patience);
    ASSERT_NE(window, (HWND)NULL);

    // The switch found through the system's hid.dll, told the mute that the
    // system folder's winmm.dll reads.
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 01"), Patience)) << SwitchLog();
    ASSERT_EQ(SimLogClear(), 0);
    PostMessageW(window, WM_COMMAND, 32780, 0);  // Swivo Video
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 03"), Patience)) << SwitchLog();

    // About in German from the library mapped as data; the program's version
    // through the system's version.dll.
    PostMessageW(window, WM_COMMAND, 104, 0);
    HWND about = WaitForDialog(L"Info über Swivo", Patience);
    ASSERT_NE(about, (HWND)NULL);
    EXPECT_EQ(WindowTextOf(GetDlgItem(about, 1000)), L"Softwareversion " + EnvironmentOf(L"ORNAX_VERSION"));
    EXPECT_EQ(WindowTextOf(GetDlgItem(about, 1001)), L"Firmwareversion 1.3");
    PostMessageW(about, WM_COMMAND, IDOK, 0);

    for (const wchar_t *file : Planted())
        EXPECT_EQ(GetFileAttributesW((folder + L"\\" + file + L".ran").c_str()), INVALID_FILE_ATTRIBUTES)
            << "ran: " << std::string(file, file + wcslen(file));
    std::wstring prefix = Lower(folder + L"\\");
    for (const std::wstring &path : ModulePathsOf(run.process.dwProcessId))
    {
        std::wstring name = Lower(path);
        if (name.compare(0, prefix.size(), prefix) == 0)
        {
            EXPECT_TRUE(name == prefix + L"ornax.exe" || name == prefix + L"tessarohook.dll")
                << "loaded from beside the program: " << std::string(name.begin(), name.end());
        }
    }
    PostMessageW(window, WM_COMMAND, 105, 0);
    EXPECT_EQ(WaitForExit(run, Patience), 0);
}

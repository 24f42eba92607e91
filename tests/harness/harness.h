// End-to-end helpers for tests that run under Wine: the real ORNAX.exe, its
// debug output, the prefix's registry, the simulated switch, and X input.
#pragma once
#include <windows.h>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "switchsim_ctl.h"

// A variable of this process's environment, or "".
std::wstring EnvironmentOf(const wchar_t *name);
// Runs a Windows command line to its end (30 s at most) with environment
// changes ("NAME=value"), and returns what it wrote to its standard output.
std::string RunToOutput(const std::wstring &commandLine, const std::vector<std::wstring> &environment = {});

// Windows path of the folder holding ORNAX.exe and the language libraries.
std::wstring DistFolder();
std::wstring ProgramPath();

// A started ORNAX.exe.
struct ProgramRun
{
    PROCESS_INFORMATION process{};
    bool started = false;
};

// Starts dist\ORNAX.exe (or the ORNAX.exe of another folder) with extra
// arguments; environment changes are "NAME=value" strings applied to a copy
// of this process's environment.
ProgramRun StartProgram(const std::wstring &arguments = L"", const std::vector<std::wstring> &environment = {},
                        const std::wstring &folder = DistFolder());
// Starts dist/ORNAX.exe from the Linux side with environment assignments
// ("HOME=/tmp/x"): Wine's Linux side takes such variables from the Linux
// environment, not from a Windows environment block. Waits for the window.
ProgramRun StartProgramFromLinux(const std::string &assignments, DWORD timeoutMs);
// Waits for the process to end; returns its exit code, or -1 on time-out.
long WaitForExit(ProgramRun &run, DWORD timeoutMs);
void CloseRun(ProgramRun &run);
// Runs ORNAX.exe to its end and returns the exit code (-1 on time-out).
long RunProgramToEnd(const std::wstring &arguments, DWORD timeoutMs);

// The program's hidden window (class and title "ORNAX"), or NULL.
HWND FindProgramWindow();
HWND WaitForProgramWindow(DWORD timeoutMs);
// Waits until no window of the program exists.
bool WaitForNoProgramWindow(DWORD timeoutMs);
// Handles a process holds, from the system's handle list (Wine's
// GetProcessHandleCount always answers 0).
DWORD HandleCountOf(DWORD processId);
// Number of top-level windows of class "ORNAX".
int CountProgramWindows();
// Ends every ORNAX.exe left running, politely first.
void EndStrayPrograms();

// Text sent with OutputDebugString by any process, through the DBWIN buffer.
void StartDebugCapture();
void StopDebugCapture();
std::vector<std::wstring> CapturedDebugLines();
bool WaitForDebugLine(const std::wstring &line, DWORD timeoutMs);

// The prefix's registry.
void SetProgramWindowsVersion(const wchar_t *version);  // "win98", "win2k", "winxp"; NULL clears
bool WriteRegistryData(HKEY root, const std::wstring &key, const std::wstring &name, DWORD type, const void *data,
                       DWORD size);
// A string value, or "" when it cannot be read.
std::wstring ReadRegistryString(HKEY root, const std::wstring &key, const std::wstring &name);
bool WriteRegistryBinary(HKEY root, const std::wstring &key, const std::wstring &name, const void *data, DWORD size);
bool WriteRegistryString(HKEY root, const std::wstring &key, const std::wstring &name, const std::wstring &value);
void DeleteRegistryTree(HKEY root, const std::wstring &key);

// Dispatches this thread's messages (thread timers included) for ms.
void PumpMessages(DWORD ms);
// Injects one key event with SendInput (as hardware input: hooks see it and
// the system's key state follows) and waits until the key state shows it.
void InjectKey(WORD vk, bool up);

// What the test build of TessaroHook.dll records of its hook, in whichever
// process runs it: whether a keyboard hook is installed now, how many were
// installed since the record was made, and which kind the last start took
// (1 low-level, 2 system-wide). Zeros until the library first starts. The
// first call keeps the record for this process, also while no library runs.
struct HookRecord
{
    LONG hooked, installs, mode;
};
HookRecord ReadHookRecord();

// The simulated sound mixer: puts the stand-in winmm.dll into the prefix's
// system32 and loads it for ORNAX.exe (DLL override), or lets ORNAX.exe use
// Wine's own again.
bool UseMixerStandIn(bool on);
// The simulated audio endpoints: puts the stand-in mmdevapi.dll over Wine's
// own in the prefix's system32 and loads it for ORNAX.exe (DLL override), or
// puts Wine's own back and removes the override.
bool UseEndpointStandIn(bool on);

// The simulated switch (VID 7A3C), with both collections unless one is named.
enum Collections
{
    BothCollections,
    FirstCollectionOnly,
    SecondCollectionOnly,
};
bool PlugSwitch(unsigned short productId = 0x5C02, unsigned short version = 0x0100, unsigned outputLength = 2,
                const wchar_t *instance = nullptr, Collections collections = BothCollections,
                unsigned writeDelayMs = 0);
bool UnplugSwitches();
// Paths of the present HID interfaces of switches' first collections
// (VID 7A3C, PID 5C02 or 5C01, COL01), in the system's enumeration order.
std::vector<std::wstring> SwitchInterfacePaths();
std::string SwitchLog();
bool WaitForSwitchLog(const std::string &line, DWORD timeoutMs);
// Lines of the log, without the device ids' whitespace.
std::vector<std::string> SwitchLogLines();
// Waits until the log has stayed unchanged for quietMs.
std::vector<std::string> SettledSwitchLog(DWORD quietMs, DWORD timeoutMs = 10000);
// Log line of a report to the default simulated switch ("0000" instance, PID 5C02).
std::string ReportLine(const char *bytes, unsigned short productId = 0x5C02, const char *instance = "0000");

// The whole content of a file (Windows path), or "" when it cannot be read.
std::string ReadWholeFile(const std::wstring &path);

// Runs a Linux command line through /bin/sh and waits for it; its output
// goes to a file whose text is returned.
std::string RunUnix(const std::string &commandLine, DWORD timeoutMs = 20000);
// xdotool on the rig's display.
void ClickAt(int x, int y, int button = 1, int repeat = 1);
void MovePointer(int x, int y);
// A PNG of the whole screen at the given Linux path; true when written.
bool TakeScreenshot(const std::string &linuxPath);
// Pixels of a screen area as COLORREFs (0x00BBGGRR), row by row.
std::vector<COLORREF> ScreenArea(int x, int y, int width, int height);
// Text of another process's window through WM_GETTEXT (tooltips answer it).
std::wstring WindowTextOf(HWND window);
// The visible top-level window of a class (e.g. "#32768", a popup menu), or NULL.
HWND FindVisibleWindow(const wchar_t *className);
HWND WaitForVisibleWindow(const wchar_t *className, DWORD timeoutMs);
bool WaitForNoVisibleWindow(const wchar_t *className, DWORD timeoutMs);

// The major version of the Wine that runs the tests (8, 10...).
int WineMajorVersion();
// Every present HID interface path, in the system's enumeration order.
std::vector<std::wstring> HidInterfacePaths();

// A dialog box (class "#32770") with this caption, or NULL after the wait.
HWND WaitForDialog(const wchar_t *caption, DWORD timeoutMs);
// Number of visible dialog boxes of a process.
int CountDialogsOf(DWORD processId);
// A left click in the middle of a window, with xdotool.
void ClickWindow(HWND window);

// The files of a folder, by name, with their contents.
std::map<std::wstring, std::string> FilesOf(const std::wstring &folder);
// The named exports of a loaded module, with whether each is a forwarder or
// has no address.
struct ModuleExport
{
    std::string name;
    bool forwarder, empty;
};
std::vector<ModuleExport> ExportsOf(HMODULE module);
// The functions a PE file imports by name; modules, when given, receives the
// names of the libraries it imports from, in lower case.
std::set<std::string> ImportsOf(const std::wstring &path, std::set<std::string> *modules = nullptr);

// Base fixture: no program running, switch unplugged, log cleared.
#include <gtest/gtest.h>
class RigTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;
};

// Prints how fast the real dist\ORNAX.exe starts and answers a switch command
// under Wine, next to the floors (a bare hidden-window program, a bare write to
// the simulated switch), plus the sizes of what dist\ holds and the program's
// memory and handles before and after a stream of commands.
//   ornaxbench.exe [RUNS]      (RUNS defaults to 20)
// Needs ORNAX_DIST and SWITCHSIM_DIR; minimal.exe lies beside this program.
// Times come from QueryPerformanceCounter; the log and the windows are polled
// every POLL_MS, so an event is seen up to one poll period late.
#include "app/app.h"
#include "audio/audio.h"
#include "device/device.h"
#include "harness.h"

#include <windows.h>
#include <psapi.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cwctype>
#include <string>
#include <vector>

namespace
{
const DWORD PollMs = 1;
const double Patience = 10000;
const WPARAM IdmExit = 105, IdmSwitchAll = 32773;
const char *const SwitchId = "ROOT\\VID_7A3C&PID_5C02&COL01\\0000";
const int CommandsForMemory = 200;

double TicksPerMs;

double NowMs()
{
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return (double)count.QuadPart / TicksPerMs;
}

// Mean time one poll takes, Sleep(PollMs) included: the resolution of every
// "seen" time below.
double PollTotalMs;
long PollCount;

// Calls done() every PollMs until it is true; false after timeoutMs.
template <typename Check> bool PollUntil(Check done, double timeoutMs)
{
    double start = NowMs();
    for (;;)
    {
        double before = NowMs();
        if (done())
            return true;
        if (NowMs() - start >= timeoutMs)
            return false;
        Sleep(PollMs);
        PollTotalMs += NowMs() - before;
        ++PollCount;
    }
}

// Follows C:\switchsim.log from a mark on: one handle kept open, the new bytes
// read whenever the file has grown. The driver appends each line in one write.
class LogFollower
{
  public:
    bool Open()
    {
        file = CreateFileW(L"C:\\switchsim.log", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        return file != INVALID_HANDLE_VALUE;
    }
    // Forgets everything logged so far.
    void Mark()
    {
        LARGE_INTEGER size{};
        GetFileSizeEx(file, &size);
        offset = size.QuadPart;
        pending.clear();
    }
    // True once a line "<switch id> <bytes>" has appeared since the mark;
    // every other line is counted as unexpected.
    bool Seen(const char *bytes)
    {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file, &size))
            return false;
        if (size.QuadPart < offset)  // cleared meanwhile
            offset = 0;
        if (size.QuadPart > offset)
        {
            char buffer[4096];
            LARGE_INTEGER at;
            at.QuadPart = offset;
            SetFilePointerEx(file, at, NULL, FILE_BEGIN);
            DWORD got = 0;
            if (ReadFile(file, buffer, sizeof(buffer), &got, NULL))
            {
                pending.append(buffer, got);
                offset += got;
            }
        }
        std::string wanted = std::string(SwitchId) + " " + bytes;
        bool found = false;
        for (size_t end; (end = pending.find('\n')) != std::string::npos;)
        {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line == wanted)
                found = true, ++matched;
            else
                ++unexpected;
        }
        return found;
    }
    long unexpected = 0;
    long matched = 0;  // lines that were looked for

  private:
    HANDLE file = INVALID_HANDLE_VALUE;
    LONGLONG offset = 0;
    std::string pending;
};

LogFollower Log;

std::wstring Environment(const wchar_t *name)
{
    wchar_t buffer[1024];
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

bool Launch(const std::wstring &program, const std::wstring &folder, PROCESS_INFORMATION &process,
            const std::wstring &arguments = L"")
{
    std::wstring commandLine = L"\"" + program + L"\"" + arguments;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    return CreateProcessW(program.c_str(), line.data(), NULL, NULL, FALSE, 0, NULL, folder.c_str(), &startup,
                          &process) != 0;
}

// Closes a window by message and waits for its process; returns the exit code
// or -1 on time-out (the process is then terminated).
long EndProcess(PROCESS_INFORMATION &process, HWND window, UINT message, WPARAM wParam)
{
    PostMessageW(window, message, wParam, 0);
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process.hProcess, (DWORD)Patience) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1), WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return (long)code;
}

HWND ProgramWindow() { return FindWindowW(L"ORNAX", L"ORNAX"); }

void Fail(const char *what)
{
    printf("FAILED: %s (switchsim: %s)\n", what, SimLastError());
    fflush(stdout);
    exit(1);
}

void PrintFigures(const char *label, std::vector<double> values)
{
    if (values.empty())
    {
        printf("%-58s  no samples\n", label);
        return;
    }
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    double sum = 0;
    for (double value : values)
        sum += value;
    printf("%-58s %8.2f %8.2f %8.2f %8.2f  (n=%u)\n", label, values.front(), median, sum / n, values.back(),
           (unsigned)n);
}

// The col01 interface of the simulated switch, as SetupDi names it.
std::wstring SwitchInterfacePath()
{
    std::vector<std::wstring> paths = SwitchInterfacePaths();
    return paths.empty() ? std::wstring() : paths.back();
}

// A process's memory and handles as Windows reports them, and as Linux sees
// the Wine process behind it (Wine fills neither private bytes nor the handle
// count of GetProcessHandleCount, hence the other two sources).
struct ProcessFigures
{
    double workingSetKb = 0, peakWorkingSetKb = 0, privateKb = 0;
    DWORD handles = 0, listedHandles = 0;
    std::string linuxStatus;  // "VmRSS ... kB, ..." or why it is missing
};

// /proc/<pid>/status of the Linux process running ORNAX.exe in this prefix:
// its command line names ORNAX.exe and its WINEPREFIX is ours.
std::string LinuxStatusOfProgram()
{
    wchar_t prefix[1024];
    DWORD length = GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024);
    if (!length || length >= 1024)
        return "no WINEPREFIX in the environment";
    std::string wantedPrefix = "WINEPREFIX=";
    for (DWORD i = 0; i < length; ++i)
        wantedPrefix += (char)prefix[i];
    wantedPrefix += '\0';

    std::string found;
    int matches = 0;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE)
        return "no /proc";
    do
    {
        if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9')
            continue;
        std::wstring folder = std::wstring(L"Z:\\proc\\") + entry.cFileName;
        std::string commandLine = ReadWholeFile(folder + L"\\cmdline");
        for (char &c : commandLine)
            c = (char)toupper((unsigned char)c);
        if (commandLine.find("ORNAX.EXE") == std::string::npos)
            continue;
        std::string environment = ReadWholeFile(folder + L"\\environ");
        if (environment.find(wantedPrefix) == std::string::npos)
            continue;
        ++matches;
        found = ReadWholeFile(folder + L"\\status");
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (matches != 1)
        return "found " + std::to_string(matches) + " Linux processes of ORNAX.exe";

    std::string figures;
    for (const char *field : {"VmRSS:", "VmHWM:", "RssAnon:", "VmSize:", "Threads:"})
    {
        size_t at = found.find(field);
        if (at == std::string::npos)
            continue;
        size_t end = found.find('\n', at);
        std::string line = found.substr(at, end - at);
        std::string compact;
        for (char c : line)
            if (c != '\t' && !(c == ' ' && (compact.empty() || compact.back() == ' ')))
                compact += c;
        figures += (figures.empty() ? "" : ", ") + compact;
    }
    return figures;
}

ProcessFigures MeasureProcess(DWORD processId)
{
    ProcessFigures figures;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        return figures;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&counters, sizeof(counters)))
    {
        figures.workingSetKb = counters.WorkingSetSize / 1024.0;
        figures.peakWorkingSetKb = counters.PeakWorkingSetSize / 1024.0;
        figures.privateKb = counters.PrivateUsage / 1024.0;
    }
    GetProcessHandleCount(process, &figures.handles);
    CloseHandle(process);
    figures.listedHandles = HandleCountOf(processId);
    figures.linuxStatus = LinuxStatusOfProgram();
    return figures;
}

void PrintProcess(const char *label, const ProcessFigures &figures)
{
    printf("%s\n", label);
    printf("  Windows: working set %.0f KiB, peak %.0f KiB, private %.0f KiB; handles %lu (GetProcessHandleCount), "
           "%lu (system handle list)\n",
           figures.workingSetKb, figures.peakWorkingSetKb, figures.privateKb, (unsigned long)figures.handles,
           (unsigned long)figures.listedHandles);
    printf("  Linux:   %s\n", figures.linuxStatus.c_str());
}

void PrintSizes(const std::wstring &dist)
{
    for (const wchar_t *pattern : {L"\\ORNAX.exe", L"\\*.DLL"})
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((dist + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do
            printf("size of dist\\%-20ls %8lu bytes\n", found.cFileName, (unsigned long)found.nFileSizeLow);
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
}

// When a Control key's release last reached a low-level hook of this
// process's own, on a thread of its own so that the polling below never
// holds it.
volatile double LastControlMs = -1;

LRESULT CALLBACK ControlWatch(int code, WPARAM wParam, LPARAM lParam)
{
    const KBDLLHOOKSTRUCT *key = (const KBDLLHOOKSTRUCT *)lParam;
    if (code == HC_ACTION && (wParam == WM_KEYUP) && (key->vkCode == VK_LCONTROL || key->vkCode == VK_CONTROL))
        LastControlMs = NowMs();
    return CallNextHookEx(NULL, code, wParam, lParam);
}

DWORD WINAPI ControlWatchThread(LPVOID)
{
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, ControlWatch, GetModuleHandleW(NULL), 0);
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0)
        DispatchMessageW(&message);
    UnhookWindowsHookEx(hook);
    return 0;
}

// ---- every key the user types passes through the program's hook ----------

// A low-level hook that does nothing: the floor that any hook pays.
LRESULT CALLBACK EmptyHook(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(NULL, code, wParam, lParam);
}

DWORD WINAPI EmptyHookThread(LPVOID)
{
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, EmptyHook, GetModuleHandleW(NULL), 0);
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0)
        DispatchMessageW(&message);
    UnhookWindowsHookEx(hook);
    return 0;
}

// Injects F24 (which no sequence uses) keys times into a focused window of
// this thread and returns, for each, the time from SendInput to its WM_KEYDOWN.
std::vector<double> KeyLatencies(int keys)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = L"OrnaxBenchKeys";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"OrnaxBenchKeys", L"keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 200, 100, NULL,
                                NULL, NULL, NULL);
    SetForegroundWindow(window);
    SetFocus(window);
    std::vector<double> latencies;
    for (int i = 0; i < keys; ++i)
    {
        for (bool up : {false, true})
        {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = VK_F24;
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            double start = NowMs();
            SendInput(1, &input, sizeof(input));
            UINT wanted = up ? WM_KEYUP : WM_KEYDOWN;
            MSG message;
            for (bool seen = false; !seen && NowMs() - start < Patience;)
            {
                if (!PeekMessageW(&message, NULL, 0, 0, PM_REMOVE))
                {
                    MsgWaitForMultipleObjects(0, NULL, FALSE, 100, QS_ALLINPUT);
                    continue;
                }
                if (message.hwnd == window && message.message == wanted && message.wParam == VK_F24)
                {
                    seen = true;
                    if (!up)
                        latencies.push_back(NowMs() - start);
                }
                DispatchMessageW(&message);
            }
        }
    }
    DestroyWindow(window);
    return latencies;
}

// How often the threads of a running program (NAME as in its command line)
// woke over seconds of idleness, per minute.
double WakeupsPerMinute(const char *name, int seconds)
{
    std::wstring script = Environment(L"BENCH_IDLE_SCRIPT");
    if (script.empty())
        Fail("set BENCH_IDLE_SCRIPT");
    std::string output = RunUnix("sh " + std::string(script.begin(), script.end()) + " " + name + " " +
                                     std::to_string(seconds),
                                 (DWORD)(seconds + 30) * 1000);
    if (output.empty() || !isdigit((unsigned char)output[0]))
        Fail("idle wake-ups could not be read");
    return atof(output.c_str()) * 60.0 / seconds;
}

void PrintWakeups(const char *label, double perMinute) { printf("%-58s %8.0f\n", label, perMinute); }

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Types Control twice with xdotool and returns the time from the second
// tap's release (a tap is reported at its release) to the report line, or -1.
double TypeControlTwice()
{
    Log.Mark();
    LastControlMs = -1;
    RunUnix("xdotool key ctrl sleep 0.1 key ctrl &");
    double seen = -1;
    if (!PollUntil([&] { return Log.Seen("01 06") && (seen = NowMs(), true); }, Patience))
        return -1;
    return seen - LastControlMs;
}

// Posts one command and returns the time to its report line, or -1.
double PostCommand(HWND window)
{
    Log.Mark();
    double start = NowMs();
    PostMessageW(window, WM_COMMAND, IdmSwitchAll, 0);
    double seen = -1;
    if (PollUntil([&] { return Log.Seen("01 06") && (seen = NowMs() - start, true); }, Patience))
        return seen;
    return -1;
}

// The times of runs posted commands to their report lines, 20 ms apart.
std::vector<double> PostedCommandLatencies(HWND window, int runs)
{
    std::vector<double> latencies;
    for (int i = 0; i < runs; ++i)
    {
        double seen = PostCommand(window);
        if (seen < 0)
            Fail("no 01 06 line after a posted command");
        latencies.push_back(seen);
        Sleep(20);
    }
    return latencies;
}


// Starts ORNAX.exe and waits for its window and its status report.
HWND StartProgramAndWait(const std::wstring &program, const std::wstring &dist, PROCESS_INFORMATION &process)
{
    Log.Mark();
    if (!Launch(program, dist, process))
        Fail("CreateProcess of ORNAX.exe");
    HWND window = NULL;
    if (!PollUntil([&] { return (window = ProgramWindow()) != NULL && Log.Seen("01 00"); }, Patience))
        Fail("ORNAX.exe did not start");
    return window;
}
}

// Lines of a file that hold a text.
long LinesWith(const std::wstring &path, const char *text)
{
    std::string content = ReadWholeFile(path);
    long count = 0;
    for (size_t at = 0; (at = content.find(text, at)) != std::string::npos; at += strlen(text))
        ++count;
    return count;
}

// A burst of device notices, as when the switch moves the keyboard and mouse:
// device-tree changes 20 ms apart. Wine's trace of setupapi counts the
// enumerations, one SetupDiGetClassDevsExW line each; the window's answers to
// WM_NULL meanwhile show how long it was busy.
void MeasureDeviceBurst(int notices)
{
    std::wstring distUnix = Environment(L"ORNAX_DIST_UNIX");
    const std::string trace = "/tmp/ornax-bench-setupapi.log";
    const std::wstring traceWindows = L"Z:\\tmp\\ornax-bench-setupapi.log";
    Log.Mark();
    RunUnix("rm -f " + trace + "; WINEDEBUG=trace+setupapi setsid wine '" +
            std::string(distUnix.begin(), distUnix.end()) + "/ORNAX.exe' </dev/null >/dev/null 2>" + trace + " &");
    HWND window = NULL;
    if (!PollUntil([&] { return (window = ProgramWindow()) != NULL && Log.Seen("01 00"); }, Patience))
        Fail("ORNAX.exe with setupapi's trace did not start");
    Sleep(1500);
    long enumerationsBefore = LinesWith(traceWindows, "SetupDiGetClassDevsExW");
    long reportsBefore = Log.matched;
    std::vector<double> noticeCalls;
    for (int i = 0; i < notices; ++i)
    {
        double start = NowMs();
        SendMessageW(window, WM_DEVICECHANGE, 7 /* DBT_DEVNODES_CHANGED */, 0);
        noticeCalls.push_back(NowMs() - start);
        Sleep(20);
    }
    double lastNotice = NowMs(), reportAfter = -1, longestWait = 0;
    while (NowMs() - lastNotice < 1500)
    {
        DWORD_PTR answer;
        double start = NowMs();
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, Patience, &answer);
        longestWait = std::max(longestWait, NowMs() - start);
        if (Log.Seen("01 00") && reportAfter < 0)
            reportAfter = NowMs() - lastNotice;
        Sleep(2);
    }
    char label[96];
    snprintf(label, sizeof(label), "burst of %d device-tree changes: notice handled in", notices);
    PrintFigures(label, noticeCalls);
    printf("%-58s %8ld\n", "  status reports it made", Log.matched - reportsBefore);
    printf("%-58s %8ld\n", "  HID enumerations it made",
           LinesWith(traceWindows, "SetupDiGetClassDevsExW") - enumerationsBefore);
    printf("%-58s %8.2f\n", "  last notice -> report (ms)", reportAfter);
    printf("%-58s %8.2f\n", "  window busy at most, answering WM_NULL (ms)", longestWait);
    fflush(stdout);
    PostMessageW(window, WM_COMMAND, IdmExit, 0);
    PollUntil([] { return ProgramWindow() == NULL; }, Patience);
}

int main(int argc, char **argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 20;
    if (runs < 1)
        runs = 20;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    TicksPerMs = frequency.QuadPart / 1000.0;

    std::wstring dist = Environment(L"ORNAX_DIST");
    if (dist.empty() || Environment(L"SWITCHSIM_DIR").empty())
        Fail("set ORNAX_DIST and SWITCHSIM_DIR");
    std::wstring program = dist + L"\\ORNAX.exe";
    std::wstring minimal = OwnFolder() + L"\\minimal.exe";

    // No program left from before; the switch plugged and its broadcasts past.
    for (int tries = 0; tries < 10 && ProgramWindow(); ++tries)
    {
        PostMessageW(ProgramWindow(), WM_COMMAND, IdmExit, 0);
        Sleep(500);
    }
    if (ProgramWindow())
        Fail("an ORNAX.exe from before does not end");
    if (SimUnplug(NULL) != 0)
        Fail("unplug");
    SimDevice device;
    SimDeviceInit(&device, 0x7A3C, 0x5C02, 0x0100);
    if (SimPlug(&device) != 0)
        Fail("plug");
    Sleep(1000);
    if (SimLogClear() != 0 || !Log.Open())
        Fail("log");
    std::wstring switchPath = SwitchInterfacePath();
    if (switchPath.empty())
        Fail("no col01 interface of the simulated switch");

    printf("ornaxbench: %d runs, polling every %lu ms; times in ms: min median mean max\n", runs,
           (unsigned long)PollMs);
    fflush(stdout);

    // Start-up, each run: ORNAX.exe to its window and to its status report,
    // its end, then minimal.exe to its window.
    std::vector<double> createCall, toWindow, toReport, toExit, minimalWindow;
    long badExits = 0;
    for (int run = 0; run < runs; ++run)
    {
        PROCESS_INFORMATION process;
        Log.Mark();
        double start = NowMs();
        if (!Launch(program, dist, process))
            Fail("CreateProcess of ORNAX.exe");
        createCall.push_back(NowMs() - start);
        double window = -1, report = -1;
        HWND found = NULL;
        bool both = PollUntil(
            [&] {
                if (window < 0 && (found = ProgramWindow()) != NULL)
                    window = NowMs() - start;
                if (report < 0 && Log.Seen("01 00"))
                    report = NowMs() - start;
                return window >= 0 && report >= 0;
            },
            Patience);
        if (!both)
            Fail("ORNAX.exe's window or status report did not come");
        toWindow.push_back(window);
        toReport.push_back(report);
        double ending = NowMs();
        if (EndProcess(process, found, WM_COMMAND, IdmExit) != 0)
            ++badExits;
        toExit.push_back(NowMs() - ending);

        start = NowMs();
        if (!Launch(minimal, OwnFolder(), process))
            Fail("CreateProcess of minimal.exe");
        found = NULL;
        if (!PollUntil([&] { return (found = FindWindowW(L"OrnaxBenchMinimal", NULL)) != NULL; }, Patience))
            Fail("minimal.exe's window did not come");
        minimalWindow.push_back(NowMs() - start);
        if (EndProcess(process, found, WM_CLOSE, 0) != 0)
            ++badExits;
    }
    PrintFigures("ORNAX.exe CreateProcessW call", createCall);
    PrintFigures("ORNAX.exe start -> window exists", toWindow);
    PrintFigures("ORNAX.exe start -> status report (01 00) in log", toReport);
    PrintFigures("ORNAX.exe exit command 105 -> process ended", toExit);
    PrintFigures("minimal.exe start -> window exists (floor)", minimalWindow);
    fflush(stdout);

    // Keys: no hook at all, then an empty hook of this process's own.
    const int keys = 300;
    std::vector<double> noHook = KeyLatencies(keys);
    DWORD emptyHookThreadId;
    HANDLE emptyHook = CreateThread(NULL, 0, EmptyHookThread, NULL, 0, &emptyHookThreadId);
    Sleep(200);
    std::vector<double> withEmptyHook = KeyLatencies(keys);
    PostThreadMessageW(emptyHookThreadId, WM_QUIT, 0, 0);
    WaitForSingleObject(emptyHook, Patience);
    CloseHandle(emptyHook);

    // Idle: a program that waits for nothing should not wake at all. The
    // floor is a hidden window with an empty hook and no timer.
    const int idleSeconds = 30;
    {
        PROCESS_INFORMATION floorProcess;
        if (!Launch(minimal, OwnFolder(), floorProcess, L" hook"))
            Fail("CreateProcess of minimal.exe");
        HWND found = NULL;
        if (!PollUntil([&] { return (found = FindWindowW(L"OrnaxBenchMinimal", NULL)) != NULL; }, Patience))
            Fail("minimal.exe's window did not come");
        Sleep(2000);
        PrintWakeups("idle: wake-ups a minute, minimal.exe + empty hook (floor)",
                     WakeupsPerMinute("minimal.exe", idleSeconds));
        fflush(stdout);
        if (EndProcess(floorProcess, found, WM_CLOSE, 0) != 0)
            ++badExits;
    }

    // One instance for latency and steady state.
    PROCESS_INFORMATION process;
    HWND window = StartProgramAndWait(program, dist, process);
    Sleep(500);
    ProcessFigures afterStart = MeasureProcess(process.dwProcessId);
    Sleep(1500);
    PrintWakeups("idle: wake-ups a minute, ORNAX.exe, hotkeys on", WakeupsPerMinute("ORNAX.exe", idleSeconds));
    fflush(stdout);

    std::vector<double> withProgram = KeyLatencies(keys);
    PrintFigures("key: SendInput -> WM_KEYDOWN, no hook", noHook);
    PrintFigures("key: SendInput -> WM_KEYDOWN, an empty low-level hook", withEmptyHook);
    PrintFigures("key: SendInput -> WM_KEYDOWN, ORNAX.exe running", withProgram);
    printf("%-58s %8.2f\n", "key: ORNAX.exe's median / the empty hook's median",
           Median(withEmptyHook) > 0 ? Median(withProgram) / Median(withEmptyHook) : 0.0);
    fflush(stdout);

    PrintFigures("posted WM_COMMAND 32773 -> 01 06 in log", PostedCommandLatencies(window, runs));
    fflush(stdout);

    DWORD controlWatchId;
    HANDLE controlWatch = CreateThread(NULL, 0, ControlWatchThread, NULL, 0, &controlWatchId);
    Sleep(200);
    std::vector<double> hotkey;
    for (int i = 0; i < runs; ++i)
    {
        double seen = TypeControlTwice();
        if (seen < 0)
            Fail("no 01 06 line after Control, Control typed");
        hotkey.push_back(seen);
        Sleep(600);
    }
    PrintFigures("hotkey: second Control's release (xdotool) -> 01 06 in log", hotkey);
    fflush(stdout);
    // Its own hook would be counted in every key measured later.
    PostThreadMessageW(controlWatchId, WM_QUIT, 0, 0);
    WaitForSingleObject(controlWatch, (DWORD)Patience);
    CloseHandle(controlWatch);

    for (int i = 0; i < CommandsForMemory; ++i)
        if (PostCommand(window) < 0)
            Fail("no 01 06 line after a posted command");
    Sleep(500);
    ProcessFigures afterCommands = MeasureProcess(process.dwProcessId);
    if (EndProcess(process, window, WM_COMMAND, IdmExit) != 0)
        ++badExits;

    // Hotkeys off: no hook at all, so keys cost what they cost without one.
    {
        const wchar_t *settingsKey = L"Software\\Quorvik\\Swivo";
        DWORD off = 0;
        WriteRegistryData(HKEY_CURRENT_USER, settingsKey, L"EnableKeys", REG_DWORD, &off, sizeof(off));
        PROCESS_INFORMATION offProcess;
        HWND offWindow = StartProgramAndWait(program, dist, offProcess);
        Sleep(2000);
        PrintWakeups("idle: wake-ups a minute, ORNAX.exe, hotkeys off", WakeupsPerMinute("ORNAX.exe", idleSeconds));
        PrintFigures("key: SendInput -> WM_KEYDOWN, ORNAX.exe, hotkeys off", KeyLatencies(keys));
        fflush(stdout);
        if (EndProcess(offProcess, offWindow, WM_COMMAND, IdmExit) != 0)
            ++badExits;
        DeleteRegistryTree(HKEY_CURRENT_USER, settingsKey);
    }

    // The floor: this process opens the known interface, writes, closes.
    std::vector<double> bareCalls, bareToLog;
    for (int i = 0; i < runs; ++i)
    {
        Log.Mark();
        double start = NowMs();
        HANDLE handle = CreateFileW(switchPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    NULL, OPEN_EXISTING, 0, NULL);
        if (handle == INVALID_HANDLE_VALUE)
            Fail("open of the switch interface");
        BYTE report[2] = {0x01, 0x06};
        DWORD written = 0;
        WriteFile(handle, report, sizeof(report), &written, NULL);
        CloseHandle(handle);
        bareCalls.push_back(NowMs() - start);
        if (!PollUntil([] { return Log.Seen("01 06"); }, Patience))
            Fail("no 01 06 line after a bare write");
        bareToLog.push_back(NowMs() - start);
        Sleep(20);
    }
    PrintFigures("bare CreateFileW+WriteFile+CloseHandle, calls alone", bareCalls);
    PrintFigures("bare CreateFileW+WriteFile+CloseHandle -> log (floor)", bareToLog);

    // The program's own full path, linked in: enumerate, open, caps, write, close.
    OsVersion.dwOSVersionInfoSize = sizeof(OsVersion);
    GetVersionExW(&OsVersion);
    MuteState.Value = 0;
    std::vector<double> fullCalls, fullToLog;
    for (int i = 0; i < runs; ++i)
    {
        Log.Mark();
        double start = NowMs();
        SendSwitchCommand(SWITCH_ALL);
        fullCalls.push_back(NowMs() - start);
        if (!PollUntil([] { return Log.Seen("01 06"); }, Patience))
            Fail("no 01 06 line after SendSwitchCommand");
        fullToLog.push_back(NowMs() - start);
        Sleep(20);
    }
    PrintFigures("SendSwitchCommand (enumerate+open+caps+write+close) call", fullCalls);
    PrintFigures("SendSwitchCommand -> log", fullToLog);

    // A command's cost as the machine has more HID devices: each command
    // enumerates every present HID interface. Then a held switch.
    window = StartProgramAndWait(program, dist, process);
    int plugged = 0;
    for (int others : {0, 16, 64})
    {
        for (; plugged < others; ++plugged)
        {
            SimDevice other;
            SimDeviceInit(&other, 0x1234, (unsigned short)(0x1000 + plugged), 0x0100);
            other.col1Only = 1;
            if (SimPlug(&other) != 0)
                Fail("plug of another HID device");
        }
        Sleep(3000);  // the device broadcasts and their status reports pass
        char scaledLabel[80];
        snprintf(scaledLabel, sizeof(scaledLabel), "posted command -> 01 06, %d other HID devices", others);
        PrintFigures(scaledLabel, PostedCommandLatencies(window, runs));
        fflush(stdout);
    }
    // A held switch: how long a command keeps the window busy when the
    // switch takes no report (the write is given up after about a second),
    // and when an earlier write is still pending (the command is dropped).
    // The command is sent, not posted, so that its return marks its end.
    std::vector<double> heldFirst, heldPending;
    for (int i = 0; i < (runs < 5 ? runs : 5); ++i)
    {
        SimHold(2);
        Log.Mark();
        DWORD_PTR answer;
        for (std::vector<double> *figures : {&heldFirst, &heldPending})
        {
            double start = NowMs();
            if (!SendMessageTimeoutW(window, WM_COMMAND, IdmSwitchAll, 0, SMTO_NORMAL, Patience, &answer))
                Fail("the window did not answer while the switch held a report");
            figures->push_back(NowMs() - start);
        }
        SimHold(0);
        if (!PollUntil([] { return Log.Seen("01 06"); }, Patience))
            Fail("the held report was not taken after the hold was lifted");
    }
    PrintFigures("held switch: command given up, window busy for", heldFirst);
    PrintFigures("held switch: command while one is pending, busy for", heldPending);
    if (EndProcess(process, window, WM_COMMAND, IdmExit) != 0)
        ++badExits;

    MeasureDeviceBurst(12);

    PrintSizes(dist);
    PrintProcess("ORNAX.exe after start-up:", afterStart);
    char label[64];
    snprintf(label, sizeof(label), "ORNAX.exe after %d more commands:", runs + CommandsForMemory);
    PrintProcess(label, afterCommands);
    printf("poll period: mean %.2f ms over %ld polls (Sleep(%lu))\n", PollCount ? PollTotalMs / PollCount : 0.0,
           PollCount, (unsigned long)PollMs);
    printf("unexpected log lines: %ld; non-zero exit codes: %ld\n", Log.unexpected, badExits);
    fflush(stdout);
    SimUnplug(NULL);
    return Log.unexpected || badExits ? 1 : 0;
}

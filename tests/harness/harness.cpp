// End-to-end helpers; see harness.h.
#include "harness.h"

#include <tlhelp32.h>
#include <setupapi.h>
#include <cwctype>
extern "C" {
#include <hidsdi.h>
}
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <atomic>
#include <map>
#include <set>

static std::wstring EnvironmentValue(const wchar_t *name)
{
    wchar_t buffer[2048];
    DWORD length = GetEnvironmentVariableW(name, buffer, 2048);
    return length && length < 2048 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring EnvironmentOf(const wchar_t *name) { return EnvironmentValue(name); }
std::wstring DistFolder() { return EnvironmentValue(L"ORNAX_DIST"); }
std::wstring ProgramPath() { return DistFolder() + L"\\ORNAX.exe"; }

// ---- the program ----------------------------------------------------------

static std::vector<wchar_t> EnvironmentBlockWith(const std::vector<std::wstring> &changes)
{
    std::vector<std::wstring> entries;
    wchar_t *block = GetEnvironmentStringsW();
    for (wchar_t *entry = block; *entry; entry += wcslen(entry) + 1)
        entries.push_back(entry);
    FreeEnvironmentStringsW(block);
    for (const std::wstring &change : changes)
    {
        std::wstring name = change.substr(0, change.find(L'=') + 1);
        for (auto it = entries.begin(); it != entries.end();)
            it = _wcsnicmp(it->c_str(), name.c_str(), name.size()) == 0 ? entries.erase(it) : it + 1;
        entries.push_back(change);
    }
    std::vector<wchar_t> result;
    for (const std::wstring &entry : entries)
    {
        result.insert(result.end(), entry.begin(), entry.end());
        result.push_back(0);
    }
    result.push_back(0);
    return result;
}

ProgramRun StartProgram(const std::wstring &arguments, const std::vector<std::wstring> &environment,
                        const std::wstring &folder)
{
    ProgramRun run;
    std::wstring commandLine = L"\"" + folder + L"\\ORNAX.exe\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    std::vector<wchar_t> block;
    if (!environment.empty())
        block = EnvironmentBlockWith(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    run.started = CreateProcessW(NULL, line.data(), NULL, NULL, FALSE, CREATE_UNICODE_ENVIRONMENT,
                                 block.empty() ? NULL : block.data(), folder.c_str(), &startup, &run.process) != 0;
    return run;
}

ProgramRun StartProgramFromLinux(const std::string &assignments, DWORD timeoutMs)
{
    ProgramRun run;
    wchar_t distUnix[1024];
    DWORD length = GetEnvironmentVariableW(L"ORNAX_DIST_UNIX", distUnix, 1024);
    if (!length || length >= 1024)
        return run;
    std::wstring dist(distUnix);
    RunUnix(assignments + " setsid wine '" + std::string(dist.begin(), dist.end()) +
            "/ORNAX.exe' </dev/null >/dev/null 2>&1 &");
    HWND window = WaitForProgramWindow(timeoutMs);
    DWORD processId = 0;
    if (window)
        GetWindowThreadProcessId(window, &processId);
    run.process.hProcess = processId ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId) : NULL;
    run.process.dwProcessId = processId;
    run.started = run.process.hProcess != NULL;
    return run;
}

std::string RunToOutput(const std::wstring &commandLine, const std::vector<std::wstring> &environment)
{
    wchar_t temp[MAX_PATH], file[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetTempFileNameW(temp, L"out", 0, file);
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), NULL, TRUE};
    HANDLE output = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, NULL);
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    std::vector<wchar_t> block = EnvironmentBlockWith(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process;
    if (CreateProcessW(NULL, line.data(), NULL, NULL, TRUE, CREATE_UNICODE_ENVIRONMENT, block.data(), NULL, &startup,
                       &process))
    {
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(output);
    std::string text = ReadWholeFile(file);
    DeleteFileW(file);
    return text;
}

long WaitForExit(ProgramRun &run, DWORD timeoutMs)
{
    if (!run.started)
        return -1;
    if (WaitForSingleObject(run.process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(run.process.hProcess, &code);
    return (long)code;
}

void CloseRun(ProgramRun &run)
{
    if (!run.started)
        return;
    CloseHandle(run.process.hProcess);
    if (run.process.hThread)
        CloseHandle(run.process.hThread);
    run.started = false;
}

long RunProgramToEnd(const std::wstring &arguments, DWORD timeoutMs)
{
    ProgramRun run = StartProgram(arguments);
    long code = WaitForExit(run, timeoutMs);
    CloseRun(run);
    return code;
}

HWND FindProgramWindow() { return FindWindowW(L"ORNAX", L"ORNAX"); }

template <typename Check> static bool WaitUntil(Check check, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;)
    {
        if (check())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

HWND WaitForProgramWindow(DWORD timeoutMs)
{
    HWND window = NULL;
    WaitUntil([&] { return (window = FindProgramWindow()) != NULL; }, timeoutMs);
    return window;
}

bool WaitForNoProgramWindow(DWORD timeoutMs)
{
    return WaitUntil([] { return FindProgramWindow() == NULL; }, timeoutMs);
}

static BOOL CALLBACK CountWindow(HWND window, LPARAM count)
{
    wchar_t className[64];
    if (GetClassNameW(window, className, 64) && wcscmp(className, L"ORNAX") == 0)
        ++*(int *)count;
    return TRUE;
}

int CountProgramWindows()
{
    int count = 0;
    EnumWindows(CountWindow, (LPARAM)&count);
    return count;
}

namespace
{
// An entry of the system handle list (NtQuerySystemInformation class 16).
struct HandleEntry
{
    ULONG ownerPid;
    BYTE objectType, flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
typedef LONG(WINAPI *QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);
}

DWORD HandleCountOf(DWORD processId)
{
    auto query = (QuerySystemInformation)(void (*)(void))GetProcAddress(GetModuleHandleW(L"ntdll.dll"),
                                                                        "NtQuerySystemInformation");
    if (!query)
        return 0;
    std::vector<BYTE> buffer(1 << 16);
    LONG status;
    while ((status = query(16, buffer.data(), (ULONG)buffer.size(), NULL)) == (LONG)0xC0000004 &&
           buffer.size() < (64u << 20))
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return 0;
    ULONG count = *(const ULONG *)buffer.data();
    const HandleEntry *entries = (const HandleEntry *)(buffer.data() + sizeof(ULONG));
    DWORD owned = 0;
    for (ULONG i = 0; i < count && sizeof(ULONG) + (i + 1) * sizeof(HandleEntry) <= buffer.size(); ++i)
        if (entries[i].ownerPid == processId)
            ++owned;
    return owned;
}

static std::vector<DWORD> ProgramProcessIds()
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"ORNAX.exe") == 0)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

void EndStrayPrograms()
{
    for (HWND window = FindProgramWindow(); window; window = FindProgramWindow())
    {
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (!WaitUntil([&] { return !IsWindow(window); }, 3000))
            break;
    }
    for (DWORD id : ProgramProcessIds())
    {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process)
            continue;
        if (WaitForSingleObject(process, 2000) != WAIT_OBJECT_0)
        {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
}

// ---- debug output (DBWIN) -------------------------------------------------

namespace
{
struct DebugCapture
{
    HANDLE buffer = NULL, bufferReady = NULL, dataReady = NULL;
    const char *view = nullptr;
    std::thread reader;
    std::atomic<bool> running{false};
    std::mutex lock;
    std::vector<std::wstring> lines;
};
DebugCapture Capture;
}

void StartDebugCapture()
{
    StopDebugCapture();
    Capture.lines.clear();
    Capture.bufferReady = CreateEventW(NULL, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    Capture.dataReady = CreateEventW(NULL, FALSE, FALSE, L"DBWIN_DATA_READY");
    Capture.buffer = CreateFileMappingW(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
    if (!Capture.bufferReady || !Capture.dataReady || !Capture.buffer)
        return;
    Capture.view = (const char *)MapViewOfFile(Capture.buffer, FILE_MAP_READ, 0, 0, 4096);
    if (!Capture.view)
        return;
    Capture.running = true;
    Capture.reader = std::thread([] {
        SetEvent(Capture.bufferReady);
        while (Capture.running)
        {
            if (WaitForSingleObject(Capture.dataReady, 100) != WAIT_OBJECT_0)
                continue;
            // A DWORD process id, then the text in the system's ANSI code page.
            std::string text(Capture.view + sizeof(DWORD), strnlen(Capture.view + sizeof(DWORD), 4096 - sizeof(DWORD)));
            {
                std::lock_guard<std::mutex> guard(Capture.lock);
                Capture.lines.push_back(std::wstring(text.begin(), text.end()));
            }
            SetEvent(Capture.bufferReady);
        }
    });
}

void StopDebugCapture()
{
    if (Capture.running)
    {
        Capture.running = false;
        Capture.reader.join();
    }
    if (Capture.view)
        UnmapViewOfFile(Capture.view);
    for (HANDLE *handle : {&Capture.buffer, &Capture.bufferReady, &Capture.dataReady})
        if (*handle)
            CloseHandle(*handle), *handle = NULL;
    Capture.view = nullptr;
}

std::vector<std::wstring> CapturedDebugLines()
{
    std::lock_guard<std::mutex> guard(Capture.lock);
    return Capture.lines;
}

bool WaitForDebugLine(const std::wstring &line, DWORD timeoutMs)
{
    return WaitUntil(
        [&] {
            for (const std::wstring &captured : CapturedDebugLines())
                if (captured == line)
                    return true;
            return false;
        },
        timeoutMs);
}

// ---- registry -------------------------------------------------------------

void SetProgramWindowsVersion(const wchar_t *version)
{
    const wchar_t *key = L"Software\\Wine\\AppDefaults\\ORNAX.exe";
    if (!version)
    {
        HKEY handle;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &handle) == ERROR_SUCCESS)
        {
            RegDeleteValueW(handle, L"Version");
            RegCloseKey(handle);
        }
        return;
    }
    WriteRegistryString(HKEY_CURRENT_USER, key, L"Version", version);
}

bool WriteRegistryData(HKEY root, const std::wstring &key, const std::wstring &name, DWORD type, const void *data,
                       DWORD size)
{
    HKEY handle;
    if (RegCreateKeyExW(root, key.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &handle, NULL) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExW(handle, name.c_str(), 0, type, (const BYTE *)data, size) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return ok;
}

std::wstring ReadRegistryString(HKEY root, const std::wstring &key, const std::wstring &name)
{
    wchar_t value[1024] = L"";
    DWORD size = sizeof(value);
    if (RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, NULL, value, &size) != ERROR_SUCCESS)
        return std::wstring();
    return value;
}

bool WriteRegistryBinary(HKEY root, const std::wstring &key, const std::wstring &name, const void *data, DWORD size)
{
    return WriteRegistryData(root, key, name, REG_BINARY, data, size);
}

bool WriteRegistryString(HKEY root, const std::wstring &key, const std::wstring &name, const std::wstring &value)
{
    return WriteRegistryData(root, key, name, REG_SZ, value.c_str(), (DWORD)((value.size() + 1) * sizeof(wchar_t)));
}

void DeleteRegistryTree(HKEY root, const std::wstring &key) { RegDeleteTreeW(root, key.c_str()); }

// ---- messages and keys ----------------------------------------------------

void PumpMessages(DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;)
    {
        MSG message;
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, NULL, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

void InjectKey(WORD vk, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = (WORD)MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (vk == VK_RMENU || vk == VK_RCONTROL)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    SendInput(1, &input, sizeof(input));
    WaitUntil([&] { return ((GetAsyncKeyState(vk) & 0x8000) != 0) != up; }, 2000);
}

HookRecord ReadHookRecord()
{
    static volatile LONG *record;
    if (!record)
    {
        HANDLE mapping =
            CreateFileMappingW(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(HookRecord), L"TessaroHookTestState");
        if (mapping)
            record = (volatile LONG *)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    }
    if (!record)
        return HookRecord{-1, -1, -1};
    return HookRecord{record[0], record[1], record[2]};
}

// ---- the simulated sound mixer ---------------------------------------------

bool UseMixerStandIn(bool on)
{
    const wchar_t *key = L"Software\\Wine\\AppDefaults\\ORNAX.exe\\DllOverrides";
    if (!on)
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, key);
        return true;
    }
    wchar_t target[MAX_PATH];
    GetSystemDirectoryW(target, MAX_PATH);
    lstrcatW(target, L"\\winmm.dll");
    std::wstring source = EnvironmentValue(L"MIXERSIM_DIR") + L"\\winmm.dll";
    return CopyFileW(source.c_str(), target, FALSE) && WriteRegistryString(HKEY_CURRENT_USER, key, L"winmm", L"native");
}

bool UseEndpointStandIn(bool on)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring library = std::wstring(system) + L"\\mmdevapi.dll";
    std::wstring winesOwn = library + L".wine";
    const wchar_t *key = L"Software\\Wine\\AppDefaults\\ORNAX.exe\\DllOverrides";
    // Wine's own is kept aside once, and put back from there.
    if (GetFileAttributesW(winesOwn.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !CopyFileW(library.c_str(), winesOwn.c_str(), TRUE))
        return false;
    if (!on)
    {
        HKEY overrides;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &overrides) == ERROR_SUCCESS)
        {
            RegDeleteValueW(overrides, L"mmdevapi");
            RegCloseKey(overrides);
        }
        return CopyFileW(winesOwn.c_str(), library.c_str(), FALSE) != 0;
    }
    std::wstring source = EnvironmentValue(L"MMDEVSIM_DIR") + L"\\mmdevapi.dll";
    return CopyFileW(source.c_str(), library.c_str(), FALSE) &&
           WriteRegistryString(HKEY_CURRENT_USER, key, L"mmdevapi", L"native");
}

// ---- the simulated switch -------------------------------------------------

bool PlugSwitch(unsigned short productId, unsigned short version, unsigned outputLength, const wchar_t *instance,
                Collections collections, unsigned writeDelayMs)
{
    SimDevice device;
    SimDeviceInit(&device, 0x7A3C, productId, version);
    device.outputLength = outputLength;
    device.col1Only = collections == FirstCollectionOnly;
    device.col2Only = collections == SecondCollectionOnly;
    device.instance = instance;
    device.writeDelayMs = writeDelayMs;
    if (SimPlug(&device) != 0)
    {
        fprintf(stderr, "plug failed: %s\n", SimLastError());
        return false;
    }
    return true;
}

bool UnplugSwitches() { return SimUnplug(NULL) == 0; }

int WineMajorVersion()
{
    auto version = (const char *(CDECL *)(void))(void (*)(void))GetProcAddress(GetModuleHandleW(L"ntdll.dll"),
                                                                               "wine_get_version");
    return version ? atoi(version()) : 0;
}

std::vector<std::wstring> HidInterfacePaths()
{
    std::vector<std::wstring> paths;
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO set = SetupDiGetClassDevsW(&hidGuid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return paths;
    SP_DEVICE_INTERFACE_DATA data;
    data.cbSize = sizeof(data);
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, NULL, &hidGuid, index, &data); ++index)
    {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, NULL, 0, &size, NULL);
        std::vector<BYTE> buffer(size + sizeof(wchar_t));
        auto detail = (PSP_DEVICE_INTERFACE_DETAIL_DATA_W)buffer.data();
        detail->cbSize = sizeof(*detail);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, NULL, NULL))
            continue;
        paths.push_back(detail->DevicePath);
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

std::vector<std::wstring> SwitchInterfacePaths()
{
    std::vector<std::wstring> paths;
    for (const std::wstring &path : HidInterfacePaths())
    {
        std::wstring upper = path;
        for (wchar_t &c : upper)
            c = (wchar_t)towupper(c);
        if (upper.find(L"VID_7A3C&PID_5C02&COL01") != std::wstring::npos ||
            upper.find(L"VID_7A3C&PID_5C01&COL01") != std::wstring::npos)
            paths.push_back(path);
    }
    return paths;
}

std::string SwitchLog()
{
    static char buffer[1 << 16];
    if (SimLogRead(buffer, sizeof(buffer)) != 0)
        return std::string();
    return buffer;
}

bool WaitForSwitchLog(const std::string &line, DWORD timeoutMs) { return SimLogWait(line.c_str(), timeoutMs) == 0; }

std::vector<std::string> SwitchLogLines()
{
    std::vector<std::string> lines;
    std::string log = SwitchLog();
    size_t start = 0;
    while (start < log.size())
    {
        size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        std::string line = log.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> SettledSwitchLog(DWORD quietMs, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    std::string last = SwitchLog();
    DWORD changed = GetTickCount();
    while (GetTickCount() - start < timeoutMs && GetTickCount() - changed < quietMs)
    {
        Sleep(25);
        std::string now = SwitchLog();
        if (now != last)
        {
            last = now;
            changed = GetTickCount();
        }
    }
    return SwitchLogLines();
}

std::string ReportLine(const char *bytes, unsigned short productId, const char *instance)
{
    char line[160];
    snprintf(line, sizeof(line), "ROOT\\VID_7A3C&PID_%04X&COL01\\%s %s", productId, instance, bytes);
    return line;
}

// ---- Linux side: xdotool, screenshots ------------------------------------

static std::wstring WindowsFormOf(const std::string &linuxPath)
{
    std::wstring path = L"Z:" + std::wstring(linuxPath.begin(), linuxPath.end());
    for (wchar_t &c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

std::string ReadWholeFile(const std::wstring &path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0,
                              NULL);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD got;
    while (ReadFile(file, buffer, sizeof(buffer), &got, NULL) && got)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

std::string RunUnix(const std::string &commandLine, DWORD timeoutMs)
{
    // Wine starts Linux programs but gives no waitable handle for them: the
    // shell leaves a status file when the command is done.
    static unsigned sequence = 0;
    std::string base = "/tmp/ornax-unixrun-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++sequence);
    std::string line = "/bin/sh -c \"PATH=/usr/bin:/bin:/usr/local/bin; " + commandLine + " >" + base +
                       ".out 2>&1; echo $? >" + base + ".tmp; mv " + base + ".tmp " + base + ".rc\"";
    std::wstring wide(line.begin(), line.end());
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return std::string();
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    std::wstring statusFile = WindowsFormOf(base + ".rc"), outputFile = WindowsFormOf(base + ".out");
    WaitUntil([&] { return GetFileAttributesW(statusFile.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs);
    std::string output = ReadWholeFile(outputFile);
    _wremove(statusFile.c_str());
    _wremove(outputFile.c_str());
    return output;
}

void ClickAt(int x, int y, int button, int repeat)
{
    char command[200];
    snprintf(command, sizeof(command), "xdotool mousemove %d %d sleep 0.1 click --repeat %d --delay 80 %d", x, y,
             repeat, button);
    RunUnix(command);
}

void MovePointer(int x, int y)
{
    char command[100];
    snprintf(command, sizeof(command), "xdotool mousemove %d %d", x, y);
    RunUnix(command);
}

bool TakeScreenshot(const std::string &linuxPath)
{
    RunUnix("import -window root '" + linuxPath + "'");
    std::wstring windowsPath = WindowsFormOf(linuxPath);
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(windowsPath.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 0;
}

std::vector<COLORREF> ScreenArea(int x, int y, int width, int height)
{
    std::vector<COLORREF> pixels;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY);
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            pixels.push_back(GetPixel(memory, column, row));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return pixels;
}

std::wstring WindowTextOf(HWND window)
{
    wchar_t text[512] = {0};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &result);
    return text;
}

namespace
{
struct VisibleSearch
{
    const wchar_t *className;
    HWND found;
};
}

static BOOL CALLBACK FindVisible(HWND window, LPARAM parameter)
{
    VisibleSearch *search = (VisibleSearch *)parameter;
    wchar_t className[128];
    if (IsWindowVisible(window) && GetClassNameW(window, className, 128) && wcscmp(className, search->className) == 0)
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindVisibleWindow(const wchar_t *className)
{
    VisibleSearch search{className, NULL};
    EnumWindows(FindVisible, (LPARAM)&search);
    return search.found;
}

HWND WaitForVisibleWindow(const wchar_t *className, DWORD timeoutMs)
{
    HWND window = NULL;
    WaitUntil([&] { return (window = FindVisibleWindow(className)) != NULL; }, timeoutMs);
    return window;
}

bool WaitForNoVisibleWindow(const wchar_t *className, DWORD timeoutMs)
{
    return WaitUntil([&] { return FindVisibleWindow(className) == NULL; }, timeoutMs);
}

HWND WaitForDialog(const wchar_t *caption, DWORD timeoutMs)
{
    HWND dialog = NULL;
    WaitUntil([&] { return (dialog = FindWindowW(L"#32770", caption)) != NULL && IsWindowVisible(dialog); },
              timeoutMs);
    return dialog && IsWindowVisible(dialog) ? dialog : NULL;
}

namespace
{
struct DialogCount
{
    DWORD processId;
    int count;
};
}

static BOOL CALLBACK CountDialog(HWND window, LPARAM parameter)
{
    DialogCount *search = (DialogCount *)parameter;
    wchar_t className[16];
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && GetClassNameW(window, className, 16) &&
        wcscmp(className, L"#32770") == 0)
        ++search->count;
    return TRUE;
}

int CountDialogsOf(DWORD processId)
{
    DialogCount search{processId, 0};
    EnumWindows(CountDialog, (LPARAM)&search);
    return search.count;
}

void ClickWindow(HWND window)
{
    RECT rect;
    if (GetWindowRect(window, &rect))
        ClickAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

// ---- files and modules ----------------------------------------------------

std::map<std::wstring, std::string> FilesOf(const std::wstring &folder)
{
    std::map<std::wstring, std::string> files;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files[found.cFileName] = ReadWholeFile(folder + L"\\" + found.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return files;
}

std::vector<ModuleExport> ExportsOf(HMODULE module)
{
    std::vector<ModuleExport> found;
    const BYTE *base = (const BYTE *)module;
    auto nt = (const IMAGE_NT_HEADERS *)(base + ((const IMAGE_DOS_HEADER *)base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto exports = (const IMAGE_EXPORT_DIRECTORY *)(base + directory.VirtualAddress);
    auto names = (const DWORD *)(base + exports->AddressOfNames);
    auto ordinals = (const WORD *)(base + exports->AddressOfNameOrdinals);
    auto functions = (const DWORD *)(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    {
        DWORD address = functions[ordinals[i]];
        found.push_back({(const char *)(base + names[i]),
                         address >= directory.VirtualAddress && address < directory.VirtualAddress + directory.Size,
                         address == 0});
    }
    return found;
}

// The functions a PE file imports by name.
std::set<std::string> ImportsOf(const std::wstring &path, std::set<std::string> *modules)
{
    std::set<std::string> names;
    HMODULE image = LoadLibraryExW(path.c_str(), NULL, DONT_RESOLVE_DLL_REFERENCES);
    if (!image)
        return names;
    const BYTE *base = (const BYTE *)image;
    auto nt = (const IMAGE_NT_HEADERS *)(base + ((const IMAGE_DOS_HEADER *)base)->e_lfanew);
    DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto module = (const IMAGE_IMPORT_DESCRIPTOR *)(base + rva); rva && module->Name; ++module)
    {
        if (modules)
        {
            std::string name = (const char *)(base + module->Name);
            for (char &c : name)
                c = (char)tolower((unsigned char)c);
            modules->insert(name);
        }
        for (auto thunk = (const IMAGE_THUNK_DATA32 *)(base + (module->OriginalFirstThunk ? module->OriginalFirstThunk
                                                                                           : module->FirstThunk));
             thunk->u1.AddressOfData; ++thunk)
            if (!(thunk->u1.Ordinal & IMAGE_ORDINAL_FLAG32))
                names.insert((const char *)((const IMAGE_IMPORT_BY_NAME *)(base + thunk->u1.AddressOfData))->Name);
    }
    FreeLibrary(image);
    return names;
}

// ---- fixture --------------------------------------------------------------

void RigTest::SetUp()
{
    EndStrayPrograms();
    ASSERT_TRUE(UnplugSwitches()) << SimLastError();
    ASSERT_EQ(SimLogClear(), 0) << SimLastError();
}

void RigTest::TearDown()
{
    EndStrayPrograms();
    SetProgramWindowsVersion(NULL);
}

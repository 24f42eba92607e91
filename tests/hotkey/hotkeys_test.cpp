// Hotkeys typed with xdotool on the "shell" desktop against the real
// dist\ORNAX.exe and its TessaroHook.dll, or against ORNAX.exe beside the
// test build of the library, which records its hook, can drop it as Windows
// does, and can be made to take the system-wide hook of Windows 9x.
#include "harness.h"

#include <commctrl.h>

namespace
{
const wchar_t *const SettingsKey = L"Software\\Quorvik\\Swivo";
const DWORD Patience = 10000;
const WPARAM IdmSwitchAll = 32773, IdmOptions = 32776;
const int IdcEnableKeys = 1002, IdcCombination = 1014, IdcCombinationTaken = 1017;
const UINT SessionChange = 0x02B1;

void WriteSettings(LONG enableKeys, LONG activeKey)
{
    WriteRegistryData(HKEY_CURRENT_USER, SettingsKey, L"EnableKeys", REG_DWORD, &enableKeys, 4);
    WriteRegistryData(HKEY_CURRENT_USER, SettingsKey, L"ActiveKey", REG_DWORD, &activeKey, 4);
}

void Xdotool(const std::string &arguments)
{
    if (!arguments.empty())
        RunUnix("xdotool " + arguments);
}

// ORNAX.exe beside the test build of TessaroHook.dll, in a folder of this
// test's own: a system-wide hook leaves its library mapped in other
// processes for a while, so an earlier test's copy may still be in use.
std::wstring TestBuildFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"ornax-test-hook-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), NULL);
    bool copied = CopyFileW((DistFolder() + L"\\ORNAX.exe").c_str(), (folder + L"\\ORNAX.exe").c_str(), FALSE) &&
                  CopyFileW((EnvironmentOf(L"ORNAX_TESTS") + L"\\TessaroHook.dll").c_str(),
                            (folder + L"\\TessaroHook.dll").c_str(), FALSE);
    return copied ? folder : L"";
}

// Key events with the scan codes, flags and times that Windows gives them:
// an event paired with the next shares its time stamp with it.
struct KeyEvent
{
    WORD vk, scan;
    DWORD flags;
    bool pairedWithNext;
};
void InjectKeyEvents(const std::vector<KeyEvent> &events)
{
    DWORD pairTime = 0;
    for (const KeyEvent &e : events)
    {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = e.vk;
        input.ki.wScan = e.scan;
        input.ki.dwFlags = e.flags;
        input.ki.time = e.pairedWithNext ? (pairTime = GetTickCount()) : pairTime;
        pairTime = e.pairedWithNext ? pairTime : 0;
        SendInput(1, &input, sizeof(input));
        Sleep(20);
    }
}

// One typed case: the keys, then (when given) a check that nothing was sent
// yet and more keys; the reports and the debug line expected.
struct TypedCase
{
    LONG enableKeys, activeKey;
    const char *keys, *afterCheck;
    std::vector<std::string> sent;
    const wchar_t *debugLine;
};
}

class Hotkeys : public RigTest
{
  protected:
    ProgramRun run;
    HWND window = NULL;

    void Start(const std::wstring &folder = DistFolder(), const std::vector<std::wstring> &environment = {})
    {
        run = StartProgram(L"", environment, folder);
        ASSERT_TRUE(run.started);
        // A copy just made: its first start can take longer.
        window = WaitForProgramWindow(3 * Patience);
        ASSERT_NE(window, (HWND)NULL);
        ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience)) << SwitchLog();
        SettledSwitchLog(300);
    }
    // The hook starts last, after the status report. A low-level hook's
    // library shows it by its raw input window; the test build records it.
    bool WaitForHook(LONG hookMode)
    {
        for (int i = 0; i < 200; ++i, Sleep(50))
            if (hookMode ? ReadHookRecord().mode == hookMode : FindWindowW(L"TessaroHookRawInput", NULL) != NULL)
                return true;
        return false;
    }
    void Send(UINT message, WPARAM wParam)
    {
        DWORD_PTR answer;
        SendMessageTimeoutW(window, message, wParam, 0, SMTO_NORMAL, Patience, &answer);
    }
    // hookMode: the kind of hook that the test build must have taken, or 0
    // for the shipped library's low-level hook.
    void RunTypedCases(const std::vector<TypedCase> &cases, const std::wstring &folder,
                       const std::vector<std::wstring> &environment = {}, LONG hookMode = 0)
    {
        ASSERT_TRUE(PlugSwitch());
        ReadHookRecord();
        for (const TypedCase &c : cases)
        {
            SCOPED_TRACE(c.keys);
            WriteSettings(c.enableKeys, c.activeKey);
            StartDebugCapture();
            Start(folder, environment);
            if (c.enableKeys)
            {
                ASSERT_TRUE(WaitForHook(hookMode));
            }
            ASSERT_EQ(SimLogClear(), 0);
            Xdotool(c.keys);
            if (*c.afterCheck)
            {
                EXPECT_TRUE(SettledSwitchLog(300).empty()) << SwitchLog();
                Xdotool(c.afterCheck);
            }
            std::vector<std::string> expected;
            for (const std::string &bytes : c.sent)
                expected.push_back(ReportLine(bytes.c_str()));
            if (!c.sent.empty())
            {
                EXPECT_TRUE(WaitForSwitchLog(expected.back(), Patience));
            }
            EXPECT_EQ(SettledSwitchLog(700), expected);
            if (c.debugLine)
            {
                EXPECT_TRUE(WaitForDebugLine(c.debugLine, 2000));
            }
            StopDebugCapture();
            EndStrayPrograms();
            CloseRun(run);
        }
    }
    void TearDown() override
    {
        CloseRun(run);
        DeleteRegistryTree(HKEY_CURRENT_USER, SettingsKey);
        StopDebugCapture();
        RigTest::TearDown();
    }
};

// Shift, Control and the active key count only when tapped: the Controls of
// chords (Ctrl+C, Ctrl+click, Ctrl with the wheel) never make a sequence.
const std::vector<TypedCase> TypedCases = {
    {1, 17, "key ctrl sleep 0.1 key ctrl", "", {"01 06"}, L"SWITCH!!!\n"},
    {1, 17, "key ctrl sleep 0.7 key ctrl", "", {}, nullptr},
    {1, 144, "key Num_Lock sleep 0.1 key Num_Lock", "", {"01 06"}, nullptr},
    {1, 145, "key Scroll_Lock sleep 0.1 key Scroll_Lock", "", {"01 06"}, nullptr},
    {1, -1, "key ctrl sleep 0.1 key ctrl sleep 0.1 key shift", "", {"01 06"}, nullptr},
    {1, -1, "key ctrl key a key ctrl key shift", "", {}, nullptr},
    {1, 17, "keydown alt key ctrl sleep 0.1 key ctrl sleep 0.8", "keyup alt sleep 0.7", {"01 02"}, L"VIDSW!!!\n"},
    {1, -1, "keydown alt key ctrl key ctrl key shift sleep 0.3", "keyup alt", {"01 02"}, nullptr},
    {0, 17, "key ctrl sleep 0.1 key ctrl", "", {}, nullptr},
    {1, 17, "key ctrl+a sleep 0.1 key ctrl+c", "", {}, nullptr},
    {1, 17, "key ctrl+c key ctrl+v", "", {}, nullptr},
    {1, 17, "key ctrl+z key ctrl+z key ctrl+z", "", {}, nullptr},
    {1, 17, "key ctrl+s sleep 0.1 key ctrl+w", "", {}, nullptr},
    {1, 17, "mousemove 400 300 keydown ctrl click 1 keyup ctrl keydown ctrl click 1 keyup ctrl", "", {}, nullptr},
    {1, 17, "mousemove 400 300 keydown ctrl click 5 keyup ctrl keydown ctrl click 5 keyup ctrl", "", {}, nullptr},
    {1, -1, "key ctrl key ctrl key shift+a", "", {}, nullptr},
    {1, 17, "key ctrl+a sleep 0.6 key ctrl sleep 0.1 key ctrl", "", {"01 06"}, nullptr},
};

TEST_F(Hotkeys, TypedSequencesSwitchAsTheSettingsSayAndChordsNever)
{
    RunTypedCases(TypedCases, DistFolder());
}

// Where the low-level hook cannot be had (Windows 95, 98 and ME), the
// system-wide keyboard hook runs in the process that reads the keys: here
// the focused window of this test, whose mouse clicks it sees too.
TEST_F(Hotkeys, TheSystemWideHookOfWindows9xTellsTapsAsWell)
{
    std::wstring folder = TestBuildFolder();
    ASSERT_FALSE(folder.empty());
    // A window of this process has the focus, on a thread that reads its
    // input all along, as an application does.
    struct Focus
    {
        HANDLE ready = CreateEventW(NULL, TRUE, FALSE, NULL);
        DWORD threadId = 0;
        static DWORD WINAPI Run(LPVOID parameter)
        {
            Focus *focus = (Focus *)parameter;
            HWND edit = CreateWindowW(L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 600, 400, NULL, NULL,
                                      NULL, NULL);
            SetForegroundWindow(edit);
            SetFocus(edit);
            SetEvent(focus->ready);
            MSG message;
            while (GetMessageW(&message, NULL, 0, 0) > 0)
                DispatchMessageW(&message);
            DestroyWindow(edit);
            return 0;
        }
    } focus;
    HANDLE thread = CreateThread(NULL, 0, Focus::Run, &focus, 0, &focus.threadId);
    ASSERT_NE(thread, (HANDLE)NULL);
    WaitForSingleObject(focus.ready, Patience);
    // After other tests' lock keys, the lock-key rows fail here now and then
    // under both Wines (Wine puts its lock-key state back in step with the X
    // server's by key messages of its own, which reach the focused window's
    // queue): they are left out.
    std::vector<TypedCase> cases;
    for (const TypedCase &c : TypedCases)
        if (!strstr(c.keys, "_Lock"))
            cases.push_back(c);
    RunTypedCases(cases, folder, {L"TESSAROHOOK_SYSTEM_WIDE=1"}, 2);
    PostThreadMessageW(focus.threadId, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, Patience);
    CloseHandle(thread);
    CloseHandle(focus.ready);
}

// Windows sends AltGr as a Left Control whose scan code reads 0x21D, then a
// Right ALT with the same time: that Control is no key, neither a keystroke
// nor one held. (Wine 10 gives a hook only the low 8 bits of the scan code.)
TEST_F(Hotkeys, AltGrIsNeverAControl)
{
    const KeyEvent altGrDown[] = {{VK_LCONTROL, 0x21D, 0, true}, {VK_RMENU, 0x38, KEYEVENTF_EXTENDEDKEY, false}};
    const KeyEvent altGrUp[] = {{VK_LCONTROL, 0x21D, KEYEVENTF_KEYUP, true},
                                {VK_RMENU, 0x38, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, false}};
    const KeyEvent controlTap[] = {{VK_LCONTROL, 0x1D, 0, false}, {VK_LCONTROL, 0x1D, KEYEVENTF_KEYUP, false}};
    auto join = [](std::initializer_list<const KeyEvent *> parts, std::initializer_list<size_t> counts) {
        std::vector<KeyEvent> events;
        auto count = counts.begin();
        for (const KeyEvent *part : parts)
            events.insert(events.end(), part, part + *count++);
        return events;
    };
    struct Case
    {
        const char *what;
        std::vector<KeyEvent> events;
        std::vector<std::string> sent;
    } cases[] = {
        {"AltGr twice", join({altGrDown, altGrUp, altGrDown, altGrUp}, {2, 2, 2, 2}), {}},
        // AltGr is the right ALT: held around two taps of Control, video only.
        {"Control twice with AltGr held", join({altGrDown, controlTap, controlTap, altGrUp}, {2, 2, 2, 2}),
         {ReportLine("01 02")}},
    };
    ASSERT_TRUE(PlugSwitch());
    WriteSettings(1, 17);
    Start();
    ASSERT_TRUE(WaitForHook(0));
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(SimLogClear(), 0);
        InjectKeyEvents(c.events);
        if (!c.sent.empty())
        {
            EXPECT_TRUE(WaitForSwitchLog(c.sent.back(), Patience));
        }
        EXPECT_EQ(SettledSwitchLog(1200), c.sent);
    }
}

// Keystrokes that wait in the queue while the program is busy (here its
// thread waits on a switch that holds a report, and is held still besides)
// are judged by the times they were typed at.
TEST_F(Hotkeys, KeystrokesThatWaitedAreJudgedByTheirOwnTimes)
{
    ASSERT_TRUE(PlugSwitch());
    WriteSettings(1, 17);
    Start();
    ASSERT_TRUE(WaitForHook(0));
    struct Case
    {
        const char *keys;
        std::vector<std::string> sent; // the held command's report comes first
    } cases[] = {
        {"key ctrl sleep 0.7 key ctrl", {ReportLine("01 06")}},
        {"key ctrl sleep 0.3 key ctrl", {ReportLine("01 06"), ReportLine("01 06")}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.keys);
        ASSERT_EQ(SimLogClear(), 0);
        ASSERT_EQ(SimHold(2), 0);
        PostMessageW(window, WM_COMMAND, IdmSwitchAll, 0);
        Sleep(300);
        ASSERT_NE(SuspendThread(run.process.hThread), (DWORD)-1);
        Xdotool(c.keys);
        Sleep(300);
        SimHold(0);
        ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience));
        ResumeThread(run.process.hThread);
        EXPECT_EQ(SettledSwitchLog(1000), c.sent);
    }
}

// With hotkey switching off, stored or turned off in Options, no keystroke of
// the user passes through the program: no hook is installed, and unlock and
// resume put none back.
TEST_F(Hotkeys, WithHotkeysOffNoHookIsInstalled)
{
    std::wstring folder = TestBuildFolder();
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(PlugSwitch());
    WriteSettings(0, 17);
    LONG installs = ReadHookRecord().installs; // also keeps the record while programs come and go
    Start(folder);
    EXPECT_EQ(ReadHookRecord().hooked, 0);
    Send(SessionChange, 8 /* WTS_SESSION_UNLOCK */);
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    EXPECT_EQ(ReadHookRecord().installs, installs) << "a hook was installed with hotkeys off";
    auto toggleInOptions = [&] {
        PostMessageW(window, WM_COMMAND, IdmOptions, 0);
        HWND dialog = WaitForDialog(L"Options...", Patience);
        ASSERT_NE(dialog, (HWND)NULL);
        ClickWindow(GetDlgItem(dialog, IdcEnableKeys));
        Sleep(200);
        ClickWindow(GetDlgItem(dialog, IDOK));
        for (int i = 0; i < 200 && IsWindow(dialog); ++i)
            Sleep(25);
        ASSERT_FALSE(IsWindow(dialog));
    };
    struct Case
    {
        LONG hooked;
        std::vector<std::string> sent;
    } cases[] = {{1, {ReportLine("01 06")}}, {0, {}}};
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.hooked);
        toggleInOptions();
        EXPECT_EQ(ReadHookRecord().hooked, c.hooked);
        ASSERT_EQ(SimLogClear(), 0);
        Xdotool("key ctrl sleep 0.1 key ctrl");
        EXPECT_EQ(SettledSwitchLog(1000), c.sent);
    }
    Send(SessionChange, 8 /* WTS_SESSION_UNLOCK */);
    EXPECT_EQ(ReadHookRecord().hooked, 0);
    EXPECT_EQ(ReadHookRecord().installs, installs + 1);
}

// The hook typing never waits for: while the program waits on a slow switch,
// typing reaches other windows at once.
TEST_F(Hotkeys, TypingIsNeverHeldUpByASlowSwitch)
{
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 2, nullptr, BothCollections, 3000));
    Start();
    ASSERT_TRUE(WaitForHook(0));
    HWND edit = CreateWindowW(L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 100, NULL, NULL, NULL, NULL);
    ASSERT_NE(edit, (HWND)NULL);
    SetForegroundWindow(edit);
    SetFocus(edit);
    PumpMessages(300);
    ASSERT_EQ(SimLogClear(), 0);
    PostMessageW(FindProgramWindow(), WM_COMMAND, IdmSwitchAll, 0);
    Sleep(200);
    Xdotool("type --delay 30 abc");
    wchar_t text[16] = {0};
    DWORD start = GetTickCount();
    while (lstrcmpW(text, L"abc") != 0 && GetTickCount() - start < Patience)
    {
        PumpMessages(20);
        GetWindowTextW(edit, text, 16);
    }
    EXPECT_STREQ(text, L"abc");
    EXPECT_TRUE(SwitchLog().empty()) << "the typing waited for the switch";
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience));
    DestroyWindow(edit);
}

// The hook, dropped by the test as Windows does across the lock screen and
// sleep, where raw input sees no key either (so only these notifications
// can put it back here): the notifications that mean "back", sent as the system sends them,
// put it back at once, so the very next Control, Control switches; a resume
// also refreshes what the switch knows, with exactly one status report.
TEST_F(Hotkeys, TheHookIsBackAtOnceAfterUnlockAndResume)
{
    std::wstring folder = TestBuildFolder();
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(PlugSwitch());
    HANDLE drop = CreateEventW(NULL, FALSE, FALSE, L"TessaroHookDrop");
    ASSERT_NE(drop, (HANDLE)NULL);
    Start(folder);
    ASSERT_TRUE(WaitForHook(1));
    struct Case
    {
        UINT message;
        WPARAM event;
        std::vector<std::string> reports; // what the notification itself sends
        bool hookBack;
    } cases[] = {
        {SessionChange, 7 /* WTS_SESSION_LOCK */, {}, false},
        {SessionChange, 8 /* WTS_SESSION_UNLOCK */, {}, true},
        {SessionChange, 1 /* WTS_CONSOLE_CONNECT */, {}, true},
        {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, {}, false},
        {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, {ReportLine("01 00")}, true},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.message * 100 + c.event);
        ASSERT_EQ(SimLogClear(), 0);
        SetEvent(drop);
        Sleep(300);
        ASSERT_EQ(ReadHookRecord().hooked, 0);
        Send(c.message, c.event);
        EXPECT_EQ(SettledSwitchLog(500), c.reports);
        EXPECT_EQ(ReadHookRecord().hooked, c.hookBack ? 1 : 0);
        // Put back, the hook sees the very next keys.
        if (c.hookBack)
        {
            ASSERT_EQ(SimLogClear(), 0);
            Xdotool("key ctrl sleep 0.1 key ctrl");
            EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience));
        }
        // Whatever happened, the next case starts with a working hook.
        Send(SessionChange, 8);
        SettledSwitchLog(300);
    }
    PostMessageW(window, WM_COMMAND, 105, 0);
    EXPECT_EQ(WaitForExit(run, Patience), 0);
    CloseHandle(drop);
}

// The user's own key combinations, one per command, set in Options by typing
// them into its hotkey controls; with the sequence hotkeys off, so that no
// hook is there to see them.
TEST_F(Hotkeys, KeyCombinationsSetInOptionsSwitchOnceEachAndAClearedOneNothing)
{
    WriteSettings(0, 17);
    ASSERT_TRUE(PlugSwitch());
    Start();
    PostMessageW(window, WM_COMMAND, IdmOptions, 0);
    HWND dialog = WaitForDialog(L"Options...", Patience);
    ASSERT_NE(dialog, (HWND)NULL);
    // Not Ctrl+Alt with a function key: the X server takes those for itself.
    const char *const typed[] = {"ctrl+alt+j", "ctrl+alt+k", "ctrl+alt+l"};
    for (int i = 0; i < 3; ++i)
    {
        ClickWindow(GetDlgItem(dialog, IdcCombination + i));
        Xdotool(std::string("key ") + typed[i]);
    }
    // A key without Control or ALT is not taken as it is.
    ClickWindow(GetDlgItem(dialog, IdcCombination + 2));
    Xdotool("key F8");
    EXPECT_NE(LOWORD(SendMessageW(GetDlgItem(dialog, IdcCombination + 2), HKM_GETHOTKEY, 0, 0)), 0x77);
    ClickWindow(GetDlgItem(dialog, IdcCombination + 2));
    Xdotool("key ctrl+alt+l");
    ClickWindow(GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(WaitForNoVisibleWindow(L"#32770", Patience));
    const std::pair<const wchar_t *, DWORD> stored[] = {{L"HotkeyAll", 0x064A}, {L"HotkeyVideo", 0x064B}, {L"HotkeyAudio", 0x064C}};
    for (const auto &value : stored)
    {
        DWORD data = 0, size = sizeof(data);
        RegGetValueW(HKEY_CURRENT_USER, SettingsKey, value.first, RRF_RT_REG_DWORD, NULL, &data, &size);
        EXPECT_EQ(data, value.second) << value.first;
    }

    // Each switches once, also held down for a second.
    const char *const reports[] = {"01 06", "01 02", "01 04"};
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(typed[i]);
        ASSERT_EQ(SimLogClear(), 0);
        Xdotool(std::string("keydown ") + typed[i] + " sleep 1 keyup " + typed[i]);
        EXPECT_EQ(SettledSwitchLog(500), std::vector<std::string>{ReportLine(reports[i])});
    }

    // Cleared, Audio's sends nothing.
    PostMessageW(window, WM_COMMAND, IdmOptions, 0);
    dialog = WaitForDialog(L"Options...", Patience);
    ASSERT_NE(dialog, (HWND)NULL);
    SendMessageW(GetDlgItem(dialog, IdcCombination + 2), HKM_SETHOTKEY, 0, 0);
    ClickWindow(GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(WaitForNoVisibleWindow(L"#32770", Patience));
    ASSERT_EQ(SimLogClear(), 0);
    Xdotool("key ctrl+alt+l");
    EXPECT_TRUE(SettledSwitchLog(500).empty()) << SwitchLog();

    // Before Windows 7 the system repeats a held combination: still one switch.
    PostMessageW(window, WM_COMMAND, 105, 0);
    EXPECT_EQ(WaitForExit(run, Patience), 0);
    CloseRun(run);
    SetProgramWindowsVersion(L"winxp");
    Start();
    ASSERT_EQ(SimLogClear(), 0);
    Xdotool("keydown ctrl+alt+j sleep 1.5 keyup ctrl+alt+j");
    EXPECT_EQ(SettledSwitchLog(500), std::vector<std::string>{ReportLine("01 06")});
}

// A combination that another program holds: stored all the same, shown as
// taken, and working once it is free and the program starts again.
TEST_F(Hotkeys, ACombinationAnotherProgramHoldsIsShownTakenAndWorksOnceFree)
{
    WriteSettings(0, 17);
    LONG all = 0x064D;  // Ctrl+Alt+M
    WriteRegistryData(HKEY_CURRENT_USER, SettingsKey, L"HotkeyAll", REG_DWORD, &all, 4);
    ASSERT_TRUE(RegisterHotKey(NULL, 1, MOD_CONTROL | MOD_ALT, 'M'));
    ASSERT_TRUE(PlugSwitch());
    Start();
    PostMessageW(window, WM_COMMAND, IdmOptions, 0);
    HWND dialog = WaitForDialog(L"Options...", Patience);
    ASSERT_NE(dialog, (HWND)NULL);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IdcCombinationTaken)));
    EXPECT_EQ(WindowTextOf(GetDlgItem(dialog, IdcCombinationTaken)), L"In use by another program");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IdcCombinationTaken + 1)));
    EXPECT_EQ(LOWORD(SendMessageW(GetDlgItem(dialog, IdcCombination), HKM_GETHOTKEY, 0, 0)), 0x064D);
    ClickWindow(GetDlgItem(dialog, IDCANCEL));
    ASSERT_TRUE(WaitForNoVisibleWindow(L"#32770", Patience));
    ASSERT_EQ(SimLogClear(), 0);
    Xdotool("key ctrl+alt+m");
    EXPECT_TRUE(SettledSwitchLog(500).empty()) << SwitchLog();

    UnregisterHotKey(NULL, 1);
    PostMessageW(window, WM_COMMAND, 105, 0);
    EXPECT_EQ(WaitForExit(run, Patience), 0);
    CloseRun(run);
    Start();
    Xdotool("key ctrl+alt+m");
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience)) << SwitchLog();
}

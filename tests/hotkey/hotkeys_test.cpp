// Hotkeys typed with xdotool on the "shell" desktop against the real
// dist\ORNAX.exe and its TessaroHook.dll.
#include "harness.h"

namespace
{
const wchar_t *const SettingsKey = L"Software\\Quorvik\\Swivo";
const DWORD Patience = 10000;
const WPARAM IdmSwitchAll = 32773;

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
}

class Hotkeys : public RigTest
{
  protected:
    ProgramRun run;

    void Start()
    {
        run = StartProgram();
        ASSERT_TRUE(run.started);
        ASSERT_NE(WaitForProgramWindow(Patience), (HWND)NULL);
        ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience)) << SwitchLog();
        SettledSwitchLog(300);
    }
    void TearDown() override
    {
        CloseRun(run);
        DeleteRegistryTree(HKEY_CURRENT_USER, SettingsKey);
        StopDebugCapture();
        RigTest::TearDown();
    }
};

TEST_F(Hotkeys, TypedSequencesSwitchAsTheSettingsSay)
{
    struct Case
    {
        LONG enableKeys, activeKey;
        const char *keys, *afterCheck; // when given, no report may come before it is typed
        std::vector<std::string> sent;
        const wchar_t *debugLine;
    } cases[] = {
        {1, 17, "key ctrl sleep 0.1 key ctrl", "", {"01 06"}, L"SWITCH!!!\n"},
        {1, 17, "key ctrl sleep 0.7 key ctrl", "", {}, nullptr},
        {1, 144, "key Num_Lock sleep 0.1 key Num_Lock", "", {"01 06"}, nullptr},
        {1, 145, "key Scroll_Lock sleep 0.1 key Scroll_Lock", "", {"01 06"}, nullptr},
        {1, -1, "key ctrl sleep 0.1 key ctrl sleep 0.1 key shift", "", {"01 06"}, nullptr},
        {1, -1, "key ctrl key a key ctrl key shift", "", {}, nullptr},
        {1, 17, "keydown alt key ctrl sleep 0.1 key ctrl sleep 0.8", "keyup alt sleep 0.7", {"01 02"}, L"VIDSW!!!\n"},
        {1, -1, "keydown alt key ctrl key ctrl key shift sleep 0.3", "keyup alt", {"01 02"}, nullptr},
        {0, 17, "key ctrl sleep 0.1 key ctrl", "", {}, nullptr},
    };
    ASSERT_TRUE(PlugSwitch());
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.keys);
        WriteSettings(c.enableKeys, c.activeKey);
        StartDebugCapture();
        Start();
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
        EndStrayPrograms();
        CloseRun(run);
    }
}

// The hook lives on a thread of its own: while the program waits on a slow
// switch, typing reaches other windows at once.
TEST_F(Hotkeys, TypingIsNeverHeldUpByASlowSwitch)
{
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 2, nullptr, BothCollections, 3000));
    Start();
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

// The program with the test build of the hook library, whose hook the test
// drops as Windows does across the lock screen and sleep: the notifications
// that mean "back", sent as the system sends them, put it back at once, so
// the very next Control, Control switches; a resume also refreshes what the
// switch knows, with exactly one status report.
TEST_F(Hotkeys, TheHookIsBackAtOnceAfterUnlockAndResume)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"ornax-droppable-hook";
    CreateDirectoryW(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileW((DistFolder() + L"\\ORNAX.exe").c_str(), (folder + L"\\ORNAX.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((EnvironmentOf(L"ORNAX_TESTS") + L"\\TessaroHook.dll").c_str(),
                          (folder + L"\\TessaroHook.dll").c_str(), FALSE));
    ASSERT_TRUE(PlugSwitch());
    HANDLE drop = CreateEventW(NULL, FALSE, FALSE, L"TessaroHookDrop");
    ASSERT_NE(drop, (HANDLE)NULL);
    run = StartProgram(L"", {}, folder);
    ASSERT_TRUE(run.started);
    // A copy just made: its first start can take longer.
    HWND window = WaitForProgramWindow(3 * Patience);
    ASSERT_NE(window, (HWND)NULL);
    ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience)) << SwitchLog();
    SettledSwitchLog(300);
    const UINT SessionChange = 0x02B1;
    struct Case
    {
        UINT message;
        WPARAM event;
        std::vector<std::string> reports;  // what the notification itself sends
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
        DWORD_PTR answer;
        SendMessageTimeoutW(window, c.message, c.event, 0, SMTO_NORMAL, Patience, &answer);
        EXPECT_EQ(SettledSwitchLog(500), c.reports);
        ASSERT_EQ(SimLogClear(), 0);
        Xdotool("key ctrl sleep 0.1 key ctrl");
        if (c.hookBack)
            EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience));
        else
            EXPECT_TRUE(SettledSwitchLog(1000).empty()) << "the dropped hook still saw the keys";
        // Whatever happened, the next case starts with a working hook.
        SendMessageTimeoutW(window, SessionChange, 8, 0, SMTO_NORMAL, Patience, &answer);
        SettledSwitchLog(300);
    }
    PostMessageW(window, WM_COMMAND, 105, 0);
    EXPECT_EQ(WaitForExit(run, Patience), 0);
    CloseHandle(drop);
}

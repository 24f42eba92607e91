// The real dist\ORNAX.exe: start-up, the single-instance rule, "/x", and the
// switch commands that reach its window.
#include "harness.h"
#include "mixersim.h"

namespace
{
const WPARAM IdmExit = 105, IdmSwitchAll = 32773, IdmSwitchAudio = 32779, IdmSwitchVideo = 32780;
const DWORD Patience = 10000;
}

class Spine : public RigTest
{
  protected:
    ProgramRun run;
    HWND window = NULL;

    void Start(const std::wstring &arguments = L"")
    {
        run = StartProgram(arguments);
        ASSERT_TRUE(run.started);
        window = WaitForProgramWindow(Patience);
        ASSERT_NE(window, (HWND)NULL);
    }
    // Exit as the tray menu does it; the process must end with code 0.
    void ExitThroughMenuCommand()
    {
        PostMessageW(window, WM_COMMAND, IdmExit, 0);
        EXPECT_EQ(WaitForExit(run, Patience), 0);
        EXPECT_EQ(FindProgramWindow(), (HWND)NULL);
    }
    void TearDown() override
    {
        SimHold(0);
        CloseRun(run);
        RigTest::TearDown();
    }
};

TEST_F(Spine, StartUpSendsOneStatusReportToAnAttachedSwitch)
{
    ASSERT_TRUE(PlugSwitch());
    Start();
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience)) << SwitchLog();
    EXPECT_EQ(SettledSwitchLog(500), std::vector<std::string>{ReportLine("01 00")});
    ExitThroughMenuCommand();
}

TEST_F(Spine, MenuCommandsSendTheirReports)
{
    ASSERT_TRUE(PlugSwitch());
    Start();
    ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience));
    PostMessageW(window, WM_COMMAND, IdmSwitchAll, 0);
    PostMessageW(window, WM_COMMAND, IdmSwitchVideo, 0);
    // The high word (menu or accelerator) does not matter.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IdmSwitchAudio, 1), 0);
    // Unknown commands go to the default procedure and send nothing.
    PostMessageW(window, WM_COMMAND, 40000, 0);
    ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 04"), Patience)) << SwitchLog();
    std::vector<std::string> expected = {ReportLine("01 00"), ReportLine("01 06"), ReportLine("01 02"),
                                         ReportLine("01 04")};
    EXPECT_EQ(SettledSwitchLog(500), expected);
    ExitThroughMenuCommand();
}

TEST_F(Spine, WithoutASwitchNothingIsSentAndNothingFails)
{
    Start();
    PostMessageW(window, WM_COMMAND, IdmSwitchAll, 0);
    PostMessageW(window, WM_COMMAND, IdmSwitchVideo, 0);
    PostMessageW(window, WM_COMMAND, IdmSwitchAudio, 0);
    EXPECT_TRUE(SettledSwitchLog(700).empty()) << SwitchLog();
    EXPECT_TRUE(IsWindow(window));
    ExitThroughMenuCommand();
}

TEST_F(Spine, ASecondStartEndsAtOnceAndTheFirstReceivesNothing)
{
    ASSERT_TRUE(PlugSwitch());
    Start();
    ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience));
    SettledSwitchLog(300);
    EXPECT_EQ(RunProgramToEnd(L"", Patience), 0);
    EXPECT_EQ(CountProgramWindows(), 1);
    EXPECT_EQ(FindProgramWindow(), window);
    // The second process sent no status report of its own.
    EXPECT_EQ(SettledSwitchLog(500), std::vector<std::string>{ReportLine("01 00")});
    ExitThroughMenuCommand();
}

// At sign-in the Run key and a click on the shortcut can start two copies at
// the same moment, before either has made its window: here four, made
// suspended and let go together.
TEST_F(Spine, StartsAtTheSameMomentLeaveOneProgram)
{
    ASSERT_TRUE(PlugSwitch());
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
    ProgramRun starts[4];
    for (ProgramRun &start : starts)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(0);
        start.started = CreateProcessW(NULL, line.data(), NULL, NULL, FALSE, CREATE_SUSPENDED, NULL,
                                       DistFolder().c_str(), &startup, &start.process) != 0;
        ASSERT_TRUE(start.started);
    }
    for (ProgramRun &start : starts)
        ResumeThread(start.process.hThread);
    window = WaitForProgramWindow(Patience);
    ASSERT_NE(window, (HWND)NULL);
    SettledSwitchLog(500);
    // All but one end with code 0; that one runs on, with the only window.
    int running = 0;
    for (ProgramRun &start : starts)
    {
        if (WaitForSingleObject(start.process.hProcess, 2000) == WAIT_TIMEOUT)
        {
            ++running;
            std::swap(run, start);
        }
        else
        {
            EXPECT_EQ(WaitForExit(start, 0), 0);
        }
        CloseRun(start);
    }
    EXPECT_EQ(running, 1);
    EXPECT_EQ(CountProgramWindows(), 1);
    ExitThroughMenuCommand();
}

// Commands from the command line, against a running copy and against none:
// the exit code says what became of the report (0 taken, 1 no switch, 2 not
// taken in time).
TEST_F(Spine, CommandLineWordsSwitchAndEndWithWhatBecameOfIt)
{
    enum Switch
    {
        Absent,
        Attached,
        Holding
    };
    const struct
    {
        const wchar_t *arguments;
        bool running;
        Switch device;
        long code;
        const char *report;
    } cases[] = {
        {L"/all", true, Attached, 0, "01 06"},     {L"/VIDEO", true, Attached, 0, "01 02"},
        {L"/Audio", true, Attached, 0, "01 04"},   {L"/status", true, Attached, 0, nullptr},
        {L"/all", false, Attached, 0, "01 06"},    {L"-q /video", false, Attached, 0, "01 02"},
        {L"/audio", false, Attached, 0, "01 04"},  {L"/STATUS", false, Attached, 0, nullptr},
        {L"/all", true, Absent, 1, nullptr},       {L"/status", true, Absent, 1, nullptr},
        {L"/video", false, Absent, 1, nullptr},    {L"/status", false, Absent, 1, nullptr},
        {L"/all", true, Holding, 2, nullptr},      {L"/audio", false, Holding, 2, nullptr},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(std::wstring(c.arguments) + (c.running ? L", running" : L", none running"));
        ASSERT_TRUE(UnplugSwitches());
        if (c.device != Absent)
        {
            ASSERT_TRUE(PlugSwitch());
        }
        if (c.running)
        {
            Start();
            SettledSwitchLog(500);
        }
        ASSERT_EQ(SimLogClear(), 0);
        SimHold(c.device == Holding ? 2 : 0);
        EXPECT_EQ(RunProgramToEnd(c.arguments, Patience), c.code);
        // A held report is taken once the hold is lifted.
        SimHold(0);
        std::vector<std::string> expected;
        if (c.report)
            expected.push_back(ReportLine(c.report));
        if (c.device != Holding)
        {
            EXPECT_EQ(SettledSwitchLog(500), expected);
        }
        else
        {
            SettledSwitchLog(500);
        }
        // A start that only sends its command leaves no program behind.
        EXPECT_EQ(CountProgramWindows(), c.running ? 1 : 0);
        if (c.running)
            ExitThroughMenuCommand();
        CloseRun(run);
    }

    // With none running, the report carries the mute as the mixers tell it.
    SetProgramWindowsVersion(L"winxp");
    ASSERT_TRUE(UseMixerStandIn(true));
    MixerSimReset(1);
    MixerSimOpen()->muted = 1;
    ASSERT_TRUE(PlugSwitch());
    ASSERT_EQ(SimLogClear(), 0);
    EXPECT_EQ(RunProgramToEnd(L"/audio", Patience), 0);
    EXPECT_EQ(SettledSwitchLog(500), std::vector<std::string>{ReportLine("01 05")});
    UseMixerStandIn(false);
    SetProgramWindowsVersion(NULL);
}

TEST_F(Spine, SlashXEndsTheRunningInstance)
{
    for (const wchar_t *arguments : {L"/x", L"--quiet/xyz"})
    {
        SCOPED_TRACE(arguments);
        Start();
        EXPECT_EQ(RunProgramToEnd(arguments, Patience), 0);
        EXPECT_EQ(WaitForExit(run, Patience), 0);
        EXPECT_TRUE(WaitForNoProgramWindow(Patience));
        CloseRun(run);
    }
}

TEST_F(Spine, SlashXWithNothingRunningStartsNothing)
{
    ASSERT_TRUE(PlugSwitch());
    ProgramRun second = StartProgram(L"/x");
    EXPECT_EQ(WaitForExit(second, Patience), 0);
    CloseRun(second);
    EXPECT_EQ(CountProgramWindows(), 0);
    EXPECT_TRUE(SettledSwitchLog(500).empty()) << SwitchLog();
}

TEST_F(Spine, UpperCaseSlashXIsNotAnExitRequest)
{
    Start(L"/X");
    Sleep(300);
    EXPECT_EQ(WaitForExit(run, 0), -1) << "the program must keep running";
    // And with that instance running, "/X" is just a second start.
    EXPECT_EQ(RunProgramToEnd(L"/X", Patience), 0);
    EXPECT_TRUE(IsWindow(window));
    ExitThroughMenuCommand();
}

TEST_F(Spine, ClosingTheWindowEndsTheProgramWithCodeZero)
{
    Start();
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(run, Patience), 0);
}

TEST_F(Spine, OnWindows98TheSwitchIsFoundByItsRegisteredSerial)
{
    SetProgramWindowsVersion(L"win98");
    const std::wstring instanceKey = L"Enum\\HID\\VID_7A3C&PID_5C02&COL01\\1";
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 2, L"00000000CAFEF00D", FirstCollectionOnly));

    // Registered without a "Serial": the switch is not recognised.
    ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, instanceKey, L"HardwareID", L"x"));
    Start();
    EXPECT_TRUE(SettledSwitchLog(700).empty()) << SwitchLog();
    ExitThroughMenuCommand();
    CloseRun(run);

    const BYTE serial[8] = {0x0D, 0xF0, 0xFE, 0xCA, 0, 0, 0, 0};
    ASSERT_TRUE(WriteRegistryBinary(HKEY_LOCAL_MACHINE, instanceKey, L"Serial", serial, 8));
    Start();
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 00", 0x5C02, "00000000CAFEF00D"), Patience)) << SwitchLog();
    ExitThroughMenuCommand();
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Enum\\HID");
}

// A switch that stops taking reports, of each kind: the program waits about
// a second for a report, then gives it up, and stays whole while the switch
// holds it. A command meanwhile writes nothing; once the switch lets go, the
// next command is written once. Handles and memory do not grow with
// given-up commands.
TEST_F(Spine, AHeldReportNeverFreezesTheProgram)
{
    const WPARAM IdmSwitchAll = 32773, IdmSwitchAudio = 32779, IdmSwitchVideo = 32780, IdmOptions = 32776;
    for (unsigned kind : {1u, 2u})
    {
        SCOPED_TRACE(kind);
        ASSERT_TRUE(PlugSwitch());
        Start();
        ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience)) << SwitchLog();
        SettledSwitchLog(300);
        ASSERT_EQ(SimLogClear(), 0);
        ASSERT_EQ(SimHold(kind), 0);
        PostMessageW(window, WM_COMMAND, IdmSwitchAll, 0);
        // The window procedure answers, the tray menu opens, Options opens and
        // closes, and a second command writes nothing.
        DWORD_PTR answer;
        EXPECT_TRUE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, Patience, &answer));
        PostMessageW(window, 0x832A, MAKEWPARAM(500, 300), MAKELPARAM(WM_CONTEXTMENU, 1));
        EXPECT_NE(WaitForVisibleWindow(L"#32768", Patience), (HWND)NULL);
        ClickAt(300, 200);
        EXPECT_TRUE(WaitForNoVisibleWindow(L"#32768", Patience));
        PostMessageW(window, WM_COMMAND, IdmOptions, 0);
        HWND options = WaitForDialog(L"Options...", Patience);
        EXPECT_NE(options, (HWND)NULL);
        PostMessageW(options, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitForNoVisibleWindow(L"#32770", Patience));
        PostMessageW(window, WM_COMMAND, IdmSwitchAudio, 0);
        EXPECT_TRUE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, Patience, &answer));
        // Let go: a report of the first kind was cancelled and is dropped; one
        // of the second is taken now. The command that came meanwhile is gone.
        ASSERT_EQ(SimHold(0), 0);
        std::vector<std::string> late = SettledSwitchLog(1000);
        PostMessageW(window, WM_COMMAND, IdmSwitchVideo, 0);
        EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 02"), Patience));
        std::vector<std::string> expected = late;
        expected.push_back(ReportLine("01 02"));
        EXPECT_EQ(SettledSwitchLog(700), expected);
        EXPECT_TRUE(late.empty() || late == std::vector<std::string>{ReportLine("01 06")}) << SwitchLog();
        if (kind == 2)
        {
            EXPECT_EQ(late, std::vector<std::string>{ReportLine("01 06")});
        }

        // Given-up commands leave nothing behind.
        DWORD handles = HandleCountOf(run.process.dwProcessId);
        ASSERT_EQ(SimHold(kind), 0);
        for (int i = 0; i < 50; ++i)
        {
            PostMessageW(window, WM_COMMAND, IdmSwitchAll, 0);
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, Patience, &answer);
        }
        EXPECT_LE(HandleCountOf(run.process.dwProcessId), handles + 1);  // the one write still held

        // "/x" ends the program, with code 0, while the report is held.
        EXPECT_EQ(RunProgramToEnd(L"/x", Patience), 0);
        EXPECT_EQ(WaitForExit(run, Patience), 0);
        CloseRun(run);
        ASSERT_EQ(SimHold(0), 0);
        SettledSwitchLog(500);
    }
}

// The speakers' mute as the real dist\ORNAX.exe tells it to the switch. On
// Windows Vista and later: the default output device's mute, from simulated
// audio endpoints (a stand-in mmdevapi.dll that calls the program back from a
// thread of its own) and from Wine's own. On Windows XP: from the simulated
// mixer (a stand-in winmm.dll, whose mute any process can change and which
// notifies the program), and from Wine's own mixer.
#include "harness.h"
#include "mixersim.h"
#include "mmdevsim.h"

namespace
{
const DWORD Patience = 10000;
const WPARAM IdmSwitchAll = 32773;

// The command bytes of the reports logged so far, once the log is quiet.
std::vector<std::string> Reports(DWORD quietMs = 500)
{
    std::vector<std::string> bytes;
    for (const std::string &line : SettledSwitchLog(quietMs))
        bytes.push_back(line.substr(line.size() - 2));
    return bytes;
}
}

class Mute : public RigTest
{
  protected:
    ProgramRun run;
    HWND window = NULL;

    // With assignments, from the Linux side.
    void Start(const std::string &assignments = "")
    {
        ASSERT_TRUE(PlugSwitch());
        run = assignments.empty() ? StartProgram() : StartProgramFromLinux(assignments, Patience);
        ASSERT_TRUE(run.started);
        window = WaitForProgramWindow(Patience);
        ASSERT_NE(window, (HWND)NULL);
        ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience)) << SwitchLog();
    }
    void Exit()
    {
        PostMessageW(window, WM_COMMAND, 105, 0);
        EXPECT_EQ(WaitForExit(run, Patience), 0);
        CloseRun(run);
    }
    void TearDown() override
    {
        CloseRun(run);
        EndStrayPrograms();
        UseMixerStandIn(false);
        UseEndpointStandIn(false);
        SetProgramWindowsVersion(NULL);
        RigTest::TearDown();
    }
};

TEST_F(Mute, StartUpReportsTheMuteOfEveryMixerItReadsAndClosesAllItOpened)
{
    SetProgramWindowsVersion(L"winxp");
    ASSERT_TRUE(UseMixerStandIn(true));
    using V = std::vector<std::string>;
    struct Case
    {
        LONG mixers, muted, unreadable;
        V reports;
    } cases[] = {
        {2, 0, 0, {"00", "00"}}, // the input-only mixer has no speakers to read
        {2, 1, 0, {"00", "01"}},
        {2, 0, 1, {"00"}},
        {0, 0, 0, {"00"}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.mixers * 100 + c.muted * 10 + c.unreadable);
        MixerSimReset(c.mixers);
        MixerSimOpen()->muted = c.muted;
        MixerSimSetUnreadable(c.unreadable);
        ASSERT_EQ(SimLogClear(), 0);
        Start();
        EXPECT_EQ(Reports(), c.reports);
        Exit();
        EXPECT_EQ(MixerSimOpen()->opened, c.mixers);
        EXPECT_EQ(MixerSimOpen()->closed, c.mixers);
    }
}

TEST_F(Mute, EveryMuteChangeIsToldAndEveryReportCarriesIt)
{
    SetProgramWindowsVersion(L"winxp");
    ASSERT_TRUE(UseMixerStandIn(true));
    MixerSimReset(2);
    MixerSimSetUnreadable(1);
    Start();
    ASSERT_EQ(SimLogClear(), 0);
    // A mute whose value can't be read: nothing is told, but its changes are
    // still followed once it can be.
    MixerSimSetMute(1);
    EXPECT_TRUE(Reports().empty());
    // The program reads the value when the notice arrives: each change waits
    // for the report of the one before.
    MixerSimSetUnreadable(0);
    MixerSimSetMute(1);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 01"), Patience));
    MixerSimChangeVolume();
    PostMessageW(window, WM_COMMAND, IdmSwitchAll, 0);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 07"), Patience));
    MixerSimSetMute(0);
    // The output mixer is listed before an input-only one: its changes count.
    EXPECT_EQ(Reports(), (std::vector<std::string>{"01", "07", "00"}));
    Exit();
}

TEST_F(Mute, WinesOwnEndpointOrMixerIsReadAtStartUp)
{
    // Wine's ALSA driver with the null device: an output device (on Windows
    // XP an output mixer with a speakers mute, then an input mixer). With no
    // sound set-up at all: no device and no mixer.
    std::string home = "/tmp/ornax-alsa-home";
    RunUnix("(mkdir -p " + home + " && echo 'pcm.!default { type null }' >" + home + "/.asoundrc)");
    using V = std::vector<std::string>;
    struct Case
    {
        const wchar_t *version;
        std::string home;
        V reports;
    } cases[] = {
        {NULL, home, {"00", "00"}},
        {NULL, "/tmp/ornax-no-sound", {"00"}},
        {L"winxp", home, {"00", "00"}},
        {L"winxp", "/tmp/ornax-no-sound", {"00"}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(std::string(c.version ? "winxp " : "default ") + c.home);
        SetProgramWindowsVersion(c.version);
        ASSERT_EQ(SimLogClear(), 0);
        Start("HOME=" + c.home);
        // Wine's sound driver takes its time to come up.
        EXPECT_EQ(Reports(2000), c.reports);
        PostMessageW(window, WM_COMMAND, IdmSwitchAll, 0);
        EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience));
        Exit();
    }
}

// Each case starts the program on simulated endpoints, then changes them step
// by step; a step that should tell the switch nothing is followed by a switch
// command, whose report must come next and carry the mute flag the program
// holds.
TEST_F(Mute, TheDefaultOutputDevicesMuteIsFollowedAsItAndTheDefaultChange)
{
    ASSERT_TRUE(UseEndpointStandIn(true));
    // Where the endpoints work, no mixer is opened: its mute is only the
    // program's own session.
    ASSERT_TRUE(UseMixerStandIn(true));
    MixerSimReset(2);
    enum Action { MUTE, VOLUME, DEFAULT, CAPTURE, SWITCH_ALL };
    struct Step
    {
        Action action;
        LONG device, value;
        const char *report;  // what the switch is told next, or nullptr
    };
    struct Case
    {
        const char *name;
        LONG defaultDevice, muted0, muted1;
        std::vector<const char *> startUp;
        std::vector<Step> steps;
    } cases[] = {
        {"start not muted", 0, 0, 1, {"00", "00"}, {{SWITCH_ALL, 0, 0, "06"}}},
        {"start muted", 0, 1, 0, {"00", "01"}, {{SWITCH_ALL, 0, 0, "07"}}},
        {"mute, volume, unmute", 0, 0, 0, {"00", "00"},
         {{MUTE, 0, 1, "01"}, {VOLUME, 0, 0, nullptr}, {SWITCH_ALL, 0, 0, "07"}, {MUTE, 0, 0, "00"}}},
        {"a device that is not the default", 0, 0, 0, {"00", "00"},
         {{MUTE, 1, 1, nullptr}, {SWITCH_ALL, 0, 0, "06"}}},
        {"the default output changes", 0, 0, 1, {"00", "00"},
         {{DEFAULT, 1, 0, "01"}, {MUTE, 0, 1, nullptr}, {SWITCH_ALL, 0, 0, "07"}, {MUTE, 1, 0, "00"}}},
        {"the default capture device changes", 0, 1, 0, {"00", "01"},
         {{CAPTURE, 0, 0, nullptr}, {SWITCH_ALL, 0, 0, "07"}}},
        {"no device, then one", -1, 1, 0, {"00"}, {{SWITCH_ALL, 0, 0, "06"}, {DEFAULT, 0, 0, "01"}}},
        {"the last device goes", 0, 1, 0, {"00", "01"},
         {{DEFAULT, -1, 0, nullptr}, {SWITCH_ALL, 0, 0, "07"}, {DEFAULT, 1, 0, "00"}}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.name);
        MmDevSimReset(2, c.defaultDevice);
        MmDevSimOpen()->muted[0] = c.muted0;
        MmDevSimOpen()->muted[1] = c.muted1;
        ASSERT_EQ(SimLogClear(), 0);
        Start();
        std::vector<std::string> expected(c.startUp.begin(), c.startUp.end());
        auto waitForExpected = [&] {
            for (DWORD waited = 0; SwitchLogLines().size() < expected.size() && waited < Patience; waited += 50)
                Sleep(50);
        };
        waitForExpected();
        for (const Step &step : c.steps)
        {
            // Each change returns once the program's callbacks have returned,
            // so what the program posted is queued before a later command.
            switch (step.action)
            {
            case MUTE: MmDevSimSetMute(step.device, step.value); break;
            case VOLUME: MmDevSimChangeVolume(step.device); break;
            case DEFAULT: MmDevSimSetDefault(step.device); break;
            case CAPTURE: MmDevSimChangeCaptureDefault(); break;
            case SWITCH_ALL: PostMessageW(window, WM_COMMAND, IdmSwitchAll, 0); break;
            }
            if (!step.report)
                continue;
            expected.push_back(step.report);
            waitForExpected();
        }
        EXPECT_EQ(Reports(), expected);
        Exit();
        // Every callback unregistered, every object released, and nothing
        // told after Exit.
        MmDevSimState *sim = MmDevSimOpen();
        EXPECT_GT(sim->clientRegistered, 0);
        EXPECT_EQ(sim->clientRegistered, sim->clientUnregistered);
        EXPECT_EQ(sim->volumeRegistered, sim->volumeUnregistered);
        EXPECT_EQ(sim->liveObjects, 0);
        MmDevSimSetMute(0, !MmDevSimOpen()->muted[0]);
        EXPECT_EQ(Reports(), expected);
    }
    EXPECT_EQ(MixerSimOpen()->opened, 0);
}

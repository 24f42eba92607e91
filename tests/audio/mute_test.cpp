// The speakers' mute as the real dist\ORNAX.exe tells it to the switch: from
// the simulated mixer (a stand-in winmm.dll, whose mute any process can
// change and which notifies the program), and from Wine's own mixer.
#include "harness.h"
#include "mixersim.h"

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
        RigTest::TearDown();
    }
};

TEST_F(Mute, StartUpReportsTheMuteOfEveryMixerItReadsAndClosesAllItOpened)
{
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

TEST_F(Mute, WinesOwnMixerIsReadAtStartUp)
{
    // Wine's ALSA driver with the null device: an output mixer with a
    // speakers mute, then an input mixer. No sound set-up at all: no mixer.
    std::string home = "/tmp/ornax-alsa-home";
    RunUnix("(mkdir -p " + home + " && echo 'pcm.!default { type null }' >" + home + "/.asoundrc)");
    Start("HOME=" + home);
    // Wine's sound driver takes its time to come up.
    EXPECT_EQ(Reports(2000), (std::vector<std::string>{"00", "00"}));
    Exit();
    ASSERT_EQ(SimLogClear(), 0);
    Start("HOME=/tmp/ornax-no-sound");
    EXPECT_EQ(Reports(2000), (std::vector<std::string>{"00"}));
    PostMessageW(window, WM_COMMAND, IdmSwitchAll, 0);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience));
    Exit();
}

// The sequence detector through its real entry points, with its real thread
// timers and the real key state (ALT injected), reports counted at the
// simulated switch.
#include "harness.h"
#include "app/app.h"
#include "device/device.h"
#include "hotkey/hotkey.h"
#include "settings/store.h"

#include <sstream>

class Detector : public RigTest
{
  protected:
    void SetUp() override
    {
        RigTest::SetUp();
        OsVersion.dwOSVersionInfoSize = sizeof(OsVersion);
        GetVersionExW(&OsVersion);
        ASSERT_TRUE(PlugSwitch());
    }
    void TearDown() override
    {
        StopHotkeyTimers();
        InjectKey(VK_LMENU, true);
        InjectKey(VK_RMENU, true);
        RigTest::TearDown();
    }
    // Runs a script of events: a number is a keystroke from the hook; "w600"
    // dispatches messages for 600 ms; "A+"/"A-" presses/releases left ALT,
    // "R+"/"R-" right ALT; "H1"/"H0" is WM_HOOKALT; "!N" checks that N reports
    // were sent so far; "v0"/"v1" checks VideoOnly.
    std::vector<std::string> Run(LONG enableKeys, LONG activeKey, const std::string &script)
    {
        Settings = {enableKeys, activeKey};
        HotkeySequence.Step = 0;
        HotkeySequence.VideoOnly = 0;
        EXPECT_EQ(SimLogClear(), 0);
        if (enableKeys)
            StartSequenceTimer();
        std::istringstream events(script);
        std::string e;
        while (events >> e)
        {
            if (e[0] == 'w')
                PumpMessages(std::stoul(e.substr(1)));
            else if (e[0] == 'A' || e[0] == 'R')
                InjectKey(e[0] == 'A' ? VK_LMENU : VK_RMENU, e[1] == '-');
            else if (e[0] == 'H')
                HandleHookAlt(e[1] - '0');
            else if (e[0] == '!')
                EXPECT_EQ(SettledSwitchLog(150).size(), std::stoul(e.substr(1))) << "at " << e;
            else if (e[0] == 'v')
                EXPECT_EQ(HotkeySequence.VideoOnly, e[1] - '0') << "at " << e;
            else
                HandleHookKey(std::stoul(e));
        }
        PumpMessages(100);
        std::vector<std::string> sent;
        for (const std::string &line : SettledSwitchLog(300))
            sent.push_back(line.substr(line.size() - 2));
        StopHotkeyTimers();
        return sent;
    }
};

TEST_F(Detector, EverySequenceOfTheStateTable)
{
    using V = std::vector<std::string>;
    struct Case
    {
        LONG enableKeys, activeKey;
        const char *script;
        V sent;
    } cases[] = {
        {1, 17, "17 w400 17", {"06"}},
        {1, 17, "17 w600 17 !0 w100 17", {"06"}},
        {1, 17, "17 65 17", {"06"}},
        {1, 145, "145 17 145 145", {"06"}},
        {1, -1, "17 17 16", {"06"}},
        {1, -1, "17 65 17 16", {}},
        {1, -1, "17 17 18 16", {"06"}},
        {1, -1, "17 17 w600 16", {}},
        // ALT held at Shift: nothing until Shift, Control or ALT comes with ALT up.
        {1, -1, "A+ 17 17 16 w700 !0 17 !0 A- 18", {"02"}},
        {1, -1, "A+ 17 17 16 A- 65 w600", {}},
        // ALT held at the second key: the ALT timer switches video once it is up.
        {1, 144, "A+ 144 144 w1100 !0 A- w600", {"02"}},
        {1, 144, "R+ 144 144 R- 144", {"06"}},
        {1, 17, "H1 17 17 v0 17 17", {"02", "06"}},
        {1, -1, "H1 17 w600 v1 17 65 v0", {}},
        {0, 17, "17 17 H1 v1 17 17 H0 v0", {}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(Run(c.enableKeys, c.activeKey, c.script), c.sent);
    }
}

TEST_F(Detector, AtMostOneTimerOfEachKind)
{
    Settings = {1, 17};
    StartSequenceTimer();
    UINT_PTR first = HotkeySequence.WindowTimerId;
    HandleHookKey(17);
    EXPECT_NE(HotkeySequence.WindowTimerId, first);
    EXPECT_FALSE(KillTimer(NULL, first)) << "the earlier sequence timer still ran";
    InjectKey(VK_LMENU, false);
    HandleHookKey(17);
    UINT_PTR alt = HotkeySequence.AltTimerId;
    EXPECT_NE(alt, NO_TIMER);
    EXPECT_EQ(HotkeySequence.WindowTimerId, NO_TIMER);
    HandleHookKey(17);
    EXPECT_NE(HotkeySequence.AltTimerId, alt);
    EXPECT_FALSE(KillTimer(NULL, alt)) << "the earlier ALT timer still ran";
    StopHotkeyTimers();
    EXPECT_EQ(HotkeySequence.AltTimerId, NO_TIMER);
}

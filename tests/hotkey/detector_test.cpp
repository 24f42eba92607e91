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
    // Runs a script of events: a number is a keystroke from the hook, stamped
    // with the tick count plus the script's clock; "t700" moves that clock on
    // by 700 ms, as keystrokes that waited in the queue carry earlier times;
    // "z" sets it so that the stamps wrap 200 ms later; "w600"
    // dispatches messages for 600 ms; "A+"/"A-" presses/releases left ALT,
    // "R+"/"R-" right ALT; "H1"/"H0" is WM_HOOKALT; "!N" checks that N reports
    // were sent so far; "v0"/"v1" checks VideoOnly.
    std::vector<std::string> Run(LONG enableKeys, LONG activeKey, const std::string &script)
    {
        Settings = {enableKeys, activeKey, {0, 0, 0}};
        HotkeySequence.Step = 0;
        HotkeySequence.VideoOnly = 0;
        HotkeySequence.WindowOpen = FALSE;
        EXPECT_EQ(SimLogClear(), 0);
        DWORD clock = 0;
        std::istringstream events(script);
        std::string e;
        while (events >> e)
        {
            if (e[0] == 'w')
                PumpMessages(std::stoul(e.substr(1)));
            else if (e[0] == 't')
                clock += std::stoul(e.substr(1));
            else if (e[0] == 'z')
                clock = 0xFFFFFF38u - GetTickCount();
            else if (e[0] == 'A' || e[0] == 'R')
                InjectKey(e[0] == 'A' ? VK_LMENU : VK_RMENU, e[1] == '-');
            else if (e[0] == 'H')
                HandleHookAlt(e[1] - '0');
            else if (e[0] == '!')
                EXPECT_EQ(SettledSwitchLog(150).size(), std::stoul(e.substr(1))) << "at " << e;
            else if (e[0] == 'v')
                EXPECT_EQ(HotkeySequence.VideoOnly, e[1] - '0') << "at " << e;
            else
                HandleHookKey(std::stoul(e), GetTickCount() + clock);
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
        // The keystrokes' own times decide, whenever they are handled.
        {1, 17, "17 t700 17", {}},
        {1, 17, "17 t300 17", {"06"}},
        {1, -1, "17 t400 17 t400 16", {"06"}},
        {1, -1, "17 t400 17 t600 16", {}},
        {1, 17, "z 17 t300 17", {"06"}},
        {1, 17, "z 17 t600 17", {}},
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

TEST_F(Detector, AtMostOneAltTimer)
{
    Settings = {1, 17, {0, 0, 0}};
    InjectKey(VK_LMENU, false);
    HandleHookKey(17, GetTickCount());
    HandleHookKey(17, GetTickCount());
    UINT_PTR alt = HotkeySequence.AltTimerId;
    EXPECT_NE(alt, NO_TIMER);
    EXPECT_FALSE(HotkeySequence.WindowOpen) << "a timed reset could end the ALT wait";
    HandleHookKey(17, GetTickCount());
    EXPECT_NE(HotkeySequence.AltTimerId, alt);
    EXPECT_FALSE(KillTimer(NULL, alt)) << "the earlier ALT timer still ran";
    StopHotkeyTimers();
    EXPECT_EQ(HotkeySequence.AltTimerId, NO_TIMER);
}

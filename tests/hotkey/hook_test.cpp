// TessaroHook.dll (its test build, which can drop its hook the way the
// system does) on a window of the test's own, fed with injected keys.
#include "harness.h"
#include "tessarohook/TessaroHook.h"

namespace
{
std::vector<std::string> Seen; // "K17" per WM_HOOKKEY, "A1" per WM_HOOKALT

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HOOKKEY)
        Seen.push_back("K" + std::to_string(wParam));
    else if (message == WM_HOOKALT)
        Seen.push_back("A" + std::to_string(lParam));
    return DefWindowProcW(window, message, wParam, lParam);
}

typedef BOOL(WINAPI *StartFunction)(HWND);
typedef BOOL(WINAPI *StopFunction)(void);
typedef void(WINAPI *DropFunction)(void);
typedef void(WINAPI *BlindFunction)(LONG);
}

class HookLibrary : public ::testing::Test
{
  protected:
    HMODULE library = NULL;
    HWND window = NULL;
    StopFunction stop = nullptr;
    DropFunction drop = nullptr;
    BlindFunction blind = nullptr;

    void SetUp() override
    {
        EndStrayPrograms();
        library = LoadLibraryW(L"TessaroHook.dll");
        ASSERT_NE(library, (HMODULE)NULL);
        auto start = (StartFunction)(void (*)(void))GetProcAddress(library, "StartHook");
        stop = (StopFunction)(void (*)(void))GetProcAddress(library, "StopHook");
        drop = (DropFunction)(void (*)(void))GetProcAddress(library, "DropHookForTest");
        blind = (BlindFunction)(void (*)(void))GetProcAddress(library, "SetHookBlindForTest");
        ASSERT_TRUE(start && stop && drop && blind);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.lpszClassName = L"HookTestWindow";
        RegisterClassW(&windowClass);
        window = CreateWindowW(L"HookTestWindow", L"", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
        ASSERT_TRUE(start(window));
        Seen.clear();
    }
    void TearDown() override
    {
        if (stop)
        {
            EXPECT_TRUE(stop());
        }
        DestroyWindow(window);
        FreeLibrary(library);
    }
    std::vector<std::string> Keys(const std::vector<std::pair<WORD, bool>> &events)
    {
        Seen.clear();
        for (auto &event : events)
            InjectKey(event.first, event.second);
        PumpMessages(200);
        return Seen;
    }
};

TEST_F(HookLibrary, ReportsPressesWithGenericCodesAndAltBothWays)
{
    using S = std::vector<std::string>;
    EXPECT_EQ(Keys({{VK_RCONTROL, 0}, {VK_RCONTROL, 1}, {VK_LCONTROL, 0}, {VK_LCONTROL, 1}}), (S{"K17", "K17"}));
    // Auto-repeat is not a press.
    EXPECT_EQ(Keys({{VK_LSHIFT, 0}, {VK_LSHIFT, 1}}), (S{"K16"}));
    // Num Lock in pairs, so that its lock state ends as it began: Wine 10
    // resyncs a lock state that differs from the X server's with key presses
    // of its own.
    EXPECT_EQ(Keys({{VK_NUMLOCK, 0}, {VK_NUMLOCK, 1}, {'A', 0}, {'A', 1}, {VK_NUMLOCK, 0}, {VK_NUMLOCK, 1}}),
              (S{"K144", "K65", "K144"}));
    // ALT: its release is a keystroke too, once the system shows it up.
    EXPECT_EQ(Keys({{VK_LMENU, 0}, {VK_CONTROL, 0}, {VK_CONTROL, 1}, {VK_LMENU, 1}}),
              (S{"A1", "K18", "K17", "A0", "K18"}));
    EXPECT_EQ(Keys({{VK_RMENU, 0}, {VK_LMENU, 0}, {VK_RMENU, 1}, {VK_LMENU, 1}}), (S{"A1", "K18", "K18", "K18", "A0", "K18"}));
}

// Raw input tells the library of every key: the first one that the dropped
// hook missed puts it back, and the mouse alone never does.
TEST_F(HookLibrary, ADroppedHookComesBackAtTheFirstKeyItMissedAndNeverForTheMouse)
{
    Keys({{VK_LMENU, 0}});
    drop();
    PumpMessages(100);
    LONG installs = ReadHookRecord().installs;
    ASSERT_EQ(ReadHookRecord().hooked, 0) << "the hook was not dropped";
    for (int i = 0; i < 20; ++i)
        MovePointer(100 + 10 * i, 200 + 5 * i);
    PumpMessages(2500); // longer than any watchdog's period would be
    EXPECT_EQ(ReadHookRecord().installs, installs) << "the mouse put the hook back";
    EXPECT_EQ(ReadHookRecord().hooked, 0);
    // The missed key itself is lost; the next ones are seen, and ALT, which
    // the hook believed down, is seen up.
    EXPECT_TRUE(Keys({{'A', 0}, {'A', 1}}).empty());
    EXPECT_EQ(ReadHookRecord().installs, installs + 1);
    EXPECT_EQ(ReadHookRecord().hooked, 1);
    EXPECT_EQ(Keys({{'B', 0}, {'B', 1}, {VK_LMENU, 1}}), (std::vector<std::string>{"K66", "A0", "K18"}));
    EXPECT_EQ(ReadHookRecord().installs, installs + 1) << "a working hook was put back again";
}

// A hook that raw input outsees but that is never called (a normal program's
// hook while an elevated window has the focus, if raw input were not blind
// there too) is put back once, then not again within seconds however many
// keys come: never a loop of re-installs.
TEST_F(HookLibrary, AHookThatSeesNothingIsNotPutBackInALoop)
{
    LONG installs = ReadHookRecord().installs;
    blind(1);
    DWORD start = GetTickCount();
    for (int i = 0; i < 30; ++i)
    {
        InjectKey('C', false);
        InjectKey('C', true);
        PumpMessages(20);
    }
    PumpMessages(200);
    ASSERT_LT(GetTickCount() - start, 4500u) << "the keys took longer than the back-off";
    EXPECT_EQ(ReadHookRecord().installs, installs + 1);
    blind(0);
    EXPECT_EQ(Keys({{'D', 0}, {'D', 1}}), (std::vector<std::string>{"K68"}));
}

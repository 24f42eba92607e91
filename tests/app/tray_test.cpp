// The real dist\ORNAX.exe on the rig's "shell" desktop: the tray icon's
// picture, its menu, clicks on it, and the shell restarting.
#include "harness.h"

#include <dbt.h>
#include <tlhelp32.h>

namespace
{
const DWORD Patience = 10000;
// Where the taskbar of a 1024x768 "shell" desktop puts the first icon.
const int IconX = 1013, IconY = 758;
const int IconLeft = 1005, IconTop = 750, IconSize = 17;
// Centres of the menu's six items below its top edge, as Wine lays it out:
// Swivo All, Swivo Audio, Swivo Video, Options..., About..., Exit.
const int ItemOffsets[] = {10, 37, 53, 79, 96, 123};
enum MenuItem
{
    ItemSwitchAll,
    ItemSwitchAudio,
    ItemSwitchVideo,
    ItemOptions,
    ItemAbout,
    ItemExit
};

bool IsRed(COLORREF c) { return GetRValue(c) > 150 && GetGValue(c) < 90 && GetBValue(c) < 90; }
bool IsDark(COLORREF c) { return GetRValue(c) < 70 && GetGValue(c) < 70 && GetBValue(c) < 70; }

enum class TrayPicture
{
    None,
    Attached,
    NotAttached
};

TrayPicture CurrentTrayPicture()
{
    std::vector<COLORREF> pixels = ScreenArea(IconLeft, IconTop, IconSize, IconSize);
    int red = 0, dark = 0;
    for (COLORREF c : pixels)
    {
        red += IsRed(c);
        dark += IsDark(c);
    }
    if (red > 10)
        return TrayPicture::NotAttached;
    return dark > 10 ? TrayPicture::Attached : TrayPicture::None;
}

bool WaitForTrayPicture(TrayPicture expected, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (CurrentTrayPicture() != expected)
    {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

// Pixels of the item's band in the menu text colour; with wantBackground, only
// when the band also shows the menu's own background (so it has been drawn).
int TextPixelsOfItem(const RECT &menu, MenuItem item, bool wantBackground = false)
{
    int top = menu.top + ItemOffsets[item] - 5;
    std::vector<COLORREF> band = ScreenArea(menu.left + 4, top, menu.right - menu.left - 8, 10);
    COLORREF text = GetSysColor(COLOR_MENUTEXT), background = GetSysColor(COLOR_MENU);
    int count = 0;
    bool backgroundSeen = false;
    for (COLORREF c : band)
    {
        count += c == text;
        backgroundSeen |= c == background;
    }
    return wantBackground && !backgroundSeen ? 0 : count;
}

bool ProcessHasModule(DWORD processId, const wchar_t *moduleName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    MODULEENTRY32W entry;
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Module32FirstW(snapshot, &entry); more && !found; more = Module32NextW(snapshot, &entry))
        found = _wcsicmp(entry.szModule, moduleName) == 0;
    CloseHandle(snapshot);
    return found;
}
}

class Tray : public RigTest
{
  protected:
    ProgramRun run;
    HWND window = NULL;

    void Start(const std::vector<std::wstring> &environment = {}, const std::wstring &folder = DistFolder())
    {
        MovePointer(500, 300);
        run = StartProgram(L"", environment, folder);
        ASSERT_TRUE(run.started);
        window = WaitForProgramWindow(Patience);
        ASSERT_NE(window, (HWND)NULL);
        WaitForIcon();
    }
    void WaitForIcon()
    {
        DWORD start = GetTickCount();
        while (CurrentTrayPicture() == TrayPicture::None && GetTickCount() - start < Patience)
            Sleep(50);
    }
    RECT OpenMenu()
    {
        RECT rect{};
        MovePointer(500, 300);
        ClickAt(IconX, IconY, 3);
        HWND menu = WaitForVisibleWindow(L"#32768", Patience);
        EXPECT_NE(menu, (HWND)NULL) << "the tray menu did not open";
        if (!menu)
            return rect;
        GetWindowRect(menu, &rect);
        // Visible is not yet drawn: wait for Exit, the last item and always enabled,
        // to show its text on the menu's background.
        for (DWORD start = GetTickCount();
             TextPixelsOfItem(rect, ItemExit, true) == 0 && GetTickCount() - start < Patience;)
            Sleep(20);
        return rect;
    }
    void Choose(const RECT &menu, MenuItem item)
    {
        ClickAt((menu.left + menu.right) / 2, menu.top + ItemOffsets[item]);
        EXPECT_TRUE(WaitForNoVisibleWindow(L"#32768", Patience));
    }
    void CloseMenu()
    {
        ClickAt(300, 200);
        EXPECT_TRUE(WaitForNoVisibleWindow(L"#32768", Patience));
    }
    void Exit()
    {
        PostMessageW(window, WM_COMMAND, 105, 0);
        EXPECT_EQ(WaitForExit(run, Patience), 0);
    }
    // The tooltip the shell shows while the pointer rests on the icon.
    std::wstring TrayTooltip()
    {
        MovePointer(500, 300);
        WaitForNoVisibleWindow(L"tooltips_class32", 3000);
        HWND tip = NULL;
        for (int attempt = 0; attempt < 5 && !tip; ++attempt)
        {
            MovePointer(IconX - 4, IconY);
            MovePointer(IconX, IconY);
            tip = WaitForVisibleWindow(L"tooltips_class32", 2000);
        }
        std::wstring text = tip ? WindowTextOf(tip) : L"(no tooltip)";
        MovePointer(500, 300);
        return text;
    }
    void TearDown() override
    {
        if (FindVisibleWindow(L"#32768"))
            ClickAt(300, 200);
        CloseRun(run);
        SetProgramWindowsVersion(NULL);
        RigTest::TearDown();
    }
};

TEST_F(Tray, IconShowsWhetherTheSwitchIsAttached)
{
    Start();
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::NotAttached, Patience));

    // Plugged while running: a status report, and the attached picture.
    ASSERT_TRUE(PlugSwitch());
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience)) << SwitchLog();
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::Attached, Patience));

    ASSERT_TRUE(UnplugSwitches());
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::NotAttached, Patience));
    Exit();
}

// Windows sends a notice for every device of every kind, and bursts of them
// when the switch moves the keyboard and mouse away or back.
TEST_F(Tray, EveryDeviceNoticeRefreshesTheSwitchOnceABurstIsOver)
{
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0103));
    Start();
    ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience));
    ASSERT_EQ(SimLogClear(), 0);

    // A volume's arrival and removal: one refresh, and the switch stays known.
    // Such notices carry a pointer, so they are sent, not posted; with their
    // header, as the system's own: Wine 10 drops one without it.
    DEV_BROADCAST_HDR volume{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_VOLUME, 0};
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, (LPARAM)&volume);
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, (LPARAM)&volume);
    EXPECT_EQ(SettledSwitchLog(800), std::vector<std::string>{ReportLine("01 00")});
    EXPECT_EQ(CurrentTrayPicture(), TrayPicture::Attached);
    RECT menu = OpenMenu();
    EXPECT_GT(TextPixelsOfItem(menu, ItemSwitchAll), 0);
    CloseMenu();
    PostMessageW(window, WM_COMMAND, 104, 0);
    HWND about = WaitForDialog(L"About Swivo", Patience);
    ASSERT_NE(about, (HWND)NULL);
    EXPECT_EQ(WindowTextOf(GetDlgItem(about, 1001)), L"Firmware Version 1.3");
    PostMessageW(about, WM_COMMAND, IDOK, 0);

    // Twelve device-tree changes 20 ms apart: one report, two at most.
    ASSERT_EQ(SimLogClear(), 0);
    for (int i = 0; i < 12; ++i)
    {
        SendMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
        Sleep(20);
    }
    std::vector<std::string> burst = SettledSwitchLog(800);
    EXPECT_GE(burst.size(), 1u);
    EXPECT_LE(burst.size(), 2u) << SwitchLog();

    // Unplugged: the picture and the menu say so.
    ASSERT_TRUE(UnplugSwitches());
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::NotAttached, Patience));
    menu = OpenMenu();
    EXPECT_EQ(TextPixelsOfItem(menu, ItemSwitchAll), 0);
    CloseMenu();
    Exit();
}

TEST_F(Tray, MenuItemsSwitchWhatTheySay)
{
    ASSERT_TRUE(PlugSwitch());
    Start();
    ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience));
    ASSERT_TRUE(WaitForTrayPicture(TrayPicture::Attached, Patience));

    const struct
    {
        MenuItem item;
        const char *report;
    } choices[] = {{ItemSwitchAll, "01 06"}, {ItemSwitchAudio, "01 04"}, {ItemSwitchVideo, "01 02"}};
    for (const auto &choice : choices)
    {
        SCOPED_TRACE(choice.report);
        ASSERT_EQ(SimLogClear(), 0);
        RECT menu = OpenMenu();
        // The menu hangs from the cursor by its right edge.
        EXPECT_NEAR(menu.right, IconX, 2);
        EXPECT_GT(TextPixelsOfItem(menu, choice.item), 0) << "enabled items are drawn in the menu text colour";
        Choose(menu, choice.item);
        EXPECT_TRUE(WaitForSwitchLog(ReportLine(choice.report), Patience)) << SwitchLog();
        EXPECT_EQ(SettledSwitchLog(300).size(), 1u) << SwitchLog();
    }
    Exit();
}

TEST_F(Tray, SwitchItemsAreGreyWithoutASwitch)
{
    Start();
    RECT menu = OpenMenu();
    for (MenuItem item : {ItemSwitchAll, ItemSwitchAudio, ItemSwitchVideo})
        EXPECT_EQ(TextPixelsOfItem(menu, item), 0) << "item " << item << " should be grey";
    for (MenuItem item : {ItemOptions, ItemAbout, ItemExit})
        EXPECT_GT(TextPixelsOfItem(menu, item), 0) << "item " << item << " should be enabled";
    // A grey item does nothing when clicked.
    ClickAt((menu.left + menu.right) / 2, menu.top + ItemOffsets[ItemSwitchAll]);
    CloseMenu();
    EXPECT_TRUE(SettledSwitchLog(500).empty()) << SwitchLog();
    EXPECT_TRUE(IsWindow(window));
    Exit();
}

TEST_F(Tray, DoubleClickSwitchesEverythingOnceAndASingleClickNothing)
{
    ASSERT_TRUE(PlugSwitch());
    Start();
    ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), Patience));
    ASSERT_EQ(SimLogClear(), 0);

    ClickAt(IconX, IconY, 1, 1);
    EXPECT_TRUE(SettledSwitchLog(800).empty()) << SwitchLog();

    ClickAt(IconX, IconY, 1, 2);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience)) << SwitchLog();
    EXPECT_EQ(SettledSwitchLog(800), std::vector<std::string>{ReportLine("01 06")});
    Exit();
}

TEST_F(Tray, ExitFromTheMenuRemovesTheIconAndEnds)
{
    Start();
    ASSERT_TRUE(WaitForTrayPicture(TrayPicture::NotAttached, Patience));
    RECT menu = OpenMenu();
    Choose(menu, ItemExit);
    EXPECT_EQ(WaitForExit(run, Patience), 0);
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::None, Patience));
}

TEST_F(Tray, IconComesBackWhenTheShellAsksForIt)
{
    ASSERT_TRUE(PlugSwitch());
    Start();
    ASSERT_TRUE(WaitForTrayPicture(TrayPicture::Attached, Patience));

    // What a shell restart looks like to the program: its icon is gone, then
    // the new taskbar broadcasts "TaskbarCreated".
    NOTIFYICONDATAW icon{};
    icon.cbSize = NOTIFYICONDATAW_V2_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon));
    ASSERT_TRUE(WaitForTrayPicture(TrayPicture::None, Patience));
    PostMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitForTrayPicture(TrayPicture::Attached, Patience));

    // The restored icon still works.
    ASSERT_EQ(SimLogClear(), 0);
    ClickAt(IconX, IconY, 1, 2);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience)) << SwitchLog();

    // Any program may broadcast the message while the icon is there (the
    // shell then refuses to add it again): the icon still answers.
    PostMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    Sleep(500);
    ASSERT_EQ(SimLogClear(), 0);
    ClickAt(IconX, IconY, 1, 2);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience)) << SwitchLog();
    EXPECT_EQ(SettledSwitchLog(800), std::vector<std::string>{ReportLine("01 06")});
    Exit();
}

// This test runs with a German user-interface language (LC_ALL=de_DE.UTF-8),
// like the programs it starts: Wine 10 can fail an assertion in a process
// that reads the display while a process of another locale starts.
TEST_F(Tray, TooltipSaysWhetherTheSwitchIsAttachedInTheUsersLanguage)
{
    // English first: a copy of the program with no language library beside it.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring bare = std::wstring(temp) + L"ornax-no-language";
    CreateDirectoryW(bare.c_str(), NULL);
    for (const wchar_t *file : {L"\\ORNAX.exe", L"\\TessaroHook.dll"})
        ASSERT_TRUE(CopyFileW((DistFolder() + file).c_str(), (bare + file).c_str(), FALSE));
    struct Case
    {
        std::wstring folder;
        const wchar_t *notAttached;
    } cases[] = {
        {bare, L"Swivo Not Attached"},
        {DistFolder(), L"Swivo nicht angeschlossen"},
    };
    RECT menus[2];
    for (int i = 0; i < 2; ++i)
    {
        const Case &c = cases[i];
        ASSERT_TRUE(UnplugSwitches());
        Start({}, c.folder);
        // A language library is mapped as data, never loaded as a module.
        EXPECT_FALSE(ProcessHasModule(run.process.dwProcessId, L"RES_DE.DLL"));
        EXPECT_EQ(TrayTooltip(), c.notAttached);
        // The text follows the picture.
        ASSERT_TRUE(PlugSwitch());
        EXPECT_TRUE(WaitForTrayPicture(TrayPicture::Attached, Patience));
        EXPECT_EQ(TrayTooltip(), L"Swivo");
        menus[i] = OpenMenu();
        CloseMenu();
        Exit();
        CloseRun(run);
    }
    // "Swivo Alles" and "Optionen..." are set in a wider menu than the English one.
    EXPECT_GT(menus[1].right - menus[1].left, menus[0].right - menus[0].left);
}

// The shell's notifications as it posts them in each version it may agree to:
// 0 (Windows NT 4), 3 (Windows 2000 and XP) and 4 (Vista and later).
TEST_F(Tray, EachNotificationVersionOpensOneMenuPerRequestAndSwitchesOnDoubleClick)
{
    const UINT NinSelect = WM_USER, NinKeySelect = WM_USER + 1;
    struct Case
    {
        const wchar_t *windowsVersion;
        UINT version;
    } cases[] = {{L"nt40", 0}, {L"winxp", 3}, {NULL, 4}};
    const POINT anchor = {700, 400};
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.version);
        SetProgramWindowsVersion(c.windowsVersion);
        // Before Windows 2000 the switch is known by the serial registered for it.
        const char *instance = c.version ? "0000" : "00000000CAFEF00D";
        ASSERT_TRUE(UnplugSwitches());
        if (c.version)
            ASSERT_TRUE(PlugSwitch());
        else
        {
            const BYTE serial[8] = {0x0D, 0xF0, 0xFE, 0xCA, 0, 0, 0, 0};
            ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 2, L"00000000CAFEF00D", FirstCollectionOnly));
            ASSERT_TRUE(WriteRegistryBinary(HKEY_LOCAL_MACHINE, L"Enum\\HID\\VID_7A3C&PID_5C02&COL01\\1",
                                            L"Serial", serial, 8));
        }
        Start();
        // What the shell sends for one mouse event, in this version's form.
        auto notify = [&](UINT event) {
            if (c.version >= 4)
                PostMessageW(window, 0x832A, MAKEWPARAM(anchor.x, anchor.y), MAKELPARAM(event, 1));
            else
                PostMessageW(window, 0x832A, 1, event);
        };
        // Each request: the messages of one right-click, of the menu key, of
        // one Enter that the shell reports twice.
        std::vector<std::vector<UINT>> requests = {{WM_RBUTTONDOWN, WM_RBUTTONUP}};
        if (c.version >= 3)
        {
            requests[0].push_back(WM_CONTEXTMENU);
            requests.push_back({WM_CONTEXTMENU});
            requests.push_back({NinKeySelect, NinKeySelect});
        }
        for (const std::vector<UINT> &request : requests)
        {
            SCOPED_TRACE(request.back());
            MovePointer(500, 300);
            for (UINT event : request)
                notify(event);
            HWND menu = WaitForVisibleWindow(L"#32768", Patience);
            ASSERT_NE(menu, (HWND)NULL);
            RECT rect;
            GetWindowRect(menu, &rect);
            // At the anchor where version 4 gives one, else at the pointer;
            // right edge there, top there.
            POINT at = c.version >= 4 ? anchor : POINT{500, 300};
            EXPECT_NEAR(rect.right, at.x, 2);
            EXPECT_NEAR(rect.top, at.y, 2);
            ClickAt(300, 200);
            ASSERT_TRUE(WaitForNoVisibleWindow(L"#32768", Patience));
            // No second menu follows.
            EXPECT_EQ(WaitForVisibleWindow(L"#32768", 700), (HWND)NULL);
            if (FindVisibleWindow(L"#32768"))
                ClickAt(300, 200);
            // The shell may report Enter twice: the next key press is a new one.
            Sleep(GetDoubleClickTime());
        }
        // A single click, then a double-click, as the shell reports them.
        ASSERT_EQ(SimLogClear(), 0);
        std::vector<UINT> clicks = {WM_LBUTTONDOWN, WM_LBUTTONUP};
        if (c.version >= 3)
            clicks.push_back(NinSelect);
        for (UINT event : clicks)
            notify(event);
        Sleep(GetDoubleClickTime() + 100);
        for (UINT event : clicks)
            notify(event);
        notify(WM_LBUTTONDBLCLK);
        notify(WM_LBUTTONUP);
        EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06", 0x5C02, instance), Patience));
        EXPECT_EQ(SettledSwitchLog(500).size(), 1u) << SwitchLog();
        Exit();
        CloseRun(run);
        SetProgramWindowsVersion(NULL);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Enum\\HID");
    }
}

// The program's own icon loading (trayprobe), started at each display scale
// while the taskbar runs at the scale it started with (96 dots per inch in the
// rig): the icons take the small-icon size of the taskbar's scale as the
// system reports it (Wine 8: the taskbar's own, 96; Wine 10: the caller's),
// and a "TaskbarCreated" broadcast loads them again and frees the old ones.
TEST_F(Tray, IconsAreLoadedAtTheTaskbarsSizeAndAgainWhenItIsCreated)
{
    const std::wstring desktop = L"Control Panel\\Desktop";
    std::wstring probe = L"\"" + EnvironmentOf(L"ORNAX_TESTS") + L"\\trayprobe.exe\"";
    for (DWORD dpi : {96u, 120u, 144u, 192u})
    {
        SCOPED_TRACE(dpi);
        ASSERT_TRUE(WriteRegistryData(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi)));
        int size = 0, loaded = 0, reloaded = 0, freed = 0, ownMetric = 0, taskbarDpi = 0;
        std::string output = RunToOutput(probe);
        ASSERT_EQ(sscanf(output.c_str(), "%d %d %d %d %d %d", &size, &loaded, &reloaded, &freed, &ownMetric,
                         &taskbarDpi),
                  6)
            << output;
        EXPECT_EQ(ownMetric, (int)(dpi * 16 / 96));  // the probe did start at this scale
        EXPECT_TRUE(taskbarDpi == 96 || taskbarDpi == (int)dpi) << taskbarDpi;
        EXPECT_EQ(size, taskbarDpi * 16 / 96);
        EXPECT_EQ(loaded, size);
        EXPECT_EQ(reloaded, size);
        EXPECT_EQ(freed, 1);
    }
    DWORD normal = 96;
    WriteRegistryData(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &normal, sizeof(normal));
}

// The Options and About dialogs of the real dist\ORNAX.exe, driven with
// xdotool clicks on the "shell" desktop, checked through their controls, the
// prefix's registry and what the switch receives.
#include "harness.h"

namespace
{
const DWORD Patience = 10000;
const wchar_t *const SettingsKey = L"Software\\Quorvik\\Swivo";
const WPARAM IdmAbout = 104, IdmOptions = 32776;
enum
{
    Ok = 1, Cancel = 2, Software = 1000, Firmware = 1001, Group = 1001, EnableKeys = 1002, CtrlCtrlShift = 1003,
    NumLock = 1004, Scroll = 1005, Sounds = 1006, CtrlCtrl = 1007, Note = 32781
};
const int Radios[] = {CtrlCtrl, NumLock, Scroll, CtrlCtrlShift};

LONG Stored(const wchar_t *name)
{
    LONG value = 12345;
    DWORD size = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, SettingsKey, name, RRF_RT_REG_DWORD, NULL, &value, &size);
    return value;
}
void Store(LONG enableKeys, LONG activeKey)
{
    WriteRegistryData(HKEY_CURRENT_USER, SettingsKey, L"EnableKeys", REG_DWORD, &enableKeys, 4);
    WriteRegistryData(HKEY_CURRENT_USER, SettingsKey, L"ActiveKey", REG_DWORD, &activeKey, 4);
}
std::wstring Text(HWND dialog, int id) { return WindowTextOf(id ? GetDlgItem(dialog, id) : dialog); }
bool Checked(HWND dialog, int id) { return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
// The radio buttons that are checked, and whether they are enabled.
std::vector<int> CheckedRadios(HWND dialog, bool *enabled = nullptr)
{
    std::vector<int> checked;
    for (int id : Radios)
    {
        if (Checked(dialog, id))
            checked.push_back(id);
        if (enabled)
            *enabled = IsWindowEnabled(GetDlgItem(dialog, id));
    }
    return checked;
}
}

class Dialogs : public RigTest
{
  protected:
    ProgramRun run;
    HWND window = NULL;

    void Start()
    {
        run = StartProgram();
        ASSERT_TRUE(run.started);
        window = WaitForProgramWindow(Patience);
        ASSERT_NE(window, (HWND)NULL);
    }
    HWND Open(WPARAM command, const wchar_t *caption)
    {
        PostMessageW(window, WM_COMMAND, command, 0);
        HWND dialog = WaitForDialog(caption, Patience);
        EXPECT_NE(dialog, (HWND)NULL) << "no dialog " << std::string(caption, caption + wcslen(caption));
        return dialog;
    }
    // Through the tray menu: "Options..." lies 79 pixels below its top edge.
    HWND OpenFromTray()
    {
        ClickAt(1013, 758, 3);
        HWND menu = WaitForVisibleWindow(L"#32768", Patience);
        RECT rect{};
        GetWindowRect(menu, &rect);
        ClickAt((rect.left + rect.right) / 2, rect.top + 79);
        return WaitForDialog(L"Options...", Patience);
    }
    void Close(HWND dialog, int button)
    {
        ClickWindow(GetDlgItem(dialog, button));
        EXPECT_TRUE(WaitUntilGone(dialog));
    }
    bool WaitUntilGone(HWND dialog)
    {
        for (int i = 0; i < 200 && IsWindow(dialog); ++i)
            Sleep(25);
        return !IsWindow(dialog);
    }
    // Whether Control, Control typed now switches everything.
    bool HotkeySwitches(const char *keys = "key ctrl sleep 0.1 key ctrl")
    {
        SimLogClear();
        RunUnix(std::string("xdotool ") + keys);
        return WaitForSwitchLog(ReportLine("01 06"), 1500);
    }
    void TearDown() override
    {
        CloseRun(run);
        DeleteRegistryTree(HKEY_CURRENT_USER, SettingsKey);
        DeleteRegistryTree(HKEY_CURRENT_USER, L"AppEvents");
        RigTest::TearDown();
    }
};

TEST_F(Dialogs, OptionsShowsStoresAndAppliesTheSettings)
{
    ASSERT_TRUE(PlugSwitch());
    Store(2, 20);
    Start();
    HWND dialog = Open(IdmOptions, L"Options...");
    ASSERT_NE(dialog, (HWND)NULL);
    const std::pair<int, const wchar_t *> texts[] = {
        {Group, L"Hotkey Sequence"}, {EnableKeys, L"Enable Hotkey Switching"},
        {Sounds, L"Enable Device Connection Sounds"}, {CtrlCtrl, L"Control - Control"},
        {NumLock, L"NumLock/Clear - NumLock/Clear"}, {Scroll, L"Scroll Lock - Scroll Lock"},
        {CtrlCtrlShift, L"Control - Control - Shift"}, {Ok, L"OK"}, {Cancel, L"Cancel"},
        {Note, L"Pressing ALT while entering the key sequence will switch control\n(video and input) only."}};
    for (const auto &text : texts)
        EXPECT_EQ(Text(dialog, text.first), text.second);
    // An unknown stored key shows as Control, Control, Shift; 2 counts as on.
    bool enabled = false;
    EXPECT_TRUE(Checked(dialog, EnableKeys));
    EXPECT_EQ(CheckedRadios(dialog, &enabled), std::vector<int>{CtrlCtrlShift});
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, Sounds)));
    // The program goes on while the dialog is open, and opens no second one.
    ClickAt(1013, 758, 1, 2);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience));
    PostMessageW(window, WM_COMMAND, IdmOptions, 0);
    PostMessageW(window, WM_COMMAND, IdmAbout, 0);
    Sleep(500);
    EXPECT_EQ(CountDialogsOf(run.process.dwProcessId), 1);
    Close(dialog, Ok);
    EXPECT_EQ(Stored(L"EnableKeys"), 2);
    EXPECT_EQ(Stored(L"ActiveKey"), -1);

    // Off: the radio buttons grey, the choice kept; after OK no hotkey works.
    dialog = OpenFromTray();
    ASSERT_NE(dialog, (HWND)NULL);
    ClickWindow(GetDlgItem(dialog, EnableKeys));
    EXPECT_EQ(CheckedRadios(dialog, &enabled), std::vector<int>{CtrlCtrlShift});
    EXPECT_FALSE(enabled);
    Close(dialog, Ok);
    EXPECT_EQ(Stored(L"EnableKeys"), 0);
    EXPECT_FALSE(HotkeySwitches("key ctrl sleep 0.1 key ctrl sleep 0.1 key shift"));

    // On again with Num Lock: exactly one button checked through every click.
    dialog = Open(IdmOptions, L"Options...");
    ClickWindow(GetDlgItem(dialog, EnableKeys));
    ClickWindow(GetDlgItem(dialog, NumLock));
    ClickWindow(GetDlgItem(dialog, EnableKeys));
    ClickWindow(GetDlgItem(dialog, EnableKeys));
    EXPECT_EQ(CheckedRadios(dialog, &enabled), std::vector<int>{NumLock});
    EXPECT_TRUE(enabled);
    Close(dialog, Ok);
    EXPECT_EQ(Stored(L"EnableKeys"), 1);
    EXPECT_EQ(Stored(L"ActiveKey"), 144);
    EXPECT_TRUE(HotkeySwitches("key Num_Lock sleep 0.1 key Num_Lock"));

    // Cancel, and Esc, change nothing.
    for (const char *way : {"cancel", "escape"})
    {
        SCOPED_TRACE(way);
        dialog = Open(IdmOptions, L"Options...");
        ClickWindow(GetDlgItem(dialog, EnableKeys));
        if (way[0] == 'c')
        {
            Close(dialog, Cancel);
        }
        else
        {
            RunUnix("xdotool key Escape");
            EXPECT_TRUE(WaitUntilGone(dialog));
        }
        EXPECT_EQ(Stored(L"EnableKeys"), 1);
        EXPECT_TRUE(HotkeySwitches("key Num_Lock sleep 0.1 key Num_Lock"));
    }
}

TEST_F(Dialogs, TheSoundsChoiceExistsFromWindowsXP)
{
    const std::wstring current = L"AppEvents\\Schemes\\Apps\\.Default\\DeviceConnect\\.Current";
    for (const wchar_t *version : {L"win2k", L"winxp"})
    {
        SCOPED_TRACE(version[3]);
        SetProgramWindowsVersion(version);
        // A silenced connect sound, its own sound kept in "Old".
        WriteRegistryData(HKEY_CURRENT_USER, current, L"", REG_SZ, L"", 0);
        WriteRegistryString(HKEY_CURRENT_USER, current, L"Old", L"mine.wav");
        WriteRegistryData(HKEY_CURRENT_USER, L"AppEvents\\Schemes\\Apps\\.Default\\DeviceDisconnect\\.Current", L"",
                          REG_SZ, L"", 0);
        Start();
        HWND dialog = Open(IdmOptions, L"Options...");
        ASSERT_NE(dialog, (HWND)NULL);
        bool xp = version[3] == 'x';
        EXPECT_EQ(IsWindowVisible(GetDlgItem(dialog, Sounds)), xp);
        EXPECT_FALSE(Checked(dialog, Sounds));
        if (xp)
        {
            ClickWindow(GetDlgItem(dialog, Sounds));
        }
        Close(dialog, Ok);
        wchar_t sound[64] = L"-";
        DWORD size = sizeof(sound);
        HKEY key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, current.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
        RegQueryValueExW(key, NULL, NULL, NULL, (BYTE *)sound, &size);
        RegCloseKey(key);
        EXPECT_STREQ(sound, xp ? L"mine.wav" : L"-");
        EndStrayPrograms();
        CloseRun(run);
    }
}

TEST_F(Dialogs, AboutShowsTheProgramAndFirmwareVersions)
{
    struct Case
    {
        unsigned short version; // 0: no switch
        const wchar_t *firmware;
    } cases[] = {{0x0103, L"Firmware Version 1.3"}, {0x011A, L"Firmware Version 1.1a"}, {0, L"Swivo Not Attached"}};
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.version);
        ASSERT_TRUE(UnplugSwitches());
        if (c.version)
        {
            ASSERT_TRUE(PlugSwitch(0x5C02, c.version));
        }
        Start();
        HWND dialog = Open(IdmAbout, L"About Swivo");
        ASSERT_NE(dialog, (HWND)NULL);
        EXPECT_EQ(Text(dialog, Software), L"Software Version 1.0.2.14");
        EXPECT_EQ(Text(dialog, Firmware), c.firmware);
        EXPECT_EQ(Text(dialog, Ok), L"OK");
        Close(dialog, Ok);
        EndStrayPrograms();
        CloseRun(run);
    }
}

// This test and the program it starts run in German (LC_ALL=de_DE.UTF-8).
TEST_F(Dialogs, AboutInGermanTakesItsLabelsFromTheGermanLibrary)
{
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0103));
    Start();
    SimLogClear();
    HWND dialog = Open(IdmAbout, L"Info über Swivo");
    ASSERT_NE(dialog, (HWND)NULL);
    EXPECT_EQ(Text(dialog, Software), L"Softwareversion 1.0.2.14");
    EXPECT_EQ(Text(dialog, Firmware), L"Firmwareversion 1.3");
    EXPECT_EQ(Text(dialog, -1), L"Copyright (C) 2026 the Swivo software authors");
    Close(dialog, Ok);
}

// The shell's own pieces, linked in: tray notifications and the icon refresh,
// without a running program.
#include "harness.h"
#include "app/app.h"
#include "device/device.h"
#include "settings/language.h"
#include "settings/store.h"
#include "resource.h"

#include <dbt.h>

class Shell : public RigTest
{
  protected:
    void SetUp() override
    {
        RigTest::SetUp();
        AppInstance = GetModuleHandleW(NULL);
        ResourceModule = AppInstance;
        OsVersion.dwOSVersionInfoSize = sizeof(OsVersion);
        GetVersionExW(&OsVersion);
        ClearDeviceAttributes();
        DoubleClickPending = 0;
        ZeroMemory(&TrayIcon, sizeof(TrayIcon));
    }
};

TEST_F(Shell, NotificationsForAnotherIconChangeNothing)
{
    ASSERT_TRUE(PlugSwitch());
    EXPECT_EQ(OnTrayNotify(2, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(DoubleClickPending, 0);
    EXPECT_EQ(OnTrayNotify(1, WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(DoubleClickPending, 1);
    // Another icon's release neither switches nor clears the pending double-click.
    EXPECT_EQ(OnTrayNotify(2, WM_LBUTTONUP), 0);
    EXPECT_EQ(DoubleClickPending, 1);
    // Mouse moves and presses leave it too.
    OnTrayNotify(1, WM_MOUSEMOVE);
    OnTrayNotify(1, WM_LBUTTONDOWN);
    OnTrayNotify(1, WM_RBUTTONDBLCLK);
    EXPECT_EQ(DoubleClickPending, 1);
    EXPECT_TRUE(SettledSwitchLog(300).empty()) << SwitchLog();
    EXPECT_EQ(OnTrayNotify(1, WM_LBUTTONUP), 1);
    EXPECT_EQ(DoubleClickPending, 0);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), 5000)) << SwitchLog();
}

TEST_F(Shell, ADoubleClickWithoutASwitchIsStillConsumed)
{
    OnTrayNotify(1, WM_LBUTTONDBLCLK);
    OnTrayNotify(1, WM_LBUTTONUP);
    EXPECT_EQ(DoubleClickPending, 0);
    EXPECT_TRUE(SettledSwitchLog(300).empty()) << SwitchLog();
}

// Without a window for the settling timer, a notice of any kind refreshes at
// once: the attributes follow the switch, which is told the mute state.
TEST_F(Shell, WithoutAWindowADeviceNoticeRefreshesAtOnce)
{
    ASSERT_EQ(MainWindow, (HWND)NULL);
    ASSERT_TRUE(PlugSwitch());
    ASSERT_EQ(SimLogClear(), 0);
    OnDeviceChange(DBT_DEVICEARRIVAL, 0);
    EXPECT_EQ(DeviceAttributes.ProductID, 0x5C02);
    EXPECT_EQ(SettledSwitchLog(300), std::vector<std::string>{ReportLine("01 00")});

    ASSERT_TRUE(UnplugSwitches());
    ASSERT_EQ(SimLogClear(), 0);
    OnDeviceChange(DBT_DEVICEREMOVECOMPLETE, 0);
    EXPECT_EQ(DeviceAttributes.ProductID, 0);
    EXPECT_TRUE(SettledSwitchLog(300).empty()) << SwitchLog();
}

// Windows menus show an item's shortcut after a tab, with the system's key
// names; Windows 9x is given the text in narrow form.
TEST_F(Shell, EachSwitchItemShowsItsKeyCombinationAfterATab)
{
    TrayMenu = GetSubMenu(LoadMenuW(AppInstance, MAKEINTRESOURCEW(IDR_TRAY_MENU)), 0);
    ASSERT_NE(TrayMenu, (HMENU)NULL);
    auto itemText = [](UINT id) {
        wchar_t text[100] = L"";
        GetMenuStringW(TrayMenu, id, text, 100, MF_BYCOMMAND);
        return std::wstring(text);
    };
    // Windows calls Control "Ctrl", Wine "Control".
    wchar_t control[32] = L"";
    GetKeyNameTextW(MapVirtualKeyW(VK_CONTROL, MAPVK_VK_TO_VSC) << 16, control, 32);
    SetMenuDefaultItem(TrayMenu, IDM_SWITCH_ALL, FALSE);
    for (DWORD platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS})
    {
        SCOPED_TRACE(platform);
        OsVersion.dwPlatformId = platform;
        const LONG set[] = {0x064A, 0x0371, 0};  // Ctrl+Alt+J, Ctrl+Shift+F2, none
        for (int i = 0; i < COMBINATION_COUNT; ++i)
            Settings.Combinations[i] = set[i];
        ShowCombinationsInMenu();
        EXPECT_EQ(itemText(IDM_SWITCH_ALL), L"Swivo All\t" + std::wstring(control) + L"+Alt+J");
        EXPECT_EQ(itemText(IDM_SWITCH_VIDEO), L"Swivo Video\t" + std::wstring(control) + L"+Shift+F2");
        EXPECT_EQ(itemText(IDM_SWITCH_AUDIO), L"Swivo Audio");
        EXPECT_EQ(GetMenuDefaultItem(TrayMenu, FALSE, 0), (UINT)IDM_SWITCH_ALL) << "still drawn bold";
        // Cleared, an item shows its text alone again.
        Settings.Combinations[0] = 0;
        ShowCombinationsInMenu();
        EXPECT_EQ(itemText(IDM_SWITCH_ALL), L"Swivo All");
    }
    Settings.Combinations[1] = 0;
}

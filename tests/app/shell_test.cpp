// The shell's own pieces, linked in: tray notifications and the icon refresh,
// without a running program.
#include "harness.h"
#include "app/app.h"
#include "device/device.h"
#include "settings/language.h"
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

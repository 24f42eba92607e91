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

TEST_F(Shell, DeviceEventsClearTheAttributesAndOnlyTreeChangesReport)
{
    ASSERT_TRUE(PlugSwitch());
    SendSwitchCommand(SWITCH_STATUS);
    ASSERT_EQ(DeviceAttributes.ProductID, 0x5C02);
    ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 00"), 5000));
    ASSERT_EQ(SimLogClear(), 0);

    OnDeviceChange(DBT_DEVICEARRIVAL, 0);
    EXPECT_EQ(DeviceAttributes.Size, 0u);
    EXPECT_EQ(DeviceAttributes.ProductID, 0);
    EXPECT_TRUE(SettledSwitchLog(300).empty()) << SwitchLog();

    // With no icon registered the refresh leaves the record alone.
    HICON marker = (HICON)(ULONG_PTR)0x1234;
    TrayIcon.hIcon = marker;
    OnDeviceChange(DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(DeviceAttributes.ProductID, 0x5C02);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 00"), 5000)) << SwitchLog();
    EXPECT_EQ(TrayIcon.hIcon, marker);
}

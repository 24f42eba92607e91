// The program's own device code, linked in, against the simulated switch
// through Wine's HID stack.
#include "harness.h"
#include "app/app.h"
#include "audio/audio.h"
#include "device/device.h"


namespace
{
const wchar_t *const HidEnumKey = L"Enum\\HID";

DWORD HandleCount() { return HandleCountOf(GetCurrentProcessId()); }
}

class DeviceLink : public RigTest
{
  protected:
    void SetUp() override
    {
        RigTest::SetUp();
        OsVersion.dwOSVersionInfoSize = sizeof(OsVersion);
        GetVersionExW(&OsVersion);
        ClearDeviceAttributes();
        MuteState.Value = 0;
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, HidEnumKey);
        RigTest::TearDown();
    }
};

TEST_F(DeviceLink, EachCommandWritesItsReportWithTheMuteFlag)
{
    ASSERT_TRUE(PlugSwitch());
    SendSwitchCommand(SWITCH_STATUS);
    SendSwitchCommand(SWITCH_VIDEO);
    SendSwitchCommand(SWITCH_AUDIO);
    SendSwitchCommand(SWITCH_ALL);
    // Any non-zero mute value sets bit 0 and nothing else.
    MuteState.Value = -7;
    SendSwitchCommand(SWITCH_ALL);
    SendSwitchCommand(SWITCH_STATUS);
    MuteState.Value = 1;
    SendSwitchCommand(SWITCH_AUDIO);
    ASSERT_TRUE(WaitForSwitchLog(ReportLine("01 05"), 5000)) << SwitchLog();
    std::vector<std::string> expected = {ReportLine("01 00"), ReportLine("01 02"), ReportLine("01 04"),
                                         ReportLine("01 06"), ReportLine("01 07"), ReportLine("01 01"),
                                         ReportLine("01 05")};
    EXPECT_EQ(SettledSwitchLog(300), expected);
}

TEST_F(DeviceLink, WritesExactlyTheDeclaredReportLength)
{
    for (unsigned length : {1u, 2u, 4u})
    {
        SCOPED_TRACE(length);
        ASSERT_TRUE(UnplugSwitches());
        ASSERT_EQ(SimLogClear(), 0);
        ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, length));
        DWORD reportLength = 99;
        HANDLE device = OpenSwitchDevice(&reportLength);
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        CloseHandle(device);
        EXPECT_EQ(reportLength, length);
        SendSwitchCommand(SWITCH_ALL);
        const char *bytes = length == 1 ? "01" : length == 2 ? "01 06" : "01 06 00 00";
        EXPECT_TRUE(WaitForSwitchLog(ReportLine(bytes), 5000)) << SwitchLog();
        EXPECT_EQ(SettledSwitchLog(200).size(), 1u);
    }
}

TEST_F(DeviceLink, ADeviceDeclaringNoOutputReportGetsAnEmptyWrite)
{
    // The report is still built in a buffer of two bytes, and nothing is
    // written past a declared length of 0; Wine's HID stack refuses the empty
    // write, so nothing reaches the switch.
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 0));
    DWORD reportLength = 99;
    HANDLE device = OpenSwitchDevice(&reportLength);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
    EXPECT_EQ(reportLength, 0u);
    SendSwitchCommand(SWITCH_ALL);
    SendSwitchCommand(SWITCH_STATUS);
    EXPECT_TRUE(SettledSwitchLog(300).empty()) << SwitchLog();
    EXPECT_EQ(DeviceAttributes.ProductID, 0x5C02);
}

TEST_F(DeviceLink, EveryOpenRefreshesTheAttributes)
{
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100));
    DWORD reportLength;
    HANDLE device = OpenSwitchDevice(&reportLength);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
    EXPECT_EQ(DeviceAttributes.Size, 12u);
    EXPECT_EQ(DeviceAttributes.VendorID, 0x7A3C);
    EXPECT_EQ(DeviceAttributes.ProductID, 0x5C02);
    EXPECT_EQ(DeviceAttributes.VersionNumber, 0x0100);

    // The other model, with other firmware, replaces what was known.
    ASSERT_TRUE(UnplugSwitches());
    ASSERT_TRUE(PlugSwitch(0x5C01, 0x0305));
    SendSwitchCommand(SWITCH_VIDEO);
    EXPECT_EQ(DeviceAttributes.ProductID, 0x5C01);
    EXPECT_EQ(DeviceAttributes.VersionNumber, 0x0305);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 02", 0x5C01), 5000)) << SwitchLog();
}

TEST_F(DeviceLink, NothingOpensWithoutASwitchsFirstCollection)
{
    // No switch at all, then only the second collection of one.
    for (bool secondCollection : {false, true})
    {
        SCOPED_TRACE(secondCollection);
        if (secondCollection)
        {
            ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 2, nullptr, SecondCollectionOnly));
        }
        DeviceAttributes = {12, 1, 2, 3};
        DWORD reportLength = 99;
        EXPECT_EQ(OpenSwitchDevice(&reportLength), INVALID_HANDLE_VALUE);
        EXPECT_EQ(reportLength, 0u);
        SendSwitchCommand(SWITCH_ALL);
        EXPECT_EQ(DeviceAttributes.ProductID, 2);
        EXPECT_EQ(DeviceAttributes.VersionNumber, 3);
    }
    EXPECT_TRUE(SettledSwitchLog(300).empty()) << SwitchLog();
}

TEST_F(DeviceLink, NoPlaceForTheLengthOpensNothing)
{
    ASSERT_TRUE(PlugSwitch());
    EXPECT_EQ(OpenSwitchDevice(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(DeviceAttributes.ProductID, 0);
}

TEST_F(DeviceLink, OfTwoSwitchesTheLastInEnumerationOrderWins)
{
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0111, 2, L"0001"));
    ASSERT_TRUE(PlugSwitch(0x5C01, 0x0222, 4, L"0002"));
    std::vector<std::wstring> order = SwitchInterfacePaths();
    ASSERT_EQ(order.size(), 2u);
    bool secondIsLast = order[1].find(L"#0002#") != std::wstring::npos;

    SendSwitchCommand(SWITCH_AUDIO);
    std::string expected = secondIsLast ? ReportLine("01 04 00 00", 0x5C01, "0002") : ReportLine("01 04", 0x5C02, "0001");
    EXPECT_TRUE(WaitForSwitchLog(expected, 5000)) << SwitchLog();
    EXPECT_EQ(SettledSwitchLog(300), std::vector<std::string>{expected});
    EXPECT_EQ(DeviceAttributes.VersionNumber, secondIsLast ? 0x0222 : 0x0111);

    // The earlier match's handle is closed, every time.
    DWORD before = HandleCount();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 10; ++i)
    {
        DWORD reportLength;
        HANDLE device = OpenSwitchDevice(&reportLength);
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        CloseHandle(device);
    }
    EXPECT_EQ(HandleCount(), before);
}

TEST_F(DeviceLink, OlderSystemsMatchBySerialUnderEnumHid)
{
    OsVersion.dwMajorVersion = 4;
    // The serial is in both collections' paths, so both would match: the
    // first alone keeps the report's destination certain.
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 2, L"0123456789ABCDEF", FirstCollectionOnly));
    DWORD reportLength;

    // Nothing registered: no match, although the path names the switch.
    EXPECT_EQ(OpenSwitchDevice(&reportLength), INVALID_HANDLE_VALUE);

    // A model key whose instance has no "Serial" matches nothing.
    const std::wstring model = std::wstring(HidEnumKey) + L"\\vid_7a3c&pid_5c02&col01";
    ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, model + L"\\1", L"Other", L"x"));
    EXPECT_EQ(OpenSwitchDevice(&reportLength), INVALID_HANDLE_VALUE);

    // A serial that is not in the path.
    const BYTE otherSerial[8] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    ASSERT_TRUE(WriteRegistryBinary(HKEY_LOCAL_MACHINE, model + L"\\2", L"Serial", otherSerial, 8));
    EXPECT_EQ(OpenSwitchDevice(&reportLength), INVALID_HANDLE_VALUE);

    // The serial, little-endian, under a lower-case model name: a match.
    const BYTE serial[8] = {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01};
    ASSERT_TRUE(WriteRegistryBinary(HKEY_LOCAL_MACHINE, model + L"\\3", L"Serial", serial, 8));
    HANDLE device = OpenSwitchDevice(&reportLength);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
    SendSwitchCommand(SWITCH_ALL);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06", 0x5C02, "0123456789ABCDEF"), 5000)) << SwitchLog();

    // The same serial under a key of no switch model does not count.
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, HidEnumKey);
    ASSERT_TRUE(WriteRegistryBinary(HKEY_LOCAL_MACHINE, std::wstring(HidEnumKey) + L"\\VID_1234&PID_5678\\1", L"Serial",
                                    serial, 8));
    EXPECT_EQ(OpenSwitchDevice(&reportLength), INVALID_HANDLE_VALUE);
}

TEST_F(DeviceLink, AShortSerialCountsItsMissingBytesAsZero)
{
    OsVersion.dwMajorVersion = 4;
    ASSERT_TRUE(PlugSwitch(0x5C01, 0x0100, 2, L"0000000089ABCDEF"));
    const std::wstring model = std::wstring(HidEnumKey) + L"\\VID_7A3C&PID_5C01&COL01";
    // A longer value read first leaves its bytes in the buffer; they must not count.
    const BYTE longSerial[8] = {0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x22, 0x22};
    const BYTE shortSerial[4] = {0xEF, 0xCD, 0xAB, 0x89};
    ASSERT_TRUE(WriteRegistryBinary(HKEY_LOCAL_MACHINE, model + L"\\1", L"Serial", longSerial, 8));
    ASSERT_TRUE(WriteRegistryBinary(HKEY_LOCAL_MACHINE, model + L"\\2", L"Serial", shortSerial, 4));
    DWORD reportLength;
    HANDLE device = OpenSwitchDevice(&reportLength);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
    EXPECT_EQ(DeviceAttributes.ProductID, 0x5C01);
}

TEST_F(DeviceLink, NewerSystemsNeverReadTheRegistry)
{
    ASSERT_GE(OsVersion.dwMajorVersion, 5u);
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 2, L"0123456789ABCDEF"));
    // A registry that would reject the switch on older systems.
    const BYTE otherSerial[8] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
    ASSERT_TRUE(WriteRegistryBinary(HKEY_LOCAL_MACHINE, std::wstring(HidEnumKey) + L"\\VID_7A3C&PID_5C02&COL01\\1",
                                    L"Serial", otherSerial, 8));
    DWORD reportLength;
    HANDLE device = OpenSwitchDevice(&reportLength);
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
}

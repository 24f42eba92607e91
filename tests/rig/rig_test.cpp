// The rig itself: the simulated switch seen through Wine's real HID stack,
// debug-output capture, the prefix's registry and the X display.
#include "harness.h"

#include <algorithm>

extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

namespace
{
struct ProbedSwitch
{
    std::wstring path;
    HIDD_ATTRIBUTES attributes{};
    USHORT outputLength = 0;
    bool opened = false;
};

// Opens every switch interface, reads what the program reads, and writes a report.
std::vector<ProbedSwitch> ProbeSwitches(bool write = false, const std::vector<BYTE> &report = {})
{
    std::vector<ProbedSwitch> found;
    for (const std::wstring &path : SwitchInterfacePaths())
    {
        ProbedSwitch probed;
        probed.path = path;
        HANDLE device = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                    OPEN_EXISTING, 0, NULL);
        if (device != INVALID_HANDLE_VALUE)
        {
            probed.opened = true;
            probed.attributes.Size = sizeof(probed.attributes);
            HidD_GetAttributes(device, &probed.attributes);
            PHIDP_PREPARSED_DATA preparsed;
            if (HidD_GetPreparsedData(device, &preparsed))
            {
                HIDP_CAPS caps;
                if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS)
                    probed.outputLength = caps.OutputReportByteLength;
                HidD_FreePreparsedData(preparsed);
            }
            if (write)
            {
                std::vector<BYTE> padded = report;
                padded.resize(probed.outputLength);
                DWORD written = 0;
                WriteFile(device, padded.data(), (DWORD)padded.size(), &written, NULL);
            }
            CloseHandle(device);
        }
        found.push_back(probed);
    }
    return found;
}
}

class SimulatedSwitch : public RigTest
{
};

TEST_F(SimulatedSwitch, ProbeFindsOpensAndDrivesThePluggedSwitch)
{
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 2));
    std::vector<ProbedSwitch> found = ProbeSwitches(true, {0x01, 0x06});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NE(found[0].path.find(L"col01"), std::wstring::npos) << "Wine gives lower-case paths";
    ASSERT_TRUE(found[0].opened);
    EXPECT_EQ(found[0].attributes.VendorID, 0x7A3C);
    EXPECT_EQ(found[0].attributes.ProductID, 0x5C02);
    EXPECT_EQ(found[0].attributes.VersionNumber, 0x0100);
    EXPECT_EQ(found[0].outputLength, 2);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), 5000)) << SwitchLog();
    EXPECT_EQ(SettledSwitchLog(300), std::vector<std::string>{ReportLine("01 06")});
}

TEST_F(SimulatedSwitch, AfterUnplugNothingIsFoundAndNothingLogged)
{
    ASSERT_TRUE(PlugSwitch());
    ASSERT_EQ(ProbeSwitches().size(), 1u);
    ASSERT_TRUE(UnplugSwitches());
    EXPECT_TRUE(ProbeSwitches(true, {0x01, 0x06}).empty());
    EXPECT_TRUE(SettledSwitchLog(300).empty());
}

TEST_F(SimulatedSwitch, PlugOptionsShapeTheDevice)
{
    // Declared output lengths, the other model, a serial-like instance.
    ASSERT_TRUE(PlugSwitch(0x5C01, 0x0203, 4, L"0123456789ABCDEF"));
    std::vector<ProbedSwitch> found = ProbeSwitches(true, {0x01, 0x02});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].attributes.ProductID, 0x5C01);
    EXPECT_EQ(found[0].attributes.VersionNumber, 0x0203);
    EXPECT_EQ(found[0].outputLength, 4);
    EXPECT_NE(found[0].path.find(L"0123456789abcdef"), std::wstring::npos);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 02 00 00", 0x5C01, "0123456789ABCDEF"), 5000)) << SwitchLog();

    ASSERT_TRUE(UnplugSwitches());
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 1));
    found = ProbeSwitches();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].outputLength, 1);
}

TEST_F(SimulatedSwitch, SecondCollectionAloneIsNoSwitch)
{
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 2, nullptr, SecondCollectionOnly));
    EXPECT_TRUE(ProbeSwitches().empty());
}

TEST_F(SimulatedSwitch, TwoSwitchesLogUnderTheirOwnIds)
{
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0100, 2, L"0001"));
    ASSERT_TRUE(PlugSwitch(0x5C01, 0x0200, 2, L"0002"));
    std::vector<ProbedSwitch> found = ProbeSwitches(true, {0x01, 0x04});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 04", 0x5C02, "0001"), 5000)) << SwitchLog();
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 04", 0x5C01, "0002"), 5000)) << SwitchLog();
    ASSERT_EQ(SimUnplug(L"0001"), 0);
    found = ProbeSwitches();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].attributes.ProductID, 0x5C01);
}

TEST(RigServices, DebugOutputIsCaptured)
{
    StartDebugCapture();
    OutputDebugStringW(L"rig check\n");
    EXPECT_TRUE(WaitForDebugLine(L"rig check\n", 3000));
    EXPECT_FALSE(WaitForDebugLine(L"never sent\n", 200));
    StopDebugCapture();
}

TEST(RigServices, RegistryWritesReachThePrefix)
{
    const std::wstring key = L"Software\\OrnaxRigCheck";
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, key, L"Value", L"seen"));
    // Another Wine process of the prefix reads what this one wrote.
    std::string queried = RunUnix("wine reg query 'HKCU\\Software\\OrnaxRigCheck' /v Value");
    EXPECT_NE(queried.find("seen"), std::string::npos) << queried;
    DeleteRegistryTree(HKEY_CURRENT_USER, key);
    HKEY handle;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS);
}

TEST(RigServices, DisplayTakesInputAndScreenshots)
{
    std::string geometry = RunUnix("xdotool getdisplaygeometry");
    EXPECT_EQ(geometry, "1024 768\n");
    MovePointer(100, 200);
    POINT cursor;
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, 100);
    EXPECT_EQ(cursor.y, 200);
    std::string file = "/tmp/ornax-rig-shot.png";
    RunUnix("rm -f " + file);
    EXPECT_TRUE(TakeScreenshot(file));
}

// Wine 8 does not split a device's collections, so there the simulator runs
// one root device per collection; Wine 10 gets one device and splits it
// itself, as Windows does, into two "&col" interfaces with its own instance
// ids ("<version>&<serial>&0&0&<index>").
TEST_F(SimulatedSwitch, InterfacesComeFromTheHidStacksOwnLayout)
{
    ASSERT_TRUE(PlugSwitch(0x5C02, 0x0103, 2));
    char list[1024];
    ASSERT_EQ(SimList(list, sizeof(list)), 0);
    std::vector<std::wstring> paths;
    for (const std::wstring &path : HidInterfacePaths())
        if (path.find(L"vid_7a3c") != std::wstring::npos)
            paths.push_back(path.substr(0, path.rfind(L'#')));
    bool split = WineMajorVersion() >= 9;
    EXPECT_STREQ(list, split ? "ROOT\\VID_7A3C&PID_5C02\\0000\n"
                             : "ROOT\\VID_7A3C&PID_5C02&COL01\\0000\nROOT\\VID_7A3C&PID_5C02&COL02\\0000\n");
    std::vector<std::wstring> expected = {L"\\\\?\\hid#vid_7a3c&pid_5c02&col01#0000",
                                          L"\\\\?\\hid#vid_7a3c&pid_5c02&col02#0000"};
    if (split)
        expected = {L"\\\\?\\hid#vid_7a3c&pid_5c02&col01#259&0000&0&0&0000",
                    L"\\\\?\\hid#vid_7a3c&pid_5c02&col02#259&0000&0&0&0001"};
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, expected);
}

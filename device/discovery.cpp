// Finding the switch among the present HID interfaces and opening it.
#include "platform/lookup.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "device/device.h"
#include "app/app.h"

#include <setupapi.h>
#include <wchar.h>

HIDD_ATTRIBUTES DeviceAttributes;

#define INTERFACE_PATH_CAPACITY 1024
#define KEY_NAME_CAPACITY 1024

// The first top-level collection of either switch model.
static const WCHAR *const ModelPatterns[] = {
    L"VID_7A3C&PID_5C02&COL01",
    L"VID_7A3C&PID_5C01&COL01",
};

static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6, "fixed part of the detail record");

// hid.dll and setupapi.dll are not among the libraries that Windows always
// takes from its own folder: both are loaded from there by their full paths,
// once, so that no file of those names beside the program is ever run.
static struct
{
    decltype(&::HidD_GetHidGuid) HidD_GetHidGuid;
    decltype(&::HidD_GetAttributes) HidD_GetAttributes;
    decltype(&::HidD_GetPreparsedData) HidD_GetPreparsedData;
    decltype(&::HidD_FreePreparsedData) HidD_FreePreparsedData;
    decltype(&::HidP_GetCaps) HidP_GetCaps;
    decltype(&::SetupDiGetClassDevsW) SetupDiGetClassDevsW;
    decltype(&::SetupDiEnumDeviceInterfaces) SetupDiEnumDeviceInterfaces;
    decltype(&::SetupDiGetDeviceInterfaceDetailW) SetupDiGetDeviceInterfaceDetailW;
    decltype(&::SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList;
} DeviceApi;

static BOOL BindDeviceFunctions(void)
{
    static BOOL tried, bound;
    if (tried)
        return bound;
    tried = TRUE;
    HMODULE hid = LoadSystemLibrary("hid.dll");
    HMODULE setup = LoadSystemLibrary("setupapi.dll");
    bound = LOOK_UP_FUNCTION(DeviceApi.HidD_GetHidGuid, hid, HidD_GetHidGuid) &&
            LOOK_UP_FUNCTION(DeviceApi.HidD_GetAttributes, hid, HidD_GetAttributes) &&
            LOOK_UP_FUNCTION(DeviceApi.HidD_GetPreparsedData, hid, HidD_GetPreparsedData) &&
            LOOK_UP_FUNCTION(DeviceApi.HidD_FreePreparsedData, hid, HidD_FreePreparsedData) &&
            LOOK_UP_FUNCTION(DeviceApi.HidP_GetCaps, hid, HidP_GetCaps) &&
            LOOK_UP_FUNCTION(DeviceApi.SetupDiGetClassDevsW, setup, SetupDiGetClassDevsW) &&
            LOOK_UP_FUNCTION(DeviceApi.SetupDiEnumDeviceInterfaces, setup, SetupDiEnumDeviceInterfaces) &&
            LOOK_UP_FUNCTION(DeviceApi.SetupDiGetDeviceInterfaceDetailW, setup, SetupDiGetDeviceInterfaceDetailW) &&
            LOOK_UP_FUNCTION(DeviceApi.SetupDiDestroyDeviceInfoList, setup, SetupDiDestroyDeviceInfoList);
    return bound;
}

// Upper-cases a-z only, so the result never depends on the user's locale.
static void UpperCaseAscii(WCHAR *text)
{
    for (; *text; ++text)
        if (*text >= L'a' && *text <= L'z')
            *text = (WCHAR)(*text - (L'a' - L'A'));
}

static BOOL HasModelPattern(const WCHAR *upperText)
{
    for (const WCHAR *pattern : ModelPatterns)
        if (wcsstr(upperText, pattern))
            return TRUE;
    return FALSE;
}

// 16 upper-case hexadecimal digits with leading zeros.
static void FormatSerial(ULONGLONG serial, WCHAR *text)
{
    for (int digit = 15; digit >= 0; --digit)
    {
        text[digit] = L"0123456789ABCDEF"[serial & 0xF];
        serial >>= 4;
    }
    text[16] = 0;
}

// Older systems: the interface is the switch when its path holds the "Serial"
// of some instance registered under a switch model in HKLM\Enum\HID.
static BOOL IsSerialOfRegisteredSwitch(const WCHAR *upperPath)
{
    HKEY hidKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Enum\\HID", 0, KEY_READ, &hidKey) != ERROR_SUCCESS)
        return FALSE;

    BOOL match = FALSE;
    WCHAR modelName[KEY_NAME_CAPACITY];
    WCHAR instanceName[KEY_NAME_CAPACITY];
    static REGISTRY_VALUE serialValue;
    WCHAR serialText[64];
    for (DWORD modelIndex = 0;
         RegEnumKeyW(hidKey, modelIndex, modelName, KEY_NAME_CAPACITY) == ERROR_SUCCESS; ++modelIndex)
    {
        UpperCaseAscii(modelName);
        if (!HasModelPattern(modelName))
            continue;
        HKEY modelKey;
        if (RegOpenKeyW(hidKey, modelName, &modelKey) != ERROR_SUCCESS)
            continue;
        for (DWORD instanceIndex = 0;
             RegEnumKeyW(modelKey, instanceIndex, instanceName, KEY_NAME_CAPACITY) == ERROR_SUCCESS;
             ++instanceIndex)
        {
            HKEY instanceKey;
            if (RegOpenKeyW(modelKey, instanceName, &instanceKey) != ERROR_SUCCESS)
                continue;
            // A value shorter than 8 bytes counts with its missing bytes as zero.
            if (ReadRegistryValue(instanceKey, L"Serial", &serialValue))
            {
                ULONGLONG serial = 0;
                for (int i = 7; i >= 0; --i)
                    serial = (serial << 8) | serialValue.Data[i];
                FormatSerial(serial, serialText);
                if (wcsstr(upperPath, serialText))
                    match = TRUE;
            }
            RegCloseKey(instanceKey);
        }
        RegCloseKey(modelKey);
    }
    RegCloseKey(hidKey);
    return match;
}

// Reads the attributes and the output report length of an opened switch.
static void ReadSwitchDetails(HANDLE device, DWORD *reportLength)
{
    DeviceAttributes.Size = sizeof(HIDD_ATTRIBUTES);
    DeviceApi.HidD_GetAttributes(device, &DeviceAttributes);
    PHIDP_PREPARSED_DATA preparsed;
    if (DeviceApi.HidD_GetPreparsedData(device, &preparsed))
    {
        HIDP_CAPS caps;
        if (DeviceApi.HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS)
            *reportLength = caps.OutputReportByteLength;
        DeviceApi.HidD_FreePreparsedData(preparsed);
    }
}

HANDLE OpenSwitchDevice(DWORD *reportLength)
{
    if (!reportLength)
        return INVALID_HANDLE_VALUE;
    *reportLength = 0;
    HANDLE result = INVALID_HANDLE_VALUE;
    if (!BindDeviceFunctions())
        return INVALID_HANDLE_VALUE;

    GUID hidGuid;
    DeviceApi.HidD_GetHidGuid(&hidGuid);
    HDEVINFO interfaces = DeviceApi.SetupDiGetClassDevsW(&hidGuid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (interfaces == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;

    WCHAR path[INTERFACE_PATH_CAPACITY];
    SP_DEVICE_INTERFACE_DATA interfaceData;
    interfaceData.cbSize = sizeof(interfaceData);
    for (DWORD index = 0; DeviceApi.SetupDiEnumDeviceInterfaces(interfaces, NULL, &hidGuid, index, &interfaceData);
         ++index)
    {
        DWORD detailSize = 0;
        if (DeviceApi.SetupDiGetDeviceInterfaceDetailW(interfaces, &interfaceData, NULL, 0, &detailSize, NULL) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            continue;
        PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail =
            (PSP_DEVICE_INTERFACE_DETAIL_DATA_W)HeapAlloc(GetProcessHeap(), 0, detailSize);
        if (!detail)
            continue;
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!DeviceApi.SetupDiGetDeviceInterfaceDetailW(interfaces, &interfaceData, detail, detailSize, NULL, NULL))
        {
            HeapFree(GetProcessHeap(), 0, detail);
            continue;
        }

        ZeroMemory(path, sizeof(path));
        CopyText(path, detail->DevicePath, INTERFACE_PATH_CAPACITY);
        UpperCaseAscii(path);
        BOOL match = OsVersion.dwMajorVersion >= 5 ? HasModelPattern(path) : IsSerialOfRegisteredSwitch(path);
        if (match)
        {
            // Only the last match is returned; an earlier one is closed at once.
            if (result != INVALID_HANDLE_VALUE)
                CloseHandle(result);
            result = CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
            if (result != INVALID_HANDLE_VALUE)
                ReadSwitchDetails(result, reportLength);
        }
        HeapFree(GetProcessHeap(), 0, detail);
    }
    DeviceApi.SetupDiDestroyDeviceInfoList(interfaces);
    return result;
}

BOOL IsSwitchPresent(void)
{
    DWORD reportLength;
    HANDLE device = OpenSwitchDevice(&reportLength);
    if (device == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(device);
    return TRUE;
}

void ClearDeviceAttributes(void)
{
    ZeroMemory(&DeviceAttributes, sizeof(DeviceAttributes));
}

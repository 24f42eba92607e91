/* switchprobe: finds the switch the way the program does (present HID
 * interfaces, upper-cased path containing the first collection of either
 * model), opens it and prints what hid.dll reports.
 *   switchprobe [--all] [--match TEXT] [--set] [--write XX XX ...]
 * Prints "path <p>" for every HID interface, then for a match
 * "match <p>" and "vid=XXXX pid=XXXX version=XXXX outlen=N"; --write sends
 * the bytes padded with zeros (or cut) to the output report length, with
 * WriteFile, or with HidD_SetOutputReport when --set is given.
 * Without --all it stops at the first match. --match looks for TEXT (upper
 * case) in place of the two model patterns, e.g. to drive COL02.
 * Exit: 0 found, 2 not found, 1 a match could not be opened or written. */
#include <windows.h>
#include <setupapi.h>
#include <hidsdi.h>
#include <hidpi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

static const wchar_t *models[] = { L"VID_7A3C&PID_5C02&COL01", L"VID_7A3C&PID_5C01&COL01" };

static int matches(const wchar_t *path)
{
    wchar_t up[1024];
    size_t i;

    for (i = 0; i < 1023 && path[i]; i++)
        up[i] = path[i] >= L'a' && path[i] <= L'z' ? path[i] - 32 : path[i];
    up[i] = 0;
    return wcsstr(up, models[0]) || wcsstr(up, models[1]);
}

/* Opens one match, prints its attributes and caps, writes if asked. */
static int use_device(const wchar_t *path, const BYTE *bytes, int nbytes, int write, int set)
{
    HIDD_ATTRIBUTES attr;
    PHIDP_PREPARSED_DATA pp;
    HIDP_CAPS caps;
    DWORD outlen = 0, written = 0;
    BYTE report[256];
    HANDLE h;
    int rc = 0;

    h = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
    {
        printf("open failed error=%lu\n", GetLastError());
        return 1;
    }
    memset(&attr, 0, sizeof(attr));
    attr.Size = sizeof(attr);
    if (!HidD_GetAttributes(h, &attr)) printf("HidD_GetAttributes failed error=%lu\n", GetLastError());
    if (HidD_GetPreparsedData(h, &pp))
    {
        if (HidP_GetCaps(pp, &caps) == HIDP_STATUS_SUCCESS) outlen = caps.OutputReportByteLength;
        HidD_FreePreparsedData(pp);
    }
    printf("vid=%04X pid=%04X version=%04X outlen=%lu\n", attr.VendorID, attr.ProductID, attr.VersionNumber, outlen);
    if (write)
    {
        memset(report, 0, sizeof(report));
        memcpy(report, bytes, (size_t)nbytes < sizeof(report) ? (size_t)nbytes : sizeof(report));
        if (outlen > sizeof(report)) outlen = sizeof(report);
        if (set)
        {
            if (HidD_SetOutputReport(h, report, outlen))
                printf("set ok bytes=%lu\n", outlen);
            else
            {
                printf("set failed bytes=%lu error=%lu\n", outlen, GetLastError());
                rc = 1;
            }
        }
        else if (WriteFile(h, report, outlen, &written, NULL))
            printf("write ok bytes=%lu written=%lu\n", outlen, written);
        else
        {
            printf("write failed bytes=%lu error=%lu\n", outlen, GetLastError());
            rc = 1;
        }
    }
    CloseHandle(h);
    return rc;
}

int main(int argc, char **argv)
{
    SP_DEVICE_INTERFACE_DATA ifd;
    SP_DEVICE_INTERFACE_DETAIL_DATA_W *detail;
    BYTE bytes[256];
    static wchar_t match[256];
    int i, all = 0, use_set = 0, write = 0, nbytes = 0, found = 0, rc = 0;
    DWORD size, index;
    HDEVINFO set;
    GUID guid;

    for (i = 1; i < argc; i++)
    {
        if (!strcmp(argv[i], "--all")) all = 1;
        else if (!strcmp(argv[i], "--set")) use_set = 1;
        else if (!strcmp(argv[i], "--match") && i + 1 < argc)
        {
            MultiByteToWideChar(CP_ACP, 0, argv[++i], -1, match, 255);
            models[0] = models[1] = match;
        }
        else if (!strcmp(argv[i], "--write")) write = 1;
        else if (write && nbytes < (int)sizeof(bytes)) bytes[nbytes++] = (BYTE)strtoul(argv[i], NULL, 16);
        else
        {
            fprintf(stderr, "usage: switchprobe [--all] [--match TEXT] [--set] [--write XX XX ...]\n");
            return 3;
        }
    }

    HidD_GetHidGuid(&guid);
    set = SetupDiGetClassDevsW(&guid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return 2;
    ifd.cbSize = sizeof(ifd);
    for (index = 0; SetupDiEnumDeviceInterfaces(set, NULL, &guid, index, &ifd); index++)
    {
        size = 0;
        if (SetupDiGetDeviceInterfaceDetailW(set, &ifd, NULL, 0, &size, NULL)
            || GetLastError() != ERROR_INSUFFICIENT_BUFFER || !(detail = malloc(size)))
            continue;
        detail->cbSize = sizeof(*detail);
        if (SetupDiGetDeviceInterfaceDetailW(set, &ifd, detail, size, NULL, NULL))
        {
            printf("path %ls\n", detail->DevicePath);
            if ((all || !found) && matches(detail->DevicePath))
            {
                printf("match %ls\n", detail->DevicePath);
                found++;
                rc |= use_device(detail->DevicePath, bytes, nbytes, write, use_set);
            }
        }
        free(detail);
    }
    SetupDiDestroyDeviceInfoList(set);
    printf("matches=%d\n", found);
    fflush(stdout);
    if (!found) return 2;
    return rc;
}

/* Plugs and unplugs simulated switches (switchsim.sys) in the running Wine
 * prefix through setupapi, the way a device installer would, and reads the
 * driver's report log. */
#define _WIN32_WINNT 0x0501
#include <windows.h>
#include <setupapi.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "switchsim_ctl.h"

#define HARDWARE_ID L"ROOT\\SWITCHSIM"
#define SERVICE_FILE L"switchsim.sys"
#define INF_FILE L"switchsim.inf"
#define LOG_PATH L"C:\\switchsim.log"
#define WAIT_MS 15000
#define POLL_MS 10
#define ID_LEN 200 /* MAX_DEVICE_ID_LEN of cfgmgr32.h */
#define MAX_IDS 64 /* simulated devices handled by one unplug */

static const GUID class_hid = /* HIDClass device setup class */
    { 0x745a17a0, 0x74d3, 0x11d0, { 0xb6, 0xfe, 0x00, 0xa0, 0xc9, 0x0f, 0x57, 0xda } };
static const GUID iface_hid = /* HID device interface class */
    { 0x4d1e55b2, 0xf16f, 0x11cf, { 0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30 } };

static char last_error[512];

/* Wine 8 does not split a device's top-level collections; later versions
 * do, as Windows does. */
static int wine_splits_collections(void)
{
    const char *(CDECL *version)(void) = NULL;
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");

    if (ntdll) version = (const char *(CDECL *)(void))(void (*)(void))GetProcAddress(ntdll, "wine_get_version");
    return !version || atoi(version()) >= 9;
}

const char *SimLastError(void)
{
    return last_error;
}

static int fail(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(last_error, sizeof(last_error), fmt, ap);
    va_end(ap);
    return 1;
}

void SimDeviceInit(SimDevice *dev, unsigned short vid, unsigned short pid, unsigned short version)
{
    memset(dev, 0, sizeof(*dev));
    dev->vendorId = vid;
    dev->productId = pid;
    dev->version = version;
    dev->outputLength = 2;
}

/* Folder holding switchsim.sys and switchsim.inf: SWITCHSIM_DIR, or the
 * folder of the running program. */
static int files_dir(wchar_t *dir, DWORD cap)
{
    DWORD n = GetEnvironmentVariableW(L"SWITCHSIM_DIR", dir, cap);
    wchar_t *slash;

    if (n && n < cap) return 0;
    n = GetModuleFileNameW(NULL, dir, cap);
    if (!n || n >= cap) return fail("cannot get the program path");
    if ((slash = wcsrchr(dir, L'\\'))) *slash = 0;
    return 0;
}

static int same_file(const wchar_t *a, const wchar_t *b)
{
    HANDLE fa, fb;
    char ba[4096], bb[4096];
    DWORD na, nb;
    int same = 0;

    fa = CreateFileW(a, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
    fb = CreateFileW(b, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
    if (fa != INVALID_HANDLE_VALUE && fb != INVALID_HANDLE_VALUE)
    {
        for (;;)
        {
            if (!ReadFile(fa, ba, sizeof(ba), &na, NULL) || !ReadFile(fb, bb, sizeof(bb), &nb, NULL)) break;
            if (na != nb || memcmp(ba, bb, na)) break;
            if (!na) { same = 1; break; }
        }
    }
    if (fa != INVALID_HANDLE_VALUE) CloseHandle(fa);
    if (fb != INVALID_HANDLE_VALUE) CloseHandle(fb);
    return same;
}

/* Stops the driver's service, which unloads the driver from its
 * winedevice.exe, so that a rebuilt driver file can be put in. */
static void stop_service(void)
{
    SC_HANDLE scm = OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT), svc = NULL;
    SERVICE_STATUS status;
    DWORD start = GetTickCount();

    if (scm) svc = OpenServiceW(scm, L"switchsim", SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (svc && ControlService(svc, SERVICE_CONTROL_STOP, &status))
        while (QueryServiceStatus(svc, &status) && status.dwCurrentState != SERVICE_STOPPED
               && GetTickCount() - start < 5000)
            Sleep(POLL_MS);
    if (svc) CloseServiceHandle(svc);
    if (scm) CloseServiceHandle(scm);
}

/* Puts switchsim.sys into system32\drivers unless the same file is there.
 * A loaded driver's file cannot be replaced, and Wine unloads the driver
 * only once it has no devices: so for a rebuilt driver every simulated
 * device is unplugged and the service stopped first. */
static int install_files(wchar_t *inf, DWORD cap)
{
    wchar_t dir[MAX_PATH], src[MAX_PATH], dst[MAX_PATH];

    if (files_dir(dir, MAX_PATH)) return 1;
    _snwprintf(src, MAX_PATH, L"%ls\\%ls", dir, SERVICE_FILE);
    _snwprintf(inf, cap, L"%ls\\%ls", dir, INF_FILE);
    src[MAX_PATH - 1] = 0;
    inf[cap - 1] = 0;
    if (GetFileAttributesW(src) == INVALID_FILE_ATTRIBUTES || GetFileAttributesW(inf) == INVALID_FILE_ATTRIBUTES)
        return fail("switchsim.sys or switchsim.inf not found in %ls (set SWITCHSIM_DIR)", dir);
    GetSystemDirectoryW(dst, MAX_PATH);
    wcsncat(dst, L"\\drivers\\" SERVICE_FILE, MAX_PATH - wcslen(dst) - 1);
    if (same_file(src, dst) || CopyFileW(src, dst, FALSE)) return 0;
    if (SimUnplug(NULL)) return 1;
    stop_service();
    if (!CopyFileW(src, dst, FALSE))
        return fail("cannot copy the driver to %ls (error %lu); stop the prefix's wineserver", dst, GetLastError());
    return 0;
}

/* Whether a HID interface path (upper case) belongs to a simulated root
 * device. "ROOT\VID_7A3C&PID_5C02&COL01\0000" has the interface
 * "HID#VID_7A3C&PID_5C02&COL01#0000#". "ROOT\VID_7A3C&PID_5C02\0000" has
 * "HID#VID_7A3C&PID_5C02#0000#" with one collection, and with two Wine
 * splits it into "HID#VID_7A3C&PID_5C02&COLnn#<version>&0000&0&0&<n>#"
 * (the serial number string is the instance). */
static int iface_of(const wchar_t *id, const wchar_t *path)
{
    wchar_t device[ID_LEN + 8], key[2 * ID_LEN];
    const wchar_t *p = wcschr(id, L'\\'), *inst = wcsrchr(id, L'\\');
    size_t n;

    if (!p || !inst) return 0;
    n = (size_t)_snwprintf(device, ID_LEN, L"HID#%.*ls", (int)(inst - p - 1), p + 1);
    device[n] = 0;
    _wcsupr(device);
    _snwprintf(key, 2 * ID_LEN, L"%ls#%ls#", device, inst + 1);
    key[2 * ID_LEN - 1] = 0;
    _wcsupr(key);
    if (wcsstr(path, key)) return 1;
    if (wcsstr(id, L"&COL")) return 0;
    _snwprintf(key, 2 * ID_LEN, L"%ls&COL0", device);
    if (!wcsstr(path, key)) return 0;
    _snwprintf(key, 2 * ID_LEN, L"&%ls&0&0&", inst + 1);
    key[2 * ID_LEN - 1] = 0;
    _wcsupr(key);
    return wcsstr(path, key) != NULL;
}

/* Counts the HID interfaces of each id (present[j]) and returns the sum. */
static int count_present(wchar_t ids[][ID_LEN], int count, char *present)
{
    SP_DEVICE_INTERFACE_DATA ifd;
    SP_DEVICE_INTERFACE_DETAIL_DATA_W *detail;
    wchar_t path[1024];
    DWORD i, size;
    HDEVINFO set;
    int j, found = 0;

    memset(present, 0, (size_t)count);
    set = SetupDiGetClassDevsW(&iface_hid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return 0;
    ifd.cbSize = sizeof(ifd);
    for (i = 0; SetupDiEnumDeviceInterfaces(set, NULL, &iface_hid, i, &ifd); i++)
    {
        size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &ifd, NULL, 0, &size, NULL);
        if (!size || !(detail = malloc(size))) continue;
        detail->cbSize = sizeof(*detail);
        if (SetupDiGetDeviceInterfaceDetailW(set, &ifd, detail, size, NULL, NULL))
        {
            wcsncpy(path, detail->DevicePath, 1023);
            path[1023] = 0;
            _wcsupr(path);
            for (j = 0; j < count; j++)
                if (iface_of(ids[j], path)) { present[j]++; found++; break; }
        }
        free(detail);
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

/* Asks the driver's service to enumerate its root devices again, as
 * setupapi does after installing or removing one. When that request fails
 * (services.exe refuses controls while the service is still starting, as
 * in a prefix whose services are coming up) setupapi only logs it, and a
 * removed device keeps running or a new one stays down; asking again
 * sorts that out. */
static void reenumerate(void)
{
    SC_HANDLE scm = OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT), svc = NULL;
    SERVICE_STATUS status;

    if (scm) svc = OpenServiceW(scm, L"switchsim", SERVICE_USER_DEFINED_CONTROL);
    if (svc) ControlService(svc, 128 /* SERVICE_CONTROL_REENUMERATE_ROOT_DEVICES */, &status);
    if (svc) CloseServiceHandle(svc);
    if (scm) CloseServiceHandle(scm);
}

/* Waits until the ids have `want` HID interfaces in all (0: all gone). */
static int wait_ifaces(wchar_t ids[][ID_LEN], int count, int want)
{
    DWORD start = GetTickCount(), nudged = start;
    char present[MAX_IDS];
    int n;

    for (;;)
    {
        n = count_present(ids, count, present);
        if (n == want) return 0;
        if (GetTickCount() - start >= WAIT_MS)
            return fail("HID interfaces still %s after %u ms", want ? "missing" : "present", WAIT_MS);
        if (GetTickCount() - nudged >= 1000)
        {
            reenumerate();
            nudged = GetTickCount();
        }
        Sleep(POLL_MS);
    }
}

static BOOL is_sim_device(HDEVINFO set, SP_DEVINFO_DATA *dd)
{
    wchar_t hwid[256];

    memset(hwid, 0, sizeof(hwid));
    if (!SetupDiGetDeviceRegistryPropertyW(set, dd, SPDRP_HARDWAREID, NULL, (BYTE *)hwid, sizeof(hwid) - 4, NULL))
        return FALSE;
    return !_wcsicmp(hwid, HARDWARE_ID);
}

static const wchar_t *instance_of(const wchar_t *id)
{
    const wchar_t *p = wcsrchr(id, L'\\');
    return p ? p + 1 : id;
}

/* Calls fn for each simulated root device (of one instance, or all). */
typedef void (*device_fn)(HDEVINFO set, SP_DEVINFO_DATA *dd, const wchar_t *id, void *ctx);

static void for_each_sim(const wchar_t *instance, device_fn fn, void *ctx)
{
    SP_DEVINFO_DATA dd;
    wchar_t id[ID_LEN];
    HDEVINFO set;
    DWORD i;

    set = SetupDiGetClassDevsW(NULL, L"ROOT", NULL, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return;
    dd.cbSize = sizeof(dd);
    for (i = 0; SetupDiEnumDeviceInfo(set, i, &dd); i++)
    {
        if (!is_sim_device(set, &dd)) continue;
        if (!SetupDiGetDeviceInstanceIdW(set, &dd, id, ID_LEN, NULL)) continue;
        if (instance && _wcsicmp(instance_of(id), instance)) continue;
        fn(set, &dd, id, ctx);
    }
    SetupDiDestroyDeviceInfoList(set);
}

struct id_list
{
    wchar_t ids[MAX_IDS][ID_LEN];
    int count;
};

static void remove_one(HDEVINFO set, SP_DEVINFO_DATA *dd, const wchar_t *id, void *ctx)
{
    struct id_list *list = ctx;

    /* DIF_REMOVE deletes the device key and asks the driver's service to
     * enumerate its root devices again, which removes the device */
    SetupDiCallClassInstaller(DIF_REMOVE, set, dd);
    if (list->count < MAX_IDS) wcscpy(list->ids[list->count++], id);
}

/* Removes the device with exactly this id, if there is one. */
static void remove_id(const wchar_t *id)
{
    SP_DEVINFO_DATA dd;
    HDEVINFO set = SetupDiCreateDeviceInfoList(NULL, NULL);

    dd.cbSize = sizeof(dd);
    if (set == INVALID_HANDLE_VALUE) return;
    if (SetupDiOpenDeviceInfoW(set, id, NULL, 0, &dd))
        SetupDiCallClassInstaller(DIF_REMOVE, set, &dd);
    SetupDiDestroyDeviceInfoList(set);
}

static void set_dword(HKEY key, const wchar_t *name, DWORD value)
{
    RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
}

/* Creates one root device and installs switchsim.sys on it: collection
 * col (1 or 2) alone, or with col 0 the collections of the mask in one
 * device, for Wine to split. */
static int plug_one(const SimDevice *dev, const wchar_t *instance, unsigned col, unsigned mask, const wchar_t *inf,
                    wchar_t *id)
{
    static const DI_FUNCTION steps[] = {
        DIF_SELECTBESTCOMPATDRV, DIF_ALLOW_INSTALL, DIF_INSTALLDEVICEFILES, DIF_REGISTER_COINSTALLERS,
        DIF_INSTALLINTERFACES, DIF_INSTALLDEVICE, DIF_NEWDEVICEWIZARD_FINISHINSTALL,
    };
    static const wchar_t hwid[] = HARDWARE_ID L"\0";
    wchar_t old[1][ID_LEN];
    SP_DEVINSTALL_PARAMS_W params;
    SP_DEVINFO_DATA dd;
    HDEVINFO set;
    HKEY key;
    size_t i;
    int err = 0;

    if (col)
        _snwprintf(id, ID_LEN, L"ROOT\\VID_%04X&PID_%04X&COL%02u\\%ls", dev->vendorId, dev->productId, col, instance);
    else
        _snwprintf(id, ID_LEN, L"ROOT\\VID_%04X&PID_%04X\\%ls", dev->vendorId, dev->productId, instance);
    id[ID_LEN - 1] = 0;
    _wcsupr(id);

    /* A device left with the same ids (plugged before, or half made by a
     * failed run) is removed first, and it must be gone for good: Wine
     * keeps a root device it still runs in place of a new one. */
    wcscpy(old[0], id);
    remove_id(id);
    if (wait_ifaces(old, 1, 0)) return 1;

    set = SetupDiCreateDeviceInfoList(&class_hid, NULL);
    if (set == INVALID_HANDLE_VALUE) return fail("SetupDiCreateDeviceInfoList failed (%lu)", GetLastError());
    dd.cbSize = sizeof(dd);
    if (!SetupDiCreateDeviceInfoW(set, id, &class_hid, NULL, NULL, 0, &dd))
    {
        err = fail("cannot create %ls (%lu)", id, GetLastError());
        goto done;
    }
    if (!SetupDiSetDeviceRegistryPropertyW(set, &dd, SPDRP_HARDWAREID, (const BYTE *)hwid, sizeof(hwid))
        || !SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &dd))
    {
        err = fail("cannot register %ls (%lu)", id, GetLastError());
        goto done;
    }

    key = SetupDiCreateDevRegKeyW(set, &dd, DICS_FLAG_GLOBAL, 0, DIREG_DEV, NULL, NULL);
    if (key == INVALID_HANDLE_VALUE)
    {
        err = fail("cannot create the parameters key of %ls (%lu)", id, GetLastError());
        goto done;
    }
    set_dword(key, L"VendorID", dev->vendorId);
    set_dword(key, L"ProductID", dev->productId);
    set_dword(key, L"Version", dev->version);
    set_dword(key, L"OutputLength", dev->outputLength);
    set_dword(key, L"WriteDelay", dev->writeDelayMs);
    set_dword(key, L"Collections", mask);
    RegCloseKey(key);

    params.cbSize = sizeof(params);
    if (!SetupDiGetDeviceInstallParamsW(set, &dd, &params))
    {
        err = fail("SetupDiGetDeviceInstallParams failed (%lu)", GetLastError());
        goto done;
    }
    params.Flags |= DI_ENUMSINGLEINF;
    wcsncpy(params.DriverPath, inf, MAX_PATH - 1);
    params.DriverPath[MAX_PATH - 1] = 0;
    if (!SetupDiSetDeviceInstallParamsW(set, &dd, &params)
        || !SetupDiBuildDriverInfoList(set, &dd, SPDIT_COMPATDRIVER))
    {
        err = fail("cannot read the driver list of %ls (%lu)", inf, GetLastError());
        goto done;
    }
    for (i = 0; i < sizeof(steps) / sizeof(steps[0]); i++)
    {
        if (!SetupDiCallClassInstaller(steps[i], set, &dd) && GetLastError() != ERROR_DI_DO_DEFAULT)
        {
            err = fail("install step %#lx failed for %ls (%lu)", (unsigned long)steps[i], id, GetLastError());
            break;
        }
    }

done:
    if (err) remove_id(id);
    SetupDiDestroyDeviceInfoList(set);
    return err;
}

static int check_instance(const wchar_t *s)
{
    size_t n = 0;
    for (; *s; s++, n++)
        if (!iswalnum(*s)) return 1;
    return n == 0 || n > 64;
}

int SimPlug(const SimDevice *dev)
{
    wchar_t inf[MAX_PATH], ids[2][ID_LEN];
    const wchar_t *instance = dev->instance ? dev->instance : L"0000";
    int count = 0;

    if (check_instance(instance)) return fail("bad instance id %ls (letters and digits only)", instance);
    if (dev->col1Only && dev->col2Only) return fail("a switch needs at least one collection");
    if (dev->outputLength > 64) return fail("output length %u is more than 64", dev->outputLength);
    if (install_files(inf, MAX_PATH)) return 1;
    if (wine_splits_collections())
    {
        unsigned mask = dev->col1Only ? 1 : dev->col2Only ? 2 : 3;
        if (plug_one(dev, instance, 0, mask, inf, ids[0])) return 1;
        return wait_ifaces(ids, 1, mask == 3 ? 2 : 1);
    }
    if (!dev->col2Only)
    {
        if (plug_one(dev, instance, 1, 1, inf, ids[count])) return 1;
        count++;
    }
    if (!dev->col1Only)
    {
        if (plug_one(dev, instance, 2, 2, inf, ids[count]))
        {
            if (count) remove_id(ids[0]); /* no half-plugged switch */
            return 1;
        }
        count++;
    }
    return wait_ifaces(ids, count, count);
}

static void hold_one(HDEVINFO set, SP_DEVINFO_DATA *dd, const wchar_t *id, void *ctx)
{
    HKEY key = SetupDiOpenDevRegKey(set, dd, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_SET_VALUE);
    (void)id;
    if (key == INVALID_HANDLE_VALUE) return;
    set_dword(key, L"Hold", *(DWORD *)ctx);
    RegCloseKey(key);
}

int SimHold(unsigned kind)
{
    DWORD value = kind;
    for_each_sim(NULL, hold_one, &value);
    return 0;
}

int SimUnplug(const wchar_t *instanceOrNull)
{
    static struct id_list list; /* 25 KB: off the stack */

    list.count = 0;
    for_each_sim(instanceOrNull, remove_one, &list);
    return list.count ? wait_ifaces(list.ids, list.count, 0) : 0;
}

struct list_ctx
{
    char *buf;
    size_t cap, len;
};

static void list_one(HDEVINFO set, SP_DEVINFO_DATA *dd, const wchar_t *id, void *ctx)
{
    struct list_ctx *l = ctx;
    wchar_t ids[1][ID_LEN];
    char present;
    int n;

    (void)set;
    (void)dd;
    wcscpy(ids[0], id);
    if (!count_present(ids, 1, &present) || l->len >= l->cap) return;
    n = snprintf(l->buf + l->len, l->cap - l->len, "%ls\n", id);
    if (n > 0) l->len += (size_t)n < l->cap - l->len ? (size_t)n : l->cap - l->len - 1;
}

int SimList(char *buf, size_t cap)
{
    struct list_ctx l;

    if (!buf || !cap) return fail("no buffer");
    buf[0] = 0;
    l.buf = buf;
    l.cap = cap;
    l.len = 0;
    for_each_sim(NULL, list_one, &l);
    return 0;
}

int SimLogClear(void)
{
    HANDLE f = CreateFileW(LOG_PATH, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return fail("cannot truncate the log (%lu)", GetLastError());
    CloseHandle(f);
    return 0;
}

/* Reads the whole log into a malloc'ed, NUL-terminated buffer ("" if the
 * file does not exist yet). */
static char *read_log(void)
{
    HANDLE f = CreateFileW(LOG_PATH, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, OPEN_EXISTING, 0, NULL);
    DWORD size = 0, got = 0;
    char *buf;

    if (f != INVALID_HANDLE_VALUE) size = GetFileSize(f, NULL);
    if (size == INVALID_FILE_SIZE) size = 0;
    if ((buf = malloc(size + 1)))
    {
        if (size && !ReadFile(f, buf, size, &got, NULL)) got = 0;
        buf[got] = 0;
    }
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    return buf;
}

int SimLogRead(char *buf, size_t cap)
{
    char *log;
    size_t n;

    if (!buf || !cap) return fail("no buffer");
    if (!(log = read_log())) return fail("out of memory");
    n = strlen(log);
    if (n >= cap) n = cap - 1;
    memcpy(buf, log, n);
    buf[n] = 0;
    free(log);
    return 0;
}

static int has_line(const char *log, const char *line)
{
    size_t n = strlen(line);
    const char *p = log;

    while (*p)
    {
        const char *end = p + strcspn(p, "\r\n");
        if ((size_t)(end - p) == n && !memcmp(p, line, n)) return 1;
        p = end;
        while (*p == '\r' || *p == '\n') p++;
    }
    return 0;
}

int SimLogWait(const char *line, unsigned timeoutMs)
{
    DWORD start = GetTickCount();
    char *log;
    int found;

    for (;;)
    {
        if (!(log = read_log())) return fail("out of memory");
        found = has_line(log, line);
        free(log);
        if (found) return 0;
        if (GetTickCount() - start >= timeoutMs)
            return fail("line \"%s\" not in the log after %u ms", line, timeoutMs);
        Sleep(POLL_MS);
    }
}

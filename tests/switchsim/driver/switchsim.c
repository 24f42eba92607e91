/* switchsim.sys: a HID minidriver that stands in for the USB switch under
 * Wine. Wine 8 does not split a device's top-level collections, so there it
 * runs one root device per collection:
 *   ROOT\VID_xxxx&PID_xxxx&COL01\<instance>  vendor page 0xFF00, report 1
 *   ROOT\VID_xxxx&PID_xxxx&COL02\<instance>  vendor page 0xFF01, report 2
 * Later Wine versions split them as Windows does: there one root device
 * ROOT\VID_xxxx&PID_xxxx\<instance> carries the collections its
 * "Collections" mask names (1, 2 or both), and its serial number string is
 * the instance. Either way a report is logged under the id of the
 * collection it reached (ROOT\...&COL0n\<instance>).
 * Vendor, product, version and the output report length come from the
 * device's "Device Parameters" key (written by switchctl). Every output
 * report is appended to C:\switchsim.log as "<device id> <hex bytes>".
 *
 * Imports only ntoskrnl.exe and hidclass.sys: built with one kernel32
 * import as well, the driver never came up under Wine 8. */
#include "hidmini.h"

#define SIM_TAG 0x6d697353u /* pool tag */
#define LOG_PATH L"\\??\\C:\\switchsim.log"
#define MAX_OUTLEN 64
#define ID_CHARS 256

struct simdev
{
    WCHAR id[ID_CHARS]; /* device id \ instance id, as the PDO reports them */
    ULONG collection; /* 1 or 2, from "&COLnn" in the id; 0: one device, both split by Wine */
    ULONG collections; /* of a device without "&COLnn": bit 0 collection 1, bit 1 collection 2 */
    WCHAR serial[ID_CHARS]; /* the instance part of the id */
    USHORT vid, pid, version;
    ULONG outlen;     /* OutputReportByteLength the descriptor must give */
    ULONG write_delay; /* ms each output report is held before it is taken */
    DEVICE_OBJECT *pdo; /* whose "Device Parameters" hold the run-time "Hold" */
    UCHAR desc[96];
    ULONG desc_len;
};

static KEVENT log_lock; /* serialises appends to the log */

static struct simdev *dev_of(DEVICE_OBJECT *fdo)
{
    return ((SIM_HID_DEVICE_EXTENSION *)fdo->DeviceExtension)->MiniDeviceExtension;
}

static DEVICE_OBJECT *lower_of(DEVICE_OBJECT *fdo)
{
    return ((SIM_HID_DEVICE_EXTENSION *)fdo->DeviceExtension)->NextDeviceObject;
}

static ULONG wlen(const WCHAR *s)
{
    ULONG n = 0;
    while (s[n]) n++;
    return n;
}

/* Asks the PDO for one of its ids (IRP_MN_QUERY_ID), appends it to out. */
static NTSTATUS append_pdo_id(DEVICE_OBJECT *pdo, BUS_QUERY_ID_TYPE type, WCHAR *out, ULONG cap)
{
    IO_STATUS_BLOCK io;
    IO_STACK_LOCATION *sp;
    KEVENT done;
    WCHAR *id;
    ULONG n, i;
    IRP *irp;

    KeInitializeEvent(&done, NotificationEvent, FALSE);
    irp = IoBuildSynchronousFsdRequest(IRP_MJ_PNP, pdo, NULL, 0, NULL, &done, &io);
    if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
    sp = IoGetNextIrpStackLocation(irp);
    sp->MinorFunction = IRP_MN_QUERY_ID;
    sp->Parameters.QueryId.IdType = type;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    io.Status = STATUS_NOT_SUPPORTED;
    if (IoCallDriver(pdo, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, NULL);
    if (io.Status != STATUS_SUCCESS) return io.Status;

    id = (WCHAR *)io.Information;
    n = wlen(out);
    for (i = 0; id[i] && n + 1 < cap; i++) out[n++] = id[i];
    out[n] = 0;
    ExFreePool(id);
    return STATUS_SUCCESS;
}

static ULONG reg_dword(HANDLE key, const WCHAR *name, ULONG def)
{
    UCHAR buf[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 8];
    KEY_VALUE_PARTIAL_INFORMATION *info = (KEY_VALUE_PARTIAL_INFORMATION *)buf;
    UNICODE_STRING us;
    ULONG got;

    RtlInitUnicodeString(&us, name);
    if (ZwQueryValueKey(key, &us, KeyValuePartialInformation, info, sizeof(buf), &got) == STATUS_SUCCESS
        && info->Type == REG_DWORD && info->DataLength == sizeof(ULONG))
        return *(ULONG *)info->Data;
    return def;
}

/* Number after `tag` in the id, in the given base; def when absent. */
static ULONG id_number(const WCHAR *id, const WCHAR *tag, ULONG base, ULONG def)
{
    ULONG i, j, v, d, digits;

    for (i = 0; id[i]; i++)
    {
        for (j = 0; tag[j] && id[i + j] == tag[j]; j++) ;
        if (tag[j]) continue;
        v = 0;
        digits = 0;
        for (i += j; id[i]; i++, digits++)
        {
            WCHAR c = id[i];
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else break;
            if (d >= base) break;
            v = v * base + d;
        }
        return digits ? v : def;
    }
    return def;
}

/* One top-level collection of the report descriptor. Collection 1
 * declares report 1 with one input byte and outlen-1 output bytes, so
 * HidP_GetCaps gives OutputReportByteLength == outlen. Length 1 is a
 * report-size-0 output field: only the report id byte remains. Length 0
 * declares no output at all. Collection 2 is report 2 on another vendor
 * page, one byte each way. */
static UCHAR *put_collection(UCHAR *p, ULONG collection, ULONG outlen)
{
    UCHAR id = collection == 2 ? 2 : 1;

    *p++ = 0x06; *p++ = collection == 2 ? 0x01 : 0x00; *p++ = 0xFF; /* usage page FF00/FF01 */
    *p++ = 0x09; *p++ = 0x01;             /* usage 1 */
    *p++ = 0xA1; *p++ = 0x01;             /* collection (application) */
    *p++ = 0x85; *p++ = id;               /* report id */
    *p++ = 0x15; *p++ = 0x00;             /* logical minimum 0 */
    *p++ = 0x26; *p++ = 0xFF; *p++ = 0x00; /* logical maximum 255 */
    *p++ = 0x75; *p++ = 0x08;             /* report size 8 */
    *p++ = 0x95; *p++ = 0x01;             /* report count 1 */
    *p++ = 0x09; *p++ = 0x01;             /* usage 1 */
    *p++ = 0x81; *p++ = 0x02;             /* input (data, var, abs) */
    if (collection == 2 || outlen >= 2)
    {
        *p++ = 0x95; *p++ = (UCHAR)(collection == 2 ? 1 : outlen - 1);
        *p++ = 0x09; *p++ = 0x02;         /* usage 2 */
        *p++ = 0x91; *p++ = 0x02;         /* output (data, var, abs) */
    }
    else if (outlen == 1)
    {
        *p++ = 0x75; *p++ = 0x00;         /* report size 0 */
        *p++ = 0x09; *p++ = 0x02;
        *p++ = 0x91; *p++ = 0x02;
    }
    *p++ = 0xC0;                          /* end collection */
    return p;
}

static void build_descriptor(struct simdev *d)
{
    UCHAR *p = d->desc;

    if (d->collection)
        p = put_collection(p, d->collection, d->outlen);
    else
    {
        if (d->collections & 1) p = put_collection(p, 1, d->outlen);
        if (d->collections & 2) p = put_collection(p, 2, d->outlen);
    }
    d->desc_len = (ULONG)(p - d->desc);
}

static NTSTATUS NTAPI sim_add_device(DRIVER_OBJECT *driver, DEVICE_OBJECT *fdo)
{
    SIM_HID_DEVICE_EXTENSION *hid = fdo->DeviceExtension;
    struct simdev *d = dev_of(fdo);
    NTSTATUS status;
    HANDLE key;
    ULONG n, i;

    (void)driver;
    RtlZeroMemory(d, sizeof(*d));
    status = append_pdo_id(hid->PhysicalDeviceObject, BusQueryDeviceID, d->id, ID_CHARS);
    if (status) return status;
    n = wlen(d->id);
    d->id[n] = '\\';
    d->id[n + 1] = 0;
    status = append_pdo_id(hid->PhysicalDeviceObject, BusQueryInstanceID, d->id, ID_CHARS);
    if (status) return status;

    d->pdo = hid->PhysicalDeviceObject;
    d->collection = id_number(d->id, L"&COL", 10, 0);
    d->collections = 3;
    for (n = wlen(d->id); n && d->id[n - 1] != '\\'; n--) ;
    for (i = 0; d->id[n + i] && i + 1 < ID_CHARS; i++) d->serial[i] = d->id[n + i];
    d->serial[i] = 0;
    d->vid = (USHORT)id_number(d->id, L"VID_", 16, 0x7A3C);
    d->pid = (USHORT)id_number(d->id, L"PID_", 16, 0x5C02);
    d->version = 0x0100;
    d->outlen = 2;
    if (IoOpenDeviceRegistryKey(hid->PhysicalDeviceObject, PLUGPLAY_REGKEY_DEVICE, KEY_READ, &key) == STATUS_SUCCESS)
    {
        d->vid = (USHORT)reg_dword(key, L"VendorID", d->vid);
        d->pid = (USHORT)reg_dword(key, L"ProductID", d->pid);
        d->version = (USHORT)reg_dword(key, L"Version", d->version);
        d->outlen = reg_dword(key, L"OutputLength", d->outlen);
        d->write_delay = reg_dword(key, L"WriteDelay", 0);
        d->collections = reg_dword(key, L"Collections", d->collections) & 3;
        ZwClose(key);
    }
    if (d->outlen > MAX_OUTLEN) d->outlen = MAX_OUTLEN;
    build_descriptor(d);
    return STATUS_SUCCESS;
}

/* hidclass does the PnP work; the root PDO below completes everything. */
static NTSTATUS NTAPI sim_pnp(DEVICE_OBJECT *fdo, IRP *irp)
{
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower_of(fdo), irp);
}

/* Appends "<id> XX XX ...\n" to the log; the file is opened and closed
 * each time so Linux can read it at any moment. A device that Wine splits
 * logs under the id of the collection the report belongs to. */
static void log_report(const struct simdev *d, UCHAR lead, BOOLEAN has_lead, const UCHAR *bytes, ULONG n)
{
    static const char hex[] = "0123456789ABCDEF";
    ULONG idlen = wlen(d->id), size = idlen + 6 + 3 * (n + 1) + 2, len = 0, i, split = 0;
    UCHAR id = has_lead ? lead : n ? bytes[0] : 0;
    OBJECT_ATTRIBUTES attr;
    IO_STATUS_BLOCK io;
    LARGE_INTEGER end;
    UNICODE_STRING path;
    HANDLE file;
    char *line;

    if (!(line = ExAllocatePoolWithTag(NonPagedPool, size, SIM_TAG))) return;
    if (!d->collection)
        for (split = idlen; split && d->id[split - 1] != '\\'; split--) ;
    for (i = 0; i < idlen; i++)
    {
        if (split && i + 1 == split)
        {
            line[len++] = '&'; line[len++] = 'C'; line[len++] = 'O'; line[len++] = 'L';
            line[len++] = '0'; line[len++] = (char)('0' + (id == 2 ? 2 : 1));
        }
        line[len++] = (char)d->id[i];
    }
    for (i = 0; i < n + has_lead; i++)
    {
        UCHAR b = has_lead ? (i ? bytes[i - 1] : lead) : bytes[i];
        line[len++] = ' ';
        line[len++] = hex[b >> 4];
        line[len++] = hex[b & 15];
    }
    line[len++] = '\n';

    RtlInitUnicodeString(&path, LOG_PATH);
    InitializeObjectAttributes(&attr, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    KeWaitForSingleObject(&log_lock, Executive, KernelMode, FALSE, NULL);
    if (ZwCreateFile(&file, FILE_APPEND_DATA | SYNCHRONIZE, &attr, &io, NULL, FILE_ATTRIBUTE_NORMAL,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN_IF,
                     FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, NULL, 0) == STATUS_SUCCESS)
    {
        end.HighPart = -1;
        end.LowPart = FILE_WRITE_TO_END_OF_FILE;
        ZwWriteFile(file, NULL, NULL, NULL, &io, line, len, &end, NULL);
        ZwClose(file);
    }
    KeSetEvent(&log_lock, 0, FALSE);
    ExFreePool(line);
}

/* An output report, logged as the application wrote it. Wine's hidclass
 * passes a numbered report with its id as the first byte, and an
 * unnumbered one without its leading zero; put back whatever is missing. */
static NTSTATUS take_report(const struct simdev *d, const SIM_HID_XFER_PACKET *pkt)
{
    const UCHAR *buf;
    ULONG n;

    if (!pkt) return STATUS_INVALID_PARAMETER;
    if (d->write_delay)
    {
        /* a slow device: the writer waits, as on a busy USB bus */
        LARGE_INTEGER delay;
        delay.QuadPart = -(LONGLONG)d->write_delay * 10000;
        KeDelayExecutionThread(KernelMode, FALSE, &delay);
    }
    buf = pkt->reportBuffer;
    n = pkt->reportBufferLen;
    if (n && !buf) return STATUS_INVALID_PARAMETER;
    if (n && (!pkt->reportId || buf[0] != pkt->reportId))
        log_report(d, pkt->reportId, TRUE, buf, n);
    else
        log_report(d, 0, FALSE, buf, n);
    return STATUS_SUCCESS;
}

/* A switch that stops taking reports: while the device's "Hold" value (set
 * and lifted at run time by switchctl hold) is non-zero, a written report
 * stays pending here. Hold 1: one that is cancelled is let go (unlogged);
 * hold 2: only lifting the hold lets it go. A thread of the driver's own
 * takes the held reports once the hold is lifted. */
#define MAX_HELD 8
static IRP *volatile held[MAX_HELD]; /* each held IRP carries its device in DriverContext[0] */

static ULONG hold_of(const struct simdev *d)
{
    HANDLE key;
    ULONG hold = 0;
    if (IoOpenDeviceRegistryKey(d->pdo, PLUGPLAY_REGKEY_DEVICE, KEY_READ, &key) == STATUS_SUCCESS)
    {
        hold = reg_dword(key, L"Hold", 0);
        ZwClose(key);
    }
    return hold;
}

/* Takes a held IRP out of the table (any, or the one expected); NULL when
 * it is no longer there. */
static IRP *unhold(ULONG i, IRP *expected)
{
    IRP *irp = held[i];
    if (!irp || (expected && irp != expected)) return NULL;
    return InterlockedCompareExchangePointer((void *volatile *)&held[i], NULL, irp) == irp ? irp : NULL;
}

static VOID NTAPI held_cancel(DEVICE_OBJECT *fdo, IRP *irp)
{
    ULONG i;
    (void)fdo;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    for (i = 0; i < MAX_HELD; i++)
        if (unhold(i, irp))
        {
            irp->IoStatus.Status = STATUS_CANCELLED;
            irp->IoStatus.Information = 0;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return;
        }
}

static NTSTATUS hold_report(struct simdev *d, IRP *irp, ULONG hold)
{
    ULONG i;
    irp->Tail.Overlay.DriverContext[0] = d;
    IoMarkIrpPending(irp);
    for (i = 0; i < MAX_HELD; i++)
        if (!InterlockedCompareExchangePointer((void *volatile *)&held[i], irp, NULL))
        {
            if (hold == 1) IoSetCancelRoutine(irp, held_cancel);
            return STATUS_PENDING;
        }
    irp->IoStatus.Status = STATUS_DEVICE_BUSY;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_PENDING;
}

static VOID NTAPI release_thread(void *context)
{
    LARGE_INTEGER pause;
    ULONG i;
    IRP *irp;
    (void)context;
    pause.QuadPart = -20 * 10000; /* 20 ms */
    for (;;)
    {
        KeDelayExecutionThread(KernelMode, FALSE, &pause);
        for (i = 0; i < MAX_HELD; i++)
        {
            if (!(irp = held[i]) || hold_of(irp->Tail.Overlay.DriverContext[0])) continue;
            if (!(irp = unhold(i, NULL))) continue;
            if (!IoSetCancelRoutine(irp, NULL) && irp->Cancel) continue; /* being cancelled */
            {
                SIM_HID_XFER_PACKET *pkt = irp->UserBuffer;
                NTSTATUS status = take_report(irp->Tail.Overlay.DriverContext[0], pkt);
                irp->IoStatus.Information = status ? 0 : pkt->reportBufferLen + 1;
                irp->IoStatus.Status = status;
                IoCompleteRequest(irp, IO_NO_INCREMENT);
            }
        }
    }
}

static NTSTATUS NTAPI sim_ioctl(DEVICE_OBJECT *fdo, IRP *irp)
{
    IO_STACK_LOCATION *sp = IoGetCurrentIrpStackLocation(irp);
    ULONG outsize = sp->Parameters.DeviceIoControl.OutputBufferLength;
    struct simdev *d = dev_of(fdo);
    NTSTATUS status = STATUS_SUCCESS;
    SIM_HID_XFER_PACKET *pkt;

    irp->IoStatus.Information = 0;
    switch (sp->Parameters.DeviceIoControl.IoControlCode)
    {
    case SIM_IOCTL_GET_DEVICE_DESCRIPTOR:
    {
        SIM_HID_DESCRIPTOR *hd = irp->UserBuffer;
        if (outsize < sizeof(*hd)) { status = STATUS_BUFFER_TOO_SMALL; break; }
        hd->bLength = sizeof(*hd);
        hd->bDescriptorType = 0x21;
        hd->bcdHID = 0x0100;
        hd->bCountry = 0;
        hd->bNumDescriptors = 1;
        hd->bReportType = 0x22;
        hd->wReportLength = (USHORT)d->desc_len;
        irp->IoStatus.Information = sizeof(*hd);
        break;
    }
    case SIM_IOCTL_GET_REPORT_DESCRIPTOR:
        if (outsize < d->desc_len) { status = STATUS_BUFFER_TOO_SMALL; break; }
        RtlCopyMemory(irp->UserBuffer, d->desc, d->desc_len);
        irp->IoStatus.Information = d->desc_len;
        break;
    case SIM_IOCTL_GET_DEVICE_ATTRIBUTES:
    {
        SIM_HID_DEVICE_ATTRIBUTES *a = irp->UserBuffer;
        if (outsize < sizeof(*a)) { status = STATUS_BUFFER_TOO_SMALL; break; }
        RtlZeroMemory(a, sizeof(*a));
        a->Size = sizeof(*a);
        a->VendorID = d->vid;
        a->ProductID = d->pid;
        a->VersionNumber = d->version;
        irp->IoStatus.Information = sizeof(*a);
        break;
    }
    case SIM_IOCTL_WRITE_REPORT:
    {
        ULONG hold = hold_of(d);
        if (hold)
        {
            return hold_report(d, irp, hold);
        }
    }
        pkt = irp->UserBuffer;
        if (!(status = take_report(d, pkt)))
            /* Wine's hidclass takes one byte off again for the id */
            irp->IoStatus.Information = pkt->reportBufferLen + 1;
        break;
    case SIM_IOCTL_SET_OUTPUT_REPORT:
        pkt = irp->AssociatedIrp.SystemBuffer ? irp->AssociatedIrp.SystemBuffer : irp->UserBuffer;
        if (!(status = take_report(d, pkt)))
            irp->IoStatus.Information = pkt->reportBufferLen;
        break;
    case SIM_IOCTL_GET_STRING:
    {
        /* the serial number is the instance; the others are fixed. The
         * DDK numbers them 14 to 16, Wine's headers 1 to 3. */
        ULONG which = (ULONG)(ULONG_PTR)sp->Parameters.DeviceIoControl.Type3InputBuffer & 0xFFFF;
        const WCHAR *text;
        ULONG bytes;
        if (which >= 14) which -= 13;
        if (which < 1 || which > 3) { status = STATUS_INVALID_PARAMETER; break; }
        text = which == 1 ? L"Swivo simulated" : which == 2 ? L"Swivo switch" : d->serial;
        bytes = (wlen(text) + 1) * sizeof(WCHAR);
        if (outsize < bytes) { status = STATUS_BUFFER_TOO_SMALL; break; }
        RtlCopyMemory(irp->UserBuffer, text, bytes);
        irp->IoStatus.Information = bytes;
        break;
    }
    case SIM_IOCTL_ACTIVATE_DEVICE:
    case SIM_IOCTL_DEACTIVATE_DEVICE:
        break;
    case SIM_IOCTL_READ_REPORT:
        /* the switch never reports anything; hidclass polls and moves on */
        status = STATUS_DEVICE_NOT_READY;
        break;
    default:
        status = STATUS_NOT_SUPPORTED;
        break;
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static VOID NTAPI sim_unload(DRIVER_OBJECT *driver)
{
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(DRIVER_OBJECT *driver, UNICODE_STRING *path)
{
    SIM_HID_MINIDRIVER_REGISTRATION reg;

    HANDLE thread;

    KeInitializeEvent(&log_lock, SynchronizationEvent, TRUE);
    if (PsCreateSystemThread(&thread, THREAD_ALL_ACCESS, NULL, NULL, NULL, release_thread, NULL) == STATUS_SUCCESS)
        ZwClose(thread);
    driver->MajorFunction[IRP_MJ_PNP] = sim_pnp;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = sim_ioctl;
    driver->DriverExtension->AddDevice = sim_add_device;
    driver->DriverUnload = sim_unload;

    RtlZeroMemory(&reg, sizeof(reg));
    reg.Revision = 1;
    reg.DriverObject = driver;
    reg.RegistryPath = path;
    reg.DeviceExtensionSize = sizeof(struct simdev);
    /* polled: hidclass never leaves a read pending with us, so removal
     * does not have to cancel anything */
    reg.DevicesArePolled = TRUE;
    return HidRegisterMinidriver(&reg);
}

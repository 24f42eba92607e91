/* HID minidriver declarations that mingw-w64 does not ship (it has no
 * hidport.h, and its ddk/hidclass.h numbers the internal IOCTLs wrongly).
 * These are the documented DDK layouts; names carry a SIM_ prefix where
 * they could clash with mingw's headers. */
#ifndef SWITCHSIM_HIDMINI_H
#define SWITCHSIM_HIDMINI_H

#include <ntddk.h> /* from mingw's include/ddk */

typedef struct
{
    ULONG Revision;                /* 1 */
    DRIVER_OBJECT *DriverObject;
    UNICODE_STRING *RegistryPath;
    ULONG DeviceExtensionSize;     /* size of our own per-device data */
    BOOLEAN DevicesArePolled;
    UCHAR Reserved[3];
} SIM_HID_MINIDRIVER_REGISTRATION;

/* What hidclass puts in DeviceObject->DeviceExtension of the FDO. */
typedef struct
{
    DEVICE_OBJECT *PhysicalDeviceObject;
    DEVICE_OBJECT *NextDeviceObject;
    void *MiniDeviceExtension;
} SIM_HID_DEVICE_EXTENSION;

typedef struct
{
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
} SIM_HID_DEVICE_ATTRIBUTES;

#pragma pack(push, 1)
typedef struct
{
    UCHAR bLength;                 /* 9 */
    UCHAR bDescriptorType;         /* 0x21, HID */
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;         /* 1 */
    UCHAR bReportType;             /* 0x22, report descriptor */
    USHORT wReportLength;
} SIM_HID_DESCRIPTOR;
#pragma pack(pop)

typedef struct
{
    UCHAR *reportBuffer;
    ULONG reportBufferLen;
    UCHAR reportId;
} SIM_HID_XFER_PACKET;

#define SIM_HID_CTL(id) CTL_CODE(FILE_DEVICE_KEYBOARD, (id), METHOD_NEITHER, FILE_ANY_ACCESS)
#define SIM_IOCTL_GET_DEVICE_DESCRIPTOR  SIM_HID_CTL(0)
#define SIM_IOCTL_GET_REPORT_DESCRIPTOR  SIM_HID_CTL(1)
#define SIM_IOCTL_READ_REPORT            SIM_HID_CTL(2)
#define SIM_IOCTL_WRITE_REPORT           SIM_HID_CTL(3)
#define SIM_IOCTL_GET_STRING             SIM_HID_CTL(4)
#define SIM_IOCTL_ACTIVATE_DEVICE        SIM_HID_CTL(7)
#define SIM_IOCTL_DEACTIVATE_DEVICE      SIM_HID_CTL(8)
#define SIM_IOCTL_GET_DEVICE_ATTRIBUTES  SIM_HID_CTL(9)
#define SIM_IOCTL_SET_OUTPUT_REPORT \
    CTL_CODE(FILE_DEVICE_KEYBOARD, 101, METHOD_IN_DIRECT, FILE_ANY_ACCESS)

NTSTATUS NTAPI HidRegisterMinidriver(SIM_HID_MINIDRIVER_REGISTRATION *registration);

#endif

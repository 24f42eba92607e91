/* Control of the simulated switch (switchsim.sys) from Windows test code:
 * plug and unplug simulated devices in the running Wine prefix and read
 * the log of output reports they received. Every function returns 0 on
 * success and non-zero on failure. */
#ifndef SWITCHSIM_CTL_H
#define SWITCHSIM_CTL_H

#include <stddef.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SimDevice
{
    unsigned short vendorId;   /* e.g. 0x7A3C */
    unsigned short productId;  /* e.g. 0x5C02 */
    unsigned short version;    /* HID VersionNumber, e.g. 0x0100 */
    unsigned outputLength;     /* OutputReportByteLength of COL01: 0..64, usually 2 */
    int col2Only;              /* non-zero: plug only the second collection */
    int col1Only;              /* non-zero: plug only the first collection */
    const wchar_t *instance;   /* instance id, hex digits; NULL means "0000" */
    unsigned writeDelayMs;     /* each output report is taken this much later */
} SimDevice;

/* Fills a SimDevice with vid/pid/version, output length 2, both
 * collections, instance "0000". */
void SimDeviceInit(SimDevice *dev, unsigned short vid, unsigned short pid, unsigned short version);

/* Installs the driver into the prefix if needed, creates the device(s) and
 * returns once their HID interfaces are present (15 s at most). Any
 * earlier simulated device with the same ids is replaced. */
int SimPlug(const SimDevice *dev);

/* Removes the simulated devices of one instance (NULL: all of them) and
 * returns once their HID interfaces are gone. Nothing to remove is fine. */
int SimUnplug(const wchar_t *instanceOrNull);

/* A switch that stops taking reports, set and lifted at run time on every
 * simulated device: 0 takes every report; 1 holds each written report until
 * the hold is lifted or the write is cancelled (then it is dropped); 2 holds
 * it until the hold is lifted. A held report is logged when it is taken. */
int SimHold(unsigned kind);

/* Writes the device ids (ROOT\...) of the simulated devices whose HID
 * interface is present, one per line, into buf. */
int SimList(char *buf, size_t cap);

/* The log of output reports: C:\switchsim.log, one line per report,
 * "<device id> <bytes as upper-case hex, space separated>". */
int SimLogClear(void);
int SimLogWait(const char *line, unsigned timeoutMs);  /* 0 when the exact line is there */
int SimLogRead(char *buf, size_t cap);                  /* whole log, NUL-terminated */

/* Text of the last failure (for messages in tests). */
const char *SimLastError(void);

#ifdef __cplusplus
}
#endif

#endif

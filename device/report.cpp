// The command report: report ID 1, then the command and the mute flag.
//
// A switch (or hub, or driver) that stops taking reports must never freeze
// the program: a write is waited for about a second, then cancelled and
// given up. One that the system still holds stays pending, with its record,
// event and buffer, until it completes; meanwhile a command touches nothing
// and is dropped, so a report taken late never makes the switch move twice.
#include "platform/lookup.h"
#include "device/device.h"
#include "audio/audio.h"

#define WRITE_WAIT_MS 1000

static HANDLE PendingDevice = INVALID_HANDLE_VALUE;  // its write is still outstanding
static OVERLAPPED PendingWrite;
static HANDLE WriteDone;  // the event of every write, kept for the process
static BYTE ShortReport[8];
static BYTE *PendingReport;

typedef BOOL(WINAPI *CancelIoFunction)(HANDLE);

// Once the write is over, everything it held is let go.
static void EndWrite(HANDLE device, BYTE *report)
{
    CloseHandle(device);
    if (report && report != ShortReport)
        HeapFree(GetProcessHeap(), 0, report);
}

BOOL IsWritePending(void)
{
    if (PendingDevice == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written;
    if (!GetOverlappedResult(PendingDevice, &PendingWrite, &written, FALSE) && GetLastError() == ERROR_IO_INCOMPLETE)
        return TRUE;
    EndWrite(PendingDevice, PendingReport);
    PendingDevice = INVALID_HANDLE_VALUE;
    PendingReport = NULL;
    return FALSE;
}

SwitchResult SendSwitchCommand(SwitchCommand command)
{
    if (IsWritePending())
        return SWITCH_NOT_TAKEN;
    // The narrow form: Windows 9x implements no wide CreateEvent.
    if (!WriteDone && !(WriteDone = CreateEventA(NULL, TRUE, FALSE, NULL)))
        return IsSwitchPresent() ? SWITCH_NOT_TAKEN : SWITCH_ABSENT;
    DWORD reportLength;
    HANDLE device = OpenSwitchDevice(&reportLength);
    if (device == INVALID_HANDLE_VALUE)
        return SWITCH_ABSENT;

    // At least two bytes, whatever length the device declares; exactly the
    // declared length is written.
    BYTE *report = ShortReport;
    ZeroMemory(ShortReport, sizeof(ShortReport));
    if (reportLength > sizeof(ShortReport))
        report = (BYTE *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, reportLength);
    if (!report)
    {
        CloseHandle(device);
        return SWITCH_NOT_TAKEN;
    }
    report[0] = 0x01;
    report[1] = (BYTE)((command << 1) | (MuteState.Value != 0 ? 1 : 0));

    ZeroMemory(&PendingWrite, sizeof(PendingWrite));
    ResetEvent(WriteDone);
    PendingWrite.hEvent = WriteDone;
    DWORD written;
    BOOL queued = WriteFile(device, report, reportLength, &written, &PendingWrite) || GetLastError() == ERROR_IO_PENDING;
    if (!queued || WaitForSingleObject(WriteDone, WRITE_WAIT_MS) == WAIT_OBJECT_0)
    {
        BOOL taken = queued && GetOverlappedResult(device, &PendingWrite, &written, FALSE);
        EndWrite(device, report);
        return taken ? SWITCH_TAKEN : SWITCH_NOT_TAKEN;
    }
    // Given up. CancelIo came with Windows 98; it is looked up, not imported.
    auto cancelIo = (CancelIoFunction)(void *)LoadedModuleFunction("kernel32.dll", "CancelIo");
    if (cancelIo)
        cancelIo(device);
    PendingDevice = device;
    PendingReport = report;
    IsWritePending();  // a cancelled write may be over already
    return SWITCH_NOT_TAKEN;
}

int HandleSwitchRequest(WPARAM command)
{
    if (command == SWITCH_STATUS)
        return IsSwitchPresent() ? SWITCH_TAKEN : SWITCH_ABSENT;
    if (command > SWITCH_ALL)
        return SWITCH_NOT_TAKEN;
    return SendSwitchCommand((SwitchCommand)command);
}

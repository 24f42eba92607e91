// The command report: report ID 1, then the command and the mute flag.
#include "device/device.h"
#include "audio/audio.h"

void SendSwitchCommand(SwitchCommand command)
{
    DWORD reportLength;
    HANDLE device = OpenSwitchDevice(&reportLength);
    if (device == INVALID_HANDLE_VALUE)
        return;

    // At least two bytes, whatever length the device declares; exactly the
    // declared length is written.
    BYTE shortReport[8] = {0};
    BYTE *report = shortReport;
    if (reportLength > sizeof(shortReport))
        report = (BYTE *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, reportLength);
    if (report)
    {
        report[0] = 0x01;
        report[1] = (BYTE)((command << 1) | (MuteState.Value != 0 ? 1 : 0));
        DWORD written;
        WriteFile(device, report, reportLength, &written, NULL);
        if (report != shortReport)
            HeapFree(GetProcessHeap(), 0, report);
    }
    CloseHandle(device);
}

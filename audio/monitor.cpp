// The speakers' mute state, as every report tells it to the switch, and the
// one choice of where it comes from.
#include "app/app.h"
#include "audio/audio.h"
#include "device/device.h"

MUTE_STATE MuteState;
static BOOL OnlyReading;

void ReportMuteState(void)
{
    if (!OnlyReading)
        SendSwitchCommand(SWITCH_STATUS);
}

void ReadMuteOnce(void)
{
    OnlyReading = TRUE;
    OpenMuteMonitor(NULL);
    StopMuteMonitor();
    CloseMuteMonitor();
    OnlyReading = FALSE;
}

void OpenMuteMonitor(HWND window)
{
    // Since Windows Vista a mixer shows only this program's own session.
    if (IsWindowsVistaOrLater() && OpenEndpointMonitor(window))
        return;
    OpenMixers(window);
}

void StopMuteMonitor(void)
{
    StopEndpointMonitor();
}

void CloseMuteMonitor(void)
{
    CloseMixer();
    CloseEndpointMonitor();
}

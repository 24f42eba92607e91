// Attachment tracking: device notices re-probe the switch, tell it the mute
// state and refresh the tray icon's picture.
//
// Windows sends a notice for every device of every kind, and a burst of them
// when the switch moves the keyboard and mouse: each only starts the timer
// again, so a burst costs one enumeration and one report.
#include "device/device.h"
#include "app/app.h"

void OnDeviceChange(WPARAM, LPARAM)
{
    ScheduleSwitchRefresh();
}

void ScheduleSwitchRefresh(void)
{
    if (!MainWindow || !SetTimer(MainWindow, DEVICE_TIMER_ID, DEVICE_SETTLE_MS, NULL))
        RefreshSwitchState();
}

void OnDeviceTimer(void)
{
    KillTimer(MainWindow, DEVICE_TIMER_ID);
    RefreshSwitchState();
}

void RefreshSwitchState(void)
{
    ClearDeviceAttributes();
    // A report still held by a hung switch leaves nothing to learn from the
    // status report, which is not written: the picture needs its own look.
    if (IsWritePending())
        ShowSwitchAttached(IsSwitchPresent());
    else
        ShowSwitchAttached(SendSwitchCommand(SWITCH_STATUS) != SWITCH_ABSENT);
}

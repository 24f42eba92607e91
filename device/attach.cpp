// Attachment tracking: every device-tree change re-probes the switch, tells it
// the mute state and refreshes the tray icon's picture.
#include "device/device.h"
#include "app/app.h"

#include <dbt.h>

void OnDeviceChange(WPARAM eventCode, LPARAM)
{
    if (eventCode == DBT_DEVNODES_CHANGED)
        RefreshSwitchState();
    else
        ClearDeviceAttributes();
}

void RefreshSwitchState(void)
{
    ClearDeviceAttributes();
    SendSwitchCommand(SWITCH_STATUS);
    UpdateTrayIcon();
}

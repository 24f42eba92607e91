// Switch device link: finding and opening the switch, the command report,
// following device arrival and removal.
#pragma once
#include <windows.h>
// mingw's HID headers declare no C linkage of their own.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

// The command code carried in bits 1 and 2 of every report.
enum SwitchCommand
{
    SWITCH_STATUS = 0,  // nothing moves; the report carries the mute flag
    SWITCH_VIDEO = 1,   // video and input
    SWITCH_AUDIO = 2,
    SWITCH_ALL = 3,
};

// Attributes of the switch last opened; ProductID 0 means none is known.
extern HIDD_ATTRIBUTES DeviceAttributes;

// Opens the switch's first collection for reading and writing, or returns
// INVALID_HANDLE_VALUE. *reportLength receives the output report length.
HANDLE OpenSwitchDevice(DWORD *reportLength);
// Whether the switch can be opened now (it is closed again at once).
BOOL IsSwitchPresent(void);

// What became of a report; also the exit code of a start that sends one.
enum SwitchResult
{
    SWITCH_TAKEN = 0,      // the switch took it
    SWITCH_ABSENT = 1,     // no switch is attached
    SWITCH_NOT_TAKEN = 2,  // not within the write limit (or not written at all)
};

// Writes one report with the command and the current mute flag, waiting
// about a second for the switch to take it. While an earlier report that was
// given up is still outstanding, nothing is written (nor opened).
SwitchResult SendSwitchCommand(SwitchCommand command);
// A command asked for from the command line (SWITCH_STATUS only looks for
// the switch): what became of it.
int HandleSwitchRequest(WPARAM command);
// Whether such a report is still outstanding; releases it once it is not.
BOOL IsWritePending(void);

void ClearDeviceAttributes(void);

// Every device notice, and a resume, lead to one refresh after the last of a
// burst: the main window's one-shot timer, started again by each.
#define DEVICE_TIMER_ID 2
#define DEVICE_SETTLE_MS 300
void OnDeviceChange(WPARAM eventCode, LPARAM eventData);
void ScheduleSwitchRefresh(void);
void OnDeviceTimer(void);
// Forgets the switch, tells it the mute state and shows on the tray icon
// whether it is there, all from one look at the present devices.
void RefreshSwitchState(void);

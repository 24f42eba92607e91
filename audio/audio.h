// Audio mute tracking: the speakers' mute state, as the switch is told it.
#pragma once
#include <windows.h>

struct MUTE_STATE
{
    LONG Value;  // 0 not muted, anything else muted
};

extern MUTE_STATE MuteState;

// Follows the speakers' mute from start-up on: the default output device's own
// mute on Windows Vista and later, else the sound mixers. Every change is
// told to the switch with a status report.
void OpenMuteMonitor(HWND window);
// Tells the switch the mute state with a status report, unless the mute is
// only being read.
void ReportMuteState(void);
// For a start that sends one command and ends: the mute read once, told to
// no one, and everything let go.
void ReadMuteOnce(void);
// When the main window is destroyed: no notice reaches it any more.
void StopMuteMonitor(void);
// After the message loop: everything the monitor still holds is released.
void CloseMuteMonitor(void);

// --- The endpoint path (Windows Vista and later). ---
// Posted by the system's callbacks to the main window.
#define WM_ENDPOINT_MUTE    0x8348  // the default output device's volume or mute changed
#define WM_DEFAULT_ENDPOINT 0x8349  // another output device became the default (or none is)

// Binds to the default output device and reports its mute; 0 when the
// system's device enumerator cannot be had.
int OpenEndpointMonitor(HWND window);
void OnEndpointMuteChange(void);
void OnDefaultEndpointChange(void);
// Unregisters the callbacks and releases every interface.
void StopEndpointMonitor(void);
// The same, and COM is uninitialised when start-up initialised it.
void CloseEndpointMonitor(void);

// --- The mixer path (Windows XP and earlier). ---

// Each opened mixer with its speakers' mute control (0 while none was found).
struct OPEN_MIXER
{
    HMIXER Handle;
    DWORD Destinations;
    DWORD MuteControl;
};
#define MAX_MIXERS 16
extern OPEN_MIXER Mixers[MAX_MIXERS];
extern UINT MixerCount;

// Opens every mixer with notifications to the window and reports the mute
// state of each whose speakers' mute could be read.
void OpenMixers(HWND window);
// Reads the speakers' mute of one opened mixer into MuteState; 1 when read.
int ReadMuteState(OPEN_MIXER *mixer);
// A control of the mixer whose handle is given changed.
void OnMixerControlChange(WPARAM mixerHandle, LPARAM controlID);
void CloseMixer(void);

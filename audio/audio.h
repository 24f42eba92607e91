// Audio mute tracking: the speakers' mute state, as the switch is told it.
#pragma once
#include <windows.h>

struct MUTE_STATE
{
    LONG Value;       // 0 not muted, anything else muted
    DWORD ControlID;  // the speakers' mute control
};

extern MUTE_STATE MuteState;

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

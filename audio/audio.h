// Audio mute tracking: the speakers' mute state as the switch is told it.
#pragma once
#include <windows.h>

struct MUTE_STATE
{
    LONG Value;       // 0 not muted, anything else muted
    DWORD ControlID;  // the speakers' mute control
};

extern MUTE_STATE MuteState;

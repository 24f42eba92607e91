// The speakers' mute through the sound mixers (Windows XP and earlier): read
// from every mixer's speakers line at start-up and again whenever a mixer
// reports that the mute control changed.
#include "audio/audio.h"
#include "device/device.h"
#include "platform/lookup.h"

OPEN_MIXER Mixers[MAX_MIXERS];
UINT MixerCount;

// winmm.dll is not among the libraries that Windows always takes from its own
// folder: it is loaded from there by its full path, so that no file of that
// name beside the program is ever run.
static struct
{
    decltype(&::mixerGetNumDevs) mixerGetNumDevs;
    decltype(&::mixerGetDevCapsW) mixerGetDevCapsW;
    decltype(&::mixerOpen) mixerOpen;
    decltype(&::mixerGetLineInfoW) mixerGetLineInfoW;
    decltype(&::mixerGetLineControlsW) mixerGetLineControlsW;
    decltype(&::mixerGetControlDetailsW) mixerGetControlDetailsW;
    decltype(&::mixerClose) mixerClose;
} MixerApi;

static BOOL BindMixerFunctions(void)
{
    static BOOL tried, bound;
    if (tried)
        return bound;
    tried = TRUE;
    HMODULE winmm = LoadSystemLibrary("winmm.dll");
    bound = LOOK_UP_FUNCTION(MixerApi.mixerGetNumDevs, winmm, mixerGetNumDevs) &&
            LOOK_UP_FUNCTION(MixerApi.mixerGetDevCapsW, winmm, mixerGetDevCapsW) &&
            LOOK_UP_FUNCTION(MixerApi.mixerOpen, winmm, mixerOpen) &&
            LOOK_UP_FUNCTION(MixerApi.mixerGetLineInfoW, winmm, mixerGetLineInfoW) &&
            LOOK_UP_FUNCTION(MixerApi.mixerGetLineControlsW, winmm, mixerGetLineControlsW) &&
            LOOK_UP_FUNCTION(MixerApi.mixerGetControlDetailsW, winmm, mixerGetControlDetailsW) &&
            LOOK_UP_FUNCTION(MixerApi.mixerClose, winmm, mixerClose);
    return bound;
}

void OpenMixers(HWND window)
{
    if (!BindMixerFunctions())
        return;
    UINT devices = MixerApi.mixerGetNumDevs();
    for (UINT device = 0; device < devices && MixerCount < MAX_MIXERS; ++device)
    {
        MIXERCAPSW caps;
        if (MixerApi.mixerGetDevCapsW(device, &caps, sizeof(caps)) != MMSYSERR_NOERROR)
            continue;
        HMIXER handle;
        // Without a window (a start that only reads the mute) no notice is asked for.
        DWORD callback = window ? CALLBACK_WINDOW : CALLBACK_NULL;
        if (MixerApi.mixerOpen(&handle, device, (DWORD_PTR)window, 0, callback) != MMSYSERR_NOERROR)
            continue;
        OPEN_MIXER *mixer = &Mixers[MixerCount++];
        mixer->Handle = handle;
        mixer->Destinations = caps.cDestinations;
        mixer->MuteControl = 0;
        if (ReadMuteState(mixer))
            ReportMuteState();
    }
}

int ReadMuteState(OPEN_MIXER *mixer)
{
    int result = 0;
    HMIXEROBJ object = (HMIXEROBJ)mixer->Handle;
    for (DWORD destination = 0; destination < mixer->Destinations; ++destination)
    {
        MIXERLINEW line;
        ZeroMemory(&line, sizeof(line));
        line.cbStruct = sizeof(line);
        line.dwDestination = destination;
        if (MixerApi.mixerGetLineInfoW(object, &line, MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR ||
            line.dwComponentType != MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
            continue;

        MIXERCONTROLW control;
        ZeroMemory(&control, sizeof(control));
        control.cbStruct = sizeof(control);
        MIXERLINECONTROLSW controls;
        controls.cbStruct = sizeof(controls);
        controls.dwLineID = line.dwLineID;
        controls.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
        controls.cControls = 1;
        controls.cbmxctrl = sizeof(control);
        controls.pamxctrl = &control;
        if (MixerApi.mixerGetLineControlsW(object, &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE) != MMSYSERR_NOERROR)
            continue;
        // Kept even when the value cannot be read: its changes are followed.
        mixer->MuteControl = control.dwControlID;

        MIXERCONTROLDETAILS_BOOLEAN value;
        value.fValue = 0;
        MIXERCONTROLDETAILS details;
        details.cbStruct = sizeof(details);
        details.dwControlID = control.dwControlID;
        details.cChannels = 1;
        details.cMultipleItems = 0;
        details.cbDetails = sizeof(value);
        details.paDetails = &value;
        if (MixerApi.mixerGetControlDetailsW(object, &details, MIXER_GETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR)
        {
            MuteState.Value = value.fValue;
            result = 1;
        }
    }
    return result;
}

void OnMixerControlChange(WPARAM mixerHandle, LPARAM controlID)
{
    for (UINT i = 0; i < MixerCount; ++i)
    {
        OPEN_MIXER *mixer = &Mixers[i];
        if ((WPARAM)mixer->Handle != mixerHandle)
            continue;
        if ((DWORD)controlID == mixer->MuteControl && ReadMuteState(mixer))
            ReportMuteState();
        return;
    }
}

void CloseMixer(void)
{
    for (UINT i = 0; i < MixerCount; ++i)
        MixerApi.mixerClose(Mixers[i].Handle);
    MixerCount = 0;
}

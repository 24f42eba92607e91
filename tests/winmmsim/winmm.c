/* A stand-in winmm.dll for tests: the mixer functions ORNAX.exe imports,
 * over the simulated mixer's shared state (mixersim.h). Mixer 0 has a
 * speakers destination with a mute and a volume control; the others only a
 * wave-in destination. Loaded for ORNAX.exe through a DLL override in the
 * test prefix only. */
#include "mixersim.h"

#define LINE_ID 0xFFFF0000u

/* A handle this stand-in gave, or a device id: the device number, or -1. */
static LONG DeviceOf(MixerSimState *state, UINT_PTR object)
{
    LONG device = object >= MIXERSIM_HANDLE_BASE ? (LONG)(object - MIXERSIM_HANDLE_BASE) : (LONG)object;
    return state && device >= 0 && device < state->mixers ? device : -1;
}

UINT WINAPI mixerGetNumDevs(void)
{
    MixerSimState *state = MixerSimOpen();
    return state ? (UINT)state->mixers : 0;
}

MMRESULT WINAPI mixerGetDevCapsW(UINT_PTR id, LPMIXERCAPSW caps, UINT size)
{
    LONG device = DeviceOf(MixerSimOpen(), id);
    if (device < 0) return MMSYSERR_BADDEVICEID;
    if (!caps || size < sizeof(*caps)) return MMSYSERR_INVALPARAM;
    ZeroMemory(caps, sizeof(*caps));
    lstrcpyW(caps->szPname, device == 0 ? L"Simulated out" : L"Simulated in");
    caps->cDestinations = 1;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerOpen(LPHMIXER mixer, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags)
{
    MixerSimState *state = MixerSimOpen();
    LONG device = DeviceOf(state, id);
    int i;
    (void)instance;
    if (device < 0) return MMSYSERR_BADDEVICEID;
    if (!mixer) return MMSYSERR_INVALPARAM;
    *mixer = (HMIXER)(UINT_PTR)(MIXERSIM_HANDLE_BASE + device);
    InterlockedIncrement(&state->opened);
    if ((flags & CALLBACK_TYPEMASK) == CALLBACK_WINDOW && callback)
        for (i = 0; i < MIXERSIM_WATCHERS; i++)
            if (!state->watchers[i].window || !IsWindow(state->watchers[i].window))
            {
                state->watchers[i].window = (HWND)callback;
                state->watchers[i].handle = MIXERSIM_HANDLE_BASE + device;
                break;
            }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerClose(HMIXER mixer)
{
    MixerSimState *state = MixerSimOpen();
    if (DeviceOf(state, (UINT_PTR)mixer) < 0 || (UINT_PTR)mixer < MIXERSIM_HANDLE_BASE) return MMSYSERR_INVALHANDLE;
    InterlockedIncrement(&state->closed);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerGetLineInfoW(HMIXEROBJ object, LPMIXERLINEW line, DWORD flags)
{
    LONG device = DeviceOf(MixerSimOpen(), (UINT_PTR)object);
    if (device < 0) return MMSYSERR_INVALHANDLE;
    if (!line || line->cbStruct < sizeof(*line)) return MMSYSERR_INVALPARAM;
    if ((flags & MIXER_GETLINEINFOF_QUERYMASK) != MIXER_GETLINEINFOF_DESTINATION || line->dwDestination != 0)
        return MIXERR_INVALLINE;
    line->dwLineID = LINE_ID;
    line->dwComponentType = device == 0 ? MIXERLINE_COMPONENTTYPE_DST_SPEAKERS : MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
    line->cChannels = 2;
    line->cControls = device == 0 ? 2 : 0;
    lstrcpyW(line->szName, device == 0 ? L"Speakers" : L"Capture");
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerGetLineControlsW(HMIXEROBJ object, LPMIXERLINECONTROLSW controls, DWORD flags)
{
    LONG device = DeviceOf(MixerSimOpen(), (UINT_PTR)object);
    MIXERCONTROLW *control;
    if (device < 0) return MMSYSERR_INVALHANDLE;
    if (!controls || !controls->pamxctrl || controls->cbmxctrl < sizeof(MIXERCONTROLW)) return MMSYSERR_INVALPARAM;
    if ((flags & MIXER_GETLINECONTROLSF_QUERYMASK) != MIXER_GETLINECONTROLSF_ONEBYTYPE || device != 0 ||
        controls->dwLineID != LINE_ID || controls->dwControlType != MIXERCONTROL_CONTROLTYPE_MUTE)
        return MIXERR_INVALCONTROL;
    control = controls->pamxctrl;
    ZeroMemory(control, sizeof(*control));
    control->cbStruct = sizeof(*control);
    control->dwControlID = MIXERSIM_MUTE_ID;
    control->dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
    control->fdwControl = MIXERCONTROL_CONTROLF_UNIFORM;
    lstrcpyW(control->szName, L"Mute");
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerGetControlDetailsW(HMIXEROBJ object, LPMIXERCONTROLDETAILS details, DWORD flags)
{
    MixerSimState *state = MixerSimOpen();
    LONG device = DeviceOf(state, (UINT_PTR)object);
    if (device < 0) return MMSYSERR_INVALHANDLE;
    if (!details || !details->paDetails || details->cbDetails < sizeof(LONG)) return MMSYSERR_INVALPARAM;
    if ((flags & MIXER_GETCONTROLDETAILSF_QUERYMASK) != MIXER_GETCONTROLDETAILSF_VALUE || device != 0)
        return MIXERR_INVALCONTROL;
    if (details->dwControlID == MIXERSIM_MUTE_ID)
    {
        if (state->unreadable) return MMSYSERR_ERROR;
        ((MIXERCONTROLDETAILS_BOOLEAN *)details->paDetails)->fValue = state->muted;
        return MMSYSERR_NOERROR;
    }
    if (details->dwControlID == MIXERSIM_VOLUME_ID)
    {
        ((MIXERCONTROLDETAILS_UNSIGNED *)details->paDetails)->dwValue = (DWORD)state->volume;
        return MMSYSERR_NOERROR;
    }
    return MIXERR_INVALCONTROL;
}

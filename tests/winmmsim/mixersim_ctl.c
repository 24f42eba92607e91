/* Control of the simulated sound mixer from tests and from mixerctl.exe. */
#include "mixersim.h"

MixerSimState *MixerSimOpen(void)
{
    static MixerSimState *state;
    HANDLE mapping;

    if (state) return state;
    mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(MixerSimState),
                                 L"OrnaxMixerSim");
    if (!mapping) return NULL;
    state = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(MixerSimState));
    if (state && state->magic != MIXERSIM_MAGIC)
    {
        ZeroMemory(state, sizeof(*state));
        state->mixers = 2;
        state->volume = 0x8000;
        state->magic = MIXERSIM_MAGIC;
    }
    return state;
}

void MixerSimReset(LONG mixers)
{
    MixerSimState *state = MixerSimOpen();
    if (!state) return;
    ZeroMemory(state, sizeof(*state));
    state->mixers = mixers;
    state->volume = 0x8000;
    state->magic = MIXERSIM_MAGIC;
}

static void Notify(DWORD control)
{
    MixerSimState *state = MixerSimOpen();
    int i;
    if (!state) return;
    for (i = 0; i < MIXERSIM_WATCHERS; i++)
        if (state->watchers[i].window && state->watchers[i].handle == MIXERSIM_HANDLE_BASE)
            PostMessageW(state->watchers[i].window, MM_MIXM_CONTROL_CHANGE, state->watchers[i].handle, control);
}

void MixerSimSetMute(LONG muted)
{
    MixerSimState *state = MixerSimOpen();
    if (!state) return;
    state->muted = muted;
    Notify(MIXERSIM_MUTE_ID);
}

void MixerSimChangeVolume(void)
{
    MixerSimState *state = MixerSimOpen();
    if (!state) return;
    state->volume ^= 0x1000;
    Notify(MIXERSIM_VOLUME_ID);
}

void MixerSimSetUnreadable(LONG unreadable)
{
    MixerSimState *state = MixerSimOpen();
    if (state) state->unreadable = unreadable;
}

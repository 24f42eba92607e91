/* Control of the simulated audio endpoints from tests and from mmdevctl.exe. */
#include "mmdevsim.h"

static void Defaults(MmDevSimState *state, LONG devices, LONG defaultDevice)
{
    LONG i;
    ZeroMemory(state, sizeof(*state));
    state->devices = devices < 0 ? 0 : devices > MMDEVSIM_DEVICES ? MMDEVSIM_DEVICES : devices;
    state->defaultDevice = defaultDevice < state->devices ? defaultDevice : -1;
    for (i = 0; i < MMDEVSIM_DEVICES; i++) state->volume[i] = 50;
    state->magic = MMDEVSIM_MAGIC;
}

MmDevSimState *MmDevSimOpen(void)
{
    static MmDevSimState *state;
    HANDLE mapping;

    if (state) return state;
    mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(MmDevSimState),
                                 L"OrnaxMmDevSim");
    if (!mapping) return NULL;
    state = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(MmDevSimState));
    if (state && state->magic != MMDEVSIM_MAGIC) Defaults(state, 2, 0);
    return state;
}

void MmDevSimReset(LONG devices, LONG defaultDevice)
{
    MmDevSimState *state = MmDevSimOpen();
    if (state) Defaults(state, devices, defaultDevice);
}

static void Queue(LONG kind, LONG device)
{
    MmDevSimState *state = MmDevSimOpen();
    LONG n, i;
    if (!state) return;
    n = state->queued;
    state->events[n % MMDEVSIM_EVENTS].kind = kind;
    state->events[n % MMDEVSIM_EVENTS].device = device;
    InterlockedIncrement(&state->queued);
    if (state->volumeRegistered == state->volumeUnregistered && state->clientRegistered == state->clientUnregistered)
        return;
    for (i = 0; i < 200 && state->delivered < n + 1; i++) Sleep(5);
}

void MmDevSimSetMute(LONG device, LONG muted)
{
    MmDevSimState *state = MmDevSimOpen();
    if (!state || device < 0 || device >= MMDEVSIM_DEVICES) return;
    state->muted[device] = muted;
    Queue(MMDEVSIM_VOLUME_EVENT, device);
}

void MmDevSimChangeVolume(LONG device)
{
    MmDevSimState *state = MmDevSimOpen();
    if (!state || device < 0 || device >= MMDEVSIM_DEVICES) return;
    state->volume[device] = state->volume[device] == 50 ? 60 : 50;
    Queue(MMDEVSIM_VOLUME_EVENT, device);
}

void MmDevSimSetDefault(LONG device)
{
    MmDevSimState *state = MmDevSimOpen();
    if (!state) return;
    state->defaultDevice = device >= 0 && device < state->devices ? device : -1;
    Queue(MMDEVSIM_RENDER_DEFAULT, state->defaultDevice);
}

void MmDevSimChangeCaptureDefault(void)
{
    Queue(MMDEVSIM_CAPTURE_DEFAULT, 0);
}

/* The simulated sound mixer behind the test-only winmm.dll: its state lives
 * in named shared memory, so the control library (and mixerctl.exe) can
 * change it from another process and notify the windows that opened it. */
#ifndef MIXERSIM_H
#define MIXERSIM_H

#include <windows.h>

#define MIXERSIM_MAGIC 0x4D585331u
#define MIXERSIM_HANDLE_BASE 0x5A00 /* mixer device n has the handle 0x5A00 + n */
#define MIXERSIM_MUTE_ID 0x31       /* on mixer 0, the speakers line */
#define MIXERSIM_VOLUME_ID 0x32
#define MIXERSIM_WATCHERS 16

typedef struct MixerSimState
{
    DWORD magic;
    LONG mixers;     /* devices: 0 has speakers with mute and volume, the others only a wave-in line */
    LONG muted;      /* the mute control's value */
    LONG volume;
    LONG unreadable; /* non-zero: the mute value cannot be read */
    LONG opened, closed;
    struct
    {
        HWND window;
        DWORD handle;
    } watchers[MIXERSIM_WATCHERS]; /* who opened a mixer with CALLBACK_WINDOW */
} MixerSimState;

#ifdef __cplusplus
extern "C" {
#endif
/* The shared state, made with its defaults (two mixers, not muted) if new. */
MixerSimState *MixerSimOpen(void);
/* Back to the defaults, with the given number of mixers. */
void MixerSimReset(LONG mixers);
/* Changes the mute value or the volume and notifies every watcher of mixer 0. */
void MixerSimSetMute(LONG muted);
void MixerSimChangeVolume(void);
void MixerSimSetUnreadable(LONG unreadable);
#ifdef __cplusplus
}
#endif

#endif

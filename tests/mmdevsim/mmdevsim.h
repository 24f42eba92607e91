/* The simulated audio endpoints behind the test-only mmdevapi.dll: output
 * devices with a mute and a volume, one of them the default (or none), kept
 * in named shared memory so that a test or mmdevctl.exe can change them from
 * another process. Each change is queued as an event; the stand-in in the
 * program's process calls the registered callbacks for it from a thread of
 * its own, as the system does. */
#ifndef MMDEVSIM_H
#define MMDEVSIM_H

#include <windows.h>

#define MMDEVSIM_MAGIC 0x4D444531u
#define MMDEVSIM_DEVICES 4
#define MMDEVSIM_EVENTS 64

enum MmDevSimEventKind
{
    MMDEVSIM_VOLUME_EVENT = 1,  /* a device's mute or volume changed */
    MMDEVSIM_RENDER_DEFAULT,    /* another output device is the default (or none) */
    MMDEVSIM_CAPTURE_DEFAULT,   /* another capture device is the default */
};

typedef struct MmDevSimState
{
    DWORD magic;
    LONG devices;       /* output devices 0 .. devices-1 */
    LONG defaultDevice; /* -1: no default output device */
    LONG muted[MMDEVSIM_DEVICES];
    LONG volume[MMDEVSIM_DEVICES];
    LONG queued;        /* events queued so far; event n is at n % MMDEVSIM_EVENTS */
    LONG delivered;     /* events whose callbacks have all returned */
    struct
    {
        LONG kind, device;
    } events[MMDEVSIM_EVENTS];
    /* What the program did, for the tests. */
    LONG volumeRegistered, volumeUnregistered;
    LONG clientRegistered, clientUnregistered;
    LONG liveObjects;   /* objects handed out and not yet released */
} MmDevSimState;

#ifdef __cplusplus
extern "C" {
#endif
/* The shared state, made with its defaults (two devices, 0 the default,
 * nothing muted) if new. */
MmDevSimState *MmDevSimOpen(void);
void MmDevSimReset(LONG devices, LONG defaultDevice);
/* Each change below queues its event and waits (up to a second) until the
 * callbacks for it have returned, when a program has registered any. */
void MmDevSimSetMute(LONG device, LONG muted);
void MmDevSimChangeVolume(LONG device);
void MmDevSimSetDefault(LONG device);
void MmDevSimChangeCaptureDefault(void);
#ifdef __cplusplus
}
#endif

#endif

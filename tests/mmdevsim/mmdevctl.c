/* mmdevctl: drives the simulated audio endpoints by hand.
 *   mmdevctl reset [DEVICES [DEFAULT]] | mute DEVICE 0|1 | volume DEVICE
 *          | default DEVICE (-1: none) | capture | show */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "mmdevsim.h"

int main(int argc, char **argv)
{
    MmDevSimState *state = MmDevSimOpen();
    const char *verb = argc > 1 ? argv[1] : "show";
    LONG a = argc > 2 ? atol(argv[2]) : 0, b = argc > 3 ? atol(argv[3]) : 0;
    LONG i;

    if (!state) return 1;
    if (!strcmp(verb, "reset")) MmDevSimReset(argc > 2 ? a : 2, argc > 3 ? b : 0);
    else if (!strcmp(verb, "mute")) MmDevSimSetMute(a, b);
    else if (!strcmp(verb, "volume")) MmDevSimChangeVolume(a);
    else if (!strcmp(verb, "default")) MmDevSimSetDefault(a);
    else if (!strcmp(verb, "capture")) MmDevSimChangeCaptureDefault();
    else if (strcmp(verb, "show"))
    {
        fprintf(stderr, "usage: mmdevctl reset [DEVICES [DEFAULT]] | mute DEVICE 0|1 | volume DEVICE"
                        " | default DEVICE | capture | show\n");
        return 2;
    }
    printf("devices %ld default %ld\n", state->devices, state->defaultDevice);
    for (i = 0; i < state->devices; i++) printf("  %ld: muted %ld volume %ld\n", i, state->muted[i], state->volume[i]);
    printf("events %ld delivered %ld; volume callbacks %ld/%ld, device callbacks %ld/%ld, live objects %ld\n",
           state->queued, state->delivered, state->volumeRegistered, state->volumeUnregistered,
           state->clientRegistered, state->clientUnregistered, state->liveObjects);
    return 0;
}

/* mixerctl: drives the simulated sound mixer.
 *   mixerctl reset [MIXERS] | mute | unmute | volume | unreadable 0|1 | show */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "mixersim.h"

int main(int argc, char **argv)
{
    MixerSimState *state = MixerSimOpen();
    const char *cmd = argc > 1 ? argv[1] : "";

    if (!state) return 1;
    if (!strcmp(cmd, "reset")) MixerSimReset(argc > 2 ? atol(argv[2]) : 2);
    else if (!strcmp(cmd, "mute")) MixerSimSetMute(1);
    else if (!strcmp(cmd, "unmute")) MixerSimSetMute(0);
    else if (!strcmp(cmd, "volume")) MixerSimChangeVolume();
    else if (!strcmp(cmd, "unreadable") && argc > 2) MixerSimSetUnreadable(atol(argv[2]));
    else if (!strcmp(cmd, "show"))
        printf("mixers %ld muted %ld unreadable %ld opened %ld closed %ld\n", state->mixers, state->muted,
               state->unreadable, state->opened, state->closed);
    else
    {
        fprintf(stderr, "usage: mixerctl reset [MIXERS] | mute | unmute | volume | unreadable 0|1 | show\n");
        return 2;
    }
    return 0;
}

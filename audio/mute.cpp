// The shared mute record. It stays "not muted" until a mixer reading fills it.
#include "audio/audio.h"

MUTE_STATE MuteState;

// The per-user settings and where they are kept.
#pragma once
#include <windows.h>

// The user's own key combinations, one per command, in this order.
enum CombinationIndex
{
    COMBINATION_ALL,
    COMBINATION_VIDEO,
    COMBINATION_AUDIO,
    COMBINATION_COUNT
};

// Hotkey switching on or off, and the key pressed twice (-1: Control,
// Control, Shift); the key combinations as the hotkey control gives them
// (the key in the low byte, HOTKEYF_ modifiers in the next), 0 for none.
// Read at start-up, written by the Options dialog's OK.
struct SETTINGS
{
    LONG EnableKeys;
    LONG ActiveKey;
    LONG Combinations[COMBINATION_COUNT];
};
extern SETTINGS Settings;
// A key with its modifiers and nothing else, Control or ALT among them.
// Anything else counts as none: a key alone, registered with the system,
// would switch at every press of it in any typing.
BOOL IsUsableCombination(LONG combination);

void LoadSettings(void);
void SaveSettings(void);

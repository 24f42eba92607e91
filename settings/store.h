// The two per-user settings and where they are kept.
#pragma once
#include <windows.h>

// Hotkey switching on or off, and the key pressed twice (-1: Control,
// Control, Shift). Read at start-up, written by the Options dialog's OK.
struct SETTINGS
{
    LONG EnableKeys;
    LONG ActiveKey;
};
extern SETTINGS Settings;

void LoadSettings(void);
void SaveSettings(void);

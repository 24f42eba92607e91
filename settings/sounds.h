// The device connect and disconnect sounds of the user's sound scheme
// (Windows XP and later).
#pragma once
#include <windows.h>

int ConnectionSoundsEnabled(void);
void EnableConnectionSounds(int enable);
void EnableEventSound(const WCHAR *currentPath, const WCHAR *defaultPath, int enable);

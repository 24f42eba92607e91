// What TessaroHook.dll posts to the window given to StartHook: the program,
// the library and its tests take these numbers from here.
#pragma once

#define WM_HOOKKEY 0x8334  // one keystroke; wParam: its code (generic for Shift, Control and ALT), lParam: its event time
#define WM_HOOKALT 0x833E  // ALT held (lParam non-zero) or released

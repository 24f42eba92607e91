/* A library whose export "Forwarded" is a forwarder to kernel32.GetTickCount. */
#include <windows.h>

DWORD WINAPI Own(void) { return 1; }

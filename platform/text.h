// Wide-string copying for every Windows: Windows 95, 98 and ME implement
// almost no wide system functions (lstrcpynW and its kin may be stubs that
// fail there), so the program copies wide text itself.
#pragma once
#include <windows.h>

// Copies at most capacity - 1 units of source and always ends the copy with
// a terminator (as lstrcpynW does); returns the destination.
inline WCHAR *CopyText(WCHAR *destination, const WCHAR *source, size_t capacity)
{
    if (capacity == 0)
        return destination;
    size_t i = 0;
    for (; i + 1 < capacity && source[i]; ++i)
        destination[i] = source[i];
    destination[i] = 0;
    return destination;
}

inline size_t TextLength(const WCHAR *text)
{
    size_t length = 0;
    while (text[length])
        ++length;
    return length;
}

// Reading a registry value whole, for every folder of the program.
#pragma once
#include <windows.h>

#define REGISTRY_VALUE_CAPACITY 2048

// A value as read: its data in a buffer that is zero beyond what was read,
// so a value shorter than the reader expects counts its missing bytes as
// zero; its type and size.
struct REGISTRY_VALUE
{
    BYTE Data[REGISTRY_VALUE_CAPACITY];
    DWORD Type;
    DWORD Size;
};

// The named value of the key (NULL: its default value); FALSE when it cannot
// be read or does not fit.
inline BOOL ReadRegistryValue(HKEY key, const WCHAR *name, REGISTRY_VALUE *value)
{
    ZeroMemory(value->Data, sizeof(value->Data));
    value->Type = REG_NONE;
    value->Size = REGISTRY_VALUE_CAPACITY;
    return RegQueryValueExW(key, name, NULL, &value->Type, value->Data, &value->Size) == ERROR_SUCCESS;
}

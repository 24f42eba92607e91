// Choosing and loading the language library.
#include "platform/lookup.h"
#include "platform/text.h"
#include "settings/language.h"
#include "app/app.h"

HMODULE ResourceModule;

#define PRIMARY_LANGUAGE_MASK 0x03FF
#define SUBLANGUAGE_MASK 0xFC00
#define CHINESE_SIMPLIFIED_SUBLANGUAGE 0x0800
#define MODULE_PATH_CAPACITY 1024

const WCHAR *LanguageLibraryName(LANGID language)
{
    switch (language & PRIMARY_LANGUAGE_MASK)
    {
    case LANG_CHINESE:
        return (language & SUBLANGUAGE_MASK) == CHINESE_SIMPLIFIED_SUBLANGUAGE ? L"RES_SCH.DLL" : L"RES_TCH.DLL";
    case LANG_GERMAN: return L"RES_DE.DLL";
    case LANG_SPANISH: return L"RES_ES.DLL";
    case LANG_FRENCH: return L"RES_FR.DLL";
    case LANG_ITALIAN: return L"RES_IT.DLL";
    case LANG_JAPANESE: return L"RES_JP.DLL";
    case LANG_KOREAN: return L"RES_KR.DLL";
    case LANG_DUTCH: return L"RES_NL.DLL";
    default: return NULL;
    }
}

LANGID ChooseLanguage(LANGID systemLanguage, LANGID userLanguage, LANGID uiLanguage)
{
    LANGID base = uiLanguage ? uiLanguage : systemLanguage;
    if ((userLanguage & PRIMARY_LANGUAGE_MASK) == (base & PRIMARY_LANGUAGE_MASK))
        return userLanguage;
    return base;
}

// GetUserDefaultUILanguage is missing before Windows 2000: looked up at run time.
static LANGID ReadUiLanguage(void)
{
    FARPROC function = LoadedModuleFunction("kernel32.dll", "GetUserDefaultUILanguage");
    return function ? ((LANGID(WINAPI *)(void))(void *)function)() : 0;
}

// The library is loaded only from the executable's own folder, never through
// the search path, so a file planted in the current folder cannot run here.
static HMODULE LoadLanguageLibrary(const WCHAR *fileName)
{
    WCHAR path[MODULE_PATH_CAPACITY];
    DWORD length = GetModuleFileNameW(NULL, path, MODULE_PATH_CAPACITY);
    if (length == 0 || length >= MODULE_PATH_CAPACITY - 1)
        return NULL;
    WCHAR *folderEnd = NULL;
    for (WCHAR *c = path; *c; ++c)
        if (*c == L'\\' || *c == L'/')
            folderEnd = c + 1;
    if (!folderEnd || (size_t)(folderEnd - path) + TextLength(fileName) >= MODULE_PATH_CAPACITY)
        return NULL;
    CopyText(folderEnd, fileName, MODULE_PATH_CAPACITY - (folderEnd - path));
    return LoadLibraryW(path);
}

HMODULE SelectResourceModule(void)
{
    LANGID language = ChooseLanguage(GetSystemDefaultLangID(), GetUserDefaultLangID(), ReadUiLanguage());
    const WCHAR *fileName = LanguageLibraryName(language);
    if (!fileName)
        return AppInstance;
    HMODULE library = LoadLanguageLibrary(fileName);
    return library ? library : AppInstance;
}

void FreeResourceModule(void)
{
    if (ResourceModule && ResourceModule != AppInstance)
        FreeLibrary(ResourceModule);
}

int LoadLocalString(UINT id, WCHAR *buffer, int capacity)
{
    int length = LoadStringW(ResourceModule, id, buffer, capacity);
    if (length == 0 && ResourceModule != AppInstance)
        length = LoadStringW(AppInstance, id, buffer, capacity);
    return length;
}

HMENU LoadLocalMenu(UINT id)
{
    HMENU menu = LoadMenuW(ResourceModule, MAKEINTRESOURCEW(id));
    if (!menu && ResourceModule != AppInstance)
        menu = LoadMenuW(AppInstance, MAKEINTRESOURCEW(id));
    return menu;
}

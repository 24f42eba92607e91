// Choosing and loading the language library.
#include "platform/lookup.h"
#include "platform/text.h"
#include "settings/language.h"
#include "app/app.h"
#include "resource.h"

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

// Maps a language library as a data file: strings and menus come from it,
// but none of its code ever runs. Windows 9x has no wide form.
static HMODULE LoadResourceFile(const WCHAR *path)
{
    typedef HMODULE(WINAPI * LoadWideFunction)(LPCWSTR, HANDLE, DWORD);
    auto loadWide = (LoadWideFunction)(void *)LoadedModuleFunction("kernel32.dll", "LoadLibraryExW");
    if (loadWide && OsVersion.dwPlatformId == VER_PLATFORM_WIN32_NT)
        return loadWide(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    char narrowPath[MODULE_PATH_CAPACITY];
    if (!WideCharToMultiByte(CP_ACP, 0, path, -1, narrowPath, MODULE_PATH_CAPACITY, NULL, NULL))
        return NULL;
    return LoadLibraryExA(narrowPath, NULL, LOAD_LIBRARY_AS_DATAFILE);
}

// The library is loaded only from the executable's own folder, never through
// the search path, so a file planted in the current folder cannot be taken.
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
    return LoadResourceFile(path);
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
    // Texts asked for after this come from the executable.
    HMODULE library = ResourceModule;
    ResourceModule = AppInstance;
    if (library && library != AppInstance)
        FreeLibrary(library);
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

int LoadLocalMenuText(UINT command, WCHAR *buffer, int capacity)
{
    if (capacity <= 0)
        return 0;
    buffer[0] = 0;
    HMENU menu = LoadLocalMenu(IDR_TRAY_MENU);
    HMENU popup = GetSubMenu(menu, 0);
    int length = 0;
    // Windows 9x has no wide form.
    typedef int(WINAPI * MenuStringFunction)(HMENU, UINT, LPWSTR, int, UINT);
    auto menuString = (MenuStringFunction)(void *)LoadedModuleFunction("user32.dll", "GetMenuStringW");
    if (popup && menuString && OsVersion.dwPlatformId == VER_PLATFORM_WIN32_NT)
        length = menuString(popup, command, buffer, capacity, MF_BYCOMMAND);
    else if (popup)
    {
        char narrow[APP_STRING_CAPACITY * 2];
        if (GetMenuStringA(popup, command, narrow, sizeof(narrow), MF_BYCOMMAND) > 0)
            length = MultiByteToWideChar(CP_ACP, 0, narrow, -1, buffer, capacity) - 1;
    }
    if (menu)
        DestroyMenu(menu);
    if (length <= 0)
        buffer[0] = 0;
    return length > 0 ? length : 0;
}

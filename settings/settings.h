// Settings and dialogs: the stored settings and the language library from
// which texts are loaded.
#pragma once
#include <windows.h>

// The module that strings and the tray menu come from: a language library,
// or the executable itself (AppInstance) when none applies.
extern HMODULE ResourceModule;

// The language library's file name for a language, or NULL for the
// executable's own texts.
const WCHAR *LanguageLibraryName(LANGID language);

// The language whose library applies: the base (the UI language, or the
// system language when there is none) with the user language's sublanguage
// when the two share the primary language.
LANGID ChooseLanguage(LANGID systemLanguage, LANGID userLanguage, LANGID uiLanguage);

// Loads the language library from the executable's own folder; AppInstance
// when there is none or it cannot be loaded.
HMODULE SelectResourceModule(void);
void FreeResourceModule(void);

// A string or the tray menu from ResourceModule; an item the language
// library lacks comes from the executable instead.
int LoadLocalString(UINT id, WCHAR *buffer, int capacity);
HMENU LoadLocalMenu(UINT id);

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

// The device connect and disconnect sounds of the user's sound scheme.
BOOL IsWindowsXPOrLater(void);
int ConnectionSoundsEnabled(void);
void EnableConnectionSounds(int enable);
void EnableEventSound(const WCHAR *currentPath, const WCHAR *defaultPath, int enable);

// The two modal dialogs; one at a time is open, and OpenDialog is it (or NULL).
extern HWND OpenDialog;
INT_PTR CALLBACK OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Opens a dialog of the executable, or brings the one already open to the front.
void ShowDialog(HWND owner, UINT templateId, DLGPROC procedure);

// The user's language: the language library that strings and the tray menu
// are loaded from.
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
// The text of a tray-menu item in the user's language ("Swivo All"), or ""
// with 0.
int LoadLocalMenuText(UINT command, WCHAR *buffer, int capacity);

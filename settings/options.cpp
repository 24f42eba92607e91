// The Options dialog: hotkey switching on or off, the hotkey sequence, the
// device connection sounds and the key combinations. Choices stay pending
// until OK.
#include "settings/dialog.h"
#include "settings/language.h"
#include "settings/sounds.h"
#include "settings/store.h"
#include "app/app.h"
#include "hotkey/hotkey.h"
#include "resource.h"

#include <commctrl.h>

#define NOTE_CAPACITY 260

static LONG PendingEnableKeys;
static int PendingSounds;
static int SoundsAtOpening;

// The radio buttons with the key each gives. The last one also stands for
// any stored key that the others do not offer.
static const struct
{
    int Id;
    LONG Key;
} KeyButtons[] = {
    {IDC_KEY_CTRL_CTRL, VK_CONTROL},
    {IDC_KEY_NUMLOCK, VK_NUMLOCK},
    {IDC_KEY_SCROLL, VK_SCROLL},
    {IDC_KEY_CTRL_CTRL_SHIFT, -1},
};

static BOOL IsChecked(HWND dialog, int id)
{
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

static void SetChecked(HWND dialog, int id, BOOL checked)
{
    SendMessageW(GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

#define LAST_KEY_BUTTON KeyButtons[ARRAYSIZE(KeyButtons) - 1]

static int ButtonOfKey(LONG key)
{
    for (const auto &button : KeyButtons)
        if (button.Key == key)
            return button.Id;
    return LAST_KEY_BUTTON.Id;
}

// The key of the first checked button; with none checked, the last button's.
static LONG CheckedKey(HWND dialog)
{
    for (const auto &button : KeyButtons)
        if (IsChecked(dialog, button.Id))
            return button.Key;
    return LAST_KEY_BUTTON.Key;
}

// The radio button to show checked: at opening the stored key's; later the
// one the user checked, or the stored key's while none is.
static int ChosenKeyButton(HWND dialog, BOOL opening)
{
    if (!opening)
        for (const auto &button : KeyButtons)
            if (IsChecked(dialog, button.Id))
                return button.Id;
    return ButtonOfKey(Settings.ActiveKey);
}

// The hotkey check box and the radio buttons as the pending value says:
// exactly one radio button checked, all of them greyed while hotkeys are off.
static void ShowKeyChoice(HWND dialog, BOOL opening)
{
    SetChecked(dialog, IDC_ENABLE_KEYS, PendingEnableKeys != 0);
    int chosen = ChosenKeyButton(dialog, opening);
    for (const auto &button : KeyButtons)
    {
        SetChecked(dialog, button.Id, button.Id == chosen);
        EnableWindow(GetDlgItem(dialog, button.Id), PendingEnableKeys != 0);
    }
}

static void SetTexts(HWND dialog)
{
    static const struct
    {
        int Control; // 0: the caption
        UINT String;
    } Texts[] = {
        {0, IDS_OPTIONS},
        {IDC_KEY_GROUP, IDS_HOTKEY_SEQUENCE},
        {IDC_ENABLE_KEYS, IDS_ENABLE_HOTKEYS},
        {IDC_ENABLE_SOUNDS, IDS_ENABLE_SOUNDS},
        {IDC_KEY_CTRL_CTRL, IDS_KEY_CTRL_CTRL},
        {IDC_KEY_NUMLOCK, IDS_KEY_NUMLOCK},
        {IDC_KEY_SCROLL, IDS_KEY_SCROLL},
        {IDC_KEY_CTRL_CTRL_SHIFT, IDS_KEY_CTRL_CTRL_SHIFT},
        {IDOK, IDS_OK},
        {IDCANCEL, IDS_CANCEL},
        {IDC_ALT_NOTE, IDS_ALT_NOTE},
        {IDC_COMBINATION_GROUP, IDS_KEY_COMBINATIONS},
        {IDC_COMBINATION_TAKEN, IDS_COMBINATION_TAKEN},
        {IDC_COMBINATION_TAKEN + 1, IDS_COMBINATION_TAKEN},
        {IDC_COMBINATION_TAKEN + 2, IDS_COMBINATION_TAKEN},
    };
    WCHAR text[NOTE_CAPACITY];
    for (const auto &entry : Texts)
    {
        int capacity = entry.String == IDS_ALT_NOTE ? NOTE_CAPACITY : APP_STRING_CAPACITY;
        if (!LoadLocalString(entry.String, text, capacity))
            continue;
        SetWindowTextW(entry.Control ? GetDlgItem(dialog, entry.Control) : dialog, text);
    }
}

// Each combination's control, with its label and, while another program
// holds the combination, the note that says so. A key needs Control or ALT.
static void ShowCombinations(HWND dialog)
{
    for (int i = 0; i < COMBINATION_COUNT; ++i)
    {
        WCHAR label[APP_STRING_CAPACITY];
        if (LoadLocalMenuText(CombinationMenuItems[i], label, APP_STRING_CAPACITY))
            SetWindowTextW(GetDlgItem(dialog, IDC_COMBINATION_LABEL + i), label);
        HWND control = GetDlgItem(dialog, IDC_COMBINATION + i);
        SendMessageW(control, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S, MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_ALT, 0));
        SendMessageW(control, HKM_SETHOTKEY, (WPARAM)LOWORD(Settings.Combinations[i]), 0);
        ShowWindow(GetDlgItem(dialog, IDC_COMBINATION_TAKEN + i), CombinationTaken[i] ? SW_SHOW : SW_HIDE);
    }
}

static void OnOk(HWND dialog)
{
    for (int i = 0; i < COMBINATION_COUNT; ++i)
    {
        // Modifiers typed without a key are no combination.
        LONG combination = LOWORD(SendMessageW(GetDlgItem(dialog, IDC_COMBINATION + i), HKM_GETHOTKEY, 0, 0));
        Settings.Combinations[i] = IsUsableCombination(combination) ? combination : 0;
    }
    Settings.EnableKeys = PendingEnableKeys;
    Settings.ActiveKey = CheckedKey(dialog);
    SaveSettings();
    ApplyHotkeySettings();
    RegisterCombinations();
    ShowCombinationsInMenu();
    if (PendingSounds != SoundsAtOpening)
        EnableConnectionSounds(PendingSounds);
}

INT_PTR CALLBACK OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
    {
        SetTexts(dialog);
        PendingEnableKeys = Settings.EnableKeys;
        PendingSounds = SoundsAtOpening = ConnectionSoundsEnabled();
        ShowKeyChoice(dialog, TRUE);
        ShowCombinations(dialog);
        if (IsWindowsXPOrLater())
            SetChecked(dialog, IDC_ENABLE_SOUNDS, PendingSounds);
        else
            ShowWindow(GetDlgItem(dialog, IDC_ENABLE_SOUNDS), SW_HIDE);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam))
    {
    case IDC_ENABLE_KEYS:
        PendingEnableKeys = IsChecked(dialog, IDC_ENABLE_KEYS);
        ShowKeyChoice(dialog, FALSE);
        return FALSE;
    case IDC_ENABLE_SOUNDS:
        PendingSounds = IsChecked(dialog, IDC_ENABLE_SOUNDS);
        return FALSE;
    case IDOK:
        OnOk(dialog);
        EndDialog(dialog, IDOK);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

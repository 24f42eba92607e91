// The Options dialog: hotkey switching on or off, the hotkey sequence, and the
// device connection sounds. Choices stay pending until OK.
#include "settings/settings.h"
#include "app/app.h"
#include "hotkey/hotkey.h"
#include "resource.h"

#define NOTE_CAPACITY 260

static LONG PendingEnableKeys;
static int PendingSounds;
static int SoundsAtOpening;

// The radio buttons in the order OK reads them, with the key each gives.
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

// The button of a stored key: any key but the three offered is the last one.
static int ButtonOfKey(LONG key)
{
    for (int i = 0; i < 3; ++i)
        if (KeyButtons[i].Key == key)
            return KeyButtons[i].Id;
    return IDC_KEY_CTRL_CTRL_SHIFT;
}

// The hotkey check box and the radio buttons as the pending value says:
// exactly one radio button checked, the one already chosen if there is one.
static void ShowKeyChoice(HWND dialog, BOOL opening)
{
    SetChecked(dialog, IDC_ENABLE_KEYS, PendingEnableKeys != 0);
    int chosen = 0;
    for (int i = 0; i < 4 && !opening && !chosen; ++i)
        if (IsChecked(dialog, KeyButtons[i].Id))
            chosen = KeyButtons[i].Id;
    if (!chosen)
        chosen = ButtonOfKey(Settings.ActiveKey);
    for (int i = 0; i < 4; ++i)
    {
        SetChecked(dialog, KeyButtons[i].Id, KeyButtons[i].Id == chosen);
        EnableWindow(GetDlgItem(dialog, KeyButtons[i].Id), PendingEnableKeys != 0);
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

static void OnOk(HWND dialog)
{
    Settings.EnableKeys = PendingEnableKeys;
    Settings.ActiveKey = -1;
    for (int i = 0; i < 3; ++i)
        if (IsChecked(dialog, KeyButtons[i].Id))
        {
            Settings.ActiveKey = KeyButtons[i].Key;
            break;
        }
    SaveSettings();
    if (Settings.EnableKeys)
        StartSequenceTimer();
    else
        StopSequenceTimer();
    if (PendingSounds != SoundsAtOpening)
        EnableConnectionSounds(PendingSounds);
}

INT_PTR CALLBACK OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
    {
        OpenDialog = dialog;
        SetTexts(dialog);
        PendingEnableKeys = Settings.EnableKeys;
        PendingSounds = SoundsAtOpening = ConnectionSoundsEnabled();
        ShowKeyChoice(dialog, TRUE);
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

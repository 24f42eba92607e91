// The hidden main window: every event of the program arrives here.
#include "app/app.h"

#include "audio/audio.h"
#include "device/device.h"
#include "hotkey/hotkey.h"
#include "settings/dialog.h"
#include "settings/language.h"
#include "resource.h"

static void OnCommand(HWND window, WPARAM wParam, LPARAM lParam, LRESULT *result)
{
    switch (LOWORD(wParam))
    {
    case IDM_ABOUT:
        ShowDialog(window, IDD_ABOUT, AboutDlgProc);
        break;
    case IDM_OPTIONS:
        ShowDialog(window, IDD_OPTIONS, OptionsDlgProc);
        break;
    case IDM_EXIT:
        DestroyWindow(window);
        break;
    case IDM_SWITCH_ALL:
        SendSwitchCommand(SWITCH_ALL);
        break;
    case IDM_SWITCH_AUDIO:
        SendSwitchCommand(SWITCH_AUDIO);
        break;
    case IDM_SWITCH_VIDEO:
        SendSwitchCommand(SWITCH_VIDEO);
        break;
    default:
        *result = DefWindowProcW(window, WM_COMMAND, wParam, lParam);
        break;
    }
}

static void OnDestroy(void)
{
    RemoveTrayIcon();
    StopSessionWatch();
    StopHotkeyTimers();
    StopHotkeyHook();
    UnregisterCombinations();
    StopMuteMonitor();
    FreeResourceModule();
    PostQuitMessage(0);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    switch (message)
    {
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_PAINT:
    {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        break;
    }
    case WM_COMMAND:
        OnCommand(window, wParam, lParam, &result);
        break;
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam, lParam);
        break;
    case MM_MIXM_CONTROL_CHANGE:
        OnMixerControlChange(wParam, lParam);
        break;
    case WM_ENDPOINT_MUTE:
        OnEndpointMuteChange();
        break;
    case WM_DEFAULT_ENDPOINT:
        OnDefaultEndpointChange();
        break;
    case WM_WTSSESSION_CHANGE:
        OnSessionChange(wParam);
        break;
    case WM_POWERBROADCAST:
        OnPowerBroadcast(wParam);
        result = TRUE;
        break;
    case WM_TIMER:
        if (wParam == SESSION_TIMER_ID)
            OnSessionTimer();
        else if (wParam == DEVICE_TIMER_ID)
            OnDeviceTimer();
        else if (wParam == TRAY_TIMER_ID)
            OnTrayTimer();
        else if (wParam == COMBINATION_TIMER_ID)
            OnCombinationTimer();
        break;
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE:
        OnDisplaySettingsChange();
        result = DefWindowProcW(window, message, wParam, lParam);
        break;
    case WM_TRAYNOTIFY:
        OnTrayNotify(wParam, lParam);
        break;
    case WM_HOOKKEY:
        HandleHookKey((DWORD)wParam, (DWORD)lParam);
        break;
    case WM_HOOKALT:
        HandleHookAlt(lParam);
        break;
    case WM_HOTKEY:
        OnCombinationHotkey(wParam);
        break;
    case WM_SWITCH_REQUEST:
        result = HandleSwitchRequest(wParam);
        break;
    default:
        // The shell's restart message has no fixed number.
        if (TaskbarCreatedMessage && message == TaskbarCreatedMessage)
            OnTaskbarCreated();
        else
            result = DefWindowProcW(window, message, wParam, lParam);
        break;
    }
    return result;
}

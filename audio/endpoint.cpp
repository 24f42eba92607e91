// The speakers' mute on Windows Vista and later: the mute of the default
// output device, through the system's audio endpoint interface. The legacy
// mixer there only shows this program's own session.
//
// The system calls the two callback objects below on threads of its own.
// They only post a message to the main window; reading the mute, binding to
// a new default device and reporting happen on the user-interface thread.
#include "platform/lookup.h"
#include "audio/audio.h"
#include "device/device.h"

#include <mmdeviceapi.h>
#include <endpointvolume.h>

static const CLSID ClsidDeviceEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
static const IID IidDeviceEnumerator = {0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
static const IID IidEndpointVolume = {0x5CDF2C82, 0x841E, 0x4546, {0x97, 0x22, 0x0C, 0xF7, 0x40, 0x78, 0x22, 0x9A}};
static const IID IidNotificationClient = {0x7991EEC9, 0x7E89, 0x4D85, {0x83, 0x90, 0x6C, 0x70, 0x3C, 0xEC, 0x60, 0xC0}};
static const IID IidVolumeCallback = {0x657804FA, 0xD6AD, 0x4496, {0x8A, 0x60, 0x35, 0x27, 0x52, 0xAF, 0x4F, 0x89}};
static const IID IidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// ole32 is looked up at run time: Windows 95 has no CoInitializeEx.
typedef HRESULT(WINAPI *CoInitializeExFunction)(LPVOID, DWORD);
typedef void(WINAPI *CoUninitializeFunction)(void);
typedef HRESULT(WINAPI *CoCreateInstanceFunction)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID *);

static HMODULE Ole32;
static BOOL ComInitialized;
static HWND NotifiedWindow;
static IMMDeviceEnumerator *Enumerator;
static IAudioEndpointVolume *EndpointVolume;  // of the default output device, or null
// One message of each kind waits in the queue at most, however fast the
// system calls back.
static volatile LONG MutePosted;
static volatile LONG DefaultPosted;

static void PostOnce(volatile LONG *posted, UINT message)
{
    HWND window = NotifiedWindow;
    if (window && InterlockedExchange(posted, 1) == 0 && !PostMessageW(window, message, 0, 0))
        InterlockedExchange(posted, 0);
}

static HRESULT AnswerInterface(void *self, REFIID iid, REFIID own, void **object)
{
    *object = IsEqualIID(iid, IidUnknown) || IsEqualIID(iid, own) ? self : NULL;
    return *object ? S_OK : E_NOINTERFACE;
}

// The callback objects live as long as the process: a call that is already
// running may finish after its unregistration has returned.
struct VolumeCallback : IAudioEndpointVolumeCallback
{
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        return AnswerInterface(this, iid, IidVolumeCallback, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA) override
    {
        PostOnce(&MutePosted, WM_ENDPOINT_MUTE);
        return S_OK;
    }
};

struct DeviceCallback : IMMNotificationClient
{
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        return AnswerInterface(this, iid, IidNotificationClient, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // Windows reports a new default once per role, and for capture devices
    // too: the console role of output devices is the one followed.
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override
    {
        if (flow == eRender && role == eConsole)
            PostOnce(&DefaultPosted, WM_DEFAULT_ENDPOINT);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }
};

static VolumeCallback TheVolumeCallback;
static DeviceCallback TheDeviceCallback;

static void UnbindDefaultEndpoint(void)
{
    if (!EndpointVolume)
        return;
    EndpointVolume->UnregisterControlChangeNotify(&TheVolumeCallback);
    EndpointVolume->Release();
    EndpointVolume = NULL;
}

// Follows the current default output device; 1 when there is one.
static int BindDefaultEndpoint(void)
{
    UnbindDefaultEndpoint();
    IMMDevice *device = NULL;
    if (FAILED(Enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device)) || !device)
        return 0;
    IAudioEndpointVolume *volume = NULL;
    HRESULT activated = device->Activate(IidEndpointVolume, CLSCTX_INPROC_SERVER, NULL, (void **)&volume);
    device->Release();
    if (FAILED(activated) || !volume)
        return 0;
    EndpointVolume = volume;
    EndpointVolume->RegisterControlChangeNotify(&TheVolumeCallback);
    return 1;
}

// The bound device's mute into MuteState; 1 when read and changed.
static int ReadEndpointMute(void)
{
    BOOL muted = FALSE;
    if (!EndpointVolume || FAILED(EndpointVolume->GetMute(&muted)))
        return 0;
    LONG value = muted ? 1 : 0;
    if (value == MuteState.Value)
        return 0;
    MuteState.Value = value;
    return 1;
}

int OpenEndpointMonitor(HWND window)
{
    Ole32 = LoadSystemLibrary("ole32.dll");
    auto coInitializeEx = (CoInitializeExFunction)(void *)ModuleFunction(Ole32, "CoInitializeEx");
    auto coCreateInstance = (CoCreateInstanceFunction)(void *)ModuleFunction(Ole32, "CoCreateInstance");
    if (!coInitializeEx || !coCreateInstance || !ModuleFunction(Ole32, "CoUninitialize"))
        return 0;
    HRESULT initialized = coInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    ComInitialized = initialized == S_OK || initialized == S_FALSE;
    if (FAILED(coCreateInstance(ClsidDeviceEnumerator, NULL, CLSCTX_INPROC_SERVER, IidDeviceEnumerator,
                                (void **)&Enumerator)) ||
        !Enumerator)
    {
        Enumerator = NULL;
        return 0;
    }
    NotifiedWindow = window;
    Enumerator->RegisterEndpointNotificationCallback(&TheDeviceCallback);
    // The first status report went out with "not muted": tell the real state
    // once, whatever it is.
    if (BindDefaultEndpoint())
    {
        ReadEndpointMute();
        ReportMuteState();
    }
    return 1;
}

void OnEndpointMuteChange(void)
{
    InterlockedExchange(&MutePosted, 0);
    if (ReadEndpointMute())
        ReportMuteState();
}

void OnDefaultEndpointChange(void)
{
    InterlockedExchange(&DefaultPosted, 0);
    // A notice of the old device may still be on its way: it finds the new
    // device's mute unchanged and sends nothing.
    if (!Enumerator || !BindDefaultEndpoint())
        return;
    ReadEndpointMute();
    ReportMuteState();
}

void StopEndpointMonitor(void)
{
    NotifiedWindow = NULL;
    UnbindDefaultEndpoint();
    if (Enumerator)
    {
        Enumerator->UnregisterEndpointNotificationCallback(&TheDeviceCallback);
        Enumerator->Release();
        Enumerator = NULL;
    }
}

void CloseEndpointMonitor(void)
{
    StopEndpointMonitor();
    auto coUninitialize = (CoUninitializeFunction)(void *)ModuleFunction(Ole32, "CoUninitialize");
    if (ComInitialized && coUninitialize)
        coUninitialize();
    ComInitialized = FALSE;
}

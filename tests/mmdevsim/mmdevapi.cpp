// The test-only stand-in for the system's audio endpoint library: a COM
// in-process server of CLSID_MMDeviceEnumerator over the shared state of
// mmdevsim.h. Registered callbacks are called from a thread of its own, and a
// new default device is told once per role, as the system does. Callers in
// the system folder (Wine's own winmm) see no devices.
#include <windows.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>

#include "mmdevsim.h"

static const CLSID ClsidEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
static const IID IidEnumerator = {0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
static const IID IidDevice = {0xD666063F, 0x1587, 0x4E43, {0x81, 0xF1, 0xB9, 0x48, 0xE8, 0x07, 0x36, 0x3F}};
static const IID IidCollection = {0x0BD7A1BE, 0x7A1A, 0x44DB, {0x83, 0x97, 0xCC, 0x53, 0x92, 0x38, 0x7B, 0x5E}};
static const IID IidVolume = {0x5CDF2C82, 0x841E, 0x4546, {0x97, 0x22, 0x0C, 0xF7, 0x40, 0x78, 0x22, 0x9A}};
static const IID IidUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID IidClassFactory = {0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const HRESULT NotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

static CRITICAL_SECTION Lock;
static MmDevSimState *State;

// Registered callbacks of this process.
#define MAX_CALLBACKS 16
static struct
{
    IAudioEndpointVolumeCallback *callback;
    LONG device;
} VolumeCallbacks[MAX_CALLBACKS];
static IMMNotificationClient *Clients[MAX_CALLBACKS];
static HANDLE Notifier;

static bool CalledFromSystemFolder(void *returnAddress)
{
    HMODULE module = NULL;
    WCHAR path[MAX_PATH], system[MAX_PATH];
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            (LPCWSTR)returnAddress, &module) ||
        !GetModuleFileNameW(module, path, MAX_PATH))
        return false;
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return length && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path, length, system, length) == CSTR_EQUAL;
}

static WCHAR DeviceIds[MMDEVSIM_DEVICES][16] = {L"sim-output-0", L"sim-output-1", L"sim-output-2", L"sim-output-3"};

static void Deliver(LONG kind, LONG device)
{
    EnterCriticalSection(&Lock);
    if (kind == MMDEVSIM_VOLUME_EVENT)
    {
        AUDIO_VOLUME_NOTIFICATION_DATA data;
        ZeroMemory(&data, sizeof(data));
        data.bMuted = State->muted[device];
        data.fMasterVolume = State->volume[device] / 100.0f;
        data.nChannels = 1;
        data.afChannelVolumes[0] = data.fMasterVolume;
        for (auto &entry : VolumeCallbacks)
            if (entry.callback && entry.device == device)
                entry.callback->OnNotify(&data);
    }
    else
    {
        EDataFlow flow = kind == MMDEVSIM_RENDER_DEFAULT ? eRender : eCapture;
        LPCWSTR id = flow == eCapture ? L"sim-capture" : device >= 0 ? DeviceIds[device] : NULL;
        for (int role = eConsole; role <= eCommunications; ++role)
            for (IMMNotificationClient *client : Clients)
                if (client)
                    client->OnDefaultDeviceChanged(flow, (ERole)role, id);
    }
    LeaveCriticalSection(&Lock);
}

static DWORD WINAPI NotifierThread(void *start)
{
    LONG next = (LONG)(LONG_PTR)start;
    for (;;)
    {
        while (next < State->queued)
        {
            if (State->queued - next > MMDEVSIM_EVENTS)
                next = State->queued - MMDEVSIM_EVENTS;
            Deliver(State->events[next % MMDEVSIM_EVENTS].kind, State->events[next % MMDEVSIM_EVENTS].device);
            ++next;
            InterlockedExchange(&State->delivered, next);
        }
        Sleep(5);
    }
}

static void StartNotifier(void)
{
    if (!Notifier)
        Notifier = CreateThread(NULL, 0, NotifierThread, (void *)(LONG_PTR)State->queued, 0, NULL);
}

// Reference counting shared by the objects handed out.
template <class Interface> struct Counted : Interface
{
    LONG references = 1;
    Counted() { InterlockedIncrement(&State->liveObjects); }
    virtual ~Counted() { InterlockedDecrement(&State->liveObjects); }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&references);
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT Answer(REFIID iid, REFIID own, void **object)
    {
        if (IsEqualIID(iid, IidUnknown) || IsEqualIID(iid, own))
        {
            AddRef();
            *object = this;
            return S_OK;
        }
        *object = NULL;
        return E_NOINTERFACE;
    }
};

struct Volume : Counted<IAudioEndpointVolume>
{
    LONG device;
    explicit Volume(LONG d) : device(d) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override { return Answer(iid, IidVolume, object); }
    HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback *callback) override
    {
        HRESULT result = E_OUTOFMEMORY;
        EnterCriticalSection(&Lock);
        for (auto &entry : VolumeCallbacks)
            if (!entry.callback)
            {
                entry.callback = callback;
                entry.device = device;
                InterlockedIncrement(&State->volumeRegistered);
                StartNotifier();
                result = S_OK;
                break;
            }
        LeaveCriticalSection(&Lock);
        return result;
    }
    HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback *callback) override
    {
        HRESULT result = E_INVALIDARG;
        EnterCriticalSection(&Lock);
        for (auto &entry : VolumeCallbacks)
            if (entry.callback == callback && entry.device == device)
            {
                entry.callback = NULL;
                InterlockedIncrement(&State->volumeUnregistered);
                result = S_OK;
                break;
            }
        LeaveCriticalSection(&Lock);
        return result;
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL *muted) override
    {
        *muted = State->muted[device] != 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL muted, LPCGUID) override
    {
        MmDevSimSetMute(device, muted);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(float *level) override
    {
        *level = State->volume[device] / 100.0f;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT *count) override
    {
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, float, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, float *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT, float *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT *, UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD *mask) override
    {
        *mask = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(float *, float *, float *) override { return E_NOTIMPL; }
};

struct Device : Counted<IMMDevice>
{
    LONG device;
    explicit Device(LONG d) : device(d) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override { return Answer(iid, IidDevice, object); }
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD, PROPVARIANT *, void **object) override
    {
        if (!IsEqualIID(iid, IidVolume))
        {
            *object = NULL;
            return E_NOINTERFACE;
        }
        *object = static_cast<IAudioEndpointVolume *>(new Volume(device));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore **store) override
    {
        *store = NULL;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR *id) override
    {
        *id = NULL;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD *state) override
    {
        *state = DEVICE_STATE_ACTIVE;
        return S_OK;
    }
};

struct EmptyCollection : Counted<IMMDeviceCollection>
{
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        return Answer(iid, IidCollection, object);
    }
    HRESULT STDMETHODCALLTYPE GetCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(UINT, IMMDevice **device) override
    {
        *device = NULL;
        return E_INVALIDARG;
    }
};

struct Enumerator : Counted<IMMDeviceEnumerator>
{
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        return Answer(iid, IidEnumerator, object);
    }
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection **devices) override
    {
        *devices = new EmptyCollection;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole, IMMDevice **device) override
    {
        LONG index = State->defaultDevice;
        *device = NULL;
        if (flow != eRender || index < 0 || index >= State->devices ||
            CalledFromSystemFolder(__builtin_return_address(0)))
            return NotFound;
        *device = new Device(index);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice **device) override
    {
        *device = NULL;
        return NotFound;
    }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient *client) override
    {
        HRESULT result = E_OUTOFMEMORY;
        EnterCriticalSection(&Lock);
        for (IMMNotificationClient *&slot : Clients)
            if (!slot)
            {
                slot = client;
                InterlockedIncrement(&State->clientRegistered);
                StartNotifier();
                result = S_OK;
                break;
            }
        LeaveCriticalSection(&Lock);
        return result;
    }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient *client) override
    {
        HRESULT result = E_INVALIDARG;
        EnterCriticalSection(&Lock);
        for (IMMNotificationClient *&slot : Clients)
            if (slot == client)
            {
                slot = NULL;
                InterlockedIncrement(&State->clientUnregistered);
                result = S_OK;
                break;
            }
        LeaveCriticalSection(&Lock);
        return result;
    }
};

struct Factory : IClassFactory
{
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (IsEqualIID(iid, IidUnknown) || IsEqualIID(iid, IidClassFactory))
        {
            *object = this;
            return S_OK;
        }
        *object = NULL;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) override
    {
        *object = NULL;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        Enumerator *enumerator = new Enumerator;
        HRESULT result = enumerator->QueryInterface(iid, object);
        enumerator->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
static Factory TheFactory;

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void **object)
{
    *object = NULL;
    if (!State || !IsEqualCLSID(clsid, ClsidEnumerator))
        return CLASS_E_CLASSNOTAVAILABLE;
    return TheFactory.QueryInterface(iid, object);
}

extern "C" HRESULT WINAPI DllCanUnloadNow(void)
{
    return S_FALSE;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void *)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        InitializeCriticalSection(&Lock);
        State = MmDevSimOpen();
    }
    return TRUE;
}

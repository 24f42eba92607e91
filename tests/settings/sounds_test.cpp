// The device connection sounds against the prefix's real registry.
#include "harness.h"
#include "app/app.h"
#include "settings/sounds.h"

namespace
{
const std::wstring Scheme = L"AppEvents\\Schemes\\Apps\\.Default\\";
const std::wstring Connect = Scheme + L"DeviceConnect\\.Current", Disconnect = Scheme + L"DeviceDisconnect\\.Current";
const std::wstring ConnectDefault = Scheme + L"DeviceConnect\\.Default";

// A value's type and raw data as "type:data", "-" when missing (RegGetValue
// would add a terminator to a string value that has none).
std::wstring Read(const std::wstring &key, const wchar_t *name)
{
    std::vector<BYTE> data(8192);
    DWORD type = 0, size = (DWORD)data.size();
    HKEY handle;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle))
        return L"-";
    LONG status = RegQueryValueExW(handle, name, NULL, &type, data.data(), &size);
    RegCloseKey(handle);
    if (status)
        return L"-";
    return std::to_wstring(type) + L":" + std::wstring((const wchar_t *)data.data(), size / sizeof(wchar_t));
}

// Writes "type:data" as Read gives it; "-" writes nothing.
void Write(const std::wstring &key, const wchar_t *name, const std::wstring &value)
{
    if (value == L"-")
        return;
    size_t colon = value.find(L':');
    std::wstring data = value.substr(colon + 1);
    WriteRegistryData(HKEY_CURRENT_USER, key, name ? name : L"", std::stoul(value.substr(0, colon)), data.c_str(),
                      (DWORD)(data.size() * sizeof(wchar_t)));
}
// A string value with its terminator.
std::wstring Sz(const std::wstring &text, int type = REG_SZ)
{
    return std::to_wstring(type) + L":" + text + std::wstring(1, L'\0');
}
}

TEST(ConnectionSounds, OffAndOnKeepTypesAndGiveBackTheUsersSounds)
{
    std::wstring longPath = Sz(std::wstring(1100, L'x'));
    struct Case
    {
        const char *what;
        std::wstring connect, connectOld, disconnect, connectDefault; // before
        int enable;
        std::wstring connectAfter, connectOldAfter, disconnectAfter;
        int enabledAfter;
    } cases[] = {
        {"off keeps the type in Old", Sz(L"%WinDir%\\c.wav", REG_EXPAND_SZ), L"-", Sz(L"d.wav"), L"-", 0, L"2:",
         Sz(L"%WinDir%\\c.wav", REG_EXPAND_SZ), L"1:", 0},
        {"on gives Old back with its type", L"2:", Sz(L"mine.wav", REG_EXPAND_SZ), L"1:", L"-", 1,
         Sz(L"mine.wav", REG_EXPAND_SZ), Sz(L"mine.wav", REG_EXPAND_SZ), L"1:", 1},
        {"one event silent counts as on", L"1:", L"-", Sz(L"d.wav"), L"-", -1, L"1:", L"-", Sz(L"d.wav"), 1},
        {"without Old, the Windows default", L"1:", L"-", L"1:", Sz(L"def.wav"), 1, Sz(L"def.wav"), L"-", L"1:", 1},
        {"nothing to give back: unchanged", L"1:", L"-", L"1:", L"-", 1, L"1:", L"-", L"1:", 0},
        {"an empty sound never overwrites Old", Sz(L""), Sz(L"mine.wav"), Sz(L"d.wav"), L"-", 0, L"1:",
         Sz(L"mine.wav"), L"1:", 0},
        {"a path too long is left alone", longPath, L"-", L"1:", L"-", 0, longPath, L"-", L"1:", 1},
    };
    OsVersion.dwMajorVersion = 5;
    OsVersion.dwMinorVersion = 1;
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteRegistryTree(HKEY_CURRENT_USER, L"AppEvents");
        Write(Connect, nullptr, c.connect);
        Write(Connect, L"Old", c.connectOld);
        Write(Disconnect, nullptr, c.disconnect);
        Write(ConnectDefault, nullptr, c.connectDefault);
        if (c.enable >= 0)
            EnableConnectionSounds(c.enable);
        EXPECT_EQ(Read(Connect, L""), c.connectAfter);
        EXPECT_EQ(Read(Connect, L"Old"), c.connectOldAfter);
        EXPECT_EQ(Read(Disconnect, L""), c.disconnectAfter);
        EXPECT_EQ(ConnectionSoundsEnabled(), c.enabledAfter);
    }
    // Before Windows XP the sounds count as off, whatever the registry says.
    Write(Connect, nullptr, Sz(L"c.wav"));
    OsVersion.dwMinorVersion = 0;
    EXPECT_EQ(ConnectionSoundsEnabled(), 0);
    DeleteRegistryTree(HKEY_CURRENT_USER, L"AppEvents");
}

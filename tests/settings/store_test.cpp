// The settings store against the prefix's real registry.
#include "harness.h"
#include "settings/store.h"

namespace
{
const wchar_t *const Key = L"Software\\Quorvik\\Swivo";

struct Value
{
    const wchar_t *name;
    DWORD type;
    std::vector<BYTE> data;
};

DWORD ReadDword(const wchar_t *name, DWORD *type)
{
    DWORD data = 0, size = sizeof(data);
    RegGetValueW(HKEY_CURRENT_USER, Key, name, RRF_RT_ANY, type, &data, &size);
    return size == sizeof(data) ? data : 0xBAD;
}
}

class SettingsStore : public ::testing::Test
{
  protected:
    void TearDown() override { DeleteRegistryTree(HKEY_CURRENT_USER, Key); }
};

TEST_F(SettingsStore, LoadTakesTheFirstFourBytesOrTheDefault)
{
    std::vector<BYTE> big(2049, 0x90);
    struct Case
    {
        const char *what;
        bool keyExists;
        std::vector<Value> values;
        LONG enableKeys, activeKey;
        LONG combinations[COMBINATION_COUNT];
    } cases[] = {
        {"no key keeps what is in force", false, {}, 5, 99, {7, 7, 7}},
        {"key with only EnableKeys 0", true, {{L"EnableKeys", REG_DWORD, {0, 0, 0, 0}}}, 0, 17, {0, 0, 0}},
        {"all ones is Control, Control, Shift", true, {{L"ActiveKey", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}}}, 1, -1, {0, 0, 0}},
        {"another type, first four bytes", true, {{L"ActiveKey", REG_BINARY, {0x90, 0, 0, 0, 7}},
                                                  {L"EnableKeys", REG_SZ, {'2', 0, 0, 0}}}, 0x32, 144, {0, 0, 0}},
        {"over 2048 bytes is missing", true, {{L"ActiveKey", REG_BINARY, big}, {L"EnableKeys", REG_BINARY, big}}, 1, 17, {0, 0, 0}},
        {"short values count zeros", true, {{L"ActiveKey", REG_BINARY, {0x91}}, {L"EnableKeys", REG_BINARY, {}}}, 0, 145, {0, 0, 0}},
        // Ctrl+Alt+A as the hotkey control gives it; more than a key and its
        // modifiers, or modifiers alone, are none.
        {"combinations", true, {{L"HotkeyAll", REG_DWORD, {0x41, 0x06, 0, 0}}, {L"HotkeyVideo", REG_DWORD, {0x41, 0x06, 1, 0}},
                                {L"HotkeyAudio", REG_DWORD, {0, 0x06, 0, 0}}}, 1, 17, {0x0641, 0, 0}},
        // A key without Control or ALT would switch at each press of it in
        // any typing: none. Alt+F1 is a combination.
        {"a key alone or with Shift", true, {{L"HotkeyAll", REG_DWORD, {0x41, 0x01, 0, 0}}, {L"HotkeyVideo", REG_DWORD, {0x41, 0, 0, 0}},
                                             {L"HotkeyAudio", REG_DWORD, {0x70, 0x04, 0, 0}}}, 1, 17, {0, 0, 0x0470}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteRegistryTree(HKEY_CURRENT_USER, Key);
        if (c.keyExists)
        {
            ASSERT_TRUE(WriteRegistryData(HKEY_CURRENT_USER, Key, L"Other", REG_DWORD, "\1\0\0", 4));
        }
        for (const Value &v : c.values)
            ASSERT_TRUE(WriteRegistryData(HKEY_CURRENT_USER, Key, v.name, v.type, v.data.data(), (DWORD)v.data.size()));
        Settings = {5, 99, {7, 7, 7}};
        LoadSettings();
        EXPECT_EQ(Settings.EnableKeys, c.enableKeys);
        EXPECT_EQ(Settings.ActiveKey, c.activeKey);
        for (int i = 0; i < COMBINATION_COUNT; ++i)
            EXPECT_EQ(Settings.Combinations[i], c.combinations[i]) << i;
    }
}

TEST_F(SettingsStore, SaveCreatesTheKeyWithBothDwords)
{
    DeleteRegistryTree(HKEY_CURRENT_USER, Key);
    Settings = {2, -1, {0x0641, 0, 0x0370}};
    SaveSettings();
    const std::pair<const wchar_t *, DWORD> values[] = {
        {L"ActiveKey", 0xFFFFFFFFu}, {L"EnableKeys", 2u}, {L"HotkeyAll", 0x0641}, {L"HotkeyVideo", 0}, {L"HotkeyAudio", 0x0370}};
    for (const auto &value : values)
    {
        DWORD type = 0;
        EXPECT_EQ(ReadDword(value.first, &type), value.second) << value.first;
        EXPECT_EQ(type, (DWORD)REG_DWORD) << value.first;
    }
}

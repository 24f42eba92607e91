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
    } cases[] = {
        {"no key keeps what is in force", false, {}, 5, 99},
        {"key with only EnableKeys 0", true, {{L"EnableKeys", REG_DWORD, {0, 0, 0, 0}}}, 0, 17},
        {"all ones is Control, Control, Shift", true, {{L"ActiveKey", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}}}, 1, -1},
        {"another type, first four bytes", true, {{L"ActiveKey", REG_BINARY, {0x90, 0, 0, 0, 7}},
                                                  {L"EnableKeys", REG_SZ, {'2', 0, 0, 0}}}, 0x32, 144},
        {"over 2048 bytes is missing", true, {{L"ActiveKey", REG_BINARY, big}, {L"EnableKeys", REG_BINARY, big}}, 1, 17},
        {"short values count zeros", true, {{L"ActiveKey", REG_BINARY, {0x91}}, {L"EnableKeys", REG_BINARY, {}}}, 0, 145},
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
        Settings = {5, 99};
        LoadSettings();
        EXPECT_EQ(Settings.EnableKeys, c.enableKeys);
        EXPECT_EQ(Settings.ActiveKey, c.activeKey);
    }
}

TEST_F(SettingsStore, SaveCreatesTheKeyWithBothDwords)
{
    DeleteRegistryTree(HKEY_CURRENT_USER, Key);
    Settings = {2, -1};
    SaveSettings();
    DWORD activeType = 0, enableType = 0;
    EXPECT_EQ(ReadDword(L"ActiveKey", &activeType), 0xFFFFFFFFu);
    EXPECT_EQ(ReadDword(L"EnableKeys", &enableType), 2u);
    EXPECT_EQ(activeType, (DWORD)REG_DWORD);
    EXPECT_EQ(enableType, (DWORD)REG_DWORD);
}

// Choosing and loading the language library, with the program's own code.
// This program runs with a German user-interface language (LC_ALL=de_DE.UTF-8).
#include "harness.h"
#include "app/app.h"
#include "settings/language.h"
#include "resource.h"

namespace
{
std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring LocalString(UINT id)
{
    wchar_t buffer[APP_STRING_CAPACITY];
    buffer[0] = 0;
    LoadLocalString(id, buffer, APP_STRING_CAPACITY);
    return buffer;
}

std::vector<UINT> TrayMenuIds(HMENU menu)
{
    std::vector<UINT> ids;
    HMENU popup = GetSubMenu(menu, 0);
    for (int i = 0; i < GetMenuItemCount(popup); ++i)
        ids.push_back(GetMenuItemID(popup, i));
    return ids;
}
}

TEST(LanguageChoice, MapsLanguagesToLibraries)
{
    const struct
    {
        LANGID system, user, ui;
        const wchar_t *library;
    } cases[] = {
        {0x0409, 0x0409, 0x0407, L"RES_DE.DLL"},  // German UI, English user
        {0x0409, 0x0407, 0x0409, nullptr},        // English UI, German user
        {0x0804, 0x0404, 0, L"RES_TCH.DLL"},      // no UI language: the system's, the user's sublanguage
        {0x0409, 0x0409, 0x0804, L"RES_SCH.DLL"}, // Chinese (PRC) UI, English user
        {0x1004, 0x1004, 0x1004, L"RES_TCH.DLL"}, // Singapore is not the simplified library
        {0x1004, 0x0804, 0x1004, L"RES_SCH.DLL"}, // the user's PRC sublanguage wins
        {0x0C04, 0x0C04, 0x0C04, L"RES_TCH.DLL"}, // Hong Kong
        {0x0407, 0x0409, 0, L"RES_DE.DLL"},       // no UI language: the system's German
        {0x040A, 0x040A, 0x040A, L"RES_ES.DLL"},
        {0x0C0A, 0x0409, 0x0C0A, L"RES_ES.DLL"},
        {0x080C, 0x080C, 0x080C, L"RES_FR.DLL"},  // Belgian French
        {0x0410, 0x0410, 0x0410, L"RES_IT.DLL"},
        {0x0411, 0x0411, 0x0411, L"RES_JP.DLL"},
        {0x0412, 0x0412, 0x0412, L"RES_KR.DLL"},
        {0x0813, 0x0813, 0x0813, L"RES_NL.DLL"},  // Flemish
        {0x0416, 0x0416, 0x0416, nullptr},        // Portuguese
        {0x0419, 0x0419, 0x0419, nullptr},        // Russian
        {0x0409, 0x0409, 0x0409, nullptr},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::hex << c.system << " " << c.user << " " << c.ui);
        const wchar_t *library = LanguageLibraryName(ChooseLanguage(c.system, c.user, c.ui));
        if (c.library)
            EXPECT_STREQ(library, c.library);
        else
            EXPECT_EQ(library, nullptr);
    }
}

class LanguageLibrary : public ::testing::Test
{
  protected:
    std::wstring planted = OwnFolder() + L"RES_DE.DLL";
    std::wstring elsewhere;

    void SetUp() override
    {
        AppInstance = GetModuleHandleW(NULL);
        ResourceModule = AppInstance;
        DeleteFileW(planted.c_str());
        ASSERT_EQ(GetUserDefaultUILanguage(), 0x0407) << "run with LC_ALL=de_DE.UTF-8";
    }
    void TearDown() override
    {
        FreeResourceModule();
        ResourceModule = AppInstance;
        DeleteFileW(planted.c_str());
        if (!elsewhere.empty())
        {
            SetCurrentDirectoryW(OwnFolder().c_str());
            DeleteFileW((elsewhere + L"RES_DE.DLL").c_str());
            RemoveDirectoryW(elsewhere.c_str());
        }
    }
    std::wstring RealGermanLibrary() { return DistFolder() + L"\\RES_DE.DLL"; }
};

TEST_F(LanguageLibrary, TheLibraryBesideTheProgramGivesItsTexts)
{
    ASSERT_TRUE(CopyFileW(RealGermanLibrary().c_str(), planted.c_str(), FALSE));
    ResourceModule = SelectResourceModule();
    EXPECT_NE(ResourceModule, AppInstance);
    EXPECT_EQ(LocalString(IDS_EXIT), L"Beenden");
    EXPECT_EQ(LocalString(IDS_PRODUCT_NAME), L"Swivo");
    HMENU menu = LoadLocalMenu(IDR_TRAY_MENU);
    ASSERT_NE(menu, (HMENU)NULL);
    wchar_t text[APP_STRING_CAPACITY];
    GetMenuStringW(GetSubMenu(menu, 0), 5, text, APP_STRING_CAPACITY, MF_BYPOSITION);
    EXPECT_STREQ(text, L"Optionen...");
    DestroyMenu(menu);
}

TEST_F(LanguageLibrary, AMissingLibraryMeansTheProgramsOwnTexts)
{
    ResourceModule = SelectResourceModule();
    EXPECT_EQ(ResourceModule, AppInstance);
    EXPECT_EQ(LocalString(IDS_EXIT), L"Exit");
}

TEST_F(LanguageLibrary, AFileThatIsNoLibraryMeansTheProgramsOwnTexts)
{
    HANDLE file = CreateFileW(planted.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written;
    WriteFile(file, "MZ this is not a library", 24, &written, NULL);
    CloseHandle(file);
    ResourceModule = SelectResourceModule();
    EXPECT_EQ(ResourceModule, AppInstance);
    EXPECT_EQ(LocalString(IDS_EXIT), L"Exit");
}

TEST_F(LanguageLibrary, WhatALibraryLacksComesFromTheProgram)
{
    std::wstring partial = OwnFolder() + L"fixtures\\partial_language.dll";
    ASSERT_TRUE(CopyFileW(partial.c_str(), planted.c_str(), FALSE));
    ResourceModule = SelectResourceModule();
    ASSERT_NE(ResourceModule, AppInstance);
    EXPECT_EQ(LocalString(IDS_ABOUT), L"Teilweise übersetzt");
    EXPECT_EQ(LocalString(IDS_EXIT), L"Exit");
    EXPECT_EQ(LocalString(IDS_PRODUCT_NAME), L"Swivo");
    HMENU menu = LoadLocalMenu(IDR_TRAY_MENU);
    ASSERT_NE(menu, (HMENU)NULL);
    std::vector<UINT> expected = {32773, 0, 32779, 32780, 0, 32776, 104, 0, 105};
    EXPECT_EQ(TrayMenuIds(menu), expected);
    DestroyMenu(menu);
}

TEST_F(LanguageLibrary, ACopyInTheCurrentFolderOrOnThePathIsNotUsed)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    elsewhere = std::wstring(temp) + L"ornax-planted\\";
    CreateDirectoryW(elsewhere.c_str(), NULL);
    ASSERT_TRUE(CopyFileW(RealGermanLibrary().c_str(), (elsewhere + L"RES_DE.DLL").c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.c_str()));
    SetEnvironmentVariableW(L"PATH", (elsewhere + L";C:\\windows\\system32;C:\\windows").c_str());
    ResourceModule = SelectResourceModule();
    EXPECT_EQ(ResourceModule, AppInstance);
    EXPECT_EQ(GetModuleHandleW(L"RES_DE.DLL"), (HMODULE)NULL);
}

// The library is mapped as data (never a module of the process), and once it
// is freed the texts come from the executable, never from freed memory.
TEST_F(LanguageLibrary, ShutdownFreesOnlyWhatWasLoaded)
{
    ASSERT_TRUE(CopyFileW(RealGermanLibrary().c_str(), planted.c_str(), FALSE));
    ResourceModule = SelectResourceModule();
    ASSERT_NE(ResourceModule, AppInstance);
    EXPECT_EQ(GetModuleHandleW(L"RES_DE.DLL"), (HMODULE)NULL);
    EXPECT_EQ(LocalString(IDS_EXIT), L"Beenden");
    FreeResourceModule();
    EXPECT_EQ(ResourceModule, AppInstance);
    EXPECT_EQ(LocalString(IDS_EXIT), L"Exit");
    // The executable itself is never freed.
    FreeResourceModule();
    EXPECT_EQ(LocalString(IDS_EXIT), L"Exit");
}

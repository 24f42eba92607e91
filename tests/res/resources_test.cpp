// The shipped files' resources, read back at run time from dist\.
#include "harness.h"

#include <cstring>

namespace
{
HMODULE LoadAsData(const std::wstring &file)
{
    return LoadLibraryExW(file.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
}

std::wstring StringOf(HMODULE module, UINT id)
{
    wchar_t buffer[300];
    int length = LoadStringW(module, id, buffer, 300);
    return std::wstring(buffer, length > 0 ? length : 0);
}

std::vector<UINT> PopupIds(HMENU popup)
{
    std::vector<UINT> ids;
    for (int i = 0; i < GetMenuItemCount(popup); ++i)
        ids.push_back(GetMenuItemID(popup, i));
    return ids;
}

const std::vector<UINT> TrayMenuIds = {32773, 0, 32779, 32780, 0, 32776, 104, 0, 105};

// Reading an extended dialog template.
struct Reader
{
    const BYTE *at;
    WORD Word() { WORD v; memcpy(&v, at, 2); at += 2; return v; }
    DWORD Dword() { DWORD v; memcpy(&v, at, 4); at += 4; return v; }
    short Short() { return (short)Word(); }
    std::wstring Text()
    {
        std::wstring text;
        for (WORD c = Word(); c; c = Word())
            text += (wchar_t)c;
        return text;
    }
    // A name or ordinal: 0xFFFF then the ordinal, or a string.
    std::wstring NameOrOrdinal()
    {
        WORD first;
        memcpy(&first, at, 2);
        if (first == 0xFFFF)
        {
            at += 2;
            return L"#" + std::to_wstring(Word());
        }
        return Text();
    }
    void AlignDword() { at = (const BYTE *)(((ULONG_PTR)at + 3) & ~(ULONG_PTR)3); }
};

struct Control
{
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::wstring className, text;
};

struct Dialog
{
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring caption, font;
    WORD pointSize = 0, weight = 0;
    std::vector<Control> controls;
};

Dialog ReadDialog(HMODULE module, WORD id)
{
    Dialog dialog;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), (LPCWSTR)RT_DIALOG);
    if (!resource)
        return dialog;
    Reader r{(const BYTE *)LockResource(LoadResource(module, resource))};
    EXPECT_EQ(r.Word(), 1);      // version
    EXPECT_EQ(r.Word(), 0xFFFF); // extended template
    r.Dword();                   // help id
    dialog.exStyle = r.Dword();
    dialog.style = r.Dword();
    WORD count = r.Word();
    dialog.x = r.Short(), dialog.y = r.Short(), dialog.cx = r.Short(), dialog.cy = r.Short();
    r.NameOrOrdinal(); // menu
    r.NameOrOrdinal(); // class
    dialog.caption = r.Text();
    if (dialog.style & DS_SETFONT)
    {
        dialog.pointSize = r.Word();
        dialog.weight = r.Word();
        r.at += 2; // italic, charset
        dialog.font = r.Text();
    }
    for (WORD i = 0; i < count; ++i)
    {
        r.AlignDword();
        Control control;
        r.Dword(); // help id
        EXPECT_EQ(r.Dword(), 0u) << "no control has an extended style";
        control.style = r.Dword();
        control.x = r.Short(), control.y = r.Short(), control.cx = r.Short(), control.cy = r.Short();
        control.id = (int)r.Dword();
        control.className = r.NameOrOrdinal();
        control.text = r.NameOrOrdinal();
        WORD extra = r.Word();
        r.at += extra;
        dialog.controls.push_back(control);
    }
    return dialog;
}

struct ExpectedControl
{
    int id;
    DWORD style;
    short x, y, cx, cy;
    const wchar_t *text;  // NULL: not checked
};

void ExpectControls(const Dialog &dialog, const std::vector<ExpectedControl> &expected)
{
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE(i);
        const Control &c = dialog.controls[i];
        EXPECT_EQ(c.id, expected[i].id);
        EXPECT_EQ(c.style, expected[i].style);
        EXPECT_EQ(c.x, expected[i].x);
        EXPECT_EQ(c.y, expected[i].y);
        EXPECT_EQ(c.cx, expected[i].cx);
        EXPECT_EQ(c.cy, expected[i].cy);
        if (expected[i].text)
        {
            EXPECT_EQ(c.text, expected[i].text);
        }
    }
}

// (width, bits per pixel) of every image of an icon group.
std::vector<std::pair<int, int>> IconImages(HMODULE module, WORD group, int *dibImages)
{
    std::vector<std::pair<int, int>> images;
    *dibImages = 0;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(group), (LPCWSTR)RT_GROUP_ICON);
    if (!resource)
        return images;
    const BYTE *data = (const BYTE *)LockResource(LoadResource(module, resource));
    WORD count;
    memcpy(&count, data + 4, 2);
    for (WORD i = 0; i < count; ++i)
    {
        const BYTE *entry = data + 6 + i * 14;
        int width = entry[0] ? entry[0] : 256;
        WORD bits, iconId;
        memcpy(&bits, entry + 6, 2);
        memcpy(&iconId, entry + 12, 2);
        images.push_back({width, bits});
        HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(iconId), (LPCWSTR)RT_ICON);
        if (image)
        {
            const BITMAPINFOHEADER *header = (const BITMAPINFOHEADER *)LockResource(LoadResource(module, image));
            if (header->biSize == sizeof(BITMAPINFOHEADER) && header->biWidth == width &&
                header->biHeight == 2 * width && header->biBitCount == bits)
                ++*dibImages;
        }
    }
    return images;
}
}

class ShippedFiles : public ::testing::Test
{
  protected:
    HMODULE program = NULL;
    void SetUp() override
    {
        program = LoadAsData(ProgramPath());
        ASSERT_NE(program, (HMODULE)NULL);
    }
    void TearDown() override { FreeLibrary(program); }
};

TEST_F(ShippedFiles, ProgramCarriesTheEnglishStringTable)
{
    const std::vector<std::wstring> texts = {
        L"Swivo", L"About", L"Software Version", L"Firmware Version", L"Swivo Not Attached", L"Options...", L"ORNAX",
        L"Hotkey Sequence", L"Enable Hotkey Switching", L"Enable Device Connection Sounds", L"Control - Control",
        L"NumLock/Clear - NumLock/Clear", L"Scroll Lock - Scroll Lock", L"Control - Control - Shift", L"Switch Host",
        L"Exit", L"OK", L"Cancel", L"", // 121, a notice of our own: checked below
        L"Pressing ALT while entering the key sequence will switch control\n(video and input) only.", L"Swivo",
        L"Swivo Not Attached", L"ORNAX"};
    for (UINT id = 103; id <= 125; ++id)
    {
        SCOPED_TRACE(id);
        if (id == 121)
            EXPECT_FALSE(StringOf(program, id).empty());
        else
            EXPECT_EQ(StringOf(program, id), texts[id - 103]);
    }
}

TEST_F(ShippedFiles, ProgramMenusHoldTheirCommandsInOrder)
{
    HMENU tray = LoadMenuW(program, MAKEINTRESOURCEW(129));
    ASSERT_NE(tray, (HMENU)NULL);
    EXPECT_EQ(GetMenuItemCount(tray), 1);
    EXPECT_EQ(PopupIds(GetSubMenu(tray, 0)), TrayMenuIds);
    wchar_t text[100];
    GetMenuStringW(GetSubMenu(tray, 0), 0, text, 100, MF_BYPOSITION);
    EXPECT_STREQ(text, L"Swivo All");
    DestroyMenu(tray);

    HMENU main = LoadMenuW(program, MAKEINTRESOURCEW(109));
    ASSERT_NE(main, (HMENU)NULL);
    ASSERT_EQ(GetMenuItemCount(main), 2);
    EXPECT_EQ(PopupIds(GetSubMenu(main, 0)), std::vector<UINT>{105});
    EXPECT_EQ(PopupIds(GetSubMenu(main, 1)), std::vector<UINT>{104});
    GetMenuStringW(main, 1, text, 100, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Help");
    DestroyMenu(main);
}

TEST_F(ShippedFiles, AcceleratorsAreAltQuestionMarkAndAltSlash)
{
    HRSRC resource = FindResourceW(program, MAKEINTRESOURCEW(109), (LPCWSTR)RT_ACCELERATOR);
    ASSERT_NE(resource, (HRSRC)NULL);
    ASSERT_EQ(SizeofResource(program, resource), 16u);
    const BYTE *entries = (const BYTE *)LockResource(LoadResource(program, resource));
    for (int i = 0; i < 2; ++i)
    {
        WORD flags, key, command;
        memcpy(&flags, entries + i * 8, 2);
        memcpy(&key, entries + i * 8 + 2, 2);
        memcpy(&command, entries + i * 8 + 4, 2);
        EXPECT_EQ(flags & ~0x80, FALT) << "a plain character with Alt";
        EXPECT_EQ(key, i == 0 ? '?' : '/');
        EXPECT_EQ(command, 104);
    }
}

TEST_F(ShippedFiles, AboutDialogTemplate)
{
    Dialog about = ReadDialog(program, 103);
    EXPECT_EQ(about.style, 0x00C800C8u);
    EXPECT_EQ(about.x, 22);
    EXPECT_EQ(about.y, 17);
    EXPECT_EQ(about.cx, 247);
    EXPECT_EQ(about.cy, 49);
    EXPECT_EQ(about.caption, L"About");
    EXPECT_EQ(about.pointSize, 8);
    EXPECT_EQ(about.font, L"MS Shell Dlg");
    ExpectControls(about, {{2, 0x50000003, 14, 9, 20, 20, L"#107"},
                           {1000, 0x50020080, 49, 10, 119, 8, L"ORNAX Version 1.0"},
                           {-1, 0x50020000, 49, 36, 166, 8, nullptr},
                           {1, 0x50030001, 186, 6, 49, 15, L"OK"},
                           {1001, 0x50020080, 49, 23, 119, 8, L"ORNAX Version 1.0"}});
}

TEST_F(ShippedFiles, OptionsDialogTemplate)
{
    Dialog options = ReadDialog(program, 131);
    EXPECT_EQ(options.style, 0x80C800C8u);
    EXPECT_EQ(options.x, 0);
    EXPECT_EQ(options.y, 0);
    EXPECT_EQ(options.cx, 316);
    EXPECT_EQ(options.cy, 163);
    EXPECT_EQ(options.caption, L"Options");
    EXPECT_EQ(options.pointSize, 8);
    EXPECT_EQ(options.weight, 400);
    EXPECT_EQ(options.font, L"MS Shell Dlg");
    ExpectControls(options,
                   {{1, 0x50010001, 259, 142, 50, 14, L"OK"},
                    {2, 0x50010000, 199, 142, 56, 14, L"Cancel"},
                    {1002, 0x50010003, 21, 20, 240, 10, L"Enable Key Switching"},
                    {1007, 0x50030009, 31, 36, 230, 10, L"Control - Control"},
                    {1004, 0x50000009, 31, 49, 230, 10, L"NumLock/Clear - NumLock/Clear"},
                    {1005, 0x50000009, 31, 62, 230, 10, L"Scrol Lock - Scroll Lock"},
                    {1003, 0x50000009, 31, 75, 230, 10, L"Control - Control - Shift"},
                    {1006, 0x50010003, 7, 128, 302, 10, L"Enable Device Connection Sounds "},
                    {1001, 0x50000007, 7, 7, 302, 117, L"Select Switching Key"},
                    {32781, 0x50020000, 26, 92, 276, 27,
                     L"Pressing ALT while entering the key sequence will switch control (video and input) only."}});
}

TEST_F(ShippedFiles, IconGroupsHoldEveryListedImageAsABitmap)
{
    std::vector<std::pair<int, int>> full = {{48, 4}, {32, 4}, {24, 4}, {16, 4}, {48, 8},  {32, 8}, {24, 8},
                                             {16, 8}, {128, 32}, {48, 32}, {40, 32}, {32, 24}, {24, 32}, {20, 32}, {16, 32}};
    std::sort(full.begin(), full.end());
    std::vector<std::pair<int, int>> withoutLargest = full;
    withoutLargest.erase(std::find(withoutLargest.begin(), withoutLargest.end(), std::make_pair(128, 32)));
    for (WORD group : {107, 108, 130, 134})
    {
        SCOPED_TRACE(group);
        int dibs = 0;
        std::vector<std::pair<int, int>> images = IconImages(program, group, &dibs);
        std::sort(images.begin(), images.end());
        EXPECT_EQ(images, group == 134 ? withoutLargest : full);
        EXPECT_EQ(dibs, (int)images.size()) << "every image is a DIB with its AND mask";
        for (int size : {16, 32, 48})
        {
            HICON icon = (HICON)LoadImageW(program, MAKEINTRESOURCEW(group), IMAGE_ICON, size, size, 0);
            EXPECT_NE(icon, (HICON)NULL) << size;
            if (icon)
                DestroyIcon(icon);
        }
    }
}

TEST_F(ShippedFiles, VersionRecord)
{
    std::wstring path = ProgramPath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO *fixed;
    UINT length;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", (void **)&fixed, &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x0002000Eu);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x0002000Eu);
    const std::pair<const wchar_t *, const wchar_t *> strings[] = {
        {L"FileDescription", L"Swivo Software Assist Application"},
        {L"FileVersion", L"1.0.2.14"},
        {L"InternalName", L"ORNAX"},
        {L"OriginalFilename", L"ORNAX.exe"},
        {L"ProductName", L" ORNAX Application"},
        {L"ProductVersion", L"1.0.2.14"}};
    for (const auto &entry : strings)
    {
        wchar_t *value;
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + entry.first;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), (void **)&value, &length)) << entry.first;
        EXPECT_STREQ(value, entry.second);
    }
    for (const wchar_t *name : {L"CompanyName", L"LegalCopyright"})
    {
        wchar_t *value;
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
        EXPECT_TRUE(VerQueryValueW(block.data(), query.c_str(), (void **)&value, &length) && length > 1) << name;
    }
}

TEST(LanguageLibraries, EachCarriesEveryStringAndTheTrayMenu)
{
    const wchar_t *tags[] = {L"SCH", L"TCH", L"DE", L"ES", L"FR", L"IT", L"JP", L"KR", L"NL"};
    HMODULE program = LoadAsData(ProgramPath());
    ASSERT_NE(program, (HMODULE)NULL);
    for (const wchar_t *tag : tags)
    {
        SCOPED_TRACE(testing::Message() << "RES_" << std::string(tag, tag + wcslen(tag)));
        HMODULE library = LoadAsData(DistFolder() + L"\\RES_" + tag + L".DLL");
        ASSERT_NE(library, (HMODULE)NULL);
        for (UINT id = 103; id <= 125; ++id)
        {
            std::wstring text = StringOf(library, id);
            EXPECT_FALSE(text.empty()) << id;
            EXPECT_LT(text.size(), id == 122 ? 260u : 100u) << id;
        }
        // Names stay as they are; the long note keeps its one line break.
        for (UINT id : {103u, 123u})
            EXPECT_EQ(StringOf(library, id), L"Swivo");
        for (UINT id : {109u, 125u})
            EXPECT_EQ(StringOf(library, id), L"ORNAX");
        std::wstring note = StringOf(library, 122);
        EXPECT_EQ(std::count(note.begin(), note.end(), L'\n'), 1);
        EXPECT_NE(StringOf(library, 118), StringOf(program, 118)) << "\"Exit\" is translated";
        HMENU menu = LoadMenuW(library, MAKEINTRESOURCEW(129));
        ASSERT_NE(menu, (HMENU)NULL);
        EXPECT_EQ(PopupIds(GetSubMenu(menu, 0)), TrayMenuIds);
        DestroyMenu(menu);
        FreeLibrary(library);
    }
    FreeLibrary(program);
}

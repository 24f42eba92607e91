// What the user sees of the shipped resources: the dialogs as the program
// fills them in every language, the language libraries against the
// executable, the icons at the sizes the shell asks for, the version record.
#include "harness.h"
#include "app/app.h"
#include "settings/dialog.h"
#include "settings/language.h"
#include "settings/store.h"
#include "hotkey/hotkey.h"
#include "resource.h"

#include <cstring>

namespace
{
const wchar_t *const LanguageTags[] = {L"SCH", L"TCH", L"DE", L"ES", L"FR", L"IT", L"JP", L"KR", L"NL"};

HMODULE LoadAsData(const std::wstring &file)
{
    return LoadLibraryExW(file.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
}

std::wstring LibraryPath(const wchar_t *tag) { return DistFolder() + L"\\RES_" + tag + L".DLL"; }

// Collects the numbered resources of a type.
BOOL CALLBACK CollectNumbered(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found)
{
    if (IS_INTRESOURCE(name))
        ((std::vector<UINT> *)found)->push_back((UINT)(ULONG_PTR)name);
    return TRUE;
}

std::vector<UINT> NumberedResources(HMODULE module, LPCWSTR type)
{
    std::vector<UINT> names;
    EnumResourceNamesW(module, type, CollectNumbered, (LONG_PTR)&names);
    return names;
}

std::wstring StringOf(HMODULE module, UINT id)
{
    wchar_t buffer[1000];
    int length = LoadStringW(module, id, buffer, 1000);
    return std::wstring(buffer, length > 0 ? length : 0);
}

// Every string of a module: its string table's blocks hold 16 each.
std::map<UINT, std::wstring> StringsOf(HMODULE module)
{
    std::map<UINT, std::wstring> strings;
    for (UINT block : NumberedResources(module, (LPCWSTR)RT_STRING))
        for (UINT id = (block - 1) * 16; id < block * 16; ++id)
        {
            std::wstring text = StringOf(module, id);
            if (!text.empty())
                strings[id] = text;
        }
    return strings;
}

// The tray menu's commands in order (0 for a separator) and its item texts.
std::vector<UINT> TrayCommands(HMODULE module, std::vector<std::wstring> *texts = nullptr)
{
    std::vector<UINT> ids;
    HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    HMENU popup = menu ? GetSubMenu(menu, 0) : NULL;
    for (int i = 0; popup && i < GetMenuItemCount(popup); ++i)
    {
        ids.push_back(GetMenuItemID(popup, i));
        wchar_t text[200] = L"";
        GetMenuStringW(popup, i, text, 200, MF_BYPOSITION);
        if (texts)
            texts->push_back(text);
    }
    if (menu)
        DestroyMenu(menu);
    return ids;
}

size_t CountOf(const std::wstring &text, wchar_t c) { return (size_t)std::count(text.begin(), text.end(), c); }

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<HWND> VisibleChildren(HWND dialog)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)
            children.push_back(child);
    return children;
}

// The size that a text takes in a control's font: on one line, or wrapped
// to a width.
SIZE TextSize(HWND control, const std::wstring &text, int wrapWidth)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageW(control, WM_GETFONT, 0, 0));
    RECT box = {0, 0, wrapWidth ? wrapWidth : 10000, 0};
    UINT flags = DT_CALCRECT | DT_NOPREFIX | (wrapWidth ? DT_WORDBREAK : DT_SINGLELINE);
    DrawTextW(dc, text.c_str(), -1, &box, flags);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {box.right - box.left, box.bottom - box.top};
}

// Every text shows whole: a push button's within its edges, a check box's or
// radio button's beside its box, a group box's caption on its frame, a
// static's wrapped within it. The caption fits beside the title bar's buttons.
void ExpectEveryTextFits(HWND dialog)
{
    for (HWND control : VisibleChildren(dialog))
    {
        std::wstring text = WindowTextOf(control);
        LONG style = GetWindowLongW(control, GWL_STYLE);
        if (text.empty() || (ClassOf(control) == L"Static" && (style & SS_TYPEMASK) == SS_ICON))
            continue;
        SCOPED_TRACE(testing::Message() << "control " << GetDlgCtrlID(control));
        RECT client;
        GetClientRect(control, &client);
        int width = client.right, height = client.bottom;
        if (ClassOf(control) == L"Static")
        {
            SIZE wrapped = TextSize(control, text, width);
            EXPECT_LE(wrapped.cx, width) << "a word longer than the line";
            EXPECT_LE(wrapped.cy, height) << "lines cut off";
            continue;
        }
        SIZE line = TextSize(control, text, 0);
        EXPECT_LE(line.cy, height);
        switch (style & BS_TYPEMASK)
        {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            EXPECT_LE(line.cx + 2 * GetSystemMetrics(SM_CXEDGE), width);
            break;
        case BS_GROUPBOX:
            EXPECT_LE(line.cx + line.cy, width);
            break;
        default: // check box, radio button: the box and a gap come first
            EXPECT_LE(line.cx + line.cy + line.cy / 2, width);
        }
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    HFONT captionFont = CreateFontIndirectW(&metrics.lfCaptionFont);
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, captionFont);
    SIZE caption;
    std::wstring title = WindowTextOf(dialog);
    GetTextExtentPoint32W(dc, title.c_str(), (int)title.size(), &caption);
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
    DeleteObject(captionFont);
    RECT window;
    GetWindowRect(dialog, &window);
    EXPECT_LE(caption.cx + 2 * metrics.iCaptionWidth, window.right - window.left) << "the caption";
}

// No two controls overlap, unless one is a group box around the other.
void ExpectNoOverlaps(HWND dialog)
{
    std::vector<HWND> children = VisibleChildren(dialog);
    auto isGroup = [](HWND control) {
        return ClassOf(control) == L"Button" && (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
    };
    for (size_t i = 0; i < children.size(); ++i)
        for (size_t j = i + 1; j < children.size(); ++j)
        {
            RECT a, b, common, both;
            GetWindowRect(children[i], &a);
            GetWindowRect(children[j], &b);
            if (!IntersectRect(&common, &a, &b))
                continue;
            UnionRect(&both, &a, &b);
            bool nested = (isGroup(children[i]) && EqualRect(&both, &a)) || (isGroup(children[j]) && EqualRect(&both, &b));
            EXPECT_TRUE(nested) << GetDlgCtrlID(children[i]) << " and " << GetDlgCtrlID(children[j]) << " overlap";
        }
}
}

// Both dialogs, filled by the program's own dialog procedures from each
// language library's strings (the templates are the executable's).
TEST(Dialogs, EveryTextFitsAndNoControlsOverlapInEveryLanguage)
{
    AppInstance = GetModuleHandleW(NULL);
    LoadStringW(AppInstance, IDS_PRODUCT_NAME, AppTitle, APP_STRING_CAPACITY);
    OsVersion.dwOSVersionInfoSize = sizeof(OsVersion);
    GetVersionExW(&OsVersion);
    // With the notes shown that another program holds each key combination.
    for (int i = 0; i < COMBINATION_COUNT; ++i)
        CombinationTaken[i] = TRUE;
    std::vector<std::wstring> languages = {L""};
    languages.insert(languages.end(), std::begin(LanguageTags), std::end(LanguageTags));
    for (const std::wstring &tag : languages)
    {
        SCOPED_TRACE(testing::Message() << "language " << std::string(tag.begin(), tag.end()));
        HMODULE library = tag.empty() ? NULL : LoadAsData(LibraryPath(tag.c_str()));
        ResourceModule = library ? library : AppInstance;
        ASSERT_TRUE(tag.empty() || library);
        const std::pair<UINT, DLGPROC> dialogs[] = {{IDD_OPTIONS, OptionsDlgProc}, {IDD_ABOUT, AboutDlgProc}};
        for (const auto &dialog : dialogs)
        {
            SCOPED_TRACE(testing::Message() << "dialog " << dialog.first);
            HWND window = CreateDialogParamW(AppInstance, MAKEINTRESOURCEW(dialog.first), NULL, dialog.second, 0);
            ASSERT_NE(window, (HWND)NULL);
            if (tag == L"DE" && dialog.first == IDD_OPTIONS)
            {
                EXPECT_EQ(WindowTextOf(GetDlgItem(window, IDCANCEL)), L"Abbrechen") << "the library's texts are shown";
                EXPECT_EQ(WindowTextOf(GetDlgItem(window, IDC_COMBINATION_LABEL)), L"Swivo Alles") << "the menu's text";
            }
            ExpectEveryTextFits(window);
            ExpectNoOverlaps(window);
            DestroyWindow(window);
        }
        ResourceModule = AppInstance;
        if (library)
            FreeLibrary(library);
    }
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    if (!EnvironmentOf(L"ORNAX_LAYOUT_AT_200").empty())
    {
        EXPECT_EQ(dpi, 192) << "the scale did not take";
        return;
    }
    // Again at 200 %, in a process of its own: the scale is read at start.
    const std::wstring desktop = L"Control Panel\\Desktop";
    DWORD scaled = 192, normal = 96;
    ASSERT_TRUE(WriteRegistryData(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &scaled, sizeof(scaled)));
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    std::string output = RunToOutput(std::wstring(L"\"") + self + L"\" --gtest_filter=Dialogs.EveryText*",
                                     {L"ORNAX_LAYOUT_AT_200=1"});
    WriteRegistryData(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &normal, sizeof(normal));
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

// A language library carries every string and every tray-menu command of the
// executable (a missing one would show in English), keeps the names, fits the
// program's buffers, and holds no dialog template (it would never be used).
TEST(LanguageLibraries, EachCarriesWhatTheExecutableCarries)
{
    HMODULE program = LoadAsData(ProgramPath());
    ASSERT_NE(program, (HMODULE)NULL);
    std::map<UINT, std::wstring> english = StringsOf(program);
    ASSERT_GT(english.size(), 10u);
    std::vector<UINT> commands = TrayCommands(program);
    ASSERT_GT(commands.size(), 4u);
    for (const wchar_t *tag : LanguageTags)
    {
        SCOPED_TRACE(testing::Message() << "RES_" << std::string(tag, tag + wcslen(tag)));
        HMODULE library = LoadAsData(LibraryPath(tag));
        ASSERT_NE(library, (HMODULE)NULL);
        std::map<UINT, std::wstring> strings = StringsOf(library);
        for (const auto &entry : english)
        {
            SCOPED_TRACE(entry.first);
            const std::wstring &text = strings[entry.first];
            EXPECT_FALSE(text.empty());
            EXPECT_LT(text.size(), entry.first == IDS_ALT_NOTE ? 260u : (size_t)APP_STRING_CAPACITY);
            if (entry.second == L"Swivo" || entry.second == L"ORNAX")
            {
                EXPECT_EQ(text, entry.second) << "a name stays as it is";
            }
            EXPECT_EQ(CountOf(text, L'\n'), CountOf(entry.second, L'\n')) << "line breaks as in the executable";
        }
        std::vector<std::wstring> texts;
        EXPECT_EQ(TrayCommands(library, &texts), commands);
        for (size_t i = 0; i < texts.size() && i < commands.size(); ++i)
            EXPECT_EQ(texts[i].empty(), commands[i] == 0) << "item " << i;
        EXPECT_TRUE(NumberedResources(library, (LPCWSTR)RT_DIALOG).empty());
        FreeLibrary(library);
    }
    FreeLibrary(program);
}

// Sharp at every scale and on every display: each icon group has a true-colour
// image at every size the notification area and Explorer use, 16- and
// 256-colour images at 16 and 32 pixels, and every image is a bitmap with its
// mask (Windows XP reads no other kind).
TEST(ShippedFiles, IconsHaveAnImageForEverySizeTheShellUses)
{
    HMODULE program = LoadAsData(ProgramPath());
    ASSERT_NE(program, (HMODULE)NULL);
    std::vector<UINT> groups = NumberedResources(program, (LPCWSTR)RT_GROUP_ICON);
    ASSERT_TRUE(std::count(groups.begin(), groups.end(), (UINT)IDI_ATTACHED) &&
                std::count(groups.begin(), groups.end(), (UINT)IDI_NOT_ATTACHED));
    for (UINT group : groups)
    {
        SCOPED_TRACE(group);
        const BYTE *data = (const BYTE *)LockResource(
            LoadResource(program, FindResourceW(program, MAKEINTRESOURCEW(group), (LPCWSTR)RT_GROUP_ICON)));
        WORD count;
        memcpy(&count, data + 4, 2);
        std::set<std::pair<int, int>> images; // (size, bits per pixel)
        for (WORD i = 0; i < count; ++i)
        {
            const BYTE *entry = data + 6 + i * 14;
            int size = entry[0] ? entry[0] : 256;
            WORD bits, iconId;
            memcpy(&bits, entry + 6, 2);
            memcpy(&iconId, entry + 12, 2);
            images.insert({size, bits});
            HRSRC image = FindResourceW(program, MAKEINTRESOURCEW(iconId), (LPCWSTR)RT_ICON);
            ASSERT_NE(image, (HRSRC)NULL) << iconId;
            const BITMAPINFOHEADER *header = (const BITMAPINFOHEADER *)LockResource(LoadResource(program, image));
            EXPECT_TRUE(header->biSize == sizeof(BITMAPINFOHEADER) && header->biWidth == size &&
                        header->biHeight == 2 * size && header->biBitCount == bits)
                << "image " << iconId << " is a bitmap with its mask";
        }
        for (int size : {16, 20, 24, 32, 40, 48})
            EXPECT_TRUE(images.count({size, 32}) || images.count({size, 24})) << size << " px in true colour";
        for (int size : {16, 32})
            for (int bits : {4, 8})
                EXPECT_TRUE(images.count({size, bits})) << size << " px in " << bits << " bits";
    }
    FreeLibrary(program);
}

// What Explorer's Details tab shows: the version the project is built as.
TEST(ShippedFiles, TheVersionRecordSaysTheBuiltVersion)
{
    std::wstring version = EnvironmentOf(L"ORNAX_VERSION");
    unsigned parts[4] = {};
    ASSERT_EQ(swscanf(version.c_str(), L"%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]), 4);
    std::wstring path = ProgramPath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO *fixed;
    UINT length;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", (void **)&fixed, &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(parts[1], parts[0]));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(parts[3], parts[2]));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    auto text = [&](const wchar_t *name) {
        wchar_t *value = nullptr;
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
        return VerQueryValueW(block.data(), query.c_str(), (void **)&value, &length) && value ? std::wstring(value)
                                                                                             : std::wstring();
    };
    EXPECT_EQ(text(L"FileVersion"), version);
    EXPECT_EQ(text(L"ProductVersion"), version);
    EXPECT_EQ(text(L"OriginalFilename"), path.substr(path.rfind(L'\\') + 1));
    for (const wchar_t *name : {L"FileDescription", L"ProductName", L"CompanyName", L"LegalCopyright"})
        EXPECT_FALSE(text(name).empty()) << name;
}

// The real installer and zip of release/, run silently in the prefix: install,
// install over a running copy, uninstall.
#include "harness.h"

#include <shlobj.h>
#include <algorithm>
#include <map>

namespace
{
const DWORD Patience = 10000;
const std::wstring UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Swivo";
const std::wstring RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring SettingsKey = L"Software\\Quorvik\\Swivo";
const std::wstring ConnectKey = L"AppEvents\\Schemes\\Apps\\.Default\\DeviceConnect\\.Current";

std::wstring Folder(int csidl)
{
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(NULL, csidl, NULL, 0, path);
    return path;
}
std::wstring Version() { return EnvironmentOf(L"ORNAX_VERSION"); }
std::wstring SetupProgram() { return EnvironmentOf(L"ORNAX_RELEASE") + L"\\SwivoSetup-" + Version() + L".exe"; }
// The first install goes where the user chose; the default folder must then
// never appear.
std::wstring DefaultDir() { return Folder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Swivo"; }
std::wstring InstallDir() { return Folder(CSIDL_LOCAL_APPDATA) + L"\\Chosen Folder"; }
std::wstring Shortcut() { return Folder(CSIDL_PROGRAMS) + L"\\Swivo.lnk"; }
bool Exists(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ProgramRun Launch(const std::wstring &commandLine)
{
    ProgramRun run;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    run.started = CreateProcessW(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &run.process);
    return run;
}

long RunSetup(const std::wstring &commandLine)
{
    ProgramRun run = Launch(commandLine);
    long code = WaitForExit(run, 60000);
    CloseRun(run);
    return code;
}

// Starts a command line as the shell starts a Run value, and waits for the window.
ProgramRun StartCommand(const std::wstring &commandLine)
{
    ProgramRun run = Launch(commandLine);
    EXPECT_NE(WaitForProgramWindow(Patience), (HWND)NULL);
    return run;
}
}

class Installer : public RigTest
{
  protected:
    void Clean()
    {
        for (const std::wstring &folder : {InstallDir(), DefaultDir()})
        {
            for (const auto &file : FilesOf(folder))
                DeleteFileW((folder + L"\\" + file.first).c_str());
            RemoveDirectoryW(folder.c_str());
        }
        DeleteFileW(Shortcut().c_str());
        DeleteRegistryTree(HKEY_CURRENT_USER, UninstallKey);
        HKEY run;
        if (!RegOpenKeyExW(HKEY_CURRENT_USER, RunKey.c_str(), 0, KEY_SET_VALUE, &run))
        {
            RegDeleteValueW(run, L"Swivo");
            RegCloseKey(run);
        }
    }
    void SetUp() override
    {
        RigTest::SetUp();
        Clean();
    }
    void TearDown() override
    {
        Clean();
        DeleteRegistryTree(HKEY_CURRENT_USER, SettingsKey);
        DeleteRegistryTree(HKEY_CURRENT_USER, L"AppEvents");
        RigTest::TearDown();
    }
};

TEST_F(Installer, InstallsUpgradesARunningCopyAndUninstallsSilently)
{
    std::map<std::wstring, std::string> dist = FilesOf(DistFolder());
    const long setup = RunSetup(L"\"" + SetupProgram() + L"\" /S /D=" + InstallDir());
    // An installer has no relocations: it must load at 0x400000. Under a
    // user-mode emulator, a Wine whose loader is position-independent has that
    // loader put there, and no such program can start at all.
    if (setup == (long)0xC0000018L)
        GTEST_SKIP() << "this Wine's own loader occupies 0x400000 (a user-mode emulator put it there)";
    ASSERT_EQ(setup, 0);
    std::map<std::wstring, std::string> installed = FilesOf(InstallDir());
    EXPECT_TRUE(installed.erase(L"uninstall.exe"));
    EXPECT_TRUE(installed == dist) << "the installed files are not dist's";
    EXPECT_TRUE(Exists(Shortcut()));
    const std::wstring program = L"\"" + InstallDir() + L"\\ORNAX.exe\"";
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, RunKey, L"Swivo"), program);
    const std::pair<const wchar_t *, std::wstring> entry[] = {
        {L"DisplayName", L"Swivo"}, {L"DisplayVersion", Version()}, {L"Publisher", L"The Swivo software authors"},
        {L"DisplayIcon", InstallDir() + L"\\ORNAX.exe,0"},
        {L"UninstallString", L"\"" + InstallDir() + L"\\uninstall.exe\""},
        {L"QuietUninstallString", L"\"" + InstallDir() + L"\\uninstall.exe\" /S"}};
    for (const auto &value : entry)
        EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, UninstallKey, value.first), value.second) << value.first;

    // Started as at sign-in, with its tray icon; then upgraded over the
    // running copy, which ends by itself, a damaged file put right, in the
    // installed copy's folder although no folder is given.
    ProgramRun running = StartCommand(program);
    auto iconShown = [] {
        std::vector<COLORREF> icon = ScreenArea(1005, 750, 17, 17);
        return std::count_if(icon.begin(), icon.end(), [](COLORREF c) { return GetRValue(c) < 70 && GetGValue(c) < 70; }) > 10;
    };
    for (int i = 0; i < 100 && !iconShown(); ++i)
        Sleep(100);
    EXPECT_TRUE(iconShown()) << "no tray icon";
    LONG settings = 145;
    WriteRegistryData(HKEY_CURRENT_USER, SettingsKey, L"ActiveKey", REG_DWORD, &settings, 4);
    HANDLE damaged = CreateFileW((InstallDir() + L"\\RES_DE.DLL").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    CloseHandle(damaged);
    EXPECT_EQ(RunSetup(L"\"" + SetupProgram() + L"\" /S"), 0);
    EXPECT_EQ(WaitForExit(running, Patience), 0);
    CloseRun(running);
    installed = FilesOf(InstallDir());
    installed.erase(L"uninstall.exe");
    EXPECT_TRUE(installed == dist) << "the upgrade left other files than dist's";
    EXPECT_FALSE(Exists(DefaultDir())) << "the upgrade went to the default folder";

    // Uninstalled while running: a sound it silenced comes back with its type;
    // its settings stay.
    WriteRegistryData(HKEY_CURRENT_USER, ConnectKey, L"", REG_SZ, L"", 0);
    std::wstring old = L"%WinDir%\\Media\\connect.wav";
    WriteRegistryData(HKEY_CURRENT_USER, ConnectKey, L"Old", REG_EXPAND_SZ, old.c_str(), (DWORD)(old.size() + 1) * 2);
    running = StartCommand(program);
    RunSetup(ReadRegistryString(HKEY_CURRENT_USER, UninstallKey, L"QuietUninstallString"));
    EXPECT_EQ(WaitForExit(running, Patience), 0);
    CloseRun(running);
    // The uninstaller finishes from a copy of itself: wait for its folder to go.
    for (int i = 0; i < 100 && Exists(InstallDir()); ++i)
        Sleep(100);
    EXPECT_FALSE(Exists(InstallDir()));
    EXPECT_FALSE(Exists(Shortcut()));
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, RunKey, L"Swivo"), L"");
    HKEY key;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, UninstallKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    wchar_t sound[64] = L"";
    DWORD type = 0, size = sizeof(sound);
    RegGetValueW(HKEY_CURRENT_USER, ConnectKey.c_str(), L"", RRF_RT_ANY | RRF_NOEXPAND, &type, sound, &size);
    EXPECT_EQ(sound, old);
    EXPECT_EQ(type, (DWORD)REG_EXPAND_SZ);
    DWORD kept = 0;
    size = sizeof(kept);
    RegGetValueW(HKEY_CURRENT_USER, SettingsKey.c_str(), L"ActiveKey", RRF_RT_REG_DWORD, NULL, &kept, &size);
    EXPECT_EQ(kept, 145u);
}

// The release signed with a throwaway certificate authority (made by the
// signed_release test): the signed installer installs, the uninstaller that it
// writes is signed too, the installed program starts and switches, and the
// uninstaller ends it and removes it all. The manifest's product code names the uninstall entry.
TEST_F(Installer, TheSignedReleaseInstallsSwitchesAndUninstalls)
{
    const std::wstring work = EnvironmentOf(L"ORNAX_SIGNED");
    const std::wstring unixWork = EnvironmentOf(L"ORNAX_SIGNED_UNIX");
    const std::string unixPath(unixWork.begin(), unixWork.end());
    const long setup = RunSetup(L"\"" + work + L"\\release\\SwivoSetup-" + Version() + L".exe\" /S /D=" + InstallDir());
    if (setup == (long)0xC0000018L)
        GTEST_SKIP() << "this Wine's own loader occupies 0x400000 (a user-mode emulator put it there)";
    ASSERT_EQ(setup, 0);
    std::map<std::wstring, std::string> installed = FilesOf(InstallDir());
    ASSERT_TRUE(installed.count(L"uninstall.exe"));
    ASSERT_TRUE(CopyFileW((InstallDir() + L"\\uninstall.exe").c_str(), (work + L"\\installed-uninstall.exe").c_str(), FALSE));
    installed.erase(L"uninstall.exe");
    EXPECT_TRUE(installed == FilesOf(work + L"\\dist")) << "the installed files are not the signed dist's";
    std::string verified = RunUnix("osslsigncode verify -CAfile '" + unixPath + "/pki/ca.pem' -in '" + unixPath +
                                   "/installed-uninstall.exe'");
    EXPECT_NE(verified.find("Signature verification: ok"), std::string::npos) << verified;

    std::string manifest = ReadWholeFile(work + L"\\release\\winget\\SwivoAuthors.Swivo.installer.yaml");
    size_t code = manifest.find("\nProductCode: '");
    ASSERT_NE(code, std::string::npos) << manifest;
    code += 15;
    std::string productCode = manifest.substr(code, manifest.find('\'', code) - code);
    const std::wstring entry = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                               std::wstring(productCode.begin(), productCode.end());
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, entry, L"DisplayVersion"), Version()) << productCode;

    // Started, it switches when asked from the command line; the uninstaller ends it.
    ASSERT_TRUE(PlugSwitch());
    const std::wstring program = L"\"" + InstallDir() + L"\\ORNAX.exe\"";
    ProgramRun running = StartCommand(program);
    ASSERT_EQ(SimLogClear(), 0);
    EXPECT_EQ(RunSetup(program + L" /all"), 0);
    EXPECT_TRUE(WaitForSwitchLog(ReportLine("01 06"), Patience)) << SwitchLog();

    EXPECT_EQ(RunSetup(ReadRegistryString(HKEY_CURRENT_USER, UninstallKey, L"QuietUninstallString")), 0);
    EXPECT_EQ(WaitForExit(running, Patience), 0);
    CloseRun(running);
    for (int i = 0; i < 100 && Exists(InstallDir()); ++i)
        Sleep(100);
    EXPECT_FALSE(Exists(InstallDir()));
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, entry, L"DisplayVersion"), L"");
}

// For users who want no installer: the zip holds exactly what dist\ does.
TEST(Release, TheZipHoldsExactlyWhatDistHolds)
{
    std::string zip = ReadWholeFile(EnvironmentOf(L"ORNAX_RELEASE") + L"\\Swivo-" + Version() + L".zip");
    size_t end = zip.rfind(std::string("PK\5\6", 4));
    ASSERT_NE(end, std::string::npos);
    auto word = [&](size_t at) { return (unsigned)(unsigned char)zip[at] | (unsigned)(unsigned char)zip[at + 1] << 8; };
    auto dword = [&](size_t at) { return word(at) | word(at + 2) << 16; };
    std::map<std::wstring, unsigned> inZip, inDist;
    for (size_t at = dword(end + 16), n = word(end + 10); n--; at += 46 + word(at + 28) + word(at + 30) + word(at + 32))
    {
        std::string name = zip.substr(at + 46, word(at + 28));
        inZip[std::wstring(name.begin(), name.end())] = dword(at + 24);
    }
    for (const auto &file : FilesOf(DistFolder()))
        inDist[file.first] = (unsigned)file.second.size();
    EXPECT_EQ(inZip, inDist);
}

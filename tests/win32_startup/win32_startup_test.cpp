// The Win32 start-up pieces on a real (Wine) file system: attribute scans with
// SetFileAttributesW, a path outside code page 932, settings files that must not be replaced
// or that are links, and the argument string. The settings file under its Japanese name is
// read and written by velmora.scr in dialog_e2e.sh.
#include "platform/win32/startup_win32.h"
#include "startup/catalogue.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <filesystem>
#include <fstream>

using namespace velmora;
using namespace velmora::win32;

namespace {

struct TempFolder : ::testing::Test {
    std::wstring root;
    Win32FileSystem fs;
    Cp932Codec codec;

    TempFolder()
    {
        root = (std::filesystem::temp_directory_path() / (L"velmora-写真-" + std::to_wstring(GetCurrentProcessId())))
                   .wstring();
        std::filesystem::create_directory(root);
    }
    ~TempFolder() override
    {
        std::error_code ignored; // read-only files first made deletable
        for (const auto& entry : std::filesystem::directory_iterator(root, ignored))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(root, ignored);
    }
    std::wstring touch(const std::wstring& name, DWORD attributes)
    {
        const std::wstring path = root + L"\\" + name;
        std::ofstream(std::filesystem::path(path)) << "x";
        SetFileAttributesW(path.c_str(), attributes);
        return path;
    }
    std::string rootUtf8() const { return narrow(root); }
};

// Under Wine a Windows program can start a Unix one; Wine also maps a file of another Unix user
// to an owner that is not us, and shows a Unix symbolic link as the file it names. Real Windows
// needs privileges for both, which a test run seldom has.
bool underWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::string unixPath(const std::wstring& path)
{
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!name)
        return {};
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Wine starts a Unix program without a handle to wait on, so the caller polls for its effect.
bool startUnix(const std::string& commandLine)
{
    std::wstring command = widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    return true;
}

template <class Condition> bool pollFor(Condition condition)
{
    for (int tries = 0; tries < 200; ++tries) { // ten seconds
        if (condition())
            return true;
        Sleep(50);
    }
    return false;
}

std::wstring ownerOf(const std::wstring& path)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    wchar_t* text = nullptr;
    std::wstring result = owner && ConvertSidToStringSidW(owner, &text) ? text : L"";
    LocalFree(text);
    LocalFree(descriptor);
    return result;
}

// Gives the file another owner: LocalSystem where the system lets us (an administrator with the
// restore privilege), else under Wine the Unix user nobody (which needs root).
bool giveToAnotherUser(const std::wstring& path)
{
    const std::wstring ours = ownerOf(path);
    PSID system = nullptr;
    ConvertStringSidToSidW(L"S-1-5-18", &system);
    SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, system,
                          nullptr, nullptr, nullptr);
    LocalFree(system);
    const auto changed = [&] { return ownerOf(path) != ours; };
    if (changed())
        return true;
    return underWine() && startUnix("/bin/chown nobody \"" + unixPath(path) + "\"") && pollFor(changed);
}

// Removes what the helpers above made. Wine refuses to remove another user's file and removes a
// Unix link's target rather than the link, so under Wine it goes the Unix way.
void removeMadeFile(const std::wstring& path)
{
    const auto gone = [&] { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; };
    if (underWine() && startUnix("/bin/rm -f \"" + unixPath(path) + "\"") && pollFor(gone))
        return;
    DeleteFileW(path.c_str());
}

// The file the system opens for a path, as GetFinalPathNameByHandleW names it.
std::wstring openedFile(const std::wstring& path)
{
    HANDLE f = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return {};
    std::wstring name(32768, L'\0');
    name.resize(GetFinalPathNameByHandleW(f, name.data(), DWORD(name.size()), FILE_NAME_NORMALIZED));
    CloseHandle(f);
    return name;
}

// A link named `link` to the file `target`: a Windows symbolic link where the system makes one
// (Wine 8 reports success and makes nothing), else under Wine a Unix one.
bool makeLink(const std::wstring& link, const std::wstring& target)
{
    const auto made = [&] { return GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; };
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) && made())
        return true;
    return underWine() && startUnix("/bin/ln -s \"" + unixPath(target) + "\" \"" + unixPath(link) + "\"") &&
           pollFor(made);
}

} // namespace

TEST_F(TempFolder, ScanTakesEveryFileThatIsNotHiddenOrSystem)
{
    touch(L"normal.jpg", FILE_ATTRIBUTE_NORMAL);
    touch(L"archived.jpg", FILE_ATTRIBUTE_ARCHIVE);
    touch(L"readonly.bmp", FILE_ATTRIBUTE_READONLY);
    touch(L"both.gif", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    const auto hidden = touch(L"hidden.jpg", FILE_ATTRIBUTE_HIDDEN);
    const auto system = touch(L"system.wmf", FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryW((root + L"\\folder.jpg").c_str(), nullptr);
    touch(L"other.txt", FILE_ATTRIBUTE_NORMAL);

    Catalogue c;
    BuildImageList(rootUtf8(), {1, 1, 1, 1}, fs, c);
    std::vector<std::string> names;
    for (int i = 1; i <= c.ImageCount; ++i)
        names.push_back(c.ImageList[std::size_t(i)].substr(rootUtf8().size() + 1));
    std::vector<std::string> expected{"archived.jpg", "both.gif", "normal.jpg", "readonly.bmp"};
    // Where the file system cannot keep a hidden or system bit, that file is an ordinary one.
    if (!(GetFileAttributesW(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN))
        expected.push_back("hidden.jpg");
    if (!(GetFileAttributesW(system.c_str()) & FILE_ATTRIBUTE_SYSTEM))
        expected.push_back("system.wmf");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(GetFileAttributesW((root + L"\\both.gif").c_str()) & FILE_ATTRIBUTE_READONLY);

    // The catalogue's one listing takes exactly what the system's search per kind takes,
    // case, dots and short names included.
    for (const wchar_t* name : {L"UPPER.JPG", L"two.dots.bmp", L"long.jpeg", L"longer.gifs", L"x.wmf.txt"})
        touch(name, FILE_ATTRIBUTE_NORMAL);
    const std::vector<std::string_view> kinds(PicturePatterns.begin(), PicturePatterns.end());
    std::vector<std::string> once = fs.findPlainFiles(rootUtf8(), kinds);
    std::vector<std::string> perKind = fs.FileSystem::findPlainFiles(rootUtf8(), kinds);
    std::sort(once.begin(), once.end());
    std::sort(perKind.begin(), perKind.end());
    perKind.erase(std::unique(perKind.begin(), perKind.end()), perKind.end());
    EXPECT_EQ(once, perKind);
}

TEST_F(TempFolder, PathOutsideCodePage932IsStoredShortOrReported)
{
    const std::wstring folder = root + L"\\Café";
    CreateDirectoryW(folder.c_str(), nullptr);
    SettingsLocation location{rootUtf8(), {}, {}};
    Settings settings;
    const auto result = SaveSettings(settings, {narrow(folder), "0"}, location, fs, codec);
    const auto alias = fs.shortPath(narrow(folder));
    const bool aliasFits = alias && codec.toCp932(*alias);
    EXPECT_EQ(result.ok(), aliasFits);

    Settings reread;
    Catalogue catalogue;
    (void)LoadSettings(location, fs, codec, reread, catalogue);
    if (aliasFits)
        EXPECT_TRUE(FolderExists(fs, reread.ImageFolder)) << reread.ImageFolder;
    else
        EXPECT_EQ(reread.ImageFolder, "");
}

// A read-only file and one over the limit beside the program are never replaced, nor shadowed by
// a per-user file; what a killed save left beside the file goes at the next save.
TEST_F(TempFolder, ReadOnlyAndOversizedFilesAreKeptAndNothingIsWrittenPerUser)
{
    const std::wstring program = root + L"\\program";
    const std::wstring appData = root + L"\\appdata";
    CreateDirectoryW(program.c_str(), nullptr);
    const SettingsLocation location{narrow(program), narrow(appData), {}};
    const std::wstring file = program + L"\\ヴェルモラ.ini";
    const std::wstring stale = file + widen(TemporaryMark) + L"1234";
    Settings settings;
    const auto contents = [&] { return fs.readFile(narrow(file), SettingsFileLimit + 1).bytes; };

    std::ofstream(std::filesystem::path(file), std::ios::binary) << "[Section]\r\n";
    std::ofstream(std::filesystem::path(stale), std::ios::binary) << "half";
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    auto result = SaveSettings(settings, {}, location, fs, codec);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.reason().problem, SaveProblem::ReadOnly);
    EXPECT_EQ(contents(), "[Section]\r\n");
    EXPECT_EQ(GetFileAttributesW(stale.c_str()), INVALID_FILE_ATTRIBUTES);

    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::resize_file(std::filesystem::path(file), SettingsFileLimit + 1);
    result = SaveSettings(settings, {}, location, fs, codec);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.reason().problem, SaveProblem::TooLarge);
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(file)), SettingsFileLimit + 1);
    EXPECT_EQ(GetFileAttributesW(appData.c_str()), INVALID_FILE_ATTRIBUTES); // no per-user file at all

    std::filesystem::resize_file(std::filesystem::path(file), 0);
    result = SaveSettings(settings, {}, location, fs, codec);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result->file, narrow(file));
    EXPECT_NE(contents().find("[Section]"), std::string::npos);
}

// Another user's settings file is left alone even though the folder would let us replace it,
// and nothing goes to the per-user file instead.
TEST_F(TempFolder, AnotherUsersFileIsNeverReplaced)
{
    const std::wstring program = root + L"\\program";
    const std::wstring appData = root + L"\\appdata";
    CreateDirectoryW(program.c_str(), nullptr);
    const SettingsLocation location{narrow(program), narrow(appData), {}};
    const std::wstring file = program + L"\\ヴェルモラ.ini";
    std::ofstream(std::filesystem::path(file), std::ios::binary) << "[Section]\r\n";
    if (!giveToAnotherUser(file))
        GTEST_SKIP() << "no way to give a file another owner here (needs an "
                        "administrator, or root under Wine)";

    Settings settings;
    const auto result = SaveSettings(settings, {}, location, fs, codec);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.reason().problem, SaveProblem::OtherOwner);
    EXPECT_EQ(fs.readFile(narrow(file), SettingsFileLimit).bytes, "[Section]\r\n");
    EXPECT_EQ(GetFileAttributesW(appData.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(failureOf(fs.replaceFile(narrow(file), "new")), WriteProblem::OtherOwner);
    removeMadeFile(file);
}

// A settings file that is a link: its target gets the new contents, the link stays a link, and
// neither folder keeps a temporary file.
TEST_F(TempFolder, LinkedSettingsFileHasItsTargetReplaced)
{
    const std::wstring program = root + L"\\program";
    const std::wstring elsewhere = root + L"\\elsewhere";
    CreateDirectoryW(program.c_str(), nullptr);
    CreateDirectoryW(elsewhere.c_str(), nullptr);
    const std::wstring file = program + L"\\ヴェルモラ.ini";
    const std::wstring target = elsewhere + L"\\kept.ini";
    std::ofstream(std::filesystem::path(target), std::ios::binary) << "[Section]\r\n";
    if (!makeLink(file, target))
        GTEST_SKIP() << "no way to make a symbolic link here (needs the privilege, or Wine)";
    const std::wstring linkedTo = openedFile(file);
    ASSERT_NE(linkedTo.find(L"kept.ini"), std::wstring::npos) << narrow(linkedTo);

    Settings settings;
    settings.ImageOrder = 1;
    const auto result = SaveSettings(settings, {}, {narrow(program), {}, {}}, fs, codec);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(openedFile(file), linkedTo);
    const std::string written = fs.readFile(narrow(target), SettingsFileLimit).bytes;
    EXPECT_NE(written.find("[Section]"), std::string::npos);
    EXPECT_NE(written, "[Section]\r\n");
    for (const std::wstring& folder : {program, elsewhere})
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << narrow(folder);
    removeMadeFile(file);
}

TEST(ArgumentString, FollowsTheProgramNameQuotedOrNot)
{
    EXPECT_EQ(argumentString(L"\"C:\\Program Files\\v.scr\" /s"), L"/s");
    EXPECT_EQ(argumentString(L"C:\\v.scr   /p 1234"), L"/p 1234");
    EXPECT_EQ(argumentString(L"v.scr"), L"");
    EXPECT_EQ(argumentString(L"\"v.scr\"/c"), L"/c");
    EXPECT_EQ(argumentString(L"\"unterminated"), L"");
}

// The POSIX file system on a real temporary folder: Windows-style wildcards and the
// attribute mapping the catalogue relies on.
#include "platform/linux/home_path.h"
#include "platform/linux/startup_linux.h"
#include "startup/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmora;
using velmora::posix::PosixFileSystem;

namespace {

struct TempFolder : ::testing::Test {
    std::string root;
    PosixFileSystem fs;

    TempFolder()
    {
        std::string pattern = ::testing::TempDir() + "velmora-fs-XXXXXX";
        root = ::mkdtemp(pattern.data());
    }
    ~TempFolder() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::string touch(const std::string& name, const std::string& bytes = "x")
    {
        std::ofstream(root + "/" + name) << bytes;
        return root + "/" + name;
    }
};

} // namespace

TEST(Wildcards, MatchLikeWindowsWithoutCase)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"*.jpg", "a.JPG", true},     {"*.jpg", ".jpg", true},         {"*.jpg", "a.b.jpg", true},
        {"*.jpg", "a.jpeg", false},   {"*.jpg", "a.jpg.txt", false},   {"*.*", "noextension", true},
        {"a?c*", "abcdef", true},     {"a?c", "ac", false}};
    for (const auto& [pattern, name, matches] : cases)
        EXPECT_EQ(posix::wildcardMatch(pattern, name), matches) << pattern << " " << name;
}

TEST_F(TempFolder, CatalogueSkipsHiddenSpecialAndDanglingEntries)
{
    touch("b.JPG");
    const std::string readOnly = touch("a.gif");
    ::chmod(readOnly.c_str(), 0444);
    touch(".hidden.bmp");
    ::mkfifo((root + "/pipe.jpg").c_str(), 0644);
    ::mkdir((root + "/folder.bmp").c_str(), 0755);
    ASSERT_EQ(::symlink("nowhere", (root + "/dangling.wmf").c_str()), 0);
    ASSERT_EQ(::symlink("b.JPG", (root + "/link.jpg").c_str()), 0);
    ASSERT_EQ(::symlink("folder.bmp", (root + "/link-to-folder.gif").c_str()), 0);
    ASSERT_EQ(::symlink("pipe.jpg", (root + "/link-to-pipe.wmf").c_str()), 0);
    touch("other.png");
    Catalogue c;
    BuildImageList(root, {1, 1, 1, 1}, fs, c);
    EXPECT_EQ(c.ImageList, (std::vector<std::string>{"", root + "/a.gif", root + "/b.JPG", root + "/link.jpg"}));

    // The one listing decides exactly as the attributes of a search per kind do.
    const std::vector<std::string_view> kinds(PicturePatterns.begin(), PicturePatterns.end());
    std::vector<std::string> once = fs.findPlainFiles(root, kinds);
    std::vector<std::string> perKind = fs.FileSystem::findPlainFiles(root, kinds);
    std::sort(once.begin(), once.end());
    std::sort(perKind.begin(), perKind.end());
    EXPECT_EQ(once, perKind);
    ::chmod(root.c_str(), 0600);
    const bool unsearchable = ::access(root.c_str(), X_OK) != 0; // not so for root
    EXPECT_EQ(fs.findPlainFiles(root, kinds).empty(), unsearchable);
    EXPECT_EQ(fs.FileSystem::findPlainFiles(root, kinds).empty(), unsearchable);
    ::chmod(root.c_str(), 0700);

    std::map<std::string, std::uint32_t> attributes;
    for (const auto& f : fs.findFiles(root + "/*.*"))
        attributes[f.name] = f.attributes;
    EXPECT_EQ(attributes[".hidden.bmp"], AttrHidden);
    EXPECT_EQ(attributes["a.gif"], AttrReadOnly);
    EXPECT_EQ(attributes["pipe.jpg"], AttrSystem);
    EXPECT_EQ(attributes["."], AttrDirectory);
    EXPECT_EQ(attributes.count("dangling.wmf"), 0u);
    // A FIFO is no file to open, and asking must not hang.
    EXPECT_FALSE(FileExists(fs, root + "/pipe.jpg"));
    EXPECT_FALSE(FileExists(fs, root + "/folder.bmp"));
    EXPECT_TRUE(FileExists(fs, root + "/b.JPG"));
    EXPECT_TRUE(FolderExists(fs, root + "/folder.bmp"));
    EXPECT_FALSE(FolderExists(fs, root + "/b.JPG"));
}

// settings_e2e.sh finds the file the window saves under $XDG_CONFIG_HOME/velmora.
TEST(SettingsLocation, PerUserFolderFallsBackToHomeWithoutAnAbsoluteXdgConfigHomeAndExplicitFilesAreChecked)
{
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(posix::settingsLocation().perUserFolder, "/home/someone/.config/velmora");
    ::unsetenv("XDG_CONFIG_HOME");
    // The state file follows the same rule under XDG_STATE_HOME.
    ::setenv("XDG_STATE_HOME", "relative", 1);
    EXPECT_EQ(posix::stateFileLocation(), "/home/someone/.local/state/velmora/state");
    ::setenv("XDG_STATE_HOME", "/srv/state", 1);
    EXPECT_EQ(posix::stateFileLocation(), "/srv/state/velmora/state");
    ::unsetenv("XDG_STATE_HOME");
    // An explicit file that is missing or a folder is named.
    EXPECT_NE(reasonText(posix::explicitFileUsable("/no/such/velmora.ini")).find("does not exist"), std::string::npos);
    EXPECT_NE(reasonText(posix::explicitFileUsable("/tmp")).find("is a folder"), std::string::npos);
    EXPECT_TRUE(posix::explicitFileUsable("").ok());
}

TEST_F(TempFolder, TheDaemonsFolderOnlyWhenNeitherTheOptionsNorTheFileNameOne)
{
    ::mkdir((root + "/daemon").c_str(), 0755);
    ::mkdir((root + "/mine").c_str(), 0755);
    touch("daemon/d.jpg");
    touch("mine/m1.jpg");
    touch("mine/m2.gif");
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1); // no settings file there

    // Blanks, "~" and a continued line; daemon_e2e.sh reads tabs and grabDesktopImages.
    const auto prefs = posix::parseDaemonPreferences(
        "# comment\nimageDirectory:  ~/daemon\r\nprograms: \\\n  velmora -root \\n\\\n", root);

    posix::IconvCodec codec;
    const auto load = [&](const posix::RunSettings& run) {
        Settings settings;
        Catalogue catalogue;
        std::ostringstream messages;
        posix::loadRunSettings(run, fs, codec, settings, catalogue, messages);
        // The show's way: the same settings, and a scan left for later that finds the same.
        Settings showSettings;
        Catalogue empty;
        CatalogueScan later;
        posix::loadRunSettings(run, fs, codec, showSettings, empty, messages, &later);
        EXPECT_EQ(empty.ImageCount, 0);
        EXPECT_EQ(showSettings.ImageFolder, settings.ImageFolder);
        EXPECT_EQ(BuildImageList(later, fs).ImageList, catalogue.ImageList);
        return std::pair{settings.ImageFolder, catalogue.ImageCount};
    };
    posix::RunSettings run{posix::settingsLocation(), {}, prefs};
    EXPECT_EQ(load(run), std::pair(root + "/daemon", 1));

    // The settings file's folder wins over the daemon's, and an option over both.
    const std::string ini = touch("v.ini", "[Section]\n画像のﾌｫﾙﾀﾞ=" + root + "/mine\n");
    run.location = posix::settingsLocation(ini);
    EXPECT_EQ(load(run), std::pair(root + "/mine", 2));
    ASSERT_TRUE(posix::setOverride("kinds", "gif", run.overrides).ok());
    EXPECT_EQ(load(run), std::pair(root + "/mine", 1));
    ASSERT_TRUE(posix::setOverride("folder", root + "/daemon/d.jpg", run.overrides).ok()); // a picture: its folder
    EXPECT_EQ(run.overrides.folder, root + "/daemon");
    ASSERT_TRUE(posix::setOverride("folder", root + "/daemon", run.overrides).ok());
    run.daemon.reset();
    EXPECT_EQ(load(run), std::pair(root + "/daemon", 0)); // only GIFs asked for: the desktop copy

    // Outside the daemon, or with its folder gone, no folder at all gives the samples (the
    // Linux show's end-to-end test shows them) but still no folder.
    run = {posix::settingsLocation(root + "/missing.ini"), {}, {}};
    EXPECT_EQ(load(run).first, "");
    run.daemon = posix::parseDaemonPreferences("imageDirectory: ~/gone\n", root);
    EXPECT_EQ(load(run).first, "");
}

TEST(HomePath, OnlyALeadingTildeAloneOrBeforeASlashIsTheHome)
{
    const std::pair<const char*, const char*> cases[] = {
        {"~", "/home/u"},        {"~/", "/home/u/"},         {"~/Pictures/x.jpg", "/home/u/Pictures/x.jpg"},
        {"~user/x", "~user/x"},  {"/srv/~/x", "/srv/~/x"},   {"x~/y", "x~/y"},
        {"", ""},                {"~~/x", "~~/x"}};
    for (const auto& [written, read] : cases)
        EXPECT_EQ(posix::expandHome(written, "/home/u"), read) << written;
    EXPECT_EQ(posix::expandHome("~/x", "/home/u/"), "/home/u/x");
    EXPECT_EQ(posix::expandHome("~/x", "/"), "/x");
    EXPECT_EQ(posix::expandHome("~", "/"), "/");
    // No usable home: the path stays as written rather than becoming relative to somewhere.
    EXPECT_EQ(posix::expandHome("~/x", ""), "~/x");
    EXPECT_EQ(posix::expandHome("~/x", "relative"), "~/x");
}

// "~" wherever a user writes a path: the settings file's folder and music, the options, and
// the daemon's imageDirectory; a folder that is not there is said once before the fallback.
TEST_F(TempFolder, TildePathsAreTheHomeAndMissingFoldersAreReportedOnce)
{
    ::mkdir((root + "/mine").c_str(), 0755);
    touch("mine/m.jpg");
    touch("song.mp3");
    const char* savedHome = std::getenv("HOME");
    const std::string oldHome = savedHome ? savedHome : "";
    ::setenv("HOME", root.c_str(), 1);
    posix::IconvCodec codec;
    const auto load = [&](const posix::RunSettings& run, std::string* said = nullptr) {
        Settings settings;
        Catalogue catalogue;
        std::ostringstream messages;
        posix::loadRunSettings(run, fs, codec, settings, catalogue, messages);
        if (said)
            *said = messages.str();
        return std::pair{settings, catalogue.ImageCount};
    };
    const std::string ini = touch("v.ini", "[Section]\n画像のﾌｫﾙﾀﾞ=~/mine\nBGM区分=2\nBGMﾌｧｲﾙ=~/song.mp3\n");
    auto [settings, count] = load({posix::settingsLocation(ini), {}, {}});
    EXPECT_EQ(settings.ImageFolder, root + "/mine");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(settings.BgmFile, root + "/song.mp3");
    EXPECT_EQ(settings.BgmKind, 2);

    posix::RunSettings run{posix::settingsLocation(touch("gone.ini", "[Section]\n画像のﾌｫﾙﾀﾞ=~/gone\n")), {}, {}};
    run.daemon = posix::parseDaemonPreferences("imageDirectory: ~/mine\n", root);
    std::string said;
    EXPECT_EQ(load(run, &said).first.ImageFolder, root + "/mine"); // the daemon's, after the file's is gone
    EXPECT_EQ(said, "velmora: there is no folder " + root + "/gone (the settings file's folder)\n");
    ASSERT_TRUE(posix::setOverride("folder", "~/nowhere", run.overrides).ok());
    ASSERT_TRUE(posix::setOverride("music", "~/song.mp3", run.overrides).ok());
    EXPECT_EQ(run.overrides.bgmFile, root + "/song.mp3");
    run.location = posix::settingsLocation();
    run.daemon = posix::parseDaemonPreferences("imageDirectory: ~/lost\n", root);
    EXPECT_EQ(load(run, &said).first.ImageFolder, "");
    EXPECT_EQ(said, "velmora: there is no folder " + root + "/nowhere\n" + "velmora: there is no folder " + root +
                        "/lost (the daemon's imageDirectory)\n");

    // The daemon's image settings as its image hacks read them: with chooseRandomImages off
    // its folder is not used, and with grabbing allowed only the desktop copy is left.
    run.overrides = {};
    run.daemon = posix::parseDaemonPreferences("imageDirectory: ~/mine\nchooseRandomImages: False\n", root);
    EXPECT_GT(load(run).second, 0); // the samples
    EXPECT_EQ(load(run).first.ImageFolder, "");
    run.daemon->grabDesktopImages = true;
    EXPECT_EQ(load(run).second, 0);
    ::setenv("HOME", oldHome.c_str(), 1);
}

// An explicit settings file round-trips through iconv; one of a few megabytes (long
// comments, say) is read whole and replaced whole, keeping its mode; one past the limit is
// reported and, like any file that cannot be read, never replaced. Folders made with their
// parents and new files are what settings_e2e.sh's save case makes.
TEST_F(TempFolder, ExplicitSettingsFilesRoundTripLargeOnesAreReadAndTooLargeOnesReportedAndKept)
{
    posix::IconvCodec codec;
    const std::string file = root + "/設定.ini";
    const std::string folder = root + "/写真";
    ::mkdir(folder.c_str(), 0755);
    touch("写真/a.jpg");
    Settings settings;
    settings.FilterMode = 0;
    const auto saved = SaveSettings(settings, {folder, "4"}, posix::settingsLocation(file), fs, codec);
    ASSERT_TRUE(saved.ok());
    std::string text;
    while (text.size() < std::size_t(5) << 20)
        text += "; " + std::string(78, 'x') + "\r\n";
    text += fs.readFile(file, 4096).bytes;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    settings = Settings();
    Catalogue catalogue;
    EXPECT_TRUE(LoadSettings(posix::settingsLocation(file), fs, codec, settings, catalogue).ok());
    EXPECT_EQ(settings.FilterMode, 0);
    EXPECT_EQ(settings.BgmRepeat, 4);
    EXPECT_EQ(settings.ImageFolder, folder);
    EXPECT_EQ(catalogue.ImageCount, 1);
    ::chmod(file.c_str(), 0640); // not the mode a temporary file is made with
    ASSERT_TRUE(SaveSettings(settings, {folder, "5"}, posix::settingsLocation(file), fs, codec).ok());
    std::string expected = text;
    expected.replace(expected.rfind("= 4"), 3, "= 5"); // the repeat track, the only 4
    EXPECT_TRUE(fs.readFile(file, SettingsFileLimit).bytes == expected);
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(failureOf(fs.replaceFile(root + "/missing/f", "a")), WriteProblem::Failed);

    ASSERT_EQ(::truncate(file.c_str(), off_t(SettingsFileLimit) + 1), 0);
    const std::string problem = reasonText(LoadSettings(posix::settingsLocation(file), fs, codec, settings, catalogue));
    EXPECT_NE(problem.find("larger than 16 MB"), std::string::npos) << problem;
    EXPECT_EQ(settings.ImageFolder, "");
    EXPECT_FALSE(SaveSettings(settings, {"", "0"}, posix::settingsLocation(file), fs, codec).ok());
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, off_t(SettingsFileLimit) + 1);
}

// The real file system's part of "never lost": a read-only file and another user's file are
// left alone, a link's target is replaced (the link stays), a closed folder is told apart,
// and what a killed save left is removed by the next one.
TEST_F(TempFolder, ReplacementsKeepReadOnlyAndForeignFilesFollowLinksAndClearStaleTemporaries)
{
    const std::string file = touch("v.ini", "old");
    ::chmod(file.c_str(), 0444);
    EXPECT_EQ(failureOf(fs.replaceFile(file, "new")), WriteProblem::ReadOnly);
    ::chmod(file.c_str(), 0644);
    if (::geteuid() == 0) { // only root can give a file away
        ASSERT_EQ(::chown(file.c_str(), 1, 1), 0);
        EXPECT_EQ(failureOf(fs.replaceFile(file, "new")), WriteProblem::OtherOwner);
        ASSERT_EQ(::chown(file.c_str(), 0, 0), 0);
    }
    EXPECT_EQ(fs.readFile(file, 100).bytes, "old");

    ::mkdir((root + "/real").c_str(), 0755);
    const std::string target = touch("real/target.ini", "old");
    const std::string link = root + "/link.ini";
    ASSERT_EQ(::symlink("real/target.ini", link.c_str()), 0);
    const std::string stale = target + std::string(TemporaryMark) + "Xy12Zq";
    touch("real/target.ini" + std::string(TemporaryMark) + "Xy12Zq", std::string(1000, 'h'));
    const std::string other = touch("real/target.ini.mine", "kept");
    fs.removeTemporaries(link);
    EXPECT_FALSE(fs.fileExists(stale));
    EXPECT_TRUE(fs.fileExists(other));
    ASSERT_TRUE(fs.replaceFile(link, "new").ok());
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(fs.readFile(target, 100).bytes, "new");

    if (::geteuid() != 0) { // root writes into any folder
        ::chmod((root + "/real").c_str(), 0555);
        EXPECT_EQ(failureOf(fs.replaceFile(root + "/real/new.ini", "x")), WriteProblem::FolderClosed);
        ::chmod((root + "/real").c_str(), 0755);
    }
}

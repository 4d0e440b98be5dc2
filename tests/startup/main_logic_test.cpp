// Main's decision sequence against a platform that records what was asked of it.
#include "startup/main_logic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velmora;

namespace {

class RecordingPlatform final : public StartupPlatform {
public:
    std::vector<std::string> calls;
    std::string openWindow; // title of a window that "exists"
    bool nt = true;
    int pictures = 0;

    bool windowExists(std::string_view title) override
    {
        calls.push_back("find " + std::string(title));
        return title == openWindow;
    }
    void loadSettings(Settings& settings, Catalogue& catalogue) override
    {
        calls.push_back("load");
        settings.ImageOrder = 0;
        catalogue.ImageCount = pictures;
        catalogue.ImageList.resize(std::size_t(pictures) + 1);
    }
    bool isWinNT() override
    {
        calls.push_back("isnt");
        return nt;
    }
    void changePassword(std::int32_t parent) override { calls.push_back("password " + std::to_string(parent)); }
    void openPreview(std::int32_t parent) override { calls.push_back("preview " + std::to_string(parent)); }
    void openDialog(StartupState&) override { calls.push_back("dialog"); }
    void openShow(StartupState& state) override { calls.push_back("show " + state.modeLetter); }
    std::int32_t showCursor(bool show) override
    {
        calls.push_back(show ? "cursor on" : "cursor off");
        return -1;
    }
    void enableSystemKeys(bool enable) override { calls.push_back(enable ? "keys on" : "keys off"); }
};

using Calls = std::vector<std::string>;
const std::string kFindShow = "find Velmora_Main";
const std::string kFindDialog = "find ヴェルモラの設定";

StartupOutcome run(const char* line, RecordingPlatform& p, StartupState& state)
{
    Random random(7);
    return Main(line, p, random, state);
}

} // namespace

TEST(Main, ShowModeHidesTheCursorAndTellsTheSystem)
{
    for (const char* line : {"/s", "/S", "-s"}) {
        RecordingPlatform p;
        p.pictures = 3;
        StartupState state;
        EXPECT_EQ(run(line, p, state), StartupOutcome::ShowOpened);
        EXPECT_EQ(p.calls, (Calls{kFindShow, kFindDialog, "load", "cursor off", "keys off", "show S"})) << line;
        EXPECT_EQ(state.CursorState, -1);
        EXPECT_EQ(state.catalogue.ShowOrder, (std::vector<int>{0, 1, 2, 3}));
    }
}

TEST(Main, EmptyCommandLineShowsWithTheCursorAndWithoutTellingTheSystem)
{
    RecordingPlatform p;
    StartupState state;
    EXPECT_EQ(run("", p, state), StartupOutcome::ShowOpened);
    EXPECT_EQ(p.calls, (Calls{kFindShow, kFindDialog, "load", "show "}));
    EXPECT_TRUE(state.catalogue.ShowOrder.empty()); // no pictures: no order
}

TEST(Main, UnknownLettersAndOneCharacterLinesEndAfterLoadingTheSettings)
{
    for (const char* line : {"/x", "s"}) {
        RecordingPlatform p;
        StartupState state;
        EXPECT_EQ(run(line, p, state), StartupOutcome::Ended);
        EXPECT_EQ(p.calls, (Calls{kFindShow, kFindDialog, "load"})) << line;
    }
}

TEST(Main, AnOpenShowOrDialogWindowStopsEveryModeBeforeAnythingElse)
{
    for (const std::string& title : {std::string("Velmora_Main"), std::string("ヴェルモラの設定")})
        for (const char* line : {"/s", "/p 5", "/c", "/a 5", ""}) {
            RecordingPlatform p;
            p.openWindow = title;
            StartupState state;
            EXPECT_EQ(run(line, p, state), StartupOutcome::AnotherInstance);
            EXPECT_EQ(p.calls, (Calls{kFindShow, kFindDialog})) << line;
        }
}

TEST(Main, PreviewGetsTheHandleAndNoSettings)
{
    RecordingPlatform p;
    StartupState state;
    EXPECT_EQ(run("/p 1234", p, state), StartupOutcome::PreviewOpened);
    EXPECT_EQ(p.calls, (Calls{kFindShow, kFindDialog, "preview 1234"}));

    RecordingPlatform bare;
    EXPECT_EQ(run("/p", bare, state), StartupOutcome::PreviewOpened);
    EXPECT_EQ(bare.calls.back(), "preview 0");
}

TEST(Main, PasswordChangeOnlyOffTheNtFamilyAndOnlyWithANumericHandle)
{
    RecordingPlatform nt;
    StartupState state;
    EXPECT_EQ(run("/a 1234", nt, state), StartupOutcome::Ended);
    EXPECT_EQ(nt.calls, (Calls{kFindShow, kFindDialog, "load", "isnt"}));

    RecordingPlatform win98;
    win98.nt = false;
    run("/a 1234", win98, state);
    EXPECT_EQ(win98.calls.back(), "password 1234");

    RecordingPlatform garbage;
    garbage.nt = false;
    run("/a abc", garbage, state);
    EXPECT_EQ(garbage.calls.back(), "isnt");
}

TEST(Main, ConfigureOpensTheDialogAndEnds)
{
    for (const char* line : {"/c", "/C", "/c:1234"}) {
        RecordingPlatform p;
        StartupState state;
        EXPECT_EQ(run(line, p, state), StartupOutcome::Ended);
        EXPECT_EQ(p.calls, (Calls{kFindShow, kFindDialog, "load", "dialog"})) << line;
    }
}

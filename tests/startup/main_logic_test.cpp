// Main's decision sequence against a platform that records what was asked of it.
#include "startup/main_logic.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace velmora;

namespace {

class RecordingPlatform : public StartupPlatform {
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
        // Settings of 0, not the defaults, so that a key that is not a number reads as 0.
        EXPECT_TRUE(settings.ImageSize == 0 && settings.FilterMode == 0);
        EXPECT_EQ(settings.ImageKinds, decltype(settings.ImageKinds){});
        settings.ImageOrder = 0;
        catalogue.ImageCount = pictures;
        catalogue.ImageList.resize(std::size_t(pictures) + 1);
    }
    // The show's settings: the folder left to the show when `deferScan` is set.
    std::optional<CatalogueScan> loadSettingsForShow(Settings& settings, Catalogue& catalogue) override
    {
        loadSettings(settings, catalogue);
        calls.back() = "load for show";
        if (!deferScan)
            return std::nullopt;
        settings.ImageOrder = 1; // random: an order made here would draw
        return CatalogueScan{"C:\\Pics", settings.ImageKinds};
    }
    bool deferScan = false;
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

} // namespace

TEST(Main, EachCommandLineMakesExactlyItsCallsUnlessAShowOrDialogWindowIsOpen)
{
    const std::string find1 = "find Velmora_Main", find2 = "find ヴェルモラの設定";
    const struct {
        const char* line;
        bool nt;
        StartupOutcome outcome;
        Calls calls;
    } cases[] = {
        {"/s", true, StartupOutcome::ShowOpened, {find1, find2, "load for show", "cursor off", "keys off", "show S"}},
        // An empty line: the cursor stays and the system is not told.
        {"", true, StartupOutcome::ShowOpened, {find1, find2, "load for show", "show "}},
        {"/x", true, StartupOutcome::Ended, {find1, find2, "load"}},
        {"s", true, StartupOutcome::Ended, {find1, find2, "load"}}, // one character: not empty, no letter
        {"/c:1234", true, StartupOutcome::Ended, {find1, find2, "load", "dialog"}},
        {"/p 1234", true, StartupOutcome::PreviewOpened, {find1, find2, "preview 1234"}}, // no settings read
        {"/p", true, StartupOutcome::PreviewOpened, {find1, find2, "preview 0"}},
        {"/p 4294967296", true, StartupOutcome::PreviewOpened, {find1, find2, "preview 0"}}, // fits no handle
        {"/a 1234", true, StartupOutcome::Ended, {find1, find2, "load", "isnt"}},
        {"/a 1234", false, StartupOutcome::Ended, {find1, find2, "load", "isnt", "password 1234"}},
        {"/a abc", false, StartupOutcome::Ended, {find1, find2, "load", "isnt"}},
    };
    for (const auto& c : cases)
        // An open window of either kind stops every mode after both lookups.
        for (const std::string open : {"", "Velmora_Main", "ヴェルモラの設定"}) {
            RecordingPlatform p;
            p.nt = c.nt;
            p.pictures = 3;
            p.openWindow = open;
            StartupState state;
            Random random(7);
            const StartupOutcome outcome = Main(c.line, p, random, state);
            EXPECT_EQ(outcome, open.empty() ? c.outcome : StartupOutcome::AnotherInstance) << c.line;
            EXPECT_EQ(p.calls, open.empty() ? c.calls : (Calls{find1, find2})) << c.line << " " << open;
            if (outcome == StartupOutcome::ShowOpened) { // the counter kept, the pictures' order made
                EXPECT_EQ(state.CursorState, c.line[0] ? -1 : 0) << c.line;
                EXPECT_EQ(state.catalogue.ShowOrder, (std::vector<int>{0, 1, 2, 3})) << c.line;
            }
        }
}

TEST(Main, AShowWithoutPicturesOrWithItsScanLeftToItGetsNoOrderHere)
{
    // No order and no draw here without pictures, nor for a folder left to the show to order.
    Random untouched(7), fresh(7);
    RecordingPlatform empty;
    StartupState none;
    Main("/s", empty, untouched, none);
    EXPECT_TRUE(none.catalogue.ShowOrder.empty());

    RecordingPlatform later;
    later.pictures = 3;
    later.deferScan = true;
    StartupState deferred;
    Main("", later, untouched, deferred);
    ASSERT_TRUE(deferred.catalogueScan.has_value());
    EXPECT_EQ(deferred.catalogueScan->folder, "C:\\Pics");
    EXPECT_TRUE(deferred.catalogue.ShowOrder.empty());
    EXPECT_EQ(untouched.nextBits(), fresh.nextBits());
}

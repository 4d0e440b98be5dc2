// The settings window's model under test: an in-memory file system, pictures by path and a
// platform that records what the form asks of it.
#pragma once

#include "settings_dialog/settings_form.h"

#include "settings_fixture.h"
#include "tests/show/show_rig.h"

#include <algorithm>
#include <functional>

namespace velmora::dialog::testing {

using namespace velmora::testing;
using velmora::show::testing::pattern;

class RecordingPlatform final : public DialogPlatform {
public:
    int busy = 0; // hourglass requests less arrow ones
    std::vector<std::string> messages;
    std::vector<std::string> prompts;
    std::optional<std::string> folderAnswer;
    std::optional<std::string> fileAnswer;
    std::function<void()> onPump;
    std::function<void()> onChooser; // while a folder or file chooser is open
    FakeLoader loader;

    void pumpMessages() override
    {
        if (onPump)
            onPump();
    }
    void busyPointer(bool hourglass) override { busy += hourglass ? 1 : -1; }
    PictureLoader& pictureLoader() override { return loader; }
    std::optional<ScreenPoint> cursorPosition() override { return ScreenPoint{300, 200}; }
    void zoomOpen(ScreenPoint) override {}
    void zoomClose(ScreenPoint) override {}
    void messageBox(std::string_view text) override { messages.emplace_back(text); }
    std::optional<std::string> browseForFolder(std::string_view prompt) override
    {
        prompts.emplace_back(prompt);
        if (onChooser)
            onChooser();
        return folderAnswer;
    }
    std::optional<std::string> openFile(std::string_view filter, std::string_view patterns,
                                        std::string_view title) override
    {
        prompts.push_back(std::string(filter) + "|" + std::string(patterns) + "|" + std::string(title));
        if (onChooser)
            onChooser();
        return fileAnswer;
    }
    void endProgram() override {}
};

struct DialogFixture : SettingsFixture {
    RecordingPlatform platform;
    std::optional<SettingsForm> form;

    // Main's part: the settings read, then the window loaded.
    void open()
    {
        (void)LoadSettings(location, fs, codec, settings, catalogue);
        form.emplace(settings, catalogue, platform, SettingsStore{location, fs, codec});
        form->Form_Load();
    }
    void click(int button)
    {
        form->lbl_Button_MouseDown(button);
        form->lbl_Button_MouseUp(button);
    }
    std::string file() const { return fs.contents(kBeside) ? *fs.contents(kBeside) : std::string("<none>"); }
    // How many of the 48 filter buttons can be pressed.
    long filterButtonsEnabled() const
    {
        return std::count(form->Cmd_Fil_Enabled.begin() + 1, form->Cmd_Fil_Enabled.end(), true);
    }
};

} // namespace velmora::dialog::testing

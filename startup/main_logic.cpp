// The decision sequence runs in a fixed order; each mode either ends here or leaves one
// modeless form open for the shell's message loop.
#include "startup/main_logic.h"

#include "startup/catalogue.h"
#include "startup/command_line.h"

namespace velmora {

namespace {

// Every setting as a fresh process holds it before the file is read: 0 or empty. A value
// the file cannot give as a number keeps this, not the default of a missing key.
Settings settingsBeforeLoading()
{
    Settings settings;
    settings.ImageSize = 0;
    settings.FilterMode = 0;
    settings.ImageKinds = {};
    return settings;
}

} // namespace

StartupOutcome Main(std::string_view commandLine, StartupPlatform& platform, Random& random, StartupState& state)
{
    // Both titles are looked up, whatever the first answer.
    const bool showOpen = platform.windowExists(ShowWindowTitle);
    const bool dialogOpen = platform.windowExists(DialogWindowTitle);
    if (showOpen || dialogOpen)
        return StartupOutcome::AnotherInstance;

    state.commandLine = std::string(commandLine);
    state.modeLetter = modeLetter(commandLine);
    const std::string& mode = state.modeLetter;

    if (mode == "P") {
        // A handle that does not fit 32 bits names no window, just as 0 does: the platform
        // refuses both alike.
        platform.openPreview(previewHandle(commandLine).value_or(0));
        return StartupOutcome::PreviewOpened;
    }

    state.settings = settingsBeforeLoading();
    const bool show = mode == "S" || commandLine.empty();
    if (show)
        state.catalogueScan = platform.loadSettingsForShow(state.settings, state.catalogue);
    else
        platform.loadSettings(state.settings, state.catalogue);

    if (mode == "A") {
        // A handle that is not a number calls nothing.
        if (!platform.isWinNT())
            if (const auto parent = passwordParentHandle(commandLine))
                platform.changePassword(*parent);
        return StartupOutcome::Ended;
    }
    if (mode == "C") {
        platform.openDialog(state);
        return StartupOutcome::Ended;
    }
    if (!show)
        return StartupOutcome::Ended;

    // A catalogue left to the show gets its show order there, once it is scanned.
    if (state.catalogue.ImageCount != 0 && !state.catalogueScan)
        MakeShowOrder(state.settings.ImageOrder, random, state.catalogue);
    else
        state.catalogue.ShowOrder.clear();
    if (mode == "S") {
        state.CursorState = platform.showCursor(false);
        platform.enableSystemKeys(false);
    }
    platform.openShow(state);
    return StartupOutcome::ShowOpened;
}

} // namespace velmora

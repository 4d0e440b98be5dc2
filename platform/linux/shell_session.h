// What one Linux show process holds besides its window: Main's platform (settings, the
// single-instance check, the cursor) and the show's services (decoders, music, filters).
#pragma once

#include "filters/engine.h"
#include "music/music_thread.h"
#include "platform/linux/music/sdl_music.h"
#include "platform/linux/shell_options.h"
#include "platform/linux/startup_linux.h"
#include "show/picture_loader.h"
#include "show/picture_source.h"
#include "show/show_form.h"
#include "startup/main_logic.h"
#include "startup/resume_keeper.h"
#include "startup/show_sequence.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace velmora::shell {

// Main's platform for the Linux program: the settings as PosixStartup reads them (the file,
// the options, the daemon's folder or the samples), plus the single-instance look-up on X,
// the cursor and the modes not built here.
class LinuxStartupPlatform final : public posix::PosixStartup {
public:
    LinuxStartupPlatform(const ShellOptions& options, std::ostream& messages);

    bool windowExists(std::string_view titleUtf8) override;
    // The settings window edits the file: it gets the file's own values, without this run's
    // options or the folders shown when the file names none.
    void loadSettings(Settings& settings, Catalogue& catalogue) override;
    void openPreview(std::int32_t parentWindow) override;
    void openDialog(StartupState& state) override;
    // The folder is scanned by the show once its window is up.
    std::optional<CatalogueScan> loadSettingsForShow(Settings& settings, Catalogue& catalogue) override
    {
        return loadSettingsWithoutScan(settings, catalogue);
    }
    void openShow(StartupState&) override { showRequested_ = true; }
    std::int32_t showCursor(bool show) override;
    // The system's own key combinations go to the show's window while they are "disabled":
    // the shell grabs the keyboard for it (mode "S" only, as Main asks for it there).
    void enableSystemKeys(bool enable) override { systemKeysEnabled_ = enable; }

    bool showRequested() const { return showRequested_; }
    // False when the settings window was asked for and could not be opened.
    bool dialogOpened() const { return dialogOpened_; }
    bool cursorVisible() const { return cursorCounter_ >= 0; }
    bool systemKeysEnabled() const { return systemKeysEnabled_; }

private:
    // The display system this run's windows go to, from the options and the environment.
    VideoBackend videoBackend() const;

    const ShellOptions& options_;
    std::ostream& messages_;
    bool showRequested_ = false;
    bool dialogOpened_ = true;
    bool systemKeysEnabled_ = true;
    std::int32_t cursorCounter_ = 0; // as the system's display counter: shown while >= 0
};

// The show's services for the ShowForm the process makes.
class ShowSession {
public:
    explicit ShowSession(StartupState& state);
    ShowSession(const ShowSession&) = delete;
    ShowSession& operator=(const ShowSession&) = delete;

    // The show of monitor `place`; any monitor but the primary takes its catalogue from
    // `leader` (the primary's show, made first), reads its pictures on a worker of its own
    // and plays no music.
    std::unique_ptr<show::ShowForm> makeForm(show::ShowPlatform& platform, show::MonitorPlace place = {},
                                             const show::ShowForm* leader = nullptr);
    const StartupState& state() const { return state_; }

private:
    std::vector<std::unique_ptr<show::PictureWorker>> otherPictures_;
    SilentMusic silent_;
    StartupState& state_;
    filters::FilterEngine engine_;
    std::unique_ptr<PictureLoader> loader_;
    show::PictureWorker pictures_;
    music::MusicThread music_; // its devices live on its own thread
    // With the 続きから setting on: where the show stopped, read and written off the frames.
    std::unique_ptr<ResumeKeeper> resumeKeeper_;
    std::unique_ptr<ShowSequence> sequence_;
};

// Milliseconds since the first call in this process (the --timing reports count from it).
std::int64_t monotonicMilliseconds();

} // namespace velmora::shell

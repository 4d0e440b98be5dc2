// Main's Linux platform and the show's services.
#include "platform/linux/shell_session.h"

#include "platform/linux/settings_window.h"
#include "platform/linux/shell_x11.h"
#include "platform/linux/startup_linux.h"
#include "platform/picture_loader_factory.h"
#include "startup/catalogue.h"
#include "startup/command_line.h"
#include "startup/settings_file.h"

#include <SDL2/SDL.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cassert>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <system_error>

namespace velmora::shell {

std::int64_t monotonicMilliseconds()
{
    static const auto origin = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - origin).count();
}

LinuxStartupPlatform::LinuxStartupPlatform(const ShellOptions& options, std::ostream& messages)
    : PosixStartup(posix::RunSettings{posix::settingsLocation(options.iniFile), options.overrides,
                                      options.fromDaemon ? posix::readDaemonPreferences() : std::nullopt},
                   messages),
      options_(options), messages_(messages)
{
}

namespace {

// A Wayland client cannot see the others' windows: the window is "open" while a process holds
// the lock named after its title in the session's runtime folder. The first asker takes the
// lock and keeps it for the rest of its life (the descriptor is never closed; the kernel lets
// go at exit, however the process ends).
bool titleLockedElsewhere(std::string_view titleUtf8)
{
    assert(titleUtf8.find('/') == std::string_view::npos);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime != '/') {
        return false; // nowhere private to keep a lock: no check rather than a wrong refusal
    }
    const std::string path = std::string(runtime) + "/velmora-" + std::string(titleUtf8) + ".lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        return false; // ours now
    }
    close(fd);
    return true;
}

} // namespace

bool LinuxStartupPlatform::windowExists(std::string_view titleUtf8)
{
    // The daemon may run one hack per screen at once: only our own full-screen window counts.
    if (options_.target != Target::FullScreen) {
        return false;
    }
    if (videoBackend() == VideoBackend::Wayland) {
        return titleLockedElsewhere(titleUtf8);
    }
    return x11WindowTitled(titleUtf8);
}

VideoBackend LinuxStartupPlatform::videoBackend() const
{
    return chooseVideoBackend(options_.backend, std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"),
                              !options_.display.empty());
}

void LinuxStartupPlatform::openPreview(std::int32_t)
{
    messages_ << "velmora: there is no display-settings preview on Linux; nothing to do.\n";
}

void LinuxStartupPlatform::loadSettings(Settings& settings, Catalogue& catalogue)
{
    if (modeLetter(options_.commandLine) != "C") {
        PosixStartup::loadSettings(settings, catalogue);
        return;
    }
    if (const Result<void> usable = posix::explicitFileUsable(location().explicitFile); !usable.ok())
        messages_ << "velmora: " << usable.reason().text << '\n';
    posix::PosixFileSystem files;
    posix::IconvCodec codec;
    (void)LoadSettings(location(), files, codec, settings, catalogue);
}

void LinuxStartupPlatform::openDialog(StartupState& state)
{
    dialogOpened_ = runSettingsWindow(state, location(), videoBackend(), messages_);
}

std::int32_t LinuxStartupPlatform::showCursor(bool show)
{
    cursorCounter_ += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        SDL_ShowCursor(cursorCounter_ >= 0 ? SDL_ENABLE : SDL_DISABLE);
    }
    return cursorCounter_;
}

namespace {

// Why the show has no music, on standard error like the program's other messages; one whole
// line a call, as the music thread and the window's thread may both write.
void logMusic(const std::string& text) { std::cerr << "velmora: " + text + "\n" << std::flush; }

} // namespace

ShowSession::ShowSession(StartupState& state)
    : state_(state),
      loader_(createPlatformPictureLoader()),
      pictures_(createPlatformPictureLoader()),
      music_(
          [&settings = state.settings] {
              using Music = music::MusicOnDevices<music::linux_audio::LinuxMusicDevices>;
              auto owner = std::make_shared<Music>(settings, &logMusic);
              return std::shared_ptr<ShowMusic>(owner, &owner->music);
          },
          state.settings.BgmKind == 1, &logMusic)
{
    engine_.random = &sharedRandom();
    if (const std::string file = posix::stateFileLocation(); state.settings.Resume != 0 && !file.empty()) {
        resumeKeeper_ = std::make_unique<ResumeKeeper>(std::make_shared<posix::PosixFileSystem>(), file);
        sequence_ = std::make_unique<ShowSequence>(state.settings, sharedRandom(), *resumeKeeper_);
    }
}

std::unique_ptr<show::ShowForm> ShowSession::makeForm(show::ShowPlatform& platform, show::MonitorPlace place,
                                                      const show::ShowForm* leader)
{
    // Pictures are read and decoded on the worker, so slow storage never stalls drawing or input.
    if (place.index != 0) {
        otherPictures_.push_back(std::make_unique<show::PictureWorker>(createPlatformPictureLoader()));
        show::ShowServices services{platform, *loader_, silent_, sharedRandom(), engine_, otherPictures_.back().get()};
        services.sequence = sequence_.get();
        services.monitor = place;
        services.leader = leader;
        return std::make_unique<show::ShowForm>(state_.settings, state_.catalogue, services,
                                                state_.commandLine.empty());
    }
    show::ShowServices services{platform, *loader_, music_, sharedRandom(), engine_, &pictures_,
                                state_.catalogueScan, std::make_shared<posix::PosixFileSystem>(), sequence_.get()};
    services.monitor = place;
    return std::make_unique<show::ShowForm>(state_.settings, state_.catalogue, services,
                                            state_.commandLine.empty());
}

} // namespace velmora::shell

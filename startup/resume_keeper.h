// Reads and writes the state file on a thread of its own, so the show never waits on storage
// for it. Several processes may share the file (a show per monitor under a screen-saver daemon):
// each write reads the file again, replaces only its own selection's entry and puts the file in
// place by rename, so the file is always one whole version; for one selection the last write wins.
#pragma once

#include "startup/file_system.h"
#include "startup/resume_state.h"

#include <memory>
#include <optional>
#include <string>

namespace velmora {

class ResumeKeeper {
public:
    // Starts reading `file` at once.
    ResumeKeeper(std::shared_ptr<FileSystem> fs, std::string file);
    // Waits at most FinalWriteWaitMs for the last place to be written, then leaves it to finish on
    // its own, so ending the show never hangs on storage.
    ~ResumeKeeper();
    ResumeKeeper(const ResumeKeeper&) = delete;
    ResumeKeeper& operator=(const ResumeKeeper&) = delete;

    // The remembered place of a selection, waiting at most `waitMs` for the file to be read;
    // nullopt when there is none (or the file is missing, unreadable, foreign or damaged).
    std::optional<ResumeEntry> stored(const std::string& folder, const ImageKindFlags& kinds,
                                      int waitMs = StoredWaitMs);
    // The new place of a selection, written soon; a place not yet written is replaced by a newer one.
    void remember(ResumeEntry entry);
    // Waits at most `waitMs` for every place remembered so far to be written (or to fail).
    // True when nothing is left to write.
    bool flush(int waitMs);

    static constexpr int StoredWaitMs = 300;
    static constexpr int FinalWriteWaitMs = 1000;

private:
    struct Shared;
    static void run(std::shared_ptr<Shared> shared);
    std::shared_ptr<Shared> shared_;
};

} // namespace velmora

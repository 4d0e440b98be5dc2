// One worker thread: it reads the file once, then writes each place handed to it, the newest
// only when several wait.
#include "startup/resume_keeper.h"

#include "startup/catalogue.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velmora {

struct ResumeKeeper::Shared {
    std::shared_ptr<FileSystem> fs; // used by the worker thread only
    std::string file;
    std::mutex mutex;
    std::condition_variable changed;
    bool read = false;
    ResumeState state;                  // as read at the start
    std::optional<ResumeEntry> pending; // to be written
    bool writing = false;
    bool stopping = false;
};

ResumeKeeper::ResumeKeeper(std::shared_ptr<FileSystem> fs, std::string file) : shared_(std::make_shared<Shared>())
{
    shared_->fs = std::move(fs);
    shared_->file = std::move(file);
    std::thread(&ResumeKeeper::run, shared_).detach();
}

ResumeKeeper::~ResumeKeeper()
{
    flush(FinalWriteWaitMs);
    const std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    shared_->changed.notify_all();
}

namespace {

ResumeState readState(FileSystem& fs, const std::string& file)
{
    const FileRead read = fs.readFile(file, ResumeFileLimit);
    if (read.status != ReadStatus::Ok)
        return {};
    return parseResumeState(read.bytes).value_or(ResumeState{});
}

} // namespace

void ResumeKeeper::run(std::shared_ptr<Shared> shared)
{
    ResumeState state = readState(*shared->fs, shared->file);
    std::unique_lock lock(shared->mutex);
    shared->state = std::move(state);
    shared->read = true;
    shared->changed.notify_all();
    while (true) {
        shared->changed.wait(lock, [&] { return shared->pending || shared->stopping; });
        if (!shared->pending)
            return;
        ResumeEntry entry = std::move(*shared->pending);
        shared->pending.reset();
        shared->writing = true;
        lock.unlock();
        // Read again: another process may have written its own selection meanwhile.
        FileSystem& fs = *shared->fs;
        ResumeState now = readState(fs, shared->file);
        now.put(std::move(entry));
        const std::string folder = DirPart(shared->file, fs.separator());
        if (folder.empty() || fs.makeFolders(folder))
            (void)fs.replaceFile(shared->file, formatResumeState(now)); // a failed write just forgets
        lock.lock();
        shared->writing = false;
        shared->changed.notify_all();
    }
}

std::optional<ResumeEntry> ResumeKeeper::stored(const std::string& folder, const ImageKindFlags& kinds,
                                                int waitMs)
{
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return shared_->read; });
    if (!shared_->read)
        return std::nullopt; // storage too slow: this start begins at the beginning
    if (const ResumeEntry* entry = shared_->state.find(folder, kinds))
        return *entry;
    return std::nullopt;
}

void ResumeKeeper::remember(ResumeEntry entry)
{
    const std::lock_guard lock(shared_->mutex);
    shared_->pending = std::move(entry);
    shared_->changed.notify_all();
}

bool ResumeKeeper::flush(int waitMs)
{
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                                     [&] { return !shared_->pending && !shared_->writing; });
}

} // namespace velmora

// The two picture sources: loading on the caller's thread when taken, or on a worker.
#include "show/picture_source.h"

#include <cassert>
#include <chrono>
#include <new>
#include <utility>

namespace velmora::show {

namespace {

Result<LoadedPicture> guardedLoad(PictureLoader& loader, const std::string& path, const LoadRequest& request)
{
    try {
        return loader.load(path, request);
    } catch (const std::bad_alloc&) {
        // Loaders report running out of memory as a failure; one that does not still only
        // costs this picture.
        return Reason{"out of memory"};
    }
}

} // namespace

void LoadWhenTaken::request(const std::string& path, const LoadRequest& request)
{
    path_ = path;
    request_ = request;
}

std::optional<Result<LoadedPicture>> LoadWhenTaken::take(int)
{
    if (!path_) {
        return std::nullopt;
    }
    const std::string path = *std::exchange(path_, std::nullopt);
    return guardedLoad(loader_, path, request_);
}

std::optional<Catalogue> LoadWhenTaken::takeCatalogue(int)
{
    if (!scan_) {
        return std::nullopt;
    }
    return std::exchange(scan_, nullptr)();
}

struct PictureWorker::Shared {
    std::unique_ptr<PictureLoader> loader; // used by the worker thread only
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t generation = 0; // of the last request; older results are dropped
    struct Job {
        std::string path;
        LoadRequest request;
        bool coarseFirst = false;
    };
    std::optional<Job> job;
    std::optional<Result<LoadedPicture>> result;
    std::function<Catalogue()> scan; // runs before any picture job
    std::optional<Catalogue> catalogue;
    bool stop = false;
};

PictureWorker::PictureWorker(std::unique_ptr<PictureLoader> loader) : shared_(std::make_shared<Shared>())
{
    assert(loader != nullptr);
    shared_->loader = std::move(loader);
    std::thread(&PictureWorker::run, shared_).detach();
}

PictureWorker::~PictureWorker()
{
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stop = true;
        shared_->job.reset();
    }
    shared_->changed.notify_all();
}

void PictureWorker::request(const std::string& path, const LoadRequest& request) { ask(path, request, false); }

void PictureWorker::requestCoarseFirst(const std::string& path, const LoadRequest& request)
{
    ask(path, request, true);
}

void PictureWorker::ask(const std::string& path, const LoadRequest& request, bool coarseFirst)
{
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->generation += 1;
        shared_->job.emplace(Shared::Job{path, request, coarseFirst});
        shared_->job->request.coarse = nullptr; // the worker's own, below, or none
        shared_->result.reset();
    }
    shared_->changed.notify_all();
}

std::optional<Result<LoadedPicture>> PictureWorker::take(int waitMs)
{
    std::unique_lock<std::mutex> lock(shared_->mutex);
    if (waitMs > 0) {
        shared_->changed.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return shared_->result.has_value(); });
    }
    return std::exchange(shared_->result, std::nullopt);
}

void PictureWorker::requestCatalogue(std::function<Catalogue()> scan)
{
    assert(scan);
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->scan = std::move(scan);
        shared_->catalogue.reset();
    }
    shared_->changed.notify_all();
}

std::optional<Catalogue> PictureWorker::takeCatalogue(int waitMs)
{
    std::unique_lock<std::mutex> lock(shared_->mutex);
    if (waitMs > 0) {
        shared_->changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                                  [&] { return shared_->catalogue.has_value(); });
    }
    return std::exchange(shared_->catalogue, std::nullopt);
}

void PictureWorker::run(std::shared_ptr<Shared> shared)
{
    std::unique_lock<std::mutex> lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->stop || shared->scan || shared->job.has_value(); });
        if (shared->stop) {
            return;
        }
        if (shared->scan) {
            const std::function<Catalogue()> scan = std::exchange(shared->scan, nullptr);
            lock.unlock();
            Catalogue found;
            try {
                found = scan();
            } catch (const std::bad_alloc&) {
                found = Catalogue{}; // no memory for the list: the show goes on without pictures
            }
            lock.lock();
            if (!shared->stop) {
                shared->catalogue = std::move(found);
                lock.unlock();
                shared->changed.notify_all();
                lock.lock();
            }
            continue;
        }
        const std::uint64_t generation = shared->generation;
        Shared::Job job = *std::exchange(shared->job, std::nullopt);
        if (job.coarseFirst) {
            // The coarse picture becomes the result at once unless the request is gone; the
            // whole picture replaces it below if it has not been taken by then.
            job.request.coarse = [&state = *shared, generation](LoadedPicture coarse) {
                coarse.coarse = true;
                {
                    const std::lock_guard<std::mutex> held(state.mutex);
                    if (generation != state.generation || state.stop) {
                        return;
                    }
                    state.result = std::move(coarse);
                }
                state.changed.notify_all();
            };
        }
        lock.unlock();
        Result<LoadedPicture> loaded = guardedLoad(*shared->loader, job.path, job.request);
        lock.lock();
        if (generation == shared->generation && !shared->stop) {
            shared->result = std::move(loaded);
            lock.unlock();
            shared->changed.notify_all();
            lock.lock();
        }
        // A result nobody asks for any more frees its memory here, off the window's thread.
        else {
            lock.unlock();
            loaded = Reason{};
            lock.lock();
        }
    }
}

} // namespace velmora::show

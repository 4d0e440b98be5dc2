// Where the show's pictures come from. The show asks for one picture at a time and takes it
// when it is ready, so a shell can read and decode on a worker thread while the show's ticks
// and input go on; the show only asks and polls, and never waits on storage itself.
#pragma once

#include "show/picture_loader.h"
#include "startup/settings.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace velmora::show {

class PictureSource {
public:
    virtual ~PictureSource() = default;
    // Starts preparing the picture in `path`; whatever was asked before and not taken is
    // forgotten.
    virtual void request(const std::string& path, const LoadRequest& request) = 0;
    // The result of the last request once it is ready (and then forgotten); nullopt while it
    // is still being prepared, after waiting at most `waitMs` for it.
    virtual std::optional<Result<LoadedPicture>> take(int waitMs = 0) = 0;
    // As request(), for a picture to be shown as soon as anything of it is there: a source may
    // hand out a coarse picture first (LoadedPicture::coarse), when its loader gives one before the
    // whole picture; the whole one is then the next result of this request. This one gives the
    // whole picture only.
    virtual void requestCoarseFirst(const std::string& path, const LoadRequest& request)
    {
        this->request(path, request);
    }

    // Starts building the show's catalogue with `scan`, before any picture asked for later.
    virtual void requestCatalogue(std::function<Catalogue()> scan) = 0;
    // The catalogue once built (and then forgotten); nullopt while the scan still runs,
    // after waiting at most `waitMs` for it.
    virtual std::optional<Catalogue> takeCatalogue(int waitMs = 0) = 0;
};

// Loads when the result is taken: the same pictures at the same moments as loading directly,
// and nothing runs elsewhere. For the headless renderer, the tests and shells without a worker.
class LoadWhenTaken final : public PictureSource {
public:
    explicit LoadWhenTaken(PictureLoader& loader) : loader_(loader) {}
    void request(const std::string& path, const LoadRequest& request) override;
    std::optional<Result<LoadedPicture>> take(int waitMs = 0) override;
    void requestCatalogue(std::function<Catalogue()> scan) override { scan_ = std::move(scan); }
    std::optional<Catalogue> takeCatalogue(int waitMs = 0) override;

private:
    PictureLoader& loader_;
    std::function<Catalogue()> scan_;
    std::optional<std::string> path_;
    LoadRequest request_;
};

// Scans, reads and decodes on a thread of its own, one job at a time. The thread is never
// waited for: when the worker goes, a load or scan in progress finishes on its own and is
// dropped, so ending the show never waits on slow storage.
class PictureWorker final : public PictureSource {
public:
    explicit PictureWorker(std::unique_ptr<PictureLoader> loader);
    ~PictureWorker() override;
    PictureWorker(const PictureWorker&) = delete;
    PictureWorker& operator=(const PictureWorker&) = delete;

    void request(const std::string& path, const LoadRequest& request) override;
    std::optional<Result<LoadedPicture>> take(int waitMs = 0) override;
    // The loader's coarse picture is held as the result until it is taken or the whole picture
    // replaces it.
    void requestCoarseFirst(const std::string& path, const LoadRequest& request) override;
    void requestCatalogue(std::function<Catalogue()> scan) override;
    std::optional<Catalogue> takeCatalogue(int waitMs = 0) override;

private:
    struct Shared;
    void ask(const std::string& path, const LoadRequest& request, bool coarseFirst);
    static void run(std::shared_ptr<Shared> shared);
    std::shared_ptr<Shared> shared_;
};

} // namespace velmora::show

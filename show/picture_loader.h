// What the core asks of a platform's picture decoders: a path in, a 32-bit top-down
// picture out, or a short reason why not.
#pragma once

#include "filters/picture.h"
#include "startup/result.h"

#include <functional>
#include <string>

namespace velmora {

struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize&) const = default;
};

// A decoded picture.
struct LoadedPicture {
    Picture picture;       // the decoded pixels, possibly reduced
    PictureSize ownSize;   // the picture's own size (after EXIF orientation), whatever was decoded
    // A coarse first look at the picture (see LoadRequest::coarse), handed out by a picture
    // source ahead of the whole picture, which follows as the next result of the same request.
    bool coarse = false;
};

struct LoadRequest {
    // The box the picture will be shrunk into. A decoder may then deliver a reduced picture
    // (for example by DCT scaling) as long as it is at least as large as the part of this box
    // the picture will cover. 0 x 0 asks for the full size.
    int fitWidth = 0;
    int fitHeight = 0;
    // A decode still running after this long is abandoned and counts as a failure, so one
    // hostile or enormous file cannot stall the show. 0 means no limit.
    int timeLimitMs = 8000;
    // When set, a loader that can see the picture coarsely long before it has all of it (the
    // first scans of a progressive JPEG) hands that coarse picture here first, upright,
    // at any size (placed by its own size as any result is), on the thread that loads; then it
    // goes on, and load() returns the whole picture exactly as without this. Loaders with no
    // such stage never call it.
    std::function<void(LoadedPicture)> coarse = {};
};

class PictureLoader {
public:
    virtual ~PictureLoader() = default;
    // `path` is UTF-8. Never throws: every failure is a result.
    virtual Result<LoadedPicture> load(const std::string& path, const LoadRequest& request) = 0;
    // The picture's own size, read from its header where the format allows.
    virtual Result<PictureSize> ownSize(const std::string& path) = 0;
};

} // namespace velmora

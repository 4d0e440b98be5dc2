// Pictures by path, for the show's and the settings window's tests: a path not listed fails
// as a broken file would, and every load is recorded with its request.
#pragma once

#include "show/picture_loader.h"

#include <map>
#include <string>
#include <vector>

namespace velmora::testing {

class FakeLoader final : public PictureLoader {
public:
    std::map<std::string, LoadedPicture> pictures; // own size: the picture's unless set
    std::vector<std::string> loads;
    std::vector<LoadRequest> requests;

    Result<LoadedPicture> load(const std::string& path, const LoadRequest& request) override
    {
        loads.push_back(path);
        requests.push_back(request);
        const auto it = pictures.find(path);
        if (it == pictures.end())
            return Reason{"picture data is broken"};
        LoadedPicture r = it->second;
        if (r.ownSize == PictureSize{})
            r.ownSize = {r.picture.width(), r.picture.height()};
        return r;
    }
    Result<PictureSize> ownSize(const std::string&) override { return Reason{}; }
};

} // namespace velmora::testing

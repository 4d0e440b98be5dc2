// Shared by the loader suites: fixture paths, the expected pictures, temporary files.
#pragma once

#include "show/picture_loader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace loader_test {

std::string sourceFile(const std::string& relative); // a file of the source tree
std::string fixture(const std::string& name);
std::string hostile(const std::string& name);
std::vector<std::uint8_t> readBytes(const std::string& path);
// Writes bytes to a file in the temporary folder and returns its path.
std::string writeTemporary(const std::string& name, const std::vector<std::uint8_t>& bytes);

// A binary PPM as a picture; pixels written (1, 2, 3) are "do not compare".
velmora::Picture readPpm(const std::string& path);
inline bool isDontCare(const velmora::Picture& p, int x, int y)
{
    const std::uint8_t* px = p.pixel(x, y);
    return px[2] == 1 && px[1] == 2 && px[0] == 3;
}

// The largest difference of any channel at any compared pixel; -1 when the sizes differ.
int largestDifference(const velmora::Picture& actual, const velmora::Picture& expected);
// The largest difference of any channel between the means of `block` x `block` squares:
// blind to how a JPEG decoder widens subsampled colour, not to a wrong or turned picture.
int largestBlockDifference(const velmora::Picture& actual, const velmora::Picture& expected, int block);
// How many compared pixels differ by more than `tolerance` in some channel.
int pixelsBeyond(const velmora::Picture& actual, const velmora::Picture& expected, int tolerance);

} // namespace loader_test

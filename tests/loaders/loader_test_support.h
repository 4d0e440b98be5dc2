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

// The largest difference of any channel between the means of `block` x `block` squares, or
// at every compared pixel for a block of 1; -1 when the sizes differ. Squares of 4 or 8 are
// blind to how a JPEG decoder rounds and widens subsampled colour, not to a wrong or turned
// picture.
int largestDifference(const velmora::Picture& actual, const velmora::Picture& expected, int block = 1);

} // namespace loader_test

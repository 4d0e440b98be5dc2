// What the metafile decoder and its helper program (velmora-wmf) agree on. libwmf draws in
// that separate program, started with posix_spawn: a fault in the library costs the picture,
// not the show, and no fork() of the threaded show is ever needed.
//
//   velmora-wmf WIDTH HEIGHT LIMIT_MS
//   fd 3: the cleaned metafile (as planned by loading::planWmf), read to its end
//   fd 4: receives WIDTH x HEIGHT x 4 bytes of 32-bit top-down pixels
#pragma once

namespace velmora::decode::wmf_helper {

inline constexpr const char* kProgramName = "velmora-wmf";
inline constexpr int kMetafileFd = 3;
inline constexpr int kPixelsFd = 4;
inline constexpr int kExitDrawn = 0;
inline constexpr int kExitRefused = 3;   // the metafile cannot be drawn; any other end is a fault
inline constexpr int kExitTooLong = 4;   // libwmf noticed the time limit itself
// No wait is ever unlimited: a request without a time limit still ends here.
inline constexpr int kLongestDrawMs = 30000;

} // namespace velmora::decode::wmf_helper

// The platform's real code page 932 conversion, for the start-up tests on either side.
#pragma once

#ifdef _WIN32
#include "platform/win32/startup_win32.h"
namespace velmora::testing {
using PlatformCodec = win32::Cp932Codec;
}
#else
#include "platform/linux/startup_linux.h"
namespace velmora::testing {
using PlatformCodec = posix::IconvCodec;
}
#endif

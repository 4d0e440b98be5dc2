// Opening a file for reading so that the opening itself can never wait (a FIFO without a
// writer, a terminal, a device) and only a regular file is handed out. Used by the picture
// loader and velmora-fx; link velmora_loader to get it.
#pragma once

#include "show/decoding_loader.h"

#include <string>

namespace velmora {

// `path` is UTF-8. Anything but a regular file is refused with a reason.
loading::OpenedFile openRegularFile(const std::string& path);

} // namespace velmora

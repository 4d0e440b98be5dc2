// Moved to the core: the limits, sniffing, orientation and metafile check now live in
// show/picture_formats.h, and the loader front end in show/decoding_loader.h.
#pragma once

#include "show/picture_formats.h"

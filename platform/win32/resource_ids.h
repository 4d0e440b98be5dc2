// Numbers of the resources built into velmora.scr, shared by velmora.rc and the code.
#pragma once

// The preview picture, a JPEG (RCDATA).
#define VELMORA_PREVIEW_PICTURE 101

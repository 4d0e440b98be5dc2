/* The picture file codecs velmora-fx uses: Debian's stb_image and stb_image_write, compiled
   once here. Third-party code, so it is built without the project's warning flags. */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#include <stb_image.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

/* The image decoder compiled into the fuzz targets, so libFuzzer sees its
   branches; the game links the same code from the system library. */
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

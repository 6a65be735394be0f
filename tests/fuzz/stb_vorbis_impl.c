/* The Ogg Vorbis decoder compiled into the fuzz targets, so libFuzzer sees its
   branches; the engine links the same code from the system library. */
#include <stb_vorbis.h>

#pragma once

#include <cstddef>
#include <string>

// Faults of the image decoder that crafted data can steer, found before the
// decoder sees the data, and the one format it gets wrong, decoded here.
namespace Engine::DecoderGuards {

// Binary PNM ("P5" grey, "P6" colour).
bool IsPNM(const unsigned char* data, size_t size);

// 16-bit binary PNM, decoded here: the decoder's own path widens it to four
// channels past the end of its buffer, and keeps the low byte of each
// big-endian sample. Takes the high byte, as for every other 16-bit format;
// samples missing at the end read as 0. w, h and channels are the header's.
// The pixels come from malloc, rows flipped as the decoder flips them.
unsigned char* DecodePnm16(const unsigned char* data, size_t size, int w, int h, int channels);

// Why the decoder's JPEG reader would write past a Huffman table or index one
// with uninitialised codes; empty when the data is safe for it.
std::string JpegTableFault(const unsigned char* data, size_t size);

// Why the decoder's Radiance HDR reader would spin for ever on the data (a
// run-length scanline cut short); empty when it would not.
std::string EndlessHdrScanline(const unsigned char* data, size_t size);

} // namespace Engine::DecoderGuards

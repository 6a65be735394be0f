#pragma once

// The cells of a tile layer or chunk from every form Tiled writes them in:
// CSV, base64 raw or compressed with zlib, gzip or zstd, and one value a
// cell (TMX <tile> elements, JSON lists). Each gives exactly `cells` global
// tile ids or throws MapError with `where` in front of the reason; none ever
// holds more than that many cells.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Engine::Tiled::Detail {

class Node;

// The cells `holder` (a layer's data or one of its chunks) keeps, in the
// encoding and compression its layer's data names.
std::vector<uint32_t> ReadCells(const Node& holder, std::string_view encoding,
                                std::string_view compression, size_t cells,
                                const std::string& where);

// Comma-separated decimal numbers, white space around them allowed.
std::vector<uint32_t> DecodeCsv(std::string_view text, size_t cells, const std::string& where);

// Base64 of little-endian 32-bit ids, raw (compression empty) or compressed
// with "zlib", "gzip" or "zstd". White space inside the text is skipped.
std::vector<uint32_t> DecodeBase64(std::string_view text, std::string_view compression,
                                   size_t cells, const std::string& where);

// Base64 text to bytes; false on a character outside the alphabet or a
// length that no encoder writes.
bool Base64(std::string_view text, std::string& bytes);

} // namespace Engine::Tiled::Detail

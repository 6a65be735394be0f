// Writes the game's level file from the map drawn below.
//
//   gen_level <output.json>
//
// The map is drawn row by row as the player sees it; the file lists it column
// by column, each column top down, as the game reads it.

#include <cstdio>
#include <string>
#include <vector>

namespace {

// One character per 64 by 64 cell.
const char* const MAP[] = {
    // 0         1         2         3         4
    // 012345678901234567890123456789012345678901234567
    "...............................................S",     // 0
    "................................^BB............S",     // 1
    "S.......^\"^\"^\"..................\"BB....PPPP....S", // 2
    "S..................C............^BB..C.........S",     // 3
    "S....G~~~~~~~~GGGGGGGGGGGGGGGGGGGGGGGGGGGG~~~GGS",     // 4
    "SGGGGEWWWWWWWWEEEEEEEEEEEEEEEEEEEEEEEEEEEEWWWEES",     // 5
    "SEEEEEWWWWWWWWEEEEEEEEEEEEEEEEEEEEEEEEEEEEWWWEES",     // 6
    "SEEEEEWWWWWWWWEEEEEEEEEEEEEEEEEEEEEEEEEEEEWWWEES",     // 7
    "SEEEEEWWWWWWWWEEEEEEEEEEEEEEEEEEEEEEEEEEEEWWWEES",     // 8
    "SEEEEEWWWWWWWWEEEEEEEEEEEEEEEEEEEEEEEEEEEEWWWEES",     // 9
    "SEEEEEWWWWWWWWEEEEEEEEEEEEEEEEEEEEEEEEEEEEWWWEES",     // 10
    "SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS",     // 11
};

// Tile numbers of the tile set.
int Code(char c) {
    switch (c) {
    case '.':
        return -1;
    case 'G':
        return 0; // grass-topped ground
    case 'E':
        return 1; // earth
    case 'S':
        return 2; // stone
    case 'P':
        return 3; // plank
    case 'B':
        return 4; // brick
    case '^':
        return 5; // draught
    case '"':
        return 6; // draught, second look
    case 'C':
        return 7; // crate
    case '~':
        return 8; // water surface
    case 'W':
        return 9; // deep water
    }
    std::fprintf(stderr, "unknown map character '%c'\n", c);
    return -2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.json>\n", argv[0]);
        return 2;
    }
    const size_t rows = sizeof MAP / sizeof MAP[0];
    const size_t columns = std::string(MAP[0]).size();
    for (size_t y = 0; y < rows; ++y) {
        if (std::string(MAP[y]).size() != columns) {
            std::fprintf(stderr, "map row %zu is not %zu wide\n", y, columns);
            return 1;
        }
    }

    std::string out = "{\n  \"tilemap_path\": \"./Assets/tiles.png\",\n"
                      "  \"tile_w\": 64,\n  \"tile_h\": 64,\n  \"board\": [\n";
    for (size_t x = 0; x < columns; ++x) {
        out += "    [";
        for (size_t y = 0; y < rows; ++y) {
            int code = Code(MAP[y][x]);
            if (code < -1)
                return 1;
            out += std::to_string(code);
            if (y + 1 < rows)
                out += ", ";
        }
        out += x + 1 < columns ? "],\n" : "]\n";
    }
    out += "  ]\n}\n";

    FILE* file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(out.data(), 1, out.size(), file) != out.size() || std::fclose(file)) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}

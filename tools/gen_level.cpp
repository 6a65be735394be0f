// Writes the game's level from the map drawn below, in the game's own format
// and as a map for the Tiled editor, whose tile set gives the draught tiles
// their class:
//
//   gen_level <Assets dir>     writes level1.json, level1.tmx and tiles.tsx
//
// The map is drawn row by row as the player sees it; the JSON file lists it
// column by column, each column top down, as the game reads it. The Tiled map
// names tiles.tsx, which names tiles.png, both beside it; its object "player"
// marks the boat's start.

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

bool Write(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size() ||
        std::fclose(file)) {
        std::perror(path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <Assets dir>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const size_t rows = sizeof MAP / sizeof MAP[0];
    const size_t columns = std::string(MAP[0]).size();
    for (size_t y = 0; y < rows; ++y) {
        if (std::string(MAP[y]).size() != columns) {
            std::fprintf(stderr, "map row %zu is not %zu wide\n", y, columns);
            return 1;
        }
        for (size_t x = 0; x < columns; ++x)
            if (Code(MAP[y][x]) < -1)
                return 1;
    }

    std::string json = "{\n  \"tilemap_path\": \"./Assets/tiles.png\",\n"
                       "  \"tile_w\": 64,\n  \"tile_h\": 64,\n  \"board\": [\n";
    for (size_t x = 0; x < columns; ++x) {
        json += "    [";
        for (size_t y = 0; y < rows; ++y) {
            json += std::to_string(Code(MAP[y][x]));
            if (y + 1 < rows)
                json += ", ";
        }
        json += x + 1 < columns ? "],\n" : "]\n";
    }
    json += "  ]\n}\n";

    // As Tiled 1.8 writes a map: global tile id = tile number + 1, 0 empty,
    // rows top down.
    const std::string w = std::to_string(columns), h = std::to_string(rows);
    std::string tmx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<map version=\"1.8\" tiledversion=\"1.8.2\" orientation=\"orthogonal\" "
                      "renderorder=\"right-down\" width=\"" +
                      w + "\" height=\"" + h +
                      "\" tilewidth=\"64\" tileheight=\"64\" infinite=\"0\" "
                      "nextlayerid=\"3\" nextobjectid=\"2\">\n"
                      " <tileset firstgid=\"1\" source=\"tiles.tsx\"/>\n"
                      " <layer id=\"1\" name=\"level\" width=\"" +
                      w + "\" height=\"" + h + "\">\n  <data encoding=\"csv\">\n";
    for (size_t y = 0; y < rows; ++y) {
        for (size_t x = 0; x < columns; ++x) {
            tmx += std::to_string(Code(MAP[y][x]) + 1);
            if (x + 1 < columns || y + 1 < rows)
                tmx += ",";
        }
        tmx += "\n";
    }
    // The boat's start as the game puts it (Tuning::PlayerStart).
    tmx += "</data>\n </layer>\n <objectgroup id=\"2\" name=\"start\">\n"
           "  <object id=\"1\" name=\"player\" x=\"250\" y=\"0\">\n   <point/>\n  </object>\n"
           " </objectgroup>\n</map>\n";

    // Tiled 1.8 writes a tile's class as "type".
    const std::string tsx =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<tileset version=\"1.8\" tiledversion=\"1.8.2\" name=\"tiles\" tilewidth=\"64\" "
        "tileheight=\"64\" tilecount=\"12\" columns=\"4\">\n"
        " <image source=\"tiles.png\" width=\"256\" height=\"192\"/>\n"
        " <tile id=\"5\" type=\"draught\"/>\n"
        " <tile id=\"6\" type=\"draught\"/>\n"
        "</tileset>\n";

    return Write(dir + "/level1.json", json) && Write(dir + "/level1.tmx", tmx) &&
                   Write(dir + "/tiles.tsx", tsx)
               ? 0
               : 1;
}

// Writes the examples' own images and sounds into the directory given as the only argument:
//
//   tiles.png    256 x 64: grass, dirt, stone and a crate, 64 pixels square each
//   walker.png   256 x 64: four frames of a round little walker, 64 pixels square each
//   ball.png     32 x 32: a shaded ball
//   panel.png    32 x 32: a panel's frame for nine-slice drawing, its corners within 10 pixels
//   platformer.png, platformer.tsx, platformer.tmx
//                a Tiled map of 64 x 18 cells with its tile set and sheet (twelve tiles of
//                32 x 32 pixels: grass, dirt, stone, wood, a crate, a bush, a flower, a cloud,
//                then grassy ramps; all but the bush, flower and cloud of class "solid", the
//                ramps with their slopes as collision shapes), drawn as text below
//   loop.wav     a two-second tune that loops without a seam
//   jump.wav, coin.wav, hit.wav, blip.wav   short effects
//
// Sounds are 44100 Hz, signed 16-bit little-endian stereo, the audio device's format. Pictures
// and sounds come from Draw.h's arithmetic, so the output is the same on every machine.

#include "Draw.h"
#include "Wav.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace Draw;

// ---------------------------------------------------------------------------------------------
// Images

// Brightened or darkened, kept a colour the canvas can hold.
Color Lit(Color c, double k) {
    return {Clamp(c.r * k, 0.0, 1.0), Clamp(c.g * k, 0.0, 1.0), Clamp(c.b * k, 0.0, 1.0), c.a};
}

// `base` lightened and darkened at random in squares of `size` pixels.
Paint Speckled(Color base, double amount, int size, uint32_t seed) {
    return [=](Vec2 p) {
        return Lit(base, 1.0 + amount * (Hash01(int(p.x) / size, int(p.y) / size, seed) - 0.5));
    };
}

// The cells side by side, `columns` to a row.
Canvas Sheet(const std::vector<Canvas>& cells, int columns) {
    const int w = cells[0].Width(), h = cells[0].Height();
    const int rows = (int(cells.size()) + columns - 1) / columns;
    Canvas sheet(columns * w, rows * h);
    for (size_t i = 0; i < cells.size(); ++i)
        sheet.Blit(cells[i], int(i) % columns * w, int(i) / columns * h);
    return sheet;
}

// A diagonal band from the top left corner to the bottom right one, across the whole cell.
Shape Brace(double size, double halfWidth) {
    return Segment({-halfWidth, -halfWidth}, {size + halfWidth, size + halfWidth}, halfWidth);
}

// The waves of the grass repeat a whole number of times across a tile, so tiles join.
Shape GrassOver(double level, double height, double wavelength) {
    return [=](Vec2 p) { return p.y - level - height * Sin(kTwoPi * p.x / wavelength); };
}

constexpr int kTile = 64;
const Color kDirt{0.55, 0.36, 0.22};

Canvas Tiles() {
    std::vector<Canvas> tiles(4, Canvas(kTile, kTile));
    // Grass over dirt.
    tiles[0].Fill(kEverywhere, Speckled(kDirt, 0.25, 4, 1));
    tiles[0].Fill(GrassOver(16, 3, 16), Speckled({0.30, 0.68, 0.28}, 0.2, 4, 2));
    // Dirt.
    tiles[1].Fill(kEverywhere, Speckled(kDirt, 0.25, 4, 1));
    // Stone blocks with mortar, the courses staggered by half a block.
    tiles[2].Fill(kEverywhere, Color{0.35, 0.36, 0.40});
    for (int row = 0; row < 2; ++row)
        for (int col = -1; col < 2; ++col) {
            const double x0 = col * 32 + (row % 2) * 16 + 4, y0 = row * 32 + 4;
            tiles[2].Fill(Box({x0, y0}, {x0 + 24, y0 + 24}),
                          Speckled({0.60, 0.62, 0.66}, 0.15, 4, 3));
        }
    // A crate: boards in a frame, braced corner to corner.
    const Color frame{0.45, 0.27, 0.12};
    tiles[3].Fill(kEverywhere, frame);
    tiles[3].Fill(Box({6, 6}, {58, 58}), Color{0.78, 0.55, 0.30});
    tiles[3].Fill(Brace(kTile, 4), frame);
    return Sheet(tiles, 4);
}

Canvas Walker() {
    std::vector<Canvas> frames;
    for (int f = 0; f < 4; ++f) {
        Canvas c(64, 64);
        const double phase = f * kPi / 2;
        const double bob = 2 * std::abs(Sin(phase));
        // Two legs swinging in turn (the far one darker), then the body, an eye looking right.
        for (int leg = 0; leg < 2; ++leg) {
            const double fx = 32 + 9 * Sin(phase + leg * kPi);
            c.Fill(Box({fx - 5, 43}, {fx + 5, 61}, 1), Lit({0.25, 0.28, 0.60}, leg == 0 ? 0.6 : 1));
        }
        c.Fill(Circle({32, 30 - bob}, 20), [=](Vec2 p) {
            return Lit({0.95, 0.55, 0.20},
                       Clamp(1.0 - 0.02 * ((p.x - 24) + (p.y - 20 + bob)), 0.6, 1.2));
        });
        c.Fill(Circle({41, 24 - bob}, 6), Color{1, 1, 1});
        c.Fill(Circle({43, 24 - bob}, 3), Color{0.1, 0.1, 0.15});
        frames.push_back(c);
    }
    return Sheet(frames, 4);
}

Canvas Ball() {
    Canvas c(32, 32);
    c.Fill(Circle({16, 16}, 15), [](Vec2 p) {
        return Lit({0.30, 0.75, 0.95}, Clamp(1.15 - Length(p - Vec2{11, 10}) / 22, 0.35, 1.15));
    });
    return c;
}

// A rounded panel with a light rim, bevelled inside it. Its corners end 10 pixels in, so the
// bands between them are straight and stretch without showing it.
Canvas Panel() {
    Canvas c(32, 32);
    const Shape box = Box({1, 1}, {31, 31}, 8), inside = Grow(box, -2);
    c.Fill(box, Rgb(128, 132, 144));
    c.Fill(inside, Rgb(30, 36, 48));
    Bevel(c, inside, 1, Rgb(54, 64, 84), Rgb(18, 22, 30));
    return c;
}

// ---------------------------------------------------------------------------------------------
// The Tiled map: its sheet, its tile set and the map itself, in the form Tiled 1.8 writes them,
// so that the map opens in Debian's Tiled and saves back without changes beyond its own.

constexpr int kCell = 32;

// A ramp fills its cell below a straight line; its heights are pixels up from the cell's bottom.
// Where its band of grass runs out of the cell at the bottom, the dirt cell under it carries the
// rest of the band: that cell is a tile of its own, the ramp's foot.
struct Ramp {
    int left, right;
    bool foot;
};
// 45 degrees up and down, then the two halves of a 22.5 degree slope down.
constexpr Ramp kRamps[] = {{0, kCell, true}, {kCell, 0, true}, {kCell, 16, false}, {16, 0, true}};
constexpr int kRampCount = int(std::size(kRamps));
constexpr int kFirstRamp = 8;
constexpr int kFeet = [] {
    int n = 0;
    for (const Ramp& ramp : kRamps)
        n += ramp.foot;
    return n;
}();

// The ramp's outline, corners in pixels from the cell's top left, clockwise from the left side's
// top; no corner where a side has no height.
std::vector<Vec2> Outline(const Ramp& ramp) {
    std::vector<Vec2> corners = {{0, double(kCell - ramp.left)},
                                 {kCell, double(kCell - ramp.right)}};
    if (ramp.right > 0)
        corners.push_back({kCell, kCell});
    if (ramp.left > 0)
        corners.push_back({0, kCell});
    return corners;
}

Canvas PlatformerSheet() {
    std::vector<Canvas> cells(kFirstRamp + kRampCount + kFeet, Canvas(kCell, kCell));
    const Color wood{0.72, 0.50, 0.28};
    const Color dark{0.40, 0.24, 0.11}, leaf{0.22, 0.55, 0.25};
    const Paint dirt = Speckled({0.50, 0.33, 0.20}, 0.3, 2, 4);
    const Paint grass = Speckled({0.32, 0.70, 0.30}, 0.25, 2, 5);
    const Shape grassTop = GrassOver(9, 2, 8);
    // 0: grass over dirt.
    cells[0].Fill(kEverywhere, dirt);
    cells[0].Fill(grassTop, grass);
    // 1: dirt.
    cells[1].Fill(kEverywhere, dirt);
    // 2: stone, four blocks in mortar.
    cells[2].Fill(kEverywhere, Color{0.30, 0.31, 0.35});
    for (int i = 0; i < 4; ++i) {
        const double x0 = (i % 2) * 16 + 2, y0 = (i / 2) * 16 + 2;
        cells[2].Fill(Box({x0, y0}, {x0 + 12, y0 + 12}), Speckled({0.58, 0.60, 0.64}, 0.2, 2, 6));
    }
    // 3: wood, three planks.
    cells[3].Fill(kEverywhere, dark);
    for (int i = 0; i < 3; ++i)
        cells[3].Fill(Box({1, i * 32.0 / 3 + 1.5}, {31, (i + 1) * 32.0 / 3 - 1.5}), wood);
    // 4: a crate, a frame with a plank across.
    cells[4].Fill(kEverywhere, dark);
    cells[4].Fill(Box({4, 4}, {28, 28}), Color{0.80, 0.58, 0.32});
    cells[4].Fill(Brace(kCell, 2.5), dark);
    // 5: a bush, three leafy balls on the ground, lit from above.
    struct Blob {
        Vec2 centre;
        double r;
    };
    for (const Blob ball : {Blob{{9, 24}, 8}, Blob{{23, 24}, 8}, Blob{{16, 17}, 10}})
        cells[5].Fill(Circle(ball.centre, ball.r), [=](Vec2 p) {
            return Lit(leaf, Clamp(1.25 - 0.04 * (p.y - ball.centre.y + ball.r), 0.7, 1.25));
        });
    // 6: a flower on its stem.
    cells[6].Fill(Box({15, 14}, {17, 32}), leaf);
    for (int petal = 0; petal < 5; ++petal) {
        const double a = petal * kTwoPi / 5;
        cells[6].Fill(Circle({16 + 5 * Sin(a), 11 - 5 * Cos(a)}, 4), Color{0.95, 0.45, 0.60});
    }
    cells[6].Fill(Circle({16, 11}, 3), Color{1.0, 0.85, 0.25});
    // 7: a cloud, a band across the whole cell so that neighbours run together.
    cells[7].Fill(Union(Box({-1, 18}, {33, 26}), Union(Circle({9, 18}, 7), Circle({21, 15}, 9))),
                  Color{0.82, 0.86, 0.90, 0.9});
    // 8 on: ramps, dirt under the grass tile's band of grass, which follows the slope; then the
    // ramps' feet, dirt with the end of that band, in the ramps' order.
    Canvas* foot = &cells[kFirstRamp + kRampCount];
    for (int i = 0; i < kRampCount; ++i) {
        const Ramp ramp = kRamps[i];
        // The band of a ramp `above` pixels higher than the cell.
        auto band = [=](double above) -> Shape {
            return [=](Vec2 p) {
                return grassTop({p.x, p.y + above - (kCell - ramp.left) -
                                          (ramp.left - ramp.right) * p.x / kCell});
            };
        };
        const Shape ground = Polygon(Outline(ramp));
        cells[kFirstRamp + i].Fill(ground, dirt);
        cells[kFirstRamp + i].Fill(Intersect(ground, band(0)), grass);
        if (ramp.foot) {
            foot->Fill(kEverywhere, dirt);
            foot->Fill(band(kCell), grass);
            ++foot;
        }
    }
    return Sheet(cells, 4);
}

// The map as drawn: one letter a cell, S stone, G grass, D dirt, W wood, X crate, b bush,
// f flower, c cloud (on a layer of its own, behind the rest), u and n ramps up and down, h and
// l the high and low halves of a gentle ramp down, U N L the feet of u n l, . nothing.
constexpr int kMapWidth = 64;
constexpr int kMapHeight = 18;
const char* const kLevel[kMapHeight] = {
    "S..............................................................S",
    "S..............................................................S",
    "S..............................................................S",
    "S....cc..................ccc............................cc.....S",
    "S...cccc................ccccc..............cc..........cccc....S",
    "S.........................................cccc.................S",
    "S..............................................................S",
    "S...................................WWWW.......................S",
    "S..............................................................S",
    "S......................WWWW.......................f.f.f........S",
    "S.................................SS..............SSSSS........S",
    "S.......................f........SSSS..........................S",
    "S............X.........uGhl.....SSSSSS.......XX................S",
    "S.....b..ff.XX...b....uUDDLhl.bSSSSSSSS......XXXb.......f.b.f..S",
    "SGGGGGGGGGGGGGGGGG...GUDDDDDLGGGGGGGGGGGG..GGGGGGGGGGGGGGGGGGGGS",
    "SDDDDDDDDDDDDDDDDD...DDDDDDDDDDDDDDDDDDDD..DDDDDDDDDDDDDDDDDDDDS",
    "SDDDDDDDDDDDDDDDDD...DDDDDDDDDDDDDDDDDDDD..DDDDDDDDDDDDDDDDDDDDS",
    "SDDDDDDDDDDDDDDDDD...DDDDDDDDDDDDDDDDDDDD..DDDDDDDDDDDDDDDDDDDDS",
};
// Letters in the order of the sheet's tiles. All but the bush, flower and cloud are solid.
constexpr std::string_view kTileLetters = "GDSWXbfcunhlUNL";
bool Solid(int id) {
    return id < 5 || id >= kFirstRamp;
}
// Where the player starts: the middle of its feet, on the grass of column 3.
constexpr int kStartX = 3 * kCell + kCell / 2, kStartY = 14 * kCell;

bool WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// Tiled counts the sheet's last cell, left empty, as a tile.
bool PlatformerTileset(const std::string& path) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<tileset version=\"1.8\" tiledversion=\"1.8.2\" name=\"platformer\" "
                    "tilewidth=\"32\" tileheight=\"32\" tilecount=\"16\" columns=\"4\">\n"
                    " <image source=\"platformer.png\" width=\"128\" height=\"128\"/>\n";
    // Tiled 1.8 writes a tile's class as "type". A ramp's collision shape is its outline, placed
    // at its first corner as Tiled places a polygon drawn in its Tile Collision Editor.
    auto text = [](double v) { return std::to_string(int(v)); };
    for (int id = 0; id < int(kTileLetters.size()); ++id) {
        if (!Solid(id))
            continue;
        x += " <tile id=\"" + std::to_string(id) + "\" type=\"solid\"";
        if (id < kFirstRamp || id >= kFirstRamp + kRampCount) {
            x += "/>\n";
            continue;
        }
        const std::vector<Vec2> corners = Outline(kRamps[id - kFirstRamp]);
        std::string points;
        for (const Vec2 c : corners)
            points += (points.empty() ? "" : " ") + text(c.x - corners[0].x) + "," +
                      text(c.y - corners[0].y);
        x += ">\n  <objectgroup draworder=\"index\" id=\"2\">\n   <object id=\"1\" x=\"" +
             text(corners[0].x) + "\" y=\"" + text(corners[0].y) + "\">\n    <polygon points=\"" +
             points + "\"/>\n   </object>\n  </objectgroup>\n </tile>\n";
    }
    x += "</tileset>\n";
    return WriteText(path, x);
}

// The cells of one layer as Tiled's CSV: global ids (the tile set's first is 1), 0 for none.
std::string LayerCsv(bool clouds) {
    std::string csv;
    for (int y = 0; y < kMapHeight; ++y) {
        for (int x = 0; x < kMapWidth; ++x) {
            const char letter = kLevel[y][x];
            const size_t tile = kTileLetters.find(letter);
            const bool here = tile != std::string_view::npos && (letter == 'c') == clouds;
            csv += std::to_string(here ? tile + 1 : 0);
            if (x + 1 < kMapWidth || y + 1 < kMapHeight)
                csv += ",";
        }
        csv += "\n";
    }
    return csv;
}

bool PlatformerMap(const std::string& path) {
    for (const char* row : kLevel)
        if (std::string_view(row).size() != size_t(kMapWidth))
            return false;
    const std::string size =
        "width=\"" + std::to_string(kMapWidth) + "\" height=\"" + std::to_string(kMapHeight) + "\"";
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<map version=\"1.8\" tiledversion=\"1.8.2\" orientation=\"orthogonal\" "
                    "renderorder=\"right-down\" " +
                    size +
                    " tilewidth=\"32\" tileheight=\"32\" infinite=\"0\" nextlayerid=\"4\" "
                    "nextobjectid=\"2\">\n"
                    " <tileset firstgid=\"1\" source=\"platformer.tsx\"/>\n";
    x += " <layer id=\"1\" name=\"clouds\" " + size + ">\n  <data encoding=\"csv\">\n" +
         LayerCsv(true) + "</data>\n </layer>\n";
    x += " <layer id=\"2\" name=\"ground\" " + size + ">\n  <data encoding=\"csv\">\n" +
         LayerCsv(false) + "</data>\n </layer>\n";
    x += " <objectgroup id=\"3\" name=\"places\">\n  <object id=\"1\" name=\"start\" x=\"" +
         std::to_string(kStartX) + "\" y=\"" + std::to_string(kStartY) +
         "\">\n   <point/>\n  </object>\n </objectgroup>\n</map>\n";
    return WriteText(path, x);
}

// ---------------------------------------------------------------------------------------------
// Sounds

constexpr int kRate = 44100;

// A mono sound in [-1, 1], the same on both channels.
bool WriteSound(const std::string& path, const std::vector<double>& samples) {
    std::vector<int16_t> stereo;
    stereo.reserve(samples.size() * 2);
    for (double s : samples) {
        const int16_t v = Sound::Pcm16(Clamp(s, -1.0, 1.0) * 32000.0);
        stereo.insert(stereo.end(), {v, v});
    }
    return Sound::WriteWav(path, kRate, 2, stereo);
}

// A plucked note: a sine and its octave under a quick attack and an exponential-ish decay.
void Note(std::vector<double>& out, double start, double length, double freq, double gain) {
    const long from = long(start * kRate), n = long(length * kRate);
    for (long i = 0; i < n && from + i < long(out.size()); ++i) {
        const double t = double(i) / kRate;
        const double attack = Clamp(t / 0.005, 0.0, 1.0);
        const double decay = (1.0 - double(i) / double(n));
        const double env = attack * decay * decay;
        const double w = 2 * kPi * freq * t;
        out[size_t(from + i)] += gain * env * (Sin(w) + 0.3 * Sin(2 * w));
    }
}

double Midi(int key) {
    // 2^((key - 69) / 12) * 440 by repeated multiplication: exact and repeatable.
    double f = 440.0;
    const double semitone = 1.0594630943592953;
    for (int k = 69; k < key; ++k)
        f *= semitone;
    for (int k = 69; k > key; --k)
        f /= semitone;
    return f;
}

bool Loop(const std::string& path) {
    // Two bars of eighth notes at 120 beats a minute; every note ends inside the loop.
    std::vector<double> out(size_t(2 * kRate), 0.0);
    const int bass[] = {45, 45, 52, 52, 50, 50, 52, 52};
    const int arp[] = {69, 72, 76, 72, 74, 77, 76, 72, 69, 72, 76, 79, 77, 74, 72, 71};
    for (int i = 0; i < 8; ++i)
        Note(out, i * 0.25, 0.24, Midi(bass[i]), 0.35);
    for (int i = 0; i < 16; ++i)
        Note(out, i * 0.125, 0.12, Midi(arp[i]), 0.2);
    return WriteSound(path, out);
}

bool Chirp(const std::string& path, double seconds, double f0, double f1) {
    std::vector<double> out(size_t(seconds * kRate));
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / double(out.size());
        phase += 2 * kPi * (f0 + (f1 - f0) * t) / kRate;
        out[i] = 0.5 * (1 - t) * Sin(phase);
    }
    return WriteSound(path, out);
}

bool Coin(const std::string& path) {
    std::vector<double> out(size_t(0.2 * kRate), 0.0);
    Note(out, 0.0, 0.07, Midi(83), 0.5);
    Note(out, 0.06, 0.14, Midi(88), 0.5);
    return WriteSound(path, out);
}

bool Hit(const std::string& path) {
    // Noise from a linear congruential generator, low-passed, dying away.
    std::vector<double> out(size_t(0.3 * kRate));
    uint32_t state = 12345;
    double low = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = double(state >> 8) / double(1 << 24) * 2 - 1;
        low += 0.2 * (noise - low);
        const double t = double(i) / double(out.size());
        out[i] = 0.9 * (1 - t) * (1 - t) * low + 0.3 * (1 - t) * Sin(2 * kPi * 70 * i / kRate);
    }
    return WriteSound(path, out);
}

bool Blip(const std::string& path) {
    // A short bright beep, for a ball against a wall or a paddle: a sine and its third harmonic.
    std::vector<double> out(size_t(0.06 * kRate));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / double(out.size());
        const double w = 2 * kPi * 660 * double(i) / kRate;
        out[i] = 0.45 * Clamp(t / 0.05, 0.0, 1.0) * (1 - t) * (Sin(w) + 0.25 * Sin(3 * w));
    }
    return WriteSound(path, out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const bool ok =
        WritePng(dir + "tiles.png", Tiles()) && WritePng(dir + "walker.png", Walker()) &&
        WritePng(dir + "ball.png", Ball()) && WritePng(dir + "panel.png", Panel()) &&
        WritePng(dir + "platformer.png", PlatformerSheet()) &&
        PlatformerTileset(dir + "platformer.tsx") && PlatformerMap(dir + "platformer.tmx") &&
        Loop(dir + "loop.wav") && Chirp(dir + "jump.wav", 0.18, 300, 900) &&
        Coin(dir + "coin.wav") && Hit(dir + "hit.wav") && Blip(dir + "blip.wav");
    if (!ok) {
        std::fprintf(stderr, "%s: could not write into %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}

// Writes the examples' own images and sounds into the directory given as the only argument:
//
//   tiles.png    256 x 64: grass, dirt, stone and a crate, 64 pixels square each
//   walker.png   256 x 64: four frames of a round little walker, 64 pixels square each
//   ball.png     32 x 32: a shaded ball
//   white.png    4 x 4 of white, to stretch over rectangles
//   platformer.png, platformer.tsx, platformer.tmx
//                a Tiled map of 64 x 18 cells with its tile set and sheet (eight tiles of
//                32 x 32 pixels: grass, dirt, stone, wood, a crate, a bush, a flower, a cloud;
//                the first five of class "solid"), drawn as text below
//   loop.wav     a two-second tune that loops without a seam
//   jump.wav, coin.wav, hit.wav   short effects
//
// Sounds are 44100 Hz, signed 16-bit little-endian stereo, the audio device's format. The
// output is byte-for-byte reproducible: no clock, no library random numbers, and sine computed
// with plain arithmetic rather than libm, whose last bit may differ between builds.

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

double Clamp(double v, double lo, double hi) {
    return std::min(std::max(v, lo), hi);
}

// sin(x) from a range reduction and a Taylor series; exact enough for pictures and sound.
double Sine(double x) {
    x -= 2.0 * kPi * std::floor(x / (2.0 * kPi));
    double sign = 1.0;
    if (x > kPi) {
        x -= kPi;
        sign = -1.0;
    }
    if (x > kPi / 2)
        x = kPi - x;
    const double x2 = x * x;
    double term = x, sum = x;
    for (int n = 1; n < 10; ++n) {
        term *= -x2 / double((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sign * sum;
}

// ---------------------------------------------------------------------------------------------
// Images: each pixel is the colour of the last shape that covers it, shapes given as signed
// distances (negative inside) so that edges are antialiased by one pixel.

struct Colour {
    double r, g, b, a;
};

class Canvas {
public:
    Canvas(int w, int h) : m_w(w), m_h(h), m_px(size_t(w) * size_t(h), Colour{0, 0, 0, 0}) {}

    // Paints colour(x, y) where distance(x, y) < 0, in the cell of cw by ch at (cx, cy).
    void Shape(int cx, int cy, int cw, int ch,
               const std::function<double(double, double)>& distance,
               const std::function<Colour(double, double)>& colour) {
        for (int y = cy; y < cy + ch; ++y)
            for (int x = cx; x < cx + cw; ++x) {
                const double px = x - cx + 0.5, py = y - cy + 0.5;
                const double cover = Clamp(0.5 - distance(px, py), 0.0, 1.0);
                if (cover <= 0.0)
                    continue;
                Colour c = colour(px, py);
                c.a *= cover;
                Colour& d = m_px[size_t(y) * size_t(m_w) + size_t(x)];
                const double a = c.a + d.a * (1.0 - c.a);
                if (a > 0.0) {
                    d.r = (c.r * c.a + d.r * d.a * (1.0 - c.a)) / a;
                    d.g = (c.g * c.a + d.g * d.a * (1.0 - c.a)) / a;
                    d.b = (c.b * c.a + d.b * d.a * (1.0 - c.a)) / a;
                }
                d.a = a;
            }
    }

    bool Write(const std::string& path) const {
        std::vector<unsigned char> out;
        out.reserve(m_px.size() * 4);
        auto byte = [](double v) { return (unsigned char)std::lround(Clamp(v, 0.0, 1.0) * 255.0); };
        for (const Colour& c : m_px) {
            out.push_back(byte(c.r));
            out.push_back(byte(c.g));
            out.push_back(byte(c.b));
            out.push_back(byte(c.a));
        }
        return stbi_write_png(path.c_str(), m_w, m_h, 4, out.data(), m_w * 4) != 0;
    }

private:
    int m_w, m_h;
    std::vector<Colour> m_px;
};

double Box(double x, double y, double x0, double y0, double x1, double y1) {
    const double dx = std::max(x0 - x, x - x1), dy = std::max(y0 - y, y - y1);
    return std::max(dx, dy);
}
double Circle(double x, double y, double cx, double cy, double r) {
    return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - r;
}
auto Flat(Colour c) {
    return [c](double, double) { return c; };
}
// A cheap repeatable speckle in [0, 1).
double Hash(int x, int y) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double((h ^ (h >> 16)) & 0xFFFF) / 65536.0;
}

bool Tiles(const std::string& path) {
    Canvas c(256, 64);
    auto full = [](double x, double y) { return Box(x, y, 0, 0, 64, 64); };
    auto speckled = [](Colour base, double amount) {
        return [base, amount](double x, double y) {
            const double k = 1.0 + amount * (Hash(int(x) / 4, int(y) / 4) - 0.5);
            return Colour{base.r * k, base.g * k, base.b * k, 1};
        };
    };
    // Grass over dirt.
    c.Shape(0, 0, 64, 64, full, speckled({0.55, 0.36, 0.22, 1}, 0.25));
    c.Shape(
        0, 0, 64, 64, [](double x, double y) { return y - 16 - 3 * Sine(x * 0.4); },
        speckled({0.30, 0.68, 0.28, 1}, 0.2));
    // Dirt.
    c.Shape(64, 0, 64, 64, full, speckled({0.55, 0.36, 0.22, 1}, 0.25));
    // Stone blocks with mortar.
    c.Shape(128, 0, 64, 64, full, Flat({0.35, 0.36, 0.40, 1}));
    for (int row = 0; row < 2; ++row)
        for (int col = -1; col < 2; ++col) {
            const double x0 = col * 32 + (row % 2) * 16 + 2, y0 = row * 32 + 2;
            c.Shape(
                128, 0, 64, 64,
                [=](double x, double y) { return Box(x, y, x0, y0, x0 + 28, y0 + 28) + 2; },
                speckled({0.60, 0.62, 0.66, 1}, 0.15));
        }
    // A crate: a frame and two planks across.
    c.Shape(192, 0, 64, 64, full, Flat({0.45, 0.27, 0.12, 1}));
    c.Shape(
        192, 0, 64, 64, [](double x, double y) { return Box(x, y, 6, 6, 58, 58); },
        Flat({0.78, 0.55, 0.30, 1}));
    c.Shape(
        192, 0, 64, 64, [](double x, double y) { return std::abs(x - y) / 1.414 - 4; },
        Flat({0.45, 0.27, 0.12, 1}));
    return c.Write(path);
}

bool Walker(const std::string& path) {
    Canvas c(256, 64);
    for (int f = 0; f < 4; ++f) {
        const double phase = f * kPi / 2;
        const double bob = 2 * std::abs(Sine(phase));
        const int ox = f * 64;
        // Two legs swinging in turn (the far one darker), then the body, an eye looking right.
        for (int leg = 0; leg < 2; ++leg) {
            const double swing = 9 * Sine(phase + leg * kPi);
            const double fx = 32 + swing, shade = leg == 0 ? 0.6 : 1.0;
            c.Shape(
                ox, 0, 64, 64,
                [=](double x, double y) { return Box(x, y, fx - 4, 44, fx + 4, 60) - 1; },
                Flat({0.25 * shade, 0.28 * shade, 0.60 * shade, 1}));
        }
        c.Shape(
            ox, 0, 64, 64, [=](double x, double y) { return Circle(x, y, 32, 30 - bob, 20); },
            [=](double x, double y) {
                const double light = Clamp(1.0 - 0.02 * ((x - 24) + (y - 20 + bob)), 0.6, 1.2);
                return Colour{0.95 * light, 0.55 * light, 0.20 * light, 1};
            });
        c.Shape(
            ox, 0, 64, 64, [=](double x, double y) { return Circle(x, y, 41, 24 - bob, 6); },
            Flat({1, 1, 1, 1}));
        c.Shape(
            ox, 0, 64, 64, [=](double x, double y) { return Circle(x, y, 43, 24 - bob, 3); },
            Flat({0.1, 0.1, 0.15, 1}));
    }
    return c.Write(path);
}

bool Ball(const std::string& path) {
    Canvas c(32, 32);
    c.Shape(
        0, 0, 32, 32, [](double x, double y) { return Circle(x, y, 16, 16, 15); },
        [](double x, double y) {
            const double d = std::sqrt((x - 11) * (x - 11) + (y - 10) * (y - 10)) / 22;
            const double k = Clamp(1.15 - d, 0.35, 1.15);
            return Colour{0.30 * k, 0.75 * k, 0.95 * k, 1};
        });
    return c.Write(path);
}

bool White(const std::string& path) {
    Canvas c(4, 4);
    c.Shape(
        0, 0, 4, 4, [](double x, double y) { return Box(x, y, 0, 0, 4, 4) - 1; },
        Flat({1, 1, 1, 1}));
    return c.Write(path);
}

// ---------------------------------------------------------------------------------------------
// The Tiled map: its sheet, its tile set and the map itself, in the form Tiled 1.8 writes them,
// so that the map opens in Debian's Tiled and saves back without changes beyond its own.

constexpr int kCell = 32;

bool PlatformerSheet(const std::string& path) {
    Canvas c(4 * kCell, 2 * kCell);
    auto full = [](double x, double y) { return Box(x, y, 0, 0, kCell, kCell); };
    auto speckled = [](Colour base, double amount) {
        return [base, amount](double x, double y) {
            const double k = 1.0 + amount * (Hash(int(x) / 2 + 7, int(y) / 2) - 0.5);
            return Colour{base.r * k, base.g * k, base.b * k, 1};
        };
    };
    const Colour dirt{0.50, 0.33, 0.20, 1}, wood{0.72, 0.50, 0.28, 1};
    const Colour dark{0.40, 0.24, 0.11, 1}, leaf{0.22, 0.55, 0.25, 1};
    // 0: grass over dirt.
    c.Shape(0, 0, kCell, kCell, full, speckled(dirt, 0.3));
    c.Shape(
        0, 0, kCell, kCell, [](double x, double y) { return y - 9 - 2 * Sine(x * 0.8); },
        speckled({0.32, 0.70, 0.30, 1}, 0.25));
    // 1: dirt.
    c.Shape(kCell, 0, kCell, kCell, full, speckled(dirt, 0.3));
    // 2: stone, four blocks in mortar.
    c.Shape(2 * kCell, 0, kCell, kCell, full, Flat({0.30, 0.31, 0.35, 1}));
    for (int i = 0; i < 4; ++i) {
        const double x0 = (i % 2) * 16 + 1, y0 = (i / 2) * 16 + 1;
        c.Shape(
            2 * kCell, 0, kCell, kCell,
            [=](double x, double y) { return Box(x, y, x0, y0, x0 + 14, y0 + 14) + 1; },
            speckled({0.58, 0.60, 0.64, 1}, 0.2));
    }
    // 3: wood, three planks.
    c.Shape(3 * kCell, 0, kCell, kCell, full, Flat(dark));
    for (int i = 0; i < 3; ++i) {
        const double y0 = i * 32.0 / 3 + 1.5, y1 = (i + 1) * 32.0 / 3 - 1.5;
        c.Shape(
            3 * kCell, 0, kCell, kCell,
            [=](double x, double y) { return Box(x, y, 1, y0, 31, y1); }, Flat(wood));
    }
    // 4: a crate, a frame with a plank across.
    c.Shape(0, kCell, kCell, kCell, full, Flat(dark));
    c.Shape(
        0, kCell, kCell, kCell, [](double x, double y) { return Box(x, y, 4, 4, 28, 28); },
        Flat({0.80, 0.58, 0.32, 1}));
    c.Shape(
        0, kCell, kCell, kCell, [](double x, double y) { return std::abs(x - y) / 1.414 - 2.5; },
        Flat(dark));
    // 5: a bush, three leafy balls on the ground.
    struct Blob {
        double x, y, r;
    };
    for (const Blob ball : {Blob{9, 24, 8}, Blob{23, 24, 8}, Blob{16, 17, 10}})
        c.Shape(
            kCell, kCell, kCell, kCell,
            [=](double x, double y) {
                return std::max(Circle(x, y, ball.x, ball.y, ball.r), y - 32);
            },
            [=](double, double y) {
                const double k = Clamp(1.25 - 0.04 * (y - ball.y + ball.r), 0.7, 1.25);
                return Colour{leaf.r * k, leaf.g * k, leaf.b * k, 1};
            });
    // 6: a flower on its stem.
    c.Shape(
        2 * kCell, kCell, kCell, kCell,
        [](double x, double y) { return Box(x, y, 15, 14, 17, 32); }, Flat(leaf));
    for (int petal = 0; petal < 5; ++petal) {
        const double a = petal * 2 * kPi / 5;
        const double px = 16 + 5 * Sine(a), py = 11 - 5 * Sine(a + kPi / 2);
        c.Shape(
            2 * kCell, kCell, kCell, kCell,
            [=](double x, double y) { return Circle(x, y, px, py, 4); },
            Flat({0.95, 0.45, 0.60, 1}));
    }
    c.Shape(
        2 * kCell, kCell, kCell, kCell, [](double x, double y) { return Circle(x, y, 16, 11, 3); },
        Flat({1.0, 0.85, 0.25, 1}));
    // 7: a cloud, a band across the whole cell so that neighbours run together.
    c.Shape(
        3 * kCell, kCell, kCell, kCell,
        [](double x, double y) {
            const double band = Box(x, y, -1, 18, 33, 26);
            return std::min({band, Circle(x, y, 9, 18, 7), Circle(x, y, 21, 15, 9)});
        },
        Flat({0.82, 0.86, 0.90, 0.9}));
    return c.Write(path);
}

// The map as drawn: one letter a cell, S stone, G grass, D dirt, W wood, X crate, b bush,
// f flower, c cloud (on a layer of its own, behind the rest), . nothing.
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
    "S.................................................f.f.f........S",
    "S.................................SS..............SSSSS........S",
    "S.....................WWWW.......SSSS..........................S",
    "S............X..................SSSSSS.......XX................S",
    "S.....b..ff.XX...b........f.b..SSSSSSSS......XXXb.......f.b.f..S",
    "SGGGGGGGGGGGGGGGGG...GGGGGGGGGGGGGGGGGGGG..GGGGGGGGGGGGGGGGGGGGS",
    "SDDDDDDDDDDDDDDDDD...DDDDDDDDDDDDDDDDDDDD..DDDDDDDDDDDDDDDDDDDDS",
    "SDDDDDDDDDDDDDDDDD...DDDDDDDDDDDDDDDDDDDD..DDDDDDDDDDDDDDDDDDDDS",
    "SDDDDDDDDDDDDDDDDD...DDDDDDDDDDDDDDDDDDDD..DDDDDDDDDDDDDDDDDDDDS",
};
// Letters in the order of the sheet's tiles.
constexpr std::string_view kTileLetters = "GDSWXbfc";
constexpr int kSolidTiles = 5;
// Where the player starts: the middle of its feet, on the grass of column 3.
constexpr int kStartX = 3 * kCell + kCell / 2, kStartY = 14 * kCell;

bool WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

bool PlatformerTileset(const std::string& path) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<tileset version=\"1.8\" tiledversion=\"1.8.2\" name=\"platformer\" "
                    "tilewidth=\"32\" tileheight=\"32\" tilecount=\"8\" columns=\"4\">\n"
                    " <image source=\"platformer.png\" width=\"128\" height=\"64\"/>\n";
    // Tiled 1.8 writes a tile's class as "type".
    for (int id = 0; id < kSolidTiles; ++id)
        x += " <tile id=\"" + std::to_string(id) + "\" type=\"solid\"/>\n";
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

bool WriteWav(const std::string& path, const std::vector<double>& samples) {
    std::vector<unsigned char> out;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back((unsigned char)((v >> (8 * i)) & 0xFF));
    };
    const uint32_t data = uint32_t(samples.size()) * 4; // two channels, two bytes each
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(36 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4);
    put(1, 2); // PCM
    put(2, 2);
    put(kRate, 4);
    put(kRate * 4, 4);
    put(4, 2);
    put(16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    for (double s : samples) {
        const auto v = uint16_t(int16_t(std::lround(Clamp(s, -1.0, 1.0) * 32000.0)));
        put(v, 2);
        put(v, 2);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
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
        out[size_t(from + i)] += gain * env * (Sine(w) + 0.3 * Sine(2 * w));
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
    return WriteWav(path, out);
}

bool Chirp(const std::string& path, double seconds, double f0, double f1) {
    std::vector<double> out(size_t(seconds * kRate));
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / double(out.size());
        phase += 2 * kPi * (f0 + (f1 - f0) * t) / kRate;
        out[i] = 0.5 * (1 - t) * Sine(phase);
    }
    return WriteWav(path, out);
}

bool Coin(const std::string& path) {
    std::vector<double> out(size_t(0.2 * kRate), 0.0);
    Note(out, 0.0, 0.07, Midi(83), 0.5);
    Note(out, 0.06, 0.14, Midi(88), 0.5);
    return WriteWav(path, out);
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
        out[i] = 0.9 * (1 - t) * (1 - t) * low + 0.3 * (1 - t) * Sine(2 * kPi * 70 * i / kRate);
    }
    return WriteWav(path, out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const bool ok =
        Tiles(dir + "tiles.png") && Walker(dir + "walker.png") && Ball(dir + "ball.png") &&
        White(dir + "white.png") && PlatformerSheet(dir + "platformer.png") &&
        PlatformerTileset(dir + "platformer.tsx") && PlatformerMap(dir + "platformer.tmx") &&
        Loop(dir + "loop.wav") && Chirp(dir + "jump.wav", 0.18, 300, 900) &&
        Coin(dir + "coin.wav") && Hit(dir + "hit.wav");
    if (!ok) {
        std::fprintf(stderr, "%s: could not write into %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}

// Checks on the committed images: the sizes the game cuts them by, transparency where sprites
// need it, seamless tiles, a smooth animation loop, and that the generator still makes them.

#include <gtest/gtest.h>

#include <stb_image.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;

    const uint8_t* At(int x, int y) const { return &rgba[size_t(4 * (y * width + x))]; }
    int Alpha(int x, int y) const { return At(x, y)[3]; }

    // A w x h cell, for cutting sheets as the game does.
    Image Cell(int x0, int y0, int w, int h) const {
        Image out{w, h, {}};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.rgba.insert(out.rgba.end(), At(x0 + x, y0 + y), At(x0 + x, y0 + y) + 4);
        return out;
    }
};

Image Load(const std::string& path) {
    // The engine's decoder sets the flip for its thread, which outranks the
    // process-wide setting.
    stbi_set_flip_vertically_on_load_thread(0);
    Image img;
    int channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &img.width, &img.height, &channels, 4);
    if (!data) {
        ADD_FAILURE() << "cannot decode " << path << ": " << stbi_failure_reason();
        return {};
    }
    img.rgba.assign(data, data + size_t(img.width) * img.height * 4);
    stbi_image_free(data);
    return img;
}

// Colour as seen over the game's clear colour.
std::array<double, 3> OverBackground(const uint8_t* p) {
    const double a = p[3] / 255.0;
    return {p[0] * a + 38 * (1 - a), p[1] * a + 46 * (1 - a), p[2] * a + 51 * (1 - a)};
}

double Difference(const uint8_t* p, const uint8_t* q) {
    const auto a = OverBackground(p), b = OverBackground(q);
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

// Mean difference between column (or row) `i` of `a` and column (or row) `j` of `b`.
double LineDifference(const Image& a, int i, const Image& b, int j, bool columns) {
    const int n = columns ? a.height : a.width;
    double sum = 0;
    for (int k = 0; k < n; ++k)
        sum += columns ? Difference(a.At(i, k), b.At(j, k)) : Difference(a.At(k, i), b.At(k, j));
    return sum / n;
}

// How much worse the joint of `a` followed by `b` (b to the right of, or below, a) is than the
// median step between neighbouring lines inside `a`: at most 1 for a seamless joint, since a
// joint cut through a texture jumps further than its neighbouring lines do.
double SeamRatio(const Image& a, const Image& b, bool sideBySide) {
    const int n = sideBySide ? a.width : a.height;
    std::vector<double> inside;
    for (int i = 0; i + 1 < n; ++i)
        inside.push_back(LineDifference(a, i, a, i + 1, sideBySide));
    std::sort(inside.begin(), inside.end());
    const double typical = inside[inside.size() / 2];
    return LineDifference(a, n - 1, b, 0, sideBySide) / std::max(typical, 1.0);
}

double FrameDifference(const Image& a, const Image& b) {
    double sum = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            sum += Difference(a.At(x, y), b.At(x, y));
    return sum / (a.width * a.height);
}

struct Bounds {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

Bounds OpaqueBounds(const Image& img) {
    Bounds b;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.Alpha(x, y) >= 128) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

std::vector<Image> Tiles() {
    const Image sheet = Load("./Assets/tiles.png");
    std::vector<Image> tiles;
    for (int y = 0; y + 64 <= sheet.height; y += 64)
        for (int x = 0; x + 64 <= sheet.width; x += 64)
            tiles.push_back(sheet.Cell(x, y, 64, 64));
    return tiles;
}

TEST(AssetImages, HaveTheSizesTheGameCutsThemBy) {
    const Image boat = Load("./Assets/boat-sheet.png");
    EXPECT_EQ(boat.width % 64, 0);
    EXPECT_EQ(boat.height % 64, 0);
    EXPECT_GE((boat.width / 64) * (boat.height / 64), 4) << "too few animation frames";

    const Image fish = Load("./Assets/fish.png");
    EXPECT_EQ(fish.width, 64);
    EXPECT_EQ(fish.height, 64);

    const Image tiles = Load("./Assets/tiles.png");
    EXPECT_EQ(tiles.width, 256);
    EXPECT_EQ(tiles.height, 192);
}

TEST(BoatSheet, EveryFrameIsABoatOnTheFloorOverClearBackground) {
    const Image sheet = Load("./Assets/boat-sheet.png");
    for (int y = 0; y + 64 <= sheet.height; y += 64)
        for (int x = 0; x + 64 <= sheet.width; x += 64) {
            SCOPED_TRACE("frame at " + std::to_string(x) + ", " + std::to_string(y));
            const Image f = sheet.Cell(x, y, 64, 64);
            EXPECT_EQ(f.Alpha(0, 0), 0);
            EXPECT_EQ(f.Alpha(63, 0), 0);
            EXPECT_EQ(f.Alpha(0, 32), 0);
            const Bounds b = OpaqueBounds(f);
            EXPECT_GE(b.right - b.left, 48) << "boat should fill most of the frame";
            EXPECT_GE(b.bottom - b.top, 48);
            EXPECT_GE(b.bottom, 61) << "the collider stands on its bottom edge";
        }
}

TEST(BoatSheet, AnimatesAndLoopsWithoutAJump) {
    const Image sheet = Load("./Assets/boat-sheet.png");
    std::vector<Image> frames;
    for (int y = 0; y + 64 <= sheet.height; y += 64)
        for (int x = 0; x + 64 <= sheet.width; x += 64)
            frames.push_back(sheet.Cell(x, y, 64, 64));
    ASSERT_GE(frames.size(), 4u);

    double largestStep = 0;
    for (size_t i = 0; i + 1 < frames.size(); ++i) {
        const double step = FrameDifference(frames[i], frames[i + 1]);
        EXPECT_GT(step, 1.0) << "frames " << i << " and " << i + 1 << " look the same";
        largestStep = std::max(largestStep, step);
    }
    EXPECT_LE(FrameDifference(frames.back(), frames.front()), 1.25 * largestStep);
}

TEST(Fish, IsAnOpaqueShapeWithTransparentSurroundings) {
    const Image fish = Load("./Assets/fish.png");
    for (int c : {0, 63}) {
        EXPECT_EQ(fish.Alpha(c, 0), 0);
        EXPECT_EQ(fish.Alpha(c, 63), 0);
    }
    EXPECT_EQ(fish.Alpha(32, 32), 255);
    int opaque = 0, soft = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            opaque += fish.Alpha(x, y) == 255;
            soft += fish.Alpha(x, y) > 0 && fish.Alpha(x, y) < 255;
        }
    EXPECT_GT(opaque, 64 * 64 / 3);
    EXPECT_LT(opaque, 64 * 64 * 4 / 5);
    EXPECT_GT(soft, 40) << "edges should be antialiased";
}

TEST(TileSet, SolidTilesAreOpaque) {
    const std::vector<Image> tiles = Tiles();
    ASSERT_EQ(tiles.size(), 12u);
    for (int t : {0, 1, 2, 3, 4, 7, 10})
        for (int i = 0; i < 64 * 64; ++i)
            ASSERT_EQ(tiles[t].rgba[size_t(4 * i + 3)], 255) << "tile " << t << " pixel " << i;
}

TEST(TileSet, TilesJoinTheirNeighboursSeamlessly) {
    const std::vector<Image> t = Tiles();
    ASSERT_EQ(t.size(), 12u);
    const double limit = 1.0;
    // Floors, walls, platforms, stacks and the sea: each tile beside a copy of itself.
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11})
        EXPECT_LE(SeamRatio(t[i], t[i], true), limit) << "tile " << i << " beside itself";
    for (int i : {1, 2, 3, 4, 5, 6, 7, 9, 10})
        EXPECT_LE(SeamRatio(t[i], t[i], false), limit) << "tile " << i << " above itself";
    EXPECT_LE(SeamRatio(t[0], t[1], false), limit) << "grass over earth";
    EXPECT_LE(SeamRatio(t[5], t[6], false), limit) << "draught 5 over 6";
    EXPECT_LE(SeamRatio(t[6], t[5], false), limit) << "draught 6 over 5";
    EXPECT_LE(SeamRatio(t[8], t[9], false), limit) << "sea surface over deep water";
    EXPECT_LE(SeamRatio(t[9], t[11], false), limit) << "deep water over seaweed";
    EXPECT_LE(SeamRatio(t[9], t[11], true), limit) << "deep water beside seaweed";
    EXPECT_LE(SeamRatio(t[11], t[9], true), limit) << "seaweed beside deep water";

    // The measure does see a real edge: stone beside brick is not seamless.
    EXPECT_GT(SeamRatio(t[2], t[4], true), limit);
}

TEST(TileSet, DraughtTilesAreLightAndNotARepeat) {
    const std::vector<Image> t = Tiles();
    ASSERT_EQ(t.size(), 12u);
    for (int i : {5, 6}) {
        double brightness = 0;
        int white = 0;
        for (int p = 0; p < 64 * 64; ++p) {
            const auto c = OverBackground(&t[i].rgba[size_t(4 * p)]);
            brightness += (c[0] + c[1] + c[2]) / 3;
            white += c[0] > 230 && c[1] > 230 && c[2] > 230;
        }
        EXPECT_GT(brightness / (64 * 64), 110) << "tile " << i << " should read as light air";
        EXPECT_GT(white, 60) << "tile " << i << " should carry bright arrows";
    }
    EXPECT_GT(FrameDifference(t[5], t[6]), 5.0);
}

// Tiles are drawn over the fish, so the water must let it show through.
TEST(TileSet, WaterIsSeeThroughUnderAFoamLine) {
    const std::vector<Image> t = Tiles();
    ASSERT_EQ(t.size(), 12u);
    const Image fish = Load("./Assets/fish.png");
    ASSERT_EQ(fish.width, 64);
    const Image& surface = t[8];
    const Image& deep = t[9];

    for (int x = 0; x < 64; ++x) {
        SCOPED_TRACE("column " + std::to_string(x));
        EXPECT_EQ(surface.Alpha(x, 0), 0) << "the air above the sea is clear";
        int crest = 0;
        for (int y = 1; y <= 12; ++y)
            crest = std::max(crest, surface.Alpha(x, y));
        EXPECT_GE(crest, 204) << "the wave line should run unbroken near the top";
    }

    // The body of the water: below the crest of the surface tile, and all of deep water.
    struct Body {
        const Image* tile;
        int top;
    };
    for (const Body& body : {Body{&surface, 16}, Body{&deep, 0}}) {
        SCOPED_TRACE(body.tile == &surface ? "surface" : "deep water");
        std::vector<int> alphas;
        double fishShows = 0, fishBare = 0;
        for (int y = body.top; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                alphas.push_back(body.tile->Alpha(x, y));
                if (fish.Alpha(x, y) < 255)
                    continue;
                // The fish under the water against the water alone, both over the background.
                const uint8_t* w = body.tile->At(x, y);
                const double a = w[3] / 255.0;
                const double bg[3] = {38, 46, 51};
                for (int k = 0; k < 3; ++k) {
                    const double under = fish.At(x, y)[k] * (1 - a) + w[k] * a;
                    const double over = bg[k] * (1 - a) + w[k] * a;
                    fishShows += std::abs(under - over);
                    fishBare += std::abs(fish.At(x, y)[k] - bg[k]);
                }
            }
        // About half clear: tinted enough to read as water, clear enough to see through.
        std::sort(alphas.begin(), alphas.end());
        EXPECT_GE(alphas[alphas.size() / 2], 115);
        EXPECT_LE(alphas[alphas.size() / 2], 153);
        EXPECT_LE(alphas.back(), 217) << "nothing in the water may hide the fish";
        EXPECT_GE(fishShows / fishBare, 0.38) << "the fish should stay clearly visible";
    }

    auto brightness = [](const Image& img, int top) {
        double sum = 0;
        for (int y = top; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const auto c = OverBackground(img.At(x, y));
                sum += c[0] + c[1] + c[2];
            }
        return sum / (64 * (64 - top));
    };
    EXPECT_LT(brightness(deep, 0), brightness(surface, 16)) << "deep water is the darker";
}

TEST(TileSet, SeaweedGrowsFromTheFloorInDeepWater) {
    const std::vector<Image> t = Tiles();
    ASSERT_EQ(t.size(), 12u);
    const Image& weed = t[11];
    auto isWeed = [&](int x, int y) {
        const uint8_t* p = weed.At(x, y);
        return p[3] >= 204 && p[1] > p[0] + 30 && p[1] > p[2] + 20;
    };
    int leaves = 0, rooted = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            leaves += isWeed(x, y);
    for (int x = 0; x < 64; ++x)
        rooted += isWeed(x, 63);
    EXPECT_GT(leaves, 64 * 64 / 12) << "too little seaweed to see";
    EXPECT_GE(rooted, 6) << "fronds should reach the tile's foot";
    // Around the fronds it is the deep water itself.
    for (int y : {0, 1})
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(std::memcmp(weed.At(x, y), t[9].At(x, y), 4), 0) << x << ", " << y;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Generator : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef GEN_SPRITES
        GTEST_SKIP() << "built without the sprite generator";
#else
        m_tool = GEN_SPRITES;
        std::string pattern = (std::filesystem::temp_directory_path() / "gen_sprites-XXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
#endif
    }
    void TearDown() override {
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir);
    }

    std::string m_tool;
    std::filesystem::path m_dir;
};

TEST_F(Generator, ReproducesTheCommittedImagesByteForByte) {
    ASSERT_EQ(RunCommand("'" + m_tool + "' '" + m_dir.string() + "'"), 0);
    for (const char* name : {"boat-sheet.png", "fish.png", "tiles.png"}) {
        const std::string made = ReadFile(m_dir / name);
        ASSERT_FALSE(made.empty()) << name;
        EXPECT_TRUE(made == ReadFile(std::filesystem::path("./Assets") / name))
            << name << " differs from the generator's output; rerun gen_sprites ./Assets";
    }
}

TEST_F(Generator, ReportsFailureWhenItCannotWrite) {
    EXPECT_NE(RunCommand("'" + m_tool + "' '" + (m_dir / "missing").string() + "' 2>/dev/null"), 0);
    EXPECT_NE(RunCommand("'" + m_tool + "' 2>/dev/null"), 0);
}

} // namespace

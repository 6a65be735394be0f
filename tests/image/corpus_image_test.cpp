// Every image of PngSuite (kept outside the repository, read at run time) in
// each of the game's three image roles: the enemy's whole image, the player's
// sprite sheet and the level's tile set. Whatever the decoder reads loads at
// the size its header gives, with its own alpha, and is drawn pixel for pixel
// through the real renderers; whatever it cannot read gives the warning and
// draws nothing; a sheet smaller than one cell draws nothing.

#include <gtest/gtest.h>

#include <stb_image.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>

#include "support/DrawScene.h"

using namespace Engine;
using EngineTest::Pixel;
namespace fs = std::filesystem;

namespace {

const fs::path CORPUS = "../shared/testdata/pngsuite/png";

// GCC says __SANITIZE_ADDRESS__, clang __has_feature(address_sanitizer).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORPUS_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(CORPUS_SANITIZED)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
const Pixel kBackground{38, 46, 51, 255};
// The game's cell size, larger than every image of the corpus, and a small
// one that cuts most of them into several cells.
constexpr int kGameCell = 64;
constexpr int kCell = 8;

// The corrupt files whose only fault is a chunk checksum; the decoder does
// not check those, so their pixels load like any other image's.
bool ChecksumOnly(const std::string& name) {
    return name == "xcsn0g01.png" || name == "xhdn0g08.png";
}

// What the file says about itself, read without the decoder.
struct Header {
    int width = 0;
    int height = 0;
    int colorType = -1;
    bool transparency = false; // a tRNS chunk
};

uint32_t BigEndian(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

Header ReadHeader(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string s{std::istreambuf_iterator<char>(in), {}};
    Header h;
    if (s.size() < 33 || s.compare(12, 4, "IHDR") != 0)
        return h;
    h.width = static_cast<int>(BigEndian(s, 16));
    h.height = static_cast<int>(BigEndian(s, 20));
    h.colorType = static_cast<unsigned char>(s[25]);
    for (size_t at = 8; at + 8 <= s.size(); at += 12 + size_t{BigEndian(s, at)})
        if (s.compare(at + 4, 4, "tRNS") == 0)
            h.transparency = true;
    return h;
}

// The decoded picture, top row first.
struct Picture {
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    Pixel At(int x, int y) const {
        const unsigned char* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

std::optional<Picture> Decode(const fs::path& path) {
    // The engine's decoder sets the flip for its thread, which outranks the
    // process-wide setting.
    stbi_set_flip_vertically_on_load_thread(0);
    Picture pic;
    int channels = 0;
    stbi_uc* data = stbi_load(path.c_str(), &pic.w, &pic.h, &channels, 4);
    if (!data)
        return std::nullopt;
    pic.rgba.assign(data, data + static_cast<size_t>(pic.w) * pic.h * 4);
    stbi_image_free(data);
    return pic;
}

// The picture's pixel over the background, as alpha blending leaves it.
Pixel Over(Pixel p) {
    const auto mix = [&](int c, int bg) {
        return static_cast<unsigned char>((c * p.a + bg * (255 - p.a) + 127) / 255);
    };
    return {mix(p.r, kBackground.r), mix(p.g, kBackground.g), mix(p.b, kBackground.b), 255};
}

bool Near(Pixel a, Pixel b) {
    return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
}

// A rectangle of the screen that should show a rectangle of the picture.
struct Placed {
    int screenX, screenY;
    int picX, picY;
    int w, h;
};

class ImageCorpus : public EngineTest::DrawSceneTest {
protected:
    void SetUp() override {
        if (!fs::is_directory(CORPUS))
            GTEST_SKIP() << "no corpus at " << CORPUS;
        DrawSceneTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        for (const auto& entry : fs::directory_iterator(CORPUS))
            if (entry.path().extension() == ".png")
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        // Drawing is slow under the sanitizers: every corrupt file, and every
        // third of the others.
        if (kAddressSanitizer) {
            std::vector<fs::path> sample;
            for (size_t i = 0; i < files.size(); ++i)
                if (files[i].filename().string()[0] == 'x' || i % 3 == 0)
                    sample.push_back(files[i]);
            files.swap(sample);
        }
        Time::dt = 0.01;
    }

    // Adds c on a new entity at pos with the given scale, draws one frame in
    // the game's order, removes the entity again.
    template <typename C> std::vector<Pixel> DrawOne(const C& c, glm::vec3 pos, glm::vec3 scale) {
        ECS& ecs = ECS::Get();
        EntityID e = ecs.CreateEntity();
        ecs.AddComponent<C>(e, c);
        ecs.AddComponent<Transform>(e, pos, glm::vec3(0), scale);
        std::vector<Pixel> image = DrawFrame();
        ecs.RemoveEntity(e);
        return image;
    }

    // The placed rectangles show the picture over the background; every
    // other pixel is background.
    static void ExpectShows(const std::vector<Pixel>& image, const Picture* pic,
                            const std::vector<Placed>& parts) {
        int wrong = 0, drawnInside = 0;
        for (const Placed& p : parts)
            for (int y = 0; y < p.h; ++y)
                for (int x = 0; x < p.w; ++x) {
                    const Pixel shown = At(image, p.screenX + x, p.screenY + y);
                    wrong += !Near(shown, Over(pic->At(p.picX + x, p.picY + y)));
                    drawnInside += !(shown == kBackground);
                }
        // The parts never overlap.
        const auto drawn = std::count_if(image.begin(), image.end(),
                                         [](const Pixel& p) { return !(p == kBackground); });
        EXPECT_EQ(wrong, 0) << "pixels that differ from the picture";
        EXPECT_EQ(drawn - drawnInside, 0) << "pixels drawn outside the picture";
    }
    static void ExpectNothing(const std::vector<Pixel>& image) {
        ExpectShows(image, nullptr, {});
    }

    // Loads through f with stderr captured; returns what was written.
    template <typename F> static std::string Logged(F f) {
        testing::internal::CaptureStderr();
        f();
        return testing::internal::GetCapturedStderr();
    }

    // Checks a file the decoder rejects: the warning, then nothing drawn.
    static void ExpectWarned(const std::string& log, const fs::path& file) {
        EXPECT_NE(log.find("GL TEXTURE2D: Could not load image file: " + file.string()),
                  std::string::npos)
            << log;
    }

    std::vector<fs::path> files;
};

// The enemy's role: the whole image on one quad, drawn at its own size.
TEST_F(ImageCorpus, WholeImagesLoadAtTheirSizeWithTheirAlpha) {
    int loaded = 0, warned = 0;
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        const std::optional<Picture> pic = Decode(file);
        Ref<Texture2D> tex;
        const std::string log = Logged([&] { tex = Texture2D::Create(file.string()); });
        ASSERT_TRUE(tex);

        if (!pic) {
            EXPECT_EQ(name[0], 'x') << "a valid image was rejected";
            ExpectWarned(log, file);
            ExpectNothing(DrawOne(Mesh::CreateMesh(tex), {100, 100, 0}, {64, 64, 0}));
            ++warned;
            continue;
        }
        if (name[0] == 'x') {
            EXPECT_TRUE(ChecksumOnly(name)) << "a corrupt image was loaded";
        }
        ++loaded;
        const Header header = ReadHeader(file);
        EXPECT_EQ(tex->getWidth(), static_cast<float>(header.width));
        EXPECT_EQ(tex->getHeight(), static_cast<float>(header.height));
        EXPECT_EQ(log, "");

        // The texels, bottom row first, are the picture's with its alpha; a
        // picture with neither an alpha channel nor a tRNS chunk is opaque.
        const bool hasAlpha = header.colorType == 4 || header.colorType == 6 || header.transparency;
        std::vector<unsigned char> texels(pic->rgba.size());
        glGetTextureImage(tex->getID(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                          static_cast<GLsizei>(texels.size()), texels.data());
        int wrongTexels = 0, seeThrough = 0;
        for (int y = 0; y < pic->h; ++y)
            for (int x = 0; x < pic->w; ++x) {
                const unsigned char* t =
                    &texels[(static_cast<size_t>(pic->h - 1 - y) * pic->w + x) * 4];
                const Pixel p = pic->At(x, y);
                wrongTexels += t[0] != p.r || t[1] != p.g || t[2] != p.b || t[3] != p.a;
                seeThrough += t[3] != 255;
            }
        EXPECT_EQ(wrongTexels, 0);
        if (!hasAlpha) {
            EXPECT_EQ(seeThrough, 0);
        }

        ExpectShows(DrawOne(Mesh::CreateMesh(tex), {100, 50, 0},
                            {static_cast<float>(pic->w), static_cast<float>(pic->h), 0}),
                    &*pic, {{100, 50, 0, 0, pic->w, pic->h}});
    }
    std::cout << loaded << " loaded, " << warned << " rejected with the warning\n";
    EXPECT_GT(loaded, 0);
}

// The player's role: a sheet cut into frames that play in turn.
TEST_F(ImageCorpus, SpriteSheetsPlayTheirCellsOrDrawNothing) {
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        const std::optional<Picture> pic = Decode(file);

        // The game's 64-pixel frames fit no image of the corpus.
        std::optional<Animation> game;
        std::string log = Logged([&] { game.emplace(file.string(), kGameCell, kGameCell); });
        if (!pic)
            ExpectWarned(log, file);
        EXPECT_NE(log.find("ANIMATION: Sheet of"), std::string::npos) << log;
        game->Update();
        ExpectNothing(DrawOne(*game, {200, 100, 0}, {64, 64, 0}));

        std::optional<Animation> small;
        log = Logged([&] { small.emplace(file.string(), kCell, kCell); });
        const int wLen = pic ? pic->w / kCell : 0, hLen = pic ? pic->h / kCell : 0;
        ASSERT_EQ(small->lookup.size(), static_cast<size_t>(wLen * hLen));
        if (wLen * hLen == 0) {
            ExpectNothing(DrawOne(*small, {200, 100, 0}, {kCell, kCell, 0}));
            continue;
        }
        // Frames 0 and 1 (or 0 again), top row first; leftover rows are at the top.
        const int top = pic->h - hLen * kCell;
        for (int frame : {0, 1}) {
            const int k = frame % (wLen * hLen);
            ExpectShows(DrawOne(*small, {200, 100, 0}, {kCell, kCell, 0}), &*pic,
                        {{200, 100, k % wLen * kCell, top + k / wLen * kCell, kCell, kCell}});
            for (int i = 0; i < 11; ++i)
                small->Update();
        }
    }
}

// The level's role: a tile set whose tiles the grid names.
TEST_F(ImageCorpus, TileSetsDrawTheTilesTheGridNamesOrNothing) {
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        const std::optional<Picture> pic = Decode(file);

        std::optional<TileMap> game;
        std::string log = Logged([&] {
            game.emplace(file.string(), std::vector<std::vector<int>>{{0, 1}}, kGameCell,
                         kGameCell);
        });
        if (!pic)
            ExpectWarned(log, file);
        EXPECT_NE(log.find("TILEMAP: Sheet of"), std::string::npos) << log;
        ExpectNothing(DrawOne(*game, {0, 0, 0}, {512, 512, 0}));

        const int wLen = pic ? pic->w / kCell : 0, hLen = pic ? pic->h / kCell : 0;
        const int last = wLen * hLen - 1;
        // Column 0 holds tile 0 over an empty cell; column 1 the last tile.
        std::optional<TileMap> small;
        Logged([&] {
            small.emplace(file.string(), std::vector<std::vector<int>>{{0, -1}, {last}}, kCell,
                          kCell);
        });
        ASSERT_EQ(small->lookup.size(), static_cast<size_t>(wLen * hLen));
        const std::vector<Pixel> image = DrawOne(*small, {0, 0, 0}, {512, 512, 0});
        if (last < 0) {
            ExpectNothing(image);
            continue;
        }
        const int top = pic->h - hLen * kCell;
        ExpectShows(image, &*pic,
                    {{0, 0, 0, top, kCell, kCell},
                     {kCell, 0, last % wLen * kCell, top + last / wLen * kCell, kCell, kCell}});
    }
}

} // namespace

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <engine/audio/Clip.h>
#include <engine/render/Texture.h>

#include "game/PreloadedContent.h"

using namespace Engine;
namespace fs = std::filesystem;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

namespace {

// A working directory with the real level, tile set and boat but no font,
// fish or music, entered for the test's lifetime.
class PreloadedContentTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_home = fs::current_path();
        m_dir = fs::temp_directory_path() / ("preload-" + std::to_string(getpid()));
        fs::create_directories(m_dir / "Assets");
        for (const char* file : {"level1.json", "tiles.png", "boat-sheet.png"})
            fs::copy_file(m_home / "Assets" / file, m_dir / "Assets" / file);
        fs::current_path(m_dir);
    }
    void TearDown() override {
        fs::current_path(m_home);
        fs::remove_all(m_dir);
        Clip::ClearSounds();
    }
    fs::path m_home, m_dir;
};

} // namespace

// Whatever the helper thread read, and logged, the scene sees in its own
// order: each file's lines appear when the file is taken, not before.
TEST_F(PreloadedContentTest, FilesReadAheadLogWhereTheSceneTakesThem) {
    CaptureStderr();
    PreloadedContent content;
    // Read last: once it is here, every file before it has been read.
    const LevelData level = content.LoadLevel(Level::PATH);
    EXPECT_EQ(GetCapturedStderr(), "");
    const LevelData direct = Level::Load(Level::PATH);
    EXPECT_EQ(level.board, direct.board);
    EXPECT_EQ(level.tilemapPath, direct.tilemapPath);

    CaptureStderr();
    const Font font = content.LoadFont(SceneFiles::FONT);
    EXPECT_EQ(
        GetCapturedStderr().rfind("FT ERROR: \"cannot open resource\" in function FT_New_Face", 0),
        0u);
    EXPECT_TRUE(font.Loaded());

    CaptureStderr();
    EXPECT_EQ(content.LoadMusic(SceneFiles::MUSIC), nullptr);
    EXPECT_EQ(GetCapturedStderr(),
              "Could not open audio file: Couldn't open ./Assets/piano2.wav\n");

    // Decoded ahead, uploaded here; without a GL context only the size is kept.
    CaptureStderr();
    const Ref<Texture2D> tiles = content.LoadTexture(level.tilemapPath);
    const Ref<Texture2D> boat = content.LoadTexture(SceneFiles::BOAT_SHEET);
    const Ref<Texture2D> fish = content.LoadTexture(SceneFiles::FISH);
    const std::string lines = GetCapturedStderr();
    EXPECT_NE(lines.find("Could not load image file: ./Assets/fish.png"), std::string::npos);
    const Image tileImage = Image::Load(level.tilemapPath);
    EXPECT_EQ(tiles->getWidth(), float(tileImage.Width()));
    EXPECT_EQ(tiles->getHeight(), float(tileImage.Height()));
    EXPECT_EQ(boat->getWidth(), float(Image::Load(SceneFiles::BOAT_SHEET).Width()));
    EXPECT_EQ(fish->getWidth(), 0.0f);
}

TEST_F(PreloadedContentTest, ABrokenLevelThrowsWhereItIsTakenWithTheSameReason) {
    std::ofstream(fs::path("Assets") / "level1.json") << R"({"board": [[0, 1]], "tile_w": 0})";
    std::string expected;
    try {
        Level::Load(Level::PATH);
    } catch (const LevelError& error) {
        expected = error.what();
    }
    ASSERT_FALSE(expected.empty());
    PreloadedContent content;
    try {
        content.LoadLevel(Level::PATH);
        ADD_FAILURE() << "no LevelError";
    } catch (const LevelError& error) {
        EXPECT_EQ(error.what(), expected);
    }
}

// The player's settings file as players' machines leave it: missing, good,
// damaged, from elsewhere or from a later version of the game.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "game/Settings.h"

namespace fs = std::filesystem;
using namespace Engine;

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Settings, ReadFromWhatIsFoundAndKeptThroughASave) {
    char name[] = "/tmp/settings_test.XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    const std::string path = std::string(name) + "/settings.json";

    struct Case {
        const char* what;
        std::optional<std::string> file; // nullopt: no file
        bool sound, fullscreen, warned;
        int maxFps = 0;
    };
    const std::string deep = "{\"later\": " + std::string(40, '[') + std::string(40, ']') + "}";
    const Case cases[] = {
        {"no file", std::nullopt, true, false, false},
        {"both chosen", R"({"sound": false, "fullscreen": true})", false, true, false},
        {"one chosen, with a later version's keys", R"({"fullscreen": true, "later": {"a": [1]}})",
         true, true, false},
        {"empty", "", true, false, true},
        {"not JSON", "sound=off\n", true, false, true},
        {"text after the object", R"({"sound": false} x)", true, false, true},
        {"not an object", "[false, true]", true, false, true},
        {"a string for a choice", R"({"sound": "off", "fullscreen": true})", true, false, true},
        {"a number for a choice", R"({"sound": false, "fullscreen": 1})", true, false, true},
        {"nested deep", deep, true, false, true},
        {"nested past any stack", std::string(60000, '['), true, false, true},
        {"huge", R"({"sound": false})" + std::string(Settings::MAX_BYTES, ' '), true, false, true},
        {"a frame cap", R"({"max_fps": 60.0, "sound": false})", false, false, false, 60},
        {"the highest cap", R"({"max_fps": 1000})", true, false, false, 1000},
        {"a cap past the highest", R"({"max_fps": 1001, "sound": false})", true, false, true},
        {"a part of a frame", R"({"max_fps": 30.5})", true, false, true},
        {"a negative cap", R"({"max_fps": -1})", true, false, true},
        {"a cap in words", R"({"max_fps": "60"})", true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(path);
        if (c.file)
            std::ofstream(path, std::ios::binary) << *c.file;
        ::testing::internal::CaptureStderr();
        const Settings read = Settings::Load(path);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(read.sound, c.sound);
        EXPECT_EQ(read.fullscreen, c.fullscreen);
        EXPECT_EQ(read.maxFps, c.maxFps);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.warned ? 1 : 0) << err;
        EXPECT_EQ(err.find(path) != std::string::npos, c.warned) << err;
        // What the window shows names the file too.
        EXPECT_EQ(read.problem.find(path) != std::string::npos, c.warned) << read.problem;
    }

    // A later version's keys come back from a save as they were; the
    // player's choices with them.
    std::ofstream(path, std::ios::binary) << R"({"sound": true, "later": {"a": [1, "b"]}})";
    Settings settings = Settings::Load(path);
    settings.sound = false;
    ASSERT_TRUE(settings.Save(path));
    const Settings again = Settings::Load(path);
    EXPECT_FALSE(again.sound);
    EXPECT_FALSE(again.fullscreen);
    EXPECT_NE(Read(path).find(R"("later": {)"), std::string::npos) << Read(path);
    EXPECT_NE(again.Text().find(R"("b")"), std::string::npos) << again.Text();
    // Defaults, never read, save as a file that reads back the same.
    Settings fresh;
    fresh.fullscreen = true;
    ASSERT_TRUE(fresh.Save(path));
    EXPECT_TRUE(Settings::Load(path).fullscreen);
    EXPECT_TRUE(Settings::Load(path).sound);

    fs::remove_all(name);
}

} // namespace

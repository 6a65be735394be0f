// Every seed and every input a fuzzer once crashed on, run through its target
// in the ordinary suite (and so under the sanitizers in their build).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "FuzzTargets.h"

namespace fs = std::filesystem;

namespace {

using Target = int (*)(const uint8_t*, size_t);

void Replay(const char* name, Target target) {
    std::vector<fs::path> files;
    for (const char* kind : {"seeds", "regressions"}) {
        const fs::path dir = fs::path(FUZZ_DIR) / kind / name;
        if (fs::is_directory(dir))
            for (const auto& entry : fs::directory_iterator(dir))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no inputs for " << name;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
        // Named first: a crash ends the process before gtest could say which.
        std::fprintf(stderr, "replaying %s\n", file.c_str());
        EXPECT_EQ(target(bytes.data(), bytes.size()), 0) << file;
    }
}

TEST(FuzzReplay, Level) {
    Replay("level", EngineFuzz::FuzzLevel);
}

TEST(FuzzReplay, Shader) {
    Replay("shader", EngineFuzz::FuzzShader);
}

TEST(FuzzReplay, Clip) {
    Replay("clip", EngineFuzz::FuzzClip);
}

TEST(FuzzReplay, Image) {
    Replay("image", EngineFuzz::FuzzImage);
}

TEST(FuzzReplay, Tiled) {
    Replay("tiled", EngineFuzz::FuzzTiled);
}

} // namespace

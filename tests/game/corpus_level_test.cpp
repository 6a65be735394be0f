// The level reader against JSONTestSuite's parsing corpus (kept outside the
// repository, read at run time): y_ files are valid JSON, n_ files are not,
// i_ files are left to the parser. Every file must load as a level or fail
// with a LevelError that gives the reason, which the game prints on its
// LEVEL line; nothing else may escape.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string_view>
#include <utility>

#include "game/Level.h"

using namespace Engine;
namespace fs = std::filesystem;

namespace {

const fs::path CORPUS = "../shared/testdata/jsontestsuite/test_parsing";

std::vector<fs::path> CorpusFiles() {
    std::vector<fs::path> files;
    if (fs::is_directory(CORPUS))
        for (const auto& entry : fs::directory_iterator(CORPUS))
            if (entry.path().extension() == ".json")
                files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

char ClassOf(const fs::path& file) {
    return file.filename().string()[0];
}

// A small level that must come out of every variant below unchanged.
const std::string LEVEL =
    R"({"board": [[0, -1], [5]], "tilemap_path": "t.png", "tile_w": 64, "tile_h": 32})";

void ExpectTheSmallLevel(const LevelData& level) {
    EXPECT_EQ(level.board, (std::vector<std::vector<int>>{{0, -1}, {5}}));
    EXPECT_EQ(level.tilemapPath, "t.png");
    EXPECT_EQ(level.tileW, 64);
    EXPECT_EQ(level.tileH, 32);
}

// Read from a stream and from memory, which take different paths.
void ExpectTheSmallLevelBothWays(const std::string& text, const fs::path& file) {
    std::istringstream in(text);
    try {
        ExpectTheSmallLevel(Level::Parse(in));
        ExpectTheSmallLevel(Level::Parse(std::string_view(text)));
    } catch (const std::exception& error) {
        ADD_FAILURE() << file.filename() << ": " << error.what();
    }
}

class LevelCorpus : public ::testing::Test {
protected:
    void SetUp() override {
        files = CorpusFiles();
        if (files.empty())
            GTEST_SKIP() << "no corpus at " << CORPUS;
    }
    std::vector<fs::path> files;
};

// A level as one line, or the reason it failed with.
template <typename Input> std::string Outcome(Input&& input) {
    try {
        const LevelData l = Level::Parse(std::forward<Input>(input));
        std::ostringstream out;
        out << l.tilemapPath << " " << l.tileW << " " << l.tileH << " " << l.board.size();
        for (const auto& column : l.board)
            for (int cell : column)
                out << " " << cell;
        return out.str();
    } catch (const LevelError& error) {
        return error.what();
    }
}

TEST_F(LevelCorpus, EveryFileLoadsOrFailsWithItsReason) {
    std::map<std::string, int> outcomes;
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        std::string outcome;
        // Files are parsed in memory; a stream must come to the same level or
        // the same reason, word for word.
        const std::string text = Read(file);
        std::istringstream stream(text);
        EXPECT_EQ(Outcome(std::string_view(text)), Outcome(stream)) << name;
        try {
            LevelData level = Level::Load(file.string());
            // Whatever loads must be usable by the tile map and the cells.
            EXPECT_GT(level.tileW, 0) << name;
            EXPECT_GT(level.tileH, 0) << name;
            outcome = "loaded";
        } catch (const LevelError& error) {
            const std::string reason = error.what();
            EXPECT_FALSE(reason.empty()) << name;
            const bool malformed = reason.find("parse_error") != std::string::npos;
            // Valid JSON that is no level is a wrong type, never a syntax error.
            if (ClassOf(file) == 'y') {
                EXPECT_FALSE(malformed) << name << ": " << reason;
            }
            outcome = malformed ? "parse error" : "other reason";
        } catch (const std::exception& other) {
            ADD_FAILURE() << name << " escaped as " << typeid(other).name() << ": " << other.what();
            outcome = "escaped";
        }
        ++outcomes[std::string(1, ClassOf(file)) + "_ " + outcome];
    }
    for (const auto& [outcome, count] : outcomes)
        std::cout << outcome << ": " << count << "\n";
    EXPECT_EQ(outcomes.count("y_ escaped") + outcomes.count("n_ escaped") +
                  outcomes.count("i_ escaped"),
              0u);
}

// Keys other than the four are ignored, whatever they hold: any valid JSON
// value stored under one leaves the level as it is.
TEST_F(LevelCorpus, AnyValidValueUnderAnotherKeyIsIgnored) {
    int tried = 0;
    for (const fs::path& file : files) {
        if (ClassOf(file) != 'y')
            continue;
        ExpectTheSmallLevelBothWays(R"({"note": )" + Read(file) + ", " + LEVEL.substr(1), file);
        ++tried;
    }
    EXPECT_GT(tried, 0);
}

// Text after the level's closing brace is never examined, even when it is
// malformed, huge or nested 100000 deep.
TEST_F(LevelCorpus, AnyTextAfterTheLevelIsIgnored) {
    for (const fs::path& file : files) {
        ExpectTheSmallLevelBothWays(LEVEL + "\n" + Read(file), file);
    }
}

} // namespace

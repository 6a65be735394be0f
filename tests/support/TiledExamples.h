#pragma once

// Tiled's own example maps, as Debian's tiled package installs them, in a
// scratch folder of the test's own.

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/RenderImages.h"

namespace EngineTest {

// Tiled's own examples, as Debian installs them, copied with their .gz
// files unpacked (the maps name each other's files without the .gz).
class TiledExamples {
public:
    static constexpr const char* kDir = "/usr/share/doc/tiled/examples";
    TiledExamples() {
        namespace fs = std::filesystem;
        fs::copy(kDir, m_dir.File("ex"), fs::copy_options::recursive);
        for (const auto& entry : fs::recursive_directory_iterator(m_dir.File("ex"))) {
            const fs::path path = entry.path();
            if (path.extension() != ".gz")
                continue;
            gzFile in = gzopen(path.c_str(), "rb");
            std::ofstream out(path.parent_path() / path.stem(), std::ios::binary);
            char buffer[1 << 15];
            for (int n; (n = gzread(in, buffer, sizeof buffer)) > 0;)
                out.write(buffer, n);
            gzclose(in);
        }
    }
    // Every map, TMX or JSON, the automapping rules too, sorted by path.
    std::vector<std::string> Maps() const {
        std::vector<std::string> maps;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.File("ex")))
            if (entry.path().extension() == ".tmx" || entry.path().extension() == ".json")
                maps.push_back(entry.path().string());
        std::sort(maps.begin(), maps.end());
        return maps;
    }
    std::string File(const std::string& name) const { return m_dir.File("ex/" + name); }
    // Whether a map's text, TMX or JSON, says it is orthogonal.
    static bool Orthogonal(const std::string& text) {
        return text.find("orientation=\"orthogonal\"") != std::string::npos ||
               text.find("\"orientation\":\"orthogonal\"") != std::string::npos;
    }

private:
    EngineTest::TempDir m_dir;
};

} // namespace EngineTest

#pragma once

// Small images written by the tests themselves, and a stand-in sheet for
// cutting without a GL context.

#include <stb_image_write.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <engine/render/Texture.h>

namespace EngineTest {

struct Rgba {
    unsigned char r, g, b, a;
};

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kYellow{255, 255, 0, 255};
constexpr Rgba kWhite{255, 255, 255, 255};

// A directory of its own per process, removed with the object.
class TempDir {
public:
    TempDir() {
        m_path = std::filesystem::temp_directory_path() /
                 ("render_test_" + std::to_string(static_cast<long>(getpid())));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Writes a PNG whose row 0 is the top of the picture; channels is 3 or 4.
inline bool WritePng(const std::string& path, int w, int h,
                     const std::function<Rgba(int x, int y)>& pixel, int channels = 4) {
    std::vector<unsigned char> data;
    data.reserve(static_cast<size_t>(w * h * channels));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgba p = pixel(x, y);
            data.push_back(p.r);
            data.push_back(p.g);
            data.push_back(p.b);
            if (channels == 4)
                data.push_back(p.a);
        }
    return stbi_write_png(path.c_str(), w, h, channels, data.data(), w * channels) != 0;
}

// A sheet of a given size that owns no GL texture.
class FakeSheet : public ::Engine::Texture2D {
public:
    FakeSheet(float w, float h, uint32_t id = 0) : m_w(w), m_h(h), m_id(id) {}
    uint32_t getID() const override { return m_id; }
    float getWidth() const override { return m_w; }
    float getHeight() const override { return m_h; }

private:
    float m_w, m_h;
    uint32_t m_id;
};

} // namespace EngineTest

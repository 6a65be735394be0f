#include <engine/image/Image.h>

#include <stb_image_write.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <engine/core/Log.h>

namespace Engine {

bool Image::SavePng(const std::string& path) const {
    if (Empty()) {
        Log::Warn("IMAGE", "Could not write %s: the image is empty", path.c_str());
        return false;
    }
    // Encoded in memory first, so that the file's own failures (a missing
    // directory, a full disk) can be told apart and named.
    std::vector<unsigned char> png;
    auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<unsigned char>*>(context);
        const auto* bytes = static_cast<const unsigned char*>(data);
        out->insert(out->end(), bytes, bytes + size);
    };
    // Memory holds the bottom row first: the encoder starts from the last
    // row and walks back, leaving the writer's process-wide flip alone.
    const int stride = m_width * 4;
    const unsigned char* top = m_pixels.get() + size_t(stride) * size_t(m_height - 1);
    if (!stbi_write_png_to_func(append, &png, m_width, m_height, 4, top, -stride)) {
        Log::Warn("IMAGE", "Could not write %s: the PNG encoder failed", path.c_str());
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        Log::Warn("IMAGE", "Could not write %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written) {
        Log::Warn("IMAGE", "Could not write %s: %s", path.c_str(),
                  std::strerror(written ? errno : writeError));
        return false;
    }
    return true;
}

} // namespace Engine

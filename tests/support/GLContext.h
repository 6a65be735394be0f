#pragma once

// A real window and OpenGL context for tests that draw and read pixels back.
// Tests using it are skipped where there is no X display.

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include <engine/core/Window.h>

#include "core/GLUtil.h"
#include "render/GLRenderer.h"

namespace EngineTest {

struct Pixel {
    unsigned char r, g, b;
    unsigned char a = 255; // not compared
    bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline void PrintTo(const Pixel& p, std::ostream* os) {
    *os << "(" << int(p.r) << ", " << int(p.g) << ", " << int(p.b) << ", " << int(p.a) << ")";
}

// The current context's back buffer of w by h, row 0 at the top.
inline std::vector<Pixel> ReadBack(int w, int h) {
    std::vector<Pixel> raw(size_t(w) * size_t(h)), image(raw.size());
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image[size_t(y) * size_t(w) + size_t(x)] = raw[size_t(h - 1 - y) * size_t(w) + size_t(x)];
    return image;
}

class GLTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X display";
        window = std::make_unique<::Engine::Window>("Game", 1280, 720);
        ASSERT_TRUE(window->Init());
        renderer = std::make_unique<::Engine::GLRenderer>();
        renderer->Init();
    }
    void TearDown() override {
        renderer.reset();
        if (window)
            window->Shutdown();
    }

    // The back buffer, row 0 at the top of the window.
    std::vector<Pixel> ReadBack() { return EngineTest::ReadBack(1280, 720); }
    static Pixel At(const std::vector<Pixel>& image, int x, int y) { return image[y * 1280 + x]; }

    std::unique_ptr<::Engine::Window> window;
    std::unique_ptr<::Engine::GLRenderer> renderer;
};

} // namespace EngineTest

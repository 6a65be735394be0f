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
    unsigned char r, g, b, a;
    bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline void PrintTo(const Pixel& p, std::ostream* os) {
    *os << "(" << int(p.r) << ", " << int(p.g) << ", " << int(p.b) << ", " << int(p.a) << ")";
}

class GLTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X display";
        window = std::make_unique<Engine::Window>("Game", 1280, 720);
        ASSERT_TRUE(window->Init());
        renderer = std::make_unique<Engine::GLRenderer>();
        renderer->Init();
    }
    void TearDown() override {
        renderer.reset();
        if (window)
            window->Shutdown();
    }

    // The back buffer, row 0 at the top of the window.
    std::vector<Pixel> ReadBack() {
        const int w = 1280, h = 720;
        std::vector<Pixel> raw(w * h), image(w * h);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image[y * w + x] = raw[(h - 1 - y) * w + x];
        return image;
    }
    static Pixel At(const std::vector<Pixel>& image, int x, int y) { return image[y * 1280 + x]; }

    std::unique_ptr<Engine::Window> window;
    std::unique_ptr<Engine::GLRenderer> renderer;
};

} // namespace EngineTest

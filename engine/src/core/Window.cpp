#include <engine/core/Window.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <engine/core/Gamepad.h>
#include <engine/core/Log.h>
#include <engine/core/Renderer.h>
#include <engine/render/Draw.h>

#include "core/GLUtil.h"

#include "core/Retry.h"
#include "render/GLRenderer.h"

namespace Engine {

namespace {

// Drivers SDL falls back to when it reaches no display: their windows are
// never shown, and their contexts are no GLX ones.
bool ShowsNoWindow(const char* driver) {
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

} // namespace

Letterbox Letterbox::Fit(glm::ivec2 drawable, glm::ivec2 view, bool whole) {
    if (drawable.x <= 0 || drawable.y <= 0 || view.x <= 0 || view.y <= 0)
        return {{0, 0}, {0, 0}, view};
    double scale = std::min(double(drawable.x) / view.x, double(drawable.y) / view.y);
    if (whole && scale >= 1.0)
        scale = std::floor(scale);
    // Rounded, the side that fits exactly comes out as the drawable's own.
    const glm::ivec2 size{std::clamp(int(std::lround(view.x * scale)), 1, drawable.x),
                          std::clamp(int(std::lround(view.y * scale)), 1, drawable.y)};
    return {(drawable - size) / 2, size, view};
}

glm::vec2 Letterbox::ToView(glm::vec2 point) const {
    if (Empty())
        return {-1.0f, -1.0f};
    // Per axis, so that the view's edges land on the letterbox's exactly even
    // where rounding made its aspect a hair off the view's.
    return (point - glm::vec2(origin)) * glm::vec2(view) / glm::vec2(size);
}

bool Window::StartVideoOnADisplay() {
    // A driver the user asked for is taken as it is.
    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (requested && *requested)
        return true;
    // An X server resets when its last client leaves and refuses connections
    // meanwhile; a game starting then would get an invisible window. The
    // display is asked again for a second and a half before giving up.
    bool again = false, broken = false;
    auto reach = [&] {
        if (again) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            if (SDL_InitSubSystem(SDL_INIT_VIDEO) < 0) {
                Log::Log("WINDOW", "SDL could not initialize! SDL Error: %s", SDL_GetError());
                broken = true;
                return true; // no use trying on
            }
        }
        again = true;
        return !ShowsNoWindow(SDL_GetCurrentVideoDriver());
    };
    const int reached = TryWithRetries(RETRIES, 100, reach, [](uint32_t ms) { SDL_Delay(ms); });
    if (broken)
        return false;
    if (reached == 0) {
        Log::Log("WINDOW", "SDL found no display to show a window on (video driver %s)",
                 SDL_GetCurrentVideoDriver());
        return false;
    }
    if (reached > 1)
        Log::Warn("WINDOW", "The display was out of reach for a moment; reached it on try %d",
                  reached);
    return true;
}

Window::Window(std::string title, int w, int h)
    : m_Width(static_cast<unsigned int>(w)), m_Height(static_cast<unsigned int>(h)),
      m_Title(std::move(title)) {}

Window::Window(Window&& other) noexcept
    : m_Width(other.m_Width), m_Height(other.m_Height), m_Window(other.m_Window),
      m_Context(other.m_Context), m_Title(std::move(other.m_Title)),
      m_SdlStarted(other.m_SdlStarted), m_Resizable(other.m_Resizable),
      m_ViewSize(other.m_ViewSize), m_WholeMultiples(other.m_WholeMultiples),
      m_Cursors(std::move(other.m_Cursors)) {
    other.m_Window = nullptr;
    other.m_Context = nullptr;
    other.m_SdlStarted = false;
}

Window::~Window() {
    Shutdown();
}

bool Window::Init() {
    Uint32 flags = SDL_WINDOW_SHOWN;
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_EVENTS) < 0) {
        Log::Log("WINDOW", "SDL could not initialize! SDL Error: %s", SDL_GetError());
        SDL_Quit();
        return false;
    }
    if (!StartVideoOnADisplay()) {
        SDL_Quit();
        return false;
    }
    // Pad buttons by where they sit, not by their labels: otherwise SDL swaps
    // them on Nintendo pads and the button under the thumb changes meaning.
    // A value the user set in the environment still wins.
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
    // The rest one by one, after the video: a machine without a sound card or
    // joystick support can still show the game, and a subsystem that fails
    // must not take the video down with it.
    std::string missing;
    for (Uint32 subsystem : {SDL_INIT_AUDIO, SDL_INIT_JOYSTICK, SDL_INIT_HAPTIC,
                             SDL_INIT_GAMECONTROLLER, SDL_INIT_SENSOR}) {
        if (SDL_InitSubSystem(subsystem) < 0)
            missing += (missing.empty() ? "" : "; ") + std::string(SDL_GetError());
    }
    if (!missing.empty())
        Log::Warn("WINDOW", "Some SDL subsystems are unavailable: %s", missing.c_str());
    m_SdlStarted = true;

    if (Renderer::GetAPI() == Renderer::API::OpenGL)
        flags |= SDL_WINDOW_OPENGL;
    if (m_Resizable)
        flags |= SDL_WINDOW_RESIZABLE;

    m_Window = SDL_CreateWindow(m_Title.c_str(), 100, 100, static_cast<int>(m_Width),
                                static_cast<int>(m_Height), flags);
    if (!m_Window)
        Log::Warn("WINDOW", "Window could not be created! SDL Error: %s", SDL_GetError());

    if (Renderer::GetAPI() == Renderer::API::OpenGL) {
        m_Context = SDL_GL_CreateContext(m_Window);
        if (!m_Context)
            Log::Err("WINDOW", "Could not create context: %s", SDL_GetError());
    }

    Log::Log("WINDOW", "Window created!");
    return true;
}

void Window::Shutdown() {
    for (auto& cursor : m_Cursors)
        cursor.reset();
    if (m_Context) {
        SDL_GL_DeleteContext(m_Context);
        m_Context = nullptr;
    }
    if (m_Window) {
        SDL_DestroyWindow(m_Window);
        m_Window = nullptr;
    }
    if (m_SdlStarted) {
        Gamepads::CloseAll();
        SDL_Quit();
        m_SdlStarted = false;
    }
}

void Window::SwapBuffers() {
    if (Renderer::GetAPI() == Renderer::API::OpenGL && m_Window)
        SDL_GL_SwapWindow(m_Window);
}

void Window::SetResizable(bool resizable) {
    m_Resizable = resizable;
    if (m_Window)
        SDL_SetWindowResizable(m_Window, resizable ? SDL_TRUE : SDL_FALSE);
}

void Window::ToggleFullscreen() {
    // The desktop's resolution: changing the display's mode would upset the
    // user's other windows and takes seconds on some monitors.
    if (m_Window &&
        SDL_SetWindowFullscreen(m_Window, IsFullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP) < 0)
        Log::Warn("WINDOW", "Could not change to or from full screen: %s", SDL_GetError());
}

bool Window::IsFullscreen() const {
    return m_Window && (SDL_GetWindowFlags(m_Window) & SDL_WINDOW_FULLSCREEN);
}

bool Window::HasFocus() const {
    return m_Window && (SDL_GetWindowFlags(m_Window) & SDL_WINDOW_INPUT_FOCUS);
}

glm::ivec2 Window::GetDrawableSize() const {
    glm::ivec2 size{0, 0};
    if (m_Window)
        SDL_GL_GetDrawableSize(m_Window, &size.x, &size.y);
    return size;
}

void Window::SetViewSize(glm::ivec2 size, bool wholeMultiples) {
    m_ViewSize = size.x > 0 && size.y > 0 ? size : glm::ivec2(0, 0);
    m_WholeMultiples = wholeMultiples;
}

Letterbox Window::GetLetterbox() const {
    const glm::ivec2 drawable = GetDrawableSize();
    if (m_ViewSize == glm::ivec2(0, 0))
        return Letterbox::Fit(drawable, drawable);
    return Letterbox::Fit(drawable, m_ViewSize, m_WholeMultiples);
}

Image Window::Capture() const {
    if (!m_Context || SDL_GL_GetCurrentContext() != m_Context) {
        Log::Warn("WINDOW", "Cannot capture the window \"%s\": its OpenGL context is not current",
                  m_Title.c_str());
        return {};
    }
    const Letterbox shown = GetLetterbox();
    const glm::ivec2 size = shown.size;
    Image image(size.x, size.y);
    if (image.Empty()) {
        Log::Warn("WINDOW", "Cannot capture the window \"%s\": %s", m_Title.c_str(),
                  image.Error().c_str());
        return image;
    }
    Draw::Flush();
    // The window's own back buffer, whatever framebuffer a program has bound;
    // GL counts rows from the bottom and reads bottom row first, as an Image
    // holds it.
    const int bottom = GetDrawableSize().y - shown.origin.y - size.y;
    GLRenderer::ReadPixels(0, GL_BACK, shown.origin.x, bottom, size.x, size.y, image.Pixels());
    // The window shows every pixel opaque, whatever alpha blending left in a
    // buffer that has an alpha channel.
    unsigned char* p = image.Pixels();
    for (size_t i = 0, n = size_t(size.x) * size_t(size.y); i < n; ++i)
        p[i * 4 + 3] = 255;
    return image;
}

bool Window::SetIcon(const Image& icon) {
    if (!m_Window || icon.Empty())
        return false;
    struct FreeSurface {
        void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
    };
    const std::unique_ptr<SDL_Surface, FreeSurface> surface(SDL_CreateRGBSurfaceWithFormat(
        0, icon.Width(), icon.Height(), 32, SDL_PIXELFORMAT_RGBA32));
    if (!surface)
        return false;
    // A surface holds its top row first.
    const size_t row = size_t(icon.Width()) * 4;
    for (int y = 0; y < icon.Height(); ++y)
        std::memcpy(static_cast<unsigned char*>(surface->pixels) + size_t(y) * surface->pitch,
                    icon.Pixels() + size_t(icon.Height() - 1 - y) * row, row);
    // SDL keeps a copy of its own.
    SDL_SetWindowIcon(m_Window, surface.get());
    return true;
}

void Window::ShowCursor(bool shown) {
    if (m_Window)
        SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

bool Window::IsCursorShown() const {
    return m_Window && SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
}

bool Window::SetCursor(Cursor shape) {
    if (!m_Window)
        return false;
    static constexpr SDL_SystemCursor SYSTEM[] = {SDL_SYSTEM_CURSOR_ARROW, SDL_SYSTEM_CURSOR_IBEAM,
                                                  SDL_SYSTEM_CURSOR_HAND,
                                                  SDL_SYSTEM_CURSOR_CROSSHAIR};
    const size_t i = static_cast<size_t>(shape);
    if (i >= m_Cursors.size())
        return false;
    if (!m_Cursors[i])
        m_Cursors[i].reset(SDL_CreateSystemCursor(SYSTEM[i]));
    if (!m_Cursors[i]) {
        Log::Warn("WINDOW", "The system has no pointer of shape %zu: %s", i, SDL_GetError());
        return false;
    }
    SDL_SetCursor(m_Cursors[i].get());
    return true;
}

bool Window::SetClipboardText(const std::string& text) {
    return m_Window && SDL_SetClipboardText(text.c_str()) == 0;
}

std::string Window::GetClipboardText() const {
    if (!m_Window)
        return {};
    char* text = SDL_GetClipboardText();
    std::string copy = text ? text : "";
    SDL_free(text);
    return copy;
}

bool Window::TakeScreenshot(const std::string& path) const {
    const Image image = Capture();
    return !image.Empty() && image.SavePng(path);
}

} // namespace Engine

#pragma once

#include <SDL.h>

#include <string>

namespace Engine {

// The application window and its OpenGL context. Init starts SDL as a whole;
// Shutdown (or destruction) stops it again.
class Window {
public:
    Window(std::string title, int w, int h);
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    Window(Window&& other) noexcept;
    Window& operator=(Window&&) = delete;
    ~Window();

    bool Init();
    void Shutdown();
    void SwapBuffers();

    unsigned int GetWidth() const { return m_Width; }
    unsigned int GetHeight() const { return m_Height; }
    const std::string& GetTitle() const { return m_Title; }
    SDL_Window* GetNativeWindow() const { return m_Window; }
    SDL_GLContext GetContext() const { return m_Context; }

    // Times SDL's video is started again when it settles on a driver that
    // shows no window (the delays double from 0.1 s).
    static constexpr int RETRIES = 4;

private:
    // False when, SDL's video driver left to SDL's choice, no display could
    // be reached; the reason is logged.
    bool StartVideoOnADisplay();

    unsigned int m_Width;
    unsigned int m_Height;
    SDL_Window* m_Window = nullptr;
    SDL_GLContext m_Context = nullptr;
    std::string m_Title;
    bool m_SdlStarted = false;
};

} // namespace Engine

#pragma once

#include <SDL.h>

#include <string>

#include <glm/vec2.hpp>

#include <engine/image/Image.h>

namespace Engine {

/// The application window and its OpenGL context. Init starts SDL as a whole;
/// Shutdown (or destruction) stops it again.
class Window {
public:
    /// A window of w by h pixels, not open yet.
    Window(std::string title, int w, int h);
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    Window(Window&& other) noexcept; ///< Takes over the window and context.
    Window& operator=(Window&&) = delete;
    ~Window(); ///< Shuts down what is still open.

    /// Starts SDL, opens the window at (100, 100) and makes its OpenGL context
    /// current; false when SDL or the display cannot be reached.
    bool Init();
    /// Deletes the context, closes the window and stops SDL; safe to repeat.
    void Shutdown();
    /// Shows the frame drawn.
    void SwapBuffers();

    /// Lets the user resize the window, or not (the default). Before Init it
    /// is how the window opens.
    void SetResizable(bool resizable);
    /// Full screen at the desktop's resolution, or back to the window it was.
    void ToggleFullscreen();
    bool IsFullscreen() const; ///< Whether the window covers the screen.
    /// The size drawn to, in pixels: the window's now, which may differ from
    /// the size it was made with; (0, 0) before Init.
    glm::ivec2 GetDrawableSize() const;

    /// The picture drawn so far in the frame being made, at the drawable's
    /// size, RGBA and opaque, bottom row first as every Image: what the next
    /// swap will show. Draws still batched (Draw's) are sent first. Call it
    /// from a Scene's Draw after the drawing; from anywhere else it reads what
    /// the back buffer holds after the last swap, which OpenGL leaves
    /// undefined (Mesa's llvmpipe under Xvfb keeps the frame just shown there;
    /// other drivers may not). Empty, with a warning, when the window's
    /// context is not current.
    Image Capture() const;
    /// Capture written to a PNG file; false, with a warning, when there is
    /// no picture or the file cannot be written.
    bool TakeScreenshot(const std::string& path) const;

    unsigned int GetWidth() const { return m_Width; }        ///< Width in pixels, as made.
    unsigned int GetHeight() const { return m_Height; }      ///< Height in pixels, as made.
    const std::string& GetTitle() const { return m_Title; }  ///< The window's title.
    SDL_Window* GetNativeWindow() const { return m_Window; } ///< Null until Init.
    SDL_GLContext GetContext() const { return m_Context; }   ///< Null until Init.

    /// Times SDL's video is started again when it settles on a driver that
    /// shows no window (the delays double from 0.1 s).
    static constexpr int RETRIES = 4;

private:
    /// False when, SDL's video driver left to SDL's choice, no display could
    /// be reached; the reason is logged.
    bool StartVideoOnADisplay();

    unsigned int m_Width;
    unsigned int m_Height;
    SDL_Window* m_Window = nullptr;
    SDL_GLContext m_Context = nullptr;
    std::string m_Title;
    bool m_SdlStarted = false;
    bool m_Resizable = false;
};

} // namespace Engine

#pragma once

#include <SDL.h>

#include <array>
#include <memory>
#include <string>

#include <glm/vec2.hpp>

#include <engine/image/Image.h>

namespace Engine {

/// Where a view of a fixed size is shown on a drawable: as large as fits with
/// its aspect kept, centred, the rest left to bars. Pure arithmetic; Window
/// keeps one for what it shows.
struct Letterbox {
    glm::ivec2 origin{0, 0}; ///< The view's top-left corner, drawable pixels from the drawable's.
    glm::ivec2 size{0, 0};   ///< Drawable pixels the view covers; (0, 0) when nothing is shown.
    glm::ivec2 view{0, 0};   ///< The view's own size, in its pixels.

    /// The view fitted to the drawable. A side is at least one pixel, so that
    /// extreme aspects still show something; an empty drawable or view (a
    /// minimised window) gives an empty letterbox. With whole, the view is
    /// scaled by the largest whole number that fits, so that every pixel of
    /// it covers the same square of the drawable (crisp pixel art), and only
    /// a drawable smaller than the view scales it down to fit.
    static Letterbox Fit(glm::ivec2 drawable, glm::ivec2 view, bool whole = false);
    /// A point in drawable pixels (from the top-left corner, y down) in the
    /// view's pixels. A point on a bar maps outside 0..view (negative on the
    /// left and top bars), never onto the view's edge; an empty letterbox maps
    /// every point to (-1, -1).
    glm::vec2 ToView(glm::vec2 point) const;
    bool Empty() const { return size.x <= 0 || size.y <= 0; } ///< Whether nothing is shown.
    bool operator==(const Letterbox&) const = default;        ///< Same place, same view.
};

/// The shapes the mouse pointer takes over the window: the system's own.
enum class Cursor { Arrow, IBeam, Hand, Crosshair };

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
    /// Whether the window has the keyboard: false once the player has gone
    /// to another window or minimised this one (a game pauses then), and
    /// before Init. Follows the events the loop polls each frame.
    bool HasFocus() const;
    /// The size drawn to, in pixels: the window's now, which may differ from
    /// the size it was made with; (0, 0) before Init.
    glm::ivec2 GetDrawableSize() const;
    /// Keeps the view at size pixels whatever the drawable's size: the engine
    /// shows it scaled to fit, aspect kept and centred, with bars of the clear
    /// colour around (a Letterbox), so that a full-screen or resized window
    /// shows what the view shows and no more. The camera's view, Draw's screen
    /// pixels and Input's mouse position are in the view's pixels then;
    /// Capture leaves the bars out. (0, 0), the default, lets the view follow
    /// the drawable, one pixel a unit. With wholeMultiples the view is scaled
    /// only by whole numbers (see Letterbox::Fit), the bars wider for it.
    /// Takes effect at the next frame.
    void SetViewSize(glm::ivec2 size, bool wholeMultiples = false);
    /// The size set by SetViewSize; (0, 0) when the view follows the drawable.
    glm::ivec2 GetViewSize() const { return m_ViewSize; }
    /// Where the view is shown on the drawable now: the whole drawable when
    /// the view follows it; empty before Init or while minimised.
    Letterbox GetLetterbox() const;

    /// The picture drawn so far in the frame being made, RGBA and opaque,
    /// of the view's rectangle on the drawable (GetLetterbox: the whole
    /// drawable, unless SetViewSize keeps the view's size, when the bars are
    /// left out and the view comes at the size it is shown at), bottom row first as every Image: what the next
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

    /// The picture the desktop shows for the window (its title bar, the task
    /// bar), RGBA, bottom row first as every Image. False, changing nothing,
    /// before Init or for an empty image.
    bool SetIcon(const Image& icon);
    /// Shows the mouse pointer over the window (the default), or hides it.
    /// Nothing before Init.
    void ShowCursor(bool shown);
    bool IsCursorShown() const; ///< False before Init.
    /// The pointer's shape over the window, one of the system's; the arrow
    /// by default. False before Init, and, with a warning, when the system
    /// has no such pointer.
    bool SetCursor(Cursor shape);

    /// Puts UTF-8 text on the desktop's clipboard, for other programs to
    /// paste; false before Init or when the desktop refuses it. The
    /// clipboard belongs to the desktop session the window lives in, so
    /// it is reached through the window, as the pointer is.
    bool SetClipboardText(const std::string& text);
    /// The clipboard's text, UTF-8; empty when it holds none, or before Init.
    std::string GetClipboardText() const;

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
    glm::ivec2 m_ViewSize{0, 0};
    bool m_WholeMultiples = false;
    struct FreeCursor {
        void operator()(SDL_Cursor* cursor) const { SDL_FreeCursor(cursor); }
    };
    // The system pointers asked for so far, by Cursor; freed before SDL stops.
    std::array<std::unique_ptr<SDL_Cursor, FreeCursor>, 4> m_Cursors;
};

} // namespace Engine

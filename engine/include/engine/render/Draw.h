#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <glm/vec2.hpp>

#include <engine/core/Base.h>
#include <engine/core/Rectangle.h>
#include <engine/render/Texture.h>

namespace Engine {

class Camera;
class Engine;
class Font;
class RenderTarget;
class Shader;

/// A colour of four 8-bit channels; alpha 255 is opaque, 0 invisible.
struct Color {
    uint8_t r = 0;   ///< Red.
    uint8_t g = 0;   ///< Green.
    uint8_t b = 0;   ///< Blue.
    uint8_t a = 255; ///< Opacity.
};

/// @name Named colours
///@{
inline constexpr Color WHITE{255, 255, 255, 255};     ///< White.
inline constexpr Color BLACK{0, 0, 0, 255};           ///< Black.
inline constexpr Color BLANK{0, 0, 0, 0};             ///< Invisible.
inline constexpr Color LIGHTGRAY{200, 200, 200, 255}; ///< Light grey.
inline constexpr Color GRAY{128, 128, 128, 255};      ///< Grey.
inline constexpr Color DARKGRAY{64, 64, 64, 255};     ///< Dark grey.
inline constexpr Color RED{255, 0, 0, 255};           ///< Red.
inline constexpr Color MAROON{128, 0, 0, 255};        ///< Dark red.
inline constexpr Color ORANGE{255, 160, 0, 255};      ///< Orange.
inline constexpr Color GOLD{255, 200, 0, 255};        ///< Gold.
inline constexpr Color YELLOW{255, 255, 0, 255};      ///< Yellow.
inline constexpr Color LIME{0, 255, 0, 255};          ///< Bright green.
inline constexpr Color GREEN{0, 160, 0, 255};         ///< Green.
inline constexpr Color DARKGREEN{0, 90, 0, 255};      ///< Dark green.
inline constexpr Color SKYBLUE{100, 180, 255, 255};   ///< Light blue.
inline constexpr Color BLUE{0, 0, 255, 255};          ///< Blue.
inline constexpr Color DARKBLUE{0, 0, 128, 255};      ///< Dark blue.
inline constexpr Color PURPLE{160, 32, 240, 255};     ///< Purple.
inline constexpr Color VIOLET{128, 0, 128, 255};      ///< Violet.
inline constexpr Color MAGENTA{255, 0, 255, 255};     ///< Magenta.
inline constexpr Color PINK{255, 150, 200, 255};      ///< Pink.
inline constexpr Color BROWN{140, 90, 40, 255};       ///< Brown.
inline constexpr Color BEIGE{210, 190, 150, 255};     ///< Beige.
///@}

/// Immediate 2D drawing: call these from a Scene's Draw, between the engine's
/// clear and its buffer swap. Coordinates are screen pixels of the current
/// viewport (of the view, when the window keeps one: Window::SetViewSize; of
/// the target, between BeginTarget and EndTarget), origin at the top-left
/// corner, y down; between BeginWorld and
/// EndWorld they are world units seen through Camera::Main(), as the renderer
/// systems draw. Draws that share a texture are sent to the GPU together;
/// everything keeps the order in which it was called, also against the
/// renderer systems and against Flush.
namespace Draw {

/// Mirrors a sprite within its destination rectangle.
enum class Flip : uint8_t {
    None = 0,       ///< As it is.
    Horizontal = 1, ///< Left and right swapped.
    Vertical = 2,   ///< Top and bottom swapped.
    Both = 3        ///< Both: half a turn.
};

/// Where a text stands relative to its position's x.
enum class Align : uint8_t {
    Left,   ///< The text starts at x.
    Center, ///< The text is centred on x.
    Right   ///< The text ends at x.
};

/// What a frame sent to the GPU: every draw call and quad of the engine, the
/// renderer systems' included.
struct Stats {
    uint64_t drawCalls = 0; ///< Draw calls.
    uint64_t quads = 0;     ///< Quads (a circle counts one per two of its slices, a
                            ///< triangle one).
};

/// A filled rectangle: pixels rect.x to rect.x + rect.width - 1 across.
void Rect(Rectangle rect, Color color);
/// The outline of a rectangle, thickness pixels wide inside its edges.
void RectLines(Rectangle rect, Color color, float thickness = 1.0f);
/// A band thickness wide along the line through the centres of pixels `from`
/// and `to`, from pixel `from` up to pixel `to`, which it leaves out (so lines
/// that meet end to end light each pixel once): Line({10, 20}, {30, 20})
/// lights pixels 10 to 29 of row 20.
void Line(glm::vec2 from, glm::vec2 to, Color color, float thickness = 1.0f);
/// A filled disc: the pixels whose centres lie within radius of center.
void Circle(glm::vec2 center, float radius, Color color);
/// A ring thickness wide inside the circle's edge.
void CircleLines(glm::vec2 center, float radius, Color color, float thickness = 1.0f);
/// A filled triangle, its corners in either order: the pixels whose centres
/// lie inside it, as Rect fills.
void Triangle(glm::vec2 a, glm::vec2 b, glm::vec2 c, Color color);
/// The outline of a triangle, thickness pixels wide inside its edges (the
/// whole triangle where it is thinner than that).
void TriangleLines(glm::vec2 a, glm::vec2 b, glm::vec2 c, Color color, float thickness = 1.0f);
/// Up to this many corners a polygon is drawn; beyond, nothing is, with a
/// warning (once): its filling costs up to the cube of the count.
inline constexpr size_t MAX_POLYGON_POINTS = 256;
/// A filled polygon with corners points in order, of either winding, convex
/// or not (the last corner joins the first): the pixels whose centres lie
/// inside it, as Rect fills. Where its edges cross, it fills some of the area
/// they enclose. Fewer than three corners, or all of them in a line, draw
/// nothing.
void Polygon(std::span<const glm::vec2> points, Color color);
/// Lines through points in order, as Line draws them (from pixel to pixel,
/// thickness wide) but joined at their corners without a gap; with closed,
/// the last point joins the first, otherwise the last point is left out as
/// Line leaves out its end. A Tiled polyline is points with closed false.
void PolygonLines(std::span<const glm::vec2> points, Color color, float thickness = 1.0f,
                  bool closed = true);
/// A filled rectangle with its corners rounded to radius (at most half its
/// shorter side); with radius 0 it is Rect.
void RectRounded(Rectangle rect, float radius, Color color);
/// The outline of RectRounded's shape, thickness pixels wide inside its
/// edges (a button's or a dialogue box's frame); with radius 0 it is RectLines.
void RectRoundedLines(Rectangle rect, float radius, Color color, float thickness = 1.0f);
/// A filled rectangle whose colour runs between the colours of its corners.
/// Two corners alike on each side make an even gradient across or down.
void RectGradient(Rectangle rect, Color topLeft, Color topRight, Color bottomRight,
                  Color bottomLeft);

/// A texture, or a region of one (as CutSheetRegions makes them), at its own
/// size in pixels with its top-left corner at (x, y), multiplied by tint.
/// A region or source part of a picture (a tile of a tile set), drawn smaller
/// than its pixels too, shows only its own texels: no seam of its neighbour.
void Sprite(const Ref<Texture>& texture, float x, float y, Color tint = WHITE);
/// A texture or region stretched over dest, multiplied by tint, mirrored by flip.
void Sprite(const Ref<Texture>& texture, Rectangle dest, Color tint = WHITE,
            Flip flip = Flip::None);
/// The part source (pixels of the texture or region, from its top-left corner)
/// stretched over dest, turned by rotation degrees clockwise about origin.
/// origin is a point of dest measured from its top-left corner, and it is
/// placed at (dest.x, dest.y): with origin (0, 0) and no rotation the sprite
/// covers dest. The flip mirrors the picture before it is turned.
void Sprite(const Ref<Texture>& texture, Rectangle source, Rectangle dest, glm::vec2 origin,
            float rotation, Color tint = WHITE, Flip flip = Flip::None);
/// The widths of a framed picture's borders, in pixels of its source.
struct Borders {
    float left = 0;   ///< Left border.
    float top = 0;    ///< Top border.
    float right = 0;  ///< Right border.
    float bottom = 0; ///< Bottom border.
};
/// The part source of texture (as Sprite takes it; of positive size) as a
/// frame stretched over dest: its corners, borders wide, drawn at their own
/// size, the borders between them stretched along their side, the middle both
/// ways; multiplied by tint. A panel or a button of any size from one small
/// picture. Where dest is narrower (or shorter) than its two borders, they
/// shrink in proportion and the middle is left out; borders that add up to
/// more than the source shrink so to fit it (negative ones are 0). An empty
/// dest draws nothing. The nine parts meet edge to edge at any dest,
/// fractional ones included: no pixel lit twice or left out.
void NineSlice(const Ref<Texture>& texture, Rectangle source, Borders borders, Rectangle dest,
               Color tint = WHITE);

/// One line of text (or several, split at '\n') in the engine's own font
/// (Font::Default()); see the overload with a font.
void Text(const std::string& text, glm::vec2 position, float size, Color color,
          Align align = Align::Left);
/// Text in font, size pixels to the em (font.pixelSize draws the glyphs as
/// rasterised). position.y is the top of the first line, its baseline the
/// font's ascender below; position.x is where align says. A font without its
/// glyphs draws nothing. The text is UTF-8, each character drawn with the
/// font's own glyph (see Font::GlyphOf: past the first 256 made on first use,
/// the missing-glyph box where the font has none). A byte that begins no
/// UTF-8 character shows as the character of that number, so Latin-1 text
/// shows too.
/// A tab moves on to the next stop, one every four spaces from the line's
/// start; control characters other than new lines and tabs, the byte order
/// mark and zero-width characters take no room; a combining accent joins the
/// letter before it where Latin-1 has the pair as one character.
void Text(const Font& font, const std::string& text, glm::vec2 position, float size, Color color,
          Align align = Align::Left);
/// How styled text is drawn beside Text's plain upright face.
struct TextStyle {
    /// Degrees clockwise the text is turned about position (see origin).
    float rotation = 0.0f;
    /// A point measured from position that is placed at position: the text
    /// stands where Text would draw it from position - origin, turned about
    /// position. With origin (0, 0) a left-aligned text turns about its
    /// top-left corner.
    glm::vec2 origin{0.0f, 0.0f};
    /// Each glyph drawn twice, the second a 14th of the size to the right,
    /// and each character's advance that much longer.
    bool bold = false;
    /// Each glyph leant right by 12 degrees about its line's baseline.
    bool italic = false;
    bool underline = false; ///< A band under the baseline, as wide as each line.
    bool strikeout = false; ///< A band through the lower case, as wide as each line.
    /// Pixels added to each space's advance: justified lines.
    float wordSpacing = 0.0f;
    /// Pixels added to each character's advance: a justified line without spaces.
    float letterSpacing = 0.0f;
    bool operator==(const TextStyle&) const = default; ///< Alike in every field.
};

/// Text in the engine's own font as style says; see the overload with a font.
void Text(const std::string& text, glm::vec2 position, float size, Color color,
          const TextStyle& style, Align align = Align::Left);
/// Text in font as Text draws it, turned, bold, italic, underlined or struck
/// out as style says. Bold and italic are made from the font's own face.
/// Drawn with the same draw calls as plain text, and one more for the bands.
void Text(const Font& font, const std::string& text, glm::vec2 position, float size, Color color,
          const TextStyle& style, Align align = Align::Left);
/// The width in pixels of the widest line of text in the engine's own font at size.
float MeasureText(const std::string& text, float size);
/// The width in pixels of the widest line of text in font at size.
float MeasureText(const Font& font, const std::string& text, float size);
/// The same in the engine's own font for text drawn in style.
float MeasureText(const std::string& text, float size, const TextStyle& style);
/// The same for text drawn in style: bold and word spacing widen it.
float MeasureText(const Font& font, const std::string& text, float size, const TextStyle& style);

/// Text in the engine's own font broken into lines at most width pixels wide;
/// see the overload with a font.
std::vector<std::string> WrapText(const std::string& text, float size, float width,
                                  size_t maxLines = SIZE_MAX);
/// Text broken into lines at most width pixels wide in font at size, as
/// MeasureText measures them: at each '\n', and after the spaces that end a
/// word where the next word would not fit. A word wider than a line on its
/// own (a long path) goes on as far as fits and is cut there, never inside a
/// character, one character at least on each line. The spaces at a line's end
/// are left out. Each line is a piece of text as it was, UTF-8 or Latin-1. At
/// most maxLines lines: a text that needs more ends in "..." on the last.
/// Empty text has no lines.
std::vector<std::string> WrapText(const Font& font, const std::string& text, float size,
                                  float width, size_t maxLines = SIZE_MAX);
/// Text in the engine's own font wrapped to width; see the overload with a font.
void TextWrapped(const std::string& text, glm::vec2 position, float size, float width, Color color,
                 Align align = Align::Left, size_t shown = SIZE_MAX);
/// Text in font wrapped to width (WrapText), drawn as Text draws it from
/// position, the top-left corner of a column width pixels wide; align places
/// each line in the column. Size comes before width, as in WrapText and
/// MeasureTextWrapped. Only the first shown characters of text are drawn
/// (UTF-8 characters as Font::Codes counts them, spaces and new lines
/// among them), each where the whole text puts it: text typed out a letter
/// at a time keeps its words on their lines and its lines in their places.
void TextWrapped(const Font& font, const std::string& text, glm::vec2 position, float size,
                 float width, Color color, Align align = Align::Left, size_t shown = SIZE_MAX);
/// The width of the widest line and the height of all the lines of text in
/// the engine's own font wrapped to width at size, in pixels.
glm::vec2 MeasureTextWrapped(const std::string& text, float size, float width);
/// The same in font: the lines of WrapText, a line height of the font's each.
glm::vec2 MeasureTextWrapped(const Font& font, const std::string& text, float size,
                             float width);

/// Pixels from the top of one line to the next's as Text and TextWrapped
/// draw them in the engine's own font at size: the rows of a message log
/// drawn a line at a time.
float LineHeight(float size);
/// The same in font.
float LineHeight(const Font& font, float size);

/// The frame rate engine measures (Engine::GetFrameRate), as "60 FPS" in green
/// in the engine's own font, 20 pixels to the em, its top-left corner at (x, y).
void FPS(const Engine& engine, float x, float y);

/// Later draws go through Camera::Main() in world units, lined up with the
/// renderer systems' sprites and tiles, until EndWorld.
void BeginWorld();
/// Later draws go through camera, a copy of it taken now, in world units until
/// EndWorld: a minimap or a player's half of a split screen. On the window
/// its w by h view fills the viewport; in a target, see BeginTarget.
void BeginWorld(const Camera& camera);
/// Later draws go through camera, a copy of it taken now, shown in place (a
/// rectangle of screen pixels) at place's size, the camera's position at its
/// centre, until EndWorld: a player's part of a split screen, which follows
/// the window's size as place does. The camera's w and h are taken from
/// place (given them too, its ScreenToWorld takes a point from place's
/// top-left corner). Draws are not clipped to place: Draw::BeginScissor(place) before
/// it (and EndScissor after EndWorld) keeps them in.
void BeginWorld(const Camera& camera, Rectangle place);
/// Later draws are in screen pixels again (as at the start of every frame).
void EndWorld();

/// Later draws go into target instead of where they went (the window, or the
/// target begun before: targets nest), until EndTarget. In it, screen pixels
/// are the target's, from its top-left corner, and BeginWorld shows the world
/// through its camera at a view of the target's size, the camera's position at
/// the target's centre. What target holds is kept: draws go over it. Drawing
/// a target into itself shows undefined pixels. False, with a warning and
/// nothing changed, for a null target or one that cannot be drawn into now
/// (RenderTarget::Ready); no EndTarget is due then.
bool BeginTarget(const Ref<RenderTarget>& target);
/// The same, first making the whole target color.
bool BeginTarget(const Ref<RenderTarget>& target, Color color);
/// Sends the target's draws and puts back the framebuffer, viewport and mode
/// (screen or world) that were in use at its BeginTarget. Without a target
/// open, a warning. A target still open when the frame ends (EndFrame) is
/// ended there, with a warning.
void EndTarget();

/// Later draws land only inside rect, in screen pixels of the current
/// viewport (of the view, of the target between BeginTarget and EndTarget),
/// y down, also between BeginWorld and EndWorld; until EndScissor. A scissor
/// begun inside another clips to the part the two share, as a list inside a
/// panel wants. It clips everything drawn meanwhile, the renderer systems'
/// quads included. Each target has its own: one begun on the window does not
/// clip a target's draws, and is back at the target's EndTarget.
void BeginScissor(Rectangle rect);
/// Ends the innermost scissor of the window or target being drawn into.
/// Without one open, a warning. A scissor still open at its target's
/// EndTarget or at EndFrame is ended there, with a warning.
void EndScissor();

/// How a draw's colour c (of alpha a) is mixed with the pixel d under it.
enum class Blend : uint8_t {
    Alpha,         ///< c * a + d * (1 - a): the default, see-through by alpha.
    Additive,      ///< d + c * a: light adds up, for glows and sparks.
    Multiply,      ///< d * c, whatever a: darkens by the colour, for shadows
                   ///< and tints (a grey of 128 halves what is under it).
    Premultiplied, ///< c + d * (1 - a), for colours already times their alpha,
                   ///< as a RenderTarget's picture holds them.
};
/// Later draws blend by mode until EndBlend; blends nest, and EndBlend goes
/// back to the one before. The renderer systems' quads drawn meanwhile blend
/// so too. The alpha a target keeps adds up as coverage in every mode but
/// Multiply, which leaves it as it is.
void BeginBlend(Blend mode);
/// Back to the blend before BeginBlend. Without one open, a warning; one
/// still open at EndFrame is ended there, with a warning.
void EndBlend();

/// Later draws of Draw (not the renderer systems') go through shader until
/// EndShader; shaders nest. The shader gets Draw's vertices: attribute 0 the
/// position (vec2 in pixels, or world units, as given to Draw), 1 the texture
/// coordinate (vec2), 2 the colour or tint (vec4, 0 to 1); its texture is
/// bound to unit 0, where a sampler uniform left unset reads. Draw sets
/// "u_ViewProjection" (mat4, to clip space) at every batch: a shader of the
/// program's own must have it. MakeShader makes one from a fragment stage.
///
/// BeginShader ends the batch and makes shader the current GL program, so
/// its uniforms are set with Shader's setters right after it, before the
/// draws they are meant for: they apply to every draw up to the next batch
/// break. To change them between draws, call BeginShader again first (or
/// Flush, unless a quad of the renderer systems came between: it makes their
/// program current). False, with a warning and nothing changed, for a null
/// shader or one that holds no program; no EndShader is due then.
bool BeginShader(const Ref<Shader>& shader);
/// Back to the shader before BeginShader. The GL program current at
/// BeginShader is current again, unless another was made current meanwhile
/// (a renderer system's, at its RenderInit): that one stays, for the draws
/// that follow. Without one open, a warning; one still open at EndFrame is
/// ended there, with a warning.
void EndShader();
/// A shader for BeginShader from the GLSL of its fragment stage alone, put
/// after Draw's own vertex stage, which hands it `in vec2 v_TexCoord;` and
/// `in vec4 v_Color;` (the texture's coordinate and the draw's colour):
///
///     #version 330 core
///     in vec2 v_TexCoord;
///     in vec4 v_Color;
///     uniform sampler2D u_Texture;
///     uniform float u_Time; // the program's own, set after BeginShader
///     out vec4 color;
///     void main() { color = texture(u_Texture, v_TexCoord) * v_Color; }
///
/// Null, with the compiler's log in a warning, for a source that does not
/// compile or link, or without a current GL context. The current program
/// stays current.
Ref<Shader> MakeShader(const std::string& fragmentSource);

/// Sends what is batched to the GPU now; needed only before GL drawing of the
/// program's own. The renderer systems and the engine's frame end flush by
/// themselves.
void Flush();
/// Ends the frame's drawing: flushes, keeps the counts for GetStats and goes
/// back to screen pixels. The engine calls it before the buffer swap; a
/// program with a loop of its own calls it there.
void EndFrame();
/// The counts of the last frame ended by EndFrame.
Stats GetStats();

} // namespace Draw
} // namespace Engine

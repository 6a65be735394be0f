#include <engine/render/Draw.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <numeric>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <engine/core/Log.h>
#include <engine/render/Camera.h>
#include <engine/render/RenderTarget.h>
#include <engine/render/Shader.h>

#include "core/GLUtil.h"
#include "render/DrawBatch.h"
#include "render/GLRenderer.h"

namespace Engine {

namespace {

struct Vertex {
    float x, y;
    float u, v;
    Color color;
};
static_assert(sizeof(Vertex) == 20, "the attribute pointers assume a packed vertex");

// The part of its texture a vertex's quad shows, for kept pictures (see Kept):
// left, bottom, right, top as u and v from 0 to 65535, all 0 for a quad read
// as given. Sent beside the vertices, for batches that have a quad with
// edges only, and drawn by a program that reads texels within them.
struct Edges {
    uint16_t e[4];
};

// 65536 vertices, as far as 16-bit indices reach.
constexpr size_t BATCH_QUADS = 16384;
constexpr GLuint COLOR = GLRenderer::DRAW_COLOR_ATTRIBUTE;
constexpr GLuint EDGES = 3;

// The engine's own program for batches with edges: a part of a sheet drawn
// smaller than its pixels is sampled linearly, which would take in texels of
// the part beside it (a seam between tiles), so texels are read no nearer to
// its edges than their centres.
const ShaderSources KEPT_SOURCES{R"(#version 330 core
layout(location = 0) in vec3 a_Position;
layout(location = 1) in vec2 a_TexCoord;
layout(location = 2) in vec4 a_Color;
layout(location = 3) in vec4 a_Edges;
uniform mat4 u_ViewProjection;
uniform mat4 u_Transform;
uniform sampler2D u_Texture;
out vec2 v_TexCoord;
out vec4 v_Color;
flat out vec4 v_Edges;
void main() {
    v_TexCoord = a_TexCoord;
    v_Color = a_Color;
    vec2 inset = 0.5 / vec2(textureSize(u_Texture, 0));
    v_Edges = a_Edges.z > a_Edges.x
                  ? vec4(a_Edges.xy + inset, max(a_Edges.zw - inset, a_Edges.xy + inset))
                  : vec4(-1.0, -1.0, 2.0, 2.0);
    gl_Position = u_ViewProjection * u_Transform * vec4(a_Position, 1.0);
}
)",
                                 R"(#version 330 core
in vec2 v_TexCoord;
in vec4 v_Color;
flat in vec4 v_Edges;
uniform sampler2D u_Texture;
layout(location = 0) out vec4 color;
void main() {
    color = texture(u_Texture, clamp(v_TexCoord, v_Edges.xy, v_Edges.zw)) * v_Color;
}
)"};

// Where a texture's picture lies in its GL texture: u from left to right, v
// from the picture's top to its bottom row (v grows upwards in GL).
struct Region {
    uint32_t id = 0;
    float width = 0, height = 0; // pixels
    float left = 0, right = 0, top = 0, bottom = 0;
    bool kept = false; // a picture of hard texels (see Kept)
};

// Quads batched in a row with one texture: one draw call. The texture is
// held, so that its GL name outlives the draw even if its owner lets go of
// it before the batch is flushed.
struct Run {
    uint32_t texture = 0;
    size_t first = 0; // quads batched before it
    Ref<Texture> held;
};

// A target drawn into, and what its BeginTarget found, to be put back.
struct OpenTarget {
    Ref<RenderTarget> target;
    GLint framebuffer = 0;
    GLint viewport[4] = {0, 0, 0, 0};
    bool world = false;
    std::optional<Camera> camera;
    std::optional<Rectangle> place;
};

struct Batch {
    std::unique_ptr<Vertex[]> vertices;
    size_t count = 0;      // vertices batched
    std::vector<Run> runs; // in drawing order; the last takes the next quads
    bool world = false;    // through the camera rather than in screen pixels
    std::optional<Camera> camera; // the program's own, else Camera::Main()
    std::optional<Rectangle> place; // where the camera's view is shown, else all of it
    Camera mainSeen;              // Camera::Main() as the batch's first quad found it

    Ref<Shader> program, keptProgram;
    GLuint vbo = 0, ibo = 0, white = 0, edgesVbo = 0;
    std::unique_ptr<Edges[]> edges; // parallel to vertices while edged
    bool edged = false;             // a quad of the batch has edges

    // The texture last drawn and its region: sprites of one sheet in a row
    // skip the virtual getters. Held, so that its address names it.
    Ref<Texture> cached;
    Region cachedRegion;
    // Kept's answers for the textures last asked about, by GL name; this
    // frame's only, since a name deleted may come back for another texture.
    std::pair<uint32_t, bool> kept[4] = {};
    size_t keptNext = 0;

    Draw::Stats frame, last;
    std::vector<void (*)()> atRelease;
    std::vector<OpenTarget> targets; // the innermost last
};

Batch g;

// Clipping, blending and the program's own shader: their section is below.
void ApplyScissor();
void EndTargetScissors();
void ApplyBlend();
Shader& BatchProgram();
void CloseModes();
void DropModes();
void RendererProgramBack();
void RendererBlend();

// How many of Draw's screen pixels the innermost target open has across and
// down, or else the view shown in the window's viewport.
glm::vec2 PixelSize(const GLint viewport[4]) {
    if (g.targets.empty())
        return GLRenderer::ScreenSize(viewport);
    const RenderTarget& t = *g.targets.back().target;
    return {t.getWidth(), t.getHeight()};
}

// What the batch is drawn through: screen pixels or the camera, of the
// innermost target open or else of the window's viewport.
glm::mat4 Projection() {
    if (g.targets.empty() && g.world && !g.place)
        return (g.camera ? *g.camera : g.mainSeen).GetViewProjection();
    GLint viewport[4] = {0, 0, 0, 0};
    if (g.targets.empty())
        glGetIntegerv(GL_VIEWPORT, viewport);
    const glm::vec2 size = PixelSize(viewport);
    const glm::mat4 screen = glm::ortho(0.0f, size.x, size.y, 0.0f, -1.0f, 1.0f);
    if (g.world && g.place) {
        // The camera's own view (of the place's size) moved to the place; at
        // a whole pixel, as the view is, so that tiles meet without seams.
        const Camera& camera = *g.camera;
        const glm::vec3 at(std::round(g.place->x), std::round(g.place->y), 0.0f);
        return screen * glm::translate(glm::mat4(1.0f), at) *
               glm::inverse(camera.GetProjection()) * camera.GetViewProjection();
    }
    if (g.world) {
        // A target shows the camera's view at the target's size.
        Camera camera = g.camera ? *g.camera : g.mainSeen;
        camera.w = size.x;
        camera.h = size.y;
        return camera.GetViewProjection();
    }
    return screen;
}

// Ends the innermost target: its draws are sent, and the framebuffer,
// viewport and mode from before it are back (in the target's own context
// only: with another one current, there is nothing of it to put back).
void CloseTarget() {
    Draw::Flush();
    EndTargetScissors();
    const OpenTarget open = std::move(g.targets.back());
    g.targets.pop_back();
    g.world = open.world;
    g.camera = std::move(open.camera);
    g.place = open.place;
    if (!open.target->Ready())
        return;
    GLCall(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(open.framebuffer)));
    GLCall(glViewport(open.viewport[0], open.viewport[1], open.viewport[2], open.viewport[3]));
    ApplyScissor();
}

// For a bound program with the engine's own vertex stage: the vertices are
// already where they are drawn, and name their texels. A fragment stage of
// the program's own may not read the texels, and GL then drops their uniforms.
void PlaceAsGiven(Shader& program) {
    program.SetUniformMat4("u_Transform", glm::mat4(1.0f));
    if (glGetUniformLocation(program.GetID(), "u_texPos") == -1)
        return;
    program.SetUniformFloat2("u_texPos", 0.0f, 0.0f);
    program.SetUniformFloat2("u_texScale", 1.0f, 1.0f);
}

void MakeObjects() {
    if (g.program)
        return;
    g.program = Shader::CreateDefault();
    PlaceAsGiven(*g.program);

    std::vector<uint16_t> indices(BATCH_QUADS * 6);
    for (size_t q = 0; q < BATCH_QUADS; ++q) {
        const auto base = static_cast<uint16_t>(q * 4);
        const uint16_t quad[6] = {base, uint16_t(base + 1), uint16_t(base + 2),
                                  base, uint16_t(base + 2), uint16_t(base + 3)};
        std::copy(quad, quad + 6, indices.begin() + static_cast<ptrdiff_t>(q * 6));
    }
    GLCall(glCreateBuffers(1, &g.ibo));
    GLCall(glNamedBufferData(g.ibo, static_cast<GLsizeiptr>(indices.size() * sizeof(uint16_t)),
                             indices.data(), GL_STATIC_DRAW));
    GLCall(glCreateBuffers(1, &g.vbo));
    GLCall(glCreateBuffers(1, &g.edgesVbo));
}

uint32_t WhiteTexture() {
    if (g.white == 0 && GLContextCurrent()) {
        const unsigned char texel[4] = {255, 255, 255, 255};
        GLCall(glCreateTextures(GL_TEXTURE_2D, 1, &g.white));
        GLCall(glTextureStorage2D(g.white, 1, GL_RGBA8, 1, 1));
        GLCall(glTextureSubImage2D(g.white, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, texel));
    }
    return g.white;
}

// Bitwise, so that a camera of NaNs is still the camera it was.
static_assert(sizeof(Camera) == 2 * sizeof(Transform) + 4 * sizeof(float), "no padding to compare");
bool SameCamera(const Camera& a, const Camera& b) {
    return std::memcmp(&a, &b, sizeof(Camera)) == 0;
}

// Quads through Camera::Main() go through it as it is when they are drawn: a
// program that moves it between draws (parallax layers) must not move the
// quads drawn before.
void FollowMainCamera() {
    if (!g.world || g.camera)
        return;
    const Camera& main = Camera::Main();
    if (g.count > 0 && SameCamera(main, g.mainSeen))
        return;
    Draw::Flush();
    g.mainSeen = main;
}

// Room for one quad drawn with texture; a full batch is drawn first. Another
// texture than the last quad's starts a run: the batch is still sent in one
// upload, and only the draw calls follow the texture changes.
Vertex* Reserve(uint32_t texture) {
    if (!g.vertices)
        g.vertices = std::make_unique<Vertex[]>(BATCH_QUADS * 4);
    if (g.count == BATCH_QUADS * 4)
        Draw::Flush();
    FollowMainCamera();
    if (g.runs.empty() || g.runs.back().texture != texture)
        g.runs.push_back({texture, g.count / 4, texture == g.white ? nullptr : g.cached});
    Vertex* v = &g.vertices[g.count];
    if (g.edged)
        std::fill_n(&g.edges[g.count], 4, Edges{});
    g.count += 4;
    return v;
}

uint16_t Unit(float f) {
    return static_cast<uint16_t>(std::lround(std::clamp(f, 0.0f, 1.0f) * 65535.0f));
}

void Quad(uint32_t texture, const glm::vec2 (&p)[4], const Region& r, Color color) {
    Vertex* v = Reserve(texture);
    v[0] = {p[0].x, p[0].y, r.left, r.top, color};
    v[1] = {p[1].x, p[1].y, r.right, r.top, color};
    v[2] = {p[2].x, p[2].y, r.right, r.bottom, color};
    v[3] = {p[3].x, p[3].y, r.left, r.bottom, color};
    if (!r.kept)
        return;
    const Edges edges{{Unit(std::min(r.left, r.right)), Unit(std::min(r.top, r.bottom)),
                       Unit(std::max(r.left, r.right)), Unit(std::max(r.top, r.bottom))}};
    // A whole texture is kept to its edges by GL itself.
    if (edges.e[0] == 0 && edges.e[1] == 0 && edges.e[2] == 65535 && edges.e[3] == 65535)
        return;
    const size_t first = g.count - 4;
    if (!g.edged) {
        if (!g.edges)
            g.edges = std::make_unique<Edges[]>(BATCH_QUADS * 4);
        std::fill_n(g.edges.get(), first, Edges{});
        g.edged = true;
    }
    std::fill_n(&g.edges[first], 4, edges);
}

// A quad of colours that run between its corners.
void Solid(const glm::vec2 (&p)[4], const Color (&colors)[4]) {
    const uint32_t white = WhiteTexture();
    if (!white)
        return;
    Vertex* v = Reserve(white);
    for (int i = 0; i < 4; ++i)
        v[i] = {p[i].x, p[i].y, 0.5f, 0.5f, colors[i]};
}

void Solid(const glm::vec2 (&p)[4], Color color) {
    Solid(p, {color, color, color, color});
}

// A triangle is a quad whose last two corners are one: the batch's second
// triangle of it has no area.
void Solid(glm::vec2 a, glm::vec2 b, glm::vec2 c, Color color) {
    Solid({a, b, c, c}, color);
}

double Cross(glm::vec2 a, glm::vec2 b) {
    return double(a.x) * b.y - double(a.y) * b.x;
}

// The points without repeats in a row (nor a last one that repeats the first
// when closed): repeated corners make edges of no length and no direction.
std::vector<glm::vec2> Distinct(std::span<const glm::vec2> points, bool closed) {
    std::vector<glm::vec2> out;
    out.reserve(points.size());
    for (glm::vec2 p : points)
        if (out.empty() || p != out.back())
            out.push_back(p);
    if (closed && out.size() > 1 && out.back() == out.front())
        out.pop_back();
    return out;
}

// Whether the GL texture shows its texels as hard squares when drawn larger
// (an image's, a nearest target's): a picture of pixels, whose parts (tiles,
// frames) are kept from their neighbours when drawn smaller. Smooth textures
// (a font's) hold margins of their own.
bool Kept(uint32_t id) {
    for (const auto& [known, kept] : g.kept)
        if (known == id)
            return kept;
    GLint filter = 0;
    if (GLContextCurrent())
        glGetTextureParameteriv(id, GL_TEXTURE_MAG_FILTER, &filter);
    g.kept[g.keptNext] = {id, filter == GL_NEAREST};
    g.keptNext = (g.keptNext + 1) % std::size(g.kept);
    return filter == GL_NEAREST;
}

// Null for nothing to draw: no texture, or one without a GL image.
const Region* Lookup(const Ref<Texture>& texture) {
    if (texture.get() == g.cached.get())
        return g.cached ? &g.cachedRegion : nullptr;
    if (!texture || texture->getID() == 0)
        return nullptr;
    // The texture held until now may be its last owner; a run of the batch
    // that shows it holds it too.
    Region& r = g.cachedRegion;
    r.id = texture->getID();
    r.width = texture->getWidth();
    r.height = texture->getHeight();
    r.left = texture->getInternalX();
    r.right = r.left + texture->getInternalWidth();
    r.bottom = texture->getInternalY();
    r.top = r.bottom + texture->getInternalHeight();
    r.kept = Kept(r.id);
    g.cached = texture;
    return &r;
}

// The pixels x0 to x1 across and y0 to y1 down of the picture found.
Region Part(const Region& found, float x0, float y0, float x1, float y1) {
    Region r = found;
    const float du = (found.right - found.left) / found.width;
    const float dv = (found.bottom - found.top) / found.height;
    r.left = found.left + x0 * du;
    r.right = found.left + x1 * du;
    r.top = found.top + y0 * dv;
    r.bottom = found.top + y1 * dv;
    return r;
}

// The part source (texels from the picture's top-left corner) of a picture.
Region Part(const Region& whole, Rectangle source) {
    return Part(whole, source.x, source.y, source.x + source.width, source.y + source.height);
}

// One axis of a nine-slice: the edges of its three bands in the source and
// on screen, each edge shared by the two bands beside it so that they meet
// without a gap or an overlap at any position.
struct Bands {
    float source[4], dest[4];
};

Bands Split(float sourceStart, float sourceSize, float first, float last, float destStart,
            float destSize) {
    // max before min: a NaN border becomes 0.
    first = std::min(std::max(0.0f, first), sourceSize);
    last = std::min(std::max(0.0f, last), sourceSize);
    if (first + last > sourceSize) {
        const float k = sourceSize / (first + last);
        first *= k;
        last = sourceSize - first;
    }
    Bands b{{sourceStart, sourceStart + first, sourceStart + sourceSize - last,
             sourceStart + sourceSize},
            {destStart, 0, 0, destStart + destSize}};
    if (first + last > destSize) {
        // Too narrow for both borders: they shrink in proportion, no middle.
        b.dest[1] = b.dest[2] = destStart + destSize * (first / (first + last));
    } else {
        b.dest[1] = destStart + first;
        b.dest[2] = std::max(b.dest[1], destStart + destSize - last);
    }
    return b;
}

Region Flipped(Region r, Draw::Flip flip) {
    const auto bits = static_cast<uint8_t>(flip);
    if (bits & static_cast<uint8_t>(Draw::Flip::Horizontal))
        std::swap(r.left, r.right);
    if (bits & static_cast<uint8_t>(Draw::Flip::Vertical))
        std::swap(r.top, r.bottom);
    return r;
}

// Corners of a polygon approximating a circle of radius r closely enough
// that no pixel centre is more than a quarter pixel off; an even number.
int CircleSlices(float radius) {
    const double cosine = std::clamp(1.0 - 0.25 / radius, -1.0, 1.0);
    const double n = std::ceil(std::numbers::pi / std::acos(cosine));
    const int slices = static_cast<int>(std::clamp(n, 8.0, 512.0));
    return slices + (slices & 1);
}

glm::vec2 OnCircle(glm::vec2 center, float radius, int i, int slices) {
    const double a = 2.0 * std::numbers::pi * i / slices;
    return {center.x + radius * static_cast<float>(std::cos(a)),
            center.y + radius * static_cast<float>(std::sin(a))};
}

// A rounded rectangle's corner circles: their centres, clockwise on screen
// from +x (bottom right, bottom left, top left, top right), and the slices
// of OnCircle a quarter circle takes.
struct Corners {
    Corners(Rectangle r, float radius) : quarter(CircleSlices(radius) / 4) {
        const float x0 = r.x + radius, x1 = r.x + r.width - radius;
        const float y0 = r.y + radius, y1 = r.y + r.height - radius;
        centres[0] = {x1, y1}, centres[1] = {x0, y1}, centres[2] = {x0, y0}, centres[3] = {x1, y0};
    }
    int quarter;
    glm::vec2 centres[4];
};

} // namespace

namespace DrawBatch {

void BeforeSharedQuad() {
    if (g.count > 0)
        Draw::Flush();
    RendererProgramBack();
    RendererBlend();
    ++g.frame.drawCalls;
    ++g.frame.quads;
}

void Release() {
    while (!g.targets.empty())
        CloseTarget();
    DropModes();
    if (GLContextCurrent()) {
        if (g.vbo)
            glDeleteBuffers(1, &g.vbo);
        if (g.edgesVbo)
            glDeleteBuffers(1, &g.edgesVbo);
        if (g.ibo)
            glDeleteBuffers(1, &g.ibo);
        if (g.white)
            glDeleteTextures(1, &g.white);
    }
    g.vbo = g.ibo = g.white = g.edgesVbo = 0;
    g.program.reset();
    g.keptProgram.reset();
    std::fill(std::begin(g.kept), std::end(g.kept), std::pair<uint32_t, bool>{});
    g.cached.reset();
    g.vertices.reset();
    g.edges.reset();
    g.edged = false;
    g.runs.clear();
    g.count = 0;
    g.world = false;
    std::vector<void (*)()> fns;
    fns.swap(g.atRelease);
    for (auto fn : fns)
        fn();
}

void AtRelease(void (*fn)()) {
    g.atRelease.push_back(fn);
}

void Quad(const Ref<Texture>& texture, Rectangle source, const glm::vec2 (&corners)[4],
          Color tint) {
    const Region* found = Lookup(texture);
    if (found && found->width > 0 && found->height > 0)
        ::Engine::Quad(found->id, corners, Part(*found, source), tint);
}

void Quad(const glm::vec2 (&corners)[4], Color color) {
    Solid(corners, color);
}

} // namespace DrawBatch

namespace Draw {

void Rect(Rectangle r, Color color) {
    const float x1 = r.x + r.width, y1 = r.y + r.height;
    Solid({{r.x, r.y}, {x1, r.y}, {x1, y1}, {r.x, y1}}, color);
}

void RectLines(Rectangle r, Color color, float t) {
    // Four bands that do not overlap, so a see-through colour stays even.
    t = std::min({t, r.width / 2, r.height / 2});
    if (!(t > 0))
        return;
    Rect({r.x, r.y, r.width, t}, color);
    Rect({r.x, r.y + r.height - t, r.width, t}, color);
    Rect({r.x, r.y + t, t, r.height - 2 * t}, color);
    Rect({r.x + r.width - t, r.y + t, t, r.height - 2 * t}, color);
}

void Line(glm::vec2 from, glm::vec2 to, Color color, float thickness) {
    const glm::vec2 d = to - from;
    const float length = std::sqrt(d.x * d.x + d.y * d.y);
    if (!(length > 0) || !(thickness > 0))
        return;
    const glm::vec2 along = d / length;
    const glm::vec2 n = glm::vec2(-along.y, along.x) * (thickness / 2);
    // Through the pixels' centres, from the start pixel's near edge to the end
    // pixel's: no pixel centre lies on an end, where rasterisers differ, and
    // lines that meet end to end light every pixel once.
    const glm::vec2 a = from + 0.5f - along * 0.5f, b = to + 0.5f - along * 0.5f;
    Solid({a + n, b + n, b - n, a - n}, color);
}

void Circle(glm::vec2 center, float radius, Color color) {
    if (!(radius > 0))
        return;
    const int slices = CircleSlices(radius);
    // Two slices a quad: the centre and three points of the rim.
    for (int i = 0; i < slices; i += 2)
        Solid({center, OnCircle(center, radius, i, slices), OnCircle(center, radius, i + 1, slices),
               OnCircle(center, radius, i + 2, slices)},
              color);
}

void CircleLines(glm::vec2 center, float radius, Color color, float thickness) {
    const float inner = std::max(0.0f, radius - thickness);
    if (!(radius > 0) || !(thickness > 0))
        return;
    const int slices = CircleSlices(radius);
    for (int i = 0; i < slices; ++i)
        Solid({OnCircle(center, radius, i, slices), OnCircle(center, radius, i + 1, slices),
               OnCircle(center, inner, i + 1, slices), OnCircle(center, inner, i, slices)},
              color);
}

void Triangle(glm::vec2 a, glm::vec2 b, glm::vec2 c, Color color) {
    Solid(a, b, c, color);
}

void TriangleLines(glm::vec2 a, glm::vec2 b, glm::vec2 c, Color color, float thickness) {
    const double twiceArea = std::abs(Cross(b - a, c - a));
    const double ab = glm::length(b - a), bc = glm::length(c - b), ca = glm::length(a - c);
    if (!(twiceArea > 0) || !(thickness > 0))
        return;
    // The inner edge is the triangle shrunk about its incentre, whose distance
    // to every edge is the inradius: thickness less of it leaves the band.
    const double inradius = twiceArea / (ab + bc + ca);
    if (thickness >= inradius)
        return Solid(a, b, c, color);
    const glm::dvec2 centre =
        (glm::dvec2(a) * bc + glm::dvec2(b) * ca + glm::dvec2(c) * ab) / (ab + bc + ca);
    const double keep = (inradius - thickness) / inradius;
    auto inner = [&](glm::vec2 p) { return glm::vec2(centre + (glm::dvec2(p) - centre) * keep); };
    const glm::vec2 ia = inner(a), ib = inner(b), ic = inner(c);
    // Three bands that do not overlap, so a see-through colour stays even.
    Solid({a, b, ib, ia}, color);
    Solid({b, c, ic, ib}, color);
    Solid({c, a, ia, ic}, color);
}

void Polygon(std::span<const glm::vec2> points, Color color) {
    if (points.size() > MAX_POLYGON_POINTS) {
        static bool warned = false;
        if (!warned)
            Log::Warn("DRAW", "A polygon of %zu points is not drawn: %zu at most", points.size(),
                      MAX_POLYGON_POINTS);
        warned = true;
        return;
    }
    const std::vector<glm::vec2> v = Distinct(points, true);
    if (v.size() < 3)
        return;
    double twiceArea = 0;
    for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++)
        twiceArea += Cross(v[j], v[i]);
    // The winding: convex corners turn this way. Edges that cross can enclose
    // no area in sum (a bow tie), which still draws unless all is one line.
    const double turn = twiceArea < 0 ? -1 : 1;
    bool line = true;
    for (size_t k = 2; k < v.size(); ++k)
        line = line && Cross(v[k - 1] - v[k - 2], v[k] - v[k - 1]) == 0;
    if (line)
        return;
    // Ear clipping: a convex corner with no other corner in its triangle is
    // cut off and drawn, until a triangle is left.
    std::vector<size_t> ring(v.size());
    std::iota(ring.begin(), ring.end(), size_t(0));
    // A corner that is no ear has in its triangle a corner turning the other
    // way, which is not cut off while it does: only losing a neighbour makes
    // it an ear (where edges do not cross). Not testing it again till then
    // keeps a polygon's work to n^2 point tests, not n^3.
    std::vector<bool> noEar(v.size());
    size_t i = 0, misses = 0;
    while (ring.size() > 3) {
        const size_t m = ring.size();
        const size_t before = (i + m - 1) % m, after = (i + 1) % m;
        const glm::vec2 a = v[ring[before]], b = v[ring[i]], c = v[ring[after]];
        const double corner = turn * Cross(b - a, c - b);
        bool ear = corner > 0 && !noEar[ring[i]];
        for (size_t k = 0; ear && k < m; ++k) {
            const glm::vec2 p = v[ring[k]];
            ear = p == a || p == b || p == c || turn * Cross(b - a, p - a) < 0 ||
                  turn * Cross(c - b, p - b) < 0 || turn * Cross(a - c, p - c) < 0;
        }
        // A corner in a line with its neighbours goes without a triangle. A
        // whole round without an ear means edges that cross: the corner is cut
        // off all the same, so that the work ends.
        if (ear || corner == 0 || misses >= m) {
            if (corner != 0)
                Solid(a, b, c, color);
            noEar[ring[before]] = noEar[ring[after]] = false;
            ring.erase(ring.begin() + static_cast<ptrdiff_t>(i));
            i %= ring.size();
            misses = 0;
        } else {
            noEar[ring[i]] = true;
            i = after;
            ++misses;
        }
    }
    Solid(v[ring[0]], v[ring[1]], v[ring[2]], color);
}

void PolygonLines(std::span<const glm::vec2> points, Color color, float thickness, bool closed) {
    std::vector<glm::vec2> p = Distinct(points, closed);
    closed = closed && p.size() > 2;
    if (p.size() < 2 || !(thickness > 0))
        return;
    const size_t n = p.size(), segments = closed ? n : n - 1;
    const float half = thickness / 2;
    // Per segment: its direction, length and the offset of its sides.
    std::vector<glm::vec2> along(segments), side(segments);
    std::vector<float> length(segments);
    for (size_t s = 0; s < segments; ++s) {
        const glm::vec2 d = p[(s + 1) % n] - p[s];
        length[s] = glm::length(d);
        along[s] = d / length[s];
        side[s] = glm::vec2(-along[s].y, along[s].x) * half;
    }
    // Where the sides of segments in and out of corner k meet: their mitre,
    // or nothing where that would reach far past the corner (a sharp turn, or
    // segments too short for it), and the two are then left unjoined.
    auto mitre = [&](size_t in, size_t out) -> std::optional<glm::vec2> {
        const glm::vec2 sum = side[in] + side[out];
        const float across = glm::dot(sum, side[in]); // of the mitre, times half
        if (!(across > half * half / 8)) // longer than 4 half thicknesses
            return std::nullopt;
        const glm::vec2 m = sum * (half * half / across);
        const float reach = std::abs(glm::dot(m, along[in]));
        if (reach > length[in] / 2 || reach > length[out] / 2)
            return std::nullopt;
        return m;
    };
    // Through the pixels' centres, as Line; an open end starts at the start
    // pixel's near edge and stops at the end pixel's.
    for (size_t s = 0; s < segments; ++s) {
        const glm::vec2 a = p[s] + 0.5f, b = p[(s + 1) % n] + 0.5f;
        glm::vec2 a1 = a + side[s], a2 = a - side[s], b1 = b + side[s], b2 = b - side[s];
        if (closed || s > 0) {
            if (const auto m = mitre(s == 0 ? segments - 1 : s - 1, s))
                a1 = a + *m, a2 = a - *m;
        } else {
            a1 -= along[s] * 0.5f, a2 -= along[s] * 0.5f;
        }
        if (closed || s + 1 < segments) {
            if (const auto m = mitre(s, (s + 1) % segments))
                b1 = b + *m, b2 = b - *m;
        } else {
            b1 -= along[s] * 0.5f, b2 -= along[s] * 0.5f;
        }
        Solid({a1, b1, b2, a2}, color);
    }
}

void RectRounded(Rectangle r, float radius, Color color) {
    radius = std::min({radius, r.width / 2, r.height / 2});
    if (r.Empty())
        return;
    if (!(radius > 0))
        return Rect(r, color);
    // A cross of three bands and a quarter disc in each corner, none over
    // another, so a see-through colour stays even.
    if (r.width > 2 * radius)
        Rect({r.x + radius, r.y, r.width - 2 * radius, r.height}, color);
    if (r.height > 2 * radius) {
        Rect({r.x, r.y + radius, radius, r.height - 2 * radius}, color);
        Rect({r.x + r.width - radius, r.y + radius, radius, r.height - 2 * radius}, color);
    }
    const Corners corners(r, radius);
    const int quarter = corners.quarter, slices = 4 * quarter;
    for (int k = 0; k < 4; ++k)
        for (int i = k * quarter; i < (k + 1) * quarter; i += 2) {
            const int last = std::min(i + 2, (k + 1) * quarter);
            const glm::vec2 c = corners.centres[k];
            Solid({c, OnCircle(c, radius, i, slices), OnCircle(c, radius, i + 1, slices),
                   OnCircle(c, radius, last, slices)},
                  color);
        }
}

void RectRoundedLines(Rectangle r, float radius, Color color, float t) {
    radius = std::min({radius, r.width / 2, r.height / 2});
    t = std::min({t, r.width / 2, r.height / 2});
    if (r.Empty() || !(t > 0))
        return;
    if (!(radius > 0))
        return RectLines(r, color, t);
    // A ring of quads, none over another, between the outline's outer edge
    // and its inner one, round about the same corner centres; a line thicker
    // than the radius leaves the inner corners square.
    const Corners corners(r, radius);
    const int quarter = corners.quarter, slices = 4 * quarter;
    // Each centre's way inwards, in the corners' order.
    const glm::vec2 inwards[4] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const float inner = std::max(radius - t, 0.0f), past = std::max(t - radius, 0.0f);
    std::vector<glm::vec2> out, in;
    for (int k = 0; k < 4; ++k)
        for (int i = k * quarter; i <= (k + 1) * quarter; ++i) {
            const glm::vec2 c = corners.centres[k];
            out.push_back(OnCircle(c, radius, i, slices));
            in.push_back(OnCircle(c + inwards[k] * past, inner, i, slices));
        }
    for (size_t i = 0; i < out.size(); ++i) {
        const size_t j = (i + 1) % out.size();
        Solid({out[i], out[j], in[j], in[i]}, color);
    }
}

void RectGradient(Rectangle r, Color topLeft, Color topRight, Color bottomRight, Color bottomLeft) {
    if (r.Empty())
        return;
    // Four triangles about the centre, which takes the corners' mean: a
    // gradient along either axis is exact, and no diagonal is favoured.
    auto mean = [&](uint8_t Color::*channel) {
        return uint8_t((topLeft.*channel + topRight.*channel + bottomRight.*channel +
                        bottomLeft.*channel + 2) /
                       4);
    };
    const Color centre{mean(&Color::r), mean(&Color::g), mean(&Color::b), mean(&Color::a)};
    const glm::vec2 c{r.x + r.width / 2, r.y + r.height / 2}, tl{r.x, r.y},
        tr{r.x + r.width, r.y}, br{r.x + r.width, r.y + r.height}, bl{r.x, r.y + r.height};
    Solid({c, tl, tr, br}, {centre, topLeft, topRight, bottomRight});
    Solid({c, br, bl, tl}, {centre, bottomRight, bottomLeft, topLeft});
}

void Sprite(const Ref<Texture>& texture, float x, float y, Color tint) {
    const Region* r = Lookup(texture);
    if (r)
        Sprite(texture, Rectangle{x, y, r->width, r->height}, tint);
}

void Sprite(const Ref<Texture>& texture, Rectangle d, Color tint, Flip flip) {
    const Region* found = Lookup(texture);
    if (!found)
        return;
    const Region r = flip == Flip::None ? *found : Flipped(*found, flip);
    const float x1 = d.x + d.width, y1 = d.y + d.height;
    Quad(r.id, {{d.x, d.y}, {x1, d.y}, {x1, y1}, {d.x, y1}}, r, tint);
}

void Sprite(const Ref<Texture>& texture, Rectangle source, Rectangle d, glm::vec2 origin,
            float rotation, Color tint, Flip flip) {
    const Region* found = Lookup(texture);
    if (!found || !(found->width > 0) || !(found->height > 0))
        return;
    const Region r = Flipped(Part(*found, source), flip);
    glm::vec2 p[4] = {{-origin.x, -origin.y},
                      {d.width - origin.x, -origin.y},
                      {d.width - origin.x, d.height - origin.y},
                      {-origin.x, d.height - origin.y}};
    // y grows downwards, so turning +x towards +y is clockwise on screen.
    const float radians = glm::radians(rotation);
    const float c = std::cos(radians), s = std::sin(radians);
    for (glm::vec2& q : p)
        q = glm::vec2(d.x + q.x * c - q.y * s, d.y + q.x * s + q.y * c);
    Quad(r.id, p, r, tint);
}

void NineSlice(const Ref<Texture>& texture, Rectangle source, Borders borders, Rectangle d,
               Color tint) {
    const Region* found = Lookup(texture);
    if (!found || !(found->width > 0) || !(found->height > 0) || !(source.width > 0) ||
        !(source.height > 0) || !(d.width > 0) || !(d.height > 0))
        return;
    const Bands across = Split(source.x, source.width, borders.left, borders.right, d.x, d.width);
    const Bands down = Split(source.y, source.height, borders.top, borders.bottom, d.y, d.height);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            const float x0 = across.dest[col], x1 = across.dest[col + 1];
            const float y0 = down.dest[row], y1 = down.dest[row + 1];
            if (!(x1 > x0) || !(y1 > y0))
                continue;
            const Region r = Part(*found, across.source[col], down.source[row],
                                  across.source[col + 1], down.source[row + 1]);
            Quad(r.id, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, r, tint);
        }
}

void BeginWorld() {
    if (!g.world || g.camera) {
        Flush();
        g.world = true;
        g.camera.reset();
        g.place.reset();
    }
}

void BeginWorld(const Camera& camera) {
    // Copied: a camera changed or gone before the batch is sent must not move
    // what was drawn through it.
    Flush();
    g.world = true;
    g.camera = camera;
    g.place.reset();
}

void BeginWorld(const Camera& camera, Rectangle place) {
    Flush();
    g.world = true;
    g.camera = camera;
    g.camera->w = place.width;
    g.camera->h = place.height;
    g.place = place;
}

void EndWorld() {
    if (g.world) {
        Flush();
        g.world = false;
        g.place.reset();
    }
}

void Flush() {
    if (g.count == 0)
        return;
    const auto quads = static_cast<GLsizei>(g.count / 4);
    g.count = 0;
    const bool edged = std::exchange(g.edged, false);
    if (!GLContextCurrent()) {
        g.runs.clear();
        return;
    }
    // Put back afterwards: the renderer systems bind their texture before they
    // draw, and their program holds their uniforms.
    GLint program = 0, texture = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    MakeObjects();

    // A program of the program's own reads its texels as it likes. The
    // engine's other one is made for the first batch that needs it.
    const bool kept = edged && &BatchProgram() == g.program.get();
    if (kept && !g.keptProgram) {
        g.keptProgram = CreateRef<Shader>(KEPT_SOURCES, "engine kept shader");
        PlaceAsGiven(*g.keptProgram);
    }
    Shader& drawn = kept ? *g.keptProgram : BatchProgram();
    drawn.Bind();
    drawn.SetUniformMat4("u_ViewProjection", Projection());
    GLCall(glBindBuffer(GL_ARRAY_BUFFER, g.vbo));
    GLCall(glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(quads) * 4 * sizeof(Vertex),
                        g.vertices.get(), GL_STREAM_DRAW));
    const auto stride = static_cast<GLsizei>(sizeof(Vertex));
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, u)));
    glEnableVertexAttribArray(COLOR);
    glVertexAttribPointer(COLOR, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, color)));
    if (kept) {
        GLCall(glBindBuffer(GL_ARRAY_BUFFER, g.edgesVbo));
        GLCall(glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(quads) * 4 * sizeof(Edges),
                            g.edges.get(), GL_STREAM_DRAW));
        glEnableVertexAttribArray(EDGES);
        glVertexAttribPointer(EDGES, 4, GL_UNSIGNED_SHORT, GL_TRUE, sizeof(Edges), nullptr);
    }
    GLCall(glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.ibo));
    glEnable(GL_BLEND);
    ApplyBlend();
    const std::vector<Run>& runs = g.runs;
    for (size_t i = 0; i < runs.size(); ++i) {
        const size_t first = runs[i].first;
        const size_t end = i + 1 < runs.size() ? runs[i + 1].first : size_t(quads);
        GLCall(glBindTextureUnit(0, runs[i].texture));
        GLCall(glDrawElements(GL_TRIANGLES, static_cast<GLsizei>((end - first) * 6),
                              GL_UNSIGNED_SHORT,
                              reinterpret_cast<const void*>(first * 6 * sizeof(uint16_t))));
        ++g.frame.drawCalls;
    }
    g.frame.quads += static_cast<uint64_t>(quads);

    glDisableVertexAttribArray(COLOR);
    glDisableVertexAttribArray(EDGES);
    GLRenderer::BindSharedQuad();
    glUseProgram(static_cast<GLuint>(program));
    glBindTextureUnit(0, static_cast<GLuint>(texture));
    // The textures are let go of only now that their draws are issued.
    g.runs.clear();
}

bool BeginTarget(const Ref<RenderTarget>& target) {
    if (!target || !target->Ready()) {
        Log::Warn("DRAW", "Cannot draw into %s: later draws go where they went before",
                  !target                    ? "no target"
                  : target->GetFramebuffer() ? "a target whose OpenGL context is not current"
                                             : "a target that was never made");
        return false;
    }
    Flush();
    OpenTarget open{target, 0, {}, g.world, g.camera, g.place};
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &open.framebuffer);
    glGetIntegerv(GL_VIEWPORT, open.viewport);
    GLCall(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target->GetFramebuffer()));
    GLCall(glViewport(0, 0, static_cast<GLsizei>(target->getWidth()),
                      static_cast<GLsizei>(target->getHeight())));
    g.targets.push_back(std::move(open));
    g.world = false;
    g.place.reset();
    ApplyScissor();
    return true;
}

bool BeginTarget(const Ref<RenderTarget>& target, Color color) {
    if (!BeginTarget(target))
        return false;
    const GLfloat rgba[4] = {color.r / 255.0f, color.g / 255.0f, color.b / 255.0f,
                             color.a / 255.0f};
    GLCall(glClearNamedFramebufferfv(target->GetFramebuffer(), GL_COLOR, 0, rgba));
    return true;
}

void EndTarget() {
    if (g.targets.empty()) {
        Log::Warn("DRAW", "EndTarget without a target open: nothing to end");
        return;
    }
    CloseTarget();
}

void EndFrame() {
    if (!g.targets.empty()) {
        Log::Warn("DRAW", "%zu target(s) still open at the end of the frame: ended there",
                  g.targets.size());
        while (!g.targets.empty())
            CloseTarget();
    }
    CloseModes();
    Flush();
    g.last = g.frame;
    g.frame = {};
    std::fill(std::begin(g.kept), std::end(g.kept), std::pair<uint32_t, bool>{});
    g.world = false;
    g.place.reset();
    g.cached.reset();
}

Stats GetStats() {
    return g.last;
}

} // namespace Draw

// ---------------------------------------------------------------------------
// Clipping, blend modes and a program's own shader for Draw's batches.

namespace {

struct Scissor {
    std::array<GLint, 4> box; // as glScissor takes it: x, y from the bottom, size
    size_t level;             // the targets open when it began: 0 is the window
};

struct OpenShader {
    Ref<Shader> shader;
    GLint previous = 0; // the program current at its BeginShader
};

struct Modes {
    std::vector<Scissor> scissors; // the innermost last
    bool scissorOn = false;        // as left in GL
    std::vector<Draw::Blend> blends;
    std::vector<OpenShader> shaders;
};

Modes m;

// The box that clips the window or target drawn into now, if any.
std::optional<std::array<GLint, 4>> ScissorBox(std::span<const Scissor> scissors) {
    if (scissors.empty() || scissors.back().level != g.targets.size())
        return std::nullopt;
    return scissors.back().box;
}

void ApplyScissor() {
    const auto box = ScissorBox(m.scissors);
    if ((!box && !m.scissorOn) || !GLContextCurrent())
        return;
    m.scissorOn = box.has_value();
    if (!box) {
        glDisable(GL_SCISSOR_TEST);
        return;
    }
    glEnable(GL_SCISSOR_TEST);
    GLCall(glScissor((*box)[0], (*box)[1], (*box)[2], (*box)[3]));
}

// Scissors begun inside the target being ended end with it.
void EndTargetScissors() {
    size_t open = 0;
    while (!m.scissors.empty() && m.scissors.back().level == g.targets.size()) {
        m.scissors.pop_back();
        ++open;
    }
    if (open)
        Log::Warn("DRAW", "%zu scissor(s) still open at EndTarget: ended there", open);
}

// The colour's factors, then the alpha's. Alpha adds up as coverage, so that
// a target drawn into keeps what it shows as see-through as it was drawn.
constexpr GLenum BLEND_FACTORS[][4] = {
    {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA}, // Alpha
    {GL_SRC_ALPHA, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA},                 // Additive
    {GL_DST_COLOR, GL_ZERO, GL_ZERO, GL_ONE},                               // Multiply
    {GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA},       // Premultiplied
};

Draw::Blend CurrentBlend() {
    return m.blends.empty() ? Draw::Blend::Alpha : m.blends.back();
}

void ApplyBlend() {
    const GLenum* f = BLEND_FACTORS[static_cast<size_t>(CurrentBlend())];
    glBlendFuncSeparate(f[0], f[1], f[2], f[3]);
}

// From blend mode before to the current one, drawing what was batched in
// the old one first.
void BlendChanged(Draw::Blend before) {
    if (before == CurrentBlend() || !GLContextCurrent())
        return;
    glEnable(GL_BLEND);
    ApplyBlend();
}

Shader& BatchProgram() {
    return m.shaders.empty() ? *g.program : *m.shaders.back().shader;
}

// Whether the current GL program is one of the shaders open from from on.
bool ShaderCurrent(size_t from) {
    if (from >= m.shaders.size() || !GLContextCurrent())
        return false;
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    return std::any_of(m.shaders.begin() + static_cast<ptrdiff_t>(from), m.shaders.end(),
                       [&](const OpenShader& open) {
                           return open.shader->GetID() == static_cast<GLuint>(current);
                       });
}

// BeginShader left the program's shader current for its uniforms; a quad of
// the renderer systems wants theirs.
void RendererProgramBack() {
    if (ShaderCurrent(0))
        glUseProgram(static_cast<GLuint>(m.shaders.front().previous));
}

// The renderer systems set the plain alpha blend as they begin; a blend mode
// open is theirs too.
void RendererBlend() {
    if (!m.blends.empty())
        ApplyBlend();
}

// Ends the shaders from keep on. The program current before them comes back
// only in place of one of them: one bound meanwhile (a renderer system's, at
// its RenderInit) is what the draws after expect, while Draw's own batches
// bind their program anyway.
void EndShaders(size_t keep) {
    Draw::Flush();
    const GLint previous = m.shaders[keep].previous;
    const bool ours = ShaderCurrent(keep);
    m.shaders.resize(keep);
    if (ours)
        glUseProgram(static_cast<GLuint>(previous));
}

// At the frame's end, so that the next frame and the renderer systems start
// from none of them.
void CloseModes() {
    if (!m.scissors.empty()) {
        Log::Warn("DRAW", "%zu scissor(s) still open at the end of the frame: ended there",
                  m.scissors.size());
        Draw::Flush();
        m.scissors.clear();
        ApplyScissor();
    }
    if (!m.blends.empty()) {
        Log::Warn("DRAW", "%zu blend mode(s) still open at the end of the frame: ended there",
                  m.blends.size());
        const Draw::Blend before = CurrentBlend();
        Draw::Flush();
        m.blends.clear();
        BlendChanged(before);
    }
    if (!m.shaders.empty()) {
        Log::Warn("DRAW", "%zu shader(s) still open at the end of the frame: ended there",
                  m.shaders.size());
        EndShaders(0);
    }
}

// With the context about to go: nothing is drawn any more.
void DropModes() {
    m.scissors.clear();
    if (m.scissorOn && GLContextCurrent())
        glDisable(GL_SCISSOR_TEST);
    m.scissorOn = false;
    m.blends.clear();
    m.shaders.clear();
}

// v rounded to a whole pixel within lo to hi (NaN to lo).
GLint Within(double v, GLint lo, GLint hi) {
    if (!(v > lo))
        return lo;
    if (!(v < hi))
        return hi;
    return static_cast<GLint>(std::lround(v));
}

} // namespace

namespace Draw {

void BeginScissor(Rectangle r) {
    GLint vp[4] = {0, 0, 0, 0};
    if (GLContextCurrent())
        glGetIntegerv(GL_VIEWPORT, vp);
    const glm::vec2 size = PixelSize(vp);
    // Draw's pixels run down from the viewport's top, GL's up from its bottom;
    // a view may be scaled to the window.
    const double sx = size.x > 0 ? vp[2] / double(size.x) : 0;
    const double sy = size.y > 0 ? vp[3] / double(size.y) : 0;
    const auto outer = ScissorBox(m.scissors);
    const std::array<GLint, 4> bounds =
        outer.value_or(std::array<GLint, 4>{vp[0], vp[1], vp[2], vp[3]});
    const GLint right = bounds[0] + bounds[2], top = bounds[1] + bounds[3];
    const double viewTop = double(vp[1]) + vp[3];
    const GLint x0 = Within(vp[0] + r.x * sx, bounds[0], right);
    const GLint x1 = Within(vp[0] + (double(r.x) + r.width) * sx, x0, right);
    const GLint y0 = Within(viewTop - (double(r.y) + r.height) * sy, bounds[1], top);
    const GLint y1 = Within(viewTop - r.y * sy, y0, top);
    const std::array<GLint, 4> box{x0, y0, x1 - x0, y1 - y0};
    if (box != outer)
        Flush();
    m.scissors.push_back({box, g.targets.size()});
    ApplyScissor();
}

void EndScissor() {
    const auto box = ScissorBox(m.scissors);
    if (!box) {
        Log::Warn("DRAW", "EndScissor without a scissor open: nothing to end");
        return;
    }
    if (ScissorBox(std::span(m.scissors).first(m.scissors.size() - 1)) != box)
        Flush();
    m.scissors.pop_back();
    ApplyScissor();
}

void BeginBlend(Blend mode) {
    const Blend before = CurrentBlend();
    if (mode != before)
        Flush();
    m.blends.push_back(mode);
    BlendChanged(before);
}

void EndBlend() {
    if (m.blends.empty()) {
        Log::Warn("DRAW", "EndBlend without a blend mode open: nothing to end");
        return;
    }
    const Blend before = CurrentBlend();
    if ((m.blends.size() < 2 ? Blend::Alpha : m.blends[m.blends.size() - 2]) != before)
        Flush();
    m.blends.pop_back();
    BlendChanged(before);
}

bool BeginShader(const Ref<Shader>& shader) {
    if (!shader || shader->GetID() == 0 || !GLContextCurrent()) {
        Log::Warn("DRAW", "Cannot draw through %s: later draws go through the shader before",
                  !shader ? "no shader" : "a shader without a program or OpenGL context");
        return false;
    }
    // Always a batch break, even for the same shader: the uniforms set next
    // must not reach the draws before.
    Flush();
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    m.shaders.push_back({shader, previous});
    shader->Bind();
    return true;
}

void EndShader() {
    if (m.shaders.empty()) {
        Log::Warn("DRAW", "EndShader without a shader open: nothing to end");
        return;
    }
    EndShaders(m.shaders.size() - 1);
}

Ref<Shader> MakeShader(const std::string& fragmentSource) {
    Ref<Shader> shader = Shader::Create({DefaultShaderSources().vertex, fragmentSource},
                                        "Draw's shader of a fragment stage");
    if (!shader)
        return nullptr;
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    shader->Bind();
    PlaceAsGiven(*shader);
    glUseProgram(static_cast<GLuint>(current));
    return shader;
}

} // namespace Draw
} // namespace Engine

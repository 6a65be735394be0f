// A map's layers drawn as Tiled draws them, through Draw in world units.

#include <engine/tiled/TiledTileMap.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <glm/glm.hpp>

#include <engine/core/Log.h>
#include <engine/ecs/ECS.h>
#include <engine/render/Camera.h>
#include <engine/text/Font.h>

#include "tiled/Reader.h"
#include "tiled/SheetCheck.h"

namespace Engine::Tiled {

namespace {

// What the camera shows, in world units, a pixel more on each side: the
// renderer puts the view on whole pixels.
struct View {
    double left, top, right, bottom;
    glm::dvec2 centre;
    // A camera of no size shows nothing.
    bool Shows() const { return std::isfinite(left + top + right + bottom + centre.x + centre.y); }
};

View CameraView() {
    const Camera& camera = Camera::Main();
    const glm::mat4 toWorld = glm::inverse(camera.GetProjection() * camera.GetView());
    constexpr double inf = std::numeric_limits<double>::infinity();
    View view{inf, inf, -inf, -inf, {}};
    for (const glm::vec2 corner :
         {glm::vec2(-1, -1), glm::vec2(1, -1), glm::vec2(1, 1), glm::vec2(-1, 1)}) {
        const glm::vec4 p = toWorld * glm::vec4(corner, 0.0f, 1.0f);
        view.left = std::min(view.left, double(p.x / p.w) - 1.0);
        view.right = std::max(view.right, double(p.x / p.w) + 1.0);
        view.top = std::min(view.top, double(p.y / p.w) - 1.0);
        view.bottom = std::max(view.bottom, double(p.y / p.w) + 1.0);
    }
    const glm::vec4 centre = toWorld * glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    view.centre = glm::dvec2(centre.x / centre.w, centre.y / centre.w);
    return view;
}

Color FromArgb(uint32_t argb) {
    return {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)};
}

// What Draw multiplies a layer's pixels by: its tint, alpha and all, and its
// opacity. An opaque image layer Tiled darkens by its tint's alpha rather
// than clears. (Tiled also lightens the see-through pixels of a tinted layer
// somewhat, and applies a see-through tint to tiles in ways that depend on
// the picture's format; here every pixel is simply multiplied.)
Color TintOf(const LayerLook& look, bool opaqueImage = false) {
    const double alpha = double(look.tint >> 24) / 255.0;
    const double opacity = std::clamp(look.opacity, 0.0, 1.0);
    const double darken = opaqueImage ? alpha : 1.0;
    auto part = [](double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 255.0))); };
    return {part(double((look.tint >> 16) & 0xFF) * darken),
            part(double((look.tint >> 8) & 0xFF) * darken), part(double(look.tint & 0xFF) * darken),
            part(255.0 * opacity * (opaqueImage ? 1.0 : alpha))};
}

// Where a layer is moved to: its offset, and its parallax against the view,
// the latter on whole pixels so that its tiles stay sharp as the camera eases.
glm::dvec2 ShiftOf(const Map& map, const LayerLook& look, const View& view) {
    return {
        look.offsetX + std::round((1.0 - look.parallaxX) * (view.centre.x - map.parallaxOriginX)),
        look.offsetY + std::round((1.0 - look.parallaxY) * (view.centre.y - map.parallaxOriginY))};
}

// A tile as it is drawn: the texture and the part of it.
struct Tile {
    const Ref<Texture>* texture = nullptr;
    Rectangle source;
};

// What a tile of tile set `index` shows `seconds` into its animation; false
// when it has no picture to show.
bool Look(const Map& map, const MapTextures& textures, size_t index, int localId, double seconds,
          Tile& tile) {
    const Tileset& ts = map.tilesets[index];
    const int id = ts.FrameAt(localId, seconds);
    if (ts.collection) {
        const TileInfo* info = ts.FindTile(id);
        tile.texture = textures.Tile(index, id);
        if (!info || !tile.texture)
            return false;
        const float w = (*tile.texture)->getWidth(), h = (*tile.texture)->getHeight();
        tile.source =
            info->width > 0 && info->height > 0
                ? Rectangle{float(info->x), float(info->y), float(info->width), float(info->height)}
                : Rectangle{0, 0, w, h};
        return true;
    }
    if (index >= textures.sheets.size() || !textures.sheets[index])
        return false;
    tile.texture = &textures.sheets[index];
    const Texture& sheet = **tile.texture;
    const SheetSpan span = SpanOf(ts, int(sheet.getWidth()), int(sheet.getHeight()));
    if (id < 0 || id >= span.tiles)
        return false;
    const long long column = id % span.columns, row = id / span.columns;
    tile.source = {float(ts.margin + column * (ts.tileWidth + ts.spacing)),
                   float(ts.margin + row * (ts.tileHeight + ts.spacing)), float(ts.tileWidth),
                   float(ts.tileHeight)};
    return true;
}

Draw::Flip FlipOf(bool horizontal, bool vertical) {
    return static_cast<Draw::Flip>((horizontal ? 1 : 0) | (vertical ? 2 : 0));
}

// How a tile of `tile` pixels fills a box of `box` pixels (a resized tile
// object, or a cell of a tile set drawn at the grid's size): stretched over
// it, or scaled alike both ways to fit and kept in its middle, as its tile
// set asks. A transposed tile fills the box transposed.
struct Fit {
    glm::dvec2 box;   // the size it is drawn at, transposed with the tile
    glm::dvec2 inset; // its bottom-left corner from the box's, y up
    glm::dvec2 scale; // of its tile offset
};

Fit FitOf(const Tileset& ts, glm::dvec2 tile, glm::dvec2 box, bool transposed) {
    Fit fit{box, glm::dvec2(0.0), box / tile};
    if (ts.fillMode == "preserve-aspect-fit") {
        fit.scale = glm::dvec2(std::min(fit.scale.x, fit.scale.y));
        fit.box = tile * fit.scale;
    }
    if (transposed) {
        box = glm::dvec2(box.y, box.x);
        fit.box = glm::dvec2(fit.box.y, fit.box.x);
    }
    fit.inset = glm::dvec2(box.x - fit.box.x, fit.box.y - box.y) / 2.0;
    return fit;
}

// A tile placed as Tiled places a cell: the box it fills (its size, already
// transposed for a diagonal flip) has its bottom-left corner at `corner`, a
// point of a frame with its origin at `pivot`, turned by `rotation` degrees.
struct Placed {
    Tile tile;
    glm::dvec2 pivot{0.0}, corner{0.0}, box{0.0};
    double rotation = 0.0;
    bool h = false, v = false, d = false;
};

// The tile gid shows `seconds` in, its picture and flips put into p; its tile
// set, or null when there is nothing to draw.
const Tileset* TileFor(const Map& map, const MapTextures& textures, uint32_t gid, double seconds,
                       Placed& p) {
    const std::optional<TileRef> ref = map.Resolve(gid);
    if (!ref || !Look(map, textures, ref->tileset, ref->localId, seconds, p.tile) ||
        !(p.tile.source.width > 0) || !(p.tile.source.height > 0))
        return nullptr;
    p.h = ref->flipH, p.v = ref->flipV, p.d = ref->flipD;
    return &map.tilesets[ref->tileset];
}

void DrawPlaced(Placed p, Color tint) {
    const glm::dvec2 topLeft = p.corner - glm::dvec2(0.0, p.box.y);
    // A picture drawn pixel for pixel is put on whole pixels, as Tiled puts
    // it: between them it would be sampled across its texels. Halfway, Tiled
    // shows its texels moved right and down, but left or up along an axis it
    // is mirrored on (a transposed picture's flips mirror the other axes).
    const glm::dvec2 size = p.d ? glm::dvec2(p.box.y, p.box.x) : p.box;
    if (p.rotation == 0.0 && size == glm::dvec2(p.tile.source.width, p.tile.source.height)) {
        const glm::dvec2 at = p.pivot + topLeft;
        auto snap = [](double v, bool mirrored) {
            return mirrored ? std::ceil(v - 0.5) : std::floor(v + 0.5);
        };
        p.pivot += glm::dvec2(snap(at.x, p.d ? p.v : p.h), snap(at.y, p.d ? p.h : p.v)) - at;
    }
    const Rectangle dest{float(p.pivot.x), float(p.pivot.y), 0, 0};
    if (!p.d) {
        Draw::Sprite(*p.tile.texture, p.tile.source,
                     {dest.x, dest.y, float(p.box.x), float(p.box.y)}, glm::vec2(-topLeft),
                     float(p.rotation), tint, FlipOf(p.h, p.v));
        return;
    }
    // A transpose is a quarter turn clockwise of the picture flipped top to
    // bottom; a flip of the turned picture is the other flip before the turn.
    const double before = p.box.y, across = p.box.x; // its width and height before the turn
    Draw::Sprite(*p.tile.texture, p.tile.source, {dest.x, dest.y, float(before), float(across)},
                 glm::vec2(float(-topLeft.y), float(across + topLeft.x)), float(p.rotation + 90.0),
                 tint, FlipOf(p.v, !p.h));
}

// The box of p on the world's axes, for culling.
bool Meets(const Placed& p, const View& view) {
    const glm::dvec2 topLeft = p.corner - glm::dvec2(0.0, p.box.y);
    const double radians = p.rotation * 3.14159265358979323846 / 180.0;
    const double c = std::cos(radians), s = std::sin(radians);
    double x0 = std::numeric_limits<double>::infinity(), x1 = -x0, y0 = x0, y1 = -x0;
    for (const glm::dvec2 q : {topLeft, topLeft + glm::dvec2(p.box.x, 0.0), topLeft + p.box,
                               topLeft + glm::dvec2(0.0, p.box.y)}) {
        const double x = p.pivot.x + q.x * c - q.y * s, y = p.pivot.y + q.x * s + q.y * c;
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    return x1 > view.left && x0 < view.right && y1 > view.top && y0 < view.bottom;
}

void DrawTiles(const Map& map, const MapTextures& textures, const TileLayer& layer,
               const View& view, double seconds) {
    const Color tint = TintOf(layer.look);
    const int cw = map.tileWidth, ch = map.tileHeight;
    if (tint.a == 0 || cw <= 0 || ch <= 0 || layer.width <= 0 || layer.height <= 0)
        return;
    const glm::dvec2 shift = ShiftOf(map, layer.look, view);
    // How far a tile may reach out of its cell, whichever way it is turned.
    double reach = 0.0;
    for (const Tileset& ts : map.tilesets) {
        if (!ts.used || ts.tileWidth <= 0 || ts.tileHeight <= 0)
            continue;
        // Tiles at the grid's size are scaled, their offsets with them.
        const glm::dvec2 tile(ts.tileWidth, ts.tileHeight);
        const glm::dvec2 scale =
            ts.tileRenderSize == "grid" ? glm::dvec2(cw, ch) / tile : glm::dvec2(1.0);
        reach =
            std::max(reach, std::max(tile.x * scale.x, tile.y * scale.y) +
                                std::abs(ts.offsetX) * scale.x + std::abs(ts.offsetY) * scale.y);
    }
    // The tile in cell (x, y), bottom-aligned on its box.
    const bool hexagonal = map.orientation == "hexagonal";
    auto place = [&](long long x, long long y) {
        const uint32_t gid = layer.At(int(x), int(y));
        if (!(gid & GID_MASK))
            return;
        Placed p;
        const Tileset* set = TileFor(map, textures, gid, seconds, p);
        if (!set)
            return;
        const Tileset& ts = *set;
        // On hexagonal cells Tiled turns a tile by 60 degrees for the
        // diagonal flag, 120 more for its own, about its middle.
        const double turn =
            hexagonal ? 60.0 * p.d + 120.0 * ((gid & ROTATED_HEXAGONAL_120) != 0) : 0.0;
        if (hexagonal)
            p.d = false;
        const glm::dvec2 size(p.tile.source.width, p.tile.source.height);
        // At the grid's size a cell is filled as a tile object its size is.
        const Fit fit =
            FitOf(ts, size, ts.tileRenderSize == "grid" ? glm::dvec2(cw, ch) : size, p.d);
        const PixelBox box = map.CellBox(int(x), int(y));
        p.pivot = glm::dvec2(box.x, box.y + box.height) + shift +
                  glm::dvec2(ts.offsetX, ts.offsetY) * fit.scale;
        p.corner = fit.inset;
        p.box = fit.box;
        if (turn != 0.0) {
            const glm::dvec2 half(p.box.x / 2, -p.box.y / 2);
            p.pivot += p.corner + half;
            p.corner = -half;
            p.rotation = turn;
        }
        DrawPlaced(p, tint);
    };
    // The cells whose tiles may meet the view: those within reach of it,
    // cell steps apart along each axis (0 for cells of no size: all of them).
    const double left = view.left - shift.x - reach, right = view.right - shift.x + reach;
    const double top = view.top - shift.y - reach, bottom = view.bottom - shift.y + reach;
    auto range = [](double from, double to, double step, int count) {
        if (!(step > 0))
            return std::pair(0LL, (long long)count - 1);
        auto cell = [&](double at) {
            return std::clamp(std::floor(at / step), -1.0, double(count));
        };
        return std::pair((long long)std::max(0.0, cell(from) - 1),
                         (long long)std::min(double(count - 1), cell(to) + 1));
    };
    if (map.orientation == "isometric") {
        // Diamonds: column - row runs across the view, column + row down it.
        const double hw = cw / 2.0, hh = ch / 2.0, across = double(map.height) * cw / 2;
        const double lu = std::floor((left - across) / hw) - 1,
                     hu = std::ceil((right - across) / hw) + 1;
        const double lv = std::max(0.0, std::floor(top / hh) - 2);
        const double hv =
            std::min(double(layer.width) + layer.height - 2, std::ceil(bottom / hh) + 1);
        // Row by row of the screen, each left to right, as Tiled draws them.
        for (double sum = lv; sum <= hv; ++sum) {
            // column - row = 2 * column - sum lies within [lu, hu]; a view
            // moved past any number (offsets, parallax) meets no column.
            auto within = [](double v, double low, double high) {
                return v >= low ? std::min(v, high) : low; // not a number: low
            };
            const double c0 = std::max(sum - (layer.height - 1),
                                       within(std::floor((sum + lu) / 2), 0.0, layer.width));
            const double c1 =
                std::min(sum, within(std::ceil((sum + hu) / 2), -1.0, layer.width - 1.0));
            for (long long x = (long long)c0; x <= (long long)c1; ++x)
                place(x, (long long)sum - x);
        }
        return;
    }
    if (map.orientation == "staggered" || hexagonal) {
        const Detail::HexGrid g = Detail::HexGridOf(map);
        const auto [x0, x1] = range(left - g.stepX, right, g.stepX, layer.width);
        const auto [y0, y1] = range(top - g.stepY, bottom, g.stepY, layer.height);
        // Top to bottom on the screen: across a staggered x axis, a row's
        // upper cells before its shifted ones.
        for (long long y = y0; y <= y1; ++y) {
            if (!g.staggerX) {
                for (long long x = x0; x <= x1; ++x)
                    place(x, y);
                continue;
            }
            for (const bool lower : {false, true})
                for (long long x = x0; x <= x1; ++x)
                    if (g.Shifted(x) == lower)
                        place(x, y);
        }
        return;
    }
    const auto [x0, x1] = range(left, right, cw, layer.width);
    const auto [y0, y1] = range(top, bottom, ch, layer.height);
    // Where large tiles overlap, the render order says which is in front.
    const bool up = map.renderOrder.ends_with("-up"),
               leftward = map.renderOrder.starts_with("left");
    for (long long r = 0; r <= y1 - y0; ++r)
        for (long long c = 0; c <= x1 - x0; ++c)
            place(leftward ? x1 - c : x0 + c, up ? y1 - r : y0 + r);
}

// A visible text object; a tile object shows its tile instead.
bool ShownText(const Object& object) {
    return object.visible && object.shape == "text" && !(object.gid & GID_MASK);
}

// A name from a map as a warning shows it: cut short (whole characters kept),
// and Printable.
std::string Shortened(std::string name) {
    constexpr size_t LONGEST = 64;
    if (name.size() > LONGEST) {
        size_t cut = LONGEST;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name = name.substr(0, cut) + "...";
    }
    return Printable(std::move(name));
}

// A line of a text object, and whether wrapping ended it rather than a new
// line or the text's end.
struct TextLine {
    std::string text;
    bool wrapped = false;
};

// The lines of text broken, as Tiled wraps it, before each word that would
// pass width (a word wider than that stands on a line of its own). The
// spaces where a line is broken hang past its end, out of its width, as in
// Tiled: a right-aligned or justified line ends at the box's edge.
std::vector<TextLine> Wrapped(const std::string& text, const Font& font, float size,
                              const Draw::TextStyle& style, double width) {
    std::vector<TextLine> out;
    std::string line;
    for (size_t at = 0;;) {
        const size_t end = std::min(text.find_first_of(" \n", at), text.size());
        const std::string word = text.substr(at, end - at);
        const std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && Draw::MeasureText(font, longer, size, style) > width) {
            line.erase(line.find_last_not_of(' ') + 1);
            out.push_back({line, true});
            line = word;
        } else {
            line = longer;
        }
        if (end == text.size()) {
            out.push_back({line, false});
            return out;
        }
        if (text[end] == '\n') {
            out.push_back({line, false});
            line.clear();
        }
        at = end + 1;
    }
}

// A text object in its font (the engine's own for sans-serif, or where none
// was loaded), in its colour times the layer's tint, aligned in its box with
// its top-left at `at`, turned about that corner; bold and italic made from
// the face where it is not so itself. A justified line that wrapping ended
// fills the box's width by its spaces, or between its characters where it
// has none, as Tiled lays it out; the others stand left.
void DrawTextObject(const MapTextures& textures, const Object& object, glm::dvec2 at, Color tint) {
    const ObjectText& t = object.text;
    const auto own = textures.fonts.find({t.fontFamily, t.bold, t.italic});
    const MapTextures::TextFont* face =
        own != textures.fonts.end() && own->second.font ? &own->second : nullptr;
    const Font& font = face ? *face->font : Font::Default();
    const float size = float(t.pixelSize);
    if (t.text.empty() || !font.Loaded() || !(size > 0))
        return;
    const Color asked = FromArgb(t.color);
    auto times = [](uint8_t a, uint8_t b) { return uint8_t((a * b + 127) / 255); };
    const Color color{times(asked.r, tint.r), times(asked.g, tint.g), times(asked.b, tint.b),
                      times(asked.a, tint.a)};
    Draw::TextStyle style;
    style.rotation = float(object.rotation);
    style.bold = t.bold && !(face && face->bold);
    style.italic = t.italic && !(face && face->italic);
    style.underline = t.underline;
    style.strikeout = t.strikeout;
    const std::vector<TextLine> lines = Wrapped(
        t.text, font, size, style,
        t.wrap && object.width > 0 ? object.width : std::numeric_limits<double>::infinity());
    const double lineHeight = double(font.lineHeight) * size / font.pixelSize;
    const double height = double(lines.size()) * lineHeight;
    const glm::dvec2 box = at;
    const double top = t.vAlign == "center"   ? box.y + (object.height - height) / 2
                       : t.vAlign == "bottom" ? box.y + object.height - height
                                              : box.y;
    const Draw::Align align = t.hAlign == "center"  ? Draw::Align::Center
                              : t.hAlign == "right" ? Draw::Align::Right
                                                    : Draw::Align::Left;
    const double x = align == Draw::Align::Center  ? box.x + object.width / 2
                     : align == Draw::Align::Right ? box.x + object.width
                                                   : box.x;
    auto draw = [&](const std::string& text, double lineTop, float wordSpacing,
                    float letterSpacing) {
        Draw::TextStyle spaced = style;
        spaced.wordSpacing = wordSpacing;
        spaced.letterSpacing = letterSpacing;
        const glm::vec2 from{float(x), float(lineTop)};
        if (style.rotation == 0.0f) {
            Draw::Text(font, text, from, size, color, spaced, align);
            return;
        }
        // Placed from the box's corner, which it turns about.
        const glm::vec2 corner(box);
        spaced.origin = corner - from;
        Draw::Text(font, text, corner, size, color, spaced, align);
    };
    if (t.hAlign != "justify") {
        std::string text;
        for (size_t k = 0; k < lines.size(); ++k)
            text += (k ? "\n" : "") + lines[k].text;
        draw(text, top, 0.0f, 0.0f);
        return;
    }
    for (size_t k = 0; k < lines.size(); ++k) {
        const std::string& line = lines[k].text;
        const auto spaces = std::count(line.begin(), line.end(), ' ');
        // The gaps between its characters, each found by the byte it begins with.
        const auto gaps =
            std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }) - 1;
        const float room = float(object.width) - Draw::MeasureText(font, line, size, style);
        const bool stretched = lines[k].wrapped && room > 0;
        draw(line, top + double(k) * lineHeight,
             stretched && spaces > 0 ? room / float(spaces) : 0.0f,
             stretched && spaces == 0 && gaps > 0 ? room / float(gaps) : 0.0f);
    }
}

void DrawObjects(const Map& map, const MapTextures& textures, const ObjectGroup& group,
                 const View& view, double seconds) {
    const Color tint = TintOf(group.look);
    if (tint.a == 0)
        return;
    const glm::dvec2 shift = ShiftOf(map, group.look, view);
    auto onScreen = [&](const Object& object) {
        const ObjectPoint at = map.DrawnAt(object.x, object.y);
        return glm::dvec2(at.x, at.y) + shift;
    };
    // A tile, or the text object named.
    struct Shown {
        double y;
        Placed tile;
        const Object* text = nullptr;
        glm::dvec2 at{0.0};
    };
    std::vector<Shown> shown;
    for (const Object& object : group.objects) {
        if (ShownText(object)) {
            shown.push_back({object.y, {}, &object, onScreen(object)});
            continue;
        }
        if (!object.visible || !(object.gid & GID_MASK))
            continue;
        Placed p;
        const Tileset* set = TileFor(map, textures, object.gid, seconds, p);
        if (!set)
            continue;
        const Tileset& ts = *set;
        const double tw = p.tile.source.width, th = p.tile.source.height;
        // The tile fills the object's size, its tile offset scaled with it;
        // Tiled transposes the object's own box, whatever its tile's shape.
        const Fit fit = FitOf(ts, glm::dvec2(tw, th), glm::dvec2(object.width, object.height), p.d);
        const ObjectPoint topLeft = map.TopLeft(object);
        p.pivot = onScreen(object);
        p.corner = glm::dvec2(topLeft.x - object.x, topLeft.y - object.y + object.height) +
                   fit.inset + glm::dvec2(ts.offsetX, ts.offsetY) * fit.scale;
        p.rotation = object.rotation;
        p.box = fit.box;
        if (Meets(p, view))
            shown.push_back({object.y, p});
    }
    // Lower objects in front; those on one line in the map's order.
    if (group.drawOrder != "index")
        std::stable_sort(shown.begin(), shown.end(),
                         [](const Shown& a, const Shown& b) { return a.y < b.y; });
    for (const Shown& s : shown) {
        if (s.text)
            DrawTextObject(textures, *s.text, s.at, tint);
        else
            DrawPlaced(s.tile, tint);
    }
}

void DrawImage(const Map& map, const MapTextures& textures, size_t index, const View& view) {
    const ImageLayer& layer = map.imageLayers[index];
    const Ref<Texture>* texture = textures.Layer(index);
    if (!texture)
        return;
    const size_t picture = *textures.layers[index];
    const bool opaque = picture < textures.opaque.size() && textures.opaque[picture];
    const Color tint = TintOf(layer.look, opaque);
    if (tint.a == 0)
        return;
    const double w = (*texture)->getWidth(), h = (*texture)->getHeight();
    if (!(w > 0) || !(h > 0))
        return;
    // On whole pixels, as DrawPlaced puts pictures drawn pixel for pixel.
    const glm::dvec2 at = glm::floor(ShiftOf(map, layer.look, view) + 0.5);
    // A repeated picture starts where a copy of it meets the view's edge, and
    // as many copies follow as cover the view; none of a layer moved past any
    // number (offsets add and parallax factors multiply through groups).
    auto span = [](bool repeat, double at, double size, double from, double to) {
        if (!repeat)
            return std::pair(at, at + size > from && at < to ? 1LL : 0LL);
        const double first = at + std::floor((from - at) / size) * size;
        const double copies = std::ceil((to - first) / size);
        return std::pair(first, copies > 0.0 ? (long long)std::min(copies, 1e6) : 0LL);
    };
    const auto [x0, columns] = span(layer.repeatX, at.x, w, view.left, view.right);
    const auto [y0, rows] = span(layer.repeatY, at.y, h, view.top, view.bottom);
    for (long long row = 0; row < rows; ++row)
        for (long long column = 0; column < columns; ++column)
            Draw::Sprite(*texture,
                         Rectangle{float(x0 + double(column) * w), float(y0 + double(row) * h),
                                   float(w), float(h)},
                         tint);
}

void Fill(Color color) {
    const View view = CameraView();
    if (!view.Shows())
        return;
    Draw::BeginWorld();
    Draw::Rect({float(view.left), float(view.top), float(view.right - view.left),
                float(view.bottom - view.top)},
               color);
    Draw::EndWorld();
}

bool Visible(const Map& map, LayerRef ref) {
    switch (ref.kind) {
    case LayerKind::Tile:
        return ref.index < map.layers.size() && map.layers[ref.index].visible;
    case LayerKind::Object:
        return ref.index < map.objectGroups.size() && map.objectGroups[ref.index].visible;
    case LayerKind::Image:
        return ref.index < map.imageLayers.size() && map.imageLayers[ref.index].visible;
    }
    return false;
}

} // namespace

void DrawBackground(const Map& map) {
    if (const std::optional<MapBackground> background = BackgroundOf(map))
        Fill(background->color);
}

void DrawLayer(const Map& map, const MapTextures& textures, LayerRef layer, double seconds) {
    const View view = CameraView();
    if (!Visible(map, layer) || !view.Shows())
        return;
    Draw::BeginWorld();
    switch (layer.kind) {
    case LayerKind::Tile:
        DrawTiles(map, textures, map.layers[layer.index], view, seconds);
        break;
    case LayerKind::Object:
        DrawObjects(map, textures, map.objectGroups[layer.index], view, seconds);
        break;
    case LayerKind::Image:
        DrawImage(map, textures, layer.index, view);
        break;
    }
    Draw::EndWorld();
}

void DrawTile(const Map& map, const MapTextures& textures, uint32_t gid, Rectangle dest, Color tint,
              double seconds) {
    Placed p;
    const Tileset* ts = TileFor(map, textures, gid, seconds, p);
    if (!ts)
        return;
    const glm::dvec2 tile(p.tile.source.width, p.tile.source.height);
    // FitOf transposes the box it is given with the tile: a transposed tile
    // is given dest turned, so as to fill dest itself.
    const glm::dvec2 box(dest.width, dest.height);
    const Fit fit = FitOf(*ts, tile, p.d ? glm::dvec2(box.y, box.x) : box, p.d);
    p.pivot = glm::dvec2(dest.x, dest.y);
    p.corner = glm::dvec2(0.0, box.y) + fit.inset;
    p.box = fit.box;
    DrawPlaced(p, tint);
}

void DrawMap(const Map& map, const MapTextures& textures, double seconds) {
    DrawBackground(map);
    for (const LayerRef layer : map.layerOrder)
        DrawLayer(map, textures, layer, seconds);
}

void DrawMapAt(const Map& map, const MapTextures& textures, glm::vec2 at, double seconds) {
    // Seen through the camera moved the other way, the map lies at `at`,
    // and parallax scrolls about the map's own origin there. Each layer
    // flushes what it drew before the camera is put back.
    Draw::Flush();
    Camera& camera = Camera::Main();
    struct Restore {
        Camera& camera;
        glm::vec3 position;
        ~Restore() {
            Draw::Flush();
            camera.transform.position = position;
        }
    } restore{camera, camera.transform.position};
    camera.transform.position -= glm::vec3(at, 0.0f);
    // Its background over its own cells only: the maps around it have theirs.
    if (const std::optional<MapBackground> background = BackgroundOf(map)) {
        const PixelBox box = map.Extent();
        Draw::BeginWorld();
        Draw::Rect({float(box.x), float(box.y), float(box.width), float(box.height)},
                   background->color);
        Draw::EndWorld();
    }
    for (const LayerRef layer : map.layerOrder)
        DrawLayer(map, textures, layer, seconds);
}

void WarnUndrawn(const Map&) {
    // Every feature is drawn now: the fonts found missing were warned of as
    // they were looked for (FindFonts).
}

std::vector<MapFont> FindFonts(const Map& map) {
    std::vector<MapFont> found;
    std::set<std::tuple<std::string, bool, bool>> asked;
    std::set<std::string> warned;
    bool capped = false;
    for (const ObjectGroup& group : map.objectGroups) {
        if (!group.visible)
            continue;
        for (const Object& object : group.objects) {
            const ObjectText& t = object.text;
            if (!ShownText(object) || t.fontFamily.empty() || t.fontFamily == "sans-serif" ||
                !asked.insert({t.fontFamily, t.bold, t.italic}).second)
                continue;
            const std::string where = "object layer " + Detail::Quoted(group.name);
            // Each look-up takes a while; a map of a thousand families must not stall.
            if (asked.size() > MAX_MAP_FONTS) {
                if (!std::exchange(capped, true))
                    Log::Warn("TILED",
                              "%s: text in more than %zu fonts (first past them on %s): "
                              "drawn in the engine's own",
                              map.path.c_str(), MAX_MAP_FONTS, where.c_str());
                continue;
            }
            const std::optional<SystemFont> face = MatchSystemFont(t.fontFamily, t.bold, t.italic);
            if ((!face || !face->ofFamily) && warned.insert(t.fontFamily).second)
                Log::Warn(
                    "TILED", "%s: no font of family %s on this system (first on %s): drawn in %s",
                    map.path.c_str(), Detail::Quoted(Shortened(t.fontFamily)).c_str(),
                    where.c_str(), face ? Shortened(face->family).c_str() : "the engine's own");
            if (face)
                found.push_back({t.fontFamily, t.bold, t.italic, *face});
        }
    }
    return found;
}

void MapLayerRenderer::Run(EntityID entity) {
    const Ref<MapLayer> layer = ECS::Get().GetComponent<MapLayer>(entity);
    if (layer && layer->map && layer->textures)
        DrawLayer(*layer->map, *layer->textures, layer->layer, Time::elapsed);
}

void MapBackgroundRenderer::Run(EntityID entity) {
    if (const Ref<MapBackground> background = ECS::Get().GetComponent<MapBackground>(entity))
        Fill(background->color);
}

void RegisterMapDrawing(ECS& ecs) {
    if (ecs.IsComponentRegistered<MapLayer>())
        return;
    ecs.RegisterComponent<MapLayer>();
    ecs.RegisterComponent<MapBackground>();
    ecs.RegisterSystem(CreateRef<MapBackgroundRenderer>());
    ecs.RegisterSystem(CreateRef<MapLayerRenderer>());
}

std::optional<MapBackground> BackgroundOf(const Map& map) {
    if (!map.backgroundColor)
        return std::nullopt;
    return MapBackground{FromArgb(*map.backgroundColor)};
}

std::vector<MapLayer> MakeLayers(const std::shared_ptr<const Map>& map,
                                 const std::shared_ptr<const MapTextures>& textures) {
    WarnUndrawn(*map);
    for (size_t i = 0; i < map->tilesets.size() && i < textures->sheets.size(); ++i)
        if (textures->sheets[i])
            CheckSheet(*map, map->tilesets[i], *textures->sheets[i]);
    std::vector<MapLayer> layers;
    for (const LayerRef ref : map->layerOrder)
        if (Visible(*map, ref))
            layers.push_back({map, textures, ref});
    return layers;
}

std::vector<EntityID> CreateLayerEntities(const std::shared_ptr<const Map>& map,
                                          const std::shared_ptr<const MapTextures>& textures) {
    ECS& ecs = ECS::Get();
    RegisterMapDrawing(ecs);
    std::vector<EntityID> entities;
    if (const std::optional<MapBackground> background = BackgroundOf(*map)) {
        entities.push_back(ecs.CreateEntity());
        ecs.AddComponent<MapBackground>(entities.back(), *background);
    }
    for (MapLayer& layer : MakeLayers(map, textures)) {
        entities.push_back(ecs.CreateEntity());
        ecs.AddComponent<MapLayer>(entities.back(), std::move(layer));
    }
    return entities;
}

} // namespace Engine::Tiled

#include <engine/physics/CellGrid.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace Engine {

namespace {

// Cell numbers are whole doubles, so that a float coordinate of any size
// has one; past 2^53 neighbours share a number, and since the cells beyond
// the grid all behave alike that does no harm.
using Index = double;
constexpr double INDEX_LIMIT = 1e300;

// One axis of the grid: where its cell edges lie, and how many cells it has.
struct Line {
    double origin;
    double size;
    Index count;

    // The edge before cell c, as a float: positions are floats, and a box is
    // flush with a cell exactly when its float edge equals this.
    float Edge(Index c) const {
        const double e = origin + c * size;
        return std::abs(e) <= std::numeric_limits<float>::max()
                   ? float(e)
                   : std::copysign(std::numeric_limits<float>::infinity(), e);
    }
    // The cell that holds v (its edge <= v < the next one's).
    Index CellOf(double v) const {
        Index c = std::clamp(std::floor((v - origin) / size), -INDEX_LIMIT, INDEX_LIMIT);
        // The division may round across an edge: settle on Edge's answer.
        for (int i = 0; i < 2 && double(Edge(c)) > v; ++i)
            --c;
        for (int i = 0; i < 2 && double(Edge(c + 1)) <= v; ++i)
            ++c;
        return c;
    }
    // The last cell that a span ending (exclusively) at v reaches into.
    Index LastBefore(double v) const {
        const Index c = CellOf(v);
        return double(Edge(c)) < v ? c : c - 1;
    }
};

// The first i from `from` to `to`, stepping up or down, for which test(i)
// holds; none when the range is empty. Cells before the first or past the
// last of an axis all behave alike, so one of each stands for them all: the
// cost is bounded by the grid whatever the range.
template <class Test>
std::optional<Index> FirstOf(Index from, Index to, bool up, Index count, Test test) {
    if (up ? from > to : from < to)
        return std::nullopt;
    if (up) {
        if (from < 0 && test(from))
            return from;
        for (Index i = std::max<Index>(from, 0); i <= std::min(to, count - 1); ++i)
            if (test(i))
                return i;
        const Index past = std::max(from, count);
        if (to >= count && test(past))
            return past;
    } else {
        if (from >= count && test(from))
            return from;
        for (Index i = std::min(from, count - 1); i >= std::max<Index>(to, 0); --i)
            if (test(i))
                return i;
        const Index before = std::min<Index>(from, -1);
        if (to < 0 && test(before))
            return before;
    }
    return std::nullopt;
}

// Whether test(i) holds for any i in [lo, hi].
template <class Test> bool AnyIn(Index lo, Index hi, Index count, Test test) {
    return FirstOf(lo, hi, true, count, test).has_value();
}

bool Finite(const Rectangle& box) {
    return std::isfinite(box.x) && std::isfinite(box.y) && std::isfinite(box.width) &&
           std::isfinite(box.height);
}

bool SolidCell(const CellGrid& g, Index c, Index r) {
    if ((c < 0 && g.solidLeft) || (c >= g.columns && g.solidRight) || (r < 0 && g.solidAbove) ||
        (r >= g.rows && g.solidBelow))
        return true;
    if (c < 0 || c >= g.columns || r < 0 || r >= g.rows)
        return false;
    const size_t i = size_t(r) * size_t(g.columns) + size_t(c);
    return i < g.cells.size() && g.cells[i] != 0;
}

bool Usable(const CellGrid& g) {
    return std::isfinite(g.cellWidth) && std::isfinite(g.cellHeight) && g.cellWidth > 0 &&
           g.cellHeight > 0 && std::isfinite(g.origin.x) && std::isfinite(g.origin.y);
}

Line Across(const CellGrid& g) {
    return {g.origin.x, g.cellWidth, double(g.columns)};
}
Line Down(const CellGrid& g) {
    return {g.origin.y, g.cellHeight, double(g.rows)};
}

// The cells a span from lo, size long, covers along an axis.
struct Span {
    Index first, last;
};
Span SpanOf(const Line& line, float lo, float size) {
    return {line.CellOf(lo), line.LastBefore(double(lo + size))};
}

// The position along one axis that a box at lo, size long, moves to by d,
// stopped before the first cell blocked(cell) says is solid; hit when it was.
// A moving edge is stopped exactly on a cell's edge as Line::Edge gives it.
template <class Blocked>
float Sweep(const Line& line, float lo, float size, float d, bool& hit, Blocked blocked) {
    hit = false;
    if (!(d != 0.0f))
        return lo;
    float to = lo + d;
    if (d > 0) {
        const float hi = lo + size;
        const Index last = line.LastBefore(double(hi) + double(d));
        const std::optional<Index> wall =
            FirstOf(line.LastBefore(hi) + 1, last, true, line.count, blocked);
        hit = wall.has_value();
        const float limit = line.Edge(wall ? *wall : last + 1);
        if (hit || to + size > limit) {
            // The far edge on the limit, or an ulp short where rounding
            // would carry it over.
            to = limit - size;
            for (int i = 0; i < 4 && to + size > limit; ++i)
                to = std::nextafter(to, -std::numeric_limits<float>::infinity());
        }
        to = std::max(lo, to);
    } else {
        const Index last = line.CellOf(double(lo) + double(d));
        const std::optional<Index> wall =
            FirstOf(line.CellOf(lo) - 1, last, false, line.count, blocked);
        hit = wall.has_value();
        const float limit = line.Edge((wall ? *wall : last - 1) + 1);
        if (hit || to < limit)
            to = limit;
        to = std::min(lo, to);
    }
    if (!std::isfinite(to)) {
        hit = false;
        return lo;
    }
    return to;
}

// Grids with floors. Everything below takes floors into account and is used
// only for grids that have them; whole-cell grids keep the code above.

enum class Kind { Open, Whole, Floor };
struct Shape {
    Kind kind = Kind::Open;
    float left = 0, right = 0; // a Floor's heights, within (0, cellHeight)
};

struct Floors {
    const CellGrid& g;
    Line across, down;
    double steep; // the steepest rise a floor can have: cellHeight over cellWidth

    Shape At(Index c, Index r) const {
        if (!SolidCell(g, c, r))
            return {};
        if (c < 0 || c >= g.columns || r < 0 || r >= g.rows)
            return {Kind::Whole};
        const size_t i = size_t(r) * size_t(g.columns) + size_t(c);
        if (g.cells[i] != CellGrid::FLOOR || i >= g.floors.size())
            return {Kind::Whole};
        auto height = [&](float h) {
            return std::isnan(h) ? g.cellHeight : std::clamp(h, 0.0f, g.cellHeight);
        };
        const float l = height(g.floors[i].left), rt = height(g.floors[i].right);
        if (l <= 0 && rt <= 0)
            return {};
        if (l >= g.cellHeight && rt >= g.cellHeight)
            return {Kind::Whole};
        return {Kind::Floor, l, rt};
    }
    // The y of a floor's top where its height is h (a double, to stay exact
    // as long as it can); the row's top edge itself at full height.
    float TopAt(Index r, double h) const {
        return h >= double(g.cellHeight) ? down.Edge(r) : float(double(down.Edge(r + 1)) - h);
    }
    // A cell's height at x, clamped into its column: a whole cell's is full.
    double HeightAt(Index c, const Shape& s, double x) const {
        if (s.kind != Kind::Floor)
            return s.kind == Kind::Whole ? double(g.cellHeight) : 0.0;
        const double x0 = across.Edge(c), x1 = across.Edge(c + 1);
        const double t = std::clamp((x - x0) / (x1 - x0), 0.0, 1.0);
        return double(s.left) + (double(s.right) - double(s.left)) * t;
    }
    float TopY(Index c, Index r, const Shape& s, double x) const {
        return TopAt(r, HeightAt(c, s, x));
    }
    static double Side(const Shape& s, double full, int side) {
        if (s.kind != Kind::Floor)
            return s.kind == Kind::Whole ? full : 0.0;
        return side < 0 ? s.left : s.right;
    }
    // Whether the ground goes on from cell (c, r)'s side facing `toward` (-1
    // left, +1 right): the next cell that way rises at least as high at their
    // shared edge, or, where this side is 0 high, the cell below that one is
    // full there. Such a cell's top is part of the ground a foot walks along;
    // a side standing free is a step or a wall.
    bool Continued(Index c, Index r, const Shape& s, int toward) const {
        if (c < 0 || c >= g.columns || r < 0 || r >= g.rows)
            return false;
        const double full = g.cellHeight, side = Side(s, full, toward);
        const Shape n = At(c + toward, r);
        if (n.kind != Kind::Open && Side(n, full, -toward) >= side)
            return true;
        return side <= 0 && Side(At(c + toward, r + 1), full, -toward) >= full;
    }

    // Where a box's foot is: the middle of its bottom edge.
    struct Foot {
        double x;
        Index column;
    };
    Foot FootOf(const Rectangle& b) const {
        const double x = double(b.x) + double(b.width) / 2;
        return {x, across.CellOf(x)};
    }
    // The lowest a box's bottom may be for cell (c, r) of its span: the
    // foot's column stands on its top under the foot; a cell that carries the
    // ground on toward the foot lets the box's corners in, down to the steepest
    // slope's line from the foot; any other stands the box on its highest
    // point under the bottom edge, as a whole cell does.
    float Allowed(Index c, Index r, const Rectangle& b, const Foot& foot) const {
        const Shape s = At(c, r);
        if (s.kind == Kind::Open)
            return std::numeric_limits<float>::infinity();
        if (c == foot.column)
            return TopY(c, r, s, foot.x);
        const double x0 = std::max(double(b.x), double(across.Edge(c)));
        const double x1 = std::min(double(b.x + b.width), double(across.Edge(c + 1)));
        if (!Continued(c, r, s, c < foot.column ? 1 : -1))
            return std::min(TopY(c, r, s, x0), TopY(c, r, s, x1));
        // Along a slope as steep as any can be, the corner is on the line:
        // room for the rounding of both.
        const float bottom = b.y + b.height, fx = float(foot.x);
        const double slack = 8 * (double(Ulp(bottom)) + steep * double(Ulp(fx)));
        const double y = std::min(double(TopY(c, r, s, x0)) + steep * std::abs(x0 - foot.x),
                                  double(TopY(c, r, s, x1)) + steep * std::abs(x1 - foot.x));
        return float(std::min(y + slack, double(std::numeric_limits<float>::max())));
    }
    static float Ulp(float v) {
        const float a = std::abs(v);
        return std::nextafter(a, std::numeric_limits<float>::infinity()) - a;
    }
    // Visits every cell of a box's span, standing in for the ones beyond the
    // grid as FirstOf does; stops where visit returns true.
    template <class Visit> bool AnyCell(const Rectangle& b, Visit visit) const {
        const Span cs = SpanOf(across, b.x, b.width), rs = SpanOf(down, b.y, b.height);
        return AnyIn(cs.first, cs.last, g.columns, [&](Index c) {
            return AnyIn(rs.first, rs.last, g.rows, [&](Index r) { return visit(c, r); });
        });
    }
    // Whether b overlaps the solid part of a cell of its span: a straight top
    // is highest at one end.
    bool Solid(const Rectangle& b) const {
        return AnyCell(b, [&](Index c, Index r) {
            const Shape s = At(c, r);
            return s.kind != Kind::Open &&
                   b.y + b.height > std::min(TopY(c, r, s, b.x), TopY(c, r, s, b.x + b.width));
        });
    }
    // The lowest a box's bottom may be where it is.
    float Lowest(const Rectangle& b) const {
        const Foot foot = FootOf(b);
        float lowest = std::numeric_limits<float>::infinity();
        AnyCell(b, [&](Index c, Index r) {
            lowest = std::min(lowest, Allowed(c, r, b, foot));
            return false;
        });
        return lowest;
    }
    // Whether a box stands clear of the cells by the rule above.
    bool Clear(const Rectangle& b) const {
        return b.y + b.height <= Lowest(b);
    }

    // The box's y moved down by d, stopped where its bottom would pass the
    // lowest any cell under or around it allows.
    float Down(const Rectangle& b, float d, bool& hit) const {
        const float lo = b.y, size = b.height, hi = lo + size;
        const Foot foot = FootOf(b);
        const Span cs = SpanOf(across, b.x, b.width);
        const Index first = down.CellOf(lo), last = down.LastBefore(double(hi) + double(d));
        float stop = std::numeric_limits<float>::infinity();
        // No cell allows a bottom above its row's top: past the stop, none can stop it sooner.
        FirstOf(first, last + 1, true, down.count, [&](Index r) {
            if (down.Edge(r) >= stop)
                return true;
            FirstOf(cs.first, cs.last, true, across.count, [&](Index c) {
                const float a = Allowed(c, r, b, foot);
                if (a >= hi)
                    stop = std::min(stop, a);
                return false;
            });
            return false;
        });
        hit = double(stop) < double(hi) + double(d);
        float to = lo + d;
        if (hit || to + size > stop) {
            to = stop - size;
            for (int i = 0; i < 4 && to + size > stop; ++i)
                to = std::nextafter(to, -std::numeric_limits<float>::infinity());
        }
        to = std::max(lo, to);
        if (!std::isfinite(to)) {
            hit = false;
            return lo;
        }
        return to;
    }

    // Whether cell (c, r) stops a box entering it sideways: a whole cell, or
    // a floor whose side it enters by is higher than the box's bottom, unless
    // the cell carries on the ground the box's foot is on.
    bool Wall(Index c, Index r, const Rectangle& b, bool rightwards) const {
        const Shape s = At(c, r);
        if (s.kind == Kind::Open || Continued(c, r, s, rightwards ? -1 : 1))
            return false;
        return b.y + b.height > TopAt(r, Side(s, g.cellHeight, rightwards ? -1 : 1));
    }

    // The most a box's bottom may rise, or drop, over a move of dx along a
    // floor, with room for the rounding of the floor's and the box's floats.
    float Rise(double dx, float bottom) const {
        return float(std::abs(dx) * steep * (1 + 1e-4)) + 4 * Ulp(bottom);
    }

    // Lifts a box that has sunk below what its cells allow, by no more than
    // rise; false when that cannot free it.
    bool Lift(Rectangle& b, float rise) const {
        const float bottom = b.y + b.height;
        for (int i = 0; i < 4; ++i) {
            const float top = Lowest(b);
            if (b.y + b.height <= top)
                return true;
            if (!(bottom - top <= rise))
                return false;
            b.y = top - b.height;
            for (int j = 0; j < 4 && b.y + b.height > top; ++j)
                b.y = std::nextafter(b.y, -std::numeric_limits<float>::infinity());
        }
        return false;
    }

    // One stretch of a walk along x: swept against walls in the rows the box
    // spans now, then lifted onto the floors it rose into. False, leaving b as
    // it was, when that would leave it inside something. The box risen where
    // it started must fit too: on the way up it still passes under the
    // column its trailing side leaves, which the end no longer spans.
    bool Stretch(Rectangle& b, float step, bool& hit) const {
        Rectangle n = b;
        const Span rs = SpanOf(down, b.y, b.height);
        n.x = Sweep(across, b.x, b.width, step, hit, [&](Index c) {
            return AnyIn(rs.first, rs.last, g.rows,
                         [&](Index r) { return Wall(c, r, b, step > 0); });
        });
        if (!Lift(n, Rise(double(n.x) - double(b.x), b.y + b.height)))
            return false;
        if (n.y < b.y && !Clear({b.x, n.y, b.width, b.height}))
            return false;
        b = n;
        return true;
    }

    // The box's x moved by dx, column by column within the grid so that it
    // follows the floors up; whether it was stopped.
    bool Walk(Rectangle& b, float dx) const {
        const bool right = dx > 0;
        const float target = b.x + dx;
        if (!std::isfinite(target))
            return false;
        // The next column edge the leading side will cross: past the grid's
        // last one the rest is done in one stretch.
        Index e = right ? std::max<Index>(across.CellOf(b.x + b.width) + 1, 0)
                        : std::min<Index>(across.LastBefore(b.x), across.count);
        for (;;) {
            float aim = target, step = target - b.x;
            if (right ? e <= across.count : e >= 0) {
                const float edge = across.Edge(e);
                const float x = right ? edge - b.width : edge;
                if (right ? x < target : x > target) {
                    // Sweep takes the step in doubles: it must not reach past the edge.
                    aim = x;
                    const double lead = right ? double(b.x + b.width) : double(b.x);
                    step = float(edge - lead);
                    for (int i = 0; i < 4 && (right ? lead + step > edge : lead + step < edge); ++i)
                        step = std::nextafter(step, 0.0f);
                }
                e += right ? 1 : -1;
            }
            if (right ? step > 0 : step < 0) {
                bool hit = false;
                if (!Stretch(b, step, hit)) {
                    // Something overhead: as far along as it fits.
                    float fits = 0, fails = 1;
                    for (int i = 0; i < 16; ++i) {
                        const float mid = (fits + fails) / 2;
                        Rectangle n = b;
                        bool h = false;
                        (Stretch(n, step * mid, h) ? fits : fails) = mid;
                    }
                    bool h = false;
                    Stretch(b, step * fits, h);
                    return true;
                }
                if (hit)
                    return true;
            }
            if (aim == target || (right ? b.x >= target : b.x <= target))
                return false;
        }
    }
};

BoxMove MoveOverFloors(const Floors& f, Rectangle box, glm::vec2 delta) {
    const CellGrid& grid = f.g;
    BoxMove move{box};
    Rectangle& b = move.box;
    if (delta.x != 0) {
        // On the ground (or within a step's drop of it) and not moving up: it
        // stays on the ground as the floor falls away under it.
        bool stick = false;
        if (delta.y >= 0)
            f.Down(b, f.Rise(delta.x, b.y + b.height), stick);
        (delta.x > 0 ? move.hitRight : move.hitLeft) = f.Walk(b, delta.x);
        bool hit = false;
        const float y = f.Down(b, f.Rise(double(b.x) - double(box.x), b.y + b.height), hit);
        if (stick && hit)
            b.y = y;
    }
    bool hit = false;
    if (delta.y > 0) {
        b.y = f.Down(b, delta.y, hit);
        move.hitBottom = hit;
    } else if (delta.y < 0) {
        // Met from below, a floor is a whole cell.
        const Span cs = SpanOf(f.across, b.x, b.width);
        b.y = Sweep(f.down, b.y, b.height, delta.y, hit, [&](Index r) {
            return AnyIn(cs.first, cs.last, grid.columns,
                         [&](Index c) { return f.At(c, r).kind != Kind::Open; });
        });
        move.hitTop = hit;
    }
    return move;
}

} // namespace

CellGrid::CellGrid(int columns_, int rows_, float cellWidth_, float cellHeight_, glm::vec2 origin_)
    : columns(std::max(columns_, 0)), rows(std::max(rows_, 0)), cellWidth(cellWidth_),
      cellHeight(cellHeight_), origin(origin_), cells(size_t(columns) * size_t(rows), 0) {}

bool CellGrid::Solid(int column, int row) const {
    if (floors.empty() || !Usable(*this))
        return SolidCell(*this, column, row);
    return Floors{*this, Across(*this), Down(*this), 0}.At(column, row).kind != Kind::Open;
}

CellFloor CellGrid::Floor(int column, int row) const {
    const float full = std::isfinite(cellHeight) ? std::max(cellHeight, 0.0f) : 0.0f;
    if (floors.empty() || !Usable(*this))
        return SolidCell(*this, column, row) ? CellFloor{full, full} : CellFloor{};
    const Shape s = Floors{*this, Across(*this), Down(*this), 0}.At(column, row);
    return s.kind == Kind::Floor   ? CellFloor{s.left, s.right}
           : s.kind == Kind::Whole ? CellFloor{full, full}
                                   : CellFloor{};
}

glm::ivec2 CellGrid::CellAt(glm::vec2 point) const {
    constexpr double lowest = std::numeric_limits<int>::min(), highest = std::numeric_limits<int>::max();
    if (!Usable(*this) || std::isnan(point.x) || std::isnan(point.y))
        return {int(lowest), int(lowest)};
    return {int(std::clamp(Across(*this).CellOf(point.x), lowest, highest)),
            int(std::clamp(Down(*this).CellOf(point.y), lowest, highest))};
}

Rectangle CellGrid::CellBox(int column, int row) const {
    // From the edges as the moves meet them, so that boxes of neighbours meet.
    const Line across = Across(*this), down = Down(*this);
    const float x = across.Edge(column), y = down.Edge(row);
    return {x, y, across.Edge(Index(column) + 1) - x, down.Edge(Index(row) + 1) - y};
}

void CellGrid::SetFloor(int column, int row, CellFloor floor) {
    if (column < 0 || column >= columns || row < 0 || row >= rows)
        return;
    const size_t i = size_t(row) * size_t(columns) + size_t(column);
    if (i >= cells.size())
        return;
    if (floors.size() < cells.size())
        floors.resize(cells.size());
    floors[i] = floor;
    cells[i] = FLOOR;
}

void CellGrid::Set(int column, int row, bool solid) {
    if (column < 0 || column >= columns || row < 0 || row >= rows)
        return;
    const size_t i = size_t(row) * size_t(columns) + size_t(column);
    if (i < cells.size())
        cells[i] = solid ? 1 : 0;
}

void CellGrid::Set(Rectangle box, bool solid) {
    if (box.Empty() || !Usable(*this) || !Finite(box))
        return;
    const Span cs = SpanOf(Across(*this), box.x, box.width);
    const Span rs = SpanOf(Down(*this), box.y, box.height);
    // Spans reach past the grid (and past an int) on either side.
    const Index c0 = std::max(cs.first, 0.0), c1 = std::min(cs.last, Index(columns) - 1);
    const Index r0 = std::max(rs.first, 0.0), r1 = std::min(rs.last, Index(rows) - 1);
    for (Index r = r0; r <= r1; ++r)
        for (Index c = c0; c <= c1; ++c)
            Set(int(c), int(r), solid);
}

bool CellGrid::Solid(Rectangle box) const {
    if (box.Empty() || !Usable(*this) || !Finite(box))
        return false;
    if (!floors.empty())
        return Floors{*this, Across(*this), Down(*this), 0}.Solid(box);
    const Span cs = SpanOf(Across(*this), box.x, box.width);
    const Span rs = SpanOf(Down(*this), box.y, box.height);
    return AnyIn(cs.first, cs.last, columns, [&](Index c) {
        return AnyIn(rs.first, rs.last, rows, [&](Index r) { return SolidCell(*this, c, r); });
    });
}

BoxMove MoveBox(const CellGrid& grid, Rectangle box, glm::vec2 delta) {
    BoxMove move{box};
    if (!std::isfinite(delta.x) || !std::isfinite(delta.y) || !Finite(box))
        return move;
    Rectangle& b = move.box;
    if (box.Empty() || !Usable(grid)) {
        const float x = b.x + delta.x, y = b.y + delta.y;
        b.x = std::isfinite(x) ? x : b.x;
        b.y = std::isfinite(y) ? y : b.y;
        return move;
    }
    // A box already sunk into a floor meets floors as whole cells, below, as
    // it meets the cells it overlaps.
    if (!grid.floors.empty()) {
        const Floors f{grid, Across(grid), Down(grid),
                       double(grid.cellHeight) / double(grid.cellWidth)};
        if (f.Clear(box))
            return MoveOverFloors(f, box, delta);
    }
    const Line across = Across(grid), down = Down(grid);
    bool hit = false;

    const Span rs = SpanOf(down, b.y, b.height);
    b.x = Sweep(across, b.x, b.width, delta.x, hit, [&](Index c) {
        return AnyIn(rs.first, rs.last, grid.rows, [&](Index r) { return SolidCell(grid, c, r); });
    });
    (delta.x > 0 ? move.hitRight : move.hitLeft) = hit;

    const Span cs = SpanOf(across, b.x, b.width);
    b.y = Sweep(down, b.y, b.height, delta.y, hit, [&](Index r) {
        return AnyIn(cs.first, cs.last, grid.columns,
                     [&](Index c) { return SolidCell(grid, c, r); });
    });
    (delta.y > 0 ? move.hitBottom : move.hitTop) = hit;
    return move;
}

namespace {

// A ray walks cells -1 to count along each axis: the first and the last
// stand for all that lie beyond that side, which behave alike, so they have
// no outer side, and no segment however long crosses more than the grid's
// cells and one ring around them.
struct RayWalk {
    const CellGrid& g;
    Floors f;
    double fx, fy, dx, dy;

    // Where a + b t > 0 along the segment, for t within 0 and 1: the last
    // bound entered sets where the segment meets the cell, and its side.
    struct Clip {
        double enter = 0, leave = 1;
        bool empty = false;
        bool entered = false;
        glm::vec2 normal{0, 0};
        int exactAxis = -1; // the axis along which the side lies, if one does
        float exactAt = 0;
        void Add(double a, double b, glm::vec2 n, int axis = -1, float at = 0) {
            if (b > 0) {
                const double t = -a / b;
                if (t > enter || (t == enter && !entered)) {
                    enter = std::max(t, 0.0);
                    entered = true;
                    normal = n;
                    exactAxis = axis;
                    exactAt = at;
                }
            } else if (b < 0) {
                leave = std::min(leave, -a / b);
            } else if (!(a > 0)) {
                empty = true;
            }
        }
    };

    // Whether a cell is solid right at one of its corners.
    bool SolidAtCorner(Index c, Index r, bool right, bool bottom) const {
        const Shape s = f.At(c, r);
        if (s.kind != Kind::Floor)
            return s.kind == Kind::Whole;
        const float h = right ? s.right : s.left;
        return bottom ? h > 0 : h >= g.cellHeight;
    }

    // The cell reported: one beyond the grid is where the point lies, on the
    // side of the grid it stands for.
    int Report(const Line& line, Index i, Index count, double v, bool exact) const {
        if (!exact && i < 0)
            i = std::min<Index>(line.CellOf(v), -1);
        else if (!exact && i >= count)
            i = std::max<Index>(line.CellOf(v), count);
        return int(
            std::clamp<Index>(i, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }

    RayHit Hit(Index c, Index r, double t, glm::vec2 normal, int exactAxis, float exactAt) const {
        glm::vec2 p{float(fx + t * dx), float(fy + t * dy)};
        if (exactAxis >= 0)
            p[exactAxis] = exactAt;
        return {p, float(t), Report(f.across, c, g.columns, p.x, exactAxis == 0),
                Report(f.down, r, g.rows, p.y, exactAxis == 1), normal};
    }

    // Where the segment enters the solid part of cell (c, r), if it does. A
    // segment lying on one of its sides is inside along it only where the
    // neighbour across that side is solid too. A line belongs to the cells
    // after it, so one walked along is only ever a left side or a top.
    std::optional<RayHit> Meet(Index c, Index r) const {
        const Shape s = f.At(c, r);
        if (s.kind == Kind::Open)
            return std::nullopt;
        Clip k;
        if (c >= 0) { // the left side: x > xl
            const float xl = f.across.Edge(c);
            const double a = fx - xl;
            if (dx == 0 && a == 0) {
                const Shape n = f.At(c - 1, r);
                if (n.kind == Kind::Open)
                    return std::nullopt;
                if (n.kind == Kind::Floor)
                    k.Add(fy - (double(f.down.Edge(r + 1)) - n.right), dy, {0, -1});
            } else {
                k.Add(a, dx, {-1, 0}, 0, xl);
            }
        }
        if (c < g.columns) { // the right side: x < xr
            const float xr = f.across.Edge(c + 1);
            k.Add(xr - fx, -dx, {1, 0}, 0, xr);
        }
        // The top: y > yt. A floor as high as the cell may round past a row
        // that floats make a little shorter: it too stops at the line, and
        // reaches it at one point at most.
        if (r >= 0) {
            const float yt = f.down.Edge(r);
            const double a = fy - yt;
            if (dy == 0 && a == 0) {
                if (s.kind == Kind::Floor || f.At(c, r - 1).kind == Kind::Open)
                    return std::nullopt;
            } else {
                k.Add(a, dy, {0, -1}, 1, yt);
            }
        }
        if (r < g.rows) { // the bottom: y < yb
            const float yb = f.down.Edge(r + 1);
            k.Add(yb - fy, -dy, {0, 1}, 1, yb);
        }
        if (s.kind == Kind::Floor) { // above the floor's line, times the cell's width
            const double xl = f.across.Edge(c), w = double(f.across.Edge(c + 1)) - xl;
            const double yb = f.down.Edge(r + 1), rise = double(s.right) - s.left;
            const glm::dvec2 n = glm::dvec2(-rise, -w) / std::hypot(rise, w);
            k.Add((fy - yb + s.left) * w + rise * (fx - xl), dy * w + rise * dx,
                  {float(n.x), float(n.y)});
        }
        if (k.empty || !(k.enter < k.leave))
            return std::nullopt;
        return Hit(c, r, k.enter, k.normal, k.exactAxis, k.exactAt);
    }

    // Whether the start lies inside solid cells: every cell it touches is
    // solid around it.
    bool StartsInside(Index c, Index r) const {
        auto solidAt = [&](Index cc, Index rr) {
            const Shape s = f.At(cc, rr);
            if (s.kind != Kind::Floor)
                return s.kind == Kind::Whole;
            return fy > double(f.down.Edge(rr)) &&
                   double(f.down.Edge(rr + 1)) - fy < f.HeightAt(cc, s, fx);
        };
        const bool onX = c >= 0 && fx == double(f.across.Edge(c));
        const bool onY = r >= 0 && fy == double(f.down.Edge(r));
        return solidAt(c, r) && (!onX || solidAt(c - 1, r)) && (!onY || solidAt(c, r - 1)) &&
               (!onX || !onY || solidAt(c - 1, r - 1));
    }
};

} // namespace

std::optional<RayHit> CastRay(const CellGrid& grid, glm::vec2 from, glm::vec2 to) {
    if (!Usable(grid) || !std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x) ||
        !std::isfinite(to.y))
        return std::nullopt;
    const RayWalk w{grid,
                    Floors{grid, Across(grid), Down(grid), 0},
                    from.x,
                    from.y,
                    double(to.x) - from.x,
                    double(to.y) - from.y};
    const Line &across = w.f.across, &down = w.f.down;
    const Index columns = grid.columns, rows = grid.rows;
    Index c = std::clamp<Index>(across.CellOf(from.x), -1, columns);
    Index r = std::clamp<Index>(down.CellOf(from.y), -1, rows);
    if (w.StartsInside(c, r))
        return RayHit{from,
                      0.0f,
                      w.Report(across, c, columns, from.x, false),
                      w.Report(down, r, rows, from.y, false),
                      {0, 0}};
    if (w.dx == 0 && w.dy == 0)
        return std::nullopt;
    const int sx = w.dx > 0 ? 1 : w.dx < 0 ? -1 : 0, sy = w.dy > 0 ? 1 : w.dy < 0 ? -1 : 0;
    const double adx = std::abs(w.dx), ady = std::abs(w.dy);
    constexpr double NONE = std::numeric_limits<double>::infinity();
    // The next line crossed along each axis, n / |d| of the way.
    auto nextX = [&] {
        return sx > 0 && c < columns ? double(across.Edge(c + 1)) - w.fx
               : sx < 0 && c >= 0    ? w.fx - double(across.Edge(c))
                                     : NONE;
    };
    auto nextY = [&] {
        return sy > 0 && r < rows ? double(down.Edge(r + 1)) - w.fy
               : sy < 0 && r >= 0 ? w.fy - double(down.Edge(r))
                                  : NONE;
    };
    double nx = nextX(), ny = nextY();
    for (;;) {
        // Most cells crossed are open: those cost no more than this.
        if (std::optional<RayHit> hit = SolidCell(grid, c, r) ? w.Meet(c, r) : std::nullopt)
            return hit;
        if (nx == NONE && ny == NONE)
            return std::nullopt;
        // Compared crosswise, exact for floats of like size, so that a
        // segment through a corner crosses both lines at once.
        const long double lx = (long double)nx * ady, ly = (long double)ny * adx;
        const bool stepX = lx <= ly, stepY = ly <= lx;
        // A segment that ends on a line only touches what lies beyond it.
        if (stepX ? nx >= adx : ny >= ady)
            return std::nullopt;
        if (stepX && stepY) {
            const double t = nx / adx;
            const float vx = across.Edge(sx > 0 ? c + 1 : c), vy = down.Edge(sy > 0 ? r + 1 : r);
            // Squeezed between two cells touching diagonally, or into the corner of a solid one.
            const bool squeezed = w.SolidAtCorner(c + sx, r, (sx < 0), (sy > 0)) &&
                                  w.SolidAtCorner(c, r + sy, (sx > 0), (sy < 0));
            if (squeezed)
                return RayHit{{vx, vy},
                              float(t),
                              w.Report(across, c + sx, columns, vx, true),
                              w.Report(down, r, rows, vy, false),
                              {float(-sx), 0}};
            // A floor's top corner, as high as the cell, is only the point of
            // a wedge: whether the segment goes into it is for Meet to say.
            if (w.SolidAtCorner(c + sx, r + sy, sx < 0, sy < 0) &&
                (sy < 0 || w.f.At(c + sx, r + sy).kind == Kind::Whole))
                return RayHit{{vx, vy},
                              float(t),
                              w.Report(across, c + sx, columns, vx, true),
                              w.Report(down, r + sy, rows, vy, true),
                              {float(-sx), 0}};
        }
        if (stepX) {
            c += sx;
            nx = nextX();
        }
        if (stepY) {
            r += sy;
            ny = nextY();
        }
    }
}

} // namespace Engine

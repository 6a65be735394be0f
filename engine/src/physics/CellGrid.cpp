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

Line Across(const CellGrid& g) { return {g.origin.x, g.cellWidth, double(g.columns)}; }
Line Down(const CellGrid& g) { return {g.origin.y, g.cellHeight, double(g.rows)}; }

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
        const std::optional<Index> wall = FirstOf(line.LastBefore(hi) + 1, last, true, line.count, blocked);
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
        const std::optional<Index> wall = FirstOf(line.CellOf(lo) - 1, last, false, line.count, blocked);
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

} // namespace

CellGrid::CellGrid(int columns_, int rows_, float cellWidth_, float cellHeight_, glm::vec2 origin_)
    : columns(std::max(columns_, 0)), rows(std::max(rows_, 0)), cellWidth(cellWidth_),
      cellHeight(cellHeight_), origin(origin_), cells(size_t(columns) * size_t(rows), 0) {}

bool CellGrid::Solid(int column, int row) const { return SolidCell(*this, column, row); }

void CellGrid::Set(int column, int row, bool solid) {
    if (column < 0 || column >= columns || row < 0 || row >= rows)
        return;
    const size_t i = size_t(row) * size_t(columns) + size_t(column);
    if (i < cells.size())
        cells[i] = solid ? 1 : 0;
}

bool CellGrid::Solid(Rectangle box) const {
    if (box.Empty() || !Usable(*this) || !Finite(box))
        return false;
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

} // namespace Engine

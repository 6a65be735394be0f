#pragma once

#include <glm/vec2.hpp>

namespace Engine {

/// A rectangle: its top-left corner and its size, in pixels or world units
/// (y grows downwards). Drawing takes it (Draw.h) and so does collision
/// (CellGrid.h), which is why it lives here, below both.
///
/// The tests below take it as half-open, as pixels are: it holds the points
/// from x up to but not including x + width, so a rectangle and the one
/// whose left edge is its right edge touch without overlapping. A rectangle
/// whose width or height is 0 or negative holds no point: it overlaps nothing
/// and is not mirrored into a positive one. Circles, triangles, polygons and
/// segments have their tests in Overlap.h, under the same rules.
struct Rectangle {
    float x = 0;      ///< Left edge.
    float y = 0;      ///< Top edge.
    float width = 0;  ///< Across.
    float height = 0; ///< Down.

    /// Every field alike.
    constexpr bool operator==(const Rectangle&) const = default;
    /// Whether the rectangle holds no point (width or height not above 0).
    constexpr bool Empty() const { return !(width > 0 && height > 0); }
    /// Whether point lies in it: x <= p.x < x + width, and the same down.
    constexpr bool Contains(glm::vec2 p) const {
        return !Empty() && p.x >= x && p.x < x + width && p.y >= y && p.y < y + height;
    }
    /// Whether the two share a point; touching edges do not.
    constexpr bool Overlaps(const Rectangle& o) const {
        return !Empty() && !o.Empty() && x < o.x + o.width && o.x < x + width &&
               y < o.y + o.height && o.y < y + height;
    }
    /// The part the two share; an empty rectangle of size (0, 0) when they do
    /// not overlap.
    constexpr Rectangle Intersection(const Rectangle& o) const {
        if (!Overlaps(o))
            return {};
        const float left = x > o.x ? x : o.x, top = y > o.y ? y : o.y;
        const float right = x + width < o.x + o.width ? x + width : o.x + o.width;
        const float bottom = y + height < o.y + o.height ? y + height : o.y + o.height;
        return {left, top, right - left, bottom - top};
    }
};

} // namespace Engine

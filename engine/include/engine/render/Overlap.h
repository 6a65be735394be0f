#pragma once

#include <optional>
#include <span>

#include <glm/vec2.hpp>

#include <engine/render/Draw.h>

/// Overlap tests for the shapes Draw draws, in the same pixels (y down): pure
/// arithmetic, callable without a window. Rectangles have theirs as members
/// (Rectangle::Contains, Overlaps, Intersection).
///
/// The convention is Rectangle's: shapes that only touch do not overlap. A
/// circle holds the points closer to its centre than its radius, not those on
/// its rim; a circle of radius 0 or less holds none. Triangles and polygons
/// are half-open as a rectangle is: a point on an edge is in when the shape
/// lies just to its right (on a level edge: just below it) and out otherwise,
/// so shapes that share an edge never both hold a point on it. Segments
/// include their ends: segments that meet end to end intersect there.
///
/// With whole-number coordinates within ±32768 (any screen's pixels) every
/// answer is exact, and so is an intersection point that is whole. Degenerate
/// input (a zero-length segment, points in a line) gives an answer, never a
/// NaN.
namespace Engine::Overlap {

/// Whether point lies inside the circle (not on its rim).
bool PointInCircle(glm::vec2 point, glm::vec2 center, float radius);
/// Whether the two circles share a point; touching rims do not.
bool Circles(glm::vec2 center1, float radius1, glm::vec2 center2, float radius2);
/// Whether the circle and the rectangle share a point; touching does not. An
/// empty rectangle (Rectangle::Empty) overlaps nothing.
bool CircleRect(glm::vec2 center, float radius, Rectangle rect);
/// Whether point lies in the triangle, of either winding; points in a line
/// make a triangle that holds nothing.
bool PointInTriangle(glm::vec2 point, glm::vec2 a, glm::vec2 b, glm::vec2 c);
/// Whether point lies in the polygon whose corners are points in order, of
/// either winding, convex or not (the last corner joins the first). Where
/// edges cross, a point is in when a ray from it crosses the edges an odd
/// number of times. Fewer than three points hold nothing.
bool PointInPolygon(glm::vec2 point, std::span<const glm::vec2> points);
/// Where segment a1-a2 meets segment b1-b2, or nothing. Segments lying along
/// each other give the shared point nearest a1. A segment of length 0 is a
/// point, found where it lies on the other. An end that is not a finite
/// number meets nothing.
std::optional<glm::vec2> Segments(glm::vec2 a1, glm::vec2 a2, glm::vec2 b1, glm::vec2 b2);

} // namespace Engine::Overlap

#pragma once

#include <span>

#include <glm/vec2.hpp>

/// Paths of straight segments through points in order, a Tiled polyline's
/// or polygon's corners say (closed: the last point joins the first): a
/// racing line, a patrol route, a rail. Distances are measured along the
/// path from its first point, in the points' units. Pure arithmetic,
/// callable without a window.
namespace Engine::Path {

/// How long the path is; 0 for fewer than two points.
float Length(std::span<const glm::vec2> points, bool closed = false);

/// The point distance along the path. A closed path goes round as many times
/// as it takes (a negative distance goes back from the first point); an open
/// one stops at its ends. One point is itself; no points, or a distance that
/// is not a finite number, give the first point ((0, 0) for none).
glm::vec2 PointAlong(std::span<const glm::vec2> points, float distance, bool closed = false);

/// How far along the path lies its point nearest to point: where a follower
/// is on the path, to aim at PointAlong(points, Nearest(...) + ahead) or to
/// rank racers by how far they have come. From 0 up to Length; 0 for fewer
/// than two points. Between points equally near, the one earlier along it.
float Nearest(std::span<const glm::vec2> points, glm::vec2 point, bool closed = false);

} // namespace Engine::Path

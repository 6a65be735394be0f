#include <engine/physics/Path.h>

#include <algorithm>
#include <cmath>

#include <glm/geometric.hpp>

namespace Engine::Path {

namespace {

size_t Segments(std::span<const glm::vec2> points, bool closed) {
    if (points.size() < 2)
        return 0;
    return closed ? points.size() : points.size() - 1;
}

glm::vec2 End(std::span<const glm::vec2> points, size_t segment) {
    return points[(segment + 1) % points.size()];
}

} // namespace

float Length(std::span<const glm::vec2> points, bool closed) {
    float length = 0.0f;
    for (size_t i = 0; i < Segments(points, closed); ++i)
        length += glm::distance(points[i], End(points, i));
    return length;
}

glm::vec2 PointAlong(std::span<const glm::vec2> points, float distance, bool closed) {
    if (points.empty())
        return {0.0f, 0.0f};
    const float length = Length(points, closed);
    if (!std::isfinite(distance) || !(length > 0.0f))
        return points[0];
    if (closed) {
        distance = std::fmod(distance, length);
        if (distance < 0.0f)
            distance += length;
    } else if (distance <= 0.0f) {
        return points[0];
    } else if (distance >= length) {
        return points.back();
    }
    for (size_t i = 0; i < Segments(points, closed); ++i) {
        const float step = glm::distance(points[i], End(points, i));
        if (distance < step)
            return points[i] + (End(points, i) - points[i]) * (distance / step);
        distance -= step;
    }
    // What the float sum of the steps rounded away: the path's end.
    return closed ? points[0] : points.back();
}

float Nearest(std::span<const glm::vec2> points, glm::vec2 point, bool closed) {
    float best = INFINITY, at = 0.0f, walked = 0.0f;
    for (size_t i = 0; i < Segments(points, closed); ++i) {
        const glm::vec2 a = points[i], ab = End(points, i) - a;
        const float step = glm::length(ab);
        const float t =
            step > 0.0f ? std::clamp(glm::dot(point - a, ab) / (step * step), 0.0f, 1.0f) : 0.0f;
        const float d = glm::distance(point, a + ab * t);
        if (d < best) {
            best = d;
            at = walked + t * step;
        }
        walked += step;
    }
    // The closing corner is the first point again.
    return closed && at >= walked ? 0.0f : at;
}

} // namespace Engine::Path

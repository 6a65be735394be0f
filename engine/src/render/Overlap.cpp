#include <engine/render/Overlap.h>

#include <algorithm>
#include <cmath>

namespace Engine::Overlap {

namespace {

// Doubles throughout: a float's difference and a product of two are exact in
// them for whole numbers as large as a screen's, so the tests that compare
// them are too, and no test divides.
struct D {
    double x, y;
};

D Sub(glm::vec2 a, glm::vec2 b) {
    return {double(a.x) - double(b.x), double(a.y) - double(b.y)};
}

double Cross(D a, D b) {
    return a.x * b.y - a.y * b.x;
}

double Dot(D a, D b) {
    return a.x * b.x + a.y * b.y;
}

double Square(double r) {
    return r * r;
}

// Whether point p, in a line with segment a-b, lies on it, ends included.
bool Within(glm::vec2 p, glm::vec2 a, glm::vec2 b) {
    if (a == b)
        return p == a;
    const double along = Dot(Sub(p, a), Sub(b, a));
    return along >= 0 && along <= Dot(Sub(b, a), Sub(b, a));
}

} // namespace

bool PointInCircle(glm::vec2 point, glm::vec2 center, float radius) {
    const D d = Sub(point, center);
    return radius > 0 && Dot(d, d) < Square(radius);
}

bool Circles(glm::vec2 center1, float radius1, glm::vec2 center2, float radius2) {
    const D d = Sub(center1, center2);
    return radius1 > 0 && radius2 > 0 && Dot(d, d) < Square(double(radius1) + double(radius2));
}

bool CircleRect(glm::vec2 center, float radius, Rectangle rect) {
    if (!(radius > 0) || rect.Empty())
        return false;
    // The rectangle's nearest point to the centre, its right and bottom edges
    // included: a circle reaching past them reaches the points just inside.
    const double x = std::clamp(double(center.x), double(rect.x), double(rect.x) + rect.width);
    const double y = std::clamp(double(center.y), double(rect.y), double(rect.y) + rect.height);
    return Square(center.x - x) + Square(center.y - y) < Square(radius);
}

bool PointInTriangle(glm::vec2 point, glm::vec2 a, glm::vec2 b, glm::vec2 c) {
    const glm::vec2 corners[3] = {a, b, c};
    return PointInPolygon(point, corners);
}

bool PointInPolygon(glm::vec2 point, std::span<const glm::vec2> points) {
    if (points.size() < 3)
        return false;
    // Edges crossed by the ray from point towards +x. An edge counts when it
    // spans the point's row, its top end included and its bottom end not, and
    // passes strictly right of the point: the half-open rule of a rectangle.
    bool in = false;
    for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
        const glm::vec2 a = points[j], b = points[i];
        if ((a.y > point.y) == (b.y > point.y))
            continue;
        // Right of the point: the edge's x at the point's row exceeds point.x,
        // the comparison multiplied out by the edge's height (never 0 here).
        const double cross = Cross(Sub(b, a), Sub(point, a));
        if (b.y > a.y ? cross > 0 : cross < 0)
            in = !in;
    }
    return in;
}

std::optional<glm::vec2> Segments(glm::vec2 a1, glm::vec2 a2, glm::vec2 b1, glm::vec2 b2) {
    // An end at infinity would make the point infinity over infinity.
    for (glm::vec2 p : {a1, a2, b1, b2})
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return std::nullopt;
    const D r = Sub(a2, a1), s = Sub(b2, b1), q = Sub(b1, a1);
    const double den = Cross(r, s);
    if (den != 0) {
        // a1 + t r = b1 + u s, both t and u in [0, 1]: compared multiplied out.
        const double t = Cross(q, s), u = Cross(q, r);
        const bool onA = den > 0 ? t >= 0 && t <= den : t <= 0 && t >= den;
        const bool onB = den > 0 ? u >= 0 && u <= den : u <= 0 && u >= den;
        if (!onA || !onB)
            return std::nullopt;
        // One rounding, in the division: a whole point comes out whole.
        return glm::vec2(float((double(a1.x) * den + r.x * t) / den),
                         float((double(a1.y) * den + r.y * t) / den));
    }
    // Parallel, or one of them a point: nothing unless all four lie in a line.
    if (Cross(r, q) != 0 || Cross(s, q) != 0)
        return std::nullopt;
    if (Within(a1, b1, b2))
        return a1;
    // Past a1 along a, the first of b's ends that lies on a is the nearest
    // shared point: the overlap starts there.
    const bool on1 = Within(b1, a1, a2), on2 = Within(b2, a1, a2);
    if (on1 && on2)
        return Dot(Sub(b1, a1), r) <= Dot(Sub(b2, a1), r) ? b1 : b2;
    if (on1)
        return b1;
    if (on2)
        return b2;
    return std::nullopt;
}

} // namespace Engine::Overlap

// Drawing for the asset generators: shapes as signed distance functions in pixel units (negative
// inside), so antialiasing, outlines and clipping all come from the same number, painted onto a
// canvas that writes PNG files.
//
// The generators' output must be byte-for-byte reproducible, so nothing here reads the clock or
// the C library's random numbers, and sine is computed with plain arithmetic rather than libm,
// whose last bit may differ between builds.

#pragma once

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Draw {
inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

// ---------------------------------------------------------------------------------------------
// Maths

struct Vec2 {
    double x = 0, y = 0;
};

inline Vec2 operator+(Vec2 a, Vec2 b) {
    return {a.x + b.x, a.y + b.y};
}
inline Vec2 operator-(Vec2 a, Vec2 b) {
    return {a.x - b.x, a.y - b.y};
}
inline Vec2 operator*(Vec2 a, double s) {
    return {a.x * s, a.y * s};
}
inline double Dot(Vec2 a, Vec2 b) {
    return a.x * b.x + a.y * b.y;
}
inline double Length(Vec2 a) {
    return std::sqrt(Dot(a, a));
}
inline Vec2 Lerp(Vec2 a, Vec2 b, double t) {
    return a + (b - a) * t;
}

inline double Clamp(double v, double lo, double hi) {
    return std::min(std::max(v, lo), hi);
}
inline double Mix(double a, double b, double t) {
    return a + (b - a) * t;
}
inline double SmoothStep(double e0, double e1, double v) {
    const double t = Clamp((v - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

inline double Sin(double x) {
    x -= kTwoPi * std::floor(x / kTwoPi + 0.5);
    if (x > kPi / 2)
        x = kPi - x;
    else if (x < -kPi / 2)
        x = -kPi - x;
    // Taylor series to x^19: below 1e-13 on [-pi/2, pi/2].
    const double x2 = x * x;
    double term = x, sum = x;
    for (int n = 1; n <= 9; ++n) {
        term *= -x2 / double((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}
inline double Cos(double x) {
    return Sin(x + kPi / 2);
}

inline Vec2 Rotate(Vec2 v, double angle) {
    const double c = Cos(angle), s = Sin(angle);
    return {v.x * c - v.y * s, v.x * s + v.y * c};
}

// splitmix64: a fixed seed gives the same sequence on every machine.
class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(seed) {}
    double Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return double(z >> 11) / double(1ull << 53);
    }
    double Range(double lo, double hi) { return lo + (hi - lo) * Next(); }

private:
    uint64_t m_state;
};

inline double Hash01(int x, int y, uint32_t seed) {
    uint32_t h = seed ^ (uint32_t(x) * 0x27D4EB2Du) ^ (uint32_t(y) * 0x165667B1u);
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return double(h >> 8) / 16777216.0;
}

// Value noise in [0, 1] that repeats every `period` pixels, so textures built on it tile.
inline double Noise(Vec2 p, int cells, int period, uint32_t seed) {
    const double size = double(period) / cells;
    const double fx = p.x / size, fy = p.y / size;
    const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
    const double tx = SmoothStep(0, 1, fx - ix), ty = SmoothStep(0, 1, fy - iy);
    auto at = [&](int x, int y) {
        return Hash01(((x % cells) + cells) % cells, ((y % cells) + cells) % cells, seed);
    };
    return Mix(Mix(at(ix, iy), at(ix + 1, iy), tx), Mix(at(ix, iy + 1), at(ix + 1, iy + 1), tx),
               ty);
}

inline double Fractal(Vec2 p, int period, uint32_t seed) {
    return 0.55 * Noise(p, 4, period, seed) + 0.3 * Noise(p, 8, period, seed + 1) +
           0.15 * Noise(p, 16, period, seed + 2);
}

// ---------------------------------------------------------------------------------------------
// Colours: straight alpha, components in [0, 1].

struct Color {
    double r = 0, g = 0, b = 0, a = 1;
};

inline Color Rgb(int r, int g, int b, double a = 1.0) {
    return {r / 255.0, g / 255.0, b / 255.0, a};
}
inline Color Mix(Color c, Color d, double t) {
    return {Mix(c.r, d.r, t), Mix(c.g, d.g, t), Mix(c.b, d.b, t), Mix(c.a, d.a, t)};
}
inline Color Shade(Color c, double f) {
    return {c.r * f, c.g * f, c.b * f, c.a};
}

inline const Color kInk = Rgb(22, 22, 30);

// ---------------------------------------------------------------------------------------------
// Shapes

using Shape = std::function<double(Vec2)>;
using Paint = std::function<Color(Vec2)>;

inline Shape Circle(Vec2 c, double r) {
    return [=](Vec2 p) { return Length(p - c) - r; };
}

inline Shape Ellipse(Vec2 c, Vec2 r) {
    return [=](Vec2 p) {
        const Vec2 q = p - c;
        const double k0 = Length({q.x / r.x, q.y / r.y});
        const double k1 = Length({q.x / (r.x * r.x), q.y / (r.y * r.y)});
        if (k1 == 0)
            return -std::min(r.x, r.y);
        return k0 * (k0 - 1.0) / k1;
    };
}

inline Shape Box(Vec2 lo, Vec2 hi, double radius = 0) {
    const Vec2 c = (lo + hi) * 0.5, half = (hi - lo) * 0.5;
    return [=](Vec2 p) {
        const double qx = std::abs(p.x - c.x) - half.x + radius;
        const double qy = std::abs(p.y - c.y) - half.y + radius;
        const double out = Length({std::max(qx, 0.0), std::max(qy, 0.0)});
        return out + std::min(std::max(qx, qy), 0.0) - radius;
    };
}

inline Shape Segment(Vec2 a, Vec2 b, double radius) {
    return [=](Vec2 p) {
        const Vec2 pa = p - a, ba = b - a;
        const double h = Clamp(Dot(pa, ba) / Dot(ba, ba), 0.0, 1.0);
        return Length(pa - ba * h) - radius;
    };
}

inline Shape Polygon(std::vector<Vec2> v) {
    return [v = std::move(v)](Vec2 p) {
        double d = Dot(p - v[0], p - v[0]);
        double sign = 1.0;
        for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            const Vec2 e = v[j] - v[i], w = p - v[i];
            const Vec2 b = w - e * Clamp(Dot(w, e) / Dot(e, e), 0.0, 1.0);
            d = std::min(d, Dot(b, b));
            const bool c1 = p.y >= v[i].y, c2 = p.y<v[j].y, c3 = e.x * w.y> e.y * w.x;
            if ((c1 && c2 && c3) || (!c1 && !c2 && !c3))
                sign = -sign;
        }
        return sign * std::sqrt(d);
    };
}

// A chain of segments of one thickness; used for strokes.
inline Shape Polyline(std::vector<Vec2> v, double radius) {
    return [v = std::move(v), radius](Vec2 p) {
        double d = 1e9;
        for (size_t i = 0; i + 1 < v.size(); ++i)
            d = std::min(d, Segment(v[i], v[i + 1], radius)(p));
        return d;
    };
}

inline Shape Union(Shape a, Shape b) {
    return [=](Vec2 p) { return std::min(a(p), b(p)); };
}
inline Shape Intersect(Shape a, Shape b) {
    return [=](Vec2 p) { return std::max(a(p), b(p)); };
}
inline Shape Subtract(Shape a, Shape b) {
    return [=](Vec2 p) { return std::max(a(p), -b(p)); };
}
inline Shape Grow(Shape a, double by) {
    return [=](Vec2 p) { return a(p) - by; };
}

// Rotates the shape by `angle` about `pivot`, then moves it by `offset`.
inline Shape Placed(Shape s, Vec2 offset, double angle, Vec2 pivot) {
    return [=](Vec2 p) { return s(Rotate(p - offset - pivot, -angle) + pivot); };
}

// Points along a quadratic or cubic Bezier curve, both ends included.
inline std::vector<Vec2> Bezier(Vec2 a, Vec2 c, Vec2 b, int steps) {
    std::vector<Vec2> out;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        out.push_back(Lerp(Lerp(a, c, t), Lerp(c, b, t), t));
    }
    return out;
}
inline std::vector<Vec2> Bezier(Vec2 a, Vec2 c1, Vec2 c2, Vec2 b, int steps) {
    std::vector<Vec2> out;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const Vec2 ab = Lerp(a, c1, t), bc = Lerp(c1, c2, t), cd = Lerp(c2, b, t);
        out.push_back(Lerp(Lerp(ab, bc, t), Lerp(bc, cd, t), t));
    }
    return out;
}
// The height of a left-to-right curve at x, linearly between its points.
inline double CurveY(const std::vector<Vec2>& curve, double x) {
    if (x <= curve.front().x)
        return curve.front().y;
    for (size_t i = 1; i < curve.size(); ++i)
        if (x <= curve[i].x)
            return Mix(curve[i - 1].y, curve[i].y,
                       (x - curve[i - 1].x) / (curve[i].x - curve[i - 1].x));
    return curve.back().y;
}

// Appends `more` to `path`, dropping its first point when it repeats the path's last one.
inline void Append(std::vector<Vec2>& path, const std::vector<Vec2>& more) {
    size_t start = 0;
    if (!path.empty() && !more.empty() && Length(path.back() - more.front()) < 1e-9)
        start = 1;
    path.insert(path.end(), more.begin() + start, more.end());
}

// ---------------------------------------------------------------------------------------------
// Canvas: premultiplied RGBA. A wrapping canvas draws every shape as if the picture repeated
// along that axis, which makes tiles seamless by construction.

class Canvas {
public:
    Canvas(int w, int h, bool wrapX = false, bool wrapY = false)
        : m_w(w), m_h(h), m_wrapX(wrapX), m_wrapY(wrapY), m_px(size_t(w * h), Color{0, 0, 0, 0}) {}

    void SetWrap(bool wrapX, bool wrapY) {
        m_wrapX = wrapX;
        m_wrapY = wrapY;
    }

    int Width() const { return m_w; }
    int Height() const { return m_h; }

    void Fill(const Shape& shape, const Paint& paint) {
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) {
                Vec2 p{x + 0.5, y + 0.5};
                double d = shape(p);
                const Vec2 here = p;
                for (int oy = m_wrapY ? -1 : 0; oy <= (m_wrapY ? 1 : 0); ++oy)
                    for (int ox = m_wrapX ? -1 : 0; ox <= (m_wrapX ? 1 : 0); ++ox) {
                        if (ox == 0 && oy == 0)
                            continue;
                        const Vec2 q{here.x + ox * m_w, here.y + oy * m_h};
                        const double dq = shape(q);
                        if (dq < d) {
                            d = dq;
                            p = q;
                        }
                    }
                const double coverage = Clamp(0.5 - d, 0.0, 1.0);
                if (coverage > 0)
                    Blend(x, y, paint(p), coverage);
            }
    }
    void Fill(const Shape& shape, Color c) {
        Fill(shape, [c](Vec2) { return c; });
    }
    // A shape with a dark rim of `width` pixels around it.
    void Outlined(const Shape& shape, const Paint& paint, double width = 1.0, Color rim = kInk) {
        Fill(Grow(shape, width), rim);
        Fill(shape, paint);
    }
    void Outlined(const Shape& shape, Color c, double width = 1.0, Color rim = kInk) {
        Outlined(
            shape, [c](Vec2) { return c; }, width, rim);
    }

    void Blit(const Canvas& src, int dx, int dy) {
        for (int y = 0; y < src.m_h; ++y)
            for (int x = 0; x < src.m_w; ++x)
                m_px[size_t((dy + y) * m_w + dx + x)] = src.m_px[size_t(y * src.m_w + x)];
    }

    // 8-bit straight-alpha RGBA. Fully transparent pixels carry the outline colour, so a
    // filtered edge darkens into the rim instead of fringing to black or white.
    std::vector<unsigned char> Bytes() const {
        std::vector<unsigned char> out;
        out.reserve(m_px.size() * 4);
        auto byte = [](double v) {
            return (unsigned char)std::floor(Clamp(v, 0, 1) * 255.0 + 0.5);
        };
        for (const Color& c : m_px) {
            const unsigned char a = byte(c.a);
            if (a == 0) {
                out.insert(out.end(), {byte(kInk.r), byte(kInk.g), byte(kInk.b), 0});
                continue;
            }
            out.insert(out.end(), {byte(c.r / c.a), byte(c.g / c.a), byte(c.b / c.a), a});
        }
        return out;
    }

private:
    void Blend(int x, int y, Color c, double coverage) {
        Color& d = m_px[size_t(y * m_w + x)];
        const double a = Clamp(c.a * coverage, 0.0, 1.0);
        d.r = c.r * a + d.r * (1 - a);
        d.g = c.g * a + d.g * (1 - a);
        d.b = c.b * a + d.b * (1 - a);
        d.a = a + d.a * (1 - a);
    }

    int m_w, m_h;
    bool m_wrapX, m_wrapY;
    std::vector<Color> m_px;
};

// Everything: a shape for filling a whole canvas.
inline const Shape kEverywhere = [](Vec2) { return -1e9; };

// Lit top-left rim and shaded bottom-right rim of a shape, as in a bevelled block.
inline void Bevel(Canvas& c, const Shape& s, double width, Color light, Color dark) {
    c.Fill(Subtract(s, Placed(s, {width, width}, 0, {})), light);
    c.Fill(Subtract(s, Placed(s, {-width, -width}, 0, {})), dark);
}

inline bool WritePng(const std::string& path, const Canvas& c) {
    const std::vector<unsigned char> bytes = c.Bytes();
    return stbi_write_png(path.c_str(), c.Width(), c.Height(), 4, bytes.data(), c.Width() * 4) != 0;
}

} // namespace Draw

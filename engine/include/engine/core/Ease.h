#pragma once

#include <cmath>
#include <numbers>

/// Easing curves: each takes t, the share of the way gone (clamped to 0..1,
/// NaN read as 0), and gives how far along the eased value is, 0 at t = 0 and
/// 1 at t = 1. In starts slowly, Out ends slowly, InOut does both. Back
/// overshoots (below 0 for In, past 1 for Out) and Elastic swings about its
/// end; Bounce bounces, so only Linear, Sine, Quad and Cubic never turn back.
///
///     x = start + (end - start) * Ease::CubicOut(elapsed / duration);
namespace Engine::Ease {

/// t held within 0..1; NaN gives 0.
constexpr float Clamp(float t) {
    return t > 0.0f ? (t < 1.0f ? t : 1.0f) : 0.0f;
}

/// t itself: no easing.
constexpr float Linear(float t) {
    return Clamp(t);
}

/// A quarter of a cosine: starts slowly.
inline float SineIn(float t) {
    return 1.0f - std::cos(Clamp(t) * std::numbers::pi_v<float> / 2);
}
/// A quarter of a sine: ends slowly.
inline float SineOut(float t) {
    return std::sin(Clamp(t) * std::numbers::pi_v<float> / 2);
}
/// Half a cosine: slow at both ends.
inline float SineInOut(float t) {
    return (1.0f - std::cos(Clamp(t) * std::numbers::pi_v<float>)) / 2;
}

/// t squared.
constexpr float QuadIn(float t) {
    t = Clamp(t);
    return t * t;
}
/// QuadIn mirrored: fast at first.
constexpr float QuadOut(float t) {
    t = 1.0f - Clamp(t);
    return 1.0f - t * t;
}
/// QuadIn for the first half, QuadOut for the second.
constexpr float QuadInOut(float t) {
    t = Clamp(t);
    const float u = 2.0f - 2.0f * t;
    return t < 0.5f ? 2.0f * t * t : 1.0f - u * u / 2;
}

/// t cubed.
constexpr float CubicIn(float t) {
    t = Clamp(t);
    return t * t * t;
}
/// CubicIn mirrored.
constexpr float CubicOut(float t) {
    t = 1.0f - Clamp(t);
    return 1.0f - t * t * t;
}
/// CubicIn for the first half, CubicOut for the second.
constexpr float CubicInOut(float t) {
    t = Clamp(t);
    const float u = 2.0f - 2.0f * t;
    return t < 0.5f ? 4.0f * t * t * t : 1.0f - u * u * u / 2;
}

/// How far Back overshoots: about a tenth of the way.
inline constexpr float BACK_OVERSHOOT = 1.70158f;

/// Draws back below 0 first, then goes.
constexpr float BackIn(float t) {
    t = Clamp(t);
    return t * t * ((BACK_OVERSHOOT + 1.0f) * t - BACK_OVERSHOOT);
}
/// Goes past 1, then comes back to it.
constexpr float BackOut(float t) {
    return 1.0f - BackIn(1.0f - Clamp(t));
}
/// Back at both ends, overshooting a little more.
constexpr float BackInOut(float t) {
    t = Clamp(t);
    constexpr float s = BACK_OVERSHOOT * 1.525f;
    if (t < 0.5f) {
        const float u = 2.0f * t;
        return u * u * ((s + 1.0f) * u - s) / 2;
    }
    const float u = 2.0f * t - 2.0f;
    return (u * u * ((s + 1.0f) * u + s) + 2.0f) / 2;
}

/// Swings about 0 more and more widely, then lets go towards 1.
inline float ElasticIn(float t) {
    t = Clamp(t);
    if (t == 0.0f || t == 1.0f)
        return t;
    constexpr float turn = 2.0f * std::numbers::pi_v<float> / 3.0f;
    return -std::exp2(10.0f * t - 10.0f) * std::sin((10.0f * t - 10.75f) * turn);
}
/// Shoots past 1 and swings about it, less and less.
inline float ElasticOut(float t) {
    return 1.0f - ElasticIn(1.0f - Clamp(t));
}
/// ElasticIn for the first half, ElasticOut for the second.
inline float ElasticInOut(float t) {
    t = Clamp(t);
    if (t == 0.0f || t == 1.0f)
        return t;
    constexpr float turn = 2.0f * std::numbers::pi_v<float> / 4.5f;
    const float swing = std::sin((20.0f * t - 11.125f) * turn);
    return t < 0.5f ? -std::exp2(20.0f * t - 10.0f) * swing / 2
                    : std::exp2(10.0f - 20.0f * t) * swing / 2 + 1.0f;
}

/// Falls to 1 and bounces on it three times, lower each time.
constexpr float BounceOut(float t) {
    t = Clamp(t);
    // Four parabolas of one curvature, each bounce a quarter the height of the last.
    constexpr float k = 7.5625f, d = 2.75f;
    if (t < 1.0f / d)
        return k * t * t;
    if (t < 2.0f / d) {
        t -= 1.5f / d;
        return k * t * t + 0.75f;
    }
    if (t < 2.5f / d) {
        t -= 2.25f / d;
        return k * t * t + 0.9375f;
    }
    t -= 2.625f / d;
    return k * t * t + 0.984375f;
}
/// BounceOut backwards: bounces on 0, higher each time, then goes.
constexpr float BounceIn(float t) {
    return 1.0f - BounceOut(1.0f - Clamp(t));
}
/// BounceIn for the first half, BounceOut for the second.
constexpr float BounceInOut(float t) {
    t = Clamp(t);
    return t < 0.5f ? (1.0f - BounceOut(1.0f - 2.0f * t)) / 2
                    : (1.0f + BounceOut(2.0f * t - 1.0f)) / 2;
}

} // namespace Engine::Ease

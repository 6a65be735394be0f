// Easing curves: their ends, a value inside each, and which never turn back.

#include <gtest/gtest.h>

#include <engine/core/Ease.h>

using namespace Engine;

static_assert(Ease::CubicInOut(0.25f) == 0.0625f, "usable in constant expressions");

TEST(Ease, EndsMidpointsAndMonotonicity) {
    struct Curve {
        const char* name;
        float (*f)(float);
        float half; // at t = 0.5, worked out by hand
        bool monotonic;
    };
    const Curve curves[] = {
        {"Linear", Ease::Linear, 0.5f, true},
        {"SineIn", Ease::SineIn, 0.2928932f, true},
        {"SineOut", Ease::SineOut, 0.7071068f, true},
        {"SineInOut", Ease::SineInOut, 0.5f, true},
        {"QuadIn", Ease::QuadIn, 0.25f, true},
        {"QuadOut", Ease::QuadOut, 0.75f, true},
        {"QuadInOut", Ease::QuadInOut, 0.5f, true},
        {"CubicIn", Ease::CubicIn, 0.125f, true},
        {"CubicOut", Ease::CubicOut, 0.875f, true},
        {"CubicInOut", Ease::CubicInOut, 0.5f, true},
        {"BackIn", Ease::BackIn, -0.0876975f, false},
        {"BackOut", Ease::BackOut, 1.0876975f, false},
        {"BackInOut", Ease::BackInOut, 0.5f, false},
        {"ElasticIn", Ease::ElasticIn, -0.015625f, false},
        {"ElasticOut", Ease::ElasticOut, 1.015625f, false},
        {"ElasticInOut", Ease::ElasticInOut, 0.5f, false},
        {"BounceIn", Ease::BounceIn, 0.234375f, false},
        {"BounceOut", Ease::BounceOut, 0.765625f, false},
        {"BounceInOut", Ease::BounceInOut, 0.5f, false},
    };
    for (const Curve& c : curves) {
        // Outside 0..1 (and NaN) t is held at the nearer end.
        for (float t : {0.0f, -3.0f, std::nanf("")})
            EXPECT_NEAR(c.f(t), 0.0f, 1e-6f) << c.name << " at " << t;
        for (float t : {1.0f, 7.0f})
            EXPECT_NEAR(c.f(t), 1.0f, 1e-6f) << c.name << " at " << t;
        EXPECT_NEAR(c.f(0.5f), c.half, 1e-6f) << c.name;
        // The overshooting and bouncing ones must turn back somewhere.
        bool rising = true;
        for (int i = 0; i < 1000; ++i)
            rising = rising && c.f(float(i + 1) / 1000) >= c.f(float(i) / 1000);
        EXPECT_EQ(rising, c.monotonic) << c.name;
    }
}

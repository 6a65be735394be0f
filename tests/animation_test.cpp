#include <gtest/gtest.h>

#include "Animation.h"
#include "ECS.h"
#include "RenderImages.h"
#include "Time.h"

using namespace Engine;
using EngineTest::FakeSheet;

namespace {

class AnimationTest : public ::testing::Test {
protected:
    void SetUp() override { Time::dt = 0.01; }
    void TearDown() override { Time::dt = 0.0; }

    static Animation Make(float w, float h) {
        return Animation(CreateRef<FakeSheet>(w, h), 64, 64);
    }
};

} // namespace

TEST_F(AnimationTest, StartsOnTheFirstFrame) {
    Animation a = Make(256, 64);
    ASSERT_EQ(a.lookup.size(), 4u);
    EXPECT_EQ(a.m_currentFrame, 0);
    EXPECT_EQ(a.tex, a.lookup[0]);
    EXPECT_FLOAT_EQ(a.spf, 0.1f);
    EXPECT_FLOAT_EQ(a.time, 0.0f);
}

TEST_F(AnimationTest, ChangesFrameOnThe11thUpdateAndEveryTenAfter) {
    Animation a = Make(256, 64);
    std::vector<int> changes; // update numbers at which the frame changed
    int last = 0;
    for (int update = 1; update <= 41; ++update) {
        a.Update();
        if (a.m_currentFrame != last)
            changes.push_back(update);
        last = a.m_currentFrame;
        EXPECT_EQ(a.tex, a.lookup[static_cast<size_t>(a.m_currentFrame)]);
    }
    EXPECT_EQ(changes, (std::vector<int>{11, 21, 31, 41}));
    EXPECT_EQ(a.m_currentFrame, 0); // wrapped after frame 3
}

TEST_F(AnimationTest, LongStepsAdvanceOneFrameAndKeepTheExcess) {
    Animation a = Make(256, 64);
    Time::dt = 0.25;
    a.Update();
    EXPECT_EQ(a.m_currentFrame, 1);
    EXPECT_NEAR(a.time, 0.15f, 1e-6);
    a.Update();
    EXPECT_EQ(a.m_currentFrame, 2);
    EXPECT_NEAR(a.time, 0.3f, 1e-6);
}

TEST_F(AnimationTest, OneFrameSheetStaysOnFrameZero) {
    Animation a = Make(64, 64);
    ASSERT_EQ(a.lookup.size(), 1u);
    for (int i = 0; i < 25; ++i) {
        a.Update();
        EXPECT_EQ(a.m_currentFrame, 0);
        EXPECT_EQ(a.tex, a.lookup[0]);
    }
}

TEST_F(AnimationTest, CopiesRunIndependentlyAndShareTheFrames) {
    Animation a = Make(256, 64);
    for (int i = 0; i < 15; ++i)
        a.Update();
    Animation b = a;
    EXPECT_EQ(b.m_currentFrame, 1);
    EXPECT_FLOAT_EQ(b.time, a.time);
    EXPECT_EQ(b.lookup[2], a.lookup[2]);
    EXPECT_EQ(b.mainTex, a.mainTex);
    for (int i = 0; i < 10; ++i)
        b.Update();
    EXPECT_EQ(b.m_currentFrame, 2);
    EXPECT_EQ(a.m_currentFrame, 1);
}

TEST_F(AnimationTest, SheetWithoutAWholeFrameWarnsOnceAndDrawsNothing) {
    testing::internal::CaptureStderr();
    Animation a = Make(32, 64);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("ANIMATION: "), std::string::npos) << err;
    EXPECT_EQ(err.find("ANIMATION: ", err.find("ANIMATION: ") + 1), std::string::npos) << err;
    EXPECT_TRUE(a.lookup.empty());
    EXPECT_EQ(a.tex, nullptr);
    testing::internal::CaptureStderr();
    for (int i = 0; i < 30; ++i)
        a.Update();
    a.Render(nullptr, glm::mat4(1.0f)); // nothing to draw, so no GL and no shader
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(a.m_currentFrame, 0);
    EXPECT_EQ(a.tex, nullptr);

    // A non-positive frame size is the same case.
    testing::internal::CaptureStderr();
    Animation zero(CreateRef<FakeSheet>(64.0f, 64.0f), 0, 64);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(zero.lookup.empty());
}

TEST_F(AnimationTest, UpdaterAdvancesOnlyAnimatedEntities) {
    ECS::Get().Reset();
    ECS::Get().RegisterComponent<Animation>();
    EntityID e = ECS::Get().CreateEntity();
    ECS::Get().AddComponent<Animation>(e, Make(128, 64));
    auto updater = CreateRef<AnimationUpdater>();
    ECS::Get().RegisterSystem(updater);
    for (int i = 0; i < 11; ++i)
        ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Animation>());
    EXPECT_EQ(ECS::Get().GetComponent<Animation>(e)->m_currentFrame, 1);
    ECS::Get().Reset();
}

#include <gtest/gtest.h>

#include <engine/core/Time.h>
#include <engine/render/Animation.h>

#include "support/RenderImages.h"

using namespace Engine;

namespace {

class AnimationTest : public ::testing::Test {
protected:
    void SetUp() override { Time::dt = 0.01; }
    void TearDown() override { Time::dt = 0.0; }

    static Animation Make(float w, float h, int frame = 64) {
        return Animation(CreateRef<EngineTest::FakeSheet>(w, h), frame, frame);
    }
};

} // namespace

TEST_F(AnimationTest, ChangesFrameOnThe11thUpdateAndEveryTenAfter) {
    Animation a = Make(256, 64);
    ASSERT_EQ(a.lookup.size(), 4u);
    EXPECT_EQ(a.tex, a.lookup[0]);
    std::vector<int> changes;
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

TEST_F(AnimationTest, LongStepsAdvanceOneFrameAndOneFrameSheetsStay) {
    Animation a = Make(256, 64), single = Make(64, 64);
    Time::dt = 0.25;
    a.Update();
    a.Update();
    EXPECT_EQ(a.m_currentFrame, 2);
    EXPECT_NEAR(a.time, 0.3f, 1e-6); // the excess is kept
    for (int i = 0; i < 5; ++i)
        single.Update();
    EXPECT_EQ(single.m_currentFrame, 0);
    EXPECT_EQ(single.tex, single.lookup[0]);

    // A frame set by hand outside the sheet is drawn as the first, not read
    // past the frames (the sheet has no GL image: nothing reaches GL).
    for (int32_t outside : {4, 100, -1}) {
        a.m_currentFrame = outside;
        a.Render(nullptr, glm::mat4(1.0f));
        EXPECT_EQ(a.m_currentFrame, 0) << outside;
        EXPECT_EQ(a.tex, a.lookup[0]) << outside;
    }
}

TEST_F(AnimationTest, SheetWithoutAWholeFrameWarnsOnceAndDrawsNothing) {
    for (auto [w, frame] : {std::pair{32.0f, 64}, std::pair{64.0f, 0}}) {
        testing::internal::CaptureStderr();
        Animation a = Make(w, 64, frame);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("ANIMATION: "), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(a.tex, nullptr);

        testing::internal::CaptureStderr();
        for (int i = 0; i < 30; ++i)
            a.Update();
        a.Render(nullptr, glm::mat4(1.0f)); // nothing to draw: no GL, no shader needed
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(a.m_currentFrame, 0);
        EXPECT_EQ(a.tex, nullptr);
    }
}

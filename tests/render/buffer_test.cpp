#include <gtest/gtest.h>

#include <engine/render/Buffer.h>

using namespace Engine;

TEST(BufferLayout, ElementsArePackedWithoutPadding) {
    BufferLayout quad{{ShaderDataType::Float3, "a_Position", false},
                      {ShaderDataType::Float2, "a_TexCoord", false}};
    const auto& e = quad.GetElements();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(quad.GetStride(), 20u);
    EXPECT_EQ(e[0].offset, 0u);
    EXPECT_EQ(e[0].GetComponentCount(), 3u);
    EXPECT_EQ(e[1].offset, 12u);
    EXPECT_EQ(e[1].GetComponentCount(), 2u);

    BufferLayout mixed{{ShaderDataType::Bool, "b"}, {ShaderDataType::Mat4, "m"}};
    EXPECT_EQ(mixed.GetElements()[0].size, 1u);
    EXPECT_EQ(mixed.GetElements()[0].GetComponentCount(), 1u);
    EXPECT_EQ(mixed.GetElements()[1].offset, 1u);
    EXPECT_EQ(mixed.GetElements()[1].GetComponentCount(), 16u);
    EXPECT_EQ(mixed.GetStride(), 65u);

    BufferLayout empty{};
    EXPECT_EQ(empty.GetStride(), 0u);
    EXPECT_TRUE(empty.GetElements().empty());
}

TEST(BufferLayout, UnknownTypeWarnsAndTakesNoSpace) {
    for (ShaderDataType type : {ShaderDataType::None, static_cast<ShaderDataType>(42)}) {
        BufferElement e(type, "nothing");
        EXPECT_EQ(e.size, 0u);
        testing::internal::CaptureStderr();
        EXPECT_EQ(e.GetComponentCount(), 0u);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("BUFFER ELEMENTS: Unknown ShaderDataType"), std::string::npos) << err;
    }
    BufferLayout layout{{ShaderDataType::None, "n"}, {ShaderDataType::Float2, "uv"}};
    EXPECT_EQ(layout.GetElements()[1].offset, 0u);
    EXPECT_EQ(layout.GetStride(), 8u);
}

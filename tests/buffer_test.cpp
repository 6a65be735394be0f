#include <gtest/gtest.h>

#include "Buffer.h"
#include "BufferUtil.h"
#include "Renderer.h"

using namespace Engine;

TEST(BufferLayout, QuadLayoutIsPackedFloat3ThenFloat2) {
    BufferLayout layout{{ShaderDataType::Float3, "a_Position", false},
                        {ShaderDataType::Float2, "a_TexCoord", false}};
    ASSERT_EQ(layout.GetElements().size(), 2u);
    EXPECT_EQ(layout.GetStride(), 20u);
    const auto& e = layout.GetElements();
    EXPECT_EQ(e[0].name, "a_Position");
    EXPECT_EQ(e[0].offset, 0u);
    EXPECT_EQ(e[0].size, 12u);
    EXPECT_EQ(e[0].GetComponentCount(), 3u);
    EXPECT_EQ(e[1].offset, 12u);
    EXPECT_EQ(e[1].size, 8u);
    EXPECT_EQ(e[1].GetComponentCount(), 2u);

    // Copies are independent of their source.
    BufferLayout copy = layout;
    for (BufferElement& element : layout)
        element.offset = 99;
    EXPECT_EQ(copy.GetElements()[1].offset, 12u);
    EXPECT_EQ(copy.GetStride(), 20u);
}

TEST(BufferLayout, EmptyAndUnpaddedLayouts) {
    BufferLayout empty{};
    EXPECT_EQ(empty.GetStride(), 0u);
    EXPECT_TRUE(empty.GetElements().empty());
    EXPECT_EQ(BufferLayout().GetStride(), 0u);

    // No alignment padding: a one-byte Bool puts the next element at 1.
    BufferLayout mixed{{ShaderDataType::Bool, "b"}, {ShaderDataType::Float, "f"}};
    EXPECT_EQ(mixed.GetElements()[1].offset, 1u);
    EXPECT_EQ(mixed.GetStride(), 5u);
}

TEST(BufferElement, SizesAndComponentCounts) {
    struct Case {
        ShaderDataType type;
        uint32_t size, count;
    } cases[] = {
        {ShaderDataType::Float, 4, 1}, {ShaderDataType::Float4, 16, 4},
        {ShaderDataType::Mat3, 36, 9}, {ShaderDataType::Mat4, 64, 16},
        {ShaderDataType::Int3, 12, 3}, {ShaderDataType::Bool, 1, 1},
    };
    for (const Case& c : cases) {
        BufferElement e(c.type, "x", true);
        EXPECT_EQ(e.size, c.size) << int(c.type);
        EXPECT_EQ(e.GetComponentCount(), c.count) << int(c.type);
        EXPECT_TRUE(e.normalized);
        EXPECT_EQ(e.offset, 0u);
    }
}

TEST(BufferElement, UnknownTypeWarnsAndCountsZero) {
    for (ShaderDataType type : {ShaderDataType::None, static_cast<ShaderDataType>(42)}) {
        BufferElement e(type, "nothing");
        EXPECT_EQ(e.size, 0u);
        testing::internal::CaptureStderr();
        EXPECT_EQ(e.GetComponentCount(), 0u);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("BUFFER ELEMENTS: Unknown ShaderDataType"), std::string::npos) << err;
    }
    // The layout still builds around it.
    BufferLayout layout{{ShaderDataType::None, "n"}, {ShaderDataType::Float2, "uv"}};
    EXPECT_EQ(layout.GetElements()[1].offset, 0u);
    EXPECT_EQ(layout.GetStride(), 8u);
}

TEST(BufferUtil, NoBuffersWithoutARenderApi) {
    Renderer::API saved = Renderer::s_API;
    Renderer::s_API = Renderer::API::None;
    EXPECT_EQ(BufferUtil::createVertexBuffer(), nullptr);
    EXPECT_EQ(BufferUtil::createIndexBuffer(), nullptr);
    Renderer::s_API = saved;
}

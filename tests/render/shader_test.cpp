#include <gtest/gtest.h>

#include <sstream>

#include <engine/render/Shader.h>

using namespace Engine;

namespace {
ShaderSources Split(const std::string& text) {
    std::istringstream in(text);
    return SplitShaderSource(in);
}
} // namespace

TEST(SplitShaderSource, DirectivesSelectTheStageAndAreDropped) {
    ShaderSources s = Split("#shader vertex\na1\na2\na3\n#shader fragment\nb1\nb2");
    EXPECT_EQ(s.vertex, "a1\na2\na3\n");
    EXPECT_EQ(s.fragment, "b1\nb2\n");

    // Neither word: the current stage carries on.
    s = Split("#shader vertex\nv1\n#shader geometry\nv2\n");
    EXPECT_EQ(s.vertex, "v1\nv2\n");

    // Any line mentioning "#shader" is a directive, a GLSL comment included.
    s = Split("#shader vertex\nv1\n// see #shader fragment below\nf1\n");
    EXPECT_EQ(s.vertex, "v1\n");
    EXPECT_EQ(s.fragment, "f1\n");

    // Trailing text goes with the directive; "vertex" is tested first.
    s = Split("#shader vertex // the fragment comes later\nv1\n");
    EXPECT_EQ(s.vertex, "v1\n");
    EXPECT_EQ(s.fragment, "");

    // Matching is case-sensitive, and a reopened stage is appended to.
    s = Split("#shader vertex\nv1\n#SHADER fragment\n#shader fragment\nf1\n#shader vertex\nv2\n");
    EXPECT_EQ(s.vertex, "v1\n#SHADER fragment\nv2\n");
    EXPECT_EQ(s.fragment, "f1\n");
}

TEST(SplitShaderSource, LinesBeforeTheFirstDirectiveAreDropped) {
    ShaderSources s = Split("// header\n#version 330 core\n#shader vertex\nv1\n");
    EXPECT_EQ(s.vertex, "v1\n");
    EXPECT_EQ(s.fragment, "");
}

TEST(SplitShaderSource, CrlfKeepsCarriageReturns) {
    ShaderSources s = Split("#shader vertex\r\nv1\r\n#shader fragment\r\nf1\r\n");
    EXPECT_EQ(s.vertex, "v1\r\n");
    EXPECT_EQ(s.fragment, "f1\r\n");
}

// As a scene's member made before Engine::Run opens the window: no context
// here, and no GL function loaded either.
TEST(Shader, MadeWithoutAContextWarnsAndHoldsNoProgram) {
    testing::internal::CaptureStderr();
    const Ref<Shader> made = Shader::CreateDefault();
    const Shader fromFile("no/such/file.shader");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(made->GetID(), 0u);
    EXPECT_EQ(fromFile.GetID(), 0u);
    EXPECT_NE(
        err.find("SHADER: No OpenGL context to compile the shader into: engine default shader"),
        std::string::npos)
        << err;
    EXPECT_NE(err.find("SHADER: No OpenGL context to compile the shader into: no/such/file.shader"),
              std::string::npos)
        << err;
}

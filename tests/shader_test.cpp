#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Shader.h"

using namespace Engine;

namespace {
ShaderSources Split(const std::string& text) {
    std::istringstream in(text);
    return SplitShaderSource(in);
}
} // namespace

TEST(SplitShaderSource, TwoStagesWithoutDirectives) {
    ShaderSources s = Split("#shader vertex\na1\na2\na3\n#shader fragment\nb1\nb2\n");
    EXPECT_EQ(s.vertex, "a1\na2\na3\n");
    EXPECT_EQ(s.fragment, "b1\nb2\n");
    // A last line without its line feed still gets one.
    EXPECT_EQ(Split("#shader fragment\nlast").fragment, "last\n");
}

TEST(SplitShaderSource, DirectiveRules) {
    // Neither word: the current stage carries on.
    ShaderSources s = Split("#shader vertex\nv1\n#shader geometry\nv2\n#shader fragment\nf1\n");
    EXPECT_EQ(s.vertex, "v1\nv2\n");
    EXPECT_EQ(s.fragment, "f1\n");

    // Any line mentioning "#shader" is a directive, comments included.
    s = Split("#shader vertex\nv1\n// see #shader fragment below\nf1\n");
    EXPECT_EQ(s.vertex, "v1\n");
    EXPECT_EQ(s.fragment, "f1\n");

    // Trailing text goes with the directive; "vertex" wins over "fragment".
    s = Split("#shader vertex // the fragment comes later\nv1\n");
    EXPECT_EQ(s.vertex, "v1\n");
    EXPECT_EQ(s.fragment, "");

    // Case matters, and a reopened stage is appended to.
    s = Split("#shader vertex\nv1\n#SHADER fragment\nv2\n#shader fragment\nf1\n#shader "
              "vertex\nv3\n");
    EXPECT_EQ(s.vertex, "v1\n#SHADER fragment\nv2\nv3\n");
    EXPECT_EQ(s.fragment, "f1\n");
}

TEST(SplitShaderSource, LinesBeforeTheFirstDirectiveAreDropped) {
    ShaderSources s = Split("// header\n#version 330 core\n#shader vertex\nv1\n");
    EXPECT_EQ(s.vertex, "v1\n");
    EXPECT_EQ(s.fragment, "");
    EXPECT_EQ(Split("").vertex, "");
}

TEST(SplitShaderSource, CrlfKeepsCarriageReturns) {
    ShaderSources s = Split("#shader vertex\r\nv1\r\n#shader fragment\r\nf1\r\n");
    EXPECT_EQ(s.vertex, "v1\r\n");
    EXPECT_EQ(s.fragment, "f1\r\n");
}

TEST(SplitShaderSource, TheGameShaderHasBothStagesAndTheFourUniforms) {
    std::ifstream file("Assets/Shaders/basic.shader");
    ASSERT_TRUE(file) << "run from the repository root";
    ShaderSources s = SplitShaderSource(file);
    EXPECT_NE(s.vertex.find("#version"), std::string::npos);
    EXPECT_NE(s.fragment.find("#version"), std::string::npos);
    EXPECT_NE(s.vertex.find("layout(location = 0) in vec3"), std::string::npos);
    EXPECT_NE(s.vertex.find("layout(location = 1) in vec2"), std::string::npos);
    for (const char* name : {"u_ViewProjection", "u_Transform", "u_texPos", "u_texScale"})
        EXPECT_NE(s.vertex.find(name), std::string::npos) << name;
}

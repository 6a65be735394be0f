#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "Animation.h"
#include "Buffer.h"
#include "Camera.h"
#include "ECS.h"
#include "GLBuffer.h"
#include "GLContext.h"
#include "GLTexture.h"
#include "Mesh.h"
#include "MeshRenderer.h"
#include "RenderImages.h"
#include "Shader.h"
#include "TileMap.h"
#include "Time.h"

using namespace Engine;
using EngineTest::Pixel;
using EngineTest::Rgba;
using Grid = std::vector<std::vector<int>>;

namespace {

const Pixel kBackground{38, 46, 51, 255};
const Pixel kRedPx{255, 0, 0, 255};
const Pixel kGreenPx{0, 255, 0, 255};
const Pixel kBluePx{0, 0, 255, 255};
const Pixel kYellowPx{255, 255, 0, 255};

class DrawTest : public EngineTest::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ren = CreateUni<GLRenderer>();
        Mesh::InitQuad();
        testing::internal::CaptureStderr();
        shader = CreateRef<Shader>("Assets/Shaders/basic.shader");
        shaderLog = testing::internal::GetCapturedStderr();
        Camera::Main().transform.position = {640, 360, 0};
        ECS::Get().Reset();
        ECS::Get().RegisterComponent<Transform>();
        ECS::Get().RegisterComponent<Mesh>();
        ECS::Get().RegisterComponent<TileMap>();
        ECS::Get().RegisterComponent<Animation>();
        meshRenderer = CreateRef<MeshRenderer>(ren, shader);
        ECS::Get().RegisterSystem(meshRenderer);
    }

    void TearDown() override {
        // Everything holding GL objects goes while the context is current.
        ECS::Get().Reset();
        meshRenderer.reset();
        shader.reset();
        Mesh::ReleaseQuad();
        GLTest::TearDown();
    }

    void BeginFrame() {
        ren->SetClearColor(0x262E33);
        ren->Clear();
        meshRenderer->RenderInit(ren);
    }

    EntityID AddSprite(const Ref<Texture>& tex, glm::vec3 pos, glm::vec3 size = {64, 64, 0}) {
        EntityID e = ECS::Get().CreateEntity();
        ECS::Get().AddComponent<Mesh>(e, Mesh::CreateMesh(tex));
        ECS::Get().AddComponent<Transform>(e, pos, glm::vec3(0), size);
        return e;
    }

    // A 64 x 64 green image with the file's corners marked.
    std::string MarkedSprite() {
        std::string path = dir.File("marked.png");
        EngineTest::WritePng(path, 64, 64, [](int x, int y) {
            if (x == 0 && y == 0)
                return EngineTest::kRed;
            if (x == 63 && y == 0)
                return EngineTest::kBlue;
            if (x == 0 && y == 63)
                return EngineTest::kYellow;
            return EngineTest::kGreen;
        });
        return path;
    }

    // 128 x 64: a red 64 x 64 cell, then a blue one.
    std::string TwoCellSheet() {
        std::string path = dir.File("cells.png");
        EngineTest::WritePng(path, 128, 64, [](int x, int) {
            return x < 64 ? EngineTest::kRed : EngineTest::kBlue;
        });
        return path;
    }

    // Every pixel of the rectangle (inclusive) has colour c, and the ring
    // just outside it has none.
    void ExpectRect(const std::vector<Pixel>& img, int x0, int y0, int x1, int y1, Pixel c) {
        int wrong = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                wrong += !(At(img, x, y) == c);
        EXPECT_EQ(wrong, 0) << "in " << x0 << "," << y0 << " - " << x1 << "," << y1;
        for (int x = x0; x <= x1; ++x) {
            if (y0 > 0) {
                EXPECT_FALSE(At(img, x, y0 - 1) == c) << x;
            }
            if (y1 < 719) {
                EXPECT_FALSE(At(img, x, y1 + 1) == c) << x;
            }
        }
        for (int y = y0; y <= y1; ++y) {
            if (x0 > 0) {
                EXPECT_FALSE(At(img, x0 - 1, y) == c) << y;
            }
            if (x1 < 1279) {
                EXPECT_FALSE(At(img, x1 + 1, y) == c) << y;
            }
        }
    }

    EngineTest::TempDir dir;
    Uni<Renderer> ren;
    Ref<Shader> shader;
    Ref<MeshRenderer> meshRenderer;
    std::string shaderLog;
};

} // namespace

TEST_F(DrawTest, SharedQuadBuffersHoldTheUnitQuad) {
    auto vbo = std::dynamic_pointer_cast<GLVertexBuffer>(Mesh::vbo);
    auto ibo = std::dynamic_pointer_cast<GLIndexBuffer>(Mesh::ibo);
    ASSERT_TRUE(vbo && ibo);
    EXPECT_EQ(vbo->Size(), 80u);
    EXPECT_EQ(ibo->Size(), 24u);
    EXPECT_EQ(vbo->GetLayout().GetStride(), 20u);
    GLint bound = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<unsigned>(bound), ibo->GetID());

    float verts[20] = {};
    glGetNamedBufferSubData(vbo->GetID(), 0, sizeof verts, verts);
    const float expected[20] = {0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 0, 1, 0, 0, 1, 0, 0, 0};
    for (int i = 0; i < 20; ++i)
        EXPECT_FLOAT_EQ(verts[i], expected[i]) << i;
    unsigned int inds[6] = {};
    glGetNamedBufferSubData(ibo->GetID(), 0, sizeof inds, inds);
    EXPECT_EQ(std::vector<unsigned>(inds, inds + 6), (std::vector<unsigned>{0, 3, 1, 1, 3, 2}));
}

TEST_F(DrawTest, ShaderCompilesAndRenderInitSetsTheFrameState) {
    EXPECT_NE(shaderLog.find("GL SHADER: vertex shader compile status: 1"), std::string::npos)
        << shaderLog;
    EXPECT_NE(shaderLog.find("GL SHADER: fragment shader compile status: 1"), std::string::npos);
    EXPECT_EQ(shaderLog.find("OPENGL ERROR"), std::string::npos) << shaderLog;

    testing::internal::CaptureStderr();
    BeginFrame();
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, "");

    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(static_cast<unsigned>(program), shader->GetID());

    struct Attr {
        GLint size;
        uintptr_t offset;
    } attrs[] = {{3, 0}, {2, 12}};
    for (GLuint i = 0; i < 2; ++i) {
        GLint enabled = 0, size = 0, type = 0, stride = 0, norm = 1, buffer = 0;
        void* pointer = nullptr;
        glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_SIZE, &size);
        glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_TYPE, &type);
        glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
        glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &norm);
        glGetVertexAttribiv(i, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &buffer);
        glGetVertexAttribPointerv(i, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
        EXPECT_TRUE(enabled) << i;
        EXPECT_EQ(size, attrs[i].size) << i;
        EXPECT_EQ(type, GL_FLOAT) << i;
        EXPECT_EQ(stride, 20) << i;
        EXPECT_FALSE(norm) << i;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(pointer), attrs[i].offset) << i;
        EXPECT_EQ(static_cast<unsigned>(buffer),
                  std::dynamic_pointer_cast<GLVertexBuffer>(Mesh::vbo)->GetID());
    }
    GLint third = 1;
    glGetVertexAttribiv(2, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &third);
    EXPECT_FALSE(third);

    // Camera at the screen centre: the view-projection is the bare projection.
    float vp[16];
    glGetUniformfv(shader->GetID(), glGetUniformLocation(shader->GetID(), "u_ViewProjection"), vp);
    glm::mat4 proj = GLRenderer::Projection();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(vp[i], (&proj[0][0])[i], 1e-6) << i;

    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &src);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &dst);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);

    meshRenderer->RenderEnd(ren);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(DrawTest, UnknownLayoutElementIsReportedNotDrawnWith) {
    Mesh::vbo->SetLayout({{ShaderDataType::Float3, "a_Position"}, {ShaderDataType::None, "x"}});
    testing::internal::CaptureStderr();
    BeginFrame();
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("BUFFER ELEMENTS: Unknown ShaderDataType"), std::string::npos) << log;
    EXPECT_NE(log.find("OPENGL ERROR: "), std::string::npos) << log;
    EXPECT_NE(log.find("glVertexAttribPointer"), std::string::npos) << log;
    EXPECT_NE(log.find("src/GLRenderer.cpp"), std::string::npos) << log;
}

TEST_F(DrawTest, SpriteCoversExactlyItsPixelsUpright) {
    AddSprite(Texture2D::Create(MarkedSprite()), {400, 250, 0});
    BeginFrame();
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Mesh, Transform>());
    meshRenderer->RenderEnd(ren);
    auto img = ReadBack();

    // Exactly pixels 400..463 across and 250..313 down.
    EXPECT_EQ(At(img, 399, 280), kBackground);
    EXPECT_EQ(At(img, 464, 280), kBackground);
    EXPECT_EQ(At(img, 430, 249), kBackground);
    EXPECT_EQ(At(img, 430, 314), kBackground);
    // Upright and not mirrored: the file's corners land on the same corners.
    EXPECT_EQ(At(img, 400, 250), kRedPx);
    EXPECT_EQ(At(img, 463, 250), kBluePx);
    EXPECT_EQ(At(img, 400, 313), kYellowPx);
    EXPECT_EQ(At(img, 463, 313), kGreenPx);
    EXPECT_EQ(At(img, 401, 251), kGreenPx);
    EXPECT_EQ(At(img, 430, 280), kGreenPx);
}

TEST_F(DrawTest, CameraPositionIsShownAtTheScreenCentre) {
    Camera::Main().transform.position = {0, 0, 0};
    std::string path = dir.File("red.png");
    EngineTest::WritePng(path, 8, 8, [](int, int) { return EngineTest::kRed; });
    AddSprite(Texture2D::Create(path), {0, 0, 0}, {10, 20, 0});
    BeginFrame();
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Mesh, Transform>());
    auto img = ReadBack();
    ExpectRect(img, 640, 360, 649, 379, kRedPx);
}

TEST_F(DrawTest, EntityWithoutTransformIsNotDrawn) {
    EntityID e = ECS::Get().CreateEntity();
    ECS::Get().AddComponent<Mesh>(e, Mesh::CreateMesh(Texture2D::Create(TwoCellSheet())));
    BeginFrame();
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Mesh, Transform>());
    auto img = ReadBack();
    EXPECT_EQ(At(img, 0, 0), kBackground);
    EXPECT_EQ(At(img, 640, 360), kBackground);
}

TEST_F(DrawTest, RegionShowsOnlyItsCell) {
    auto sheet = Texture2D::Create(TwoCellSheet());
    auto regions = CutSheetRegions(sheet, 64, 64);
    ASSERT_EQ(regions.size(), 2u);
    AddSprite(regions[1], {400, 250, 0});
    AddSprite(regions[0], {600, 250, 0});
    BeginFrame();
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Mesh, Transform>());
    auto img = ReadBack();
    ExpectRect(img, 400, 250, 463, 313, kBluePx);
    ExpectRect(img, 600, 250, 663, 313, kRedPx);
}

TEST_F(DrawTest, TileGridDrawsItsNonEmptyCells) {
    EntityID e = ECS::Get().CreateEntity();
    ECS::Get().AddComponent<TileMap>(e, TwoCellSheet(), Grid{{0, -1}, {1, 1}}, 64, 64);
    // The entity's own placement has no effect on where tiles go.
    ECS::Get().AddComponent<Transform>(e, glm::vec3(300, 300, 0), glm::vec3(0), glm::vec3(5, 5, 0));
    ECS::Get().RegisterSystem(CreateRef<TileMapRenderer>(ren, shader));
    BeginFrame();
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<TileMap, Transform>());
    auto img = ReadBack();

    EXPECT_EQ(At(img, 0, 0), kRedPx);
    EXPECT_EQ(At(img, 63, 63), kRedPx);
    EXPECT_EQ(At(img, 0, 64), kBackground); // the empty cell
    EXPECT_EQ(At(img, 63, 127), kBackground);
    ExpectRect(img, 64, 0, 127, 127, kBluePx); // tile 1 twice, one above the other
    EXPECT_EQ(At(img, 128, 0), kBackground);
    EXPECT_EQ(At(img, 32, 128), kBackground);

    auto t = ECS::Get().GetComponent<Transform>(e);
    EXPECT_EQ(t->position, glm::vec3(64, 64, 0)); // the last drawn cell
    EXPECT_EQ(t->scale, glm::vec3(64, 64, 0));
}

TEST_F(DrawTest, BadTilesAndSheetsDrawNothingWrong) {
    testing::internal::CaptureStderr();
    EntityID good = ECS::Get().CreateEntity();
    ECS::Get().AddComponent<TileMap>(good, TwoCellSheet(), Grid{{5, 0}, {-1, 1}}, 64, 64);
    ECS::Get().AddComponent<Transform>(good, glm::vec3(0), glm::vec3(0), glm::vec3(1));
    EntityID bad = ECS::Get().CreateEntity();
    ECS::Get().AddComponent<TileMap>(bad, dir.File("missing.png"), Grid{{0, 0, 0}}, 64, 64);
    ECS::Get().AddComponent<Transform>(bad, glm::vec3(0), glm::vec3(0), glm::vec3(1));
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Could not load image file"), std::string::npos) << log;
    EXPECT_NE(log.find("TILEMAP: 1 cells name no tile"), std::string::npos) << log;

    ECS::Get().RegisterSystem(CreateRef<TileMapRenderer>(ren, shader));
    BeginFrame();
    testing::internal::CaptureStderr();
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<TileMap, Transform>());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    auto img = ReadBack();
    EXPECT_EQ(At(img, 10, 10), kBackground); // tile number 5 is skipped
    EXPECT_EQ(At(img, 10, 70), kRedPx);
    EXPECT_EQ(At(img, 70, 70), kBluePx);
    EXPECT_EQ(At(img, 10, 140), kBackground); // the unloadable map drew nothing
}

TEST_F(DrawTest, AnimationDrawsItsCurrentFrame) {
    EntityID e = ECS::Get().CreateEntity();
    ECS::Get().AddComponent<Animation>(e, TwoCellSheet(), 64, 64);
    ECS::Get().AddComponent<Transform>(e, glm::vec3(400, 250, 0), glm::vec3(0),
                                       glm::vec3(64, 64, 0));
    ECS::Get().RegisterSystem(CreateRef<AnimationRenderer>(ren, shader));
    ECS::Get().RegisterSystem(CreateRef<AnimationUpdater>());
    auto draw = [&] {
        BeginFrame();
        ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Animation, Transform>());
        return ReadBack();
    };
    ExpectRect(draw(), 400, 250, 463, 313, kRedPx); // frame 0 before any update
    Time::dt = 0.01;
    for (int i = 0; i < 11; ++i)
        ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Animation>());
    Time::dt = 0.0;
    ExpectRect(draw(), 400, 250, 463, 313, kBluePx);
}

TEST_F(DrawTest, TranslucentTexelsBlendOverWhatIsBelow) {
    std::string path = dir.File("half.png");
    EngineTest::WritePng(path, 4, 4, [](int, int) { return Rgba{255, 0, 0, 128}; });
    AddSprite(Texture2D::Create(path), {100, 100, 0});
    BeginFrame();
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Mesh, Transform>());
    Pixel p = At(ReadBack(), 120, 120);
    // 128/255 of red over the clear colour.
    EXPECT_NEAR(p.r, 147, 2);
    EXPECT_NEAR(p.g, 23, 2);
    EXPECT_NEAR(p.b, 25, 2);
}

TEST_F(DrawTest, ImagesLoadFlippedAsRgba) {
    std::string path = dir.File("rgb.png");
    // Three channels in the file; the top-left pixel is marked.
    EngineTest::WritePng(
        path, 128, 64,
        [](int x, int y) { return x == 0 && y == 0 ? EngineTest::kRed : EngineTest::kWhite; }, 3);
    auto tex = Texture2D::Create(path);
    ASSERT_NE(tex->getID(), 0u);
    EXPECT_FLOAT_EQ(tex->getWidth(), 128);
    EXPECT_FLOAT_EQ(tex->getHeight(), 64);
    std::vector<unsigned char> texels(128 * 64 * 4);
    glGetTextureImage(tex->getID(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                      static_cast<GLsizei>(texels.size()), texels.data());
    // Row 63 of the texture (v near 1) is the file's top row.
    const unsigned char* topLeft = &texels[(63 * 128 + 0) * 4];
    EXPECT_EQ(topLeft[0], 255);
    EXPECT_EQ(topLeft[1], 0);
    EXPECT_EQ(texels[0], 255); // the file's bottom-left is white
    EXPECT_EQ(texels[1], 255);
    int opaque = 0;
    for (size_t i = 3; i < texels.size(); i += 4)
        opaque += texels[i] == 255;
    EXPECT_EQ(opaque, 128 * 64);

    GLint filter = 0;
    glGetTextureParameteriv(tex->getID(), GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_NEAREST);
    glGetTextureParameteriv(tex->getID(), GL_TEXTURE_WRAP_T, &filter);
    EXPECT_EQ(filter, GL_CLAMP_TO_EDGE);
}

TEST_F(DrawTest, SharedTextureNameOutlivesTheSheetUntilTheLastRegion) {
    auto sheet = Texture2D::Create(TwoCellSheet());
    const uint32_t id = sheet->getID();
    auto regions = CutSheetRegions(sheet, 64, 64);
    EXPECT_EQ(GLTextureNames::Users(id), 3);
    sheet.reset();
    EXPECT_TRUE(glIsTexture(id));
    regions.pop_back();
    EXPECT_TRUE(glIsTexture(id));
    regions.clear();
    EXPECT_FALSE(glIsTexture(id));
    EXPECT_EQ(GLTextureNames::Users(id), 0);

    // After the context is gone nothing calls GL.
    auto late = Texture2D::Create(TwoCellSheet());
    auto lateRegions = CutSheetRegions(late, 64, 64);
    const uint32_t lateId = late->getID();
    ECS::Get().Reset();
    meshRenderer.reset();
    shader.reset();
    Mesh::ReleaseQuad();
    window->Shutdown();
    late.reset();
    lateRegions.clear();
    EXPECT_EQ(GLTextureNames::Users(lateId), 0);
}

TEST_F(DrawTest, BrokenStageIsReportedOnStandardOutput) {
    std::string path = dir.File("broken.shader");
    std::ofstream(path) << "#shader vertex\n#version 330 core\nthis is not glsl\n"
                        << "#shader fragment\n#version 330 core\nout vec4 c;\n"
                        << "void main() { c = vec4(1.0); }\n";
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Shader broken(path);
    std::string err = testing::internal::GetCapturedStderr();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(err.find("GL SHADER: vertex shader compile status: 0"), std::string::npos) << err;
    EXPECT_NE(err.find("GL SHADER: fragment shader compile status: 1"), std::string::npos) << err;
    EXPECT_EQ(out.rfind("Failed to compile vertexshader\n", 0), 0u) << out;
    EXPECT_GT(out.size(), std::string("Failed to compile vertexshader\n").size());
}

TEST_F(DrawTest, UniformTheProgramDoesNotUseIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string path = dir.File("no_texpos.shader");
    std::ofstream(path) << "#shader vertex\n#version 330 core\n"
                        << "layout(location = 0) in vec3 a_Position;\n"
                        << "uniform vec2 u_texPos;\n"
                        << "void main() { gl_Position = vec4(a_Position, 1.0); }\n"
                        << "#shader fragment\n#version 330 core\nout vec4 c;\n"
                        << "void main() { c = vec4(1.0); }\n";
    EXPECT_EXIT(
        {
            Shader s(path);
            s.SetUniformFloat2("u_texPos", 0.0f, 0.0f);
        },
        testing::ExitedWithCode(255), "SHADER: Uniform u_texPos does not exist");
}

TEST_F(DrawTest, MissingShaderFileIsNamed) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Shader missing(dir.File("none.shader"));
    std::string err = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    EXPECT_NE(err.find("SHADER: Could not open shader file: "), std::string::npos) << err;
}

namespace {
const Rgba kBrick{150, 75, 40, 255};
const Rgba kMortar{60, 30, 20, 255};
const Rgba kGrass{40, 160, 60, 255};
const Rgba kSoil{90, 60, 30, 255};
const Rgba kBoat{240, 200, 40, 255};
const Rgba kClear{0, 0, 0, 0};

Pixel Px(Rgba c) {
    return {c.r, c.g, c.b, c.a};
}
} // namespace

// A tile row with a round sprite standing on it, drawn in the frame's order
// (tiles, then animations) as the game does.
TEST_F(DrawTest, SceneOfATileRowAndASprite) {
    std::string tiles = dir.File("tiles.png");
    EngineTest::WritePng(tiles, 128, 64, [](int x, int y) {
        int cx = x % 64;
        if (x < 64) // brick: mortar every 16 rows and along the tile's edges
            return (y % 16 < 2 || cx < 2 || cx > 61) ? kMortar : kBrick;
        return y < 12 ? kGrass : kSoil;
    });
    std::string boat = dir.File("boat.png");
    EngineTest::WritePng(boat, 128, 64, [](int x, int y) {
        int dx = x % 64 - 32, dy = y - 32;
        return dx * dx + dy * dy <= 28 * 28 ? kBoat : kClear;
    });

    Grid grid(20, std::vector<int>(10, -1));
    for (int x = 0; x < 20; ++x)
        grid[x][9] = x % 2; // row 9: world y 576 to 639
    EntityID map = ECS::Get().CreateEntity();
    ECS::Get().AddComponent<TileMap>(map, tiles, grid, 64, 64);
    ECS::Get().AddComponent<Transform>(map, glm::vec3(0), glm::vec3(0), glm::vec3(1));
    EntityID player = ECS::Get().CreateEntity();
    ECS::Get().AddComponent<Animation>(player, boat, 64, 64);
    ECS::Get().AddComponent<Transform>(player, glm::vec3(600, 520, 0), glm::vec3(0),
                                       glm::vec3(64, 64, 0));
    ECS::Get().RegisterSystem(CreateRef<TileMapRenderer>(ren, shader));
    ECS::Get().RegisterSystem(CreateRef<AnimationRenderer>(ren, shader));

    BeginFrame();
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Mesh, Transform>());
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<TileMap, Transform>());
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<Animation, Transform>());
    meshRenderer->RenderEnd(ren);
    auto img = ReadBack();
    if (const char* shot = std::getenv("RENDER_SHOT_PNG"))
        stbi_write_png(shot, 1280, 720, 4, img.data(), 1280 * 4);

    EXPECT_EQ(At(img, 640, 100), kBackground);
    EXPECT_EQ(At(img, 5, 575), kBackground);
    // Brick tile in column 0: mortar edge, then brick; grass-topped tile in column 1.
    EXPECT_EQ(At(img, 0, 600), Px(kMortar));
    EXPECT_EQ(At(img, 10, 600), Px(kBrick));
    EXPECT_EQ(At(img, 10, 576), Px(kMortar));
    EXPECT_EQ(At(img, 64, 580), Px(kGrass));
    EXPECT_EQ(At(img, 100, 600), Px(kSoil));
    EXPECT_EQ(At(img, 1279, 639), Px(kSoil));  // column 19 reaches the right edge
    EXPECT_EQ(At(img, 640, 640), kBackground); // nothing below row 9
    // The sprite covers the tiles where it is opaque and shows them through its
    // transparent corners.
    EXPECT_EQ(At(img, 632, 552), Px(kBoat));
    EXPECT_EQ(At(img, 632, 578), Px(kBoat));
    EXPECT_EQ(At(img, 601, 521), kBackground);
    EXPECT_EQ(At(img, 601, 582), Px(kGrass)); // tile column 9 is tile 1
}

#pragma once

// A window with the game's drawing set up as Start leaves it: the shared quad,
// the shipped shader, the four renderers registered with their components,
// and the camera putting world coordinates on screen pixels.

#include <string>
#include <vector>

#include "Animation.h"
#include "Camera.h"
#include "ECS.h"
#include "GLContext.h"
#include "MeshRenderer.h"
#include "Shader.h"
#include "TextMesh.h"
#include "TileMap.h"

namespace EngineTest {

class DrawSceneTest : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        using namespace Engine;
        ren = CreateUni<GLRenderer>();
        Mesh::InitQuad();
        testing::internal::CaptureStderr();
        shader = CreateRef<Shader>("Assets/Shaders/basic.shader");
        shaderLog = testing::internal::GetCapturedStderr();
        Camera::Main().transform.position = {640, 360, 0};
        ECS& ecs = ECS::Get();
        ecs.Reset();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<Mesh>();
        ecs.RegisterComponent<TileMap>();
        ecs.RegisterComponent<Animation>();
        ecs.RegisterComponent<TextMesh>();
        meshRenderer = CreateRef<MeshRenderer>(ren, shader);
        ecs.RegisterSystem(meshRenderer);
        ecs.RegisterSystem(CreateRef<TextRenderer>(ren, shader));
        ecs.RegisterSystem(CreateRef<TileMapRenderer>(ren, shader));
        ecs.RegisterSystem(CreateRef<AnimationRenderer>(ren, shader));
    }

    void TearDown() override {
        // Everything holding GL objects goes while the context is current.
        Engine::ECS::Get().Reset();
        meshRenderer.reset();
        shader.reset();
        Engine::Mesh::ReleaseQuad();
        GLTest::TearDown();
    }

    void BeginFrame() {
        ren->SetClearColor(0x262E33);
        ren->Clear();
        meshRenderer->RenderInit(ren);
    }
    std::vector<Pixel> EndFrame() {
        meshRenderer->RenderEnd(ren);
        return ReadBack();
    }

    // One frame in the game's order, read back.
    std::vector<Pixel> DrawFrame() {
        using namespace Engine;
        ECS& ecs = ECS::Get();
        BeginFrame();
        ecs.RunSystemArch(ecs.GetArchetype<Mesh, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<TextMesh, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<TileMap, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<Animation, Transform>());
        return EndFrame();
    }

    Engine::Uni<Engine::Renderer> ren;
    Engine::Ref<Engine::Shader> shader;
    Engine::Ref<Engine::MeshRenderer> meshRenderer;
    std::string shaderLog;
};

} // namespace EngineTest

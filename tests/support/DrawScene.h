#pragma once

// A window with the game's drawing set up as its scene leaves it, through the
// game's own code: the shared quad, the shipped shader, every component type
// and system registered, and the camera putting world coordinates on screen
// pixels. Tests add their own entities and draw with the game's frame schedule.

#include <string>
#include <vector>

#include <engine/ecs/ECS.h>
#include <engine/render/Animation.h>
#include <engine/render/Camera.h>
#include <engine/render/Mesh.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/render/TileMap.h>
#include <engine/text/TextMesh.h>

#include "game/Scene.h"
#include "support/GLContext.h"

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
        ::Engine::shader = CreateRef<Shader>("Assets/Shaders/basic.shader");
        shaderLog = testing::internal::GetCapturedStderr();
        Camera::Main().transform.position = {640, 360, 0};
        ECS& ecs = ECS::Get();
        ecs.Reset();
        RegisterSceneComponents(ecs);
        RegisterSceneSystems(ecs, ren);
        meshRenderer = dynamic_cast<MeshRenderer*>(::Engine::meshRenderer.get());
    }

    void TearDown() override {
        // Everything holding GL objects goes while the context is current.
        ::Engine::ECS::Get().Reset();
        ::Engine::ReleaseSceneHandles();
        meshRenderer = nullptr;
        ::Engine::Mesh::ReleaseQuad();
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

    // One frame as the game draws it, read back.
    std::vector<Pixel> DrawFrame() {
        ren->SetClearColor(0x262E33);
        ren->Clear();
        ::Engine::RunFrameSchedule(ren);
        return ReadBack();
    }

    ::Engine::Uni<::Engine::Renderer> ren;
    // The game's handles, under the names the tests use.
    ::Engine::Ref<::Engine::Shader>& shader = ::Engine::shader;
    ::Engine::MeshRenderer* meshRenderer = nullptr;
    std::string shaderLog;
};

} // namespace EngineTest

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <engine/core/Base.h>
#include <engine/core/Renderer.h>
#include <engine/ecs/System.h>
#include <engine/physics/Transform.h>
#include <engine/render/Mesh.h>
#include <engine/render/Texture.h>

namespace Engine {

class Shader;

// A sprite sheet cut into equal frames, played in order (left to right, top
// row first) at spf seconds a frame, looping. tex is the current frame.
class Animation : public Mesh {
public:
    bool singleTexture = true;
    int32_t m_currentFrame = 0;
    float time = 0.0f;
    float spf = 0.1f;
    Ref<Texture2D> mainTex;
    std::vector<Ref<Texture>> lookup;

    Animation(const std::string& path, int inputWidth, int inputHeight);
    // Cuts an already loaded sheet.
    Animation(Ref<Texture2D> sheet, int inputWidth, int inputHeight);
    Animation(const Animation&) = default;
    Animation(Animation&&) = default;
    Animation& operator=(const Animation&) = default;
    Animation& operator=(Animation&&) = default;
    ~Animation() override = default;

    // Advances by Time::dt; at most one frame per call, the excess kept in time.
    void Update() override;
    void Render(const Ref<Shader>& shader, glm::mat4 model) override;
};

class AnimationUpdater : public System<Animation> {
public:
    AnimationUpdater() = default;
    ~AnimationUpdater() override = default;
    void Run(EntityID id) override;
};

class AnimationRenderer : public System<Animation, Transform> {
public:
    AnimationRenderer(Uni<Renderer>& renderer, Ref<Shader>& shader);
    ~AnimationRenderer() override = default;
    void Run(EntityID id) override;

    Renderer* m_renderer;
    Ref<Shader> shader;
};

} // namespace Engine

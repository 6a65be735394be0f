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

/// A sprite sheet cut into equal frames, played in order (left to right, top
/// row first) at spf seconds a frame, looping. tex is the current frame.
class Animation : public Mesh {
public:
    bool singleTexture = true;  ///< Every frame names one sheet texture.
    int32_t m_currentFrame = 0; ///< Index into lookup of the frame shown; one outside it shows 0.
    float time = 0.0f;          ///< Seconds since the frame changed.
    float spf = 0.1f;           ///< Seconds a frame.
    Ref<Texture2D> mainTex;     ///< The sheet.
    std::vector<Ref<Texture>> lookup; ///< The frames, in playing order.

    /// Loads the sheet at path and cuts it into inputWidth by inputHeight frames.
    Animation(const std::string& path, int inputWidth, int inputHeight);
    /// Cuts an already loaded sheet.
    Animation(Ref<Texture2D> sheet, int inputWidth, int inputHeight);
    Animation(const Animation&) = default;            ///< Plays on independently.
    Animation(Animation&&) = default;                 ///< Movable.
    Animation& operator=(const Animation&) = default; ///< Plays on independently.
    Animation& operator=(Animation&&) = default;      ///< Movable.
    ~Animation() override = default;                  ///< Shares the sheet till the last.

    /// Advances by Time::dt; at most one frame per call, the excess kept in time.
    void Update() override;
    /// Draws the current frame at the model matrix.
    void Render(const Ref<Shader>& shader, glm::mat4 model) override;
};

/// Advances every Animation by one step (run once per update step).
class AnimationUpdater : public System<Animation> {
public:
    AnimationUpdater() = default;           ///< Stateless.
    ~AnimationUpdater() override = default; ///< Stateless.
    void Run(EntityID id) override;         ///< Animation::Update of the entity.
};

/// Draws every entity with an Animation and a Transform, in a frame.
class AnimationRenderer : public System<Animation, Transform> {
public:
    /// Draws through renderer's frame with shader.
    AnimationRenderer(Uni<Renderer>& renderer, Ref<Shader>& shader);
    ~AnimationRenderer() override = default; ///< Keeps nothing but handles.
    void Run(EntityID id) override;          ///< Draws the entity's frame at its Transform.

    Renderer* m_renderer; ///< The renderer drawn through.
    Ref<Shader> shader;   ///< The shader drawn with.
};

} // namespace Engine

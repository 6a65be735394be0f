#include <engine/render/Animation.h>

#include <engine/core/Log.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>

namespace Engine {

Animation::Animation(const std::string& path, int inputWidth, int inputHeight)
    : Animation(Texture2D::Create(path), inputWidth, inputHeight) {}

Animation::Animation(Ref<Texture2D> sheet, int inputWidth, int inputHeight)
    : mainTex(std::move(sheet)) {
    lookup = CutSheetRegions(mainTex, inputWidth, inputHeight);
    if (lookup.empty()) {
        Log::Warn("ANIMATION", "Sheet of %dx%d pixels holds no whole %dx%d frame; nothing is drawn",
                  mainTex ? static_cast<int>(mainTex->getWidth()) : 0,
                  mainTex ? static_cast<int>(mainTex->getHeight()) : 0, inputWidth, inputHeight);
        return;
    }
    tex = lookup[static_cast<size_t>(m_currentFrame)];
}

void Animation::Update() {
    time = static_cast<float>(static_cast<double>(time) + Time::dt);
    if (time >= spf) {
        ++m_currentFrame;
        time = time - spf;
    }
    if (static_cast<size_t>(m_currentFrame) >= lookup.size())
        m_currentFrame = 0;
    tex = lookup.empty() ? nullptr : lookup[static_cast<size_t>(m_currentFrame)];
}

void Animation::Render(const Ref<Shader>& shader, glm::mat4 model) {
    if (lookup.empty())
        return;
    // The field is public: a frame set outside the sheet shows the first, as
    // Update wraps it, rather than reading past the frames.
    if (m_currentFrame < 0 || static_cast<size_t>(m_currentFrame) >= lookup.size())
        m_currentFrame = 0;
    tex = lookup[static_cast<size_t>(m_currentFrame)];
    Mesh::Render(shader, model);
}

void AnimationUpdater::Run(EntityID id) {
    if (Ref<Animation> animation = ECS::Get().GetComponent<Animation>(id))
        animation->Update();
}

AnimationRenderer::AnimationRenderer(Uni<Renderer>& renderer, Ref<Shader>& shader)
    : m_renderer(renderer.get()), shader(shader) {}

void AnimationRenderer::Run(EntityID id) {
    Ref<Animation> animation = ECS::Get().GetComponent<Animation>(id);
    Ref<Transform> transform = ECS::Get().GetComponent<Transform>(id);
    if (!animation || !transform)
        return;
    animation->Render(shader, transform->GetMatrix());
}

} // namespace Engine

#include <engine/core/Renderer.h>

#include <engine/core/Log.h>

#include "render/GLRenderer.h"

namespace Engine {

Uni<Renderer> Renderer::Create() {
    switch (s_API) {
    case API::None:
        Log::Err("RENDER_API", "Render API of type None not supported");
    case API::OpenGL:
        return CreateUni<GLRenderer>();
    }
    return nullptr;
}

} // namespace Engine

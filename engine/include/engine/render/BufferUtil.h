#pragma once

#include <engine/core/Base.h>
#include <engine/render/Buffer.h>

namespace Engine::BufferUtil {

/// The buffer for the renderer in use; empty for any API but OpenGL.
Ref<VertexBuffer> createVertexBuffer();
Ref<IndexBuffer> createIndexBuffer();

} // namespace Engine::BufferUtil

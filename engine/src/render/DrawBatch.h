#pragma once

// What the rest of the engine needs of Draw's batch.

#include <glm/vec2.hpp>

#include <engine/core/Rectangle.h>
#include <engine/render/Draw.h>

namespace Engine::DrawBatch {

// The part source of texture (texels from its top-left corner) over the
// quad of corners, given clockwise from the one source's top-left goes to;
// the sheared and turned glyphs of styled text.
void Quad(const Ref<Texture>& texture, Rectangle source, const glm::vec2 (&corners)[4], Color tint);
// A quad of one colour with any corners, clockwise from its top-left.
void Quad(const glm::vec2 (&corners)[4], Color color);

// A quad of the shared mesh is about to be drawn: whatever Draw has batched is
// drawn first, so the calls keep their order, and the quad is counted.
void BeforeSharedQuad();

// Drops Draw's GL objects, and whatever was handed to AtRelease, while the
// context is still current; they are made again on the next use.
void Release();

// Runs fn at the next Release. The engine's own font registers here, so that
// only programs that draw with it carry its bytes.
void AtRelease(void (*fn)());

} // namespace Engine::DrawBatch

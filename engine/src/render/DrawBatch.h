#pragma once

// What the rest of the engine needs of Draw's batch.

namespace Engine::DrawBatch {

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

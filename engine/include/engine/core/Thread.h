#pragma once

namespace Engine {

// Puts the calling thread below the main thread in the scheduler's eyes
// (niceness 10), for helpers that work ahead while the main thread opens the
// window: where cores are few, the main thread and the X server it talks to
// come first. Per thread on Linux; if refused, nothing changes.
void LowerThreadPriority();

} // namespace Engine

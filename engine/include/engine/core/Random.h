#pragma once

#include <cstdint>

/// Random numbers in one call: `Random::Float(0, 1)`, `Random::Int(1, 6)`.
/// Each thread draws from its own generator, seeded unpredictably on first
/// use; after `SetSeed(n)` the calling thread's numbers are the same on every
/// run and every build (the generator and how a number is drawn from it are
/// the engine's own, not the standard library's), which makes a level, a
/// replay or a test repeatable. `GetState` and `SetState` keep where a
/// sequence stands in a saved game, so that a game loaded goes on with the
/// numbers it would have drawn had it not been left. Not for secrets.
namespace Engine::Random {

/// Starts the calling thread's sequence over from `seed`.
void SetSeed(uint64_t seed);
/// Where the calling thread's sequence stands now: saved with a game, given
/// back to `SetState` on loading it, the numbers go on from there.
uint64_t GetState();
/// Goes on from a state `GetState` gave, on this or any run and build.
void SetState(uint64_t state);
/// A whole number from lo to hi, both included, every one as likely; the
/// two may come in either order.
int Int(int lo, int hi);
/// A number from lo up to but not including hi (lo when the two are equal);
/// the two may come in either order. Not a number when either is not one.
float Float(float lo, float hi);

} // namespace Engine::Random

#pragma once

#include <glm/vec3.hpp>

// Every number that sets how the game plays, in one place. World units are
// pixels with y growing downwards; speeds are per second, forces per unit of
// inverse mass and second.
namespace Engine::Tuning {

// The player: where it starts, the pull that brings it down, and its keyboard
// control (see Controller).
constexpr glm::vec3 PlayerStart{250.0f, 0.0f, 0.0f};
constexpr float Gravity = 1960.0f;
constexpr float Acceleration = 5000.0f;
constexpr float MaxSpeed = 150.0f;
constexpr float JumpVelocity = 1000.0f;

// The rising air of the level's draught cells.
constexpr float DraughtForce = -2400.0f;

// The fish: where it starts, the lane it patrols, and how it throws the
// player back (see EnemySystem).
constexpr glm::vec3 EnemyStart{400.0f, 250.0f, 0.0f};
constexpr float FishSize = 64.0f;
constexpr float PatrolMin = 400.0f;
constexpr float PatrolMax = 800.0f;
constexpr double PatrolSpeed = 100.0;
constexpr float ContactMargin = 5.0f;
constexpr glm::vec3 KnockBack{-500.0f, 500.0f, 0.0f};
// Each knock-back shakes every pad, both motors at this strength, briefly.
constexpr float KnockRumble = 0.5f;
constexpr double KnockRumbleSeconds = 0.15;

} // namespace Engine::Tuning

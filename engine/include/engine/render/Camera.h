#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>

#include <engine/core/Rectangle.h>
#include <engine/physics/Transform.h>

namespace Engine {

/// A camera: its position is shown at the centre of a view of w by h pixels,
/// turned by rotation and magnified by zoom about that centre. The renderer
/// systems and Draw's world mode show the world through Camera::Main(), whose
/// view the Engine sets to its window's (or kept view's) size; Draw::BeginWorld
/// takes a camera of the program's own too, for split screens and minimaps.
class Camera {
public:
    /// The camera's placement; its position is the world point at the view's
    /// centre. Its rotation and scale are the view's inverse as they always
    /// were (turning about the view's top-left corner) and the engine leaves
    /// them at 0 and 1: zoom and rotation below are the ones to use.
    Transform transform{{0, 0, 0}, {0, 0, 0}, {1, 1, 1}};
    /// Where the camera aims relative to the followed entity; only position is used.
    Transform offset{{50, 50, 0}, {0, 0, 0}, {1, 1, 1}};
    /// Width of the view in pixels.
    float w = 1280.0f;
    /// Height of the view in pixels.
    float h = 720.0f;
    /// Pixels a world unit spans: above 1 shows less of the world, bigger.
    /// A zoom that is not above 0, or not a number, is taken as 1.
    float zoom = 1.0f;
    /// Degrees the world is seen turned clockwise about the view's centre (as
    /// Draw::Sprite turns clockwise): with 90, what lay right of the camera's
    /// position shows below it. One that is not a number, or infinite, is taken as 0.
    float rotation = 0.0f;

    Camera() = default;
    /// The view matrix that puts the camera's position at the view's centre,
    /// turned and zoomed about it.
    glm::mat4 GetView() const;
    /// The projection of the w by h pixel view: origin at the top-left corner, y down.
    glm::mat4 GetProjection() const;
    /// What the world is drawn through: the projection times the view, the
    /// view moved to whole pixels (so that tiles meet without seams).
    glm::mat4 GetViewProjection() const;
    /// The world point (in the plane z = 0) drawn at screenPixel, a point of
    /// the w by h view from its top-left corner: Input::GetMousePosition's
    /// point, or a render target's pixel when w and h are the target's size.
    /// Pixel (x, y) spans x to x + 1, so its centre is (x + 0.5, y + 0.5).
    glm::vec2 ScreenToWorld(glm::vec2 screenPixel) const;
    /// The point of the view where world point world is drawn: the inverse of
    /// ScreenToWorld.
    glm::vec2 WorldToScreen(glm::vec2 world) const;
    /// Moves the camera's position as little as it takes to keep what the
    /// view shows inside bounds, a map's or a world's in world units: the w
    /// by h view at its zoom or, turned, the box around it. Along an axis
    /// where bounds is smaller than that, the camera sits on bounds' centre.
    /// Call it after whatever moves the camera, each frame. Bounds with a
    /// part that is not a finite number leave the camera where it is.
    void ClampTo(const Rectangle& bounds);
    /// The process-wide camera the renderer draws through.
    static Camera& Main();
};

} // namespace Engine

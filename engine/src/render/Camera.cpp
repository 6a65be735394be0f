#include <engine/render/Camera.h>

#include <algorithm>
#include <cmath>

#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>

namespace Engine {

namespace {

// A zoom of 0 would fold the world into a point and leave nothing to invert.
float UsableZoom(float zoom) {
    return std::isfinite(zoom) && zoom > 0.0f ? zoom : 1.0f;
}

// A turn that is no number would leave nothing of the world to see.
float UsableTurn(float degrees) {
    return std::isfinite(degrees) ? degrees : 0.0f;
}

// The view as drawn: the eased camera sits between pixels; drawn from there,
// the shared edges of neighbouring tiles fall on pixel centres and are blended
// twice or not at all, which shows as seams through see-through tiles. Whole
// pixels only.
glm::mat4 DrawnView(const Camera& camera) {
    glm::mat4 view = camera.GetView();
    view[3].x = std::round(view[3].x);
    view[3].y = std::round(view[3].y);
    return view;
}

} // namespace

glm::mat4 Camera::GetView() const {
    Transform centred = transform;
    centred.position -= glm::vec3(w, h, 0.0f) / 2.0f;
    const glm::mat4 view = glm::inverse(centred.GetMatrix());
    const float z = UsableZoom(zoom);
    const float turn = UsableTurn(rotation);
    if (z == 1.0f && turn == 0.0f)
        return view;
    // About the view's centre, where the camera's position is.
    const glm::vec3 centre(w / 2.0f, h / 2.0f, 0.0f);
    glm::mat4 about = glm::translate(glm::mat4(1.0f), centre);
    about = glm::rotate(about, glm::radians(turn), glm::vec3(0.0f, 0.0f, 1.0f));
    about = glm::scale(about, glm::vec3(z, z, 1.0f));
    about = glm::translate(about, -centre);
    return about * view;
}

glm::mat4 Camera::GetProjection() const {
    return glm::ortho(0.0f, w, h, 0.0f, -1.0f, 1.0f);
}

glm::mat4 Camera::GetViewProjection() const {
    return GetProjection() * DrawnView(*this);
}

glm::vec2 Camera::ScreenToWorld(glm::vec2 screenPixel) const {
    const glm::vec4 world = glm::inverse(DrawnView(*this)) * glm::vec4(screenPixel, 0.0f, 1.0f);
    return {world.x, world.y};
}

glm::vec2 Camera::WorldToScreen(glm::vec2 world) const {
    const glm::vec4 screen = DrawnView(*this) * glm::vec4(world, 0.0f, 1.0f);
    return {screen.x, screen.y};
}

void Camera::ClampTo(const Rectangle& bounds) {
    // Bounds that are not numbers would carry into every view after.
    if (!std::isfinite(bounds.x) || !std::isfinite(bounds.y) || !std::isfinite(bounds.width) ||
        !std::isfinite(bounds.height))
        return;
    const float z = UsableZoom(zoom);
    const float r = glm::radians(UsableTurn(rotation));
    const float c = std::abs(std::cos(r)), s = std::abs(std::sin(r));
    // Half the box around the turned view, in world units.
    const glm::vec2 half((c * w + s * h) / (2 * z), (s * w + c * h) / (2 * z));
    const glm::vec2 low(bounds.x, bounds.y), size(bounds.width, bounds.height);
    glm::vec2 at(transform.position);
    for (int i = 0; i < 2; ++i)
        at[i] = size[i] <= 2 * half[i]
                    ? low[i] + size[i] / 2
                    : std::clamp(at[i], low[i] + half[i], low[i] + size[i] - half[i]);
    transform.position.x = at.x;
    transform.position.y = at.y;
}

Camera& Camera::Main() {
    static Camera s_cam;
    return s_cam;
}

} // namespace Engine
